// How the host reaches the conduit: the one part of the host, with
// host/host_os.h, that differs between the builds. Everything else in host/
// is the same code in both builds.
//
// conduit_driver_posix.cc: the conduit is linked into the host and runs
// in-process over the simulated handheld (handheld::SimPlatform).
// conduit_driver_win.cc: the conduit is the COM server "SyncBolvarin.CNotify",
// created by ProgID and called through IDispatch only, as a late-bound sync
// manager calls it; the platform it calls is the handheld stand-in, another
// COM server that the host feeds the image and reads it back from.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/tagged_value.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"

namespace bolvarin::host {

// One conduit object, alive as long as the driver. Every call may raise a
// ConduitError with the number and the description the conduit gave, or a
// CommandError when the conduit cannot be reached at all.
class ConduitDriver {
 public:
  virtual ~ConduitDriver() = default;

  // GetConduitInfo(infoType, 0, 0, "").
  virtual TaggedValue GetConduitInfo(int32_t infoType) = 0;

  // Makes sure that runs can be made, before the host touches any file for
  // one; raises a CommandError that says what is missing.
  virtual void PrepareRun() {}

  // One BeginProcess on `device` for the run `run`. Every log line the
  // conduit writes reaches `onLogLine`, in order, exactly as written. When
  // the call returns, or raises, `device` holds what the run left on the
  // handheld (also when the run failed part-way).
  // `link` models the link to the handheld: each platform call waits its
  // latency; when the call returns, or raises, its `calls` says how many
  // calls the run made, by operation (handheld::CallCountsLine).
  using LogLineSink = std::function<void(const std::string& text)>;
  struct Link {
    std::chrono::milliseconds latency{0};
    std::string calls;
    // Test hooks: the call at which the link drops (that call fails), or at
    // which the conduit is killed (the handheld as it stands is saved to
    // `image` and the process ends at once with status 137).
    std::optional<handheld::CallCut> failAt, crashAt;
    std::string image;
  };
  virtual void BeginProcess(handheld::Device& device, const handheld::RunRequest& run,
                            const LogLineSink& onLogLine, Link& link) = 0;

  // ConfigureConduit(pPathName, pRegistry, nSyncPref, nSyncType) and
  // CfgConduit(0, 0, "", "", nSyncPerm, nSyncTemp, nSyncNew, nSyncPref).
  // Neither has a result: a cancelled form shows only in the values, which
  // are then those handed in.
  struct Configuration {
    int32_t nSyncPref = 0;
    int32_t nSyncType = 0;                               // ConfigureConduit
    int32_t nSyncPerm = 0, nSyncTemp = 0, nSyncNew = 0;  // CfgConduit
  };
  virtual void ConfigureConduit(const std::string& pPathName, const std::string& pRegistry,
                                Configuration& values) = 0;
  virtual void CfgConduit(Configuration& values) = 0;
};

std::unique_ptr<ConduitDriver> OpenConduit();

}  // namespace bolvarin::host
