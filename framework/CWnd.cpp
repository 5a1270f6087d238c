#include "framework/CWnd.h"
#include "framework/AfxMessageBox.h"
#include "framework/CTempHandleMap.h"
#include "framework/CException.h"
#include "framework/CWinThread.h"
#include <mutex>
#include <set>
#include <string>
#include <cwchar>
#include <unordered_map>
#include <utility>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
// Everything a thread knows about its windows.
struct WndThreadState
{
    std::unordered_map<HWND, CWnd*> permanent;
    std::unordered_map<HWND, CWnd*> temporary;
    MSG lastSent{};           // the message of the innermost window procedure (for Default)
    CWnd* pWndInit = nullptr; // the object the next window created on this thread belongs to
    HHOOK hCreateHook = nullptr;
    HWND hLockoutNotify = nullptr; // the window whose UpdateData is running (see OnCommand)
    // The other kinds of temporary wrappers the thread has made (CTempHandleMap): emptied at idle
    // time, freed with this state.
    std::vector<std::pair<void (*)(), void (*)()>> tempMaps;
    ~WndThreadState()
    {
        for (auto& [h, p] : temporary)
        {
            p->m_hWnd = nullptr;
            delete p;
        }
    }
};

// Thread-local objects with destructors would make the runtime register per-thread destructors,
// which deadlocks at process exit under MinGW's thread library when threads end in certain ways;
// the state is reached through a plain pointer and freed by our thread's end instead.
thread_local WndThreadState* t_pWndState = nullptr;

void FreeWndThreadState()
{
    if (!t_pWndState) return;
    for (auto& [pfnDeleteAll, pfnFree] : t_pWndState->tempMaps)
        pfnFree();
    delete t_pWndState;
    t_pWndState = nullptr;
}

WndThreadState& WndState()
{
    if (!t_pWndState)
    {
        t_pWndState = new WndThreadState;
        AfxRegisterThreadCleanup(&FreeWndThreadState);
    }
    return *t_pWndState;
}

HINSTANCE g_hResource = nullptr;
} // namespace

// UpdateData (CDataExchange.cpp) marks its window while it runs; returns the previous mark.
HWND AfxSetLockoutNotifyWindow(HWND hWnd)
{
    return std::exchange(WndState().hLockoutNotify, hWnd);
}

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

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

// ---- handle map ----------------------------------------------------------------------------

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
    {
        // The derived part is gone already: only the default handling can still run.
        DestroyWindow();
        if (m_hWnd) Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd) return nullptr;
    auto it = WndState().permanent.find(hWnd);
    return it == WndState().permanent.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd) return nullptr;
    if (CWnd* p = FromHandlePermanent(hWnd)) return p;
    auto& temp = WndState().temporary;
    auto it = temp.find(hWnd);
    if (it != temp.end()) return it->second;
    auto* p = new CWnd;
    p->m_hWnd = hWnd;
    temp.emplace(hWnd, p);
    return p;
}

void CWnd::DeleteTempMap()
{
    auto temp = std::move(WndState().temporary);
    WndState().temporary.clear();
    for (auto& [h, p] : temp)
    {
        p->m_hWnd = nullptr; // borrowed: never destroyed by its wrapper
        delete p;
    }
    // The other kinds of temporary wrappers go at the same idle time.
    for (auto& [pfnDeleteAll, pfnFree] : WndState().tempMaps)
        pfnDeleteAll();
}

void AfxRegisterTempMap(void (*pfnDeleteAll)(), void (*pfnFree)())
{
    WndState().tempMaps.emplace_back(pfnDeleteAll, pfnFree);
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (!hWndNew || m_hWnd || FromHandlePermanent(hWndNew)) return FALSE;
    // A temporary wrapper of the same handle would shadow nothing, but would outlive its use.
    auto it = WndState().temporary.find(hWndNew);
    if (it != WndState().temporary.end())
    {
        it->second->m_hWnd = nullptr;
        delete it->second;
        WndState().temporary.erase(it);
    }
    WndState().permanent.emplace(hWndNew, this);
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND h = m_hWnd;
    if (h)
    {
        auto it = WndState().permanent.find(h);
        if (it != WndState().permanent.end() && it->second == this) WndState().permanent.erase(it);
    }
    m_hWnd = nullptr;
    return h;
}

// ---- creation ------------------------------------------------------------------------------

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
        pWnd->Attach(hWnd);
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
    HWND hWnd;
    {
        CWndCreateHook hook(this);
        hWnd = ::CreateDialogIndirectParamW(hInst ? hInst : AfxGetResourceHandle(), lpDialogTemplate,
                                            AfxGetSafeHwnd(pParentWnd), AfxDlgProc, 0);
    }
    // A dialog ended in its OnInitDialog is destroyed and detached already.
    return hWnd != nullptr && m_hWnd == hWnd;
}

int CWnd::RunModalLoop(DWORD dwFlags)
{
    bool idle = true;
    bool showOnIdle = (dwFlags & MLF_SHOWONIDLE) && !(GetStyle() & WS_VISIBLE);
    int sinceIdle = 0;
    HWND hWndParent = ::GetParent(m_hWnd);
    m_bContinueModal = true; // callers that may end before the loop starts check ContinueModal first
    m_bInModalLoop = true;
    MSG msg;
    auto showNow = [&] {
        if (!showOnIdle) return;
        ShowWindow(SW_SHOWNORMAL);
        UpdateWindow();
        showOnIdle = false;
    };
    while (ContinueModal())
    {
        while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
        {
            showNow();
            if (!(dwFlags & MLF_NOIDLEMSG) && hWndParent)
                ::SendMessageW(hWndParent, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(m_hWnd));
            idle = false;
        }
        if (!ContinueModal()) break;
        // The window shows even when messages never stop coming (timers of other windows).
        if (++sinceIdle > 50) showNow();
        if (!AfxPumpMessage())
        {
            CWinThread* pThread = AfxGetThread();
            AfxPostQuitMessage(pThread ? static_cast<int>(pThread->m_msgCur.wParam) : 0);
            break;
        }
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
        {
            idle = true;
            sinceIdle = 0;
        }
    }
    m_bInModalLoop = false;
    return m_nModalResult;
}

BOOL CWnd::ContinueModal()
{
    return m_bContinueModal && m_hWnd;
}

void CWnd::EndModalLoop(int nResult)
{
    m_nModalResult = nResult;
    if (m_bContinueModal)
    {
        m_bContinueModal = false;
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0); // wakes a loop waiting in GetMessage
    }
}

void CWnd::PreSubclassWindow() {}
void CWnd::PostNcDestroy() {}
void CWnd::DoDataExchange(CDataExchange*) {}

// ---- message flow --------------------------------------------------------------------------

const MSG* CWnd::GetCurrentMessage()
{
    return &WndState().lastSent;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return AfxCallWndProc(pWnd, hWnd, message, wParam, lParam);
}

LRESULT AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG& cur = WndState().lastSent;
    const MSG saved = cur;
    cur.hwnd = hWnd;
    cur.message = message;
    cur.wParam = wParam;
    cur.lParam = lParam;
    LRESULT result = 0;
    // Nothing may cross into the system's code: it calls us back without any unwind tables.
    try
    {
        result = pWnd->WindowProc(message, wParam, lParam);
    }
    catch (CException* e)
    {
        const MSG failed = cur;
        CWinThread* pThread = AfxGetThread();
        result = pThread ? pThread->ProcessWndProcException(e, &failed) : AfxProcessWndProcException(e, &failed);
    }
    catch (...)
    {
        const MSG failed = cur;
        CWinThread* pThread = AfxGetThread();
        result =
            pThread ? pThread->ProcessWndProcException(nullptr, &failed) : AfxProcessWndProcException(nullptr, &failed);
    }
    // A handler of WM_NCDESTROY that did not call the base leaves the object attached to a dead
    // handle: finish the job (pWnd may be gone, so ask the map, not the object).
    if (message == WM_NCDESTROY)
        if (CWnd* pStill = CWnd::FromHandlePermanent(hWnd); pStill == pWnd)
        {
            pStill->m_pfnSuper = nullptr;
            pStill->Detach();
            pStill->PostNcDestroy();
        }
    cur = saved;
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& cur = WndState().lastSent;
    return DefWindowProc(cur.message, cur.wParam, cur.lParam);
}

namespace
{
bool IsCtlColorMessage(UINT message)
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

// The child window a parent's message concerns, for reflection.
HWND ReflectedChildOf(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsCtlColorMessage(message)) return reinterpret_cast<HWND>(lParam);
    switch (message)
    {
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
        return dis && dis->CtlType != ODT_MENU ? dis->hwndItem : nullptr;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        return reinterpret_cast<HWND>(lParam);
    case WM_DELETEITEM: {
        auto* di = reinterpret_cast<LPDELETEITEMSTRUCT>(lParam);
        return di ? di->hwndItem : nullptr;
    }
    case WM_COMPAREITEM: {
        auto* ci = reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam);
        return ci ? ci->hwndItem : nullptr;
    }
    default:
        (void)wParam;
        return nullptr;
    }
}
} // namespace

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    LRESULT result = 0;
    BOOL handled = FALSE;
    if (message == WM_COMMAND)
    {
        handled = OnCommand(wParam, lParam);
        result = 1;
    }
    else if (message == WM_NOTIFY)
    {
        auto* nmhdr = reinterpret_cast<NMHDR*>(lParam);
        if (nmhdr && nmhdr->hwndFrom) handled = OnNotify(wParam, lParam, &result);
    }
    else
    {
        handled = DispatchMessageEntry(message, wParam, lParam, &result);
        if (!handled && message == WM_NCDESTROY)
        {
            OnNcDestroy();
            handled = TRUE;
        }
        else if (!handled && message == WM_NOTIFYFORMAT && lParam == NF_QUERY)
        {
            // Our handlers read the W forms of notifications (LVN_GETDISPINFOW, HDN_*W), whatever
            // procedure this window subclassed (an ANSI dialog class, say) would have answered.
            result = NFR_UNICODE;
            handled = TRUE;
        }
        else if (!handled && message == WM_MEASUREITEM)
        {
            // The control does not exist yet when its first WM_MEASUREITEM arrives during creation:
            // find it by id.
            auto* mis = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
            if (mis && mis->CtlType != ODT_MENU)
                if (CWnd* pChild = FromHandlePermanent(::GetDlgItem(m_hWnd, static_cast<int>(mis->CtlID))))
                    handled = pChild->OnChildNotify(message, wParam, lParam, &result);
        }
        else if (!handled)
        {
            if (HWND hChild = ReflectedChildOf(message, wParam, lParam))
                if (CWnd* pChild = FromHandlePermanent(hChild); pChild && hChild != m_hWnd)
                    handled = pChild->OnChildNotify(message, wParam, lParam, &result);
        }
    }
    if (handled && pResult) *pResult = result;
    return handled;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    const int nCode = HIWORD(wParam);
    HWND hWndCtrl = reinterpret_cast<HWND>(lParam);
    if (hWndCtrl)
    {
        // Filling the controls in UpdateData makes them notify (EN_CHANGE, ...): those are not
        // the user's changes, so neither this window's handlers nor the control's see them.
        if (WndState().hLockoutNotify == m_hWnd) return TRUE;
        if (ReflectLastMsg(hWndCtrl)) return TRUE; // the control took it
        return OnCmdMsg(nID, nCode, nullptr, nullptr);
    }
    // Menu items and accelerators (code 1) are both plain commands.
    return OnCmdMsg(nID, CN_COMMAND, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    auto* nmhdr = reinterpret_cast<NMHDR*>(lParam);
    if (ReflectLastMsg(nmhdr->hwndFrom, pResult)) return TRUE;
    AFX_NOTIFY notify{pResult, nmhdr};
    return OnCmdMsg(static_cast<UINT>(nmhdr->idFrom), MAKELONG(nmhdr->code, WM_NOTIFY), &notify, nullptr);
}

BOOL CWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    return CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult)
{
    CWnd* pWnd = FromHandlePermanent(hWndChild);
    return pWnd ? pWnd->SendChildNotifyLastMsg(pResult) : FALSE;
}

BOOL CWnd::SendChildNotifyLastMsg(LRESULT* pResult)
{
    const MSG& cur = WndState().lastSent;
    return OnChildNotify(cur.message, cur.wParam, cur.lParam, pResult);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND)
    {
        if (OnCmdMsg(0, MAKELONG(HIWORD(wParam), WM_REFLECT_BASE + WM_COMMAND), nullptr, nullptr))
        {
            if (pResult) *pResult = 1;
            return TRUE;
        }
        return FALSE;
    }
    if (message == WM_NOTIFY)
    {
        auto* nmhdr = reinterpret_cast<NMHDR*>(lParam);
        AFX_NOTIFY notify{pResult, nmhdr};
        return OnCmdMsg(0, MAKELONG(nmhdr->code, WM_REFLECT_BASE + WM_NOTIFY), &notify, nullptr);
    }
    if (IsCtlColorMessage(message))
    {
        AFX_CTLCOLOR ctl{m_hWnd, reinterpret_cast<HDC>(wParam), message - WM_CTLCOLORMSGBOX};
        LRESULT brush = 0;
        if (!DispatchMessageEntry(WM_REFLECT_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&ctl), &brush)) return FALSE;
        if (pResult) *pResult = brush;
        return TRUE;
    }
    return DispatchMessageEntry(WM_REFLECT_BASE + message, wParam, lParam, pResult);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd))
    {
        if (CWnd* pWnd = FromHandlePermanent(hWnd))
            if (pWnd->PreTranslateMessage(pMsg)) return TRUE;
        // The top-level window ends the walk: GetParent would go on to its owner.
        if (hWnd == hWndStop || !(::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD)) break;
    }
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

void CWnd::GetWindowText(CString& rString) const
{
    const int length = ::GetWindowTextLengthW(m_hWnd);
    ::GetWindowTextW(m_hWnd, rString.GetBufferSetLength(length), length + 1);
    rString.ReleaseBuffer();
}

int CWnd::GetDlgItemText(int nID, CString& rString) const
{
    rString.Empty();
    if (HWND hItem = ::GetDlgItem(m_hWnd, nID)) FromHandle(hItem)->GetWindowText(rString);
    return rString.GetLength();
}

int CWnd::MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType)
{
    return AfxMessageBoxFor(m_hWnd, lpszText, lpszCaption, nType);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    HWND hOwner = pAlternateOwner ? pAlternateOwner->m_hWnd
                                  : ((GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER));
    CRect area;
    if (hOwner && !(GetStyle() & WS_CHILD))
        ::GetWindowRect(hOwner, &area);
    else if (hOwner)
        ::GetClientRect(hOwner, &area);
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    CRect rc;
    GetWindowRect(&rc);
    if (GetStyle() & WS_CHILD) ::ScreenToClient(hOwner, reinterpret_cast<LPPOINT>(&rc));
    const int x = area.left + (area.Width() - rc.Width()) / 2;
    const int y = area.top + (area.Height() - rc.Height()) / 2;
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::CalcWindowRect(LPRECT lpClientRect, UINT nAdjustType)
{
    DWORD exStyle = GetExStyle();
    if (nAdjustType == adjustBorder) exStyle &= ~WS_EX_CLIENTEDGE;
    ::AdjustWindowRectEx(lpClientRect, GetStyle(), FALSE, exStyle);
}

namespace
{
BOOL ModifyLong(HWND hWnd, int index, DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hWnd, index));
    const DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle) return FALSE;
    ::SetWindowLongPtrW(hWnd, index, static_cast<LONG_PTR>(newStyle));
    if (nFlags)
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}
} // namespace

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    return ModifyLong(m_hWnd, GWL_STYLE, dwRemove, dwAdd, nFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    return ModifyLong(m_hWnd, GWL_EXSTYLE, dwRemove, dwAdd, nFlags);
}

// ---- default handlers ----------------------------------------------------------------------

void CWnd::OnNcDestroy()
{
    if (CWinThread* pThread = AfxGetThread(); pThread && pThread->m_pMainWnd == this)
    {
        // The main window ends its thread's loop, as the application's main window ends the program.
        pThread->m_pMainWnd = nullptr;
        AfxPostQuitMessage(0);
    }
    if (CWinThread* pThread = AfxGetThread(); pThread && pThread->m_pActiveWnd == this) pThread->m_pActiveWnd = nullptr;
    Default();
    m_pfnSuper = nullptr;
    Detach();
    PostNcDestroy(); // may delete this
}

int CWnd::OnCreate(LPCREATESTRUCTW)
{
    return static_cast<int>(Default());
}
BOOL CWnd::OnNcCreate(LPCREATESTRUCTW)
{
    return static_cast<BOOL>(Default());
}
void CWnd::OnDestroy()
{
    Default();
}
void CWnd::OnClose()
{
    Default();
}
void CWnd::OnPaint()
{
    Default();
}
void CWnd::OnTimer(UINT_PTR)
{
    Default();
}
void CWnd::OnSize(UINT, int, int)
{
    Default();
}
void CWnd::OnMove(int, int)
{
    Default();
}
void CWnd::OnKeyDown(UINT, UINT, UINT)
{
    Default();
}
void CWnd::OnKeyUp(UINT, UINT, UINT)
{
    Default();
}
void CWnd::OnChar(UINT, UINT, UINT)
{
    Default();
}
void CWnd::OnSysKeyDown(UINT, UINT, UINT)
{
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint)
{
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint)
{
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint)
{
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint)
{
    Default();
}
void CWnd::OnRButtonDown(UINT, CPoint)
{
    Default();
}
void CWnd::OnRButtonUp(UINT, CPoint)
{
    Default();
}
BOOL CWnd::OnMouseWheel(UINT, short, CPoint)
{
    return static_cast<BOOL>(Default());
}
void CWnd::OnMouseLeave()
{
    Default();
}
void CWnd::OnSetFocus(CWnd*)
{
    Default();
}
void CWnd::OnKillFocus(CWnd*)
{
    Default();
}
BOOL CWnd::OnEraseBkgnd(CDC*)
{
    return static_cast<BOOL>(Default());
}
void CWnd::OnWindowPosChanging(WINDOWPOS*)
{
    Default();
}
void CWnd::OnWindowPosChanged(WINDOWPOS*)
{
    Default();
}
void CWnd::OnGetMinMaxInfo(MINMAXINFO*)
{
    Default();
}
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT)
{
    return static_cast<BOOL>(Default());
}
LRESULT CWnd::OnNcHitTest(CPoint)
{
    return Default();
}
void CWnd::OnNcLButtonDown(UINT, CPoint)
{
    Default();
}
void CWnd::OnNcLButtonDblClk(UINT, CPoint)
{
    Default();
}
void CWnd::OnNcRButtonDown(UINT, CPoint)
{
    Default();
}
int CWnd::OnMouseActivate(CWnd*, UINT, UINT)
{
    return static_cast<int>(Default());
}
void CWnd::OnMouseHover(UINT, CPoint)
{
    Default();
}
BOOL CWnd::OnQueryOpen()
{
    return static_cast<BOOL>(Default());
}
void CWnd::OnSysCommand(UINT, LPARAM)
{
    Default();
}
void CWnd::OnSysColorChange()
{
    Default();
}
void CWnd::OnActivate(UINT, CWnd*, BOOL)
{
    Default();
}
void CWnd::OnEnable(BOOL)
{
    Default();
}
void CWnd::OnCancelMode()
{
    Default();
}
void CWnd::OnCaptureChanged(CWnd*)
{
    Default();
}
UINT CWnd::OnGetDlgCode()
{
    return static_cast<UINT>(Default());
}
void CWnd::OnShowWindow(BOOL, UINT)
{
    Default();
}
void CWnd::OnContextMenu(CWnd*, CPoint)
{
    Default();
}
HCURSOR CWnd::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(Default());
}
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR)
{
    return static_cast<BOOL>(Default());
}
void CWnd::OnTimeChange()
{
    Default();
}
void CWnd::OnSettingChange(UINT, LPCWSTR)
{
    Default();
}
void CWnd::OnDropFiles(HDROP)
{
    Default();
}
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL)
{
    Default();
}

void CWnd::OnHScroll(UINT, UINT, CScrollBar*)
{
    const MSG& cur = WndState().lastSent;
    if (cur.lParam && ReflectLastMsg(reinterpret_cast<HWND>(cur.lParam))) return;
    Default();
}

void CWnd::OnVScroll(UINT, UINT, CScrollBar*)
{
    const MSG& cur = WndState().lastSent;
    if (cur.lParam && ReflectLastMsg(reinterpret_cast<HWND>(cur.lParam))) return;
    Default();
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd* pWnd, UINT)
{
    LRESULT result = 0;
    if (pWnd && pWnd->m_hWnd != m_hWnd && ReflectLastMsg(pWnd->m_hWnd, &result))
        return reinterpret_cast<HBRUSH>(result);
    return reinterpret_cast<HBRUSH>(Default());
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (lpDrawItemStruct && lpDrawItemStruct->CtlType != ODT_MENU && ReflectLastMsg(lpDrawItemStruct->hwndItem)) return;
    Default();
}

void CWnd::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    if (lpMeasureItemStruct && lpMeasureItemStruct->CtlType != ODT_MENU)
        if (CWnd* pChild = FromHandlePermanent(::GetDlgItem(m_hWnd, nIDCtl));
            pChild && pChild->SendChildNotifyLastMsg())
            return;
    Default();
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()
