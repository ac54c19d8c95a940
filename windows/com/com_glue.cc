#include "windows/com/com_glue.h"

#include <new>

#include "base/error.h"
#include "os/wide_text_win.h"

namespace bolvarin::com {

std::wstring Widen(const std::string& ansi) { return win::ToWide(ansi, CP_ACP); }

std::string Narrow(const wchar_t* text, size_t length) {
  return text == nullptr ? std::string() : win::FromWide({text, length}, CP_ACP);
}

std::string FromBstr(BSTR text) { return Narrow(text, text == nullptr ? 0 : SysStringLen(text)); }

Bstr ToBstr(const std::string& ansi) {
  Bstr b(Widen(ansi));
  if (b.get() == nullptr) throw std::bad_alloc();
  return b;
}

Variant ToVariant(const TaggedValue& value) {
  Variant v;
  VARIANT* out = v.get();
  switch (value.kind()) {
    case TaggedValue::Kind::kEmpty:
      break;
    case TaggedValue::Kind::kInt32:
      V_VT(out) = VT_I4;
      V_I4(out) = value.AsInt32();
      break;
    case TaggedValue::Kind::kDouble:
      V_VT(out) = VT_R8;
      V_R8(out) = value.AsDouble();
      break;
    case TaggedValue::Kind::kText:
      V_BSTR(out) = ToBstr(value.AsText()).Detach();
      V_VT(out) = VT_BSTR;
      break;
    case TaggedValue::Kind::kBool:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = value.AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case TaggedValue::Kind::kBytes: {
      const Bytes& bytes = value.AsBytes();
      SafeArray array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size())));
      if (array.get() == nullptr) throw std::bad_alloc();
      if (!bytes.empty()) {
        SafeArrayData data(array.get());
        if (data.get() == nullptr) throw std::bad_alloc();
        std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(data.get()));
      }
      V_VT(out) = VT_ARRAY | VT_UI1;
      V_ARRAY(out) = array.Detach();
      break;
    }
  }
  return v;
}

namespace {

Bytes BytesOf(SAFEARRAY* array) {
  if (array == nullptr) return {};
  if (SafeArrayGetDim(array) != 1)
    Raise(err::kTypeMismatch, "A byte array with more than one dimension cannot be read");
  LONG low = 0, high = -1;
  SafeArrayGetLBound(array, 1, &low);
  SafeArrayGetUBound(array, 1, &high);
  if (high < low) return {};
  SafeArrayData data(array);
  if (data.get() == nullptr) Raise(err::kTypeMismatch, "A byte array could not be read");
  const auto* first = static_cast<const uint8_t*>(data.get());
  return Bytes(first, first + (high - low + 1));
}

}  // namespace

TaggedValue FromVariant(const VARIANT& value) {
  const VARIANT* v = &value;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  const VARTYPE type = V_VT(v);
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
      return TaggedValue();
    case VT_I4:
      return TaggedValue::Int32(V_I4(v));
    case VT_I4 | VT_BYREF:
      return TaggedValue::Int32(*V_I4REF(v));
    case VT_R8:
      return TaggedValue::Double(V_R8(v));
    case VT_R8 | VT_BYREF:
      return TaggedValue::Double(*V_R8REF(v));
    case VT_BSTR:
      return TaggedValue::Text(FromBstr(V_BSTR(v)));
    case VT_BSTR | VT_BYREF:
      return TaggedValue::Text(FromBstr(*V_BSTRREF(v)));
    case VT_BOOL:
      return TaggedValue::Bool(V_BOOL(v) != VARIANT_FALSE);
    case VT_ARRAY | VT_UI1:
      return TaggedValue::FromBytes(BytesOf(V_ARRAY(v)));
    case VT_ARRAY | VT_UI1 | VT_BYREF:
      return TaggedValue::FromBytes(BytesOf(*V_ARRAYREF(v)));
    default:
      break;
  }
  // Other numbers (16-bit, unsigned, currency...) become 32-bit integers
  // when they fit.
  Variant converted;
  if (SUCCEEDED(VariantChangeType(converted.get(), const_cast<VARIANT*>(v), 0, VT_I4))) {
    return TaggedValue::Int32(V_I4(converted.get()));
  }
  Raise(err::kTypeMismatch,
        "A platform value of variant type " + std::to_string(type) + " cannot be used here");
}

std::vector<std::string> TextsOf(const VARIANT& value, const std::string& what) {
  const VARIANT* v = &value;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  if ((V_VT(v) & VT_ARRAY) == 0) {
    // A single text, or none.
    TaggedValue one = FromVariant(*v);
    if (one.IsEmpty()) return {};
    if (one.kind() != TaggedValue::Kind::kText) Raise(err::kTypeMismatch, what + " is not a text");
    return {one.AsText()};
  }
  SAFEARRAY* array = (V_VT(v) & VT_BYREF) != 0 ? *V_ARRAYREF(v) : V_ARRAY(v);
  std::vector<std::string> texts;
  if (array == nullptr) return texts;
  if (SafeArrayGetDim(array) != 1) {
    Raise(err::kTypeMismatch,
          what + " has " + std::to_string(SafeArrayGetDim(array)) + " dimensions instead of one");
  }
  LONG low = 0, high = -1;
  SafeArrayGetLBound(array, 1, &low);
  SafeArrayGetUBound(array, 1, &high);
  const VARTYPE element = V_VT(v) & VT_TYPEMASK;
  if (element != VT_VARIANT && element != VT_BSTR) {
    Raise(err::kTypeMismatch, what + " is not a list of texts");
  }
  for (LONG i = low; i <= high; ++i) {
    Variant item;
    HRESULT hr;
    if (element == VT_VARIANT) {
      hr = SafeArrayGetElement(array, &i, item.Out());
    } else {
      BSTR text = nullptr;
      hr = SafeArrayGetElement(array, &i, &text);
      V_VT(item.get()) = VT_BSTR;
      V_BSTR(item.get()) = text;
    }
    if (FAILED(hr))
      Raise(err::kTypeMismatch, what + ": item " + std::to_string(i) + " cannot be read");
    TaggedValue text = FromVariant(*item.get());
    if (text.kind() != TaggedValue::Kind::kText) {
      Raise(err::kTypeMismatch, what + ": item " + std::to_string(i) + " is not a text");
    }
    texts.push_back(text.AsText());
  }
  return texts;
}

Variant ToTextArray(const std::vector<std::string>& texts) {
  SafeArray array(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size())));
  if (array.get() == nullptr) throw std::bad_alloc();
  for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
    Bstr text = ToBstr(texts[static_cast<size_t>(i)]);
    // SafeArrayPutElement copies the text.
    if (FAILED(SafeArrayPutElement(array.get(), &i, text.get()))) throw std::bad_alloc();
  }
  Variant v;
  V_VT(v.get()) = VT_ARRAY | VT_BSTR;
  V_ARRAY(v.get()) = array.Detach();
  return v;
}

HRESULT HresultOfNumber(int32_t number) {
  if (number > 0 && number <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
  if (number < 0) return static_cast<HRESULT>(number);  // already an HRESULT
  return E_FAIL;
}

int32_t NumberOfHresult(HRESULT hr) {
  if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) return HRESULT_CODE(hr);
  return static_cast<int32_t>(hr);
}

HRESULT ReportError(HRESULT hr, const std::string& description, REFIID iid) {
  ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.Out()))) {
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(L"SyncBolvarin"));
    Bstr text(Widen(description));
    create->SetDescription(text.get());
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.Out())))) {
      SetErrorInfo(0, info.get());
    }
  }
  return hr;
}

HRESULT ReportCurrentException(REFIID iid) {
  try {
    throw;
  } catch (const ConduitError& e) {
    return ReportError(HresultOfNumber(e.number()), e.description(), iid);
  } catch (const std::bad_alloc&) {
    return ReportError(E_OUTOFMEMORY, "Out of memory", iid);
  } catch (const std::exception& e) {
    return ReportError(E_FAIL, ErrorText(e), iid);
  } catch (...) {
    return ReportError(E_UNEXPECTED, "An unexpected failure ended the operation", iid);
  }
}

}  // namespace bolvarin::com
