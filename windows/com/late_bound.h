// Calls to objects by late binding, as a script host or a late-bound sync
// manager makes them: member names looked up with GetIDsOfNames, calls made
// with Invoke. A failing call becomes a ConduitError with the number and the
// description the object gave (its EXCEPINFO), or the system's text for the
// failing HRESULT. The conduit reaches the platform this way, and the
// Windows host reaches the conduit.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "base/tagged_value.h"
#include "windows/com/com_raii.h"

namespace bolvarin::com {

// One argument of a late-bound call: a value, a slot the callee may fill
// with whatever type it likes (VT_BYREF|VT_VARIANT), or a 32-bit integer it
// may change (VT_BYREF|VT_I4, as typed in/out parameters take them).
class LateArg {
 public:
  LateArg(const TaggedValue& value);                              // NOLINT: implicit by design
  LateArg(int32_t value) : LateArg(TaggedValue::Int32(value)) {}  // NOLINT
  LateArg(const std::string& value) : LateArg(TaggedValue::Text(value)) {}  // NOLINT
  LateArg(const char* value) : LateArg(TaggedValue::Text(value)) {}         // NOLINT
  LateArg(bool value) : LateArg(TaggedValue::Bool(value)) {}                // NOLINT
  // Takes over a VARIANT (a list, for instance).
  explicit LateArg(Variant&& value) : value_(std::move(value)) {}
  static LateArg Ref(Variant& slot);
  static LateArg InOut(int32_t& slot);

  // The VARIANTARG handed to Invoke (borrowed: the argument keeps ownership).
  VARIANT Raw();
  // Copies an in/out integer back to its slot after the call.
  void WriteBack();

 private:
  LateArg() = default;
  Variant value_;
  Variant* ref_ = nullptr;
  int32_t* inOut_ = nullptr;
  LONG local_ = 0;
};

// An object reached by late binding. `label` starts the error texts
// ("<label> has no member M", "<label>.M failed: ...").
class LateBound {
 public:
  LateBound(ComPtr<IDispatch> object, std::string label)
      : object_(std::move(object)), label_(std::move(label)) {}

  // Calls a method or reads a property, with the arguments in their declared
  // order.
  Variant Call(const char* member, std::initializer_list<LateArg*> args = {});
  // Writes a property; the last argument is the value.
  void Put(const char* member, std::initializer_list<LateArg*> args);
  TaggedValue Value(const char* member, std::initializer_list<LateArg*> args = {});
  // The object a call returns; raises when it returns none.
  ComPtr<IDispatch> ObjectOf(const char* member, std::initializer_list<LateArg*> args = {});

 private:
  Variant Invoke(const char* member, WORD flags, std::initializer_list<LateArg*> args);
  ComPtr<IDispatch> object_;
  std::string label_;
};

// Creates the class of `progId` and asks for its IDispatch; the HRESULT says
// why not (CO_E_CLASSSTRING or REGDB_E_CLASSNOTREG: not registered).
HRESULT CreateByProgId(const char* progId, DWORD context, ComPtr<IDispatch>& object);

}  // namespace bolvarin::com
