// The platform's record attribute bits, as the handheld keeps them and the
// desktop line carries them in field 2.
#pragma once

#include <cstdint>

namespace bolvarin {

inline constexpr int32_t kAttrDeleted = 0x80;   // deleted on the handheld
inline constexpr int32_t kAttrChanged = 0x40;   // changed since the last sync
inline constexpr int32_t kAttrArchived = 0x08;  // kept for the desktop only
// A deletion as the store takes it: deleted alone, or deleted and changed.
inline constexpr int32_t kAttrDeletedChanged = kAttrDeleted | kAttrChanged;
// Deleted or archived: not copied to the other side.
inline constexpr int32_t kAttrDeletedOrArchived = kAttrDeleted | kAttrArchived;

}  // namespace bolvarin
