// Desktop files: reading, removing and replacing them safely.
#pragma once

#include <string>
#include <string_view>

namespace bolvarin {

// True when `path` names an existing regular file (not a folder).
bool IsRegularFile(const std::string& path);

// Reads a whole file into `contents`. Returns false when the file does not
// exist; raises an error naming the file when it exists but cannot be read.
bool ReadWholeFile(const std::string& path, std::string& contents);

// Looks up `name` in `folder` without regard to case and returns the full
// path of the first regular file that matches, or the empty text.
std::string FindFileNoCase(const std::string& folder, const std::string& name);

// Removes a file: for good when `permanent`, otherwise to the user's trash
// (the recycle bin on Windows) so that it can be restored. A blank path, a
// missing file or a folder: nothing happens. Never fails.
void RemoveFile(const std::string& filePath, bool permanent);

// Replaces (or creates) `path` with `contents`. The new file is complete on
// disk before it takes the name; the old one goes to the trash (as a copy)
// unless `permanent`. A failure at any moment leaves the old or the new
// complete file under the name. Raises an error naming the file on failure.
void ReplaceFile(const std::string& path, std::string_view contents, bool permanent);

// Test hook: the next ReplaceFile fails after writing `bytes` bytes of its
// temporary file, as a full disk or a crash would. Negative disarms it.
void FailNextReplaceAfterForTesting(long long bytes);

}  // namespace bolvarin
