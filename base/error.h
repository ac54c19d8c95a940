// Errors of the conduit: every failure carries a number and a description.
//
// The numbers follow the classic runtime error numbers that the platform's
// error objects also use, so a Windows build can hand them to the sync
// manager unchanged. Descriptions say what failed and where (the field, the
// line, the file) because they end up verbatim in the sync manager's log.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace bolvarin {

namespace err {
inline constexpr int32_t kInvalidArgument = 5;      // invalid procedure call or argument
inline constexpr int32_t kOverflow = 6;             // a number outside its range
inline constexpr int32_t kOutOfMemory = 7;          // out of memory
inline constexpr int32_t kSubscriptOutOfRange = 9;  // index outside a list or table
inline constexpr int32_t kTypeMismatch = 13;        // text that is not a number or a date
inline constexpr int32_t kBadRecord = 32001;        // a handheld record that does not convert
inline constexpr int32_t kBadLine = 32002;          // a desktop line that does not convert
inline constexpr int32_t kFileNotFound = 53;        // a file that does not exist
inline constexpr int32_t kFileIo = 57;              // device I/O error: read or write failed
inline constexpr int32_t kPathAccess = 75;          // path/file access error
inline constexpr int32_t kObjectRequired = 424;     // a platform object that is not there
inline constexpr int32_t kPlatform = 32100;         // a platform call that failed
}  // namespace err

class ConduitError : public std::runtime_error {
 public:
  ConduitError(int32_t number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int32_t number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int32_t number_;
};

[[noreturn]] inline void Raise(int32_t number, const std::string& description) {
  throw ConduitError(number, description);
}

// The description of whatever was thrown: the conduit's own errors give their
// description, anything else the text of the standard exception.
std::string ErrorText(const std::exception& e);

}  // namespace bolvarin
