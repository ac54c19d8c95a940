// Starting the user's pre- and post-synchronisation programs and waiting for
// them, yielding to the host while they run.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "base/error.h"
#include "base/host_events.h"
#include "os/command_line_posix.h"
#include "os/fd_posix.h"
#include "os/run_and_wait.h"

extern char** environ;

namespace bolvarin {

namespace {

// How long the wait sleeps between two yields to the host while the program
// runs. The end of the program wakes the wait at once when a process file
// descriptor is available; otherwise it is noticed at the next tick.
constexpr int kYieldIntervalMs = 100;

// A process file descriptor for `pid`, or -1 when the kernel has none.
int OpenProcessFd(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = syscall(SYS_pidfd_open, pid, 0);
  return fd < 0 ? -1 : static_cast<int>(fd);
#else
  (void)pid;
  return -1;
#endif
}

// True once the child has ended (and has been reaped). Whatever way it ended,
// by any exit status or a signal, counts: the wait is for the end only.
bool Ended(pid_t pid) {
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return true;
    if (r == 0) return false;
    if (errno == EINTR) continue;
    // ECHILD: the child was reaped elsewhere (a host that ignores SIGCHLD
    // makes the kernel do it), so it has ended too.
    return true;
  }
}

// Sleeps until the child changes state or the yield interval has passed.
// Interruptions by a signal simply end the sleep early.
void WaitBriefly(int pidfd) {
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    poll(&p, 1, kYieldIntervalMs);
    return;
  }
  timespec pause{0, kYieldIntervalMs * 1000L * 1000L};
  nanosleep(&pause, nullptr);
}

bool Spawn(const std::vector<std::string>& words, pid_t& pid) {
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);

  // The program starts with no blocked signals and the default action for
  // SIGPIPE, whatever the host set up for itself.
  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) return false;
  sigset_t none, pipe;
  sigemptyset(&none);
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &pipe);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  // What the program prints goes to the host's standard error: the host's
  // standard output carries the run's log, which it must not mix into.
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    posix_spawnattr_destroy(&attr);
    return false;
  }
  posix_spawn_file_actions_adddup2(&actions, 2, 1);

  int rc;
  do {
    rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  } while (rc == EINTR);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return rc == 0;
}

}  // namespace

bool RunAndWait(const std::string& command, const std::string& fileArgument) {
  std::vector<std::string> words;
  try {
    words = SplitCommandLine(command);
  } catch (const ConduitError&) {
    return false;  // an unterminated quote: nothing can be started
  }
  if (words.empty() || words.front().empty()) return false;
  if (!fileArgument.empty()) words.push_back(fileArgument);

  pid_t pid = 0;
  if (!Spawn(words, pid)) return false;

  const Fd pidfd(OpenProcessFd(pid));
  ProcessPendingMessages();
  while (!Ended(pid)) {
    WaitBriefly(pidfd.get());
    if (Ended(pid)) break;
    ProcessPendingMessages();
  }
  return true;
}

}  // namespace bolvarin
