#include "base/hex.h"

namespace bolvarin {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string HexText(std::string_view bytes, char separator) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * (separator != 0 ? 3 : 2));
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i > 0 && separator != 0) out += separator;
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::string HexProblem::Describe() const {
  if (position == 0) return "odd number of hex digits";
  return "character " + std::to_string(position) + " ('" + std::string(1, character) +
         "') is not a hex digit";
}

std::optional<HexProblem> ParseHex(std::string_view text, bool allowBlanks, std::string& bytes) {
  std::string out;
  out.reserve(text.size() / 2);
  int high = -1;  // the first digit of a pair, once read
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (allowBlanks && (c == ' ' || c == '\t')) continue;
    const int value = HexValue(c);
    if (value < 0) return HexProblem{i + 1, c};
    if (high < 0) {
      high = value;
    } else {
      out += static_cast<char>(high * 16 + value);
      high = -1;
    }
  }
  if (high >= 0) return HexProblem{};
  bytes = std::move(out);
  return std::nullopt;
}

}  // namespace bolvarin
