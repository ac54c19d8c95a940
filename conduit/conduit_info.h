// The conduit's identity: executable name and version, as the log shows them.
#pragma once

namespace bolvarin {

inline constexpr char kExeName[] = "SyncBolvarin";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 3;
inline constexpr int kVersionRevision = 2;

inline constexpr char kLedgerDatabase[] = "MaBolvarin Data";
inline constexpr char kLedgerCreator[] = "Bolv";
inline constexpr char kRecordAdapterProgId[] = "HXDirect.HXRecordAdapter";
inline constexpr int kDatabaseMode = 208;

}  // namespace bolvarin
