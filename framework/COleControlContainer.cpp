#include "framework/COleControlContainer.h"
#include "framework/AfxEventSinkMap.h"
#include "framework/COleControlSite.h"
#include "framework/CWnd.h"
#include "framework/CException.h"
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
constexpr const wchar_t* kNotifyClass = L"LumoOleControlContainerNotify";
constexpr UINT WM_CLOSECONTROLSITE = WM_APP + 1; // lParam: the COleControlSite* to close, if still ours

// The entry of the window's event-sink map chain for control nID's event dispid; null for none.
const AFX_EVENTSINKMAP_ENTRY* FindEventEntry(const CWnd& wnd, UINT nID, DISPID dispid)
{
    for (const AFX_EVENTSINKMAP* pMap = wnd.GetEventSinkMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr)
        for (const AFX_EVENTSINKMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pbParams; ++pEntry)
            if (pEntry->nCtlID == nID && pEntry->dispid == dispid) return pEntry;
    return nullptr;
}

// Brings one argument to the entry's type into `to`; false when it cannot be.
bool CoerceArgument(BYTE code, VARIANT& from, VARIANT& to)
{
    if (code & VTS_BYREF_FLAG)
    {
        const VARTYPE vt = static_cast<VARTYPE>(VT_BYREF | (code & ~VTS_BYREF_FLAG));
        if (from.vt == vt)
        {
            to = from; // the pointer is the caller's; nothing to free
            return true;
        }
        if (vt == (VT_BYREF | VT_VARIANT)) // a plain VARIANT is handed over as a pointer to itself
        {
            to.vt = vt;
            to.pvarVal = &from;
            return true;
        }
        return false;
    }
    if (code == VT_VARIANT) return SUCCEEDED(::VariantCopyInd(&to, &from));
    return SUCCEEDED(::VariantChangeType(&to, &from, 0, code));
}
} // namespace

void AfxDestroyControlContainer(COleControlContainer* pContainer) noexcept
{
    if (!pContainer) return;
    pContainer->DestroyAll();
    pContainer->Release();
}

COleControlContainer* COleControlContainer::Create(CWnd* pWnd)
{
    auto* pContainer = new (std::nothrow) COleControlContainer(pWnd);
    if (pContainer && !pContainer->CreateNotifyWindow())
    {
        pContainer->Release();
        return nullptr;
    }
    return pContainer;
}

COleControlContainer::~COleControlContainer()
{
    DestroyAll();
}

bool COleControlContainer::CreateNotifyWindow()
{
    const HINSTANCE hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = &COleControlContainer::NotifyProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kNotifyClass;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    m_notify.Attach(::CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance, nullptr));
    if (!m_notify.IsValid()) return false;
    ::SetWindowLongPtrW(m_notify, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

HRESULT COleControlContainer::CreateControl(CWnd* pWndCtrl, REFCLSID clsid, LPCWSTR lpszWindowName, DWORD dwStyle,
                                            const RECT& rect, UINT nID, BSTR bstrLicKey)
{
    auto* pSite = new (std::nothrow) COleControlSite(this, nID);
    if (!pSite) return E_OUTOFMEMORY;
    try
    {
        m_sites.push_back(pSite);
    }
    catch (...)
    {
        pSite->Release();
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = pSite->CreateControl(pWndCtrl, clsid, lpszWindowName, dwStyle, rect, bstrLicKey);
    if (FAILED(hr)) CloseSite(pSite);
    return hr;
}

void COleControlContainer::DestroyAll()
{
    // Closing a control may run messages that reach us: take the list over first.
    std::vector<COleControlSite*> sites;
    sites.swap(m_sites);
    for (COleControlSite* pSite : sites)
    {
        pSite->DestroyControl();
        pSite->ForgetContainer();
        pSite->Release();
    }
    if (m_pActiveObject) std::exchange(m_pActiveObject, nullptr)->Release();
}

void COleControlContainer::CloseSite(COleControlSite* pSite)
{
    auto it = std::find(m_sites.begin(), m_sites.end(), pSite);
    if (it == m_sites.end()) return;
    m_sites.erase(it);
    pSite->DestroyControl();
    pSite->ForgetContainer();
    pSite->Release();
}

void COleControlContainer::ScheduleClose(COleControlSite* pSite)
{
    // Without the notify window there is no later: the container's end closes it.
    if (m_notify.IsValid()) ::PostMessageW(m_notify, WM_CLOSECONTROLSITE, 0, reinterpret_cast<LPARAM>(pSite));
}

LRESULT CALLBACK COleControlContainer::NotifyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* pContainer = reinterpret_cast<COleControlContainer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message != WM_CLOSECONTROLSITE || !pContainer) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    pContainer->AddRef(); // a control's close may let go of the last reference to us
    pContainer->CloseSite(reinterpret_cast<COleControlSite*>(lParam));
    pContainer->Release();
    return 0;
}

HRESULT COleControlContainer::OnEvent(UINT nID, DISPID dispid, DISPPARAMS* pDispParams, UINT* puArgErr)
{
    if (!m_pWnd) return S_OK;
    const AFX_EVENTSINKMAP_ENTRY* pEntry = FindEventEntry(*m_pWnd, nID, dispid);
    if (!pEntry) return S_OK; // nobody listens: not the control's fault
    const size_t nParams = std::strlen(pEntry->pbParams);
    const UINT nArgs = pDispParams ? pDispParams->cArgs : 0;
    if (nArgs != nParams || (nArgs && !pDispParams->rgvarg)) return DISP_E_BADPARAMCOUNT;
    std::vector<VARIANT> args(nParams);
    for (VARIANT& v : args)
        ::VariantInit(&v);
    HRESULT hr = S_OK;
    for (size_t i = 0; i < nParams && SUCCEEDED(hr); ++i)
    {
        const size_t slot = nArgs - 1 - i; // rgvarg holds the last argument first
        if (!CoerceArgument(static_cast<BYTE>(pEntry->pbParams[i]), pDispParams->rgvarg[slot], args[i]))
        {
            hr = DISP_E_TYPEMISMATCH;
            if (puArgErr) *puArgErr = static_cast<UINT>(slot);
        }
    }
    if (SUCCEEDED(hr))
    {
        CWnd* pWnd = m_pWnd;
        AddRef(); // the handler may destroy the window, and with it this container
        try
        {
            pEntry->pfn(pWnd, args.data());
        }
        catch (CException* e)
        {
            e->Delete();
            hr = E_UNEXPECTED;
        }
        catch (...)
        {
            hr = E_UNEXPECTED;
        }
        Release();
    }
    for (size_t i = 0; i < nParams; ++i)
        if (!(pEntry->pbParams[i] & VTS_BYREF_FLAG)) ::VariantClear(&args[i]);
    return hr;
}

STDMETHODIMP COleControlContainer::QueryInterface(REFIID iid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IOleWindow) ||
        ::IsEqualIID(iid, IID_IOleInPlaceUIWindow) || ::IsEqualIID(iid, IID_IOleInPlaceFrame))
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else if (::IsEqualIID(iid, IID_IParseDisplayName) || ::IsEqualIID(iid, IID_IOleContainer))
        *ppv = static_cast<IOleContainer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControlContainer::AddRef()
{
    return static_cast<ULONG>(++m_nRef);
}

STDMETHODIMP_(ULONG) COleControlContainer::Release()
{
    const LONG count = --m_nRef;
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP COleControlContainer::GetWindow(HWND* phwnd)
{
    if (!phwnd) return E_POINTER;
    *phwnd = m_pWnd ? m_pWnd->GetSafeHwnd() : nullptr;
    return *phwnd ? S_OK : E_FAIL;
}

STDMETHODIMP COleControlContainer::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP COleControlContainer::GetBorder(LPRECT lprectBorder)
{
    if (!lprectBorder) return E_POINTER;
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP COleControlContainer::RequestBorderSpace(LPCBORDERWIDTHS)
{
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP COleControlContainer::SetBorderSpace(LPCBORDERWIDTHS pborderwidths)
{
    // "No tools" is always granted; any space asked for is not there.
    if (!pborderwidths) return S_OK;
    const bool none = !pborderwidths->left && !pborderwidths->top && !pborderwidths->right && !pborderwidths->bottom;
    return none ? S_OK : OLE_E_INVALIDRECT;
}

STDMETHODIMP COleControlContainer::SetActiveObject(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR)
{
    if (pActiveObject) pActiveObject->AddRef();
    if (m_pActiveObject) m_pActiveObject->Release();
    m_pActiveObject = pActiveObject;
    return S_OK;
}

STDMETHODIMP COleControlContainer::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS lpMenuWidths)
{
    if (lpMenuWidths)
        for (LONG& width : lpMenuWidths->width)
            width = 0;
    return S_OK;
}

STDMETHODIMP COleControlContainer::SetMenu(HMENU, HOLEMENU, HWND)
{
    return S_OK;
}

STDMETHODIMP COleControlContainer::RemoveMenus(HMENU)
{
    return S_OK;
}

STDMETHODIMP COleControlContainer::SetStatusText(LPCOLESTR)
{
    return S_OK;
}

STDMETHODIMP COleControlContainer::EnableModeless(BOOL)
{
    return S_OK;
}

STDMETHODIMP COleControlContainer::TranslateAccelerator(LPMSG, WORD)
{
    return S_FALSE;
}

STDMETHODIMP COleControlContainer::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG* pchEaten, IMoniker** ppmkOut)
{
    if (pchEaten) *pchEaten = 0;
    if (ppmkOut) *ppmkOut = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlContainer::EnumObjects(DWORD, IEnumUnknown** ppenum)
{
    if (ppenum) *ppenum = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControlContainer::LockContainer(BOOL)
{
    return S_OK;
}
