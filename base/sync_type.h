// The kinds of run the sync manager asks for, by the codes it hands over
// (SyncContext::SyncTypeCode, ConfigureConduit's nSyncType). The codes are
// fixed by the sync manager; a code outside this list is still a value of
// the type (SyncType{code}) and is handled as an unknown kind of run.
#pragma once

#include <cstdint>

namespace bolvarin {

enum class SyncType : int32_t {
  kFast = 0,
  kSlow = 1,
  kHandheldToPc = 2,
  kPcToHandheld = 3,
  kInstall = 4,
  kBackup = 5,
  kDoNothing = 6,
  kInstallOther = 7,  // a second code for an install run
};

// The code the sync manager uses for `type`.
constexpr int32_t CodeOf(SyncType type) { return static_cast<int32_t>(type); }

// True for the runs that move records between the handheld and the desktop.
constexpr bool MovesRecords(SyncType type) {
  return type == SyncType::kFast || type == SyncType::kSlow || type == SyncType::kHandheldToPc ||
         type == SyncType::kPcToHandheld;
}

}  // namespace bolvarin
