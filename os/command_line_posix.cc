// Splitting a command line into words the way a POSIX shell tokenises one
// simple command, without any of the shell's expansions or operators.
#include "os/command_line_posix.h"

#include "base/error.h"

namespace bolvarin {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  // A word exists once any character or any pair of quotes was seen, so that
  // '' and "" give an empty word as they do in a shell.
  bool inWord = false;
  size_t i = 0;
  const size_t n = command.size();
  while (i < n) {
    const char c = command[i];
    if (IsBlank(c)) {
      if (inWord) {
        words.push_back(std::move(word));
        word.clear();
        inWord = false;
      }
      ++i;
    } else if (c == '\'') {
      const size_t close = command.find('\'', i + 1);
      if (close == std::string::npos) {
        Raise(err::kInvalidArgument, "Unterminated single quote at position " +
                                         std::to_string(i + 1) +
                                         " of the command line: " + command);
      }
      word.append(command, i + 1, close - i - 1);
      inWord = true;
      i = close + 1;
    } else if (c == '"') {
      const size_t open = i;
      ++i;
      bool closed = false;
      while (i < n) {
        const char d = command[i];
        if (d == '"') {
          closed = true;
          ++i;
          break;
        }
        if (d == '\\' && i + 1 < n) {
          const char next = command[i + 1];
          if (next == '"' || next == '\\' || next == '$' || next == '`') {
            word += next;
            i += 2;
            continue;
          }
          if (next == '\n') {  // line continuation
            i += 2;
            continue;
          }
        }
        word += d;
        ++i;
      }
      if (!closed) {
        Raise(err::kInvalidArgument, "Unterminated double quote at position " +
                                         std::to_string(open + 1) +
                                         " of the command line: " + command);
      }
      inWord = true;
    } else if (c == '\\') {
      if (i + 1 < n) {
        if (command[i + 1] != '\n') {  // backslash-newline joins lines
          word += command[i + 1];
          inWord = true;
        }
        i += 2;
      } else {
        // A backslash at the very end has nothing to escape: keep it.
        word += c;
        inWord = true;
        ++i;
      }
    } else {
      word += c;
      inWord = true;
      ++i;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace bolvarin
