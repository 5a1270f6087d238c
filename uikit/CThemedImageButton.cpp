#include "uikit/CThemedImageButton.h"
#include "framework/CBrush.h"
#include "uikit/ClassicButtonEdges.h"
#include "uikit/DrawTransparentBitmap.h"
#include "uikit/IUxThemeLibrary.h"
#include "uikit/VisualStyles.h"
#include <vector>

namespace
{
constexpr int kPushButtonPart = 1; // BP_PUSHBUTTON
constexpr int kStateNormal = 1, kStateHot = 2, kStatePressed = 3, kStateDisabled = 4, kStateDefaulted = 5;

// Width and height of a bitmap from its header (GetDIBits with no bits).
bool DibSize(HDC hDC, HBITMAP hBitmap, int* pcx, int* pcy)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    if (!hBitmap || !::GetDIBits(hDC, hBitmap, 0, 0, nullptr, &bi, DIB_RGB_COLORS)) return false;
    *pcx = bi.bmiHeader.biWidth;
    *pcy = std::abs(bi.bmiHeader.biHeight);
    return true;
}

// The size of an icon: its colour bitmap's, or for a monochrome icon the mask's width and half its
// height (the mask holds the AND and XOR halves).
bool IconSize(HDC hDC, HICON hIcon, int* pcx, int* pcy, CGdiHandle<HBITMAP>* pMask = nullptr)
{
    ICONINFO info{};
    if (!hIcon || !::GetIconInfo(hIcon, &info)) return false;
    CGdiHandle<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
    bool ok = colour.IsValid() ? DibSize(hDC, colour, pcx, pcy) : DibSize(hDC, mask, pcx, pcy);
    if (ok && !colour.IsValid()) *pcy /= 2;
    if (pMask) *pMask = std::move(mask);
    return ok;
}

// BM_GETIMAGE may answer with the image of the other kind (Wine keeps one image whatever the type
// asked), so the handle's kind decides.
HBITMAP ButtonBitmap(const CButton& button)
{
    HBITMAP hBitmap = button.GetBitmap();
    return hBitmap && ::GetObjectType(hBitmap) == OBJ_BITMAP ? hBitmap : nullptr;
}
HICON ButtonIcon(const CButton& button)
{
    HICON hIcon = button.GetIcon();
    return hIcon && ::GetObjectType(hIcon) != OBJ_BITMAP ? hIcon : nullptr;
}

// The grey of reduced contrast of a disabled icon's opaque pixels.
COLORREF DisabledGrey(COLORREF c)
{
    int g = ((3 * GetRValue(c) + 6 * GetGValue(c) + GetBValue(c)) / 10) & 0xFF;
    if (g < 64)
        g = 64 + (g - 64) * 7 / 10;
    else if (g > 192)
        g = 192 + (g - 192) * 7 / 10;
    return RGB(g, g, g);
}
} // namespace

IMPLEMENT_DYNAMIC(CThemedImageButton, CButton)

BEGIN_MESSAGE_MAP(CThemedImageButton, CButton)
ON_WM_MOUSEMOVE()
ON_MESSAGE(WM_MOUSELEAVE, &CThemedImageButton::OnMouseLeave)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, &CThemedImageButton::OnCustomDraw)
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

CThemedImageButton::CThemedImageButton(BOOL bShowCaption, BOOL bToggle)
    : m_bShowCaption(bShowCaption != FALSE), m_crTransparent(::GetSysColor(COLOR_BTNFACE)), m_bToggle(bToggle != FALSE)
{
    AreVisualStylesAvailable(); // decided once, at the first button, for the whole process
}

void CThemedImageButton::PreSubclassWindow()
{
    const DWORD style = GetStyle();
    if (AreVisualStylesAvailable())
        ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style & ~static_cast<DWORD>(BS_OWNERDRAW));
    else if (style & (BS_BITMAP | BS_ICON))
    {
        if (!m_tme.hwndTrack)
        {
            m_tme.cbSize = sizeof(m_tme);
            m_tme.dwFlags = TME_HOVER | TME_LEAVE;
            m_tme.hwndTrack = m_hWnd;
            m_tme.dwHoverTime = HOVER_DEFAULT;
        }
        ::TrackMouseEvent(&m_tme);
        ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style | BS_OWNERDRAW);
    }
    CButton::PreSubclassWindow();
}

HBITMAP CThemedImageButton::SetBitmap(HBITMAP hBitmap, COLORREF crTransparent)
{
    HBITMAP hOld = CButton::SetBitmap(hBitmap);
    m_crTransparent = crTransparent;
    BITMAP bm{};
    if (hBitmap && ::GetObjectW(hBitmap, sizeof(bm), &bm) == sizeof(bm))
        ::SetBitmapDimensionEx(hBitmap, bm.bmWidth, bm.bmHeight, nullptr);
    return hOld;
}

BOOL CThemedImageButton::EnableWindow(BOOL bEnable)
{
    if (!bEnable) m_bToggled = false;
    return CButton::EnableWindow(bEnable);
}

void CThemedImageButton::OnMouseMove(UINT nFlags, CPoint point)
{
    if (!AreVisualStylesAvailable())
    {
        ::TrackMouseEvent(&m_tme);
        if (!m_bHovered)
        {
            m_bHovered = TRUE;
            Invalidate(TRUE);
        }
    }
    CButton::OnMouseMove(nFlags, point);
}

LRESULT CThemedImageButton::OnMouseLeave(WPARAM wParam, LPARAM lParam)
{
    if (!AreVisualStylesAvailable() && m_bHovered)
    {
        m_bHovered = FALSE;
        Invalidate(TRUE);
    }
    return DefWindowProc(WM_MOUSELEAVE, wParam, lParam);
}

void CThemedImageButton::OnLButtonDown(UINT nFlags, CPoint point)
{
    CButton::OnLButtonDown(nFlags, point);
    if (m_bToggle)
    {
        m_bToggled = !m_bToggled;
        Invalidate(TRUE);
    }
}

void CThemedImageButton::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult)
{
    auto* pDraw = reinterpret_cast<NMCUSTOMDRAW*>(pNMHDR);
    *pResult = CDRF_DODEFAULT;
    const DWORD style = GetStyle();
    if (!(style & (BS_BITMAP | BS_ICON))) return;
    CDC* pDC = CDC::FromHandle(pDraw->hdc);
    const DWORD stage = pDraw->dwDrawStage;
    const bool paintStage = stage == CDDS_PREERASE || stage == CDDS_PREPAINT;
    const UINT item = pDraw->uItemState;
    IUxThemeLibrary& theme = GetUxThemeLibrary();
    if (theme.IsAppThemed() && theme.IsThemeActive())
    {
        if (stage == CDDS_PREERASE) theme.DrawThemeParentBackground(m_hWnd, pDraw->hdc, &pDraw->rc);
        if (!paintStage) return;
        const CThemeHandle hTheme(theme.OpenThemeData(m_hWnd, L"BUTTON"));
        if (!hTheme.IsValid()) return;
        int state = kStateNormal;
        if (style & WS_DISABLED)
            state = kStateDisabled;
        else if (item & CDIS_SELECTED)
            state = kStatePressed;
        else if (m_bToggle && m_bToggled)
            state = kStatePressed;
        else if (item & CDIS_HOT)
            state = kStateHot;
        else if ((style & 0x0F) == BS_DEFPUSHBUTTON)
            state = kStateDefaulted;
        const bool flatIdle =
            (style & BS_FLAT) && (state == kStateNormal || state == kStateDisabled || state == kStateDefaulted);
        if (!flatIdle) theme.DrawThemeBackground(hTheme, pDraw->hdc, kPushButtonPart, state, &pDraw->rc, nullptr);
        CRect content = pDraw->rc;
        theme.GetThemeBackgroundContentRect(hTheme, pDraw->hdc, kPushButtonPart, state, &pDraw->rc, &content);
        CRect image = content;
        if (m_bShowCaption)
        {
            CString text;
            GetWindowText(text);
            CRect extent;
            theme.GetThemeTextExtent(hTheme, pDraw->hdc, kPushButtonPart, state, text, -1, DT_CALCRECT | DT_SINGLELINE,
                                     &content, &extent);
            CRect caption;
            LayOutCaption(content, extent.Height(), &image, &caption);
            theme.DrawThemeText(hTheme, pDraw->hdc, kPushButtonPart, state, text, -1,
                                DT_CENTER | DT_BOTTOM | DT_SINGLELINE, 0, &caption);
        }
        DrawImage(pDC, image);
        if ((item & CDIS_FOCUS) && (!AreVisualStylesAvailable() || (item & CDIS_SHOWKEYBOARDCUES)))
            pDC->DrawFocusRect(&content);
        *pResult = CDRF_SKIPDEFAULT;
        return;
    }
    if (!m_bShowCaption && !m_bToggle) return;
    if (stage == CDDS_PREERASE) DrawClassicFace(pDC, pDraw->rc, true);
    if (!paintStage) return;
    const bool toggled = m_bToggle && m_bToggled;
    const bool cues = !((AreVisualStylesAvailable() && !(item & CDIS_SHOWKEYBOARDCUES)) || toggled);
    DrawClassicContent(pDC, pDraw->rc, (item & CDIS_SELECTED) || toggled, (item & CDIS_HOT) != 0,
                       (item & CDIS_FOCUS) != 0, cues);
    *pResult = CDRF_SKIPDEFAULT;
}

void CThemedImageButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    if (AreVisualStylesAvailable())
    {
        CButton::DrawItem(lpDIS);
        return;
    }
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    const bool focused = (lpDIS->itemState & ODS_FOCUS) != 0;
    const bool toggled = m_bToggle && m_bToggled;
    DrawClassicFace(pDC, lpDIS->rcItem, focused);
    DrawClassicContent(pDC, lpDIS->rcItem, (lpDIS->itemState & ODS_SELECTED) || toggled, m_bHovered != FALSE, focused,
                       !((lpDIS->itemState & ODS_NOFOCUSRECT) || toggled));
}

void CThemedImageButton::DrawClassicFace(CDC* pDC, CRect rc, bool bFocused) const
{
    const DWORD style = GetStyle();
    if (!(style & BS_FLAT) && (bFocused || (style & 0x0F) == BS_DEFPUSHBUTTON))
    {
        CBrush black(RGB(0, 0, 0));
        pDC->FrameRect(&rc, &black);
        rc.DeflateRect(1, 1);
    }
    pDC->FillSolidRect(&rc, ::GetSysColor(COLOR_BTNFACE));
}

void CThemedImageButton::DrawClassicContent(CDC* pDC, CRect rc, bool bPressed, bool bHovered, bool bFocused,
                                            bool bFocusCues)
{
    const bool flat = (GetStyle() & BS_FLAT) != 0;
    if (bPressed)
    {
        if (flat)
            pDC->Draw3dRect(&rc, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        else
        {
            CBrush shadow(::GetSysColor(COLOR_BTNSHADOW));
            pDC->FrameRect(&rc, &shadow);
        }
    }
    else if (!flat)
    {
        DrawClassicButtonEdges(pDC, rc);
    }
    else if (bHovered)
        pDC->Draw3dRect(&rc, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));

    CRect inner = rc;
    inner.DeflateRect(2, 2);
    CRect image = inner;
    if (m_bShowCaption)
    {
        CString text;
        GetWindowText(text);
        CRect measure = inner;
        ::DrawTextW(*pDC, text, -1, &measure, DT_CALCRECT | DT_NOCLIP | DT_SINGLELINE);
        CRect caption;
        LayOutCaption(inner, measure.Height(), &image, &caption);
        const COLORREF oldBk = pDC->SetBkColor(::GetSysColor(COLOR_BTNFACE));
        ::DrawTextW(*pDC, text, -1, &caption,
                    DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP | (bFocusCues ? DT_HIDEPREFIX : 0));
        pDC->SetBkColor(oldBk);
    }
    DrawImage(pDC, image);
    if (bFocused && bFocusCues) pDC->DrawFocusRect(&inner);
}

void CThemedImageButton::LayOutCaption(const CRect& box, int textHeight, CRect* pImage, CRect* pCaption) const
{
    const int h = ImageHeight();
    const int gap = (box.Height() - textHeight - h) / 3;
    *pImage = box;
    pImage->bottom = box.bottom - textHeight - gap;
    *pCaption = box;
    pCaption->top = box.top + h + 2 * gap;
    pCaption->bottom = box.bottom - gap;
}

int CThemedImageButton::ImageHeight() const
{
    if (HBITMAP hBitmap = ButtonBitmap(*this))
    {
        SIZE size{};
        ::GetBitmapDimensionEx(hBitmap, &size); // 0 for a bitmap set without SetBitmap
        return size.cy;
    }
    int cx = 0, cy = 0;
    CReleasedDCHandle screen({nullptr, ::GetDC(nullptr)});
    return IconSize(screen.Get().hDC, ButtonIcon(*this), &cx, &cy) ? cy : 0;
}

CRect CThemedImageButton::PlaceImage(const CRect& area, int cx, int cy) const
{
    const DWORD style = GetStyle();
    CRect image;
    const DWORD horizontal = style & BS_CENTER;
    if (cx > area.Width() || horizontal == BS_LEFT)
        image.left = area.left;
    else if (horizontal == BS_RIGHT)
        image.left = area.right - cx;
    else
        image.left = area.left + (area.Width() - cx) / 2;
    const DWORD vertical = style & BS_VCENTER;
    if (vertical == BS_TOP)
        image.top = area.top;
    else
    {
        cy = std::min(cy, area.Height());
        if (vertical == BS_BOTTOM)
            image.top = area.bottom - cy;
        else
            image.top = area.top + (area.Height() - cy) / 2;
    }
    image.right = image.left + cx;
    image.bottom = image.top + cy;
    return image;
}

void CThemedImageButton::DrawImage(CDC* pDC, const CRect& area) const
{
    const bool disabled = (GetStyle() & WS_DISABLED) != 0;
    int cx = 0, cy = 0;
    if (HBITMAP hBitmap = ButtonBitmap(*this))
    {
        if (!DibSize(*pDC, hBitmap, &cx, &cy)) return;
        const CRect image = PlaceImage(area, cx, cy);
        DrawTransparentBitmap(pDC, hBitmap, image.left, image.top, m_crTransparent, disabled);
        return;
    }
    HICON hIcon = ButtonIcon(*this);
    CGdiHandle<HBITMAP> mask;
    if (!hIcon || !IconSize(*pDC, hIcon, &cx, &cy, &mask)) return;
    const CRect image = PlaceImage(area, cx, cy);
    ::DrawIconEx(*pDC, image.left, image.top, hIcon, cx, cy, 0, nullptr, DI_NORMAL);
    if (!disabled || !mask.IsValid()) return;
    // The AND mask's first cy rows: 0 where the icon is opaque.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    BITMAP bm{};
    ::GetObjectW(mask, sizeof(bm), &bm);
    // A top-down read of a bottom-up mask whose height is twice cy (monochrome icon) starts at
    // its top: the AND half.
    bi.bmiHeader.biHeight = -bm.bmHeight;
    std::vector<DWORD> all(static_cast<size_t>(cx) * bm.bmHeight);
    if (!::GetDIBits(*pDC, mask, 0, bm.bmHeight, all.data(), &bi, DIB_RGB_COLORS)) return;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            if ((all[static_cast<size_t>(y) * cx + x] & 0xFFFFFF) == 0)
                pDC->SetPixel(image.left + x, image.top + y,
                              DisabledGrey(pDC->GetPixel(image.left + x, image.top + y)));
}
