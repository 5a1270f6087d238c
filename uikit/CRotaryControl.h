#pragma once
#include "framework/CBitmap.h"
#include "framework/CButton.h"
#include "framework/CDC.h"
// A round knob turned with the mouse (the desktop's speaker and microphone volumes). It subclasses
// a dialog button and paints the knob bitmap (resource 288, magenta transparent) with a dot on an
// arc of 270 degrees: the minimum at 225 degrees, clockwise over the top to the maximum at -45.
// While the left button is held the dot blinks red and green; every event is reported to the
// parent as RCN_CHANGED.
constexpr UINT RCN_CHANGED = 3024;    // WM_NOTIFY code; wParam: the control id
constexpr UINT IDB_ROTARY_KNOB = 288; // the knob picture of the program

class CRotaryControl : public CButton
{
public:
    CRotaryControl();
    CRotaryControl(const CRotaryControl&) = delete;
    CRotaryControl& operator=(const CRotaryControl&) = delete;

    short GetPos();
    void SetPos(int nPos);
    BOOL SetMin(int nMin);
    BOOL SetMax(int nMax);
    void SetRange(int nMin, int nMax);
    bool IsDragging() const noexcept { return m_bDragging; }
    bool IsBlinking() const noexcept { return m_bBlink; }

    // Paints the knob and its dot onto a DC (what WM_PAINT draws).
    void Paint(CDC* pDC);
    // The value a point aims at for a knob centred at `centre`; false at the centre itself. With a
    // range that has no width the target is the minimum.
    static bool TargetFromPoint(CPoint centre, int nMin, int nMax, CPoint point, int* pTarget);

    static constexpr UINT_PTR kBlinkTimer = 103;

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnTimer(UINT_PTR nIDEvent);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnCaptureChanged(CWnd* pWnd);
    void OnCancelMode();
    DECLARE_MESSAGE_MAP()

private:
    void TakePositionFrom(CPoint point);
    void EndDragSilently();

    int m_nCenterX = 0;
    int m_nCenterY = 0;
    int m_nRadius = 0;
    int m_nMin = 0;
    int m_nMax = 255;
    int m_nPos = 127;
    bool m_bDragging = false;
    CBitmap m_bmpKnob;
    HCURSOR m_hCursor = nullptr; // a shared system cursor, not ours to free
    bool m_bBlink = false;
    int m_nDiameter = 0;
    bool m_bReleasing = false; // our own release of the capture at button-up
};
