// Helpers for the category and preference tests: a simulated handheld with
// the ledger database and preference, and one whole sync run over it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "conduit/cnotify.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "tests/test_util.h"

namespace bolvarin::lists_testing {

inline constexpr char kLedger[] = "MaBolvarin Data";

// A 24-byte header with 0 bytes and high bytes in it, so a header that is
// not carried over whole shows.
inline std::string Header() {
  std::string header;
  for (int i = 0; i < 24; ++i) header += static_cast<char>(i % 3 == 0 ? 0 : 0xA0 + i);
  return header;
}

// A preference block as the handheld application lays it out: the header,
// then each list as entries ended by 0 and a 0 ending the list (a list of
// 63 types has no ending 0), then the final 0.
inline std::string Block(const std::string& header, const std::vector<std::string>& modes,
                         const std::vector<std::string>& types,
                         const std::vector<std::string>& descs) {
  std::string block = header;
  for (const auto& m : modes) block += m + std::string(1, '\0');
  block += '\0';
  for (const auto& t : types) block += t + std::string(1, '\0');
  if (types.size() != 63) block += '\0';
  for (const auto& d : descs) block += d + std::string(1, '\0');
  block += '\0';
  block += '\0';
  return block;
}

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline std::string FromBytes(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// "prefix1", "prefix2", ...
inline std::vector<std::string> Numbered(const std::string& prefix, int count) {
  std::vector<std::string> out;
  for (int i = 1; i <= count; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

// The lines of a list file as the conduit writes them.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

// A handheld holding the ledger database (no records) and, when `block` is
// not null, preference 0 of "Bolv".
inline handheld::Device MakeDevice(const std::string* block = nullptr, int32_t version = 7) {
  handheld::Device device;
  handheld::Database db;
  db.name = kLedger;
  db.creator = "Bolv";
  db.type = "Data";
  device.databases.push_back(std::move(db));
  if (block != nullptr) {
    handheld::Preference pref;
    pref.creator = "Bolv";
    pref.number = 0;
    pref.version = version;
    pref.data = ToBytes(*block);
    device.preferences.push_back(std::move(pref));
  }
  return device;
}

inline handheld::Database& Ledger(handheld::Device& device) {
  return *device.FindDatabase(kLedger);
}

inline std::string PreferenceText(handheld::Device& device) {
  handheld::Preference* pref = device.FindPreference("Bolv", 0);
  return pref == nullptr ? std::string("<none>") : FromBytes(pref->data);
}

// Settings for the run: replaced files are deleted for good, so the tests
// leave nothing in the user's trash.
class ScopedSettings {
 public:
  ScopedSettings() : backend_(dir_.File("settings")) {
    backend_.Set(kSettingsKey, "DEFINITIF", "OUI");
    SetActiveSettings(&backend_);
  }
  ~ScopedSettings() { SetActiveSettings(nullptr); }

 private:
  testing::TempDir dir_;
  FileSettings backend_;
};

// What one run left behind besides the device and the files.
struct RunResult {
  std::vector<handheld::LogEntry> log;
  std::vector<std::string> categoryCalls;

  // The log lines that contain `piece`.
  std::vector<std::string> LinesWith(const std::string& piece) const {
    std::vector<std::string> out;
    for (const auto& entry : log) {
      if (entry.text.find(piece) != std::string::npos) out.push_back(entry.text);
    }
    return out;
  }
  std::string AllLines() const {
    std::string out;
    for (const auto& entry : log) out += entry.text + "\n";
    return out;
  }
};

// One whole run of `syncType` over `device`, with the desktop folder
// `desktop`, as the sync manager starts it.
inline RunResult RunSync(handheld::Device& device, const std::string& desktop, int32_t syncType,
                         const std::function<void(handheld::SimPlatform&)>& prepare = {}) {
  ScopedSettings settings;
  handheld::RunRequest run;
  run.syncType = syncType;
  run.desktopPath = desktop;
  handheld::SimPlatform platform(device, run);
  if (prepare) prepare(platform);
  CNotify notify(platform);
  notify.BeginProcess();
  return RunResult{platform.log(), platform.categoryCalls()};
}

}  // namespace bolvarin::lists_testing
