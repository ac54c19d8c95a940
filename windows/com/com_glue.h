// Where the conduit's portable types meet COM: texts between the ANSI code
// page and BSTRs, tagged values and VARIANTs, ConduitError and HRESULTs with
// their error information. Every such conversion of the COM server is here.
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "base/tagged_value.h"
#include "windows/com/com_raii.h"

namespace bolvarin::com {

// Texts: the conduit's single-byte text is in the system's ANSI code page.
std::wstring Widen(const std::string& ansi);
std::string Narrow(const wchar_t* text, size_t length);
std::string FromBstr(BSTR text);
Bstr ToBstr(const std::string& ansi);

// Tagged values: empty -> VT_EMPTY, 32-bit integer -> VT_I4, double ->
// VT_R8, text -> VT_BSTR, bytes -> VT_ARRAY|VT_UI1, Boolean -> VT_BOOL.
Variant ToVariant(const TaggedValue& value);
// The way back, through one level of VT_BYREF. Other integer and text-like
// kinds are converted; a kind with no tagged counterpart raises a
// type-mismatch ConduitError naming it.
TaggedValue FromVariant(const VARIANT& value);

// Lists of texts: a one-dimensional VT_ARRAY of VT_BSTR, or of VARIANTs
// holding texts (as script hosts make them), through one level of VT_BYREF.
// A single text is a list of one, an empty value a list of none. Anything
// else raises a type-mismatch ConduitError that starts with `what`, the name
// of the list.
std::vector<std::string> TextsOf(const VARIANT& value, const std::string& what);
// The way back: a VT_ARRAY of VT_BSTR.
Variant ToTextArray(const std::vector<std::string>& texts);

// The HRESULT that carries an error number: FACILITY_CONTROL with the number
// in the low word, as automation clients expect it.
HRESULT HresultOfNumber(int32_t number);
// The error number inside an HRESULT: the low word for FACILITY_CONTROL,
// otherwise the HRESULT itself.
int32_t NumberOfHresult(HRESULT hr);

// Turns the exception being handled into a failing HRESULT and sets the
// thread's error information (description, source, interface) for the
// caller. Call only inside a catch block.
HRESULT ReportCurrentException(REFIID iid);

// Sets error information with `description` and returns `hr`.
HRESULT ReportError(HRESULT hr, const std::string& description, REFIID iid);

}  // namespace bolvarin::com
