#include "base/hex.h"

#include <gtest/gtest.h>

#include <string>

namespace bolvarin {
namespace {

// What each text reads as: its bytes in hex, or why it is refused.
TEST(Hex, ParseAndPrintAgree) {
  struct Case {
    std::string text;
    bool allowBlanks;
    std::string result;
  };
  for (const Case& c : {
           Case{"", false, ""},
           Case{"c7990E", false, "C7 99 0E"},
           Case{" C7 9 9\t0e ", true, "C7 99 0E"},
           Case{"C7 99", false, "character 3 (' ') is not a hex digit"},
           Case{"C7G9", true, "character 3 ('G') is not a hex digit"},
           Case{"C79", false, "odd number of hex digits"},
       }) {
    std::string bytes = "untouched";
    auto problem = ParseHex(c.text, c.allowBlanks, bytes);
    EXPECT_EQ(problem ? problem->Describe() : HexText(bytes, ' '), c.result) << c.text;
    if (problem) {
      EXPECT_EQ(bytes, "untouched") << c.text;
    }
  }
  EXPECT_EQ(HexText(std::string("\x00\xff", 2)), "00FF");
}

}  // namespace
}  // namespace bolvarin
