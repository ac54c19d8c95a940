// The platform of base/platform.h over the sync manager's COM objects,
// reached by late binding only: every object is an IDispatch, every call
// goes by name, and the creatable objects are made from their ProgIDs.
#pragma once

#include "base/platform.h"

namespace bolvarin::com {

class ComPlatform : public Platform {
 public:
  std::shared_ptr<PlatformSystem> NewPlatformSystem() override;
  std::shared_ptr<ConduitServices> NewConduitServices() override;
  std::shared_ptr<PlatformUtility> NewPlatformUtility() override;
};

}  // namespace bolvarin::com
