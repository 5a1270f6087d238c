// CWnd's message flow: the window procedure, dispatch through the map, reflection to controls,
// the pre-translation walk and the modal loop.
#include "framework/CWnd.h"
#include "framework/CException.h"
#include "framework/CWinThread.h"
#include "framework/WndThreadState.h"
#include <utility>

// UpdateData (CDataExchange.cpp) marks its window while it runs; returns the previous mark.
HWND AfxSetLockoutNotifyWindow(HWND hWnd)
{
    return std::exchange(WndState().hLockoutNotify, hWnd);
}

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
