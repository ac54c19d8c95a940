// "Let the host process pending window messages."
//
// The conduit runs on the sync manager's thread and yields at fixed points
// (before the dispatch, once per record in the record loops, while waiting
// for a started program). The host installs what a yield does: the Windows
// build pumps the message queue, the command-line host reports progress.
#pragma once

#include <functional>

namespace bolvarin {

void ProcessPendingMessages();

// Installs the host's handler; an empty function makes yields do nothing.
// Returns the handler that was installed before.
std::function<void()> SetPendingMessagesHandler(std::function<void()> handler);

}  // namespace bolvarin
