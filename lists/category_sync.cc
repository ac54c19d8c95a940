#include "base/error.h"
#include "conduit/csync.h"

namespace bolvarin {

void CSync::SyncCategories() {
  try {
    Raise(err::kPlatform, "SyncCategories is not built yet");
  } catch (const std::exception& e) {
    LogError(" - SyncCategories - ", e);
  }
}

}  // namespace bolvarin
