#pragma once
#include "framework/CDC.h"
#include "framework/CStatic.h"
// A thin bar between two windows of a dialog that the user drags to share the room between them.
// While the button is held a double XOR line follows the mouse over the screen; on release the bar
// moves there and tells its owner the distance (SPN_MOVED), and the owner moves and resizes its
// windows with the static operations below.
constexpr UINT SPN_MOVED = 1025; // WM_NOTIFY code; the record is SPLITTERNMHDR, wParam the control id

struct SPLITTERNMHDR
{
    NMHDR hdr;
    int delta; // new position minus start, in pixels; positive to the right or down
};

class CSplitterControl : public CStatic
{
public:
    enum
    {
        SPS_UNDECIDED = 0,
        SPS_VERTICAL = 1,   // a vertical bar, moved left and right
        SPS_HORIZONTAL = 2, // a horizontal bar, moved up and down
    };
    // Modes of ChangeWidth and ChangeHeight.
    enum
    {
        CW_LEFTALIGN = 1,
        CW_RIGHTALIGN = 2,
        CW_TOPALIGN = 3,
        CW_BOTTOMALIGN = 4,
    };

    CSplitterControl() = default;
    using CStatic::Create;
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    virtual void DrawLine(CDC* pDC);

    void SetRange(int nMin, int nMax);
    // Around the bar's own centre (parent client coordinates) when nCenter is negative.
    void SetRangeAround(int nBelow, int nAbove, int nCenter = -1);
    int SetOrientation(int nOrientation);
    int GetOrientation() const noexcept { return m_nType; }
    bool IsDragging() const noexcept { return m_bIsPressed != FALSE; }

    static void ChangeWidth(CWnd* pWnd, int dx, DWORD dwFlag = CW_LEFTALIGN);
    static void ChangeHeight(CWnd* pWnd, int dy, DWORD dwFlag = CW_TOPALIGN);
    static void ChangePos(CWnd* pWnd, int dx, int dy);
    static void ChangeItemWidth(CWnd* pParent, int nID, int dx, DWORD dwFlag = CW_LEFTALIGN);
    static void ChangeItemHeight(CWnd* pParent, int nID, int dy, DWORD dwFlag = CW_TOPALIGN);
    static void ChangeItemPos(CWnd* pParent, int nID, int dx, int dy);

protected:
    void PreSubclassWindow() override;
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnCaptureChanged(CWnd* pWnd);
    void OnCancelMode();
    DECLARE_MESSAGE_MAP()

    BOOL m_bIsPressed = FALSE;
    int m_nType = SPS_UNDECIDED;
    int m_nX = 0;
    int m_nY = 0;
    int m_nMin = -1;
    int m_nMax = -1;
    int m_nSavePos = 0;

private:
    static void LoadCursors();
    static int OrientationOf(const RECT& rect);
    void EndDragSilently();
    bool m_bReleasing = false; // our own release of the capture at button-up
};
