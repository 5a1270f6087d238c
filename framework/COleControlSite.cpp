#include "framework/COleControlSite.h"
#include "framework/COleControlContainer.h"
#include "framework/CWnd.h"
#include <olectl.h>
#include <new>

namespace
{
constexpr const wchar_t* kSiteProperty = L"LumoOleControlSite";

// The default source interface of the control: from IProvideClassInfo2, else from its coclass's
// type information (the interface marked default and source).
HRESULT FindDefaultSourceIid(IUnknown* pObject, IID* pIid)
{
    CComPtr<IProvideClassInfo2> info2;
    if (SUCCEEDED(pObject->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info2))) &&
        SUCCEEDED(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, pIid)))
        return S_OK;
    CComPtr<IProvideClassInfo> info;
    HRESULT hr = pObject->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&info));
    if (FAILED(hr)) return hr;
    CComPtr<ITypeInfo> coclass;
    hr = info->GetClassInfo(&coclass);
    if (FAILED(hr)) return hr;
    TYPEATTR* pAttr = nullptr;
    hr = coclass->GetTypeAttr(&pAttr);
    if (FAILED(hr)) return hr;
    const WORD nImpl = pAttr->cImplTypes;
    coclass->ReleaseTypeAttr(pAttr);
    for (UINT i = 0; i < nImpl; ++i)
    {
        INT flags = 0;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
        if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
            continue;
        HREFTYPE ref = 0;
        CComPtr<ITypeInfo> source;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, &source))) continue;
        TYPEATTR* pSourceAttr = nullptr;
        if (FAILED(source->GetTypeAttr(&pSourceAttr))) continue;
        *pIid = pSourceAttr->guid;
        source->ReleaseTypeAttr(pSourceAttr);
        return S_OK;
    }
    return E_NOINTERFACE;
}

OLE_COLOR SystemColor(int index)
{
    return 0x80000000u | static_cast<OLE_COLOR>(index); // OLE's "system colour" form
}
} // namespace

COleControlSite::COleControlSite(COleControlContainer* pContainer, UINT nID) : m_pCtrlCont(pContainer), m_nID(nID) {}

COleControlSite::~COleControlSite()
{
    ReleaseEverything();
}

HRESULT COleControlSite::CreateControl(CWnd* pWndCtrl, REFCLSID clsid, LPCWSTR lpszWindowName, DWORD dwStyle,
                                       const RECT& rect, BSTR bstrLicKey)
{
    try
    {
        m_strName = lpszWindowName ? lpszWindowName : L"";
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    m_rect = rect;
    HRESULT hr = MakeObject(clsid, bstrLicKey);
    if (SUCCEEDED(hr)) hr = InitObject();
    if (SUCCEEDED(hr))
    {
        AdviseEvents();
        RECT rc = m_rect;
        hr = m_spObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, ParentWindow(), &rc);
    }
    if (SUCCEEDED(hr)) hr = AttachWindow(pWndCtrl, dwStyle);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT COleControlSite::MakeObject(REFCLSID clsid, BSTR bstrLicKey)
{
    CComPtr<IUnknown> object;
    HRESULT hr;
    if (bstrLicKey)
    {
        CComPtr<IClassFactory2> factory;
        hr = ::CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory2,
                                reinterpret_cast<void**>(&factory));
        if (SUCCEEDED(hr))
            hr = factory->CreateInstanceLic(nullptr, nullptr, IID_IUnknown, bstrLicKey,
                                            reinterpret_cast<void**>(&object));
    }
    else
    {
        CComPtr<IClassFactory> factory;
        hr = ::CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
        if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
    }
    if (FAILED(hr)) return hr;
    hr = object->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&m_spObject));
    if (FAILED(hr)) return hr;
    object->QueryInterface(IID_IDispatch,
                           reinterpret_cast<void**>(&m_spDispatch)); // a control without one is only shown
    return S_OK;
}

HRESULT COleControlSite::InitObject()
{
    DWORD dwMiscStatus = 0;
    m_spObject->GetMiscStatus(DVASPECT_CONTENT, &dwMiscStatus);
    const bool bSiteFirst = (dwMiscStatus & OLEMISC_SETCLIENTSITEFIRST) != 0;
    HRESULT hr = S_OK;
    if (bSiteFirst) hr = m_spObject->SetClientSite(this);
    if (FAILED(hr)) return hr;
    CComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(m_spObject->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist))))
    {
        hr = persist->InitNew();
        if (FAILED(hr)) return hr;
    }
    if (!bSiteFirst) hr = m_spObject->SetClientSite(this);
    if (FAILED(hr)) return hr;
    SIZEL extent{};
    const HWND hwndParent = ParentWindow();
    if (HDC hdc = ::GetDC(hwndParent))
    {
        // HIMETRIC: hundredths of a millimetre
        extent.cx = ::MulDiv(m_rect.right - m_rect.left, 2540, ::GetDeviceCaps(hdc, LOGPIXELSX));
        extent.cy = ::MulDiv(m_rect.bottom - m_rect.top, 2540, ::GetDeviceCaps(hdc, LOGPIXELSY));
        ::ReleaseDC(hwndParent, hdc);
        m_spObject->SetExtent(DVASPECT_CONTENT, &extent); // a control of fixed size may refuse
    }
    return S_OK;
}

void COleControlSite::AdviseEvents()
{
    IID iid{};
    CComPtr<IConnectionPointContainer> points;
    if (FAILED(FindDefaultSourceIid(m_spObject, &iid)) ||
        FAILED(m_spObject->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points))))
        return; // a control without events
    CComPtr<IConnectionPoint> point;
    if (FAILED(points->FindConnectionPoint(iid, &point))) return;
    m_sink.m_iid = iid;
    DWORD cookie = 0;
    if (FAILED(point->Advise(static_cast<IDispatch*>(&m_sink), &cookie))) return;
    m_spEventPoint = point;
    m_dwEventCookie = cookie;
}

void COleControlSite::UnadviseEvents()
{
    if (!m_spEventPoint) return;
    m_spEventPoint->Unadvise(m_dwEventCookie);
    m_spEventPoint.Release();
    m_dwEventCookie = 0;
}

HRESULT COleControlSite::AttachWindow(CWnd* pWndCtrl, DWORD dwStyle)
{
    if (!m_spInPlaceObject) return E_FAIL; // windowless or not active: not a control we can host
    HWND hwnd = nullptr;
    HRESULT hr = m_spInPlaceObject->GetWindow(&hwnd);
    if (FAILED(hr) || !hwnd) return FAILED(hr) ? hr : E_FAIL;
    RECT rc = m_rect;
    m_spInPlaceObject->SetObjectRects(&rc, &rc);
    ::SetWindowLongPtrW(hwnd, GWLP_ID, static_cast<LONG_PTR>(m_nID));
    ::ShowWindow(hwnd, (dwStyle & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
    if (dwStyle & WS_DISABLED) ::EnableWindow(hwnd, FALSE);
    if (!::SetPropW(hwnd, kSiteProperty, this)) return HRESULT_FROM_WIN32(::GetLastError());
    m_hWndCtrl = hwnd;
    m_pfnControlProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&COleControlSite::ControlWindowProc)));
    if (!pWndCtrl->SubclassWindow(hwnd)) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    m_pWndCtrl = pWndCtrl;
    pWndCtrl->m_pCtrlSite = this;
    return S_OK;
}

void COleControlSite::DestroyControl()
{
    if (m_bDestroying) return;
    m_bDestroying = true;
    AddRef(); // the control's last release of us must not end us halfway
    UnadviseEvents();
    if (m_spObject) m_spObject->Close(OLECLOSE_NOSAVE);
    // A control that leaves its window behind: it goes now, with the CWnd that wraps it.
    if (m_hWndCtrl && ::IsWindow(m_hWndCtrl)) ::DestroyWindow(m_hWndCtrl);
    if (m_spObject) m_spObject->SetClientSite(nullptr);
    ReleaseEverything();
    Release();
}

void COleControlSite::ReleaseEverything()
{
    if (m_pWndCtrl)
    {
        m_pWndCtrl->m_pCtrlSite = nullptr;
        m_pWndCtrl = nullptr;
    }
    m_spEventPoint.Release();
    m_spInPlaceObject.Release();
    m_spDispatch.Release();
    m_spObject.Release();
}

HWND COleControlSite::ParentWindow() const noexcept
{
    return m_pCtrlCont && m_pCtrlCont->GetWindowObject() ? m_pCtrlCont->GetWindowObject()->GetSafeHwnd() : nullptr;
}

LRESULT CALLBACK COleControlSite::ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* pSite = static_cast<COleControlSite*>(::GetPropW(hwnd, kSiteProperty));
    if (!pSite) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return pSite->OnControlWindowMessage(hwnd, message, wParam, lParam);
}

LRESULT COleControlSite::OnControlWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC pfnControl = m_pfnControlProc;
    if (message == WM_DESTROY && !m_bDestroying) UnadviseEvents(); // no event reaches a window that is going
    if (message != WM_NCDESTROY) return ::CallWindowProcW(pfnControl, hwnd, message, wParam, lParam);

    ::RemovePropW(hwnd, kSiteProperty); // the window's last message: nothing to unhook beneath its CWnd
    AddRef();
    const LRESULT result = ::CallWindowProcW(pfnControl, hwnd, message, wParam, lParam);
    m_hWndCtrl = nullptr;
    m_pfnControlProc = nullptr;
    if (m_pWndCtrl) // it detaches itself after us
    {
        m_pWndCtrl->m_pCtrlSite = nullptr;
        m_pWndCtrl = nullptr;
    }
    if (!m_bDestroying && m_pCtrlCont) m_pCtrlCont->ScheduleClose(this);
    Release();
    return result;
}

// ---- IUnknown ----------------------------------------------------------------------------------

STDMETHODIMP COleControlSite::QueryInterface(REFIID iid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (::IsEqualIID(iid, IID_IOleWindow) || ::IsEqualIID(iid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (::IsEqualIID(iid, IID_IOleControlSite))
        *ppv = static_cast<IOleControlSite*>(this);
    else if (::IsEqualIID(iid, IID_IDispatch))
        *ppv = static_cast<IDispatch*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControlSite::AddRef()
{
    return static_cast<ULONG>(++m_nRef);
}

STDMETHODIMP_(ULONG) COleControlSite::Release()
{
    const LONG count = --m_nRef;
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

// ---- IOleClientSite ----------------------------------------------------------------------------

STDMETHODIMP COleControlSite::SaveObject()
{
    return E_NOTIMPL; // nothing is kept beyond InitNew
}

STDMETHODIMP COleControlSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk)
{
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::GetContainer(IOleContainer** ppContainer)
{
    if (!ppContainer) return E_POINTER;
    *ppContainer = nullptr;
    if (!m_pCtrlCont) return E_NOINTERFACE;
    return m_pCtrlCont->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(ppContainer));
}

STDMETHODIMP COleControlSite::ShowObject()
{
    return S_OK;
}

STDMETHODIMP COleControlSite::OnShowWindow(BOOL)
{
    return S_OK;
}

STDMETHODIMP COleControlSite::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

// ---- IOleInPlaceSite ---------------------------------------------------------------------------

STDMETHODIMP COleControlSite::GetWindow(HWND* phwnd)
{
    if (!phwnd) return E_POINTER;
    *phwnd = ParentWindow();
    return *phwnd ? S_OK : E_FAIL;
}

STDMETHODIMP COleControlSite::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::CanInPlaceActivate()
{
    return m_bDestroying ? S_FALSE : S_OK;
}

STDMETHODIMP COleControlSite::OnInPlaceActivate()
{
    m_spInPlaceObject.Release();
    if (!m_spObject) return E_UNEXPECTED;
    return m_spObject->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_spInPlaceObject));
}

STDMETHODIMP COleControlSite::OnUIActivate()
{
    return S_OK;
}

STDMETHODIMP COleControlSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                               LPRECT lprcPosRect, LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO lpFrameInfo)
{
    if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect) return E_POINTER;
    *ppFrame = nullptr;
    *ppDoc = nullptr; // the frame is the only UI window there is
    if (!m_pCtrlCont) return E_UNEXPECTED;
    m_pCtrlCont->QueryInterface(IID_IOleInPlaceFrame, reinterpret_cast<void**>(ppFrame));
    const HWND hwndParent = ParentWindow();
    *lprcPosRect = m_rect;
    ::GetClientRect(hwndParent, lprcClipRect);
    if (lpFrameInfo)
    {
        lpFrameInfo->fMDIApp = FALSE;
        lpFrameInfo->hwndFrame = ::GetAncestor(hwndParent, GA_ROOT);
        lpFrameInfo->haccel = nullptr;
        lpFrameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP COleControlSite::Scroll(SIZE)
{
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::OnUIDeactivate(BOOL)
{
    return S_OK;
}

STDMETHODIMP COleControlSite::OnInPlaceDeactivate()
{
    m_spInPlaceObject.Release();
    return S_OK;
}

STDMETHODIMP COleControlSite::DiscardUndoState()
{
    return S_OK;
}

STDMETHODIMP COleControlSite::DeactivateAndUndo()
{
    return m_spInPlaceObject ? m_spInPlaceObject->UIDeactivate() : S_OK;
}

STDMETHODIMP COleControlSite::OnPosRectChange(LPCRECT lprcPosRect)
{
    if (!lprcPosRect) return E_POINTER;
    m_rect = *lprcPosRect;
    if (!m_spInPlaceObject) return S_OK;
    RECT clip{};
    ::GetClientRect(ParentWindow(), &clip);
    return m_spInPlaceObject->SetObjectRects(&m_rect, &clip);
}

// ---- IOleControlSite ---------------------------------------------------------------------------

STDMETHODIMP COleControlSite::OnControlInfoChanged()
{
    return S_OK;
}

STDMETHODIMP COleControlSite::LockInPlaceActive(BOOL)
{
    return S_OK;
}

STDMETHODIMP COleControlSite::GetExtendedControl(IDispatch** ppDisp)
{
    if (!ppDisp) return E_POINTER;
    *ppDisp = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::TransformCoords(POINTL* pPtlHimetric, POINTF* pPtfContainer, DWORD dwFlags)
{
    if (!pPtlHimetric || !pPtfContainer) return E_POINTER;
    const HWND hwndParent = ParentWindow();
    HDC hdc = ::GetDC(hwndParent);
    if (!hdc) return E_FAIL;
    const float dpiX = static_cast<float>(::GetDeviceCaps(hdc, LOGPIXELSX));
    const float dpiY = static_cast<float>(::GetDeviceCaps(hdc, LOGPIXELSY));
    ::ReleaseDC(hwndParent, hdc);
    if (dwFlags & XFORMCOORDS_HIMETRICTOCONTAINER)
    {
        pPtfContainer->x = static_cast<float>(pPtlHimetric->x) * dpiX / 2540.0f;
        pPtfContainer->y = static_cast<float>(pPtlHimetric->y) * dpiY / 2540.0f;
    }
    else if (dwFlags & XFORMCOORDS_CONTAINERTOHIMETRIC)
    {
        pPtlHimetric->x = static_cast<LONG>(pPtfContainer->x * 2540.0f / dpiX + 0.5f);
        pPtlHimetric->y = static_cast<LONG>(pPtfContainer->y * 2540.0f / dpiY + 0.5f);
    }
    else
        return E_INVALIDARG;
    return S_OK;
}

STDMETHODIMP COleControlSite::TranslateAccelerator(MSG*, DWORD)
{
    return S_FALSE;
}

STDMETHODIMP COleControlSite::OnFocus(BOOL)
{
    return S_OK;
}

STDMETHODIMP COleControlSite::ShowPropertyFrame()
{
    return E_NOTIMPL; // no property pages
}

// ---- IDispatch: ambient properties -----------------------------------------------------------

STDMETHODIMP COleControlSite::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP COleControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP COleControlSite::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO*, UINT*)
{
    if (!(wFlags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND; // ambients are read only
    if (pDispParams && pDispParams->cArgs) return DISP_E_BADPARAMCOUNT;
    VARIANT result;
    ::VariantInit(&result);
    const HRESULT hr = GetAmbientProperty(dispIdMember, &result);
    if (FAILED(hr)) return hr;
    if (pVarResult)
        *pVarResult = result; // handed over
    else
        ::VariantClear(&result);
    return S_OK;
}

HRESULT COleControlSite::GetAmbientProperty(DISPID dispid, VARIANT* pResult) const
{
    switch (dispid)
    {
    case DISPID_AMBIENT_USERMODE:
        pResult->vt = VT_BOOL;
        pResult->boolVal = VARIANT_TRUE;
        return S_OK;
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_DISPLAYASDEFAULT:
    case DISPID_AMBIENT_SUPPORTSMNEMONICS:
    case DISPID_AMBIENT_MESSAGEREFLECT:
        pResult->vt = VT_BOOL;
        pResult->boolVal = VARIANT_FALSE;
        return S_OK;
    case DISPID_AMBIENT_LOCALEID:
        pResult->vt = VT_I4;
        pResult->lVal = static_cast<LONG>(::GetUserDefaultLCID());
        return S_OK;
    case DISPID_AMBIENT_BACKCOLOR:
        pResult->vt = VT_I4;
        pResult->lVal = static_cast<LONG>(SystemColor(COLOR_WINDOW));
        return S_OK;
    case DISPID_AMBIENT_FORECOLOR:
        pResult->vt = VT_I4;
        pResult->lVal = static_cast<LONG>(SystemColor(COLOR_WINDOWTEXT));
        return S_OK;
    case DISPID_AMBIENT_DISPLAYNAME:
        pResult->bstrVal = ::SysAllocString(m_strName.GetString());
        if (!pResult->bstrVal) return E_OUTOFMEMORY;
        pResult->vt = VT_BSTR;
        return S_OK;
    case DISPID_AMBIENT_FONT: {
        // The parent's font, else the GUI font, as a font object of its own
        HFONT hFont = reinterpret_cast<HFONT>(::SendMessageW(ParentWindow(), WM_GETFONT, 0, 0));
        if (!hFont) hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
        LOGFONTW lf{};
        if (!::GetObjectW(hFont, sizeof(lf), &lf)) return E_FAIL;
        FONTDESC desc{sizeof(desc)};
        desc.lpstrName = lf.lfFaceName;
        const LONG height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        desc.cySize.int64 = static_cast<LONGLONG>(height) * 72 * 10000 / 96; // points in CY units
        desc.sWeight = static_cast<SHORT>(lf.lfWeight);
        desc.sCharset = lf.lfCharSet;
        desc.fItalic = lf.lfItalic;
        desc.fUnderline = lf.lfUnderline;
        desc.fStrikethrough = lf.lfStrikeOut;
        IDispatch* pFont = nullptr;
        const HRESULT hr = ::OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&pFont));
        if (FAILED(hr)) return hr;
        pResult->vt = VT_DISPATCH;
        pResult->pdispVal = pFont;
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---- the event sink ----------------------------------------------------------------------------

STDMETHODIMP COleControlSite::CEventSink::QueryInterface(REFIID iid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IDispatch) && !::IsEqualIID(iid, m_iid))
        return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP COleControlSite::CEventSink::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP COleControlSite::CEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo) *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlSite::CEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP COleControlSite::CEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                                                 VARIANT* pVarResult, EXCEPINFO*, UINT* puArgErr)
{
    if (pVarResult) ::VariantInit(pVarResult);
    if (!m_site.m_pCtrlCont || !m_site.m_spEventPoint) return S_OK; // unadvised while the event was on its way
    COleControlSite* pSite = &m_site;
    pSite->AddRef(); // a handler may destroy the control, and the site with it
    const HRESULT hr = pSite->m_pCtrlCont->OnEvent(pSite->m_nID, dispIdMember, pDispParams, puArgErr);
    pSite->Release();
    return hr;
}
