// The lock on a handheld image, held by every command that changes it.
#pragma once

#include <string>

#include "os/file_lock.h"

namespace bolvarin::host {

// Holds "IMAGE.lock" for as long as it lives: taken before the image is
// loaded and released after it is saved, so that two commands never change
// the same image at once. Waits LockWait() for a lock held by another
// command, then raises the ConduitError that names the lock and its holder.
// Once locked, removes the temporary files a killed command left beside the
// image.
class ImageLock {
 public:
  // `command` names the command for others to read ("syncbolvarin sync").
  ImageLock(const std::string& image, const std::string& command);

 private:
  FileLock lock_;
};

}  // namespace bolvarin::host
