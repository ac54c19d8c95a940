// SyncBolvarin.dll as its clients see it: registration, creation by ProgID,
// early- and late-bound calls, errors with their descriptions, the
// configuration entries with their window, and the server's object and lock
// counts.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

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

const std::string kDll = WinPath(BOLVARIN_COM_DLL);
const std::string kClsid = "{CA9D09C5-FFA8-49F5-BB23-5025934308CB}";

const std::vector<std::string> kWrittenKeys = {
    "SyncBolvarin.CNotify",
    "CLSID\\" + kClsid,
    "TypeLib\\{261B9BF7-9CD2-431B-A7A9-E6402131A1DD}",
    "Interface\\{4657EEFD-32F1-4C3A-8AA3-73C32CFBD89D}",
};

TEST(ComRegistration, Regsvr32RegistersAndUnregistersLeavingNoKey) {
  ASSERT_EQ(RunProgram("regsvr32 /s \"" + kDll + "\""), 0);
  for (const std::string& key : kWrittenKeys) EXPECT_TRUE(ClassKeyExists(key)) << key;
  EXPECT_EQ(ClassValue("SyncBolvarin.CNotify\\CLSID", nullptr), kClsid);
  EXPECT_EQ(ClassValue("CLSID\\" + kClsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(ClassValue("CLSID\\" + kClsid + "\\ProgID", nullptr), "SyncBolvarin.CNotify");

  ASSERT_EQ(RunProgram("regsvr32 /s /u \"" + kDll + "\""), 0);
  for (const std::string& key : kWrittenKeys) EXPECT_FALSE(ClassKeyExists(key)) << key;
  EXPECT_EQ(RunProgram("regsvr32 /s /u \"" + kDll + "\""), 0) << "nothing left to remove";
}

TEST(ComRegistration, VersionResourceNamesTheModuleAndItsVersion) {
  const DWORD size = GetFileVersionInfoSizeA(kDll.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(kDll.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010003u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000002u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010003u);
  auto text = [&](const std::string& name) {
    char* value = nullptr;
    UINT n = 0;
    const std::string path = "\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &n))
      return std::string("<missing>");
    return std::string(value);
  };
  EXPECT_EQ(text("FileVersion"), "1.03.0002");
  EXPECT_EQ(text("ProductVersion"), "1.03.0002");
  EXPECT_EQ(text("Comments"), "Version ");
  EXPECT_EQ(text("InternalName"), "SyncBolvarin");
}

// The server registered for the test, and COM ready on this thread.
class ComServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    module_ = LoadLibraryA(kDll.c_str());
    ASSERT_NE(module_, nullptr);
    auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"SyncBolvarin.CNotify", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(dispatch_.Out())),
              S_OK);
  }
  void TearDown() override {
    dispatch_.Reset();
    if (module_ != nullptr) {
      auto unreg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
          reinterpret_cast<void*>(GetProcAddress(module_, "DllUnregisterServer")));
      EXPECT_EQ(unreg(), S_OK);
      FreeLibrary(module_);
    }
    CoUninitialize();
  }

  HRESULT Call(const wchar_t* name, std::vector<VARIANT> args, Variant& result,
               EXCEPINFO& exception) {
    return CallByName(dispatch_.get(), name, std::move(args), result, exception);
  }

  static VARIANT Long(LONG v) {
    VARIANT x;
    VariantInit(&x);
    V_VT(&x) = VT_I4;
    V_I4(&x) = v;
    return x;
  }

  HMODULE module_ = nullptr;
  ComPtr<IDispatch> dispatch_;
};

TEST_F(ComServer, GetConduitInfoThroughIDispatch) {
  struct Case {
    LONG infoType;
    VARTYPE type;
    std::string text;
  };
  const std::vector<Case> cases = {{0, VT_BSTR, "SyncBolvarin"},
                                   {1, VT_I4, "268435456"},
                                   {2, VT_I4, "0"},
                                   {3, VT_R8, "1"},
                                   {4, VT_EMPTY, ""},
                                   {7, VT_EMPTY, ""},
                                   {-1, VT_EMPTY, ""}};
  Bstr user(L"someone");
  for (const Case& c : cases) {
    VARIANT name;
    VariantInit(&name);
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = user.get();
    Variant result;
    EXCEPINFO exception{};
    ASSERT_EQ(Call(L"GetConduitInfo", {Long(c.infoType), Long(0x426F6C76), Long(1), name}, result,
                   exception),
              S_OK)
        << c.infoType;
    EXPECT_EQ(result.type(), c.type) << c.infoType;
    if (c.type != VT_EMPTY) {
      Variant text;
      ASSERT_EQ(VariantChangeType(text.get(), result.get(), 0, VT_BSTR), S_OK);
      EXPECT_EQ(FromBstr(V_BSTR(text.get())), c.text) << c.infoType;
    }
  }
}

TEST_F(ComServer, AFailureInsideBeginProcessReachesTheCallerWithItsDescription) {
  // No sync manager classes are registered here, so the run cannot start.
  Variant result;
  EXCEPINFO exception{};
  ASSERT_EQ(Call(L"BeginProcess", {}, result, exception), DISP_E_EXCEPTION);
  Bstr description = Bstr::Adopt(exception.bstrDescription),
       source = Bstr::Adopt(exception.bstrSource), help = Bstr::Adopt(exception.bstrHelpFile);
  EXPECT_EQ(exception.scode, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 429));
  EXPECT_NE(FromBstr(description.get()).find("\"HXDirect.PlatformSystem\""), std::string::npos)
      << FromBstr(description.get());

  // Early bound, the same failure is the call's HRESULT with error info.
  ComPtr<IHXClientNotify> notify;
  ASSERT_EQ(dispatch_->QueryInterface(IID_IHXClientNotify, reinterpret_cast<void**>(notify.Out())),
            S_OK);
  VARIANT_BOOL ok = VARIANT_TRUE;
  EXPECT_EQ(notify->BeginProcess(&ok), MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 429));
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
  Bstr text;
  info->GetDescription(text.Out());
  EXPECT_EQ(FromBstr(text.get()), FromBstr(description.get()));
}

// A platform object that fails every call as a sync manager's object does:
// DISP_E_EXCEPTION with its own error number and description.
class FailingPlatformObject : public IDispatch, public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
    } else if (iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;  // lives as long as the test; no counting needed
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
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "HXDirect.PlatformSystem\\CLSID", &key),
            ERROR_SUCCESS);
  const char kFakeClsid[] = "{FE6F775A-E87A-4717-800C-3326CD380126}";
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kFakeClsid),
                 sizeof kFakeClsid);
  RegCloseKey(key);
  FailingPlatformObject platform;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(fakeClass, static_cast<IClassFactory*>(&platform),
                                  CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
            S_OK);

  Variant result;
  EXCEPINFO exception{};
  const HRESULT hr = Call(L"BeginProcess", {}, result, exception);
  Bstr description = Bstr::Adopt(exception.bstrDescription),
       source = Bstr::Adopt(exception.bstrSource), help = Bstr::Adopt(exception.bstrHelpFile);
  CoRevokeClassObject(cookie);
  RegDeleteKeyA(HKEY_CLASSES_ROOT, "HXDirect.PlatformSystem\\CLSID");
  RegDeleteKeyA(HKEY_CLASSES_ROOT, "HXDirect.PlatformSystem");

  EXPECT_EQ(platform.called, "GetSyncContext");
  ASSERT_EQ(hr, DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1234));
  EXPECT_EQ(FromBstr(description.get()), "The handheld is not connected");
}

// The configuration entries through both sides of the interface, with the
// real window of the DLL driven as a user would.
TEST_F(ComServer, ConfigurationEntriesShowTheWindowAndHandBackTheChoice) {
  BOLVARIN_NEEDS_DISPLAY();
  ComPtr<IHXClientNotify> notify;
  ASSERT_EQ(dispatch_->QueryInterface(IID_IHXClientNotify, reinterpret_cast<void**>(notify.Out())),
            S_OK);
  struct Case {
    const char* name;
    std::function<HRESULT(std::vector<LONG>&)> call;  // in/out integers in order
    std::vector<LONG> in;
    std::function<void(HWND)> drive;
    std::vector<LONG> out;
    HRESULT result;  // S_FALSE: the window was cancelled
  };
  Bstr path(L"C:\\data"), empty(L"");
  // ConfigureConduit through IDispatch as a script calls it: the in/out
  // integers by reference to variants, one of them a 16-bit integer.
  auto configureLateBound = [&](std::vector<LONG>& v) {
    Variant pref, kind;
    V_VT(pref.get()) = VT_I2;
    V_I2(pref.get()) = static_cast<SHORT>(v[0]);
    V_VT(kind.get()) = VT_I4;
    V_I4(kind.get()) = v[1];
    VARIANT refPref, refKind, a, b;
    V_VT(&refPref) = V_VT(&refKind) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&refPref) = pref.get();
    V_VARIANTREF(&refKind) = kind.get();
    V_VT(&a) = V_VT(&b) = VT_BSTR;
    V_BSTR(&a) = path.get();
    V_BSTR(&b) = empty.get();
    Variant result;
    EXCEPINFO exception{};
    const HRESULT hr = Call(L"ConfigureConduit", {a, b, refPref, refKind}, result, exception);
    Variant p, k;
    VariantChangeType(p.get(), pref.get(), 0, VT_I4);
    VariantChangeType(k.get(), kind.get(), 0, VT_I4);
    v = {V_I4(p.get()), V_I4(k.get())};
    return hr;
  };
  auto configure = [&](std::vector<LONG>& v) {
    return notify->ConfigureConduit(path.get(), empty.get(), &v[0], &v[1]);
  };
  auto cfg = [&](std::vector<LONG>& v) {
    return notify->CfgConduit(0x426F6C76, 1, empty.get(), path.get(), &v[0], &v[1], &v[2], &v[3]);
  };
  const std::string title = "SyncBolvarin configuration Version  1.3.2";
  const std::vector<Case> cases = {
      {"ConfigureConduit late bound, OK",
       configureLateBound,
       {0, 3},
       [&](HWND d) {
         if (TextOf(d) != title) throw std::runtime_error("title: " + TextOf(d));
         if (!Checked(d, IDC_OPTPCTOHH)) throw std::runtime_error("optPCToHH not selected");
         Click(d, IDC_OPTDONOTHING);
         PostClick(d, IDOK);
       },
       {1, 6},
       S_OK},
      {"ConfigureConduit late bound, cancelled",
       configureLateBound,
       {4, 3},
       [](HWND d) {
         Click(d, IDC_OPTHHTOPC);
         PostClick(d, IDCANCEL);
       },
       {4, 3},
       S_FALSE},
      {"ConfigureConduit early bound, cancelled",
       configure,
       {5, 2},
       [](HWND d) {
         Click(d, IDC_OPTSYNC);
         PostClick(d, IDCANCEL);
       },
       {5, 2},
       S_FALSE},
      {"CfgConduit early bound, OK",
       cfg,
       {1, 4, 9, 7},
       [](HWND d) {
         if (!Checked(d, IDC_OPTSYNC)) throw std::runtime_error("optSync not selected");
         Click(d, IDC_OPTHHTOPC);
         PostClick(d, IDOK);
       },
       {1, 4, 2, 1},
       S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<LONG> values = c.in;
    HRESULT hr = E_FAIL;
    EXPECT_EQ(WhileShown([&] { hr = c.call(values); }, c.drive), "");
    EXPECT_EQ(hr, c.result);
    EXPECT_EQ(values, c.out);
  }
  // OK stored the language and the deletion flag.
  char text[16] = {};
  DWORD size = sizeof text;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "SoftWare\\SyncMabolvarin", "langue", RRF_RT_REG_SZ,
                         nullptr, text, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, "0");
  RemoveSettings();
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
    HWND dialog = nullptr;
    for (int i = 0; i < 1000 && dialog == nullptr; ++i) {
      Sleep(10);
      EnumWindows(
          [](HWND w, LPARAM found) -> BOOL {
            char name[16] = {};
            GetClassNameA(w, name, sizeof name);
            if (std::string(name) == "#32770" && IsWindowVisible(w) &&
                TextOf(w).find("SyncBolvarin") == 0)
              *reinterpret_cast<HWND*>(found) = w;
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&dialog));
    }
    if (dialog == nullptr) return;
    Click(dialog, IDC_OPTDONOTHING);
    PostClick(dialog, IDOK);
  });
  EXPECT_EQ(RunProgram("cscript.exe //nologo \"" + WinPath(BOLVARIN_SCRIPT_CLIENT) + "\""), 0);
  user.join();
  RemoveSettings();
}

}  // namespace
}  // namespace bolvarin
