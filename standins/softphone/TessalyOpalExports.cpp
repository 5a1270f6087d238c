// The entry points of Tessaly_Opal.ocx: the stand-in is created without registration only.
#include "CSoftphoneClassFactory.h"
#include "CSoftphoneControlLink.h"
#include "CTessalyOpalModule.h"
#include "framework/CComObject.h"

namespace
{
CTessalyOpalModule g_module;
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
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!::InlineIsEqualGUID(rclsid, CLSID_Tessaly_Opal)) return CLASS_E_CLASSNOTAVAILABLE;
    CSoftphoneControlLink::StartOnce(); // the test learns of us before the first control exists
    CComObject<CSoftphoneClassFactory>* pFactory = nullptr;
    HRESULT hr = CComObject<CSoftphoneClassFactory>::CreateInstance(&pFactory);
    if (FAILED(hr)) return hr;
    pFactory->AddRef();
    hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    return hr;
}
