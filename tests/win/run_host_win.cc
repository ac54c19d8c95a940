// Runs the Windows host program for the tests (RunHost, RunHostWhile): its
// standard streams are files of a temporary folder, its input empty. Also the
// other helpers of tests/test_util.h that differ from the Linux tests'.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "os/command_line_win.h"
#include "os/win_handles_win.h"
#include "tests/test_util.h"
#include "tests/win/win_test_support.h"

namespace bolvarin::testing {

namespace {

// A new file for one of the child's standard streams, inherited by it.
HANDLE StreamFile(const std::string& path, bool forReading) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), forReading ? GENERIC_READ : GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     forReading ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HostResult Run(const std::vector<std::string>& args,
               const std::function<void(DWORD)>& whileRunning = nullptr) {
  TempDir streams;
  WriteFile(streams.File("in"), "");
  win::Handle in(StreamFile(streams.File("in"), true)), out(StreamFile(streams.File("out"), false)),
      err(StreamFile(streams.File("err"), false));
  std::string line = QuoteArgument(WinPath(BOLVARIN_HOST_BINARY));
  for (const std::string& arg : args) line += " " + QuoteArgument(arg);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  PROCESS_INFORMATION info{};
  std::vector<char> commandLine(line.begin(), line.end());
  commandLine.push_back('\0');
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &info);
  if (!started) throw std::runtime_error("cannot start " + line);
  win::Handle process(info.hProcess), thread(info.hThread);
  if (whileRunning) {
    // A driver that fails, or a program that does not end once driven, is
    // a failed test rather than a hang: the program is ended.
    try {
      whileRunning(info.dwProcessId);
    } catch (...) {
      TerminateProcess(process.get(), 99);
      WaitForSingleObject(process.get(), INFINITE);
      throw;
    }
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
      TerminateProcess(process.get(), 99);
      WaitForSingleObject(process.get(), INFINITE);
      throw std::runtime_error(line + " did not end once driven");
    }
  }
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  in.Reset();
  out.Reset();
  err.Reset();
  HostResult result;
  result.status = static_cast<int>(code);
  result.out = ReadFile(streams.File("out"));
  result.err = ReadFile(streams.File("err"));
  return result;
}

}  // namespace

// The Windows tests run the host in their own environment only.
HostResult RunHost(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  if (!env.empty()) throw std::logic_error("RunHost: the Windows tests change no environment");
  return Run(args);
}

std::vector<std::string> HostSettingsArguments(const std::string&) { return {}; }

std::string DiskFullText() { return win::ErrorMessage(ERROR_DISK_FULL); }

HostConduit::HostConduit() {
  const HostResult r = Run({"register"});
  if (r.status != 0) throw std::runtime_error("cannot register the conduit: " + r.err);
}

HostConduit::~HostConduit() { Run({"unregister"}); }

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

HostResult RunHostWhile(const std::vector<std::string>& args,
                        const std::function<void(DWORD)>& whileRunning) {
  return Run(args, whileRunning);
}

}  // namespace bolvarin::testing
