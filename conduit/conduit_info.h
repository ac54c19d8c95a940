// The conduit's identity: executable name and version, as the log shows them.
#pragma once

#include <string>
#include <string_view>

#include "conduit/version.h"

namespace bolvarin {

// The executable name of a conduit built as "SyncBolvarin".
inline constexpr char kExeName[] = "SyncBolvarin";

// The executable name that the log lines, GetConduitInfo and the
// configuration window's title show: the conduit's file name without its
// extension. It is kExeName until the module that holds the conduit names
// itself (the Windows DLL does so after its own file when it loads, so a
// renamed DLL speaks under its new name).
const std::string& ExeName();
void SetExeName(std::string name);
// The version, from the build's one version number (conduit/version.h is
// made from CMakeLists.txt).
inline constexpr int kVersionMajor = BOLVARIN_VERSION_MAJOR;
inline constexpr int kVersionMinor = BOLVARIN_VERSION_MINOR;
inline constexpr int kVersionRevision = BOLVARIN_VERSION_REVISION;
// "1.3.2": the version as the log's first line and `syncbolvarin --version`
// show it.
std::string VersionText();
// The comment of the version record; the configuration window's title shows it.
inline constexpr char kVersionComment[] = "Version ";

inline constexpr char kLedgerDatabase[] = "MaBolvarin Data";
inline constexpr char kLedgerCreator[] = "Bolv";
inline constexpr int kDatabaseMode = 208;

// True for an error line of the log of the conduit named `name`: the name,
// " - ", the procedure and " - ", then the error's description. The run's
// progress lines (" - Sync configured to ..."), its version line and its
// closing "Ok " line are not errors. A host uses this to tell a run that
// went well from one that finished with errors.
inline bool IsErrorLogLine(std::string_view text, std::string_view name = ExeName()) {
  if (text.substr(0, name.size()) != name) return false;
  text.remove_prefix(name.size());
  if (text.substr(0, 3) != " - ") return false;
  return text.substr(0, 22) != " - Sync configured to ";
}

}  // namespace bolvarin
