// CWnd's handle map (permanent and temporary objects per thread, the thread's window state) and
// the small wrappers that need more than one call.
#include "framework/CWnd.h"
#include "framework/AfxMessageBox.h"
#include "framework/CTempHandleMap.h"
#include "framework/CWinThread.h"
#include "framework/WndThreadState.h"
#include <utility>

namespace
{
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
} // namespace

WndThreadState& WndState()
{
    if (!t_pWndState)
    {
        t_pWndState = new WndThreadState;
        AfxRegisterThreadCleanup(&FreeWndThreadState);
    }
    return *t_pWndState;
}

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

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

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()
