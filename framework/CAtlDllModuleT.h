#pragma once
#include "framework/CAtlModule.h"
#include "framework/CComClassFactory.h"
#include "framework/CComObject.h"
#include "framework/CRegistrar.h"
#include "framework/CWinApp.h"
#include <oleauto.h>
#include <cwchar>
// The module of an in-process server: the bodies of its five exports and its DllMain. T is the
// server's module class; it may declare DECLARE_LIBID (the type library, resource 1, registered
// with the classes) and DECLARE_REGISTRY_APPID_RESOURCEID (the module's own script and APPID).
//
// The server links the framework statically, so its CWinApp (if it has one) is its own: DllMain
// runs its InitInstance on the loading thread (FALSE refuses the load) and ExitInstance at unload.

#define DECLARE_LIBID(libid)                                                                                           \
    static const GUID& GetLibraryId() noexcept                                                                         \
    {                                                                                                                  \
        return libid;                                                                                                  \
    }
#define DECLARE_REGISTRY_APPID_RESOURCEID(resid, appid)                                                                \
    static LPCOLESTR GetAppId() noexcept                                                                               \
    {                                                                                                                  \
        return appid;                                                                                                  \
    }                                                                                                                  \
    static HRESULT WINAPI UpdateRegistryAppId(BOOL bRegister) noexcept                                                 \
    {                                                                                                                  \
        CAtlModule* pModule = AtlGetModule();                                                                          \
        return pModule ? pModule->UpdateRegistryFromResource(resid, bRegister) : E_UNEXPECTED;                         \
    }

template <class T> class CAtlDllModuleT : public CAtlModule
{
public:
    static const GUID& GetLibraryId() noexcept { return GUID_NULL; }
    static LPCOLESTR GetAppId() noexcept { return nullptr; }
    static HRESULT WINAPI UpdateRegistryAppId(BOOL) noexcept { return S_OK; }

    BOOL WINAPI DllMain(DWORD dwReason, LPVOID /*lpReserved*/) noexcept
    {
        CWinApp* pApp = AfxGetApp();
        if (dwReason == DLL_PROCESS_ATTACH && pApp)
        {
            m_bAppStarted = true;
            return pApp->InitInstance();
        }
        // The loader also comes here after an InitInstance that refused the load.
        if (dwReason == DLL_PROCESS_DETACH && pApp && m_bAppStarted)
        {
            m_bAppStarted = false;
            pApp->ExitInstance();
        }
        return TRUE;
    }

    HRESULT DllCanUnloadNow() noexcept { return GetLockCount() == 0 ? S_OK : S_FALSE; }

    HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) noexcept
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        for (CAtlObjectMapEntry* pEntry = AtlGetFirstObjectMapEntry(); pEntry; pEntry = pEntry->pNext)
        {
            if (!::InlineIsEqualGUID(rclsid, *pEntry->pclsid)) continue;
            CComObject<CComClassFactory>* pFactory = nullptr;
            HRESULT hr = CComObject<CComClassFactory>::CreateInstance(&pFactory);
            if (FAILED(hr)) return hr;
            pFactory->SetCreator(pEntry->pfnCreateInstance);
            pFactory->AddRef();
            hr = pFactory->QueryInterface(riid, ppv);
            pFactory->Release();
            return hr;
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    }

    // The module's script, every class's script, then the type library; the first failure ends it.
    HRESULT DllRegisterServer(BOOL bRegTypeLib = TRUE) noexcept
    {
        CThreadLocaleScope systemLocale;
        HRESULT hr = T::UpdateRegistryAppId(TRUE);
        for (CAtlObjectMapEntry* pEntry = AtlGetFirstObjectMapEntry(); SUCCEEDED(hr) && pEntry; pEntry = pEntry->pNext)
            hr = pEntry->pfnUpdateRegistry(TRUE);
        if (SUCCEEDED(hr) && bRegTypeLib) hr = RegisterTypeLibrary(true);
        return hr;
    }
    // The other way round: the classes and the type library first, the module's script last.
    HRESULT DllUnregisterServer(BOOL bUnRegTypeLib = TRUE) noexcept
    {
        CThreadLocaleScope systemLocale;
        HRESULT hr = S_OK;
        for (CAtlObjectMapEntry* pEntry = AtlGetFirstObjectMapEntry(); SUCCEEDED(hr) && pEntry; pEntry = pEntry->pNext)
            hr = pEntry->pfnUpdateRegistry(FALSE);
        if (SUCCEEDED(hr) && bUnRegTypeLib) hr = RegisterTypeLibrary(false);
        if (SUCCEEDED(hr)) hr = T::UpdateRegistryAppId(FALSE);
        return hr;
    }
    // A command line "user" (any case, nothing else) registers for the current user only.
    HRESULT DllInstall(BOOL bInstall, LPCWSTR pszCmdLine) noexcept
    {
        const bool bWasPerUser = m_bPerUserRegistration;
        if (pszCmdLine && _wcsicmp(pszCmdLine, L"user") == 0) m_bPerUserRegistration = true;
        HRESULT hr = S_OK;
        if (bInstall)
        {
            hr = static_cast<T*>(this)->DllRegisterServer();
            if (FAILED(hr)) static_cast<T*>(this)->DllUnregisterServer(); // leave no half registration
        }
        else
            hr = static_cast<T*>(this)->DllUnregisterServer();
        m_bPerUserRegistration = bWasPerUser;
        return hr;
    }

    HRESULT AddCommonRGSReplacements(CRegistrar* pRegistrar) noexcept override;

private:
    // Registration reads numbers and texts the same way whatever the caller's locale.
    class CThreadLocaleScope
    {
    public:
        CThreadLocaleScope() noexcept : m_lcid(::GetThreadLocale()) { ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
        ~CThreadLocaleScope() { ::SetThreadLocale(m_lcid); }
        CThreadLocaleScope(const CThreadLocaleScope&) = delete;
        CThreadLocaleScope& operator=(const CThreadLocaleScope&) = delete;

    private:
        LCID m_lcid;
    };

    HRESULT RegisterTypeLibrary(bool bRegister) noexcept
    {
        if (::InlineIsEqualGUID(T::GetLibraryId(), GUID_NULL)) return S_OK;
        wchar_t path[MAX_PATH] = L"";
        if (!::GetModuleFileNameW(m_hInst, path, MAX_PATH)) return HRESULT_FROM_WIN32(::GetLastError());
        ITypeLib* pLib = nullptr;
        HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, &pLib);
        if (FAILED(hr)) return hr;
        if (bRegister)
            hr = m_bPerUserRegistration ? RegisterTypeLibForUser(pLib, path) : ::RegisterTypeLib(pLib, path, nullptr);
        else
        {
            TLIBATTR* pAttr = nullptr;
            hr = pLib->GetLibAttr(&pAttr);
            if (SUCCEEDED(hr))
            {
                hr = m_bPerUserRegistration ? UnRegisterTypeLibForUser(*pAttr)
                                            : ::UnRegisterTypeLib(pAttr->guid, pAttr->wMajorVerNum, pAttr->wMinorVerNum,
                                                                  pAttr->lcid, pAttr->syskind);
                pLib->ReleaseTLibAttr(pAttr);
                if (hr == TYPE_E_REGISTRYACCESS) hr = S_OK; // was not registered: nothing to undo
            }
        }
        pLib->Release();
        return hr;
    }

    bool m_bAppStarted = false;
};

template <class T> HRESULT CAtlDllModuleT<T>::AddCommonRGSReplacements(CRegistrar* pRegistrar) noexcept
{
    LPCOLESTR appId = T::GetAppId();
    return appId ? pRegistrar->AddReplacement(L"APPID", appId) : S_OK;
}
