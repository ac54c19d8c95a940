// syncbolvarin sync and demo: one synchronisation run, as the sync manager
// would start it, on a simulated handheld kept in an image file.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include "base/error.h"
#include "base/sync_type.h"
#include "conduit/conduit_info.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "host/commands.h"
#include "host/conduit_driver.h"
#include "host/host_os.h"
#include "host/image_lock.h"
#include "os/files.h"

namespace bolvarin::host {

namespace {

namespace fs = std::filesystem;

struct SyncOptions {
  std::string image;
  std::string desktop;
  std::string file = "MaBolvarin.txt";
  std::string type = "fast";
  std::vector<std::string> databases;
  bool noDatabase = false;
  bool create = false;  // a missing image starts an empty handheld
  std::string settings;
  bool stats = false;   // the run's platform calls, on standard error
  int linkLatency = 0;  // milliseconds each platform call waits
};

int32_t ParseSyncType(const std::string& text) {
  static const std::map<std::string, SyncType> kNames = {
      {"fast", SyncType::kFast},          {"slow", SyncType::kSlow},
      {"hh2pc", SyncType::kHandheldToPc}, {"pc2hh", SyncType::kPcToHandheld},
      {"install", SyncType::kInstall},    {"backup", SyncType::kBackup},
      {"nothing", SyncType::kDoNothing},
  };
  if (auto it = kNames.find(text); it != kNames.end()) return CodeOf(it->second);
  const std::optional<long long> value = WholeInteger(text);
  if (value && *value >= INT32_MIN && *value <= INT32_MAX) return static_cast<int32_t>(*value);
  throw CommandError("--type: \"" + text +
                     "\" is neither a sync type code nor one of fast, slow, hh2pc, pc2hh, "
                     "install, backup, nothing");
}

// Test hooks that cut the run's link at one call; see docs/cli.md.
std::optional<handheld::CallCut> CutFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  try {
    return handheld::ParseCallCut(value, name);
  } catch (const ConduitError& e) {
    throw CommandError(e.description());
  }
}

handheld::Device LoadOrCreate(const std::string& image, bool exists, const char* seedJson) {
  if (exists) return handheld::Device::Load(image);
  if (seedJson != nullptr) return handheld::Device::FromJson(seedJson, "the bundled sample image");
  handheld::Device device;
  std::cerr << "syncbolvarin: " << image << " does not exist; starting with an empty handheld\n";
  return device;
}

void RunSync(const SyncOptions& options, const char* seedJson) {
  UseSettingsFile(options.settings);
  // A conduit that cannot be reached is said before anything is touched.
  std::unique_ptr<ConduitDriver> conduit = OpenConduit();
  conduit->PrepareRun();

  // The image is known to be there and writable before anything on the
  // desktop is touched: a run against a mistyped path would otherwise meet
  // an empty handheld and empty the desktop files to match it.
  std::error_code ec;
  const bool imageExists = fs::exists(options.image, ec);
  if (!imageExists && seedJson == nullptr && !options.create) {
    throw CommandError("--handheld: \"" + options.image +
                       "\" does not exist (give --create to start with an empty handheld)");
  }
  if (const std::string why = WhyCannotReplace(options.image, /*permanent=*/true); !why.empty()) {
    throw CommandError("--handheld: cannot write \"" + options.image + "\": " + why);
  }

  handheld::RunRequest run;
  run.syncType = ParseSyncType(options.type);
  run.desktopPath = options.desktop;
  run.desktopFileName = options.file;
  if (options.noDatabase) {
    run.databases.clear();
  } else if (!options.databases.empty()) {
    run.databases = options.databases;
  }

  fs::create_directories(options.desktop, ec);
  if (!fs::is_directory(options.desktop)) {
    throw CommandError("--desktop: cannot use \"" + options.desktop + "\" as a folder");
  }

  // Held until the image is saved, so no other command changes it meanwhile.
  ImageLock imageLock(options.image,
                      seedJson != nullptr ? "syncbolvarin demo" : "syncbolvarin sync");
  handheld::Device device = LoadOrCreate(options.image, imageExists, seedJson);
  bool loggedError = false;
  // The conduit's log lines start with its own name, which follows its file.
  const std::string conduitName = conduit->GetConduitInfo(0).AsText();
  auto printLine = [&loggedError, &conduitName](const std::string& text) {
    if (IsErrorLogLine(text, conduitName)) loggedError = true;
    std::cout << text;
    if (text.empty() || text.back() != '\n') std::cout << '\n';
    std::cout.flush();
  };

  std::string failure;
  ConduitDriver::Link link;
  link.latency = std::chrono::milliseconds(options.linkLatency);
  link.failAt = CutFromEnvironment("SYNCBOLVARIN_FAIL_AT");
  link.crashAt = CutFromEnvironment("SYNCBOLVARIN_CRASH_AT");
  if (link.failAt && link.crashAt) {
    throw CommandError("SYNCBOLVARIN_FAIL_AT and SYNCBOLVARIN_CRASH_AT: set one of them, not both");
  }
  link.image = options.image;
  try {
    conduit->BeginProcess(device, run, printLine, link);
  } catch (const ConduitError& e) {
    failure = "the run failed: " + e.description() + " (error " + std::to_string(e.number()) + ")";
  }
  if (options.stats) std::cerr << "syncbolvarin: " << link.calls << '\n';
  // What the conduit changed on the handheld is kept even when the run failed
  // part-way, as a real device would keep it.
  device.Save(options.image);
  if (!failure.empty()) throw CommandError(failure);
  if (loggedError) SetExitStatus(kExitRunLoggedErrors);
}

void AddSyncOptions(CLI::App* cmd, SyncOptions& o) {
  cmd->add_option("--file", o.file, "Name of the desktop data file")->capture_default_str();
  cmd->add_option("--type", o.type,
                  "Sync type: a code (0..7) or fast, slow, hh2pc, pc2hh, install, backup, nothing")
      ->capture_default_str();
  cmd->add_option("--database", o.databases,
                  "A database name of the run's list (repeatable; default \"MaBolvarin Data\")");
  cmd->add_flag("--no-database", o.noDatabase, "Run with an empty database list");
  cmd->add_option("--settings", o.settings, "Settings file (default: the user's settings file)");
  cmd->add_flag("--stats", o.stats,
                "After the run, print its calls to the handheld by operation on standard error");
  cmd->add_option("--link-latency", o.linkLatency,
                  "Model a slow link: each call to the handheld waits this many milliseconds")
      ->check(CLI::Range(0, 60000));
}

}  // namespace

void AddSyncCommand(CLI::App& app) {
  auto options = std::make_shared<SyncOptions>();
  auto* sync = app.add_subcommand("sync", "Run one synchronisation on a handheld image");
  sync->add_option("--handheld", options->image, "Handheld image file (must exist unless --create)")
      ->required();
  sync->add_flag("--create", options->create,
                 "Start with an empty handheld when the image does not exist");
  sync->add_option("--desktop", options->desktop, "Desktop folder of the data files")->required();
  AddSyncOptions(sync, *options);
  sync->callback([options] { RunSync(*options, nullptr); });

  auto demo = std::make_shared<SyncOptions>();
  demo->databases.clear();
  auto* demoCmd = app.add_subcommand(
      "demo", "Synchronise the bundled sample handheld with a desktop folder and show the result");
  auto folder = std::make_shared<std::string>("syncbolvarin-demo");
  demoCmd->add_option("DIR", *folder, "Working folder (handheld.json and desktop/ inside)")
      ->capture_default_str();
  AddSyncOptions(demoCmd, *demo);
  demoCmd->callback([demo, folder] {
    fs::create_directories(*folder);
    demo->image = (fs::path(*folder) / "handheld.json").string();
    demo->desktop = (fs::path(*folder) / "desktop" / "").string();
    if (demo->settings.empty()) demo->settings = DemoSettingsPath(*folder);
    std::cerr << "syncbolvarin: handheld " << demo->image << ", desktop " << demo->desktop << "\n";
    RunSync(*demo, SampleImageJson());
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(demo->desktop)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
      std::cout << "\n== " << path.filename().string() << " ==\n";
      std::ifstream in(path, std::ios::binary);
      std::string line;
      while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::cout << line << "\n";
      }
    }
  });
}

}  // namespace bolvarin::host
