// Bytes as hexadecimal text and back: upper-case digit pairs, as the record
// dumps, the handheld image and the host's options write them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace bolvarin {

// 0 to 15 for a hexadecimal digit (either case), -1 for anything else.
int HexValue(char c);

// The bytes as digit pairs ("C7990E"), with `separator` between pairs when
// it is not 0 ("C7 99 0E").
std::string HexText(std::string_view bytes, char separator = 0);

// Why a text is not hexadecimal bytes: the 1-based position of the first
// character that is no digit, or position 0 for an odd number of digits.
struct HexProblem {
  size_t position = 0;
  char character = 0;
  // "character 3 ('g') is not a hex digit" or "odd number of hex digits".
  std::string Describe() const;
};

// Reads digit pairs into `bytes`; with `allowBlanks`, spaces and tabs
// between the digits are skipped. Returns the problem, or nothing when the
// whole text was read (`bytes` is then complete).
std::optional<HexProblem> ParseHex(std::string_view text, bool allowBlanks, std::string& bytes);

}  // namespace bolvarin
