#pragma once
#include "framework/CComBSTR.h"
#include "CProxy_ITestEvents.h"
#include "ComTestServer.h"
#include "ComTestServerResources.h"
#include "framework/CComBSTR.h"
#include "framework/CComCoClass.h"
#include "framework/CComControl.h"
#include "framework/CComObjectRootEx.h"
#include "framework/IConnectionPointContainerImpl.h"
#include "framework/IDispatchImpl.h"
#include "framework/IOleControlImpl.h"
#include "framework/IOleInPlaceActiveObjectImpl.h"
#include "framework/IOleInPlaceObjectWindowlessImpl.h"
#include "framework/IOleObjectImpl.h"
#include "framework/IViewObjectExImpl.h"
#include "framework/IProvideClassInfo2Impl.h"

// The test server's control: a property, a method with an optional argument and two events; in
// place it fills its bounds with kFillColor.
class CTestControl : public CComObjectRootEx<CComSingleThreadModel>,
                     public IDispatchImpl<ITestControl, &IID_ITestControl, &LIBID_ComTestServerLib>,
                     public CComControl<CTestControl>,
                     public IOleControlImpl<CTestControl>,
                     public IOleObjectImpl<CTestControl>,
                     public IOleInPlaceActiveObjectImpl<CTestControl>,
                     public IViewObjectExImpl<CTestControl>,
                     public IOleInPlaceObjectWindowlessImpl<CTestControl>,
                     public IConnectionPointContainerImpl<CTestControl>,
                     public CProxy_ITestEvents<CTestControl>,
                     public IProvideClassInfo2Impl<&CLSID_TestControl, &DIID__ITestEvents, &LIBID_ComTestServerLib>,
                     public CComCoClass<CTestControl, &CLSID_TestControl>
{
public:
    static constexpr COLORREF kFillColor = RGB(0, 128, 255);

    // The misc status the control library's control registers, so the replacement is seen.
    DECLARE_OLEMISC_STATUS(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_NOUIACTIVATE | OLEMISC_INVISIBLEATRUNTIME |
                           OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                           OLEMISC_ONLYICONIC)
    DECLARE_REGISTRY_RESOURCEID(IDR_TESTCONTROL)

    BEGIN_COM_MAP(CTestControl)
    COM_INTERFACE_ENTRY(ITestControl)
    COM_INTERFACE_ENTRY2(IDispatch, ITestControl)
    COM_INTERFACE_ENTRY(IViewObjectEx)
    COM_INTERFACE_ENTRY(IViewObject2)
    COM_INTERFACE_ENTRY(IViewObject)
    COM_INTERFACE_ENTRY(IOleInPlaceObjectWindowless)
    COM_INTERFACE_ENTRY(IOleInPlaceObject)
    COM_INTERFACE_ENTRY2(IOleWindow, IOleInPlaceObjectWindowless)
    COM_INTERFACE_ENTRY(IOleInPlaceActiveObject)
    COM_INTERFACE_ENTRY(IOleControl)
    COM_INTERFACE_ENTRY(IOleObject)
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

    HRESULT OnDraw(ATL_DRAWINFO& di) override;

private:
    CComBSTR m_caption = L"TestControl";
};
