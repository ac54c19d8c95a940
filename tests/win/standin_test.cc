// The platform stand-in as the conduit and a test host see it: whole runs
// of SyncBolvarin.dll over it, every call going through COM by ProgID and
// IDispatch. (Its registration: tests/win/com_server_test.cc.)
#include <gtest/gtest.h>
#include <windows.h>

#include "base/error.h"
#include "conduit/conduit_info.h"
#include "tests/lists_test_support.h"
#include "tests/win/win_test_support.h"
#include "windows/com/com_glue.h"
#include "windows/com/syncbolvarin_idl.h"
#include "windows/dialog/configure_dialog.h"

namespace bolvarin {
namespace {

using namespace bolvarin::com;
using namespace bolvarin::testing;

// A handheld with the ledger database, empty, and its preference.
const std::string kImage = lists_testing::MakeDevice(std::string(28, '\0')).ToJson();

// Both servers registered, the stand-in's control object and the conduit
// created by their ProgIDs.
class StandInRun : public RegisteredServers {
 protected:
  // Calls a method of the control object; a failure fails the test.
  Variant Control(const char* name, std::initializer_list<LateArg*> args = {}) {
    return LateBound(control_, "control").Call(name, args);
  }

  // The database names go as script hosts make them: a VT_ARRAY of VARIANTs
  // (the host's VT_ARRAY of BSTRs: tests/engine_scenarios_test.cc).
  void SetRun(int32_t syncType, const std::string& folder) {
    Variant name = ToVariant(TaggedValue::Text("MaBolvarin Data")), names;
    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    LONG first = 0;
    SafeArrayPutElement(variants, &first, name.get());
    V_VT(names.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(names.get()) = variants;
    LateArg type(syncType), path(folder), file("MaBolvarin.txt"), list(std::move(names));
    Control("SetRun", {&type, &path, &file, &list});
  }

  std::vector<std::string> TakeLog() { return TextsOf(*Control("TakeLog").get(), "the log"); }

  // BeginProcess through IDispatch: what it raised (nothing when it ran).
  Raised BeginProcess() {
    return RaisedBy([&] {
      EXPECT_EQ(LateBound(conduit_, "CNotify").Value("BeginProcess"), TaggedValue::Bool(false));
    });
  }
};

// The records' way through both servers, as the Windows host drives them:
// tests/engine_scenarios_test.cc. Then the executable name follows the DLL's
// file: a copy named MonConduit.dll answers GetConduitInfo, writes its log
// lines and titles its window under that name. (Its window shown through
// both entries: tests/win/host_test.cc.)
TEST_F(StandInRun, ARunThroughBothServersAndARenamedConduit) {
  // A bad image is refused with the loader's message.
  LateArg json("{\"format\": \"syncbolvarin-handheld/9\"}"), source("broken.json");
  const Raised bad = RaisedBy([&] { Control("LoadImage", {&json, &source}); });
  EXPECT_EQ(bad.number, 5);
  EXPECT_NE(bad.text.find("broken.json"), std::string::npos) << bad.text;

  // Before the run is set, the platform refuses and the conduit hands its
  // number and text on.
  LateArg image(kImage), imageSource("test image");
  Control("LoadImage", {&image, &imageSource});
  const Raised refused = BeginProcess();
  EXPECT_EQ(refused.number, err::kPlatform);
  EXPECT_NE(refused.text.find("No run is set"), std::string::npos) << refused.text;

  TempDir desktop;
  ASSERT_NO_FATAL_FAILURE(SetRun(0, desktop.path()));
  ASSERT_EQ(BeginProcess().text, "");
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"SyncBolvarin " + VersionText(),
                                                 "SyncBolvarin - Sync configured to Fast Sync",
                                                 "Ok SyncBolvarin\n"}));
  EXPECT_TRUE(TakeLog().empty());  // taken once

  const std::string renamed = desktop.File("MonConduit.dll");
  ASSERT_TRUE(CopyFileA(kConduitDll.c_str(), renamed.c_str(), FALSE));
  HMODULE module = LoadLibraryA(renamed.c_str());
  ASSERT_NE(module, nullptr);
  {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(GetClassObject(module, CLSID_CNotify, factory), S_OK);
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(conduit_.Out())),
        S_OK);
  }
  LateArg zero(0);
  EXPECT_EQ(LateBound(conduit_, "MonConduit").Value("GetConduitInfo", {&zero, &zero, &zero, &zero}),
            TaggedValue::Text("MonConduit"));
  ASSERT_NO_FATAL_FAILURE(SetRun(6, desktop.path()));
  ASSERT_EQ(BeginProcess().text, "");
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"MonConduit - Sync configured to Do Nothing"}));
  EXPECT_EQ(win::ModuleInfoOf(module).name, "MonConduit");  // the window's title

  // Nothing of the runs is still held: the stand-in could unload but for the
  // control object.
  conduit_.Reset();
  FreeLibrary(module);
  EXPECT_EQ(CanUnloadNow(GetModuleHandleA("BolvarinStandIn.dll")), S_FALSE);
  control_.Reset();
  EXPECT_EQ(CanUnloadNow(GetModuleHandleA("BolvarinStandIn.dll")), S_OK);
}

}  // namespace
}  // namespace bolvarin
