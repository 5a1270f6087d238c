#include "uikit/CLabelTipCtrl.h"
#include "framework/AfxInitCommonControls.h"
#include "uikit/CListBase.h"

BEGIN_MESSAGE_MAP(CLabelTipCtrl, CToolTipCtrl)
ON_WM_WINDOWPOSCHANGING()
ON_WM_TIMER()
ON_WM_MOUSEMOVE()
ON_WM_MOUSELEAVE()
END_MESSAGE_MAP()

namespace
{
// The tool-tip control's own timers: 3 and 6 come when the tip opens or is refreshed, 4 pops it.
constexpr UINT_PTR kTimerFirstShow = 3;
constexpr UINT_PTR kTimerPop = 4;
constexpr UINT_PTR kTimerRefresh = 6;
constexpr int kLongestDelay = 32767; // TTDT_AUTOPOP's maximum; Wine pops on a timer of its own
} // namespace

CLabelTipCtrl::~CLabelTipCtrl()
{
    if (m_hWnd) DestroyWindow();
    if (!m_strClassName.empty()) ::UnregisterClassW(m_strClassName.c_str(), AfxGetInstanceHandle());
}

ATOM CLabelTipCtrl::RegisterClassCopy(const WNDCLASSEXW& windowClass)
{
    return ::RegisterClassExW(&windowClass);
}

LPCWSTR CLabelTipCtrl::ChooseClass()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (!::GetClassInfoExW(nullptr, kPlainClass, &windowClass)) return kPlainClass;
    // A tip lying exactly over a cell must cast no shadow on its neighbours.
    windowClass.style &= ~CS_DROPSHADOW;
    windowClass.hInstance = AfxGetInstanceHandle();
    windowClass.lpszClassName = kShadowlessClass;
    if (RegisterClassCopy(windowClass))
    {
        m_strClassName = kShadowlessClass;
        return kShadowlessClass;
    }
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? kShadowlessClass : kPlainClass;
}

BOOL CLabelTipCtrl::Create(CWnd* pList)
{
    if (!pList || !pList->m_hWnd || !AfxInitCommonControls(ICC_WIN95_CLASSES)) return FALSE;
    const DWORD exStyle = CListBase::IsVisualStyleLevel2() ? WS_EX_TRANSPARENT : 0;
    if (!CreateEx(exStyle, ChooseClass(), nullptr, WS_POPUP | TTS_NOPREFIX | TTS_NOANIMATE | TTS_NOFADE, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, pList->m_hWnd, nullptr))
        return FALSE;
    SetFontHandle(pList->GetFontHandle(), FALSE);
    GetMargin(&m_rcInitialMargins);
    SetDelayTime(TTDT_INITIAL, 0);
    SetDelayTime(TTDT_RESHOW, 0);
    SetDelayTime(TTDT_AUTOPOP, kLongestDelay);
    return TRUE;
}

void CLabelTipCtrl::OnWindowPosChanging(WINDOWPOS* lpwndpos)
{
    CToolTipCtrl::OnWindowPosChanging(lpwndpos);
    const CListBase& owner = *m_pOwner;
    const bool hasCell = owner.m_tips.GetTipItem() >= 0 && owner.m_tips.GetTipSubItem() >= 0;
    if ((owner.m_tips.AreTipsAllowed() || m_ptLast.x == -1) && hasCell)
        PlaceOverTipCell(lpwndpos);
    else if (m_ptLast.x != -1 && !(lpwndpos->flags & SWP_NOMOVE))
    {
        // While a sort moves the rows there is no cell to follow.
        lpwndpos->x = m_ptLast.x;
        lpwndpos->y = m_ptLast.y;
    }
}

void CLabelTipCtrl::PlaceOverTipCell(WINDOWPOS* lpwndpos)
{
    const CListBase& owner = *m_pOwner;
    const int item = owner.m_tips.GetTipItem();
    const int column = owner.m_tips.GetTipSubItem();
    CRect label;
    if (!owner.GetCellRect(item, column, LVIR_LABEL, label)) return;
    owner.m_pListCtrl->ClientToScreen(&label);
    if (!(lpwndpos->flags & SWP_NOSIZE))
        m_nVerticalLift = lpwndpos->cy > label.Height() + 1 ? lpwndpos->cy - (label.Height() + 1) : 0;
    lpwndpos->x = label.left;
    lpwndpos->y = label.top - m_nVerticalLift;
    lpwndpos->flags &= ~SWP_NOMOVE;
    m_ptLast = CPoint(lpwndpos->x, lpwndpos->y);
    SetCellMargins(column == owner.GetLabelColumn());
    if (m_lastCell != CPoint(item, column))
    {
        m_bFirstPopSeen = FALSE;
        m_lastCell = CPoint(item, column);
    }
}

void CLabelTipCtrl::SetCellMargins(bool bLabelCell)
{
    // An ordinary cell's text starts further in than the label's.
    if (!bLabelCell && !m_bMarginsWidened)
    {
        RECT widened = m_rcInitialMargins;
        widened.left = widened.right = m_rcInitialMargins.left + 3;
        SetMargin(&widened);
        m_bMarginsWidened = TRUE;
    }
    else if (bLabelCell && m_bMarginsWidened)
    {
        SetMargin(&m_rcInitialMargins);
        m_bMarginsWidened = FALSE;
    }
}

void CLabelTipCtrl::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kTimerPop) return; // the tip stays while the cursor rests on the cell
    if ((nIDEvent == kTimerFirstShow && !m_bFirstPopSeen) || nIDEvent == kTimerRefresh)
    {
        if (nIDEvent == kTimerFirstShow) m_bFirstPopSeen = TRUE;
        Update();
    }
    CToolTipCtrl::OnTimer(nIDEvent);
}

void CLabelTipCtrl::OnMouseMove(UINT nFlags, CPoint point)
{
    if (!m_bMouseTracked)
    {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
        m_bMouseTracked = ::TrackMouseEvent(&track) ? TRUE : FALSE;
    }
    CToolTipCtrl::OnMouseMove(nFlags, point);
}

void CLabelTipCtrl::OnMouseLeave()
{
    m_bMouseTracked = FALSE;
    m_pOwner->m_tips.ForgetLabelTip();
    CToolTipCtrl::OnMouseLeave();
}
