#include "conduit/cnotify.h"

#include "conduit/conduit_info.h"
#include "conduit/csync.h"
#include "config/fconfigure.h"

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
      return TaggedValue::Text(ExeName());
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

void CNotify::ConfigureConduit(const std::string& pPathName, const std::string& pRegistry,
                               int32_t& nSyncPref, int32_t& nSyncType) {
  FConfigureWindow().pPath = pPathName;
  FConfigureWindow().pRegistry = pRegistry;
  FConfigureWindow().nSyncType = nSyncType;
  FConfigureWindow().ShowModal();
  if (!FConfigureWindow().bCancel) {
    nSyncType = FConfigureWindow().nSyncType;
    nSyncPref = FConfigureWindow().nSyncPref;
  }
}

void CNotify::CfgConduit(int32_t /*nCreatorId*/, int32_t /*nUserId*/,
                         const std::string& /*bstrUserName*/, const std::string& /*bstrPathName*/,
                         int32_t& nSyncPerm, int32_t& /*nSyncTemp*/, int32_t& nSyncNew,
                         int32_t& nSyncPref) {
  FConfigureWindow().nSyncType = nSyncPerm;
  FConfigureWindow().ShowModal();
  if (!FConfigureWindow().bCancel) {
    nSyncNew = FConfigureWindow().nSyncType;
    nSyncPref = FConfigureWindow().nSyncPref;
  }
}

}  // namespace bolvarin
