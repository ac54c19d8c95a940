// A settings store that keeps every key and value in one text file.
//
// The file holds one line per value, KEY TAB NAME TAB VALUE, and a line with
// only KEY for a key that exists without values. Backslash, tab, carriage
// return and line feed are written as \\, \t, \r and \n inside each part.
// Lines starting with "#" and blank lines are comments. A line that cannot be
// understood is skipped when reading and written back unchanged, so that a
// damaged or hand-edited file never costs the values that can still be read.
// Every change rewrites the whole file through a temporary file that takes
// the name only once it is complete on disk.

#include "config/settings_file.h"

#include <exception>
#include <filesystem>
#include <vector>

#include "base/text.h"
#include "os/files.h"

namespace bolvarin {

namespace {

constexpr char kHeader[] =
    "# syncbolvarin settings: one value a line, KEY<tab>NAME<tab>VALUE\n"
    "# (\\\\, \\t, \\r and \\n stand for a backslash, tab, carriage return, line feed)\n";

struct Line {
  std::string raw;      // the line as read, without its line feed
  bool parsed = false;  // false: a comment or a line that could not be read
  bool keyOnly = false;
  std::string key, name, value;
};

enum class LoadState { kMissing, kLoaded, kUnreadable };

bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      default:
        return false;
    }
  }
  return true;
}

Line ParseLine(std::string raw) {
  Line line;
  std::string text = raw;
  if (!text.empty() && text.back() == '\r') text.pop_back();  // a file saved with CR LF
  line.raw = std::move(raw);
  if (text.empty() || text[0] == '#') return line;

  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t tab = text.find('\t', start);
    parts.push_back(text.substr(start, tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  if (parts.size() != 1 && parts.size() != 3) return line;
  if (!Unescape(parts[0], line.key) || line.key.empty()) return line;
  if (parts.size() == 3) {
    if (!Unescape(parts[1], line.name) || line.name.empty()) return line;
    if (!Unescape(parts[2], line.value)) return line;
  } else {
    line.keyOnly = true;
  }
  line.parsed = true;
  return line;
}

Line MakeLine(const std::string& key, const std::string& name, const std::string& value,
              bool keyOnly) {
  Line line;
  line.parsed = true;
  line.keyOnly = keyOnly;
  line.key = key;
  line.name = name;
  line.value = value;
  line.raw = keyOnly ? Escape(key) : Escape(key) + "\t" + Escape(name) + "\t" + Escape(value);
  return line;
}

LoadState Load(const std::string& path, std::vector<Line>& lines) {
  lines.clear();
  std::string text;
  try {
    if (!ReadWholeFile(path, text)) return LoadState::kMissing;
  } catch (const std::exception&) {
    return LoadState::kUnreadable;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(ParseLine(text.substr(start, end - start)));
    start = end + 1;
  }
  return LoadState::kLoaded;
}

bool Save(const std::string& path, const std::vector<Line>& lines, bool isNew) {
  std::string text = isNew ? kHeader : "";
  for (const Line& line : lines) {
    text += line.raw;
    text += '\n';
  }
  try {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    ReplaceFile(path, text, /*permanent=*/true);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool IsValue(const Line& line, const std::string& key, const std::string& name) {
  return line.parsed && !line.keyOnly && SameNoCase(line.key, key) && SameNoCase(line.name, name);
}

}  // namespace

bool FileSettings::CreateKey(const std::string& keyPath) {
  std::vector<Line> lines;
  const LoadState state = Load(path_, lines);
  if (state == LoadState::kUnreadable) return false;
  for (const Line& line : lines) {
    if (line.parsed && SameNoCase(line.key, keyPath)) return true;
  }
  lines.push_back(MakeLine(keyPath, {}, {}, /*keyOnly=*/true));
  return Save(path_, lines, state == LoadState::kMissing);
}

std::optional<std::string> FileSettings::Query(const std::string& keyPath,
                                               const std::string& valueName) {
  std::vector<Line> lines;
  if (Load(path_, lines) != LoadState::kLoaded) return std::nullopt;
  for (const Line& line : lines) {
    if (IsValue(line, keyPath, valueName)) return line.value;
  }
  return std::nullopt;
}

bool FileSettings::Set(const std::string& keyPath, const std::string& valueName,
                       const std::string& text) {
  std::vector<Line> lines;
  const LoadState state = Load(path_, lines);
  if (state == LoadState::kUnreadable) return false;  // never overwrite what cannot be read

  // The first line of the value takes the new text (keeping the spelling of
  // its name); later duplicates, which no read ever returned, go.
  bool done = false;
  size_t lastOfKey = lines.size();
  for (size_t i = 0; i < lines.size();) {
    if (IsValue(lines[i], keyPath, valueName)) {
      if (done) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
      lines[i] = MakeLine(lines[i].key, lines[i].name, text, false);
      done = true;
    }
    if (lines[i].parsed && SameNoCase(lines[i].key, keyPath)) lastOfKey = i;
    ++i;
  }
  if (!done) {
    // A new value goes after the last line of its key, spelt as the key is.
    if (lastOfKey < lines.size()) {
      Line line = MakeLine(lines[lastOfKey].key, valueName, text, false);
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastOfKey) + 1, std::move(line));
    } else {
      lines.push_back(MakeLine(keyPath, valueName, text, false));
    }
  }
  return Save(path_, lines, state == LoadState::kMissing);
}

bool FileSettings::Delete(const std::string& keyPath, const std::string& valueName) {
  std::vector<Line> lines;
  const LoadState state = Load(path_, lines);
  if (state == LoadState::kUnreadable) return false;
  const size_t before = lines.size();
  std::erase_if(lines, [&](const Line& line) { return IsValue(line, keyPath, valueName); });
  if (lines.size() == before) return true;  // nothing to delete is no failure
  return Save(path_, lines, false);
}

}  // namespace bolvarin
