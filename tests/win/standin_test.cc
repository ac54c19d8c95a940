// The platform stand-in as the conduit and a test host see it: its
// registration, and whole runs of SyncBolvarin.dll over it, every call
// going through COM by ProgID and IDispatch.
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

TEST(StandInRegistration, AProgIdOfAnotherServerIsNeitherTakenNorRemoved) {
  const std::string other = "{0F3C2D9E-5B41-4C7A-9E0D-7A1B2C3D4E5F}";
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "HXDirect.ConduitServices\\CLSID", REG_SZ,
                         other.c_str(), static_cast<DWORD>(other.size() + 1)),
            ERROR_SUCCESS);

  EXPECT_NE(Regsvr32("", kStandInDll), 0);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "HXDirect.PlatformSystem"));  // nothing written
  EXPECT_EQ(Regsvr32("/u ", kStandInDll), 0);
  EXPECT_EQ(ClassValue("HXDirect.ConduitServices\\CLSID"), other);

  RegDeleteTreeA(HKEY_CLASSES_ROOT, "HXDirect.ConduitServices");
}

// A handheld with the ledger database, empty, and its preference.
const std::string kImage = lists_testing::MakeDevice(std::string(28, '\0')).ToJson();

// Both servers registered with regsvr32, the stand-in's control object and
// the conduit created by their ProgIDs; everything unregistered afterwards.
class StandInRun : public RegisteredServers {
 protected:
  StandInRun() : RegisteredServers({kStandInDll, kConduitDll}) {}
  void SetUp() override { ASSERT_TRUE(control_ && conduit_); }

  // Calls a method of the control object; a failure fails the test.
  Variant Control(const char* name, std::initializer_list<LateArg*> args = {}) {
    return LateBound(control_, "control").Call(name, args);
  }

  void Load(const std::string& json) {
    LateArg text(json), source("test image");
    Control("LoadImage", {&text, &source});
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

  ComPtr<IDispatch> control_ = Create("SyncBolvarin.HandheldStandIn"),
                    conduit_ = Create("SyncBolvarin.CNotify");
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
  ASSERT_NO_FATAL_FAILURE(Load(kImage));
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
