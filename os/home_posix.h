// The user's home folder on POSIX systems, one rule for every caller.
#pragma once

#include <string>

namespace bolvarin {

// $HOME when it holds an absolute path, else the password database's entry
// for the user, else the empty text. A relative $HOME is ignored, so that no
// user file is ever placed relative to the current folder.
std::string HomeFolder();

}  // namespace bolvarin
