// Runs programs for the Windows tests (RunCommand, and through it RunHost
// and RunHostWhile): their output streams are files of a temporary folder,
// and they have no input. Also the other helpers of tests/test_util.h that differ
// from the Linux tests'.
#include <windows.h>

#include <algorithm>
#include <exception>

#include "os/command_line_win.h"
#include "os/win_handles_win.h"
#include "tests/win/win_test_support.h"

namespace bolvarin::testing {

namespace {

// A new file for one of the child's output streams, inherited by it.
HANDLE StreamFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

HostResult RunCommand(const std::string& line, const std::function<void(DWORD)>& whileRunning) {
  TempDir streams;
  win::Handle out(StreamFile(streams.File("out"))), err(StreamFile(streams.File("err")));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  PROCESS_INFORMATION info{};
  std::vector<char> commandLine(line.begin(), line.end());
  commandLine.push_back('\0');
  // A start that fails is tried once more after a moment: under Wine it has
  // failed once in a loaded run, while the same test passes on its own.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 2 && !started; ++attempt) {
    if (attempt > 0) Sleep(500);
    started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             nullptr, &startup, &info);
  }
  if (!started)
    throw std::runtime_error("cannot start " + line + ": error " + std::to_string(GetLastError()));
  win::Handle process(info.hProcess), thread(info.hThread);
  if (whileRunning) {
    // A driver that fails, or a program that does not end once driven, is
    // a failed test rather than a hang: the program is ended.
    std::exception_ptr failure;
    try {
      whileRunning(info.dwProcessId);
    } catch (...) {
      failure = std::current_exception();
    }
    if (failure || WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
      TerminateProcess(process.get(), 99);
      WaitForSingleObject(process.get(), INFINITE);
      if (failure) std::rethrow_exception(failure);
      throw std::runtime_error(line + " did not end once driven");
    }
  }
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  out.Reset();
  err.Reset();
  return {static_cast<int>(code), ReadFile(streams.File("out")), ReadFile(streams.File("err"))};
}

// The Windows tests give the host no input.
HostResult RunHost(const std::vector<std::string>& args, const std::string& input) {
  if (!input.empty()) throw std::logic_error("RunHost: the Windows tests give no input");
  return RunHostWhile(args, nullptr);
}

HostResult RunHostWhile(const std::vector<std::string>& args,
                        const std::function<void(DWORD)>& whileRunning) {
  std::string line = QuoteArgument(WinPath(BOLVARIN_HOST_BINARY));
  for (const std::string& arg : args) line += " " + QuoteArgument(arg);
  return RunCommand(line, whileRunning);
}

std::string DiskFullText() { return win::ErrorMessage(ERROR_DISK_FULL); }

HostConduit::HostConduit() {
  const HostResult r = RunHost({"register"});
  if (r.status != 0) throw std::runtime_error("cannot register the conduit: " + r.err);
}

HostConduit::~HostConduit() { RunHost({"unregister"}); }

// The batch file is started through cmd; a temporary folder's path has no
// blanks, so it needs no quotes there.
std::string RecordingProgram(const TempDir& dir, const std::string& name) {
  std::string batch = dir.File(name + ".bat"), out = dir.File(name);
  for (std::string* path : {&batch, &out}) std::replace(path->begin(), path->end(), '/', '\\');
  std::string text = R"(@echo off
for %%a in (%*) do >>"{out}.args" echo %%~a
>>"{out}.ran" echo ran
for %%a in (%*) do copy /y %%a "{out}.seen" >nul 2>nul
exit /b 0
)";
  for (size_t at; (at = text.find("{out}")) != std::string::npos;) text.replace(at, 5, out);
  WriteFile(batch, text);
  return "cmd /c " + batch;
}

}  // namespace bolvarin::testing
