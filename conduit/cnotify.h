// CNotify: what the sync manager calls. A thin front over CSync.
#pragma once

#include <cstdint>
#include <string>

#include "base/platform.h"
#include "base/tagged_value.h"

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

  // Shows the process-wide configuration window (FConfigureWindow) with the
  // sync type handed in. Only when the user pressed OK are nSyncType and
  // nSyncPref given the window's answer; after Cancel both keep their values.
  void ConfigureConduit(const std::string& pPathName, const std::string& pRegistry,
                        int32_t& nSyncPref, int32_t& nSyncType);
  // The same from the other configuration entry: the window opens with
  // nSyncPerm, and OK answers in nSyncNew and nSyncPref. nSyncPerm and
  // nSyncTemp are never written; the window's pPath and pRegistry are left
  // as they were.
  void CfgConduit(int32_t nCreatorId, int32_t nUserId, const std::string& bstrUserName,
                  const std::string& bstrPathName, int32_t& nSyncPerm, int32_t& nSyncTemp,
                  int32_t& nSyncNew, int32_t& nSyncPref);

 private:
  Platform& platform_;
};

}  // namespace bolvarin
