#include "os/temp_names.h"

#include <filesystem>
#include <system_error>

#include "base/text.h"

namespace bolvarin {

namespace {

constexpr std::string_view kTag = ".syncbolvarin-";
constexpr size_t kRandomChars = 6;

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string TemporaryNamePattern(const std::string& name) {
  return "." + name + std::string(kTag) + std::string(kRandomChars, 'X');
}

bool IsTemporaryNameOf(std::string_view candidate, std::string_view name, bool anyCase) {
  if (name.empty() || candidate.size() != 1 + name.size() + kTag.size() + kRandomChars) {
    return false;
  }
  if (candidate[0] != '.') return false;
  const std::string_view namePart = candidate.substr(1, name.size());
  if (anyCase ? UpperAscii(namePart) != UpperAscii(name) : namePart != name) return false;
  if (candidate.substr(1 + name.size(), kTag.size()) != kTag) return false;
  for (char c : candidate.substr(candidate.size() - kRandomChars)) {
    if (!IsAsciiAlnum(c)) return false;
  }
  return true;
}

size_t RemoveLeftoverTemporaries(const std::string& folder, const std::vector<std::string>& names,
                                 bool anyCase) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  if (ec) return 0;
  std::vector<fs::path> leftovers;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string entry = it->path().filename().string();
    bool ours = false;
    for (const std::string& name : names) ours = ours || IsTemporaryNameOf(entry, name, anyCase);
    std::error_code statError;
    if (ours && it->symlink_status(statError).type() == fs::file_type::regular) {
      leftovers.push_back(it->path());
    }
  }
  size_t removed = 0;
  for (const fs::path& path : leftovers) {
    std::error_code removeError;
    if (fs::remove(path, removeError)) ++removed;
  }
  return removed;
}

}  // namespace bolvarin
