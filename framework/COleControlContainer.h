#pragma once
#include "framework/CHandleOwner.h"
#include <oleidl.h>
#include <vector>
class CWnd;
class COleControlSite;
// The ActiveX controls hosted in one window: their sites, the in-place frame they are given, and the
// road of their events to the window's event-sink map. The window owns the container through its
// m_pCtrlCont (one reference); controls may hold further references to it as their frame or
// container while they live. Everything runs on the window's thread.
class COleControlContainer : public IOleInPlaceFrame, public IOleContainer
{
public:
    // A new container of pWnd with one reference, the window's; null when it cannot be made.
    static COleControlContainer* Create(CWnd* pWnd);
    COleControlContainer(const COleControlContainer&) = delete;
    COleControlContainer& operator=(const COleControlContainer&) = delete;

    // Makes a control as pWndCtrl's window in this container's window (see CWnd::CreateControl).
    HRESULT CreateControl(CWnd* pWndCtrl, REFCLSID clsid, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                          UINT nID, BSTR bstrLicKey);
    // Closes every control and lets go of them; the window is going away.
    void DestroyAll();
    // A site whose window has gone: it is closed once the current messages are over.
    void ScheduleClose(COleControlSite* pSite);
    // Hands an event of control nID to the window's event-sink map: S_OK also when no entry wants it.
    HRESULT OnEvent(UINT nID, DISPID dispid, DISPPARAMS* pDispParams, UINT* puArgErr);

    CWnd* GetWindowObject() const noexcept { return m_pWnd; }
    size_t GetSiteCount() const noexcept { return m_sites.size(); }

    // IUnknown (through IOleInPlaceFrame)
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    // IOleWindow
    STDMETHOD(GetWindow)(HWND* phwnd) override;
    STDMETHOD(ContextSensitiveHelp)(BOOL) override;
    // IOleInPlaceUIWindow: the window has no tool space to give
    STDMETHOD(GetBorder)(LPRECT lprectBorder) override;
    STDMETHOD(RequestBorderSpace)(LPCBORDERWIDTHS) override;
    STDMETHOD(SetBorderSpace)(LPCBORDERWIDTHS pborderwidths) override;
    STDMETHOD(SetActiveObject)(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR) override;
    // IOleInPlaceFrame: no menus to merge
    STDMETHOD(InsertMenus)(HMENU, LPOLEMENUGROUPWIDTHS lpMenuWidths) override;
    STDMETHOD(SetMenu)(HMENU, HOLEMENU, HWND) override;
    STDMETHOD(RemoveMenus)(HMENU) override;
    STDMETHOD(SetStatusText)(LPCOLESTR) override;
    STDMETHOD(EnableModeless)(BOOL) override;
    STDMETHOD(TranslateAccelerator)(LPMSG, WORD) override;
    // IParseDisplayName, IOleContainer
    STDMETHOD(ParseDisplayName)(IBindCtx*, LPOLESTR, ULONG* pchEaten, IMoniker** ppmkOut) override;
    STDMETHOD(EnumObjects)(DWORD, IEnumUnknown** ppenum) override;
    STDMETHOD(LockContainer)(BOOL) override;

private:
    explicit COleControlContainer(CWnd* pWnd) noexcept : m_pWnd(pWnd) {}
    virtual ~COleControlContainer();
    bool CreateNotifyWindow();
    void CloseSite(COleControlSite* pSite);
    static LRESULT CALLBACK NotifyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    LONG m_nRef = 1;
    CWnd* m_pWnd;
    std::vector<COleControlSite*> m_sites;              // one reference each
    CWindowHandle m_notify;                             // message-only: the closes that wait for the messages to end
    IOleInPlaceActiveObject* m_pActiveObject = nullptr; // SetActiveObject's, one reference
};
