#pragma once
#include "framework/CButton.h"
#include "framework/CDC.h"
#include "framework/CToolTipCtrl.h"
#include <shellapi.h>
// The desktop's owner-drawn push button: colours per look (hovered or pressed, focused, normal),
// a flat style whose border shows only under the mouse, an icon or a bitmap with an optional second
// image for the normal look, a tooltip, a popup menu or link opened by a click, an own cursor, a
// check-box mode and a transparent mode over the parent's background. It subclasses a dialog
// button (or is created) and turns it into BS_OWNERDRAW. The drawing is split into five layers a
// subclass may replace.
class CFlatButton : public CButton
{
public:
    // Result codes of the setters.
    enum : DWORD
    {
        FLATBTN_OK = 0,
        FLATBTN_BADRESOURCE = 1,
        FLATBTN_BADMASK = 2,
        FLATBTN_BADINDEX = 3,
        FLATBTN_BADALIGN = 4,
        FLATBTN_BADPARAM = 5,
        FLATBTN_BADPRESSEDSTYLE = 6,
    };
    // Colour indexes.
    enum
    {
        FB_COLOR_FACE_HOT = 0,
        FB_COLOR_TEXT_HOT = 1,
        FB_COLOR_FACE = 2,
        FB_COLOR_TEXT = 3,
        FB_COLOR_FACE_FOCUS = 4,
        FB_COLOR_TEXT_FOCUS = 5,
        FB_COLOR_COUNT = 6,
    };
    // Alignments of image and caption.
    enum : BYTE
    {
        FB_ALIGN_LEFT = 0,
        FB_ALIGN_ABOVE = 1,
        FB_ALIGN_RIGHT = 2,
        FB_ALIGN_OVERLAP = 3,
    };
    // A second image made from the first: a grey copy, a copy 25 per cent darker.
    static constexpr INT_PTR FB_AUTO_GREY = -2;
    static constexpr INT_PTR FB_AUTO_DARKER = -3;

    CFlatButton();
    ~CFlatButton() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;

    DWORD SetIcon(int nIconIn, int nIconOut);
    DWORD SetIconResources(int nIconIn, int cxIn, int cyIn, int nIconOut, int cxOut, int cyOut);
    // Takes both icons (hIconOut may be FB_AUTO_GREY or FB_AUTO_DARKER).
    DWORD SetIconHandles(HICON hIconIn, HICON hIconOut);
    DWORD SetBitmaps(int nBitmapIn, COLORREF crTransIn, int nBitmapOut, COLORREF crTransOut);
    // Takes both bitmaps (hBitmapOut may be null, FB_AUTO_GREY or FB_AUTO_DARKER).
    DWORD SetBitmapHandles(HBITMAP hBitmapIn, COLORREF crTransIn, HBITMAP hBitmapOut, COLORREF crTransOut);
    DWORD SetAlign(BYTE byAlign, BOOL bRepaint = TRUE);
    DWORD SetFlat(BOOL bFlat, BOOL bRepaint = TRUE);
    DWORD SetHoverBorder(BOOL bOn, BOOL bRepaint = TRUE);
    DWORD SetIdleFrame(BOOL bOn, BOOL bRepaint = TRUE);
    DWORD SetFlatFocusRect(BOOL bOn, BOOL bRepaint = TRUE);
    DWORD SetColor(BYTE byIndex, COLORREF crColor, BOOL bRepaint = TRUE);
    DWORD GetColor(BYTE byIndex, COLORREF* crpColor) const;
    DWORD ResetColors(BOOL bRepaint = TRUE);
    DWORD ShiftColor(BYTE byIndex, short shOffset, BOOL bRepaint = TRUE);
    DWORD SetPressedShift(int nStyle, BOOL bRepaint = TRUE);
    DWORD SetCheck(int nCheck, BOOL bRepaint = TRUE);
    int GetCheck() const { return m_bCheckState; }
    BOOL IsDefault() const { return m_bIsDefault; }
    DWORD SetHoverWhenInactive(BOOL bOn);
    void SetDrawTransparent(BOOL bRepaint = TRUE);
    DWORD SetBackgroundFromDC(CDC* pDC);
    DWORD SetCursorResource(int nCursorId, BOOL bRepaint = TRUE);
    DWORD SetPopupMenu(int nMenu, HWND hOwner, BOOL bRepaint = TRUE);
    DWORD SetPopupCallback(HWND hWnd, UINT nMessage, LPARAM lParam);
    DWORD SetLink(LPCWSTR lpszLink);
    LPCWSTR GetLink() const { return m_szLink; }
    void SetTooltipText(int nText, BOOL bActivate = TRUE);
    void SetTooltipString(LPCWSTR lpszText, BOOL bActivate = TRUE);
    LRESULT SetTooltipActive(BOOL bActivate = TRUE);
    DWORD SetTooltipBalloonStyle();
    void SizeToContent();
    static SIZE GetDefaultIconSize(const CWnd* pWnd);

    // Replaces ShellExecuteExW for the link (null: the system's). Tests only.
    using ShellExecuteFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    static void SetShellExecuteFunction(ShellExecuteFunction pfn);

    // The hosting window pins the icon shown through these two (see the forced-icon flag).
    BOOL m_bForcedIconChoice = TRUE; // with the flag: TRUE the second icon, FALSE the first
    BOOL m_bForceIcon = FALSE;

protected:
    virtual void DrawBackground(CDC* pDC, CRect* pRect);
    virtual void DrawBorder(CDC* pDC, CRect* pRect);
    virtual void DrawIconImage(CDC* pDC, BOOL bHasTitle, const RECT* rpItem, CRect* rpCaption, BOOL bIsPressed,
                               BOOL bIsDisabled);
    virtual void DrawBitmapImage(CDC* pDC, BOOL bHasTitle, const RECT* rpItem, CRect* rpCaption, BOOL bIsPressed,
                                 BOOL bIsDisabled);
    virtual void DrawCaption(CDC* pDC, const CString& strTitle, const RECT* rpItem, CRect* rpCaption, BOOL bIsPressed,
                             BOOL bIsDisabled);

    void PreSubclassWindow() override;

    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnKillFocus(CWnd* pNewWnd);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnSysColorChange();
    BOOL OnClicked();
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnEnable(BOOL bEnable);
    void OnCancelMode();
    UINT OnGetDlgCode();
    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    void OnDestroy();
    LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCheck(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetCheck(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    BOOL m_bEmbossDisabledBitmap = TRUE;
    int m_nImageMarginX = 3;
    int m_nImageMarginY = 3;
    POINT m_ptPressedShift = {1, 1};
    BOOL m_bIsFlat = TRUE;
    BOOL m_bHovered = FALSE;
    BOOL m_bDrawTransparent = FALSE;
    BOOL m_bIsPressed = FALSE;
    BOOL m_bIsFocused = FALSE;
    BOOL m_bIsDisabled = FALSE;
    BOOL m_bIsDefault = FALSE;
    BOOL m_bIsCheckBox = FALSE;
    BYTE m_byAlign = FB_ALIGN_LEFT;
    BOOL m_bHoverBorder = TRUE;
    BOOL m_bIdleFrame = FALSE;
    BOOL m_bFlatFocusRect = FALSE;
    COLORREF m_colors[FB_COLOR_COUNT] = {};
    HWND m_hMenuOwner = nullptr;
    BOOL m_bMenuShowing = FALSE;
    CMenuHandle m_hMenu;
    CCursorHandle m_hCursor;
    CToolTipCtrl m_toolTip;
    CMemoryDC m_dcBk; // snapshot of the parent's background (transparent mode)
    CGdiHandle<HBITMAP> m_bmpBk;
    CGdiSelectionHandle m_bkSelection; // the snapshot bitmap selected into m_dcBk
    BOOL m_bHoverWhenInactive = TRUE;
    BOOL m_bCheckState = FALSE;
    bool m_bFocusLostByDisabling = false; // the system takes a disabled window's focus before WM_ENABLE
    DWORD m_dwToolTipStyle = 0;
    wchar_t m_szLink[260] = {};

    struct SIconImage
    {
        CIconHandle hIcon;
        int cx = 0;
        int cy = 0;
    };
    struct SBitmapImage
    {
        CGdiHandle<HBITMAP> hBitmap;
        int cx = 0;
        int cy = 0;
        CGdiHandle<HBITMAP> hMask;
        COLORREF crTransparent = 0;
    };
    SIconImage m_icons[2];
    SBitmapImage m_bitmaps[2];
    struct SPopupCallback
    {
        HWND hWnd = nullptr;
        UINT nMessage = 0;
        LPARAM lParam = 0;
    } m_popupCallback;

private:
    void FreeImages();
    void EndHover();
    void EnsureTooltip();
    void PaintParentBackground(CDC* pDC);
    void DropBackground();
    int ShownImage(bool bIcons) const;
    CRect PlaceImage(BOOL bHasTitle, const RECT* rpItem, CRect* rpCaption, BOOL bIsPressed, int cx, int cy) const;
    void Repaint(BOOL bRepaint);
    DWORD SetSwitch(BOOL& bMember, BOOL bOn, BOOL bRepaint);
};
