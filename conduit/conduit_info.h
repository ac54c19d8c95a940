// The conduit's identity: executable name and version, as the log shows them.
#pragma once

#include <string_view>

namespace bolvarin {

inline constexpr char kExeName[] = "SyncBolvarin";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 3;
inline constexpr int kVersionRevision = 2;
// The comment of the version record; the configuration window's title shows it.
inline constexpr char kVersionComment[] = "Version ";

inline constexpr char kLedgerDatabase[] = "MaBolvarin Data";
inline constexpr char kLedgerCreator[] = "Bolv";
inline constexpr char kRecordAdapterProgId[] = "HXDirect.HXRecordAdapter";
inline constexpr int kDatabaseMode = 208;

// True for an error line of the log: the executable name, " - ", the
// procedure and " - ", then the error's description. The run's progress
// lines (" - Sync configured to ..."), its version line and its closing
// "Ok " line are not errors. A host uses this to tell a run that went well
// from one that finished with errors.
inline bool IsErrorLogLine(std::string_view text) {
  const std::string_view name = kExeName;
  if (text.substr(0, name.size()) != name) return false;
  text.remove_prefix(name.size());
  if (text.substr(0, 3) != " - ") return false;
  return text.substr(0, 22) != " - Sync configured to ";
}

}  // namespace bolvarin
