// What every fuzz target shares: a private folder for the whole process, and
// a way to stop with a clear message when a property does not hold.
//
// The folder holds the files a target writes, and HOME, the XDG folders and
// the settings file point into it, so that nothing a parser or a file
// replacement does can reach the running user's own files or trash.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "store/desktop_records.h"

namespace bolvarin::fuzz {

class WorkFolder {
 public:
  static const std::string& Path() {
    static WorkFolder folder;
    return folder.path_;
  }

 private:
  WorkFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "syncbolvarin-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = pattern;
    const std::string home = path_ + "/home";
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
    setenv("SYNCBOLVARIN_SETTINGS", (home + "/settings").c_str(), 1);
    std::filesystem::create_directories(path_ + "/files");
  }
  ~WorkFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string path_;
};

// A folder for the files of one input: emptied on every call.
inline std::string CleanFolder() {
  const std::string folder = WorkFolder::Path() + "/files";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::filesystem::remove_all(entry.path(), ec);
  }
  return folder;
}

inline void WriteFile(const std::string& path, std::string_view contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (!out) {
    std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
    std::abort();
  }
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "fuzz: cannot read %s\n", path.c_str());
    std::abort();
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes shown so that control characters and non-ASCII bytes are visible.
inline std::string Show(std::string_view bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 32 && c < 127 && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out + "\"";
}

// Stops the run (libFuzzer saves the input) when a property does not hold.
inline void Require(bool holds, const std::string& what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz: property broken: %s\n", what.c_str());
  std::abort();
}

// The texts of a working list, in order.
inline std::vector<std::string> Texts(const std::vector<colEnregistrement>& list) {
  std::vector<std::string> texts;
  for (const colEnregistrement& entry : list) texts.push_back(entry.Texte);
  return texts;
}

}  // namespace bolvarin::fuzz
