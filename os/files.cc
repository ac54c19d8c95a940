// The parts of os/files.h that every platform shares, over the steps of
// os/file_steps.h.
#include "os/files.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "os/file_steps.h"

namespace bolvarin {

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return a == b || std::filesystem::equivalent(a, b, error);
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
  if (name.empty() || !file_steps::IsBareName(name)) return {};
  const std::string exact = folder.empty() ? name : JoinDesktopPath(folder, name);
  if (IsRegularFile(exact)) return exact;

  // File systems are usually case-blind on Windows already; a folder that is
  // not, and every folder elsewhere, is searched entry by entry.
  const std::string wanted = UpperAscii(name);
  // Of several names that differ only in case, take the lowest in byte
  // order, so that the answer does not depend on the order of the folder.
  std::string best;
  for (const std::string& candidate : file_steps::FolderEntries(folder)) {
    if (UpperAscii(candidate) != wanted) continue;
    const std::string full = folder.empty() ? candidate : JoinDesktopPath(folder, candidate);
    if (!IsRegularFile(full)) continue;
    if (best.empty() || candidate < best) best = candidate;
  }
  if (best.empty()) return {};
  return folder.empty() ? best : JoinDesktopPath(folder, best);
}

std::string KeepUnsavedCopy(const std::string& path, std::string_view contents) {
  using namespace file_steps;
  const std::string name = UnsavedCopyName(path);
  const std::vector<std::string> folders = UnsavedCopyFolders(path);
  std::string reasons;
  for (const std::string& folder : folders) {
    // The data file's own folder is never made: it is missing when that is
    // what failed.
    std::string reason = folder == folders.front() ? std::string() : MakeUnsavedFolder(folder);
    // An existing copy is never overwritten: while a name is taken, the next
    // number is tried.
    bool tryNext = reason.empty();
    for (int attempt = 1; tryNext && attempt <= 100; ++attempt) {
      const std::string copy =
          UnsavedCopyPath(folder, attempt == 1 ? name : name + "-" + std::to_string(attempt));
      reason = WriteUnsavedCopy(copy, contents, tryNext);
      if (reason.empty()) return copy;
    }
    reasons += (reasons.empty() ? "" : "; ") + ("\"" + folder + "\": ") + reason;
  }
  Raise(err::kFileIo,
        "No copy of what was meant for \"" + path + "\" could be kept anywhere (" + reasons + ")");
}

}  // namespace bolvarin
