// Helpers for the category and preference tests: a simulated handheld with
// the ledger database and preference, and one whole sync run over it.
#pragma once

#include <span>

#include "conduit/cnotify.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "handheld/sim_platform.h"
#include "tests/test_util.h"  // also brings <string> and <vector>

namespace bolvarin::lists_testing {

using Texts = std::vector<std::string>;

// A 24-byte preference header with 0 bytes and high bytes in it, so a header
// that is not carried over whole shows.
inline const std::string kHeader(
    "\0\xA1\xA2\0\xA4\xA5\0\xA7\xA8\0\xAA\xAB\0\xAD\xAE\0\xB0\xB1\0\xB3\xB4\0\xB6\xB7", 24);

// A preference block as the handheld application lays it out: the header,
// then each list as entries ended by 0 and a 0 ending the list (a list of
// 63 types has no ending 0), then the final 0.
inline std::string Block(const Texts& modes, const Texts& types, const Texts& descs,
                         const std::string& header = kHeader) {
  std::string block = header;
  for (const Texts* list : {&modes, &types, &descs}) {
    for (const auto& entry : *list) block += entry + '\0';
    if (list != &types || types.size() != 63) block += '\0';
  }
  return block + '\0';
}

// "prefix1", "prefix2", ...
inline Texts Numbered(const std::string& prefix, int count) {
  Texts out;
  for (int i = 1; i <= count; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

// The lines of a list file as the conduit writes them.
inline std::string Lines(const Texts& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
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

// The first `count` category slots of the handheld as "name id T|F" lines.
inline std::string Slots(const handheld::Device& device, size_t count) {
  std::string out;
  for (const auto& slot : std::span(device.databases[0].categories).first(count))
    out += slot.name + " " + std::to_string(slot.id) + (slot.dirty ? " T\n" : " F\n");
  return out;
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

inline std::string PreferenceText(const handheld::Device& device) {
  return std::string(device.preferences[0].data.begin(), device.preferences[0].data.end());
}

// What one run left behind besides the device and the files.
struct RunResult {
  std::vector<handheld::LogEntry> log;
  Texts categoryCalls;

  // The log lines that contain `piece`.
  Texts LinesWith(const std::string& piece) const {
    Texts out;
    for (const auto& entry : log)
      if (entry.text.find(piece) != std::string::npos) out.push_back(entry.text);
    return out;
  }
};

// One whole run of `syncType` over `device`, with the desktop folder
// `desktop`, as the sync manager starts it; the platform operation
// `failing` (when not empty) raises. Replaced files are deleted for good,
// so the tests leave nothing in the user's trash.
inline RunResult RunSync(handheld::Device& device, const std::string& desktop, int32_t syncType,
                         const std::string& failing = "") {
  testing::TempDir dir;
  ScopedSettings settings(dir.File("settings"));
  settings.file.Set(kSettingsKey, "DEFINITIF", "OUI");
  handheld::SimPlatform platform(device, {syncType, desktop});
  if (!failing.empty()) platform.FailOperation(failing);
  CNotify(platform).BeginProcess();
  return {platform.log(), platform.categoryCalls()};
}

}  // namespace bolvarin::lists_testing
