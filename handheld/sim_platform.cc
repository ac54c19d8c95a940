#include "handheld/sim_platform.h"

#include <algorithm>

#include "base/error.h"

namespace bolvarin::handheld {

SimPlatform::SimPlatform(Device& device, RunRequest run, LogSink sink)
    : device_(device), run_(std::move(run)), sink_(std::move(sink)) {}

std::shared_ptr<PlatformSystem> SimPlatform::NewPlatformSystem() {
  Raise(err::kPlatform, "PlatformSystem is not built yet");
}
std::shared_ptr<ConduitServices> SimPlatform::NewConduitServices() {
  Raise(err::kPlatform, "ConduitServices is not built yet");
}
std::shared_ptr<PlatformUtility> SimPlatform::NewPlatformUtility() {
  Raise(err::kPlatform, "PlatformUtility is not built yet");
}
bool SimPlatform::ShouldFail(const std::string& operation) const {
  return std::find(failing_.begin(), failing_.end(), operation) != failing_.end();
}
void SimPlatform::AddLog(const LogEntry& entry) {
  log_.push_back(entry);
  if (sink_) sink_(entry);
}

}  // namespace bolvarin::handheld
