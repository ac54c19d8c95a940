// CNotify: what the sync manager calls. A thin front over CSync.
#pragma once

#include <cstdint>
#include <string>

#include "base/tagged_value.h"
#include "conduit/platform.h"

namespace bolvarin {

class CNotify {
 public:
  explicit CNotify(Platform& platform) : platform_(platform) {}

  // Runs one synchronisation with a fresh engine. Returns false on every
  // path that returns normally; failures outside the engine's own handlers
  // propagate as ConduitError.
  bool BeginProcess();

  // 0: the conduit's name; 1: 2^28; 2: 0; 3: 1.0; anything else: empty.
  TaggedValue GetConduitInfo(int32_t infoType, int32_t dwCreatorId, int32_t dwUserId,
                             const std::string& bstrUserName);

 private:
  Platform& platform_;
};

}  // namespace bolvarin
