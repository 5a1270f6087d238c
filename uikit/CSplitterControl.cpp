#include "uikit/CSplitterControl.h"
#include "framework/CClientDC.h"
#include "framework/CPen.h"
#include <algorithm>
#include <utility>

namespace
{
HCURSOR g_hCursorWE = nullptr; // shared system cursors, loaded by the first splitter
HCURSOR g_hCursorNS = nullptr;

// The window's rectangle in its parent's client coordinates; false without a valid parent.
bool RectInParent(HWND hWnd, CRect* pRect)
{
    HWND hParent = hWnd ? ::GetParent(hWnd) : nullptr;
    if (!hParent || !::IsWindow(hParent)) return false;
    ::GetWindowRect(hWnd, pRect);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(pRect), 2);
    return true;
}

void Place(HWND hWnd, const CRect& rc)
{
    ::MoveWindow(hWnd, rc.left, rc.top, rc.Width(), rc.Height(), TRUE);
}

CWnd* ItemOf(CWnd* pParent, int nID)
{
    if (!pParent || !::IsWindow(pParent->m_hWnd)) return nullptr;
    HWND hItem = ::GetDlgItem(pParent->m_hWnd, nID);
    return hItem ? CWnd::FromHandle(hItem) : nullptr;
}
} // namespace

BEGIN_MESSAGE_MAP(CSplitterControl, CStatic)
ON_WM_SETCURSOR()
ON_WM_LBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_CAPTURECHANGED()
ON_WM_CANCELMODE()
END_MESSAGE_MAP()

void CSplitterControl::LoadCursors()
{
    if (!g_hCursorWE) g_hCursorWE = ::LoadCursorW(nullptr, IDC_SIZEWE);
    if (!g_hCursorNS) g_hCursorNS = ::LoadCursorW(nullptr, IDC_SIZENS);
}

int CSplitterControl::OrientationOf(const RECT& rect)
{
    return rect.right - rect.left < rect.bottom - rect.top ? SPS_VERTICAL : SPS_HORIZONTAL;
}

BOOL CSplitterControl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    m_nType = OrientationOf(rect);
    if (!CStatic::Create(L"", dwStyle | SS_NOTIFY, rect, pParentWnd, nID)) return FALSE;
    LoadCursors();
    SetRangeAround(0, 0, -1);
    return TRUE;
}

void CSplitterControl::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    // Create has decided already; a dialog's item is decided here.
    if (m_nType != SPS_UNDECIDED) return;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, GetStyle() | WS_CHILD | SS_NOTIFY);
    CRect rc;
    GetWindowRect(&rc);
    m_nType = OrientationOf(rc);
    LoadCursors();
    SetRangeAround(0, 0, -1);
}

void CSplitterControl::SetRange(int nMin, int nMax)
{
    m_nMin = nMin;
    m_nMax = nMax;
}

void CSplitterControl::SetRangeAround(int nBelow, int nAbove, int nCenter)
{
    if (nCenter < 0)
    {
        CRect rc;
        if (!RectInParent(m_hWnd, &rc)) return;
        nCenter = m_nType == SPS_VERTICAL ? (rc.left + rc.right) / 2 : (rc.top + rc.bottom) / 2;
    }
    m_nMin = nCenter - nBelow;
    m_nMax = nCenter + nAbove;
}

int CSplitterControl::SetOrientation(int nOrientation)
{
    return std::exchange(m_nType, nOrientation);
}

BOOL CSplitterControl::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
{
    if (nHitTest == HTCLIENT)
    {
        ::SetCursor(m_nType == SPS_VERTICAL ? g_hCursorWE : g_hCursorNS);
        return TRUE;
    }
    return CStatic::OnSetCursor(pWnd, nHitTest, message);
}

void CSplitterControl::DrawLine(CDC* pDC)
{
    CRect rc;
    GetWindowRect(&rc);
    const int oldMode = pDC->SetROP2(R2_NOTXORPEN);
    CPen pen(PS_SOLID, 1, RGB(200, 200, 200));
    CPen* pOld = pDC->SelectObject(&pen);
    if (m_nType == SPS_VERTICAL)
        for (int x : {m_nX - 1, m_nX + 1})
        {
            pDC->MoveTo(x, rc.top);
            pDC->LineTo(x, rc.bottom);
        }
    else
        for (int y : {m_nY - 1, m_nY + 1})
        {
            pDC->MoveTo(rc.left, y);
            pDC->LineTo(rc.right, y);
        }
    pDC->SelectObject(pOld);
    pDC->SetROP2(oldMode);
}

void CSplitterControl::OnLButtonDown(UINT nFlags, CPoint point)
{
    CStatic::OnLButtonDown(nFlags, point);
    m_bIsPressed = TRUE;
    SetCapture();
    CRect rc;
    GetWindowRect(&rc);
    m_nX = (rc.left + rc.right) / 2;
    m_nY = (rc.top + rc.bottom) / 2;
    m_nSavePos = m_nType == SPS_VERTICAL ? m_nX : m_nY;
    CClientDC screen(nullptr);
    DrawLine(&screen);
}

void CSplitterControl::OnMouseMove(UINT nFlags, CPoint point)
{
    CWnd* pParent = GetParent();
    if (m_bIsPressed && pParent)
    {
        CClientDC screen(nullptr);
        DrawLine(&screen);
        CPoint pt = point;
        ClientToScreen(&pt);
        pParent->ScreenToClient(&pt);
        // Both coordinates are limited to the range; only the one of the orientation is used.
        pt.x = std::clamp(static_cast<int>(pt.x), m_nMin, std::max(m_nMin, m_nMax));
        pt.y = std::clamp(static_cast<int>(pt.y), m_nMin, std::max(m_nMin, m_nMax));
        pParent->ClientToScreen(&pt);
        m_nX = pt.x;
        m_nY = pt.y;
        DrawLine(&screen);
    }
    CStatic::OnMouseMove(nFlags, point);
}

void CSplitterControl::OnLButtonUp(UINT nFlags, CPoint point)
{
    if (m_bIsPressed)
    {
        {
            CClientDC screen(nullptr);
            DrawLine(&screen);
        }
        m_bIsPressed = FALSE;
        CWnd* pOwner = GetOwner();
        if (!pOwner || !::IsWindow(pOwner->m_hWnd)) pOwner = GetParent();
        if (pOwner && ::IsWindow(pOwner->m_hWnd))
        {
            CRect rc;
            CPoint pt(m_nX, m_nY);
            pOwner->ScreenToClient(&pt);
            if (RectInParent(m_hWnd, &rc))
            {
                if (m_nType == SPS_VERTICAL)
                    rc.OffsetRect(pt.x - (rc.left + rc.right) / 2, 0);
                else
                    rc.OffsetRect(0, pt.y - (rc.top + rc.bottom) / 2);
                Place(m_hWnd, rc);
            }
            SPLITTERNMHDR notify{{m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID()), SPN_MOVED},
                                 (m_nType == SPS_VERTICAL ? m_nX : m_nY) - m_nSavePos};
            pOwner->SendMessage(WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify));
        }
    }
    CStatic::OnLButtonUp(nFlags, point);
    m_bReleasing = true;
    ::ReleaseCapture();
    m_bReleasing = false;
}

// A drag that loses the mouse to someone else takes its line away and moves nothing.
void CSplitterControl::EndDragSilently()
{
    if (!m_bIsPressed || m_bReleasing) return;
    CClientDC screen(nullptr);
    DrawLine(&screen);
    m_bIsPressed = FALSE;
}

void CSplitterControl::OnCaptureChanged(CWnd* pWnd)
{
    EndDragSilently();
    CStatic::OnCaptureChanged(pWnd);
}

void CSplitterControl::OnCancelMode()
{
    EndDragSilently();
    CStatic::OnCancelMode();
}

void CSplitterControl::ChangeWidth(CWnd* pWnd, int dx, DWORD dwFlag)
{
    CRect rc;
    if (!pWnd || !RectInParent(pWnd->m_hWnd, &rc)) return;
    if (dwFlag == CW_LEFTALIGN)
        rc.right += dx;
    else if (dwFlag == CW_RIGHTALIGN)
        rc.left -= dx;
    Place(pWnd->m_hWnd, rc);
}

void CSplitterControl::ChangeHeight(CWnd* pWnd, int dy, DWORD dwFlag)
{
    CRect rc;
    if (!pWnd || !RectInParent(pWnd->m_hWnd, &rc)) return;
    if (dwFlag == CW_TOPALIGN)
        rc.bottom += dy;
    else if (dwFlag == CW_BOTTOMALIGN)
        rc.top -= dy;
    Place(pWnd->m_hWnd, rc);
}

void CSplitterControl::ChangePos(CWnd* pWnd, int dx, int dy)
{
    CRect rc;
    if (!pWnd || !RectInParent(pWnd->m_hWnd, &rc)) return;
    rc.OffsetRect(-dx, dy);
    Place(pWnd->m_hWnd, rc);
}

void CSplitterControl::ChangeItemWidth(CWnd* pParent, int nID, int dx, DWORD dwFlag)
{
    if (CWnd* pItem = ItemOf(pParent, nID)) ChangeWidth(pItem, dx, dwFlag);
}

void CSplitterControl::ChangeItemHeight(CWnd* pParent, int nID, int dy, DWORD dwFlag)
{
    if (CWnd* pItem = ItemOf(pParent, nID)) ChangeHeight(pItem, dy, dwFlag);
}

void CSplitterControl::ChangeItemPos(CWnd* pParent, int nID, int dx, int dy)
{
    if (CWnd* pItem = ItemOf(pParent, nID)) ChangePos(pItem, dx, dy);
}
