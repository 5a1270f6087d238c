// The entry points of LumoClient.ocx, exported by ordinal through LumoClient.def.
#include "CLumoClientLibApp.h"
#include "CLumoClientLibModule.h"

namespace
{
CLumoClientLibModule g_module;
CLumoClientLibApp g_app;
} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID lpReserved)
{
    return g_module.DllMain(dwReason, lpReserved);
}

STDAPI DllCanUnloadNow()
{
    return g_module.DllCanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return g_module.DllGetClassObject(rclsid, riid, ppv);
}

STDAPI DllInstall(BOOL bInstall, LPCWSTR pszCmdLine)
{
    return g_module.DllInstall(bInstall, pszCmdLine);
}

STDAPI DllRegisterServer()
{
    return g_module.DllRegisterServer();
}

STDAPI DllUnregisterServer()
{
    return g_module.DllUnregisterServer();
}
