// Replacing a file so that its name always holds the old or the new complete
// version. The order is the same on every system; the steps that differ are
// in os/replace_steps.h.
#include <algorithm>
#include <string>
#include <utility>

#include "base/error.h"
#include "base/text.h"
#include "os/files.h"
#include "os/replace_steps.h"

namespace bolvarin {

namespace {

long long g_failReplaceAfter = -1;  // FailNextReplaceAfterForTesting
std::string g_failReplaceOnly;      // ... of this path only, when not empty

}  // namespace

void ReplaceFile(const std::string& path, std::string_view contents, bool permanent) {
  ReplaceFileWith(
      path, [contents](const FilePiece& write) { write(contents); }, permanent);
}

void ReplaceFileWith(const std::string& path, const FileWriter& produce, bool permanent) {
  using namespace replace_steps;
  const long long failAfter = g_failReplaceOnly.empty() || g_failReplaceOnly == path
                                  ? std::exchange(g_failReplaceAfter, -1)
                                  : -1;
  if (TrimBlanks(path).empty()) Raise(err::kPathAccess, "Cannot write a file: the path is empty");
  auto fail = [&path](const StepFailure& failure) {
    Raise(failure.number, "Cannot write \"" + path + "\": " + failure.reason);
  };

  std::string target;
  bool oldExists = false;
  if (StepFailure failure = FindTarget(path, target, oldExists)) fail(failure);

  // 1. The new version, complete and on the disk, under a temporary name.
  StepFailure failure;
  std::unique_ptr<NewFile> fresh = CreateNewFile(target, failure);
  if (!fresh) fail(failure);
  // The pieces are written as they come; after a failure the rest is not.
  long long room = failAfter;  // what the test hook lets through, when set
  produce([&](std::string_view piece) {
    if (failure) return;
    if (room >= 0 && static_cast<long long>(piece.size()) > room) {
      fresh->Write(piece.substr(0, static_cast<size_t>(room)));
      failure = DiskFull();
      return;
    }
    if (room >= 0) room -= static_cast<long long>(piece.size());
    failure = fresh->Write(piece);
  });
  if (!failure && failAfter >= 0) failure = DiskFull();
  if (!failure) failure = fresh->Finish();

  // 2. The old version goes to the trash unless it is deleted for good, which
  // the rename does by itself. When the trash cannot take it, the file is
  // not replaced, rather than lose the old version.
  std::string keep;
  if (!failure && oldExists && !permanent) failure = TrashOldVersion(target, keep);

  // 3. The new version takes the name.
  if (!failure) failure = RenameOver(fresh->path(), target, keep);
  if (failure) {
    fresh->Remove();
    fail(failure);
  }
  Finished(target, keep);
}

void FailNextReplaceAfterForTesting(long long bytes, const std::string& onlyPath) {
  g_failReplaceAfter = bytes;
  g_failReplaceOnly = onlyPath;
}

}  // namespace bolvarin
