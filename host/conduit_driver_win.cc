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
#include "windows/com/late_bound.h"

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

ComPtr<IDispatch> Create(const char* progId, const char* what) {
  ComPtr<IDispatch> object;
  const HRESULT hr = com::CreateByProgId(progId, CLSCTX_INPROC_SERVER, object);
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

using Arg = com::LateArg;
using Dispatch = com::LateBound;

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
  LateBoundConduit() : notify_(Create(kConduitProgId, "the conduit"), kConduitProgId) {}

  TaggedValue GetConduitInfo(int32_t infoType) override {
    Arg type(infoType), creator(0), user(0), name("");
    Variant value = notify_.Call("GetConduitInfo", {&type, &creator, &user, &name});
    return com::FromVariant(*value.get());
  }

  void PrepareRun() override {
    if (!standIn_) {
      standIn_.emplace(Create(kStandInProgId, "the handheld stand-in"), kStandInProgId);
    }
  }

  void BeginProcess(handheld::Device& device, const handheld::RunRequest& run,
                    const LogLineSink& onLogLine, Link& link) override {
    PrepareRun();
    Dispatch& standIn = *standIn_;
    {
      Arg latency(static_cast<int32_t>(link.latency.count()));
      standIn.Put("LinkLatency", {&latency});
      Arg json(Utf8Text(device.ToJson())), source("the host's handheld image");
      standIn.Call("LoadImage", {&json, &source});
      Arg type(run.syncType), path(run.desktopPath), file(run.desktopFileName),
          databases(com::ToTextArray(run.databases));
      standIn.Call("SetRun", {&type, &path, &file, &databases});
      for (const auto& [cut, crash] : {std::pair{link.failAt, 0}, std::pair{link.crashAt, 1}}) {
        if (!cut) continue;
        Arg text(cut->operation + ":" + std::to_string(cut->n)), kill(crash), image(link.image);
        standIn.Call("CutAt", {&text, &kill, &image});
      }
    }

    std::optional<ConduitError> failure;
    try {
      notify_.Call("BeginProcess");
    } catch (const ConduitError& e) {
      failure = e;
    }
    // The log and the handheld as the run left them, also after a failure.
    for (const std::string& line :
         com::TextsOf(*standIn.Call("TakeLog").get(), "The handheld stand-in's log"))
      onLogLine(line);
    device = handheld::Device::FromJson(Utf8Of(standIn.Call("ImageJson")),
                                        "the handheld stand-in's image");
    link.calls = standIn.Value("CallCounts").AsText();
    if (failure) throw *failure;
  }

  void ConfigureConduit(const std::string& pPathName, const std::string& pRegistry,
                        Configuration& values) override {
    Arg path(pPathName), registry(pRegistry), pref = Arg::InOut(values.nSyncPref),
                                              type = Arg::InOut(values.nSyncType);
    notify_.Call("ConfigureConduit", {&path, &registry, &pref, &type});
  }

  void CfgConduit(Configuration& values) override {
    Arg creator(0), user(0), name(""), path(""),
        perm = Arg::InOut(values.nSyncPerm), temp = Arg::InOut(values.nSyncTemp),
        created = Arg::InOut(values.nSyncNew), pref = Arg::InOut(values.nSyncPref);
    notify_.Call("CfgConduit", {&creator, &user, &name, &path, &perm, &temp, &created, &pref});
  }

 private:
  Dispatch notify_;
  // The control object of the handheld stand-in, made for the first run.
  std::optional<Dispatch> standIn_;
};

}  // namespace

std::unique_ptr<ConduitDriver> OpenConduit() { return std::make_unique<LateBoundConduit>(); }

}  // namespace bolvarin::host
