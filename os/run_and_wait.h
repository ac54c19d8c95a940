// Starting a program and waiting for its end.
#pragma once

#include <string>

namespace bolvarin {

// Starts the program of `command` (a command line as the user typed it) and
// returns when it has ended: true when it was started and has ended, false
// when it could not be started. When `fileArgument` is not empty it is passed
// as one more argument, whole, even when it contains blanks. Yields to the
// host while waiting, without busy polling. The program's standard output
// is the host's standard error, so nothing it prints lands in the log.
bool RunAndWait(const std::string& command, const std::string& fileArgument = {});

}  // namespace bolvarin
