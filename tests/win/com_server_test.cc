// SyncBolvarin.dll as its clients see it: registration, creation by ProgID,
// early- and late-bound calls, errors with their descriptions, the
// configuration entries with their window, and the server's object and lock
// counts.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "conduit/conduit_info.h"
#include "tests/win/win_test_support.h"
#include "windows/com/com_glue.h"
#include "windows/com/syncbolvarin_idl.h"
#include "windows/dialog/configure_ids.h"

namespace bolvarin {
namespace {

using namespace bolvarin::com;
using namespace bolvarin::testing;

const std::string kConduitClass = "{CA9D09C5-FFA8-49F5-BB23-5025934308CB}";

// Each server's ProgIDs, with one class each, and the other keys it writes.
TEST(ComRegistration, Regsvr32RegistersEveryProgIdAndUnregistersLeavingNoKey) {
  struct Server {
    const std::string& dll;
    std::vector<std::string> progIds, otherKeys;
  };
  const std::vector<Server> servers = {
      {kConduitDll,
       {"SyncBolvarin.CNotify"},
       {"TypeLib\\{261B9BF7-9CD2-431B-A7A9-E6402131A1DD}",
        "Interface\\{4657EEFD-32F1-4C3A-8AA3-73C32CFBD89D}"}},
      {kStandInDll,
       {"HXDirect.PlatformSystem", "HXDirect.ConduitServices", "HXDirect.PlatformUtility",
        "HXDirect.HXRecordAdapter", "SyncBolvarin.HandheldStandIn"},
       {}},
  };
  for (const Server& server : servers) {
    SCOPED_TRACE(server.dll);
    ASSERT_EQ(Regsvr32("", server.dll), 0);
    std::set<std::string> written(server.otherKeys.begin(), server.otherKeys.end());
    for (const std::string& progId : server.progIds) {
      const std::string key = "CLSID\\" + ClassValue(progId + "\\CLSID");
      EXPECT_TRUE(written.insert(key).second) << progId << ": a class of its own";
      const std::string path = ClassValue(key + "\\InprocServer32");
      EXPECT_EQ(_stricmp(path.c_str(), server.dll.c_str()), 0) << progId << ": " << path;
      EXPECT_EQ(ClassValue(key + "\\InprocServer32", "ThreadingModel"), "Apartment") << progId;
      EXPECT_EQ(ClassValue(key + "\\ProgID"), progId);
    }
    for (const std::string& key : server.otherKeys)
      EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    written.insert(server.progIds.begin(), server.progIds.end());

    ASSERT_EQ(Regsvr32("/u ", server.dll), 0);
    for (const std::string& key : written) EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_EQ(Regsvr32("/u ", server.dll), 0) << "nothing left to remove";
  }
}

// A ProgID of another server is neither taken nor removed. The 32-bit and
// the 64-bit DLL register their classes in two registry views but share the
// ProgID: unregistering one build leaves the ProgID to the other while that
// one's class is registered, and removes it after.
TEST(ComRegistration, AProgIdOfAnotherServerOrOfTheOtherBuildIsLeftToIt) {
  const std::string other = "{0F3C2D9E-5B41-4C7A-9E0D-7A1B2C3D4E5F}";
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "HXDirect.ConduitServices\\CLSID", REG_SZ,
                         other.c_str(), static_cast<DWORD>(other.size() + 1)),
            ERROR_SUCCESS);
  EXPECT_NE(Regsvr32("", kStandInDll), 0);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "HXDirect.PlatformSystem"));  // nothing written
  EXPECT_EQ(Regsvr32("/u ", kStandInDll), 0);
  EXPECT_EQ(ClassValue("HXDirect.ConduitServices\\CLSID"), other);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "HXDirect.ConduitServices");

  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (sizeof(void*) == 4 && !wow64) GTEST_SKIP() << "a 32-bit Windows has one registry view";
  const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  const std::string otherClass = "Software\\Classes\\CLSID\\" + kConduitClass;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (otherClass + "\\InprocServer32").c_str(), 0,
                            nullptr, 0, KEY_WRITE | otherView, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(Regsvr32("", kConduitDll), 0);
  ASSERT_EQ(Regsvr32("/u ", kConduitDll), 0);
  EXPECT_EQ(ClassValue("SyncBolvarin.CNotify\\CLSID"), kConduitClass);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + kConduitClass));

  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (otherClass + "\\InprocServer32").c_str(), otherView, 0);
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, otherClass.c_str(), otherView, 0);
  ASSERT_EQ(Regsvr32("/u ", kConduitDll), 0);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "SyncBolvarin.CNotify"));
}

class ComServer : public RegisteredServers {};

// A failure inside BeginProcess reaches a late-bound caller with its number
// and description: without the sync manager's classes the run cannot start.
// (A platform object's own failure: tests/win/standin_test.cc.) The server
// may unload when it holds no object, no class object and no lock. (Objects
// alone: the stand-in's, tests/win/standin_test.cc.)
TEST_F(ComServer, AFailureReachesTheCallerAndTheServerCountsObjectsAndLocks) {
  ASSERT_EQ(Regsvr32("/u ", kStandInDll), 0);
  const Raised raised = RaisedBy([&] { LateBound(conduit_, "CNotify").Call("BeginProcess"); });
  EXPECT_EQ(raised.number, 429);
  EXPECT_NE(raised.text.find("\"HXDirect.PlatformSystem\""), std::string::npos) << raised.text;
  HMODULE module = GetModuleHandleA("SyncBolvarin.dll");
  conduit_.Reset();

  ComPtr<IClassFactory> factory;
  for (const BOOL lock : {TRUE, FALSE}) {
    ASSERT_EQ(GetClassObject(module, CLSID_CNotify, factory), S_OK);
    EXPECT_EQ(CanUnloadNow(module), S_FALSE);  // the class object
    factory->LockServer(lock);
    factory.Reset();
    EXPECT_EQ(CanUnloadNow(module), lock ? S_FALSE : S_OK);  // the lock, then none
  }
  ASSERT_EQ(GetClassObject(module, CLSID_CNotify, factory), S_OK);
  ComPtr<IUnknown> refused;
  EXPECT_EQ(
      factory->CreateInstance(factory.get(), IID_IUnknown, reinterpret_cast<void**>(refused.Out())),
      CLASS_E_NOAGGREGATION);
  EXPECT_EQ(GetClassObject(module, IID_IHXClientNotify, factory), CLASS_E_CLASSNOTAVAILABLE);
}

// A script host's client (late_bound_client.vbs) creates the conduit by its
// ProgID and calls ConfigureConduit with in/out integers from script
// variables (by reference to 16-bit integer variants). The window is in the
// script host's process: it is driven from here and confirmed with "do
// nothing".
TEST_F(ComServer, ScriptClientThroughLateBinding) {
  BOLVARIN_NEEDS_DISPLAY();
  const std::string script = WinPath(BOLVARIN_SCRIPT_CLIENT);
  const HostResult r = RunCommand("cscript.exe //nologo \"" + script + "\"", [](DWORD process) {
    HWND d = WaitForDialog([process](HWND w) { return OfProcess(w, process); }, 20);
    Want("title", TextOf(d), "SyncBolvarin configuration Version  " + VersionText());
    Want("optPCToHH selected", Checked(d, IDC_OPTPCTOHH));
    Click(d, IDC_OPTDONOTHING);
    PostClick(d, IDOK);
  });
  EXPECT_EQ(r.out, "1 6\r\n") << r.err;
  EXPECT_EQ(StoredSetting("langue"), "0");  // OK stored the language
  StoreSettings();
}

}  // namespace
}  // namespace bolvarin
