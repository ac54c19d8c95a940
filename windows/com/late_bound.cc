#include "windows/com/late_bound.h"

#include <vector>

#include "base/error.h"
#include "os/win_handles_win.h"
#include "windows/com/com_glue.h"

namespace bolvarin::com {

LateArg::LateArg(const TaggedValue& value) : value_(ToVariant(value)) {}

LateArg LateArg::Ref(Variant& slot) {
  LateArg a;
  a.ref_ = &slot;
  return a;
}

LateArg LateArg::InOut(int32_t& slot) {
  LateArg a;
  a.inOut_ = &slot;
  return a;
}

VARIANT LateArg::Raw() {
  VARIANT v;
  VariantInit(&v);
  if (ref_ != nullptr) {
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = ref_->get();
  } else if (inOut_ != nullptr) {
    local_ = *inOut_;
    V_VT(&v) = VT_BYREF | VT_I4;
    V_I4REF(&v) = &local_;
  } else {
    v = *value_.get();
  }
  return v;
}

void LateArg::WriteBack() {
  if (inOut_ != nullptr) *inOut_ = local_;
}

Variant LateBound::Call(const char* member, std::initializer_list<LateArg*> args) {
  return Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

void LateBound::Put(const char* member, std::initializer_list<LateArg*> args) {
  Invoke(member, DISPATCH_PROPERTYPUT, args);
}

TaggedValue LateBound::Value(const char* member, std::initializer_list<LateArg*> args) {
  Variant v = Call(member, args);
  return FromVariant(*v.get());
}

ComPtr<IDispatch> LateBound::ObjectOf(const char* member, std::initializer_list<LateArg*> args) {
  Variant v = Call(member, args);
  ComPtr<IDispatch> result;
  IUnknown* unknown = nullptr;
  if (v.type() == VT_DISPATCH || v.type() == VT_UNKNOWN) unknown = V_UNKNOWN(v.get());
  if (unknown != nullptr) {
    unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(result.Out()));
  }
  if (!result) Raise(err::kObjectRequired, label_ + "." + member + " returned no object");
  return result;
}

Variant LateBound::Invoke(const char* member, WORD flags, std::initializer_list<LateArg*> args) {
  std::wstring wideName = Widen(member);
  LPOLESTR names[] = {wideName.data()};
  DISPID id = 0;
  HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    Raise(NumberOfHresult(hr),
          label_ + " has no member " + member + ": " + win::ErrorMessage(static_cast<DWORD>(hr)));
  }
  // Invoke takes the arguments last first.
  std::vector<VARIANT> raw;
  for (auto it = std::rbegin(args); it != std::rend(args); ++it) raw.push_back((*it)->Raw());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  Variant result;
  EXCEPINFO info{};
  UINT badArg = 0;
  hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                       flags == DISPATCH_PROPERTYPUT ? nullptr : result.Out(), &info, &badArg);
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
    Bstr source = Bstr::Adopt(info.bstrSource), text = Bstr::Adopt(info.bstrDescription),
         help = Bstr::Adopt(info.bstrHelpFile);
    const HRESULT code = info.scode != 0 ? info.scode : HresultOfNumber(info.wCode);
    std::string description = FromBstr(text.get());
    if (description.empty()) {
      description =
          label_ + "." + member + " failed: " + win::ErrorMessage(static_cast<DWORD>(code));
    }
    Raise(NumberOfHresult(code), description);
  }
  if (FAILED(hr)) {
    Raise(NumberOfHresult(hr),
          label_ + "." + member + " failed: " + win::ErrorMessage(static_cast<DWORD>(hr)));
  }
  for (LateArg* arg : args) arg->WriteBack();
  return result;
}

HRESULT CreateByProgId(const char* progId, DWORD context, ComPtr<IDispatch>& object) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(Widen(progId).c_str(), &clsid);
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, context, IID_IDispatch,
                          reinterpret_cast<void**>(object.Out()));
  }
  return hr;
}

}  // namespace bolvarin::com
