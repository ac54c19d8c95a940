#include "store/cdtdata.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "conduit/mod_public.h"
#include "conduit/platform.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "lists/cdtcategories.h"
#include "os/files.h"
#include "store/desktop_records.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class StoreUtility : public PlatformUtility {
 public:
  std::string CodeToText(int32_t, int32_t) override { return "Bolv"; }
  std::string RecordIdToText(const TaggedValue& id) override {
    return std::to_string(id.AsInt32());
  }
  TaggedValue TextToRecordId(const std::string& text) override {
    return TaggedValue::Int32(TaggedValue::Text(text).AsInt32());
  }
};

class StorePlatform : public Platform {
 public:
  std::shared_ptr<PlatformSystem> NewPlatformSystem() override { return nullptr; }
  std::shared_ptr<ConduitServices> NewConduitServices() override { return nullptr; }
  std::shared_ptr<PlatformUtility> NewPlatformUtility() override {
    ++utilities;
    return std::make_shared<StoreUtility>();
  }
  int utilities = 0;
};

Bytes RecordBytes(const std::string& hex, const std::string& note) {
  std::vector<unsigned char> b = testing::Hex(hex);
  Bytes out(b.begin(), b.end());
  out.insert(out.end(), note.begin(), note.end());
  out.push_back(0);
  return out;
}

// 25/12/2003 14:30, amount -100, status 3, no mode or type, no items.
const char kFixed[] = "C7 99 0E 1E FF FF FF 9C BF F9 00 00";

std::string LineFor(int32_t id, int attributes, const std::string& date, const std::string& note) {
  return std::to_string(id) + ";1; " + std::to_string(attributes) + ";" + date + ";10;0;;;;;;;" +
         note;
}

std::vector<std::string> Texts() {
  std::vector<std::string> out;
  RecordList& list = DesktopRecords();
  for (int32_t i = 1; i <= list.Count(); ++i) out.push_back(list.Item(i).Texte);
  return out;
}

class CDtDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = std::make_unique<FileSettings>(dir_.File("settings"));
    SetActiveSettings(settings_.get());
    savedDelete_ = DeleteDefinitively;
    DeleteDefinitively = true;  // keep the user's trash out of the tests
    DesktopRecords().Clear();
    folder_ = dir_.File("ledger data");
    mkdir(folder_.c_str(), 0700);
    dataFile_ = folder_ + "/ledger.txt";
  }
  void TearDown() override {
    FailNextReplaceAfterForTesting(-1);
    SetActiveSettings(nullptr);
    DeleteDefinitively = savedDelete_;
    DesktopRecords().Clear();
  }

  // A post-sync program that records its arguments and a copy of the file.
  void InstallPostsync() {
    std::string script = dir_.File("post.sh");
    WriteFile(script, "printf '%s\\n' \"$#\" \"$1\" > '" + dir_.File("args") + "'\ncp \"$1\" '" +
                          dir_.File("seen") + "'\n");
    SetRegValue(kSettingsKey, "postsync", "/bin/sh '" + script + "'");
  }
  bool PostsyncRan() const { return Exists(dir_.File("args")); }

  TempDir dir_;
  std::unique_ptr<FileSettings> settings_;
  bool savedDelete_ = false;
  std::string folder_;
  std::string dataFile_;
  StorePlatform platform_;
};

TEST_F(CDtDataTest, DataFilePathWithAndWithoutFinalSeparator) {
  CDtData a(platform_), b(platform_), c(platform_);
  a.OpenDatabase(folder_, "ledger.txt");
  b.OpenDatabase(folder_ + "/", "ledger.txt");
  c.OpenDatabase(folder_ + "\\", "ledger.txt");  // a Windows-style folder
  EXPECT_EQ(a.DataFile(), dataFile_);
  EXPECT_EQ(b.DataFile(), dataFile_);
  EXPECT_EQ(c.DataFile(), folder_ + "\\ledger.txt");
}

TEST_F(CDtDataTest, LoadsLinesWithTheirLineEnds) {
  WriteFile(dataFile_, LineFor(1, 0, "01/02/2004", "a\nb") + "\r\n" + "\r\n" +
                           LineFor(2, 64, "03/02/2004 10:00:00", "x;y") + "\r" +
                           LineFor(-3, 0, "02/02/2004", "last\n"));
  DesktopRecords().Add(colEnregistrement{99, "kept", DateTime{}});
  CDtData store(platform_);
  ASSERT_TRUE(store.OpenDatabase(folder_, "ledger.txt"));
  EXPECT_TRUE(store.OpenFailure().empty());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"kept", LineFor(1, 0, "01/02/2004", "a\nb"),
                                               LineFor(2, 64, "03/02/2004 10:00:00", "x;y"),
                                               LineFor(-3, 0, "02/02/2004", "last\n")}));
  RecordList& list = DesktopRecords();
  EXPECT_EQ(list.Item(2).ID, 1);
  EXPECT_EQ(list.Item(3).ID, 2);
  EXPECT_EQ(list.Item(4).ID, -3);
  EXPECT_EQ(list.Item(3).lDate, (DateTime{2004, 2, 3, 10, 0, 0}));

  // A second opening appends the same records again.
  ASSERT_TRUE(store.OpenDatabase(folder_, "ledger.txt"));
  EXPECT_EQ(store.RecordCount(), 7);
  EXPECT_EQ(list.FindFirst(2), 3);
  store.RemoveAllRecords();
  EXPECT_EQ(store.RecordCount(), 0);
}

TEST_F(CDtDataTest, EmptyAndMissingFiles) {
  WriteFile(dataFile_, "");
  CDtData store(platform_);
  EXPECT_TRUE(store.OpenDatabase(folder_, "ledger.txt"));
  EXPECT_EQ(store.RecordCount(), 0);
  EXPECT_FALSE(store.OpenDatabase(folder_, "absent.txt"));
  EXPECT_TRUE(store.FileMissing());
  EXPECT_TRUE(store.OpenFailure().empty());
}

TEST_F(CDtDataTest, UnreadableFileIsLeftUntouched) {
  struct Case {
    std::string badLine;
    const char* reason;
  } cases[] = {
      {"no separator here", "has no \";\""},
      {"abc;1; 0;01/01/2004;0;0;;;;;;;", "Field 0 (identifier) \"abc\""},
      {"99999999999;1; 0;01/01/2004;0;0;;;;;;;", "Field 0 (identifier)"},
      {"4;1; 0;31/02/2004;0;0;;;;;;;", "Field 3 (date) \"31/02/2004\""},
      {"4;1; 0", "Field 3 (date) is missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.badLine);
    const std::string contents = "\r\n" + LineFor(1, 0, "01/01/2004", "one") + "\r\n" + c.badLine +
                                 "\r\n" + LineFor(2, 0, "01/01/2004", "two") + "\r\n";
    WriteFile(dataFile_, contents);
    InstallPostsync();
    DesktopRecords().Add(colEnregistrement{99, "before", DateTime{}});
    {
      CDtData store(platform_);
      EXPECT_FALSE(store.OpenDatabase(folder_ + "/", "ledger.txt"));
      EXPECT_FALSE(store.FileMissing());
      EXPECT_NE(store.OpenFailure().find(dataFile_), std::string::npos) << store.OpenFailure();
      EXPECT_NE(store.OpenFailure().find("line 3"), std::string::npos) << store.OpenFailure();
      EXPECT_NE(store.OpenFailure().find(c.reason), std::string::npos) << store.OpenFailure();
      // What this opening appended is gone; what was there before stays.
      EXPECT_EQ(Texts(), (std::vector<std::string>{"before"}));
      // Neither a new empty file nor the release may replace it.
      EXPECT_FALSE(store.CreateDatabase(folder_, "ledger.txt"));
      store.WriteRecord(TaggedValue::Int32(5), 1, 64, RecordBytes(kFixed, "new"));
    }
    EXPECT_EQ(ReadFile(dataFile_), contents);
    EXPECT_FALSE(PostsyncRan());
    EXPECT_EQ(DesktopRecords().Count(), 0);
  }
}

TEST_F(CDtDataTest, WriteRecordByAttributes) {
  const std::string decoded = "5;1; 64;25/12/2003 14:30:00;-100;3;;;;;;;new";
  struct Case {
    int32_t id;
    int32_t attributes;
    std::vector<std::string> expected;  // the list after the write
  } cases[] = {
      {5, 64, {"1;1; 0;01/01/2004;10;0;;;;;;;a", decoded, "5;1; 0;03/01/2004;10;0;;;;;;;c"}},
      {7,
       64,
       {"1;1; 0;01/01/2004;10;0;;;;;;;a", "5;1; 0;02/01/2004;10;0;;;;;;;b",
        "5;1; 0;03/01/2004;10;0;;;;;;;c", "7;1; 64;25/12/2003 14:30:00;-100;3;;;;;;;new"}},
      {5, 128, {"1;1; 0;01/01/2004;10;0;;;;;;;a", "5;1; 0;03/01/2004;10;0;;;;;;;c"}},
      {5, 192, {"1;1; 0;01/01/2004;10;0;;;;;;;a", "5;1; 0;03/01/2004;10;0;;;;;;;c"}},
      {7,
       128,
       {"1;1; 0;01/01/2004;10;0;;;;;;;a", "5;1; 0;02/01/2004;10;0;;;;;;;b",
        "5;1; 0;03/01/2004;10;0;;;;;;;c"}},
      {5,
       136,
       {"1;1; 0;01/01/2004;10;0;;;;;;;a", "5;1; 136;25/12/2003 14:30:00;-100;3;;;;;;;new",
        "5;1; 0;03/01/2004;10;0;;;;;;;c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + "/" + std::to_string(c.attributes));
    WriteFile(dataFile_, LineFor(1, 0, "01/01/2004", "a") + "\r\n" +
                             LineFor(5, 0, "02/01/2004", "b") + "\r\n" +
                             LineFor(5, 0, "03/01/2004", "c") + "\r\n");
    DesktopRecords().Clear();
    CDtData store(platform_);
    ASSERT_TRUE(store.OpenDatabase(folder_, "ledger.txt"));
    store.WriteRecord(TaggedValue::Int32(c.id), 1, c.attributes, RecordBytes(kFixed, "new"));
    EXPECT_EQ(Texts(), c.expected);
    for (int32_t i = 1; i <= DesktopRecords().Count(); ++i) {
      EXPECT_EQ(DesktopRecords().Item(i).lDate, LineDate(DesktopRecords().Item(i).Texte));
    }
  }
}

TEST_F(CDtDataTest, WriteRecordDropsWhatDoesNotConvert) {
  DesktopRecords().Add(
      colEnregistrement{5, LineFor(5, 0, "01/01/2004", "old"), DateTime{2004, 1, 1, 0, 0, 0}});
  CDtData store(platform_);
  store.WriteRecord(TaggedValue::Int32(5), 1, 64, Bytes{0xC7, 0x99, 0x00});  // too short
  store.WriteRecord(TaggedValue::Int32(6), 1, 64, RecordBytes("00 00 00 00 0000000000000000", ""));
  store.WriteRecord(TaggedValue::Text("x"), 1, 64, RecordBytes(kFixed, ""));
  EXPECT_EQ(Texts(), (std::vector<std::string>{LineFor(5, 0, "01/01/2004", "old")}));
}

TEST_F(CDtDataTest, RemoveAllDeletedRecords) {
  CDtData store(platform_);
  for (int attributes : {0, 8, 128, 64, 136, 192, 1}) {
    DesktopRecords().Add(colEnregistrement{
        attributes, LineFor(attributes, attributes, "01/01/2004", ""), DateTime{}});
  }
  store.RemoveAllDeletedRecords();
  std::vector<int32_t> ids;
  for (int32_t i = 1; i <= store.RecordCount(); ++i) ids.push_back(DesktopRecords().Item(i).ID);
  EXPECT_EQ(ids, (std::vector<int32_t>{0, 64, 1}));

  // One line whose attributes cannot be read: nothing is removed.
  DesktopRecords().Add(colEnregistrement{9, LineFor(9, 128, "01/01/2004", ""), DateTime{}});
  DesktopRecords().Add(colEnregistrement{10, "10;1;x;01/01/2004;0;0;;;;;;;", DateTime{}});
  try {
    store.RemoveAllDeletedRecords();
    ADD_FAILURE() << "no error";
  } catch (const ConduitError& e) {
    EXPECT_NE(e.description().find("Record 5 (identifier 10)"), std::string::npos)
        << e.description();
    EXPECT_NE(e.description().find("Field 2 (attributes)"), std::string::npos);
  }
  EXPECT_EQ(store.RecordCount(), 5);
}

TEST_F(CDtDataTest, ReadByIndexEncodesWithTerminator) {
  DesktopRecords().Add(
      colEnregistrement{12, "12;3; 64;25/12/2003 14:30:00;-100;3;;;;;;;note", DateTime{}});
  DesktopRecords().Add(colEnregistrement{13, "13;4; 0;25/12/2003;1;0;;;;;;;", DateTime{}});
  CDtData store(platform_);
  TaggedValue id;
  int32_t category = 0, attributes = 0;
  Bytes bytes = store.ReadByIndex(0, id, category, attributes);
  EXPECT_EQ(id.AsInt32(), 12);
  EXPECT_EQ(category, 3);
  EXPECT_EQ(attributes, 64);
  EXPECT_EQ(bytes, RecordBytes(kFixed, "note"));
  bytes = store.ReadByIndex(1, id, category, attributes);
  EXPECT_EQ(id.AsInt32(), 13);
  EXPECT_EQ(bytes.size(), 13u);
  EXPECT_EQ(bytes.back(), 0);
  EXPECT_EQ(platform_.utilities, 1);  // one converter for the store's life
  for (int32_t index : {2, -1}) {
    try {
      store.ReadByIndex(index, id, category, attributes);
      ADD_FAILURE() << index;
    } catch (const ConduitError& e) {
      EXPECT_EQ(e.number(), err::kSubscriptOutOfRange);
    }
  }
}

TEST_F(CDtDataTest, ReleaseWritesTheFileThenRunsPostsync) {
  WriteFile(dataFile_, LineFor(2, 0, "05/01/2004", "b") + "\r\n");
  InstallPostsync();
  {
    CDtData store(platform_);
    ASSERT_TRUE(store.OpenDatabase(folder_, "ledger.txt"));
    store.WriteRecord(TaggedValue::Int32(1), 1, 64, RecordBytes(kFixed, "line\nbreak"));
    SortRecordsByDate();
  }
  const std::string expected = "1;1; 64;25/12/2003 14:30:00;-100;3;;;;;;;line\nbreak\r\n" +
                               LineFor(2, 0, "05/01/2004", "b") + "\r\n";
  EXPECT_EQ(ReadFile(dataFile_), expected);
  EXPECT_EQ(DesktopRecords().Count(), 0);
  ASSERT_TRUE(PostsyncRan());
  // One argument, the full path (which holds a blank), after the file was written.
  EXPECT_EQ(ReadFile(dir_.File("args")), "1\n" + dataFile_ + "\n");
  EXPECT_EQ(ReadFile(dir_.File("seen")), expected);

  // The written file reads back as the same records.
  CDtData again(platform_);
  ASSERT_TRUE(again.OpenDatabase(folder_, "ledger.txt"));
  EXPECT_EQ(again.RecordCount(), 2);
  EXPECT_EQ(DesktopRecords().Item(1).Texte, "1;1; 64;25/12/2003 14:30:00;-100;3;;;;;;;line\nbreak");
}

TEST_F(CDtDataTest, ReleaseWithoutPostsyncOrWithoutFolder) {
  {
    CDtData store(platform_);
    ASSERT_TRUE(store.CreateDatabase(folder_, "new.txt"));
    store.WriteRecord(TaggedValue::Int32(1), 1, 64, RecordBytes(kFixed, ""));
  }
  EXPECT_EQ(ReadFile(folder_ + "/new.txt"), "1;1; 64;25/12/2003 14:30:00;-100;3;;;;;;;\r\n");
  EXPECT_FALSE(PostsyncRan());

  InstallPostsync();
  DesktopRecords().Add(colEnregistrement{3, "not this store's", DateTime{}});
  { CDtData store(platform_); }
  EXPECT_FALSE(PostsyncRan());
  EXPECT_EQ(DesktopRecords().Count(), 1);
}

TEST_F(CDtDataTest, FailedReleaseKeepsTheOldFileWhole) {
  const std::string old = LineFor(2, 0, "05/01/2004", "a long enough note to be cut") + "\r\n";
  WriteFile(dataFile_, old);
  InstallPostsync();
  {
    CDtData store(platform_);
    ASSERT_TRUE(store.OpenDatabase(folder_, "ledger.txt"));
    store.WriteRecord(TaggedValue::Int32(1), 1, 64, RecordBytes(kFixed, "new"));
    FailNextReplaceAfterForTesting(20);
  }
  EXPECT_EQ(ReadFile(dataFile_), old);
  EXPECT_FALSE(PostsyncRan());
  EXPECT_EQ(DesktopRecords().Count(), 0);  // nothing leaks into a later run
}

TEST_F(CDtDataTest, CreateDatabaseReplacesWithAnEmptyFile) {
  WriteFile(dataFile_, "old contents\r\n");
  CDtData store(platform_);
  EXPECT_TRUE(store.CreateDatabase(folder_, "ledger.txt"));
  EXPECT_EQ(ReadFile(dataFile_), "");
  EXPECT_FALSE(store.CreateDatabase(dir_.File("no such folder"), "ledger.txt"));
}

TEST_F(CDtDataTest, LineDateNamesFieldThree) {
  EXPECT_EQ(LineDate("1;2; 0;25/12/2003 14:30:00;rest"), (DateTime{2003, 12, 25, 14, 30, 0}));
  EXPECT_EQ(LineDate("1;2; 0;7/3/1999"), (DateTime{1999, 3, 7, 0, 0, 0}));
  for (const char* line : {"1;2;3", "1;2; 0;soon;", "1;2; 0;;"}) {
    try {
      LineDate(line);
      ADD_FAILURE() << line;
    } catch (const ConduitError& e) {
      EXPECT_EQ(e.number(), err::kBadLine);
      EXPECT_NE(e.description().find("Field 3 (date)"), std::string::npos) << e.description();
    }
  }
}

TEST_F(CDtDataTest, CategoriesComeFromTheStoreFolder) {
  WriteFile(folder_ + "/categories.txt", "Food, 1,False\r\n");
  CDtData store(platform_);
  EXPECT_THROW(store.Categories(), ConduitError);  // no folder yet
  store.OpenDatabase(folder_, "ledger.txt");
  std::shared_ptr<CDtCategories> categories = store.Categories();
  ASSERT_NE(categories, nullptr);
  EXPECT_EQ(TrimBlanks(categories->Name(0)), "Food");
  EXPECT_NE(store.Categories(), categories);  // a new table on every call
}

}  // namespace
}  // namespace bolvarin
