#include "framework/testing/CTestContainerSite.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
constexpr const wchar_t* kHostClass = L"LumoTestContainerHost";
}

CTestContainerSite::CTestContainerSite(bool bOfferWindowless) : m_bOfferWindowless(bOfferWindowless)
{
    const HINSTANCE hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = &CTestContainerSite::HostProc;
    wc.hInstance = hInstance;
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kHostClass;
    ::RegisterClassExW(&wc); // a second site finds the class registered
    m_host.Attach(::CreateWindowExW(0, kHostClass, L"Test container",
                                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 20, 20, 320, 200, nullptr,
                                    nullptr, hInstance, nullptr));
    if (m_host.IsValid()) ::SetWindowLongPtrW(m_host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CTestContainerSite::~CTestContainerSite()
{
    if (m_spObject) Unsite();
    if (m_host.IsValid()) ::SetWindowLongPtrW(m_host, GWLP_USERDATA, 0);
}

HRESULT CTestContainerSite::Site(IUnknown* pControl)
{
    if (!pControl || !m_host.IsValid()) return E_UNEXPECTED;
    HRESULT hr = pControl->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&m_spObject));
    if (FAILED(hr)) return hr;
    hr = m_spObject->SetClientSite(this);
    if (FAILED(hr)) return hr;
    RECT rc = kControlRect;
    return m_spObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_host, &rc);
}

HRESULT CTestContainerSite::Unsite()
{
    if (!m_spObject) return S_FALSE;
    HRESULT hr = m_spObject->Close(OLECLOSE_NOSAVE);
    const HRESULT hrSite = m_spObject->SetClientSite(nullptr);
    if (SUCCEEDED(hr)) hr = hrSite;
    m_spObject.Release();
    return hr;
}

HRESULT CTestContainerSite::Draw(HDC hdc, const RECT* pBounds)
{
    if (!m_spObject) return E_UNEXPECTED;
    CComPtr<IViewObject> view;
    HRESULT hr = m_spObject->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
    if (FAILED(hr)) return hr;
    RECTL bounds{};
    if (pBounds) bounds = RECTL{pBounds->left, pBounds->top, pBounds->right, pBounds->bottom};
    return view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, hdc, pBounds ? &bounds : nullptr, nullptr,
                      nullptr, 0);
}

LRESULT CALLBACK CTestContainerSite::HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* pSite = reinterpret_cast<CTestContainerSite*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message != WM_PAINT || !pSite || !pSite->m_bWindowlessActive)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(hwnd, &ps);
    if (hdc) pSite->Draw(hdc, &kControlRect);
    ::EndPaint(hwnd, &ps);
    return 0;
}

STDMETHODIMP CTestContainerSite::QueryInterface(REFIID iid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (::IsEqualIID(iid, IID_IOleWindow) || ::IsEqualIID(iid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSiteWindowless*>(this);
    else if (m_bOfferWindowless &&
             (::IsEqualIID(iid, IID_IOleInPlaceSiteEx) || ::IsEqualIID(iid, IID_IOleInPlaceSiteWindowless)))
        *ppv = static_cast<IOleInPlaceSiteWindowless*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CTestContainerSite::AddRef()
{
    return static_cast<ULONG>(++m_nRef);
}

STDMETHODIMP_(ULONG) CTestContainerSite::Release()
{
    return static_cast<ULONG>(--m_nRef);
}

STDMETHODIMP CTestContainerSite::SaveObject()
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk)
{
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::GetContainer(IOleContainer** ppContainer)
{
    if (ppContainer) *ppContainer = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CTestContainerSite::ShowObject()
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::OnShowWindow(BOOL)
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::GetWindow(HWND* phwnd)
{
    if (!phwnd) return E_POINTER;
    *phwnd = m_host.Get();
    return S_OK;
}

STDMETHODIMP CTestContainerSite::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::CanInPlaceActivate()
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::OnInPlaceActivate()
{
    ++m_nActivations;
    m_activateFlags = 0;
    return S_OK;
}

STDMETHODIMP CTestContainerSite::OnUIActivate()
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                                  LPRECT lprcPosRect, LPRECT lprcClipRect,
                                                  LPOLEINPLACEFRAMEINFO lpFrameInfo)
{
    if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect) return E_POINTER;
    *ppFrame = nullptr; // the host has no frame tools to offer
    *ppDoc = nullptr;
    *lprcPosRect = kControlRect;
    ::GetClientRect(m_host, lprcClipRect);
    if (lpFrameInfo)
    {
        lpFrameInfo->fMDIApp = FALSE;
        lpFrameInfo->hwndFrame = m_host.Get();
        lpFrameInfo->haccel = nullptr;
        lpFrameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP CTestContainerSite::Scroll(SIZE)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::OnUIDeactivate(BOOL)
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::OnInPlaceDeactivate()
{
    ++m_nDeactivations;
    m_bWindowlessActive = false;
    return S_OK;
}

STDMETHODIMP CTestContainerSite::DiscardUndoState()
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::DeactivateAndUndo()
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::OnPosRectChange(LPCRECT)
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::OnInPlaceActivateEx(BOOL* pfNoRedraw, DWORD dwFlags)
{
    if (pfNoRedraw) *pfNoRedraw = FALSE;
    ++m_nActivations;
    m_activateFlags = dwFlags;
    m_bWindowlessActive = (dwFlags & ACTIVATE_WINDOWLESS) != 0;
    if (m_bWindowlessActive) ::InvalidateRect(m_host, &kControlRect, TRUE);
    return S_OK;
}

STDMETHODIMP CTestContainerSite::OnInPlaceDeactivateEx(BOOL)
{
    return OnInPlaceDeactivate();
}

STDMETHODIMP CTestContainerSite::RequestUIActivate()
{
    return S_FALSE;
}

STDMETHODIMP CTestContainerSite::CanWindowlessActivate()
{
    return m_bOfferWindowless ? S_OK : S_FALSE;
}

STDMETHODIMP CTestContainerSite::GetCapture()
{
    return S_FALSE;
}

STDMETHODIMP CTestContainerSite::SetCapture(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::GetFocus()
{
    return S_FALSE;
}

STDMETHODIMP CTestContainerSite::SetFocus(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::GetDC(LPCRECT, DWORD, HDC* phDC)
{
    if (phDC) *phDC = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::ReleaseDC(HDC)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::InvalidateRect(LPCRECT prc, BOOL fErase)
{
    ++m_nInvalidations;
    ::InvalidateRect(m_host, prc ? prc : &kControlRect, fErase);
    return S_OK;
}

STDMETHODIMP CTestContainerSite::InvalidateRgn(HRGN, BOOL fErase)
{
    ++m_nInvalidations;
    ::InvalidateRect(m_host, &kControlRect, fErase);
    return S_OK;
}

STDMETHODIMP CTestContainerSite::ScrollRect(INT, INT, LPCRECT, LPCRECT)
{
    return E_NOTIMPL;
}

STDMETHODIMP CTestContainerSite::AdjustRect(LPRECT)
{
    return S_OK;
}

STDMETHODIMP CTestContainerSite::OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT* plResult)
{
    if (plResult) *plResult = 0;
    return S_FALSE;
}
