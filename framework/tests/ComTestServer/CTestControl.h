#pragma once
#include "framework/CComBSTR.h"
#include "CProxy_ITestEvents.h"
#include "ComTestServer.h"
#include "ComTestServerResources.h"
#include "framework/CComBSTR.h"
#include "framework/CComCoClass.h"
#include "framework/CComObjectRootEx.h"
#include "framework/IConnectionPointContainerImpl.h"
#include "framework/IDispatchImpl.h"
#include "framework/IProvideClassInfo2Impl.h"

// The test server's control: a property, a method with an optional argument and two events.
class CTestControl : public CComObjectRootEx<CComSingleThreadModel>,
                     public CComCoClass<CTestControl, &CLSID_TestControl>,
                     public IDispatchImpl<ITestControl, &IID_ITestControl, &LIBID_ComTestServerLib>,
                     public IConnectionPointContainerImpl<CTestControl>,
                     public CProxy_ITestEvents<CTestControl>,
                     public IProvideClassInfo2Impl<&CLSID_TestControl, &DIID__ITestEvents, &LIBID_ComTestServerLib>
{
public:
    // The misc status the control library's control registers, so the replacement is seen.
    DECLARE_OLEMISC_STATUS(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_NOUIACTIVATE | OLEMISC_INVISIBLEATRUNTIME |
                           OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                           OLEMISC_ONLYICONIC)
    DECLARE_REGISTRY_RESOURCEID(IDR_TESTCONTROL)

    BEGIN_COM_MAP(CTestControl)
    COM_INTERFACE_ENTRY(ITestControl)
    COM_INTERFACE_ENTRY2(IDispatch, ITestControl)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    COM_INTERFACE_ENTRY(IProvideClassInfo)
    COM_INTERFACE_ENTRY(IProvideClassInfo2)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(CTestControl)
    CONNECTION_POINT_ENTRY(DIID__ITestEvents)
    END_CONNECTION_POINT_MAP()

    STDMETHOD(get_Caption)(BSTR* pVal) override;
    STDMETHOD(put_Caption)(BSTR newVal) override;
    STDMETHOD(Add)(LONG a, LONG b, LONG* pSum) override;
    STDMETHOD(FireEverything)() override;
    STDMETHOD(FirePing)(LONG n, LONG* pLastResult) override;

private:
    CComBSTR m_caption = L"TestControl";
};
