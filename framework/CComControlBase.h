#pragma once
#include "framework/ATL_DRAWINFO.h"
#include "framework/CComPtr.h"
#include "framework/CHandleOwner.h"
#include <ocidl.h>
#include <oleidl.h>
// The state and the work of an in-place ActiveX control that the OLE interface templates share:
// the client site, in-place activation (windowless when the site offers it, else in a child
// window of the site's window), drawing through OnDraw, and closing. UI activation is not
// offered: a container sees the control active in place only.
class CComControlBase
{
public:
    CComControlBase() = default;
    CComControlBase(const CComControlBase&) = delete;
    CComControlBase& operator=(const CComControlBase&) = delete;
    virtual ~CComControlBase();

    // Draws the control; di.prcBounds is where. The base draws nothing.
    virtual HRESULT OnDraw(ATL_DRAWINFO& di);

    // Has the container redraw the control: the site (windowless), the window, or the view's
    // advise sink when the control is not active in place.
    HRESULT FireViewChange();

    HRESULT IOleObject_SetClientSite(IOleClientSite* pClientSite);
    HRESULT IOleObject_Close(DWORD dwSaveOption);
    HRESULT InPlaceActivate(LONG iVerb, const RECT* prcPosRect = nullptr);
    HRESULT IOleInPlaceObject_InPlaceDeactivate();
    HRESULT IOleInPlaceObject_SetObjectRects(LPCRECT prcPos, LPCRECT prcClip);
    HRESULT IOleWindow_GetWindow(HWND* phwnd);
    HRESULT IViewObject_Draw(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, HDC hicTargetDev, HDC hdcDraw,
                             LPCRECTL prcBounds, LPCRECTL prcWBounds);

    CComPtr<IOleClientSite> m_spClientSite;
    CComPtr<IOleInPlaceSite> m_spInPlaceSite;                     // while active in place
    CComPtr<IOleInPlaceSiteWindowless> m_spInPlaceSiteWindowless; // while active windowless
    CComPtr<IAdviseSink> m_spAdviseSink;                          // IViewObject::SetAdvise's
    CComPtr<IOleAdviseHolder> m_spOleAdviseHolder;
    DWORD m_dwViewAdviseFlags = 0;
    RECT m_rcPos{};                 // in the container's window, device units
    SIZEL m_sizeExtent{2540, 1270}; // HIMETRIC
    bool m_bInPlaceActive = false;
    bool m_bWndLess = false;
    HWND m_hWnd = nullptr; // the child window while windowed (owned by m_window)

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateControlWindow(HWND hwndParent);
    CWindowHandle m_window;
};
