// Building a Windows command line from arguments. Windows-only: a program
// receives one command line and its C runtime splits it back into words.
#pragma once

#include <string>

namespace bolvarin {

// `argument` as one word of a Windows command line: in double quotes, with
// the backslashes before a quote (and before the closing quote) doubled, so
// that the program's argument parser gives back exactly `argument`.
std::string QuoteArgument(const std::string& argument);

}  // namespace bolvarin
