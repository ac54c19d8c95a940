// IDispatch served by name from one table per class, for objects that have
// no type library: each member has a name (matched without regard to case),
// a DISPID (its place in the table, from 1), a number of arguments, and a
// handler for calls and reads and one for writes.
//
// Every call runs under the stand-in's one lock. A handler that raises a
// ConduitError (as the simulated platform does) makes Invoke return
// DISP_E_EXCEPTION with the error's number in EXCEPINFO.scode (the
// FACILITY_CONTROL HRESULT of the number) and its description, which is how
// late-bound callers learn what the platform said.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "base/tagged_value.h"
#include "windows/com/com_object.h"
#include "windows/com/com_raii.h"

namespace bolvarin::standin {

// A failure whose description is already UTF-16 (texts that are not in the
// ANSI code page, such as an image's UTF-8 error messages).
struct DispError {
  HRESULT scode;
  std::wstring description;
};

// The arguments and the result of one call, arguments in the caller's order
// (IDispatch hands them over last first). A write's value is its last
// argument. Readers raise a type-mismatch ConduitError naming the argument.
class DispCall {
 public:
  DispCall(const char* member, DISPPARAMS* params, VARIANT* result)
      : member_(member), params_(params), result_(result) {}

  size_t Count() const { return params_->cArgs; }
  // The argument itself, one level of VT_BYREF|VT_VARIANT taken off.
  const VARIANT& Raw(size_t index) const;
  TaggedValue Value(size_t index) const;
  int32_t Int(size_t index) const;
  bool Bool(size_t index) const;
  std::string Text(size_t index) const;  // ANSI code page
  std::wstring Wide(size_t index) const;
  Bytes ByteArray(size_t index) const;

  // Writes into a by-reference argument (VT_BYREF|VT_VARIANT, or
  // VT_BYREF of I4, I2, BOOL, BSTR or a byte array).
  void SetOut(size_t index, const TaggedValue& value) const;
  // The call's result; dropped when the caller asked for none.
  void Return(com::Variant value) const;
  void Return(const TaggedValue& value) const;
  // The call's result is `object` (dropped when the caller asked for none);
  // an empty one means memory ran out.
  void ReturnObject(com::ComPtr<IDispatch> object) const;

 private:
  VARIANT& Arg(size_t index) const;
  [[noreturn]] void Mismatch(size_t index, const std::string& why) const;

  const char* member_;
  DISPPARAMS* params_;
  VARIANT* result_;
};

// A member of a dispatch table; `T` is the object's class.
template <class T>
struct Member {
  const char* name;
  unsigned args;                      // of a call or a read; a write takes one more
  void (T::*call)(const DispCall&);   // call or read; null when there is none
  void (T::*write)(const DispCall&);  // null when the member cannot be written
};

// The parts of IDispatch that do not depend on the object's class.
namespace dispatch {
// Finds a name among `names` (DISPID = place + 1).
HRESULT IdsOfNames(std::span<const char* const> names, LPOLESTR* requested, UINT count,
                   DISPID* ids);
// Checks the call's shape and which handler it wants: 1 call, 2 write, or a
// failing HRESULT.
HRESULT Select(bool hasCall, bool hasWrite, unsigned args, WORD flags, const DISPPARAMS* params,
               int* which);
// Runs `body` under the stand-in's lock and turns what it raises into
// Invoke's result and EXCEPINFO. `source` names the object in EXCEPINFO.
template <class F>
HRESULT Run(const char* source, EXCEPINFO* exception, F&& body);
HRESULT Failed(const char* source, EXCEPINFO* exception);  // inside a catch block
}  // namespace dispatch

// The stand-in's one lock: every object of the process shares one simulated
// handheld, whichever apartment calls it.
std::recursive_mutex& StandInLock();

// The IDispatch of an object whose class `T` has `static constexpr
// Member<T> kMembers[]` and `static constexpr char kSource[]`.
template <class T>
class TableDispatch : public com::ComObject<IDispatch> {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out != nullptr) *out = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return dispatch::IdsOfNames(Names(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr) return E_INVALIDARG;
    if (id < 1 || static_cast<size_t>(id) > std::size(T::kMembers)) return DISP_E_MEMBERNOTFOUND;
    const Member<T>& m = T::kMembers[id - 1];
    int which = 0;
    HRESULT hr =
        dispatch::Select(m.call != nullptr, m.write != nullptr, m.args, flags, params, &which);
    if (FAILED(hr)) return hr;
    if (result != nullptr) VariantInit(result);
    T* self = static_cast<T*>(this);
    return dispatch::Run(T::kSource, exception, [&] {
      DispCall call(m.name, params, which == 1 ? result : nullptr);
      (self->*(which == 1 ? m.call : m.write))(call);
    });
  }

 protected:
  void* Interface(REFIID iid) override {
    return iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
  }

 private:
  static std::span<const char* const> Names() {
    static const auto names = [] {
      std::array<const char*, std::size(T::kMembers)> n{};
      for (size_t i = 0; i < n.size(); ++i) n[i] = T::kMembers[i].name;
      return n;
    }();
    return names;
  }
};

template <class F>
HRESULT dispatch::Run(const char* source, EXCEPINFO* exception, F&& body) {
  try {
    std::lock_guard lock(StandInLock());
    body();
    return S_OK;
  } catch (...) {
    return Failed(source, exception);
  }
}

}  // namespace bolvarin::standin
