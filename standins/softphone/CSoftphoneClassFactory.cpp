#include "CSoftphoneClassFactory.h"
#include "framework/CAtlModule.h"
#include "CSoftphoneJournal.h"
#include "CSoftphoneStandIn.h"

CSoftphoneClassFactory::CSoftphoneClassFactory()
{
    ++CSoftphoneJournal::Get().m_nFactories;
}

CSoftphoneClassFactory::~CSoftphoneClassFactory()
{
    --CSoftphoneJournal::Get().m_nFactories;
}

HRESULT CSoftphoneClassFactory::Create(IUnknown* pUnkOuter, REFIID riid, void** ppvObject)
{
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    return CSoftphoneStandIn::_CreatorClass::CreateInstance(nullptr, riid, ppvObject);
}

STDMETHODIMP CSoftphoneClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject)
{
    if (ppvObject) *ppvObject = nullptr;
    if (!CSoftphoneJournal::Get().LicenseKey().empty()) return CLASS_E_NOTLICENSED;
    return Create(pUnkOuter, riid, ppvObject);
}

STDMETHODIMP CSoftphoneClassFactory::LockServer(BOOL fLock)
{
    if (CAtlModule* pModule = AtlGetModule()) fLock ? pModule->Lock() : pModule->Unlock();
    return S_OK;
}

STDMETHODIMP CSoftphoneClassFactory::GetLicInfo(LICINFO* pLicInfo)
{
    if (!pLicInfo) return E_POINTER;
    pLicInfo->cbLicInfo = sizeof(LICINFO);
    pLicInfo->fRuntimeKeyAvail = FALSE;
    pLicInfo->fLicVerified = CSoftphoneJournal::Get().LicenseKey().empty();
    return S_OK;
}

STDMETHODIMP CSoftphoneClassFactory::RequestLicKey(DWORD, BSTR* pBstrKey)
{
    if (!pBstrKey) return E_POINTER;
    *pBstrKey = nullptr;
    return CLASS_E_NOTLICENSED; // the key is the licensee's, never this machine's to give
}

STDMETHODIMP CSoftphoneClassFactory::CreateInstanceLic(IUnknown* pUnkOuter, IUnknown*, REFIID riid, BSTR bstrKey,
                                                       PVOID* ppvObj)
{
    if (ppvObj) *ppvObj = nullptr;
    const std::wstring key = CSoftphoneJournal::Get().LicenseKey();
    if (!key.empty() && (!bstrKey || key != std::wstring(bstrKey, ::SysStringLen(bstrKey)))) return CLASS_E_NOTLICENSED;
    return Create(pUnkOuter, riid, ppvObj);
}
