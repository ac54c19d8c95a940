// What the Windows tests share: where the built programs are, and the
// folders that the environment must keep inside the test's own tree.
#pragma once

#include <cstdlib>
#include <string>

namespace bolvarin::testing {

// A Unix path of the build as Wine shows it to Windows programs (drive Z:);
// a path that already is a Windows one is returned as it is.
inline std::string WinPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

// The trash that Wine's shell uses for the recycle bin: $XDG_DATA_HOME/Trash.
// Empty when XDG_DATA_HOME is not set, so that no test ever reaches the
// user's own trash.
inline std::string TrashFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome == nullptr || dataHome[0] == '\0') return {};
  return WinPath(std::string(dataHome) + "/Trash");
}

}  // namespace bolvarin::testing
