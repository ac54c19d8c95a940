// The compiled string table and its lookups.
#include "config/texts.h"

#include <array>

#include "base/error.h"

namespace bolvarin {

int16_t LangOffset = 0;

std::optional<std::string> StringTable::Find(int id) const {
  for (const auto& [entryId, text] : entries_) {
    if (entryId == id) return text;
  }
  return std::nullopt;
}

std::string StringTable::Load(int id) const {
  std::optional<std::string> text = Find(id);
  if (!text)
    Raise(kTextNotFound, "Resource with identifier '" + std::to_string(id) + "' not found");
  return *text;
}

std::string StringTable::LoadAnsi(int id) const { return Utf8ToAnsi(Load(id)); }

const StringTable& BuiltInTexts() {
  static const StringTable table({
#define BOLVARIN_TEXT(id, text) {id, text},
#include "config/texts.inc"
#undef BOLVARIN_TEXT
  });
  return table;
}

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code page has no character.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes one UTF-8 character at `pos` and moves past it; a malformed
// sequence gives U+FFFD and moves one byte on.
char32_t NextChar(std::string_view text, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) return text[pos++];
  int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (lead > 0xF4) length = 0;
  char32_t c = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return 0xFFFD;
  }
  for (int i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    c = (c << 6) | (byte(pos + i) & 0x3F);
  }
  const char32_t least = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0x80;
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += length;
  return c;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  for (size_t pos = 0; pos < utf8.size();) {
    const char32_t c = NextChar(utf8, pos);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    char mapped = '?';
    for (size_t i = 0; i < kHighControls.size(); ++i) {
      if (kHighControls[i] != 0 && kHighControls[i] == c) mapped = static_cast<char>(0x80 + i);
    }
    out += mapped;
  }
  return out;
}

}  // namespace bolvarin
