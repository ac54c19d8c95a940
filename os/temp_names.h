// The temporary files that a new version of a file is written to before it
// takes the file's name, and the removal of those a killed run left behind.
//
// They are named ".NAME.syncbolvarin-XXXXXX" (the X's become six letters or
// digits), beside the file NAME they are to replace. The name is this
// program's own, so a leftover can be told apart from anyone else's file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bolvarin {

// The pattern for a temporary file of `name`, as mkstemp() takes it:
// "." + name + ".syncbolvarin-XXXXXX".
std::string TemporaryNamePattern(const std::string& name);

// True when `candidate` is a name the pattern of `name` gives: the pattern
// exactly, with six ASCII letters or digits in place of the X's. With
// `anyCase`, the `name` part matches without regard to case.
bool IsTemporaryNameOf(std::string_view candidate, std::string_view name, bool anyCase);

// Removes from `folder` (the current folder when empty) every regular file
// whose name is a temporary name of one of `names`. Anything else is left,
// links and folders of such a name included. Only to be called while holding
// the lock that covers those files, so that no one is writing them. Returns
// how many were removed; failures are skipped.
size_t RemoveLeftoverTemporaries(const std::string& folder, const std::vector<std::string>& names,
                                 bool anyCase);

}  // namespace bolvarin
