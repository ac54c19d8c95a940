// The data file: loading it and rewriting it. (Converting its lines is
// record_encode's target: any text reaches the same EncodeRecord there.)
//
// A file that loads is written back (CR LF after each line) so that it loads
// again as the same lines and is written back byte for byte the same. A file
// that does not load is left exactly as it was, and the store says why.
#include "fuzz/fuzz_support.h"
#include "store/cdtdata.h"

using namespace bolvarin;

namespace {

constexpr char kName[] = "MaBolvarin.txt";

// Opens the file and releases the store (which rewrites a file that loaded): the file's lines.
std::optional<std::vector<std::string>> LoadAndRelease(const std::string& folder,
                                                       std::string& failure) {
  DesktopRecords().Clear();
  std::vector<std::string> lines;
  bool loaded = false;
  {
    CDtData store(fuzz::Platform());
    loaded = store.OpenDatabase(folder, kName);
    failure = store.OpenFailure();
    RecordList& list = DesktopRecords();
    for (int32_t i = 1; i <= list.Count(); ++i) lines.push_back(list.Item(i).Texte);
  }
  fuzz::Require(!loaded || DesktopRecords().Count() == 0, "the release leaves records in the list");
  return loaded ? std::optional(lines) : std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = fuzz::CleanFolder(), path = folder + "/" + kName;
  const auto lines = fuzz::CheckRewrite<std::vector<std::string>>(
      path, std::string_view(reinterpret_cast<const char*>(data), size),
      [&](std::string& failure) { return LoadAndRelease(folder, failure); });
  if (!lines) return 0;
  std::string expected;
  for (const std::string& line : *lines) expected += line + "\r\n";
  fuzz::Require(fuzz::ReadFile(path) == expected, "the file is not its lines, each ended by CR LF");
  return 0;
}
