// Helpers for the tests of whole runs: a simulated handheld with the ledger
// database and preference, list files, and a settings file of the test's own.
#pragma once

#include "config/settings.h"
#include "config/settings_file.h"
#include "handheld/sim_platform.h"
#include "store/record_codec.h"
#include "tests/test_util.h"  // also brings <string> and <vector>

namespace bolvarin::lists_testing {

using Texts = std::vector<std::string>;

// The lines of a list file as the conduit writes them.
inline std::string Lines(const Texts& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

// The lines of a file the conduit wrote, each ended by CR LF.
inline Texts LinesOf(const std::string& text) {
  Texts lines;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// A handheld holding the ledger database (no records) with the category
// `slots` first, and `block` as preference 0 (version 7) of "Bolv".
inline handheld::Device MakeDevice(const std::string& block,
                                   const std::vector<handheld::Category>& slots = {}) {
  handheld::Device device;
  handheld::Database& db = device.databases.emplace_back();
  db.name = "MaBolvarin Data";
  db.creator = "Bolv";
  db.type = "Data";
  for (size_t i = 0; i < slots.size(); ++i) db.categories[i] = slots[i];
  device.preferences.push_back({"Bolv", 0, 7, Bytes(block.begin(), block.end())});
  return device;
}

// The record codec's platform side, as the simulated handheld gives it.
inline PlatformUtility& Utility() {
  static handheld::Device device;
  static handheld::SimPlatform platform(device, {});
  static std::shared_ptr<PlatformUtility> utility = platform.NewPlatformUtility();
  return *utility;
}

// The record, clean, that the handheld holds for desktop `line` under `id`:
// its category and its bytes with the terminator.
inline handheld::Record EncodedRecord(const std::string& line, int32_t id) {
  TaggedValue rid;
  int32_t category = 0, attributes = 0;
  std::string bytes;
  EncodeRecord(Utility(), line, rid, category, attributes, bytes);
  return {id, category, 0, Bytes(bytes.c_str(), bytes.c_str() + bytes.size() + 1)};
}

// A settings file of the test's own, the active store while this lives.
class ScopedSettings {
 public:
  explicit ScopedSettings(const std::string& path) : file(path) { SetActiveSettings(&file); }
  ~ScopedSettings() { SetActiveSettings(nullptr); }
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;
  FileSettings file;
};

}  // namespace bolvarin::lists_testing
