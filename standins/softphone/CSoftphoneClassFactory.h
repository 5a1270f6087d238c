#pragma once
#include "framework/CComObjectRootEx.h"
#include <ocidl.h>
// The stand-in's class object. With "license <key>" the class is licensed: only CreateInstanceLic
// with that key makes a control, and no key is handed out.
class CSoftphoneClassFactory : public CComObjectRootEx<CComSingleThreadModel>, public IClassFactory2
{
public:
    CSoftphoneClassFactory();
    ~CSoftphoneClassFactory();

    BEGIN_COM_MAP(CSoftphoneClassFactory)
    COM_INTERFACE_ENTRY(IClassFactory2)
    COM_INTERFACE_ENTRY(IClassFactory)
    END_COM_MAP()

    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
    STDMETHOD(LockServer)(BOOL fLock) override;
    STDMETHOD(GetLicInfo)(LICINFO* pLicInfo) override;
    STDMETHOD(RequestLicKey)(DWORD, BSTR* pBstrKey) override;
    STDMETHOD(CreateInstanceLic)
    (IUnknown* pUnkOuter, IUnknown*, REFIID riid, BSTR bstrKey, PVOID* ppvObj) override;

private:
    static HRESULT Create(IUnknown* pUnkOuter, REFIID riid, void** ppvObject);
};
