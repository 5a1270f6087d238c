// CWnd's default handlers: what a window does with a message its own map leaves to the base.
#include "framework/CWnd.h"
#include "framework/CWinThread.h"
#include "framework/WndThreadState.h"

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
