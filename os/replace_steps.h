// The platform's part of ReplaceFile. os/replace_file.cc keeps the order of
// the replacement and its rules; each system supplies these small steps
// (files_posix.cc, files_win.cc).
//
// A step that can fail returns a StepFailure: the error number and the
// reason, worded to follow "Cannot write "PATH": ".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace bolvarin::replace_steps {

struct StepFailure {
  int32_t number = 0;
  std::string reason;  // empty: the step succeeded
  explicit operator bool() const { return !reason.empty(); }
};

// The name that really holds the file: `path` itself or, through symbolic
// links, the file they point to (the links stay). `exists` tells whether a
// regular file is there now. Fails when the name cannot be followed or holds
// anything but a regular file, which is then left as it is.
StepFailure FindTarget(const std::string& path, std::string& target, bool& exists);

// A new file under a temporary name beside the target (see os/temp_names.h),
// created exclusively. Destroying it closes it but leaves it on disk.
class NewFile {
 public:
  virtual ~NewFile() = default;
  const std::string& path() const { return path_; }
  // Writes all of `data`.
  virtual StepFailure Write(std::string_view data) = 0;
  // Gives the file the permissions the target has (or a new file gets),
  // flushes it to the disk and closes it.
  virtual StepFailure Finish() = 0;
  // Closes the file and deletes it.
  virtual void Remove() = 0;

 protected:
  std::string path_;
};

// Creates the new file that is to replace `target`; null and `failure` set
// when no file can be created.
std::unique_ptr<NewFile> CreateNewFile(const std::string& target, StepFailure& failure);

// What a full disk says, for the test hook that simulates one.
StepFailure DiskFull();

// Puts the old version of `target` in the trash, or keeps it ready to go
// there: the name still holds it afterwards, or `keep` names a private copy
// to put back should the rename fail. On failure the old file is as it was.
StepFailure TrashOldVersion(const std::string& target, std::string& keep);

// Renames `from` over `target` in one move; on failure puts `keep` (when not
// empty) back under the name.
StepFailure RenameOver(const std::string& from, const std::string& target, const std::string& keep);

// After a successful rename: makes it durable and drops `keep`.
void Finished(const std::string& target, const std::string& keep);

}  // namespace bolvarin::replace_steps
