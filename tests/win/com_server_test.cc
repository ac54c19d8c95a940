// SyncBolvarin.dll as its clients see it: registration, creation by ProgID,
// early- and late-bound calls, errors with their descriptions, the
// configuration entries with their window, and the server's object and lock
// counts.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "conduit/conduit_info.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/win_test_support.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_raii.h"
#include "windows/com/syncbolvarin_idl.h"
#include "windows/dialog/configure_ids.h"

namespace bolvarin {
namespace {

using namespace bolvarin::com;
using namespace bolvarin::testing;

// Each server's ProgIDs, with one class each, and the other keys it writes.
TEST(ComRegistration, Regsvr32RegistersEveryProgIdAndUnregistersLeavingNoKey) {
  struct Server {
    const std::string& dll;
    std::vector<std::string> progIds, otherKeys;
  };
  const std::vector<Server> servers = {
      {kConduitDll,
       {"SyncBolvarin.CNotify"},
       {"CLSID\\{CA9D09C5-FFA8-49F5-BB23-5025934308CB}",
        "TypeLib\\{261B9BF7-9CD2-431B-A7A9-E6402131A1DD}",
        "Interface\\{4657EEFD-32F1-4C3A-8AA3-73C32CFBD89D}"}},
      {kStandInDll,
       {"HXDirect.PlatformSystem", "HXDirect.ConduitServices", "HXDirect.PlatformUtility",
        "HXDirect.HXRecordAdapter", "SyncBolvarin.HandheldStandIn"},
       {}},
  };
  for (const Server& server : servers) {
    SCOPED_TRACE(server.dll);
    ASSERT_EQ(Regsvr32("", server.dll), 0);
    std::set<std::string> classKeys, written(server.progIds.begin(), server.progIds.end());
    for (const std::string& progId : server.progIds) {
      const std::string key = "CLSID\\" + ClassValue(progId + "\\CLSID", nullptr);
      classKeys.insert(key);
      const std::string path = ClassValue(key + "\\InprocServer32", nullptr);
      EXPECT_EQ(_stricmp(path.c_str(), server.dll.c_str()), 0) << progId << ": " << path;
      EXPECT_EQ(ClassValue(key + "\\InprocServer32", "ThreadingModel"), "Apartment") << progId;
      EXPECT_EQ(ClassValue(key + "\\ProgID", nullptr), progId);
    }
    EXPECT_EQ(classKeys.size(), server.progIds.size());
    for (const std::string& key : server.otherKeys)
      EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    written.insert(classKeys.begin(), classKeys.end());
    written.insert(server.otherKeys.begin(), server.otherKeys.end());

    ASSERT_EQ(Regsvr32("/u ", server.dll), 0);
    for (const std::string& key : written) EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_EQ(Regsvr32("/u ", server.dll), 0) << "nothing left to remove";
  }
}

// The 32-bit and the 64-bit DLL register their classes in two registry
// views but share the ProgID: unregistering one build leaves the ProgID to
// the other while that one's class is registered, and removes it after.
TEST(ComRegistration, AProgIdStaysWhileTheOtherBuildRegistersItsClass) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (sizeof(void*) == 4 && !wow64) GTEST_SKIP() << "a 32-bit Windows has one registry view";
  const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  const std::string otherClass = "Software\\Classes\\CLSID\\{CA9D09C5-FFA8-49F5-BB23-5025934308CB}";
  const std::string progId = "SyncBolvarin.CNotify\\CLSID";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (otherClass + "\\InprocServer32").c_str(), 0,
                            nullptr, 0, KEY_WRITE | otherView, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(Regsvr32("", kConduitDll), 0);
  ASSERT_EQ(Regsvr32("/u ", kConduitDll), 0);
  EXPECT_EQ(ClassValue(progId, nullptr), "{CA9D09C5-FFA8-49F5-BB23-5025934308CB}");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{CA9D09C5-FFA8-49F5-BB23-5025934308CB}"));

  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (otherClass + "\\InprocServer32").c_str(), otherView, 0);
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, otherClass.c_str(), otherView, 0);
  ASSERT_EQ(Regsvr32("/u ", kConduitDll), 0);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "SyncBolvarin.CNotify"));
}

TEST(ComRegistration, VersionResourceNamesTheModuleAndItsVersion) {
  const DWORD size = GetFileVersionInfoSizeA(kConduitDll.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(kConduitDll.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  // 1.3.2 is file version 1.3.0.2, "1.03.0002" in text.
  using bolvarin::kVersionMajor, bolvarin::kVersionMinor, bolvarin::kVersionRevision;
  const DWORD majorMinor = DWORD{kVersionMajor} << 16 | DWORD{kVersionMinor};
  EXPECT_EQ(fixed->dwFileVersionMS, majorMinor);
  EXPECT_EQ(fixed->dwFileVersionLS, DWORD{kVersionRevision});
  EXPECT_EQ(fixed->dwProductVersionMS, majorMinor);
  char version[32];
  std::snprintf(version, sizeof version, "%d.%02d.%04d", kVersionMajor, kVersionMinor,
                kVersionRevision);
  auto text = [&](const std::string& name) {
    char* value = nullptr;
    UINT n = 0;
    const std::string path = "\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &n))
      return std::string("<missing>");
    return std::string(value);
  };
  EXPECT_EQ(text("FileVersion"), version);
  EXPECT_EQ(text("ProductVersion"), version);
  EXPECT_EQ(text("Comments"), "Version ");
  EXPECT_EQ(text("InternalName"), "SyncBolvarin");
}

// The server registered for the test, its object created by its ProgID.
class ComServer : public RegisteredServers {
 protected:
  ComServer() : RegisteredServers({kConduitDll}) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(RegisteredServers::SetUp());
    dispatch_ = Create(L"SyncBolvarin.CNotify");
    ASSERT_TRUE(dispatch_);
    module_ = GetModuleHandleA("SyncBolvarin.dll");
  }
  void TearDown() override {
    dispatch_.Reset();
    RegisteredServers::TearDown();
  }

  Called Call(const wchar_t* name, std::vector<VARIANT> args, Variant* result = nullptr) {
    return CallByName(dispatch_.get(), name, std::move(args), result);
  }

  HMODULE module_ = nullptr;
  ComPtr<IDispatch> dispatch_;
};

// Through IDispatch, the script client's test sees the same failure.
TEST_F(ComServer, AFailureInsideBeginProcessReachesTheCallerWithItsDescription) {
  // No sync manager classes are registered here, so the run cannot start.
  ComPtr<IHXClientNotify> notify;
  ASSERT_EQ(dispatch_->QueryInterface(IID_IHXClientNotify, reinterpret_cast<void**>(notify.Out())),
            S_OK);
  VARIANT_BOOL ok = VARIANT_TRUE;
  EXPECT_EQ(notify->BeginProcess(&ok), MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 429));
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
  Bstr text;
  info->GetDescription(text.Out());
  EXPECT_NE(FromBstr(text.get()).find("\"HXDirect.PlatformSystem\""), std::string::npos)
      << FromBstr(text.get());
}

// A platform object that fails every call as a sync manager's object does:
// DISP_E_EXCEPTION with its own error number and description.
class FailingPlatformObject : public IDispatch, public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IClassFactory ? static_cast<void*>(static_cast<IClassFactory*>(this))
           : iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this)
                                                         : nullptr;
    return *out ? S_OK : E_NOINTERFACE;  // lives as long as the test; no counting needed
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
    return QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    called = Narrow(names[0], wcslen(names[0]));
    ids[0] = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                   EXCEPINFO* exception, UINT*) override {
    exception->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1234);
    exception->bstrDescription = ToBstr("The handheld is not connected").Detach();
    return DISP_E_EXCEPTION;
  }
  std::string called;
};

TEST_F(ComServer, APlatformFailureReachesTheCallerWithThePlatformsNumberAndText) {
  const CLSID fakeClass = {
      0xFE6F775A, 0xE87A, 0x4717, {0x80, 0x0C, 0x33, 0x26, 0xCD, 0x38, 0x01, 0x26}};
  const char kFakeClsid[] = "{FE6F775A-E87A-4717-800C-3326CD380126}";
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "HXDirect.PlatformSystem\\CLSID", REG_SZ, kFakeClsid,
                         sizeof kFakeClsid),
            ERROR_SUCCESS);
  FailingPlatformObject platform;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(fakeClass, static_cast<IClassFactory*>(&platform),
                                  CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
            S_OK);

  const Called called = Call(L"BeginProcess", {});
  CoRevokeClassObject(cookie);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "HXDirect.PlatformSystem");

  EXPECT_EQ(platform.called, "GetSyncContext");
  ASSERT_EQ(called.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(called.scode, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1234));
  EXPECT_EQ(called.error, "The handheld is not connected");
}

// ConfigureConduit through IDispatch as a script calls it, the real window
// of the DLL driven as a user would: the in/out integers by reference to
// variants, one of them a 16-bit integer. OK and Cancel both return S_OK; a
// cancel shows only in the values, which stay as handed in.
TEST_F(ComServer, ConfigurationEntriesShowTheWindowAndHandBackTheChoice) {
  BOLVARIN_NEEDS_DISPLAY();
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    Bstr path(L"C:\\data"), empty(L"");
    Variant pref, kind;
    V_VT(pref.get()) = VT_I2;
    V_I2(pref.get()) = 0;
    V_VT(kind.get()) = VT_I4;
    V_I4(kind.get()) = 3;
    VARIANT refPref, refKind;
    V_VT(&refPref) = V_VT(&refKind) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&refPref) = pref.get();
    V_VARIANTREF(&refKind) = kind.get();
    HRESULT hr = E_FAIL;
    const auto configure = [&] {
      hr = Call(L"ConfigureConduit", {Text(path), Text(empty), refPref, refKind}).hr;
    };
    EXPECT_EQ(WhileShown(configure,
                         [ok](HWND d) {
                           if (TextOf(d) != "SyncBolvarin configuration Version  1.3.2")
                             throw std::runtime_error("title: " + TextOf(d));
                           if (!Checked(d, IDC_OPTPCTOHH))
                             throw std::runtime_error("optPCToHH not selected");
                           Click(d, IDC_OPTDONOTHING);
                           PostClick(d, ok ? IDOK : IDCANCEL);
                         }),
              "");
    EXPECT_EQ(hr, S_OK);
    Variant p, k;
    VariantChangeType(p.get(), pref.get(), 0, VT_I4);
    VariantChangeType(k.get(), kind.get(), 0, VT_I4);
    EXPECT_EQ(V_I4(p.get()), ok ? 1 : 0);
    EXPECT_EQ(V_I4(k.get()), ok ? 6 : 3);
    EXPECT_EQ(StoredSetting("langue"), ok ? "0" : kAbsent);  // OK stored the language
    StoreSettings();
  }
}

TEST_F(ComServer, CountsObjectsAndLocksBeforeItMayUnload) {
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  ASSERT_NE(canUnload, nullptr);
  ASSERT_NE(getClass, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);  // the test's object
  dispatch_.Reset();
  EXPECT_EQ(canUnload(), S_OK);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClass(CLSID_CNotify, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())),
            S_OK);
  EXPECT_EQ(canUnload(), S_FALSE);
  factory->LockServer(TRUE);
  ComPtr<IUnknown> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.Out())),
            S_OK);
  ComPtr<IUnknown> refused;
  EXPECT_EQ(
      factory->CreateInstance(object.get(), IID_IUnknown, reinterpret_cast<void**>(refused.Out())),
      CLASS_E_NOAGGREGATION);
  factory.Reset();
  EXPECT_EQ(canUnload(), S_FALSE);  // the object and the lock
  object.Reset();
  EXPECT_EQ(canUnload(), S_FALSE);  // the lock
  ASSERT_EQ(getClass(CLSID_CNotify, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())),
            S_OK);
  factory->LockServer(FALSE);
  factory.Reset();
  EXPECT_EQ(canUnload(), S_OK);
  EXPECT_EQ(
      getClass(IID_IHXClientNotify, IID_IClassFactory, reinterpret_cast<void**>(factory.Out())),
      CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ComServer, ScriptClientThroughLateBinding) {
  BOLVARIN_NEEDS_DISPLAY();
  // The script's configuration window is in the script host's process: it is
  // found there and confirmed with "do nothing".
  std::thread user([] {
    HWND dialog = WaitForDialog([](HWND w) { return TextOf(w).find("SyncBolvarin") == 0; });
    if (dialog == nullptr) return;
    Click(dialog, IDC_OPTDONOTHING);
    PostClick(dialog, IDOK);
  });
  EXPECT_EQ(RunProgram("cscript.exe //nologo \"" + WinPath(BOLVARIN_SCRIPT_CLIENT) + "\""), 0);
  user.join();
  StoreSettings();
}

}  // namespace
}  // namespace bolvarin
