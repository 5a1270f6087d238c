#include "framework/AfxOleLockControl.h"
#include <mutex>
#include <utility>
#include <vector>

namespace
{
struct LockedClass
{
    CLSID clsid;
    IClassFactory* pFactory; // locked, one reference
};

std::mutex g_lock;
std::vector<LockedClass> g_locked;
} // namespace

BOOL AfxOleLockControl(REFCLSID clsid)
{
    {
        std::lock_guard<std::mutex> guard(g_lock);
        for (const LockedClass& locked : g_locked)
            if (::IsEqualCLSID(locked.clsid, clsid)) return TRUE;
    }
    IClassFactory* pFactory = nullptr;
    HRESULT hr = ::CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                    reinterpret_cast<void**>(&pFactory));
    if (SUCCEEDED(hr)) hr = pFactory->LockServer(TRUE);
    if (FAILED(hr))
    {
        if (pFactory) pFactory->Release();
        ::SetLastError(static_cast<DWORD>(hr));
        return FALSE;
    }
    try
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_locked.push_back(LockedClass{clsid, pFactory});
    }
    catch (...)
    {
        pFactory->LockServer(FALSE);
        pFactory->Release();
        ::SetLastError(static_cast<DWORD>(E_OUTOFMEMORY));
        return FALSE;
    }
    return TRUE;
}

BOOL AfxOleUnlockControl(REFCLSID clsid)
{
    IClassFactory* pFactory = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        for (auto it = g_locked.begin(); it != g_locked.end(); ++it)
            if (::IsEqualCLSID(it->clsid, clsid))
            {
                pFactory = it->pFactory;
                g_locked.erase(it);
                break;
            }
    }
    if (!pFactory) return FALSE;
    // Outside the list's lock: the last release may unload a library whose end calls back here.
    pFactory->LockServer(FALSE);
    pFactory->Release();
    return TRUE;
}
