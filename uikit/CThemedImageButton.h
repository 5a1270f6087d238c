#pragma once
#include "framework/CButton.h"
#include "framework/CDC.h"
// A push button showing its bitmap or icon (BS_BITMAP / BS_ICON), optionally with the caption
// below, that looks like the other buttons of the desktop. With common controls 6 and an active
// visual style the system paints it and it takes part through custom draw, with the theme's
// push-button parts; otherwise it is owner-drawn in the classic 3-D look with a hot look under the
// mouse. As a toggle button it stays pressed after a click.
class CThemedImageButton : public CButton
{
    DECLARE_DYNAMIC(CThemedImageButton)

public:
    explicit CThemedImageButton(BOOL bShowCaption = FALSE, BOOL bToggle = FALSE);
    ~CThemedImageButton() override = default;

    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;
    // The caller keeps the bitmap; its size is recorded in it for the caption layout.
    HBITMAP SetBitmap(HBITMAP hBitmap, COLORREF crTransparent);
    void SetShowCaption(BOOL bOn) { m_bShowCaption = bOn != FALSE; }
    // Hides CWnd::EnableWindow, so it works only through this type: disabling also releases a
    // toggled button.
    BOOL EnableWindow(BOOL bEnable = TRUE);
    bool IsToggled() const noexcept { return m_bToggled; }
    bool IsHovered() const noexcept { return m_bHovered != FALSE; }

    // The custom-draw answer (NM_CUSTOMDRAW reflected to the button).
    void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);

protected:
    void PreSubclassWindow() override;
    void OnMouseMove(UINT nFlags, CPoint point);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    void OnLButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

    bool m_bShowCaption;
    COLORREF m_crTransparent;
    BOOL m_bHovered = FALSE;
    TRACKMOUSEEVENT m_tme{};
    bool m_bToggle;
    bool m_bToggled = false;

private:
    void DrawClassicFace(CDC* pDC, CRect rc, bool bFocused) const;
    void DrawClassicContent(CDC* pDC, CRect rc, bool bPressed, bool bHovered, bool bFocused, bool bFocusCues);
    // Splits box into the image rectangle and the caption rectangle below it.
    void LayOutCaption(const CRect& box, int textHeight, CRect* pImage, CRect* pCaption) const;
    int ImageHeight() const;
    void DrawImage(CDC* pDC, const CRect& area) const;
    CRect PlaceImage(const CRect& area, int cx, int cy) const;
};
