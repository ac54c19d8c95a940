// The one simulated handheld session of the process: a Device, the run the
// sync manager asks for, and the log lines written since they were last
// taken. Every stand-in object works on it; callers hold StandInLock().
#pragma once

#include <string>
#include <vector>

#include "handheld/device.h"
#include "handheld/sim_platform.h"

namespace bolvarin::standin {

class Session {
 public:
  static Session& Get();

  handheld::SimPlatform& platform() { return platform_; }
  const handheld::Device& device() const { return device_; }
  // Puts another handheld in place of the current one and forgets the log
  // lines not yet taken.
  void Replace(handheld::Device device);
  // No run is set until SetRun: a run without one would write its desktop
  // files into whatever folder the process happens to be in.
  bool HasRun() const { return hasRun_; }
  void SetRun(handheld::RunRequest run);
  // The log lines written since the last call (or the last Replace).
  std::vector<std::string> TakeLog();

 private:
  Session();

  handheld::Device device_;
  std::vector<std::string> pending_;
  bool hasRun_ = false;
  handheld::SimPlatform platform_;
};

}  // namespace bolvarin::standin
