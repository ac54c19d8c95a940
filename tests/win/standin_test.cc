// The platform stand-in as the conduit and a test host see it: its
// registration, and whole runs of SyncBolvarin.dll over it, every call
// going through COM by ProgID and IDispatch.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/test_util.h"
#include "tests/win/win_test_support.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_raii.h"
#include "windows/com/syncbolvarin_idl.h"

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
  EXPECT_EQ(ClassValue("HXDirect.ConduitServices\\CLSID", nullptr), other);

  RegDeleteTreeA(HKEY_CLASSES_ROOT, "HXDirect.ConduitServices");
}

// A small handheld: two ledger records, three categories, and the ledger's
// preference unless `withPreference` is false.
std::string Image(bool withPreference) {
  std::string categories = R"({"name": "Unfiled", "id": 0, "dirty": true},
      {"name": "Food", "id": 1, "dirty": true}, {"name": "Housing", "id": 2, "dirty": true})";
  for (int i = 3; i < 16; ++i) categories += R"(, {"name": "", "id": 0, "dirty": false})";
  std::string image = R"({"format": "syncbolvarin-handheld/1", "databases": [{
      "name": "MaBolvarin Data", "creator": "Bolv", "type": "Data", "categories": [)" +
                      categories + R"(], "records": [
      {"id": 1, "category": 2, "attributes": 64, "data": "F423081EFFFEE6C0060900004A616E756172792072656E7400"},
      {"id": 2, "category": 1, "attributes": 64, "data": "F425090FFFFFDDE1820000005765656B6C792073686F7000"}]}])";
  image += R"(, "preferences": [)";
  if (withPreference) {
    image +=
        R"({"creator": "Bolv", "number": 0, "version": 1, "data": ")"
        "0001000000000000000000000000000000000000000000FF43617368004361726400436865717565005472"
        "616E7366657200446972656374206465626974000047726F6365726965730052656E74004675656C0053"
        "616C6172790052657374617572616E7400506861726D61637900547261696E00486F74656C0043696E65"
        "6D6100456C65637472696369747900496E737572616E636500426F6F6B7300004D6F6E74686C79207265"
        "6E74005765656B6C792073686F700050617920736C697000507265736372697074696F6E004361722069"
        "6E737572616E636500456C6563747269636974792062696C6C000000"
        R"("})";
  }
  return image + "]}";
}

// Both servers registered with regsvr32, the stand-in's control object and
// the conduit created by their ProgIDs; everything unregistered afterwards.
class StandInRun : public RegisteredServers {
 protected:
  StandInRun() : RegisteredServers({kStandInDll, kConduitDll}) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(RegisteredServers::SetUp());
    control_ = Create(L"SyncBolvarin.HandheldStandIn");
    conduit_ = Create(L"SyncBolvarin.CNotify");
    ASSERT_TRUE(control_ && conduit_);
  }
  void TearDown() override {
    control_.Reset();
    conduit_.Reset();
    RegisteredServers::TearDown();
  }

  // Calls a method of the control object; fails the test when it fails.
  void Control(const wchar_t* name, std::vector<VARIANT> args, Variant* result = nullptr) {
    const Called called = CallByName(control_.get(), name, std::move(args), result);
    ASSERT_EQ(called.hr, S_OK) << called.error;
  }

  void Load(const std::string& json) {
    Bstr text(Widen(json)), source(L"test image");
    Control(L"LoadImage", {Text(text), Text(source)});
  }

  // The database names go as a VT_ARRAY of BSTRs, or of VARIANTs as script
  // hosts make them.
  void SetRun(LONG syncType, const std::string& folder, bool asScriptHost = false) {
    Bstr path(Widen(folder)), file(L"MaBolvarin.txt");
    Variant names = ToTextArray({"MaBolvarin Data"});
    if (asScriptHost) {
      SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
      LONG first = 0;
      Variant name = ToVariant(TaggedValue::Text("MaBolvarin Data"));
      SafeArrayPutElement(variants, &first, name.get());
      V_VT(names.Out()) = VT_ARRAY | VT_VARIANT;
      V_ARRAY(names.get()) = variants;
    }
    Control(L"SetRun", {Long(syncType), Text(path), Text(file), *names.get()});
  }

  std::vector<std::string> TakeLog() {
    Variant lines;
    Control(L"TakeLog", {}, &lines);
    EXPECT_EQ(lines.type(), VT_ARRAY | VT_BSTR);
    return TextsOf(*lines.get(), "the log");
  }

  std::string ImageJson() {
    Variant json;
    Control(L"ImageJson", {}, &json);
    EXPECT_EQ(json.type(), VT_BSTR);
    return FromBstr(V_BSTR(json.get()));
  }

  // BeginProcess through IDispatch: its HRESULT, and the error's text.
  HRESULT BeginProcess(std::string* error = nullptr) {
    Variant result;
    const Called called = CallByName(conduit_.get(), L"BeginProcess", {}, &result);
    if (error != nullptr) *error = called.error;
    if (called.hr == S_OK) {
      EXPECT_EQ(result.type(), VT_BOOL);
      EXPECT_EQ(V_BOOL(result.get()), VARIANT_FALSE);
    }
    return called.hr;
  }

  ComPtr<IDispatch> control_, conduit_;
};

TEST_F(StandInRun, FastSyncThroughBothServers) {
  // A bad image is refused with the loader's message.
  Bstr json(L"{\"format\": \"syncbolvarin-handheld/9\"}"), source(L"broken.json");
  const Called bad = CallByName(control_.get(), L"LoadImage", {Text(json), Text(source)});
  EXPECT_EQ(bad.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(bad.scode, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 5));
  EXPECT_NE(bad.error.find("broken.json"), std::string::npos) << bad.error;

  // Before the run is set, the platform refuses and the conduit says why.
  ASSERT_NO_FATAL_FAILURE(Load(Image(true)));
  std::string error;
  EXPECT_EQ(BeginProcess(&error), DISP_E_EXCEPTION);
  EXPECT_NE(error.find("No run is set"), std::string::npos) << error;

  TempDir desktop;
  WriteFile(desktop.File("MaBolvarin.txt"), "0;1;0;07/03/2026 12:00:00;-1250;1;1;0;;;;;Bread\r\n");
  ASSERT_NO_FATAL_FAILURE(SetRun(0, desktop.path()));
  ASSERT_EQ(BeginProcess(), S_OK);

  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"SyncBolvarin 1.3.2",
                                                 "SyncBolvarin - Sync configured to Fast Sync",
                                                 "Ok SyncBolvarin\n"}));
  EXPECT_TRUE(TakeLog().empty());  // taken once
  // The handheld's records reached the desktop and the new desktop line the
  // handheld, numbered there; the changed flags are cleared.
  EXPECT_EQ(ReadFile(desktop.File("MaBolvarin.txt")),
            "1;2; 64;03/01/2026 08:30:00;-72000;2;3;1;;;;;January rent\r\n"
            "2;1; 64;05/01/2026 09:15:00;-8735;1;1;0;;;;;Weekly shop\r\n"
            "3;1;0;07/03/2026 12:00:00;-1250;1;1;0;;;;;Bread\r\n");
  const std::string image = ImageJson();
  for (
      const char* record :
      {R"({"id": 1, "category": 2, "attributes": 0, "data": "F423081E)",
       R"({"id": 2, "category": 1, "attributes": 0, "data": "F425090F)",
       R"({"id": 3, "category": 1, "attributes": 0, "data": "F4670C00FFFFFB1E82000000427265616400"})"})
    EXPECT_NE(image.find(record), std::string::npos) << record << "\n" << image;
  EXPECT_TRUE(Exists(desktop.File("categories.txt")));

  // A handheld without the ledger's preference: the platform's error, with
  // its text, reaches the log and the run goes on.
  ASSERT_NO_FATAL_FAILURE(Load(Image(false)));
  ASSERT_NO_FATAL_FAILURE(SetRun(0, desktop.path(), /*asScriptHost=*/true));
  ASSERT_EQ(BeginProcess(), S_OK);
  const std::vector<std::string> log = TakeLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1],
            "SyncBolvarin - SyncPreference - preference 0 of creator \"Bolv\" does not exist");

  // Nothing of either run is still held: the stand-in could unload but for
  // the control object.
  conduit_.Reset();
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("BolvarinStandIn.dll"), "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);
  control_.Reset();
  EXPECT_EQ(canUnload(), S_OK);
}

// The executable name follows the DLL's file: a copy named MonConduit.dll
// answers GetConduitInfo, writes its log lines and titles its window under
// that name.
TEST_F(StandInRun, ARenamedConduitSpeaksUnderItsFileName) {
  TempDir folder;
  const std::string renamed = folder.File("MonConduit.dll");
  ASSERT_TRUE(CopyFileA(kConduitDll.c_str(), renamed.c_str(), FALSE));
  HMODULE module = LoadLibraryA(renamed.c_str());
  ASSERT_NE(module, nullptr);
  auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  ASSERT_NE(getClassObject, nullptr);
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"SyncBolvarin.CNotify", &clsid), S_OK);
  {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())),
              S_OK);
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(conduit_.Out())),
        S_OK);
  }
  Variant name;
  ASSERT_EQ(
      CallByName(conduit_.get(), L"GetConduitInfo", {Long(0), Long(0), Long(0), Long(0)}, &name).hr,
      S_OK);
  EXPECT_EQ(FromBstr(V_BSTR(name.get())), "MonConduit");

  ASSERT_NO_FATAL_FAILURE(Load(Image(true)));
  ASSERT_NO_FATAL_FAILURE(SetRun(6, folder.path()));
  ASSERT_EQ(BeginProcess(), S_OK);
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"MonConduit - Sync configured to Do Nothing"}));

  if (!Environment("DISPLAY").empty()) {
    ComPtr<IHXClientNotify> notify;
    ASSERT_EQ(conduit_->QueryInterface(IID_IHXClientNotify, reinterpret_cast<void**>(notify.Out())),
              S_OK);
    LONG pref = 0, kind = 0;
    const auto configure = [&] {
      notify->CfgConduit(0, 0, nullptr, nullptr, &kind, &kind, &kind, &pref);
    };
    EXPECT_EQ(WhileShown(configure,
                         [](HWND d) {
                           if (TextOf(d).rfind("MonConduit configuration", 0) != 0)
                             throw std::runtime_error("title: " + TextOf(d));
                           PostClick(d, IDCANCEL);
                         }),
              "");
  }
  conduit_.Reset();
  FreeLibrary(module);
}

}  // namespace
}  // namespace bolvarin
