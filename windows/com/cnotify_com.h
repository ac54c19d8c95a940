// The COM class CNotify: IHXClientNotify over the portable CNotify.
#pragma once

#include <windows.h>

namespace bolvarin::com {

// Creates a CNotify object and returns its interface `iid` in `out`.
HRESULT CreateNotifyObject(REFIID iid, void** out);

}  // namespace bolvarin::com
