// The `syncbolvarin handheld` commands, run as a user would run them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "handheld/device.h"
#include "tests/test_util.h"

namespace bolvarin::handheld {
namespace {

using bolvarin::testing::Exists;
using bolvarin::testing::HostResult;
using bolvarin::testing::ReadFile;
using bolvarin::testing::RunHost;
using bolvarin::testing::TempDir;
using bolvarin::testing::WriteFile;

class HandheldDeviceCli : public ::testing::Test {
 protected:
  HandheldDeviceCli() : image_(dir_.File("hh.json")) {}

  HostResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), "handheld");
    return RunHost(args);
  }
  HostResult RunOk(const std::vector<std::string>& args) {
    HostResult r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r;
  }
  Database& Ledger(Device& device) { return *device.FindDatabase("MaBolvarin Data"); }

  TempDir dir_;
  std::string image_;
};

TEST_F(HandheldDeviceCli, CreateMakesAnEmptyLedgerAndRefusesToOverwrite) {
  RunOk({"create", "--image", image_});
  Device device = Device::Load(image_);
  ASSERT_EQ(device.databases.size(), 1u);
  EXPECT_EQ(Ledger(device).creator, "Bolv");
  EXPECT_EQ(Ledger(device).type, "Data");
  EXPECT_EQ(Ledger(device).RecordCount(), 0u);
  Preference* pref = device.FindPreference("Bolv", 0);
  ASSERT_NE(pref, nullptr);
  EXPECT_EQ(pref->data, Bytes(28, 0));

  WriteFile(image_, "precious");
  HostResult again = Run({"create", "--image", image_});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
  EXPECT_EQ(ReadFile(image_), "precious");
  RunOk({"create", "--image", image_, "--force"});
  EXPECT_NO_THROW(Device::Load(image_));
}

TEST_F(HandheldDeviceCli, RecordEditingMarksRecordsAsTheHandheldDoes) {
  RunOk({"create", "--image", image_});
  HostResult a = RunOk(
      {"add", "--image", image_, "--hex", "C7990E1E FFFFFF9C BFF90000 41 00", "--category", "3"});
  HostResult b = RunOk(
      {"add", "--image", image_, "--line", "0;5; 0;02/02/2026 07:45:00;-34900;1;1;6;;;;;Train"});
  int32_t first = std::stoi(a.out), second = std::stoi(b.out);
  EXPECT_NE(first, second);

  Device device = Device::Load(image_);
  const Record* rec = Ledger(device).Find(first);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->category, 3);
  EXPECT_EQ(rec->attributes, kAttrDirty);
  EXPECT_EQ(ToHex(rec->data), "C7990E1EFFFFFF9CBFF900004100");
  const Record* line = Ledger(device).Find(second);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->category, 5);     // taken from the line
  EXPECT_EQ(line->data.back(), 0);  // terminator appended

  RunOk({"set-attributes", "--image", image_, "--id", std::to_string(first), "0"});
  RunOk({"change", "--image", image_, "--id", std::to_string(first), "--hex", "0102"});
  device = Device::Load(image_);
  EXPECT_EQ(Ledger(device).Find(first)->attributes, 0x40);
  EXPECT_EQ(Ledger(device).Find(first)->category, 3);  // kept
  EXPECT_EQ(Ledger(device).Find(first)->data, (Bytes{1, 2}));

  RunOk({"delete", "--image", image_, "--id", std::to_string(first)});
  RunOk({"archive", "--image", image_, "--id", std::to_string(second)});
  device = Device::Load(image_);
  EXPECT_EQ(Ledger(device).Find(first)->attributes, 0xC0);  // kept until a sync purges it
  EXPECT_EQ(Ledger(device).Find(second)->attributes, 0x88);

  RunOk({"set-attributes", "--image", image_, "--id", std::to_string(first), "0x48"});
  device = Device::Load(image_);
  EXPECT_EQ(Ledger(device).Find(first)->attributes, 0x48);
}

TEST_F(HandheldDeviceCli, BadArgumentsAreRefusedAndTheImageIsKept) {
  RunOk({"create", "--image", image_});
  RunOk({"add", "--image", image_, "--hex", "00"});
  std::string before = ReadFile(image_);
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{"add", "--image", image_, "--hex", "ABC"}, "--hex: odd number of hex digits"},
      {{"add", "--image", image_, "--hex", "0Z"}, "--hex: character 2 ('Z') is not a hex digit"},
      {{"add", "--image", image_}, "either --hex or --line"},
      {{"add", "--image", image_, "--line", "not a line"}, "--line: "},
      {{"change", "--image", image_, "--id", "999", "--hex", "00"}, "no record 999"},
      {{"delete", "--image", image_, "--id", "999"}, "no record 999"},
      {{"add", "--image", image_, "--database", "Nope", "--hex", "00"}, "no database \"Nope\""},
      {{"set-attributes", "--image", image_, "--id", "1", "256"}, "VALUE: \"256\""},
      {{"category", "--image", image_, "--index", "2", "--name", "Sixteen chars..."}, "at most 15"},
      {{"pref", "--image", image_, "--modes", "Cash,,Card"}, "--modes: entry 2 is empty"},
      {{"show", "--image", dir_.File("none.json")}, "no such handheld image"},
  };
  for (const auto& c : cases) {
    HostResult r = Run(c.args);
    EXPECT_EQ(r.status, 1) << c.args[0] << " " << c.expected;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err << "\nexpected: " << c.expected;
    EXPECT_EQ(ReadFile(image_), before);
  }
}

TEST_F(HandheldDeviceCli, CorruptImagesAreRefusedAndNeverOverwritten) {
  RunOk({"create", "--image", image_});
  std::string good = ReadFile(image_);

  // import of a corrupt file: the message names that file and the place.
  std::string bad = dir_.File("bad.json");
  std::string corrupt = good;
  corrupt.replace(corrupt.find("\"records\": []"), 13,
                  R"("records": [{"id": 1, "category": 0, "attributes": 0, "data": "ABC"}])");
  WriteFile(bad, corrupt);
  HostResult r = Run({"import", "--image", image_, bad});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(bad + ": databases[0].records[0].data: odd number of hex digits"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(image_), good);

  // Editing a corrupt image: refused, and the file is left as it was.
  WriteFile(image_, "{\"format\": \"syncbolvarin-handheld/9\"}");
  for (std::vector<std::string> args :
       {std::vector<std::string>{"add", "--image", image_, "--hex", "00"},
        std::vector<std::string>{"category", "--image", image_, "--index", "0", "--name", "X"},
        std::vector<std::string>{"pref", "--image", image_, "--modes", "A"}}) {
    HostResult edit = Run(args);
    EXPECT_EQ(edit.status, 1) << args[0];
    EXPECT_NE(edit.err.find("unknown image format version"), std::string::npos) << edit.err;
    EXPECT_EQ(ReadFile(image_), "{\"format\": \"syncbolvarin-handheld/9\"}");
  }

  // A valid import replaces it.
  RunOk({"import", "--image", image_,
         std::string(BOLVARIN_SOURCE_DIR) + "/samples/sample-handheld.json"});
  Device imported = Device::Load(image_);
  EXPECT_GE(Ledger(imported).RecordCount(), 10u);
}

TEST_F(HandheldDeviceCli, ExportPrintsTheImageThatImportReads) {
  RunOk({"import", "--image", image_,
         std::string(BOLVARIN_SOURCE_DIR) + "/samples/sample-handheld.json"});
  HostResult exported = RunOk({"export", "--image", image_});
  EXPECT_EQ(exported.out, ReadFile(image_));
  std::string copy = dir_.File("copy.json");
  WriteFile(dir_.File("exported.json"), exported.out);
  RunOk({"import", "--image", copy, dir_.File("exported.json")});
  EXPECT_EQ(ReadFile(copy), exported.out);
  EXPECT_FALSE(Exists(dir_.File("none.json")));
}

TEST_F(HandheldDeviceCli, CategoryAndPreferenceEditing) {
  RunOk({"create", "--image", image_});
  RunOk({"category", "--image", image_, "--index", "4", "--name", "Health", "--id", "44"});
  RunOk({"category", "--image", image_, "--index", "5", "--name", "Travel", "--clean"});
  RunOk({"pref", "--image", image_, "--modes", "Cash,Card", "--types", "Rent\\, flat,Fuel"});
  RunOk({"pref", "--image", image_, "--descs", "Weekly shop"});  // the other lists are kept

  Device device = Device::Load(image_);
  EXPECT_EQ(Ledger(device).categories[4].name, "Health");
  EXPECT_EQ(Ledger(device).categories[4].id, 44);
  EXPECT_TRUE(Ledger(device).categories[4].dirty);
  EXPECT_FALSE(Ledger(device).categories[5].dirty);
  // Entries each end with 0, each list ends with 0, then the final 0.
  Bytes block(24, 0);
  for (std::string part :
       {std::string("Cash\0Card\0\0", 11), std::string("Rent, flat\0Fuel\0\0", 17),
        std::string("Weekly shop\0\0", 13), std::string("\0", 1)}) {
    block.insert(block.end(), part.begin(), part.end());
  }
  EXPECT_EQ(device.FindPreference("Bolv", 0)->data, block);

  HostResult shown = RunOk({"show", "--image", image_});
  EXPECT_NE(shown.out.find("\"Health\""), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("types: \"Rent, flat\", \"Fuel\""), std::string::npos) << shown.out;
}

TEST_F(HandheldDeviceCli, ShowConvertsLedgerRecordsAndFallsBackToHex) {
  RunOk({"create", "--image", image_});
  RunOk({"add", "--image", image_, "--hex", "C7990E1EFFFFFF9CBFF900004100"});
  RunOk({"add", "--image", image_, "--hex", "0102"});
  HostResult shown = RunOk({"show", "--image", image_});
  EXPECT_NE(shown.out.find(";25/12/2003 14:30:00;-100;3;"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("hex 0102"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("attributes 40 (changed)"), std::string::npos) << shown.out;
}

}  // namespace
}  // namespace bolvarin::handheld
