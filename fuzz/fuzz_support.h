// What every fuzz target shares: a private folder for the whole process, a
// way to stop with a clear message when a property does not hold, and the
// calls that several targets make.
//
// The folder holds the files a target writes, and HOME, the XDG folders and
// the settings file point into it, so that nothing a parser or a file
// replacement does can reach the running user's own files or trash.
#pragma once

#include <stdlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/mod_public.h"
#include "base/platform.h"
#include "handheld/sim_platform.h"
#include "lists/preference_lists.h"
#include "store/desktop_records.h"
#include "store/record_codec.h"

namespace bolvarin::fuzz {

// Stops the run (libFuzzer saves the input) when a property does not hold.
inline void Require(bool holds, const std::string& what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz: property broken: %s\n", what.c_str());
  std::abort();
}

// The process's folder, made on first use and removed with its contents at
// exit.
struct WorkFolder {
  WorkFolder() {
    path = (std::filesystem::temp_directory_path() / "syncbolvarin-fuzz-XXXXXX").string();
    Require(mkdtemp(path.data()) != nullptr, "cannot make a folder in the temporary folder");
    const std::string home = path + "/home";
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("SYNCBOLVARIN_SETTINGS", (home + "/settings").c_str(), 1);
    DeleteDefinitively = true;  // replaced files need not go to a trash here
  }
  ~WorkFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

// A folder for the files of one input: emptied on every call.
inline std::string CleanFolder() {
  static const WorkFolder work;
  const std::string folder = work.path + "/files";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory(folder);
  return folder;
}

inline void WriteFile(const std::string& path, std::string_view contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  Require(static_cast<bool>(out), "cannot write " + path);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  Require(static_cast<bool>(in), "cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether `call` refused its input by raising E (a refusal always comes with
// a description, which the targets do not check).
template <class E = ConduitError, class F>
bool Refused(F&& call) {
  try {
    call();
  } catch (const E&) {
    return true;
  }
  return false;
}

// A file that loads is written back so that it loads again as the same
// contents and is written back byte for byte the same; a file that does not
// load is left exactly as it was, and the loader says why. `loadAndSave`
// loads `path`, saves it, and gives what it loaded, or nothing and the reason.
template <class Contents, class F>
std::optional<Contents> CheckRewrite(const std::string& path, std::string_view input,
                                     F&& loadAndSave) {
  WriteFile(path, input);
  std::string failure;
  const std::optional<Contents> first = loadAndSave(failure);
  const std::string written = ReadFile(path);
  if (!first) {
    Require(!failure.empty(), "a file that does not load gives no reason: " + path);
    Require(written == input, "a file that does not load was changed: " + path);
    return first;
  }
  const std::optional<Contents> again = loadAndSave(failure);
  Require(again.has_value(), "the written file does not load: " + failure);
  Require(again == first, "the written file loads as other contents");
  Require(ReadFile(path) == written, "a second save changes the written file");
  return first;
}

// The mode, type and description lists a preference block holds (parsed
// by the walk that fills the working lists).
using Lists = std::array<std::vector<std::string>, 3>;
inline Lists Parsed(const std::string& block) {
  PreferenceListTexts texts = ParsePreferenceLists(block);
  return {texts.modes, texts.types, texts.descriptions};
}
inline std::string Block(const std::string& header, const Lists& lists) {
  return BuildPreferenceBlock(header, lists[0], lists[1], lists[2]);
}

// A platform over an empty handheld, and the record codec's side of it;
// then a record with what goes with it.
inline handheld::SimPlatform& Platform() {
  static handheld::Device device;
  static handheld::SimPlatform platform(device, {});
  return platform;
}
inline PlatformUtility& Utility() {
  static std::shared_ptr<PlatformUtility> utility = Platform().NewPlatformUtility();
  return *utility;
}
struct Encoded {
  TaggedValue id;
  int32_t category = 0;
  int32_t attributes = 0;
  std::string record;  // without the terminator
  bool operator==(const Encoded&) const = default;
};
inline Encoded Encode(const std::string& line) {
  Encoded e;
  EncodeRecord(Utility(), line, e.id, e.category, e.attributes, e.record);
  return e;
}
inline std::string Decode(const Encoded& e, const std::string& record) {
  return DecodeRecord(Utility(), e.id, e.category, e.attributes, record);
}

}  // namespace bolvarin::fuzz
