#pragma once
#include "framework/CComPtr.h"
#include "framework/CHandleOwner.h"
#include <ocidl.h>
#include <oleidl.h>
// A control container's site as a host program needs it: a top-level host window, the client
// site and the in-place site, windowless when so made (then it paints the windowless control in
// its own WM_PAINT through IViewObject::Draw). It records what the control asks of it. The
// object lives on the test's stack: its count starts at 1 (the test's) and never deletes it, so
// a test can see every reference a control took come back.
class CTestContainerSite : public IOleClientSite, public IOleInPlaceSiteWindowless
{
public:
    // The control's place in the host window's client area.
    static constexpr RECT kControlRect{10, 10, 110, 60};

    explicit CTestContainerSite(bool bOfferWindowless);
    virtual ~CTestContainerSite();
    CTestContainerSite(const CTestContainerSite&) = delete;
    CTestContainerSite& operator=(const CTestContainerSite&) = delete;

    // Sets the control's client site and activates it in place at kControlRect.
    HRESULT Site(IUnknown* pControl);
    // Closes the control, takes the client site back and lets the control go.
    HRESULT Unsite();
    // The control's view drawn on hdc (null bounds: the control's own place, windowless only).
    HRESULT Draw(HDC hdc, const RECT* pBounds);

    HWND HostWindow() const noexcept { return m_host.Get(); }
    LONG RefCount() const noexcept { return m_nRef; }

    int m_nActivations = 0;
    int m_nDeactivations = 0;
    DWORD m_activateFlags = 0; // of OnInPlaceActivateEx; 0 after OnInPlaceActivate
    int m_nInvalidations = 0;  // InvalidateRect and InvalidateRgn of a windowless control

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
    STDMETHOD(OnPosRectChange)(LPCRECT) override;
    // IOleInPlaceSiteEx
    STDMETHOD(OnInPlaceActivateEx)(BOOL* pfNoRedraw, DWORD dwFlags) override;
    STDMETHOD(OnInPlaceDeactivateEx)(BOOL) override;
    STDMETHOD(RequestUIActivate)() override;
    // IOleInPlaceSiteWindowless
    STDMETHOD(CanWindowlessActivate)() override;
    STDMETHOD(GetCapture)() override;
    STDMETHOD(SetCapture)(BOOL) override;
    STDMETHOD(GetFocus)() override;
    STDMETHOD(SetFocus)(BOOL) override;
    STDMETHOD(GetDC)(LPCRECT, DWORD, HDC* phDC) override;
    STDMETHOD(ReleaseDC)(HDC) override;
    STDMETHOD(InvalidateRect)(LPCRECT, BOOL) override;
    STDMETHOD(InvalidateRgn)(HRGN, BOOL) override;
    STDMETHOD(ScrollRect)(INT, INT, LPCRECT, LPCRECT) override;
    STDMETHOD(AdjustRect)(LPRECT) override;
    STDMETHOD(OnDefWindowMessage)(UINT, WPARAM, LPARAM, LRESULT* plResult) override;

private:
    static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    bool m_bOfferWindowless;
    LONG m_nRef = 1;
    CWindowHandle m_host;
    CComPtr<IOleObject> m_spObject;
    bool m_bWindowlessActive = false;
};
