#include "conduit/cnotify.h"

#include "conduit/conduit_info.h"
#include "conduit/csync.h"

namespace bolvarin {

bool CNotify::BeginProcess() {
  {
    // A fresh engine for every run; leaving the scope releases it and with
    // it the desktop store, whose release writes the data file.
    CSync engine(platform_);
    engine.SYNCHRONIZE();
  }
  return false;
}

TaggedValue CNotify::GetConduitInfo(int32_t infoType, int32_t /*dwCreatorId*/, int32_t /*dwUserId*/,
                                    const std::string& /*bstrUserName*/) {
  switch (infoType) {
    case 0:
      return TaggedValue::Text(kExeName);
    case 1:
      return TaggedValue::Int32(268435456);
    case 2:
      return TaggedValue::Int32(0);
    case 3:
      return TaggedValue::Double(1.0);
    default:
      return TaggedValue();
  }
}

}  // namespace bolvarin
