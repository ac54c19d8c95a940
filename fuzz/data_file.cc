// The data file: loading it, converting its lines, and rewriting it.
//
// A file that loads is written back (CR LF after each line) so that it loads
// again as the same lines and is written back byte for byte the same. A file
// that does not load is left exactly as it was, and the store says why.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/mod_public.h"
#include "fuzz/fuzz_support.h"
#include "handheld/sim_platform.h"
#include "store/cdtdata.h"
#include "store/desktop_records.h"

using namespace bolvarin;

namespace {

constexpr char kName[] = "MaBolvarin.txt";

std::vector<std::string> Lines() {
  std::vector<std::string> lines;
  RecordList& list = DesktopRecords();
  for (int32_t i = 1; i <= list.Count(); ++i) lines.push_back(list.Item(i).Texte);
  return lines;
}

// Opens the file, converts up to 64 of its lines for the handheld, and
// releases the store (which rewrites a file that loaded).
bool LoadAndRelease(Platform& platform, const std::string& folder, std::vector<std::string>& lines,
                    std::string& failure) {
  DesktopRecords().Clear();
  CDtData store(platform);
  const bool loaded = store.OpenDatabase(folder, kName);
  lines = Lines();
  failure = store.OpenFailure();
  for (int32_t i = 0; i < store.RecordCount() && i < 64; ++i) {
    TaggedValue id;
    int32_t category = 0, attributes = 0;
    try {
      store.ReadByIndex(i, id, category, attributes);
    } catch (const ConduitError&) {
      // a line that does not convert is refused with a description
    }
  }
  return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static handheld::Device device;
  static handheld::SimPlatform platform(device, {});
  DeleteDefinitively = true;  // old files need not go to a trash here

  const std::string folder = fuzz::CleanFolder();
  const std::string path = folder + "/" + kName;
  const std::string input(reinterpret_cast<const char*>(data), size);
  fuzz::WriteFile(path, input);

  std::vector<std::string> lines;
  std::string failure;
  if (!LoadAndRelease(platform, folder, lines, failure)) {
    fuzz::Require(!failure.empty(), "a data file that does not load gives no reason");
    fuzz::Require(fuzz::ReadFile(path) == input, "a data file that does not load was changed");
    return 0;
  }
  fuzz::Require(DesktopRecords().Count() == 0, "the release leaves records in the list");

  const std::string written = fuzz::ReadFile(path);
  std::string expected;
  for (const std::string& line : lines) expected += line + "\r\n";
  fuzz::Require(written == expected, "the rewritten file is " + fuzz::Show(written) +
                                         " where its lines make " + fuzz::Show(expected));

  std::vector<std::string> again;
  fuzz::Require(LoadAndRelease(platform, folder, again, failure),
                "the rewritten file " + fuzz::Show(written) + " does not load: " + failure);
  fuzz::Require(again == lines, "the rewritten file " + fuzz::Show(written) +
                                    " loads as other lines than " + fuzz::Show(input));
  fuzz::Require(fuzz::ReadFile(path) == written, "a second rewrite changes " + fuzz::Show(written));
  return 0;
}
