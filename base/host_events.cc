#include "base/host_events.h"

#include <utility>

namespace bolvarin {

namespace {
std::function<void()>& Handler() {
  static std::function<void()> handler;
  return handler;
}
}  // namespace

void ProcessPendingMessages() {
  auto& handler = Handler();
  if (handler) handler();
}

std::function<void()> SetPendingMessagesHandler(std::function<void()> handler) {
  return std::exchange(Handler(), std::move(handler));
}

}  // namespace bolvarin
