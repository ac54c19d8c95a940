// The COM class CNotify that the sync manager creates: a dual interface whose
// IDispatch side is served from the embedded type library.
//
// Script hosts pass the in/out integers as VT_BYREF|VT_VARIANT, which the
// type library's long* parameters refuse; Invoke hands such arguments over as
// VT_BYREF|VT_I4 and writes the results back into the caller's variants.
//
// ConfigureConduit and CfgConduit have no result: they return S_OK after OK
// and after Cancel alike, and a cancel shows only in the values handed back.
// Only a window that fails is a failure of the call.
#include "windows/com/cnotify_com.h"

#include <windows.h>

#include <functional>
#include <new>
#include <vector>

#include "base/host_events.h"
#include "conduit/cnotify.h"
#include "config/fconfigure.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_object.h"
#include "windows/com/com_raii.h"
#include "windows/com/com_server.h"
#include "windows/com/platform_com.h"
#include "windows/com/syncbolvarin_idl.h"
#include "windows/dialog/configure_dialog.h"

namespace bolvarin::com {

namespace {

// Lets the thread's window messages through: what "process pending window
// messages" means inside the sync manager.
void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to act on: leave it for the host's own message loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Installs the message pump as the host's yield for the life of a call.
class ScopedPump {
 public:
  ScopedPump() : previous_(SetPendingMessagesHandler(PumpMessages)) {}
  ~ScopedPump() { SetPendingMessagesHandler(std::move(previous_)); }
  ScopedPump(const ScopedPump&) = delete;
  ScopedPump& operator=(const ScopedPump&) = delete;

 private:
  std::function<void()> previous_;
};

bool IsInOutLong(const ELEMDESC& e) {
  return (e.paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0 &&
         (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) == 0 && e.tdesc.vt == VT_PTR &&
         e.tdesc.lptdesc != nullptr && e.tdesc.lptdesc->vt == VT_I4;
}

// Gives DispInvoke a VT_BYREF|VT_I4 for every in/out integer that the caller
// passed another way (by value, or as VT_BYREF|VT_VARIANT), and copies the
// results back into the caller's variants afterwards.
class InOutIntegers {
 public:
  // Returns S_OK, or DISP_E_TYPEMISMATCH with `badArg` set.
  HRESULT Prepare(ITypeInfo* info, DISPID id, const DISPPARAMS* params, UINT* badArg) {
    if (params == nullptr || params->cNamedArgs != 0 || params->cArgs == 0) return S_OK;
    TypeInfoLoan<TYPEATTR> attr(info, [info](TYPEATTR** a) { return info->GetTypeAttr(a); });
    if (attr.get() == nullptr) return S_OK;
    for (UINT f = 0; f < attr.get()->cFuncs; ++f) {
      TypeInfoLoan<FUNCDESC> desc(info,
                                  [info, f](FUNCDESC** d) { return info->GetFuncDesc(f, d); });
      if (desc.get() == nullptr || desc.get()->memid != id) continue;
      const UINT count = std::min<UINT>(params->cArgs, desc.get()->cParams);
      args_.assign(params->rgvarg, params->rgvarg + params->cArgs);
      values_.assign(params->cArgs, 0);
      for (UINT p = 0; p < count; ++p) {
        if (!IsInOutLong(desc.get()->lprgelemdescParam[p])) continue;
        const UINT k = params->cArgs - 1 - p;  // arguments come last first
        VARIANT& arg = args_[k];
        if (V_VT(&arg) == (VT_BYREF | VT_I4)) continue;
        VARIANT* source = V_VT(&arg) == (VT_BYREF | VT_VARIANT) ? V_VARIANTREF(&arg) : &arg;
        Variant number;
        if (FAILED(VariantChangeType(number.get(), source, 0, VT_I4))) {
          if (badArg != nullptr) *badArg = k;
          return DISP_E_TYPEMISMATCH;
        }
        values_[k] = V_I4(number.get());
        if (V_VT(&arg) == (VT_BYREF | VT_VARIANT)) writeBack_.push_back({V_VARIANTREF(&arg), k});
        V_VT(&arg) = VT_BYREF | VT_I4;
        V_I4REF(&arg) = &values_[k];
      }
      adapted_ = *params;
      adapted_.rgvarg = args_.data();
      return S_OK;
    }
    return S_OK;
  }
  DISPPARAMS* Params(DISPPARAMS* original) { return args_.empty() ? original : &adapted_; }
  void WriteBack() {
    for (const auto& [target, k] : writeBack_) {
      VariantClear(target);
      V_VT(target) = VT_I4;
      V_I4(target) = values_[k];
    }
  }

 private:
  std::vector<VARIANT> args_;  // shallow copies: the caller owns what they hold
  std::vector<LONG> values_;
  std::vector<std::pair<VARIANT*, UINT>> writeBack_;
  DISPPARAMS adapted_{};
};

class NotifyObject : public ComObject<IHXClientNotify, ISupportErrorInfo> {
 public:
  HRESULT Init() {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(Widen(ModulePath()).c_str(), REGKIND_NONE, library.Out());
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(IID_IHXClientNotify, typeInfo_.Out());
    return hr;
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == IID_IHXClientNotify ? S_OK : S_FALSE;
  }

  // IDispatch, from the type library
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *out = ComPtr<ITypeInfo>::Share(typeInfo_.get()).Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(typeInfo_.get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* badArg) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    InOutIntegers inOut;
    HRESULT hr = inOut.Prepare(typeInfo_.get(), id, params, badArg);
    if (FAILED(hr)) return hr;
    hr = DispInvoke(static_cast<IHXClientNotify*>(this), typeInfo_.get(), id, flags,
                    inOut.Params(params), result, exception, badArg);
    if (SUCCEEDED(hr)) inOut.WriteBack();
    return hr;
  }

  // IHXClientNotify
  HRESULT STDMETHODCALLTYPE BeginProcess(VARIANT_BOOL* result) override {
    if (result == nullptr) return E_POINTER;
    try {
      ScopedPump pump;
      *result = notify_.BeginProcess() ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    } catch (...) {
      return ReportCurrentException(IID_IHXClientNotify);
    }
  }

  // Shows the configuration window; the sync type and preference code come
  // back only when the user pressed OK.
  HRESULT STDMETHODCALLTYPE ConfigureConduit(BSTR pPathName, BSTR pRegistry, LONG* nSyncPref,
                                             LONG* nSyncType) override {
    if (nSyncPref == nullptr || nSyncType == nullptr) return E_POINTER;
    try {
      win::UseConfigureDialog(ModuleHandle());
      int32_t pref = *nSyncPref, type = *nSyncType;
      notify_.ConfigureConduit(FromBstr(pPathName), FromBstr(pRegistry), pref, type);
      *nSyncPref = pref;
      *nSyncType = type;
      return S_OK;
    } catch (...) {
      return ReportCurrentException(IID_IHXClientNotify);
    }
  }

  HRESULT STDMETHODCALLTYPE GetConduitInfo(LONG infoType, LONG dwCreatorId, LONG dwUserId,
                                           BSTR bstrUserName, VARIANT* result) override {
    if (result == nullptr) return E_POINTER;
    try {
      Variant value = ToVariant(
          notify_.GetConduitInfo(infoType, dwCreatorId, dwUserId, FromBstr(bstrUserName)));
      VariantInit(result);
      value.MoveTo(result);
      return S_OK;
    } catch (...) {
      return ReportCurrentException(IID_IHXClientNotify);
    }
  }

  // The same window from the other configuration entry: it opens with
  // nSyncPerm and answers in nSyncNew and nSyncPref; nSyncPerm and nSyncTemp
  // are never written.
  HRESULT STDMETHODCALLTYPE CfgConduit(LONG nCreatorId, LONG nUserId, BSTR bstrUserName,
                                       BSTR bstrPathName, LONG* nSyncPerm, LONG* nSyncTemp,
                                       LONG* nSyncNew, LONG* nSyncPref) override {
    if (nSyncPerm == nullptr || nSyncTemp == nullptr || nSyncNew == nullptr || nSyncPref == nullptr)
      return E_POINTER;
    try {
      win::UseConfigureDialog(ModuleHandle());
      int32_t perm = *nSyncPerm, temp = *nSyncTemp, next = *nSyncNew, pref = *nSyncPref;
      notify_.CfgConduit(nCreatorId, nUserId, FromBstr(bstrUserName), FromBstr(bstrPathName), perm,
                         temp, next, pref);
      *nSyncNew = next;
      *nSyncPref = pref;
      return S_OK;
    } catch (...) {
      return ReportCurrentException(IID_IHXClientNotify);
    }
  }

 private:
  void* Interface(REFIID iid) override {
    if (iid == IID_IDispatch || iid == IID_IHXClientNotify)
      return static_cast<IHXClientNotify*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

  ComPtr<ITypeInfo> typeInfo_;
  ComPlatform platform_;
  CNotify notify_{platform_};
};

}  // namespace

HRESULT CreateNotifyObject(REFIID iid, void** out) {
  ComPtr<NotifyObject> object = MakeObject<NotifyObject>();
  const HRESULT hr = object ? object->Init() : S_OK;  // HandOut reports the missing object
  return FAILED(hr) ? hr : HandOut(object, iid, out);
}

}  // namespace bolvarin::com
