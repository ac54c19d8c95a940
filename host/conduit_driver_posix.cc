// The conduit linked into the host, running in-process over the simulated
// handheld: the POSIX build's road to the conduit.
#include <unistd.h>

#include <iostream>

#include "base/host_events.h"
#include "conduit/cnotify.h"
#include "conduit/conduit_info.h"
#include "config/fconfigure.h"
#include "host/commands.h"
#include "host/conduit_driver.h"
#include "host/host_os.h"

namespace bolvarin::host {

namespace {

// Shows that the run is alive on a terminal; stays quiet in pipes and tests.
class Progress {
 public:
  Progress() : tty_(isatty(2) != 0) {
    if (tty_) {
      previous_ = SetPendingMessagesHandler([this] {
        if (++ticks_ % 5000 == 0)
          std::cerr << "\rsyncbolvarin: working... " << ticks_ << std::flush;
      });
    }
  }
  ~Progress() {
    if (tty_) {
      SetPendingMessagesHandler(previous_);
      if (ticks_ >= 5000) std::cerr << "\r" << std::string(40, ' ') << "\r" << std::flush;
    }
  }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

 private:
  bool tty_;
  long ticks_ = 0;
  std::function<void()> previous_;
};

// The configuration form shows in the terminal, in the conduit's folder.
void UseTerminalForm(const std::string& folder) {
  SetFConfigureFactory([folder] {
    ModuleInfo module{ExeName(),     kVersionComment,  kVersionMajor,
                      kVersionMinor, kVersionRevision, folder};
    return std::make_unique<FConfigure>(NewTerminalView(std::cin, std::cerr), module);
  });
}

class InProcessConduit : public ConduitDriver {
 public:
  TaggedValue GetConduitInfo(int32_t infoType) override {
    handheld::Device device;
    handheld::SimPlatform platform(device, handheld::RunRequest{});
    CNotify notify(platform);
    return notify.GetConduitInfo(infoType, 0, 0, "");
  }

  void BeginProcess(handheld::Device& device, const handheld::RunRequest& run,
                    const LogLineSink& onLogLine, Link& link) override {
    handheld::SimPlatform platform(
        device, run, [&onLogLine](const handheld::LogEntry& entry) { onLogLine(entry.text); });
    platform.SetLinkLatency(link.latency);
    if (link.failAt) platform.CutAt(*link.failAt);
    if (link.crashAt) platform.CrashAt(*link.crashAt, link.image);
    Progress progress;
    CNotify notify(platform);
    try {
      notify.BeginProcess();
    } catch (...) {
      link.calls = handheld::CallCountsLine(platform.calls());
      throw;
    }
    link.calls = handheld::CallCountsLine(platform.calls());
  }

  void ConfigureConduit(const std::string& pPathName, const std::string& pRegistry,
                        Configuration& values) override {
    UseTerminalForm(pPathName);
    handheld::Device device;
    handheld::SimPlatform platform(device, handheld::RunRequest{});
    CNotify notify(platform);
    notify.ConfigureConduit(pPathName, pRegistry, values.nSyncPref, values.nSyncType);
  }

  void CfgConduit(Configuration& values) override {
    UseTerminalForm(ProgramFolder());
    handheld::Device device;
    handheld::SimPlatform platform(device, handheld::RunRequest{});
    CNotify notify(platform);
    notify.CfgConduit(0, 0, "", "", values.nSyncPerm, values.nSyncTemp, values.nSyncNew,
                      values.nSyncPref);
  }
};

}  // namespace

std::unique_ptr<ConduitDriver> OpenConduit() { return std::make_unique<InProcessConduit>(); }

}  // namespace bolvarin::host
