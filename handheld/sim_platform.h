// The simulated platform library: the Platform objects the conduit calls,
// working on a Device in memory.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/platform.h"
#include "base/sync_type.h"
#include "conduit/conduit_info.h"
#include "handheld/device.h"

namespace bolvarin::handheld {

// The run the sync manager asks for.
struct RunRequest {
  int32_t syncType = CodeOf(SyncType::kFast);  // the sync manager's code
  std::string desktopPath;
  std::string desktopFileName = "MaBolvarin.txt";
  std::vector<std::string> databases{kLedgerDatabase};
  int32_t creatorCode = PackCode(kLedgerCreator);
  int32_t typeCode = PackCode("Data");
};

struct LogEntry {
  std::string text;
  int32_t a, b, c;
};

// The calls made through the platform interface, by operation name.
using CallCounts = std::map<std::string, uint64_t>;

// One call of a run picked out for a cut link: the Nth call (from 1) of
// `operation`, or of any operation when it is "*".
struct CallCut {
  std::string operation;
  uint64_t n = 0;
};
// Reads "OPERATION:N" (N from 1). Raises an error naming `what` and showing
// the expected form when the text is not one.
CallCut ParseCallCut(const std::string& text, const std::string& what);
// One line for the user: "platform calls: 12 (AtEnd 3, ReadNext 3, ...)",
// the operations in alphabetical order.
std::string CallCountsLine(const CallCounts& calls);

class SimPlatform : public Platform {
 public:
  using LogSink = std::function<void(const LogEntry&)>;

  SimPlatform(Device& device, RunRequest run, LogSink sink = {});

  std::shared_ptr<PlatformSystem> NewPlatformSystem() override;
  std::shared_ptr<ConduitServices> NewConduitServices() override;
  std::shared_ptr<PlatformUtility> NewPlatformUtility() override;

  Device& device() { return device_; }
  RunRequest& run() { return run_; }
  // Every log line written during the run, in order.
  const std::vector<LogEntry>& log() const { return log_; }
  // A journal of the calls made on category objects, e.g. "ResetDirtyFlags",
  // "Commit", "LastIndex -1", "Name 3", "ID 3", "Dirty 3" (writes only).
  const std::vector<std::string>& categoryCalls() const { return categoryCalls_; }

  // Every call made through the platform objects so far, by operation.
  const CallCounts& calls() const { return calls_; }
  void ForgetCalls() {
    calls_.clear();
    totalCalls_ = 0;
  }
  // Models a slow link to the handheld: each call waits this long.
  void SetLinkLatency(std::chrono::milliseconds latency) { latency_ = latency; }

  // Fault injection for tests: make the named operation raise a platform
  // error. Every operation of the platform objects can be named, by the
  // name it has in base/platform.h ("OpenDatabase", "ReadNext",
  // "WriteRecord", "RemoveRecord", "Categories", "Commit", "AddLogEntry",
  // "GetSyncContext", "ReadPreference", ...).
  void FailOperation(const std::string& operation) { failing_.push_back(operation); }
  // Test hook for a link cut at one call: when the call `cut` names comes,
  // `atCut` runs first (it may end the process, as a killed conduit ends),
  // then that call raises the platform error of a dropped link. The calls
  // after it go through as usual.
  void CutAt(CallCut cut, std::function<void()> atCut = {}) {
    cut_ = std::move(cut);
    atCut_ = std::move(atCut);
  }
  // The same cut as a killed conduit meets it: at that call the device is
  // saved to `image` as it stands, as a real handheld keeps what it has
  // received, and the process ends at once with status 137, unwinding
  // nothing.
  void CrashAt(CallCut cut, const std::string& image);
  // Every call through the platform objects starts here: it is counted,
  // waits for the modelled link, and raises the simulated platform error
  // when the operation should fail.
  void Call(const std::string& operation);
  void AddLog(const LogEntry& entry);
  void NoteCategoryCall(std::string call) { categoryCalls_.push_back(std::move(call)); }

 private:
  Device& device_;
  RunRequest run_;
  LogSink sink_;
  std::vector<LogEntry> log_;
  std::vector<std::string> categoryCalls_;
  std::vector<std::string> failing_;
  CallCounts calls_;
  uint64_t totalCalls_ = 0;
  CallCut cut_;
  std::function<void()> atCut_;
  std::chrono::milliseconds latency_{0};
};

}  // namespace bolvarin::handheld
