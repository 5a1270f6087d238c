// CWnd's creation: window classes, the module and resource handles, the hook that attaches a new
// window to its object, subclassing and dialogs made from templates.
#include "framework/CWnd.h"
#include "framework/CDialogTemplateFont.h"
#include "framework/WndThreadState.h"
#include <cwchar>
#include <mutex>
#include <set>
#include <string>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
HINSTANCE g_hResource = nullptr;
} // namespace

HINSTANCE AfxGetInstanceHandle()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

HINSTANCE AfxGetResourceHandle()
{
    return g_hResource ? g_hResource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource)
{
    g_hResource = hInstResource;
}

HINSTANCE AfxFindResourceHandle(LPCWSTR lpszName, LPCWSTR lpszType)
{
    HINSTANCE hRes = AfxGetResourceHandle();
    if (::FindResourceW(hRes, lpszName, lpszType)) return hRes;
    HINSTANCE hInst = AfxGetInstanceHandle();
    if (hInst != hRes && ::FindResourceW(hInst, lpszName, lpszType)) return hInst;
    return hRes;
}

LPCWSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    static std::mutex lock;
    static std::set<std::wstring> names; // set nodes do not move: the returned pointers stay valid
    wchar_t name[96];
    HINSTANCE hInst = AfxGetInstanceHandle();
    swprintf(name, 96, L"Afx:%p:%x:%p:%p:%p", static_cast<void*>(hInst), nClassStyle, static_cast<void*>(hCursor),
             static_cast<void*>(hbrBackground), static_cast<void*>(hIcon));
    std::lock_guard<std::mutex> guard(lock);
    auto it = names.find(name);
    if (it != names.end()) return it->c_str();
    WNDCLASSW wc{};
    if (!::GetClassInfoW(hInst, name, &wc))
    {
        // Our windows are subclassed with AfxWndProc as they are created; the class itself
        // only needs the default procedure.
        wc.style = nClassStyle;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = hInst;
        wc.hCursor = hCursor;
        wc.hbrBackground = hbrBackground;
        wc.hIcon = hIcon;
        wc.lpszClassName = name;
        if (!::RegisterClassW(&wc)) return nullptr;
    }
    return names.insert(name).first->c_str();
}

// Attaches the next window created on this thread to the object being created, before its first
// message (WM_GETMINMAXINFO / WM_NCCREATE), so that WM_CREATE and WM_INITDIALOG reach the map.
class CWndCreateHook
{
public:
    explicit CWndCreateHook(CWnd* pWnd)
    {
        m_pPrevInit = WndState().pWndInit;
        WndState().pWndInit = pWnd;
        if (!WndState().hCreateHook)
        {
            WndState().hCreateHook = ::SetWindowsHookExW(WH_CBT, CbtProc, nullptr, ::GetCurrentThreadId());
            m_bInstalled = true;
        }
    }
    ~CWndCreateHook()
    {
        WndState().pWndInit = m_pPrevInit;
        if (m_bInstalled && WndState().hCreateHook)
        {
            ::UnhookWindowsHookEx(WndState().hCreateHook);
            WndState().hCreateHook = nullptr;
        }
    }
    CWndCreateHook(const CWndCreateHook&) = delete;
    CWndCreateHook& operator=(const CWndCreateHook&) = delete;

    static void SubclassNew(CWnd* pWnd, HWND hWnd)
    {
        if (!pWnd->Attach(hWnd)) return; // the object has a window already: this one stays as it is
        pWnd->PreSubclassWindow();
        auto old =
            reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
        if (old != &AfxWndProc) pWnd->m_pfnSuper = old;
    }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND && WndState().pWndInit)
        {
            CWnd* pWnd = WndState().pWndInit;
            WndState().pWndInit = nullptr; // only the first window: a dialog's controls come later
            SubclassNew(pWnd, reinterpret_cast<HWND>(wParam));
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    CWnd* m_pPrevInit = nullptr;
    bool m_bInstalled = false;
};

BOOL CWnd::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!cs.lpszClass)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    return cs.lpszClass != nullptr;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam)
{
    if (m_hWnd)
    {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    CREATESTRUCTW cs{};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle);
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = nIDorHMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs))
    {
        PostNcDestroy();
        return FALSE;
    }
    HWND hWnd;
    {
        CWndCreateHook hook(this);
        hWnd = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                                 cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    }
    // A window whose WM_CREATE failed has been destroyed (and detached) already.
    return hWnd != nullptr && m_hWnd == hWnd;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, LPVOID lpParam)
{
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, AfxGetSafeHwnd(pParentWnd),
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), lpParam);
}

BOOL CWnd::Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID, CCreateContext* pContext)
{
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID, pContext);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd) return FALSE;
    HWND h = m_hWnd;
    const bool permanent = FromHandlePermanent(h) == this;
    BOOL ok = ::DestroyWindow(h);
    // A window of another thread's map, or a temporary, still knows its (now dead) handle.
    if (!permanent && m_hWnd == h) m_hWnd = nullptr;
    return ok;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd)) return FALSE;
    PreSubclassWindow();
    auto old =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (old != &AfxWndProc) m_pfnSuper = old;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    HWND hWndControl = ::GetDlgItem(AfxGetSafeHwnd(pParent), static_cast<int>(nID));
    return hWndControl ? SubclassWindow(hWndControl) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    if (m_pfnSuper)
    {
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        m_pfnSuper = nullptr;
    }
    return Detach();
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM); // CDialog.cpp

BOOL CWnd::CreateDlgIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, HINSTANCE hInst)
{
    if (m_hWnd || !lpDialogTemplate)
    {
        ::SetLastError(m_hWnd ? ERROR_ALREADY_EXISTS : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A template whose face the system lacks is shown from a copy that names a face of its metrics.
    std::vector<BYTE> fallback;
    CDialogTemplateFont font;
    if (font.MakeFallbackCopy(lpDialogTemplate, fallback))
        lpDialogTemplate = reinterpret_cast<LPCDLGTEMPLATE>(fallback.data());
    HWND hWnd;
    {
        CWndCreateHook hook(this);
        hWnd = ::CreateDialogIndirectParamW(hInst ? hInst : AfxGetResourceHandle(), lpDialogTemplate,
                                            AfxGetSafeHwnd(pParentWnd), AfxDlgProc, 0);
    }
    // A dialog ended in its OnInitDialog is destroyed and detached already.
    return hWnd != nullptr && m_hWnd == hWnd;
}

void CWnd::PreSubclassWindow() {}
void CWnd::PostNcDestroy() {}
void CWnd::DoDataExchange(CDataExchange*) {}
