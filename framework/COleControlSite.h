#pragma once
#include "framework/CComPtr.h"
#include "framework/CString.h"
#include <ocidl.h>
#include <oleidl.h>
class CWnd;
class COleControlContainer;
// The place of one ActiveX control in its container: the client site, the in-place site (windowed
// only), the control site, the ambient properties (its IDispatch) and, as an object of its own, the
// dispatch sink advised on the control's default source interface, which hands the events to the
// container. The container owns the site (one reference); the control holds others while it lives.
//
// The control's window gets the given id and style and is subclassed by the site beneath the
// window's CWnd. When the window goes by any road but Close (its CWnd destroyed, the parent
// destroyed), the site stops the events at once and has the container close the control once the
// window's messages are over, so a control is never closed from inside its own window's end.
class COleControlSite : public IOleClientSite, public IOleInPlaceSite, public IOleControlSite, public IDispatch
{
public:
    COleControlSite(COleControlContainer* pContainer, UINT nID);
    COleControlSite(const COleControlSite&) = delete;
    COleControlSite& operator=(const COleControlSite&) = delete;

    // Makes the control and activates it in place as pWndCtrl's window. The HRESULT of the step that
    // failed; everything is released then.
    HRESULT CreateControl(CWnd* pWndCtrl, REFCLSID clsid, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                          BSTR bstrLicKey);
    // Unadvises, closes the control and lets go of it and of the window's CWnd.
    void DestroyControl();

    UINT GetID() const noexcept { return m_nID; }
    HWND GetControlWindow() const noexcept { return m_hWndCtrl; }
    IUnknown* GetControlUnknown() const noexcept { return m_spObject; }
    IDispatch* GetControlDispatch() const noexcept { return m_spDispatch; }
    void ForgetContainer() noexcept { m_pCtrlCont = nullptr; }

    // IUnknown (through IOleClientSite)
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    // IOleClientSite
    STDMETHOD(SaveObject)() override;
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker** ppmk) override;
    STDMETHOD(GetContainer)(IOleContainer** ppContainer) override;
    STDMETHOD(ShowObject)() override;
    STDMETHOD(OnShowWindow)(BOOL) override;
    STDMETHOD(RequestNewObjectLayout)() override;
    // IOleWindow
    STDMETHOD(GetWindow)(HWND* phwnd) override;
    STDMETHOD(ContextSensitiveHelp)(BOOL) override;
    // IOleInPlaceSite
    STDMETHOD(CanInPlaceActivate)() override;
    STDMETHOD(OnInPlaceActivate)() override;
    STDMETHOD(OnUIActivate)() override;
    STDMETHOD(GetWindowContext)
    (IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect, LPRECT lprcClipRect,
     LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    STDMETHOD(Scroll)(SIZE) override;
    STDMETHOD(OnUIDeactivate)(BOOL) override;
    STDMETHOD(OnInPlaceDeactivate)() override;
    STDMETHOD(DiscardUndoState)() override;
    STDMETHOD(DeactivateAndUndo)() override;
    STDMETHOD(OnPosRectChange)(LPCRECT lprcPosRect) override;
    // IOleControlSite
    STDMETHOD(OnControlInfoChanged)() override;
    STDMETHOD(LockInPlaceActive)(BOOL) override;
    STDMETHOD(GetExtendedControl)(IDispatch** ppDisp) override;
    STDMETHOD(TransformCoords)(POINTL* pPtlHimetric, POINTF* pPtfContainer, DWORD dwFlags) override;
    STDMETHOD(TranslateAccelerator)(MSG*, DWORD) override;
    STDMETHOD(OnFocus)(BOOL) override;
    STDMETHOD(ShowPropertyFrame)() override;
    // IDispatch: the ambient properties
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** ppTInfo) override;
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    // The events of the control: an IDispatch of its own identity that shares the site's count.
    class CEventSink : public IDispatch
    {
    public:
        explicit CEventSink(COleControlSite& site) noexcept : m_site(site) {}
        STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
        STDMETHOD_(ULONG, AddRef)() override { return m_site.AddRef(); }
        STDMETHOD_(ULONG, Release)() override { return m_site.Release(); }
        STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
        STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** ppTInfo) override;
        STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
        STDMETHOD(Invoke)
        (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
         EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
        IID m_iid = IID_NULL; // the source interface it was advised on

    private:
        COleControlSite& m_site;
    };

    virtual ~COleControlSite();
    HRESULT MakeObject(REFCLSID clsid, BSTR bstrLicKey);
    HRESULT InitObject();
    HRESULT AttachWindow(CWnd* pWndCtrl, DWORD dwStyle);
    void AdviseEvents();
    void UnadviseEvents();
    void ReleaseEverything();
    HRESULT GetAmbientProperty(DISPID dispid, VARIANT* pResult) const;
    HWND ParentWindow() const noexcept;
    static LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnControlWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    LONG m_nRef = 1;
    COleControlContainer* m_pCtrlCont; // our owner; null once it has let go of us
    UINT m_nID;
    CString m_strName;
    RECT m_rect{};
    CWnd* m_pWndCtrl = nullptr; // the CWnd of the control's window while it lives
    HWND m_hWndCtrl = nullptr;
    WNDPROC m_pfnControlProc = nullptr; // the control's own procedure beneath ours
    CComPtr<IOleObject> m_spObject;
    CComPtr<IOleInPlaceObject> m_spInPlaceObject;
    CComPtr<IDispatch> m_spDispatch;
    CComPtr<IConnectionPoint> m_spEventPoint;
    DWORD m_dwEventCookie = 0;
    CEventSink m_sink{*this};
    bool m_bDestroying = false;
};
