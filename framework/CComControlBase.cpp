#include "framework/CComControlBase.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
constexpr const wchar_t* kWindowClass = L"LumoComControlWindow";

bool RegisterControlWindowClass(WNDPROC proc)
{
    const HINSTANCE hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    WNDCLASSEXW existing{sizeof(existing)};
    if (::GetClassInfoExW(hInstance, kWindowClass, &existing)) return true;
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = proc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
} // namespace

CComControlBase::~CComControlBase()
{
    // The window's procedure reaches this object: it must not outlive it.
    if (m_hWnd) ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
}

HRESULT CComControlBase::OnDraw(ATL_DRAWINFO&)
{
    return S_OK;
}

HRESULT CComControlBase::FireViewChange()
{
    if (m_bInPlaceActive)
    {
        if (m_bWndLess && m_spInPlaceSiteWindowless) return m_spInPlaceSiteWindowless->InvalidateRect(nullptr, TRUE);
        if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
        return S_OK;
    }
    if (m_spAdviseSink) m_spAdviseSink->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

HRESULT CComControlBase::IOleObject_SetClientSite(IOleClientSite* pClientSite)
{
    m_spClientSite = pClientSite;
    return S_OK;
}

HRESULT CComControlBase::IOleObject_Close(DWORD)
{
    IOleInPlaceObject_InPlaceDeactivate();
    // The container's sinks hold it; closing lets go of them (the site goes with SetClientSite(null)).
    m_spAdviseSink.Release();
    if (m_spOleAdviseHolder)
    {
        m_spOleAdviseHolder->SendOnClose();
        m_spOleAdviseHolder.Release();
    }
    return S_OK;
}

HRESULT CComControlBase::InPlaceActivate(LONG iVerb, const RECT*)
{
    if (!m_spClientSite) return E_UNEXPECTED;
    if (m_bInPlaceActive) return S_OK;
    if (iVerb != OLEIVERB_INPLACEACTIVATE && iVerb != OLEIVERB_SHOW && iVerb != OLEIVERB_UIACTIVATE &&
        iVerb != OLEIVERB_PRIMARY)
        return OLEOBJ_S_INVALIDVERB;

    CComPtr<IOleInPlaceSiteWindowless> windowless;
    CComPtr<IOleInPlaceSite> site;
    m_spClientSite->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&windowless));
    m_bWndLess = windowless && windowless->CanWindowlessActivate() == S_OK;
    if (!m_bWndLess) windowless.Release();
    HRESULT hr = m_spClientSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site));
    if (FAILED(hr)) return hr;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;

    if (m_bWndLess)
    {
        BOOL bNoRedraw = FALSE;
        hr = windowless->OnInPlaceActivateEx(&bNoRedraw, ACTIVATE_WINDOWLESS);
    }
    else
        hr = site->OnInPlaceActivate();
    if (FAILED(hr)) return hr;
    m_spInPlaceSite = site;
    m_spInPlaceSiteWindowless = windowless;
    m_bInPlaceActive = true;

    CComPtr<IOleInPlaceFrame> frame;
    CComPtr<IOleInPlaceUIWindow> document;
    RECT rcPos{}, rcClip{};
    OLEINPLACEFRAMEINFO frameInfo{sizeof(frameInfo)};
    hr = site->GetWindowContext(&frame, &document, &rcPos, &rcClip, &frameInfo);
    if (SUCCEEDED(hr)) m_rcPos = rcPos;
    if (!m_bWndLess)
    {
        HWND hwndParent = nullptr;
        hr = site->GetWindow(&hwndParent);
        if (FAILED(hr) || !CreateControlWindow(hwndParent))
        {
            IOleInPlaceObject_InPlaceDeactivate();
            return FAILED(hr) ? hr : HRESULT_FROM_WIN32(::GetLastError());
        }
    }
    if (iVerb == OLEIVERB_SHOW) m_spClientSite->ShowObject();
    return S_OK;
}

HRESULT CComControlBase::IOleInPlaceObject_InPlaceDeactivate()
{
    if (!m_bInPlaceActive) return S_OK;
    m_bInPlaceActive = false;
    if (m_hWnd) ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    m_window.Close();
    m_hWnd = nullptr;
    if (m_spInPlaceSite) m_spInPlaceSite->OnInPlaceDeactivate();
    m_spInPlaceSiteWindowless.Release();
    m_spInPlaceSite.Release();
    return S_OK;
}

HRESULT CComControlBase::IOleInPlaceObject_SetObjectRects(LPCRECT prcPos, LPCRECT)
{
    if (!prcPos) return E_POINTER;
    m_rcPos = *prcPos;
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, m_rcPos.left, m_rcPos.top, m_rcPos.right - m_rcPos.left,
                       m_rcPos.bottom - m_rcPos.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT CComControlBase::IOleWindow_GetWindow(HWND* phwnd)
{
    if (!phwnd) return E_POINTER;
    *phwnd = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL; // a windowless control has none
}

HRESULT CComControlBase::IViewObject_Draw(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, HDC hicTargetDev,
                                          HDC hdcDraw, LPCRECTL prcBounds, LPCRECTL prcWBounds)
{
    if (!hdcDraw) return E_INVALIDARG;
    RECTL rcActive{m_rcPos.left, m_rcPos.top, m_rcPos.right, m_rcPos.bottom};
    if (!prcBounds)
    {
        // Only a windowless control knows where it is on the container's context.
        if (!m_bWndLess || !m_bInPlaceActive) return E_INVALIDARG;
        prcBounds = &rcActive;
    }
    ATL_DRAWINFO di;
    di.dwDrawAspect = dwDrawAspect;
    di.lindex = lindex;
    di.ptd = ptd;
    di.hicTargetDev = hicTargetDev;
    di.hdcDraw = hdcDraw;
    di.prcBounds = prcBounds;
    di.prcWBounds = prcWBounds;
    return OnDraw(di);
}

bool CComControlBase::CreateControlWindow(HWND hwndParent)
{
    if (!RegisterControlWindowClass(&CComControlBase::WindowProc)) return false;
    m_window.Attach(::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, m_rcPos.left,
                                      m_rcPos.top, m_rcPos.right - m_rcPos.left, m_rcPos.bottom - m_rcPos.top,
                                      hwndParent, nullptr, reinterpret_cast<HINSTANCE>(&__ImageBase), nullptr));
    if (!m_window.IsValid()) return false;
    m_hWnd = m_window.Get();
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

LRESULT CALLBACK CComControlBase::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* pControl = reinterpret_cast<CComControlBase*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!pControl || (message != WM_PAINT && message != WM_PRINTCLIENT && message != WM_ERASEBKGND))
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_ERASEBKGND) return 1; // OnDraw paints every pixel it owns
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    RECTL bounds{rc.left, rc.top, rc.right, rc.bottom};
    if (message == WM_PRINTCLIENT)
    {
        pControl->IViewObject_Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, reinterpret_cast<HDC>(wParam), &bounds,
                                   nullptr);
        return 0;
    }
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(hwnd, &ps);
    if (hdc) pControl->IViewObject_Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, hdc, &bounds, nullptr);
    ::EndPaint(hwnd, &ps);
    return 0;
}
