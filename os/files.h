// Desktop files: reading, removing and replacing them safely.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace bolvarin {

// True when `path` names an existing regular file (not a folder).
bool IsRegularFile(const std::string& path);

// Reads a whole file into `contents`. Returns false when the file does not
// exist; raises an error naming the file when it exists but cannot be read.
// Only a regular file is read: a folder, a FIFO, a device or a socket (also
// through a symbolic link) is refused with what it is, and opening never
// blocks, so a FIFO cannot hang the caller.
bool ReadWholeFile(const std::string& path, std::string& contents);

// True when `a` and `b` name the same file: the same text, or another
// spelling of an existing file (through a link, or on Windows with "/" or
// "\\" between the folders or in another case).
bool SameFile(const std::string& a, const std::string& b);

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
// A symbolic link is kept: the file it points to is replaced, or created when
// the link dangles. Anything but a regular file (a folder, FIFO, device or
// socket, directly or through a link) is refused and left as it is.
void ReplaceFile(const std::string& path, std::string_view contents, bool permanent);
// The same, with the new contents handed over in pieces, so that a large
// file need not be held whole in memory: `produce` calls its argument with
// each piece, in order.
using FilePiece = std::function<void(std::string_view)>;
using FileWriter = std::function<void(const FilePiece&)>;
void ReplaceFileWith(const std::string& path, const FileWriter& produce, bool permanent);

// Appends `text` at the end of `path`, creating the file when missing. The
// text is handed to the system before this returns, so it outlives a
// process that is killed afterwards. Raises an error naming the file.
void AppendToFile(const std::string& path, std::string_view text);

// Why ReplaceFile(path, ..., permanent) would fail now, or the empty text
// when it should succeed: the folder must exist and really take a new file,
// the name must hold a regular file or nothing, the file system must have
// room for a new file of the old one's size (and for its copy in the trash
// when that shares the file system), and, unless `permanent`, the trash must
// be usable. Changes nothing on disk.
std::string WhyCannotReplace(const std::string& path, bool permanent);

// Keeps `contents`, meant for `path` but not written there, in a new file
// where the user can find it: beside `path` as "NAME.unsaved-YYYYMMDD-HHMMSS",
// else in the user's data folder (syncbolvarin/unsaved/), else in the
// temporary folder. Returns the path of the copy; raises an error with the
// reason of each place tried when none could take it. Never overwrites.
std::string KeepUnsavedCopy(const std::string& path, std::string_view contents);

// Test hook: the next ReplaceFile (of `onlyPath` when given) fails after
// writing `bytes` bytes of its temporary file, as a full disk or a crash
// would. Negative disarms it.
void FailNextReplaceAfterForTesting(long long bytes, const std::string& onlyPath = {});

}  // namespace bolvarin
