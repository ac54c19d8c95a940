// The owner of a POSIX file descriptor, for every file of os/ that opens one.
#pragma once

#include <unistd.h>

#include <utility>

namespace bolvarin {

// Holds one file descriptor (or none, -1) and closes it when it goes.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }

  int get() const { return fd_; }
  // Closes now and reports the result of close(), for callers that must know
  // whether buffered data reached the disk.
  int Close() { return fd_ >= 0 ? close(std::exchange(fd_, -1)) : 0; }

 private:
  int fd_;
};

}  // namespace bolvarin
