#include "windows/standin/table_dispatch.h"

#include <wchar.h>

#include <new>
#include <utility>

#include "base/error.h"
#include "windows/com/com_glue.h"

namespace bolvarin::standin {

using com::Variant;

std::recursive_mutex& StandInLock() {
  static std::recursive_mutex lock;
  return lock;
}

VARIANT& DispCall::Arg(size_t index) const {
  // IDispatch passes the arguments last first; a write's value, the named
  // DISPID_PROPERTYPUT argument, comes first, which is the same rule.
  return params_->rgvarg[params_->cArgs - 1 - index];
}

void DispCall::Mismatch(size_t index, const std::string& why) const {
  Raise(err::kTypeMismatch,
        std::string("Argument ") + std::to_string(index + 1) + " of " + member_ + " " + why);
}

const VARIANT& DispCall::Raw(size_t index) const {
  const VARIANT& a = Arg(index);
  if (V_VT(&a) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&a) != nullptr) return *V_VARIANTREF(&a);
  return a;
}

namespace {

// The argument converted to `type`, through any VT_BYREF; false when it
// does not convert.
bool Convert(const VARIANT& arg, VARTYPE type, Variant& out) {
  Variant plain;
  return SUCCEEDED(VariantCopyInd(plain.get(), const_cast<VARIANT*>(&arg))) &&
         SUCCEEDED(VariantChangeType(out.get(), plain.get(), 0, type));
}

}  // namespace

TaggedValue DispCall::Value(size_t index) const {
  try {
    return com::FromVariant(Raw(index));
  } catch (const ConduitError& e) {
    Mismatch(index, "cannot be read: " + e.description());
  }
}

int32_t DispCall::Int(size_t index) const {
  Variant v;
  if (!Convert(Raw(index), VT_I4, v)) Mismatch(index, "is not a 32-bit integer");
  return V_I4(v.get());
}

bool DispCall::Bool(size_t index) const {
  Variant v;
  if (!Convert(Raw(index), VT_BOOL, v)) Mismatch(index, "is not a Boolean");
  return V_BOOL(v.get()) != VARIANT_FALSE;
}

std::wstring DispCall::Wide(size_t index) const {
  Variant v;
  if (!Convert(Raw(index), VT_BSTR, v)) Mismatch(index, "is not a text");
  BSTR text = V_BSTR(v.get());
  return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

std::string DispCall::Text(size_t index) const {
  const std::wstring wide = Wide(index);
  return com::Narrow(wide.data(), wide.size());
}

Bytes DispCall::ByteArray(size_t index) const {
  TaggedValue v = Value(index);
  if (v.kind() != TaggedValue::Kind::kBytes) Mismatch(index, "is not a byte array");
  return v.AsBytes();
}

void DispCall::SetOut(size_t index, const TaggedValue& value) const {
  VARIANT& a = Arg(index);
  const VARTYPE type = V_VT(&a);
  if ((type & VT_BYREF) == 0) Mismatch(index, "must be passed by reference");
  Variant v = com::ToVariant(value);
  if (type == (VT_BYREF | VT_VARIANT)) {
    VARIANT* target = V_VARIANTREF(&a);
    VariantClear(target);
    v.MoveTo(target);
    return;
  }
  const VARTYPE base = type & ~VT_BYREF;
  if (base == (VT_ARRAY | VT_UI1)) {
    if (v.type() != base)
      Mismatch(index, "cannot receive a " + std::string(TaggedValue::KindName(value.kind())));
    VARIANT moved;
    v.MoveTo(&moved);
    com::SafeArray old(std::exchange(*V_ARRAYREF(&a), V_ARRAY(&moved)));
    return;
  }
  Variant converted;
  if (FAILED(VariantChangeType(converted.get(), v.get(), 0, base))) {
    Mismatch(index, "cannot receive a " + std::string(TaggedValue::KindName(value.kind())));
  }
  switch (base) {
    case VT_I4:
      *V_I4REF(&a) = V_I4(converted.get());
      break;
    case VT_I2:
      *V_I2REF(&a) = V_I2(converted.get());
      break;
    case VT_BOOL:
      *V_BOOLREF(&a) = V_BOOL(converted.get());
      break;
    case VT_R8:
      *V_R8REF(&a) = V_R8(converted.get());
      break;
    case VT_BSTR: {
      VARIANT moved;
      converted.MoveTo(&moved);
      com::Bstr old = com::Bstr::Adopt(std::exchange(*V_BSTRREF(&a), V_BSTR(&moved)));
      break;
    }
    default:
      Mismatch(index, "is passed by reference as variant type " + std::to_string(type) +
                          ", which cannot receive a value");
  }
}

void DispCall::Return(Variant value) const {
  if (result_ == nullptr) return;
  VariantClear(result_);
  value.MoveTo(result_);
}

void DispCall::Return(const TaggedValue& value) const { Return(com::ToVariant(value)); }

void DispCall::ReturnObject(com::ComPtr<IDispatch> object) const {
  if (!object) throw std::bad_alloc();
  if (result_ == nullptr) return;
  VariantClear(result_);
  V_VT(result_) = VT_DISPATCH;
  V_DISPATCH(result_) = object.Detach();
}

namespace dispatch {

HRESULT IdsOfNames(std::span<const char* const> names, LPOLESTR* requested, UINT count,
                   DISPID* ids) {
  if (requested == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  // Members take no named arguments: any name after the member's is unknown.
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::wstring name = com::Widen(names[i]);
    if (requested[0] != nullptr && _wcsicmp(requested[0], name.c_str()) == 0) {
      ids[0] = static_cast<DISPID>(i + 1);
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT Select(bool hasCall, bool hasWrite, unsigned args, WORD flags, const DISPPARAMS* params,
               int* which) {
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    if (!hasWrite) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs == nullptr ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTFOUND;
    }
    if (params->cArgs != args + 1) return DISP_E_BADPARAMCOUNT;
    *which = 2;
    return S_OK;
  }
  if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0) {
    if (!hasCall) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != args) return DISP_E_BADPARAMCOUNT;
    *which = 1;
    return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

namespace {

HRESULT Exception(const char* source, EXCEPINFO* exception, HRESULT scode,
                  const std::wstring& description) {
  if (exception != nullptr) {
    *exception = EXCEPINFO{};
    exception->scode = scode;
    exception->bstrSource = com::Bstr(com::Widen(source)).Detach();
    exception->bstrDescription = com::Bstr(description).Detach();
  }
  return DISP_E_EXCEPTION;
}

}  // namespace

HRESULT Failed(const char* source, EXCEPINFO* exception) {
  try {
    throw;
  } catch (const DispError& e) {
    return Exception(source, exception, e.scode, e.description);
  } catch (const ConduitError& e) {
    return Exception(source, exception, com::HresultOfNumber(e.number()),
                     com::Widen(e.description()));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return Exception(source, exception, E_FAIL, com::Widen(ErrorText(e)));
  } catch (...) {
    return Exception(source, exception, E_UNEXPECTED, L"An unexpected failure ended the call");
  }
}

}  // namespace dispatch

}  // namespace bolvarin::standin
