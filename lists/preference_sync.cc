#include "base/error.h"
#include "conduit/csync.h"

namespace bolvarin {

void CSync::RestorePreference() {
  try {
    Raise(err::kPlatform, "RestorePreference is not built yet");
  } catch (const std::exception& e) {
    LogError(" - RestorePreference - ", e);
  }
}

void CSync::SavePreference() {
  try {
    Raise(err::kPlatform, "SavePreference is not built yet");
  } catch (const std::exception& e) {
    LogError(" - SavePreference - ", e);
  }
}

void CSync::SyncPreference() {
  try {
    Raise(err::kPlatform, "SyncPreference is not built yet");
  } catch (const std::exception& e) {
    LogError(" - SyncPreference - ", e);
  }
}

}  // namespace bolvarin
