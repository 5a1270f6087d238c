// The test server's entry points: the five COM exports and a test hook that starts a thread
// holding the module.
#include "CComTestServerApp.h"
#include "CComTestServerModule.h"

namespace
{
CComTestServerModule g_module;
CComTestServerApp g_app;

DWORD WINAPI WaitForRelease(LPVOID pEvent)
{
    ::WaitForSingleObject(static_cast<HANDLE>(pEvent), 10000);
    return 0;
}
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

STDAPI DllRegisterServer()
{
    return g_module.DllRegisterServer();
}

STDAPI DllUnregisterServer()
{
    return g_module.DllUnregisterServer();
}

STDAPI DllInstall(BOOL bInstall, LPCWSTR pszCmdLine)
{
    return g_module.DllInstall(bInstall, pszCmdLine);
}

// The thread runs until hRelease is set (or 10 s pass); the caller keeps the event open until then.
extern "C" BOOL WINAPI ComTestServerStartLockedThread(HANDLE hRelease)
{
    return g_module.BeginLockedThread(&WaitForRelease, hRelease);
}
