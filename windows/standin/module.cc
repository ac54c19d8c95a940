// The entry points of BolvarinStandIn.dll: the platform's classes under the
// ProgIDs the conduit creates them by, and the stand-in's control class, all
// registered from one table.
#include <windows.h>

#include "base/platform.h"
#include "windows/com/com_server.h"
#include "windows/standin/standin_objects.h"

namespace bolvarin::standin {

namespace {

// {5A4F332E-928F-407F-974B-F9544C61C8E8}
constexpr CLSID kPlatformSystem = {
    0x5A4F332E, 0x928F, 0x407F, {0x97, 0x4B, 0xF9, 0x54, 0x4C, 0x61, 0xC8, 0xE8}};
// {01721495-8F9C-401F-B4FD-C18E5F7D599B}
constexpr CLSID kConduitServices = {
    0x01721495, 0x8F9C, 0x401F, {0xB4, 0xFD, 0xC1, 0x8E, 0x5F, 0x7D, 0x59, 0x9B}};
// {CAE3CB92-8F14-403B-902E-89F62DB4A166}
constexpr CLSID kPlatformUtility = {
    0xCAE3CB92, 0x8F14, 0x403B, {0x90, 0x2E, 0x89, 0xF6, 0x2D, 0xB4, 0xA1, 0x66}};
// {DB8C56CC-8EF9-460E-8913-B2A3588FE308}
constexpr CLSID kRecordAdapter = {
    0xDB8C56CC, 0x8EF9, 0x460E, {0x89, 0x13, 0xB2, 0xA3, 0x58, 0x8F, 0xE3, 0x08}};
// {59BB663B-F20E-44BB-B3F2-878BE271E9EB}
constexpr CLSID kStandInControl = {
    0x59BB663B, 0xF20E, 0x44BB, {0xB3, 0xF2, 0x87, 0x8B, 0xE2, 0x71, 0xE9, 0xEB}};

const com::ServerClass kClasses[] = {
    {&kPlatformSystem, kPlatformSystemProgId, "PlatformSystem", CreatePlatformSystem},
    {&kConduitServices, kConduitServicesProgId, "ConduitServices", CreateConduitServices},
    {&kPlatformUtility, kPlatformUtilityProgId, "PlatformUtility", CreatePlatformUtility},
    {&kRecordAdapter, kRecordAdapterProgId, "HXRecordAdapter", CreateRecordAdapter},
    {&kStandInControl, "SyncBolvarin.HandheldStandIn", "HandheldStandIn", CreateStandInControl},
};

}  // namespace

}  // namespace bolvarin::standin

using bolvarin::standin::kClasses;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    bolvarin::com::SetModuleHandle(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return bolvarin::com::GetClassObject(kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return bolvarin::com::CanUnloadNow(); }

STDAPI DllRegisterServer() { return bolvarin::com::RegisterClasses(kClasses); }

STDAPI DllUnregisterServer() { return bolvarin::com::UnregisterClasses(kClasses); }
