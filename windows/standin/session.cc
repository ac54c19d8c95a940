#include "windows/standin/session.h"

#include <utility>

namespace bolvarin::standin {

Session& Session::Get() {
  static Session session;
  return session;
}

Session::Session()
    : platform_(device_, handheld::RunRequest{},
                [this](const handheld::LogEntry& entry) { pending_.push_back(entry.text); }) {}

void Session::Replace(handheld::Device device) {
  // The platform's objects name their database rather than point into the
  // device, so those still alive find the databases of the new one.
  device_ = std::move(device);
  pending_.clear();
}

void Session::SetRun(handheld::RunRequest run) {
  platform_.run() = std::move(run);
  platform_.ForgetCalls();  // the counts are those of the run set here
  hasRun_ = true;
}

std::vector<std::string> Session::TakeLog() { return std::exchange(pending_, {}); }

}  // namespace bolvarin::standin
