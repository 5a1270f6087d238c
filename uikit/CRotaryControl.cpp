#include "uikit/CRotaryControl.h"
#include "framework/CBrush.h"
#include "framework/CPaintDC.h"
#include "framework/CPen.h"
#include "uikit/DrawTransparentBitmap.h"
#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
constexpr double kPi = std::numbers::pi;
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr int kMaxStep = 10;
} // namespace

BEGIN_MESSAGE_MAP(CRotaryControl, CButton)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_LBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_TIMER()
ON_WM_SETCURSOR()
ON_WM_CAPTURECHANGED()
ON_WM_CANCELMODE()
END_MESSAGE_MAP()

CRotaryControl::CRotaryControl()
{
    m_bmpKnob.LoadBitmap(IDB_ROTARY_KNOB);
    m_hCursor = ::LoadCursorW(nullptr, IDC_HAND);
    BITMAP bm{};
    if (m_bmpKnob.GetSafeHandle() && m_bmpKnob.GetObject(sizeof(bm), &bm))
        m_nDiameter = std::min(bm.bmWidth, bm.bmHeight);
}

short CRotaryControl::GetPos()
{
    if (m_hWnd) Invalidate(TRUE);
    return static_cast<short>(m_nPos);
}

void CRotaryControl::SetPos(int nPos)
{
    m_nPos = static_cast<short>(LOWORD(nPos));
    if (m_nPos < m_nMin)
        m_nPos = m_nMin;
    else if (m_nPos > m_nMax)
        m_nPos = m_nMax;
    if (m_hWnd) Invalidate(TRUE);
}

BOOL CRotaryControl::SetMin(int nMin)
{
    m_nMin = static_cast<short>(LOWORD(nMin));
    if (m_hWnd) Invalidate(TRUE);
    return TRUE;
}

BOOL CRotaryControl::SetMax(int nMax)
{
    m_nMax = static_cast<short>(LOWORD(nMax));
    if (m_hWnd) Invalidate(TRUE);
    return TRUE;
}

void CRotaryControl::SetRange(int nMin, int nMax)
{
    m_nMin = nMin;
    m_nMax = nMax;
    if (m_nPos < m_nMin) m_nPos = m_nMin;
    if (m_nPos > m_nMax) m_nPos = m_nMax;
}

bool CRotaryControl::TargetFromPoint(CPoint centre, int nMin, int nMax, CPoint point, int* pTarget)
{
    const int dx = point.x - centre.x, dy = centre.y - point.y;
    if (dx == 0 && dy == 0) return false;
    double a = std::atan2(static_cast<double>(dy), static_cast<double>(dx));
    if (a < -kPi / 2) a += 2 * kPi;
    // The paint formula divides by the width of the range: without one, the knob rests at its
    // minimum end and every point aims there.
    if (nMax <= nMin || a > 5 * kPi / 4)
        *pTarget = nMin;
    else if (a < -kPi / 4)
        *pTarget = nMax;
    else
        *pTarget = nMin + static_cast<int>((nMax - nMin) * (5 * kPi / 4 - a) / (3 * kPi / 2));
    return true;
}

void CRotaryControl::TakePositionFrom(CPoint point)
{
    if (!m_bDragging) return;
    int target = 0;
    if (!TargetFromPoint(CPoint(m_nDiameter / 2, m_nDiameter / 2), m_nMin, m_nMax, point, &target)) return;
    m_nPos = std::clamp(target, m_nPos - kMaxStep, m_nPos + kMaxStep);
    Invalidate(TRUE);
    // Every event is reported, changed or not: the desktop applies the volume each time.
    NMHDR notify{m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID()), RCN_CHANGED};
    if (CWnd* pParent = GetParent()) pParent->SendMessage(WM_NOTIFY, notify.idFrom, reinterpret_cast<LPARAM>(&notify));
}

void CRotaryControl::Paint(CDC* pDC)
{
    if (m_bmpKnob.GetSafeHandle())
        DrawTransparentBitmap(pDC, static_cast<HBITMAP>(m_bmpKnob.GetSafeHandle()), 0, 0, kMagenta, FALSE);
    m_nCenterX = m_nCenterY = m_nRadius = m_nDiameter / 2;
    const double a = m_nMax > m_nMin ? (m_nMax - m_nPos) * (3 * kPi / 2) / (m_nMax - m_nMin) - kPi / 4 : 5 * kPi / 4;
    const int d = ::MulDiv(m_nRadius, 60, 100);
    const int x = m_nCenterX + static_cast<int>(std::cos(a) * d);
    const int y = m_nCenterY - static_cast<int>(std::sin(a) * d);
    const int r = std::min(2, m_nRadius);
    CBrush dot(m_bBlink ? RGB(255, 0, 0) : RGB(0, 255, 0));
    CBrush* pOldBrush = pDC->SelectObject(&dot);
    pDC->Ellipse(x - r, y - r, x + r, y + r);
    pDC->SelectObject(pOldBrush);
    CPen edge(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    CPen* pOldPen = pDC->SelectObject(&edge);
    const CRect square(x - r, y - r, x + r, y + r);
    pDC->Arc(&square, CPoint(square.left, square.bottom), CPoint(square.right, square.top));
    pDC->SelectObject(pOldPen);
}

void CRotaryControl::OnPaint()
{
    CPaintDC dc(this);
    Paint(&dc);
}

BOOL CRotaryControl::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CRotaryControl::OnLButtonDown(UINT nFlags, CPoint point)
{
    SetCapture();
    m_bDragging = true;
    TakePositionFrom(point);
    SetTimer(kBlinkTimer, 200);
    CButton::OnLButtonDown(nFlags, point);
}

void CRotaryControl::OnMouseMove(UINT nFlags, CPoint point)
{
    if (m_bDragging && point.x <= m_nDiameter && point.y <= m_nDiameter) TakePositionFrom(point);
    CButton::OnMouseMove(nFlags, point);
}

void CRotaryControl::OnLButtonUp(UINT nFlags, CPoint point)
{
    if (m_bDragging)
    {
        m_bReleasing = true;
        ::ReleaseCapture();
        m_bReleasing = false;
        TakePositionFrom(point);
        m_bDragging = false;
        m_bBlink = false;
        KillTimer(kBlinkTimer);
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    CButton::OnLButtonUp(nFlags, point);
}

void CRotaryControl::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kBlinkTimer)
    {
        CButton::OnTimer(nIDEvent);
        return;
    }
    m_bBlink = !m_bBlink;
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

BOOL CRotaryControl::OnSetCursor(CWnd*, UINT, UINT)
{
    ::SetCursor(m_hCursor);
    return TRUE;
}

// A drag that loses the mouse to someone else ends where it is, without a notification.
void CRotaryControl::EndDragSilently()
{
    if (!m_bDragging || m_bReleasing) return;
    m_bDragging = false;
    m_bBlink = false;
    KillTimer(kBlinkTimer);
    Invalidate(TRUE);
}

void CRotaryControl::OnCaptureChanged(CWnd* pWnd)
{
    // The button's own handling takes the capture again on button-down: that is no loss.
    if (!pWnd || pWnd->m_hWnd != m_hWnd) EndDragSilently();
    CButton::OnCaptureChanged(pWnd);
}

void CRotaryControl::OnCancelMode()
{
    EndDragSilently();
    CButton::OnCancelMode();
}
