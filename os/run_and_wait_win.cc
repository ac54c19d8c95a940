// Starting the user's pre- and post-synchronisation programs with
// CreateProcessA and waiting for them while the host's window messages are
// pumped.
//
// The wait sleeps on the process handle together with the thread's message
// queue (MsgWaitForMultipleObjects): it wakes when the program ends, when a
// message arrives for the host, or at the latest after one yield interval,
// and never spins. Because the end of the process is seen through its handle,
// a program whose exit code is 259 (STILL_ACTIVE) ends the wait like any
// other.
#include <windows.h>

#include <string>
#include <vector>

#include "base/host_events.h"
#include "base/text.h"
#include "os/command_line_win.h"
#include "os/run_and_wait.h"
#include "os/win_handles_win.h"

namespace bolvarin {

namespace {

// Normal priority class (0x20) with a separate virtual machine for 16-bit
// programs (0x800).
constexpr DWORD kCreationFlags = NORMAL_PRIORITY_CLASS | CREATE_SEPARATE_WOW_VDM;
static_assert(kCreationFlags == 0x820);

// How long the wait sleeps at most before yielding to the host again.
constexpr DWORD kYieldIntervalMs = 100;

}  // namespace

bool RunAndWait(const std::string& command, const std::string& fileArgument) {
  // Blanks typed around the setting are no part of the command: with a
  // leading one, CreateProcessA finds no program to start.
  std::string line = TrimBlanks(command);
  if (line.empty()) return false;
  if (!fileArgument.empty()) line += " " + QuoteArgument(fileArgument);
  std::vector<char> buffer(line.begin(), line.end());  // CreateProcessA may write to it
  buffer.push_back('\0');

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, kCreationFlags, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  win::Handle process(info.hProcess), thread(info.hThread);

  ProcessPendingMessages();
  HANDLE handles[] = {process.get()};
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, handles, FALSE, kYieldIntervalMs, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_FAILED) {
      // The handle cannot be waited on (it always can, in practice): fall
      // back to a plain sleep so that the loop still never spins.
      DWORD code = 0;
      if (!GetExitCodeProcess(process.get(), &code)) break;
      Sleep(kYieldIntervalMs);
    }
    ProcessPendingMessages();
  }
  return true;
}

}  // namespace bolvarin
