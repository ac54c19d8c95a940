// The control object "SyncBolvarin.HandheldStandIn": loads the session's
// handheld from an image, reads it back, sets the run the sync manager asks
// for, models the link's latency, and hands over the log lines and the
// counts of the platform calls the run made. The image's JSON is UTF-8 text; it
// travels as UTF-16 BSTRs. The run's texts and the log lines are in the ANSI
// code page, as the conduit's are.
#include <chrono>
#include <string>

#include "base/error.h"
#include "os/wide_text_win.h"
#include "windows/com/com_glue.h"
#include "windows/standin/session.h"
#include "windows/standin/standin_objects.h"
#include "windows/standin/table_dispatch.h"

namespace bolvarin::standin {

namespace {

using C = const DispCall&;

// UTF-16 to UTF-8; text that is not valid UTF-16 raises instead of being
// replaced silently.
std::string Utf8(const std::wstring& wide, const char* what) {
  return win::FromWide(wide, CP_UTF8, /*strict=*/true, what);
}

std::wstring FromUtf8(const std::string& text) { return win::ToWide(text, CP_UTF8); }

class ControlObject : public TableDispatch<ControlObject> {
 public:
  void Load(C call) {
    const std::string json = Utf8(call.Wide(0), "LoadImage's Json");
    const std::string source = Utf8(call.Wide(1), "LoadImage's Source");
    handheld::Device device;
    try {
      device = handheld::Device::FromJson(json, source);
    } catch (const handheld::ImageError& e) {
      // The message quotes the image, so it is UTF-8 like the image.
      throw DispError{com::HresultOfNumber(err::kInvalidArgument), FromUtf8(e.what())};
    }
    Session::Get().Replace(std::move(device));
  }
  void ImageJson(C call) {
    com::Variant text;
    V_BSTR(text.get()) = com::Bstr(FromUtf8(Session::Get().device().ToJson())).Detach();
    if (V_BSTR(text.get()) == nullptr) throw std::bad_alloc();
    V_VT(text.get()) = VT_BSTR;
    call.Return(std::move(text));
  }
  void SetRun(C call) {
    handheld::RunRequest run;
    run.syncType = call.Int(0);
    run.desktopPath = call.Text(1);
    run.desktopFileName = call.Text(2);
    run.databases = com::TextsOf(call.Raw(3), "SetRun's Databases");
    Session::Get().SetRun(std::move(run));
  }
  void TakeLog(C call) { call.Return(com::ToTextArray(Session::Get().TakeLog())); }
  void SetLinkLatency(C call) {
    const int32_t ms = call.Int(0);
    if (ms < 0) Raise(err::kInvalidArgument, "LinkLatency " + std::to_string(ms) + " is negative");
    Session::Get().platform().SetLinkLatency(std::chrono::milliseconds(ms));
  }
  // Test hook: CutAt(Cut, Crash, Image) cuts the link at the call "OPERATION:N"
  // names; with Crash, the handheld is saved to Image as it stands and the
  // process ends at once, as a killed one would.
  void CutAt(C call) {
    const handheld::CallCut cut = handheld::ParseCallCut(call.Text(0), "CutAt's Cut");
    if (call.Int(1) == 0) {
      Session::Get().platform().CutAt(cut);
    } else {
      Session::Get().platform().CrashAt(cut, call.Text(2));
    }
  }
  void CallCounts(C call) {
    call.Return(TaggedValue::Text(handheld::CallCountsLine(Session::Get().platform().calls())));
  }

  static constexpr char kSource[] = "HandheldStandIn";
  static constexpr Member<ControlObject> kMembers[] = {
      {"LoadImage", 2, &ControlObject::Load, nullptr},
      {"ImageJson", 0, &ControlObject::ImageJson, nullptr},
      {"SetRun", 4, &ControlObject::SetRun, nullptr},
      {"TakeLog", 0, &ControlObject::TakeLog, nullptr},
      {"LinkLatency", 0, nullptr, &ControlObject::SetLinkLatency},
      {"CallCounts", 0, &ControlObject::CallCounts, nullptr},
      {"CutAt", 3, &ControlObject::CutAt, nullptr},
  };
};

}  // namespace

HRESULT CreateStandInControl(REFIID iid, void** out) {
  return com::HandOut(com::MakeObject<ControlObject>(), iid, out);
}

}  // namespace bolvarin::standin
