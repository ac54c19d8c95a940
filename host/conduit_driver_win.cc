// The Windows build's road to the conduit: the COM server
// "SyncBolvarin.CNotify", created by ProgID and called through IDispatch
// only (names looked up with GetIDsOfNames, calls made with Invoke), as a
// late-bound sync manager calls it. Its platform objects come from the
// handheld stand-in, another COM server, which the conduit creates by the
// platform's ProgIDs; the host hands the stand-in the image and the run
// through its control object "SyncBolvarin.HandheldStandIn" and reads back
// the log lines and the image.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "host/commands.h"
#include "host/conduit_driver.h"
#include "os/wide_text_win.h"
#include "os/win_handles_win.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_raii.h"

namespace bolvarin::host {

namespace {

using com::Bstr;
using com::ComPtr;
using com::SafeArray;
using com::Variant;

constexpr char kConduitProgId[] = "SyncBolvarin.CNotify";
constexpr char kStandInProgId[] = "SyncBolvarin.HandheldStandIn";

// How to make a class known, for the message that says it is not.
std::string HowToRegister(const char* progId) {
  const char* dll =
      std::string(progId) == kConduitProgId ? "SyncBolvarin.dll" : "BolvarinStandIn.dll";
  return std::string("register it with `regsvr32 ") + dll + "`, or `syncbolvarin.exe register`";
}

ComPtr<IDispatch> CreateByProgId(const char* progId, const char* what) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(com::Widen(progId).c_str(), &clsid);
  ComPtr<IDispatch> object;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(object.Out()));
  }
  if (hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG) {
    throw CommandError(std::string(what) + " \"" + progId +
                       "\" is not registered on this machine: " + HowToRegister(progId));
  }
  if (FAILED(hr)) {
    throw CommandError(std::string("cannot create ") + what + " \"" + progId +
                       "\": " + win::ErrorMessage(static_cast<DWORD>(hr)) + "; " +
                       HowToRegister(progId) + " again");
  }
  return object;
}

// One argument of a call: a value the callee reads, or a 32-bit integer it
// may change (VT_BYREF|VT_I4, as the conduit's in/out parameters take them).
class Arg {
 public:
  Arg(int32_t value) {  // NOLINT: implicit by design
    V_VT(value_.get()) = VT_I4;
    V_I4(value_.get()) = value;
  }
  Arg(const std::string& text) {  // NOLINT
    V_BSTR(value_.get()) = com::ToBstr(text).Detach();
    V_VT(value_.get()) = VT_BSTR;
  }
  Arg(const char* text) : Arg(std::string(text)) {}  // NOLINT
  // Takes over a VARIANT (a list, for instance).
  explicit Arg(Variant&& value) : value_(std::move(value)) {}
  static Arg InOut(int32_t& slot) {
    Arg a;
    a.slot_ = &slot;
    return a;
  }
  VARIANT Raw() {
    if (slot_ == nullptr) return *value_.get();
    local_ = *slot_;
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_I4;
    V_I4REF(&v) = &local_;
    return v;
  }
  void WriteBack() {
    if (slot_ != nullptr) *slot_ = local_;
  }

 private:
  Arg() = default;
  Variant value_;
  int32_t* slot_ = nullptr;
  LONG local_ = 0;
};

// An object reached by late binding, and the name it goes by in messages.
class Dispatch {
 public:
  Dispatch(ComPtr<IDispatch> object, std::string name)
      : object_(std::move(object)), name_(std::move(name)) {}

  // Calls method `member` with `args` in their declared order. A failure
  // raises a ConduitError with the number and the description the object
  // gave (its EXCEPINFO), or the system's text for the failing HRESULT.
  // `status`, when given, receives the call's success code (S_OK, S_FALSE).
  Variant Call(const char* member, std::vector<Arg*> args = {}, HRESULT* status = nullptr) {
    std::wstring wide = com::Widen(member);
    LPOLESTR names[] = {wide.data()};
    DISPID id = 0;
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
      Raise(com::NumberOfHresult(hr),
            name_ + " has no member " + member + ": " + win::ErrorMessage(static_cast<DWORD>(hr)));
    }
    std::vector<VARIANT> raw;  // Invoke takes the arguments last first
    for (auto it = args.rbegin(); it != args.rend(); ++it) raw.push_back((*it)->Raw());
    DISPPARAMS params{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    Variant result;
    EXCEPINFO info{};
    UINT badArg = 0;
    hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Out(),
                         &info, &badArg);
    if (hr == DISP_E_EXCEPTION) {
      if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
      Bstr source = Bstr::Adopt(info.bstrSource), text = Bstr::Adopt(info.bstrDescription),
           help = Bstr::Adopt(info.bstrHelpFile);
      const HRESULT code = info.scode != 0 ? info.scode : com::HresultOfNumber(info.wCode);
      std::string description = com::FromBstr(text.get());
      if (description.empty()) {
        description = name_ + "." + member + " failed: " + win::ErrorMessage(code);
      }
      Raise(com::NumberOfHresult(code), description);
    }
    if (FAILED(hr)) {
      Raise(com::NumberOfHresult(hr),
            name_ + "." + member + " failed: " + win::ErrorMessage(static_cast<DWORD>(hr)));
    }
    for (Arg* arg : args) arg->WriteBack();
    if (status != nullptr) *status = hr;
    return result;
  }

 private:
  ComPtr<IDispatch> object_;
  std::string name_;
};

// The texts of a VT_ARRAY|VT_BSTR or VT_ARRAY|VT_VARIANT result.
std::vector<std::string> TextsOf(const Variant& list) {
  std::vector<std::string> texts;
  const VARTYPE type = list.type();
  if (type == VT_EMPTY) return texts;
  if ((type & VT_ARRAY) == 0 || V_ARRAY(list.get()) == nullptr) {
    Raise(err::kTypeMismatch, "The handheld stand-in's log is not a list of texts");
  }
  SAFEARRAY* array = V_ARRAY(list.get());
  LONG low = 0, high = -1;
  SafeArrayGetLBound(array, 1, &low);
  SafeArrayGetUBound(array, 1, &high);
  for (LONG i = low; i <= high; ++i) {
    Variant item;
    if ((type & VT_TYPEMASK) == VT_BSTR) {
      BSTR text = nullptr;
      SafeArrayGetElement(array, &i, &text);
      V_VT(item.get()) = VT_BSTR;
      V_BSTR(item.get()) = text;
    } else {
      SafeArrayGetElement(array, &i, item.Out());
    }
    texts.push_back(com::FromVariant(*item.get()).AsText());
  }
  return texts;
}

// A VT_ARRAY|VT_BSTR list of texts.
Variant TextList(const std::vector<std::string>& texts) {
  SafeArray array(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size())));
  if (array.get() == nullptr) throw std::bad_alloc();
  for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
    Bstr text = com::ToBstr(texts[static_cast<size_t>(i)]);
    if (FAILED(SafeArrayPutElement(array.get(), &i, text.get()))) throw std::bad_alloc();
  }
  Variant list;
  V_VT(list.get()) = VT_ARRAY | VT_BSTR;
  V_ARRAY(list.get()) = array.Detach();
  return list;
}

// The JSON text travels as UTF-16 made from UTF-8, whatever the code page.
std::string Utf8Of(const Variant& text) {
  if (text.type() != VT_BSTR) {
    Raise(err::kTypeMismatch, "The handheld stand-in's image is not a text");
  }
  BSTR b = V_BSTR(text.get());
  return win::FromWide({b, SysStringLen(b)}, CP_UTF8);
}

Variant Utf8Text(const std::string& utf8) {
  const std::wstring wide = win::ToWide(utf8, CP_UTF8);
  Variant v;
  V_BSTR(v.get()) = Bstr(wide).Detach();
  if (V_BSTR(v.get()) == nullptr) throw std::bad_alloc();
  V_VT(v.get()) = VT_BSTR;
  return v;
}

class LateBoundConduit : public ConduitDriver {
 public:
  LateBoundConduit() : notify_(CreateByProgId(kConduitProgId, "the conduit"), kConduitProgId) {}

  TaggedValue GetConduitInfo(int32_t infoType) override {
    Arg type(infoType), creator(0), user(0), name("");
    Variant value = notify_.Call("GetConduitInfo", {&type, &creator, &user, &name});
    return com::FromVariant(*value.get());
  }

  void PrepareRun() override {
    if (!standIn_) {
      standIn_.emplace(CreateByProgId(kStandInProgId, "the handheld stand-in"), kStandInProgId);
    }
  }

  void BeginProcess(handheld::Device& device, const handheld::RunRequest& run,
                    const LogLineSink& onLogLine) override {
    PrepareRun();
    Dispatch& standIn = *standIn_;
    {
      Arg json(Utf8Text(device.ToJson())), source("the host's handheld image");
      standIn.Call("LoadImage", {&json, &source});
      Arg type(run.syncType), path(run.desktopPath), file(run.desktopFileName),
          databases(TextList(run.databases));
      standIn.Call("SetRun", {&type, &path, &file, &databases});
    }

    std::optional<ConduitError> failure;
    try {
      notify_.Call("BeginProcess");
    } catch (const ConduitError& e) {
      failure = e;
    }
    // The log and the handheld as the run left them, also after a failure.
    for (const std::string& line : TextsOf(standIn.Call("TakeLog"))) onLogLine(line);
    device = handheld::Device::FromJson(Utf8Of(standIn.Call("ImageJson")),
                                        "the handheld stand-in's image");
    if (failure) throw *failure;
  }

  bool ConfigureConduit(const std::string& pPathName, const std::string& pRegistry,
                        Configuration& values) override {
    Arg path(pPathName), registry(pRegistry), pref = Arg::InOut(values.nSyncPref),
                                              type = Arg::InOut(values.nSyncType);
    HRESULT status = S_OK;
    notify_.Call("ConfigureConduit", {&path, &registry, &pref, &type}, &status);
    return status == S_FALSE;  // the conduit's code for a cancelled window
  }

  bool CfgConduit(Configuration& values) override {
    Arg creator(0), user(0), name(""), path(""),
        perm = Arg::InOut(values.nSyncPerm), temp = Arg::InOut(values.nSyncTemp),
        created = Arg::InOut(values.nSyncNew), pref = Arg::InOut(values.nSyncPref);
    HRESULT status = S_OK;
    notify_.Call("CfgConduit", {&creator, &user, &name, &path, &perm, &temp, &created, &pref},
                 &status);
    return status == S_FALSE;
  }

 private:
  Dispatch notify_;
  // The control object of the handheld stand-in, made for the first run.
  std::optional<Dispatch> standIn_;
};

}  // namespace

std::unique_ptr<ConduitDriver> OpenConduit() { return std::make_unique<LateBoundConduit>(); }

}  // namespace bolvarin::host
