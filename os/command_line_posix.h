// Splitting a command line into words, the POSIX way. Only the POSIX program
// runner uses it: on Windows the command line goes to CreateProcessA whole.
#pragma once

#include <string>
#include <vector>

namespace bolvarin {

// The words of a command line as a POSIX shell splits them: blanks separate
// words; single quotes keep everything up to the next single quote; double
// quotes keep everything but a backslash escape of " \ $ `; a backslash
// outside quotes keeps the next character. No expansion of any kind. Raises
// an error naming the problem for an unterminated quote.
std::vector<std::string> SplitCommandLine(const std::string& command);

}  // namespace bolvarin
