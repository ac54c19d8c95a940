// The stand-in's creatable classes: the platform objects that the conduit
// creates by ProgID, and the control object through which a test or the
// demo loads the handheld, sets the run and reads the log.
#pragma once

#include <windows.h>

namespace bolvarin::standin {

HRESULT CreatePlatformSystem(REFIID iid, void** out);
HRESULT CreateConduitServices(REFIID iid, void** out);
HRESULT CreatePlatformUtility(REFIID iid, void** out);
// A record adapter made by its ProgID rather than by OpenDatabase or
// CreateDatabase has no database: each of its calls fails saying so.
HRESULT CreateRecordAdapter(REFIID iid, void** out);
HRESULT CreateStandInControl(REFIID iid, void** out);

}  // namespace bolvarin::standin
