// CFlatButton: painting.
#include "uikit/CFlatButton.h"
#include "framework/CBrush.h"
#include "framework/CClientDC.h"
#include "uikit/ClassicButtonEdges.h"
#include <algorithm>

void CFlatButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    const BOOL bSelected = (lpDIS->itemState & ODS_SELECTED) != 0;
    m_bIsPressed = m_bIsCheckBox ? (bSelected || m_bCheckState) : (bSelected || m_bMenuShowing);
    m_bIsFocused = (lpDIS->itemState & ODS_FOCUS) != 0;
    m_bIsDisabled = (lpDIS->itemState & ODS_DISABLED) != 0;

    CRect rcItem = lpDIS->rcItem;
    pDC->SetBkMode(TRANSPARENT);
    if (m_bDrawTransparent)
        PaintParentBackground(pDC);
    else
        DrawBackground(pDC, &rcItem);
    DrawBorder(pDC, &rcItem);

    CString title;
    GetWindowText(title);
    CRect rcCaption = lpDIS->rcItem;
    if (m_icons[0].hIcon.IsValid())
        DrawIconImage(pDC, !title.IsEmpty(), &lpDIS->rcItem, &rcCaption, m_bIsPressed, m_bIsDisabled);
    if (m_bitmaps[0].hBitmap.IsValid())
    {
        pDC->SetBkColor(RGB(255, 255, 255));
        DrawBitmapImage(pDC, !title.IsEmpty(), &lpDIS->rcItem, &rcCaption, m_bIsPressed, m_bIsDisabled);
    }
    if (!title.IsEmpty()) DrawCaption(pDC, title, &lpDIS->rcItem, &rcCaption, m_bIsPressed, m_bIsDisabled);

    if ((!m_bIsFlat || m_bFlatFocusRect) && m_bIsFocused)
    {
        CRect focus = rcItem;
        focus.DeflateRect(3, 3);
        pDC->DrawFocusRect(&focus);
    }
}

void CFlatButton::PaintParentBackground(CDC* pDC)
{
    CRect client;
    GetClientRect(&client);
    if (!m_dcBk.IsValid())
    {
        CWnd* pParent = GetParent();
        if (!pParent) return;
        CClientDC parentDC(pParent);
        CRect window;
        GetWindowRect(&window);
        pParent->ScreenToClient(&window);
        m_dcBk.Attach(::CreateCompatibleDC(parentDC));
        m_bmpBk.Attach(::CreateCompatibleBitmap(parentDC, client.Width(), client.Height()));
        if (!m_dcBk.IsValid() || !m_bmpBk.IsValid())
        {
            DropBackground();
            return;
        }
        m_bkSelection.Attach({m_dcBk, ::SelectObject(m_dcBk, m_bmpBk)});
        ::BitBlt(m_dcBk, 0, 0, client.Width(), client.Height(), parentDC, window.left, window.top, SRCCOPY);
    }
    ::BitBlt(*pDC, 0, 0, client.Width(), client.Height(), m_dcBk, 0, 0, SRCCOPY);
}

void CFlatButton::DrawBackground(CDC* pDC, CRect* pRect)
{
    if (!m_bIsFlat && (m_bIsFocused || m_bIsDefault))
    {
        CBrush black(RGB(0, 0, 0));
        pDC->FrameRect(pRect, &black);
        pRect->DeflateRect(1, 1);
    }
    COLORREF face = m_colors[FB_COLOR_FACE];
    if (m_bHovered || m_bIsPressed)
        face = m_colors[FB_COLOR_FACE_HOT];
    else if (m_bIsFocused)
        face = m_colors[FB_COLOR_FACE_FOCUS];
    CBrush brush(face);
    pDC->FillRect(pRect, &brush);
}

void CFlatButton::DrawBorder(CDC* pDC, CRect* pRect)
{
    if (m_bIsPressed)
    {
        if (m_bIsFlat)
        {
            if (m_bHoverBorder)
                pDC->Draw3dRect(pRect, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        }
        else
        {
            CBrush shadow(::GetSysColor(COLOR_BTNSHADOW));
            pDC->FrameRect(pRect, &shadow);
        }
        return;
    }
    if (m_bIsFlat)
    {
        if (m_bHovered && m_bHoverBorder)
            pDC->Draw3dRect(pRect, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
        else if (m_bIdleFrame)
            pDC->Draw3dRect(pRect, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        return;
    }
    DrawClassicButtonEdges(pDC, *pRect);
}

int CFlatButton::ShownImage(bool bIcons) const
{
    const bool hasSecond = bIcons ? m_icons[1].hIcon.IsValid() : m_bitmaps[1].hBitmap.IsValid();
    if (bIcons && m_bForceIcon) return m_bForcedIconChoice && hasSecond ? 1 : 0;
    if (m_bIsCheckBox) return m_bIsPressed || !hasSecond ? 0 : 1;
    return m_bIsPressed || m_bHovered || !hasSecond ? 0 : 1;
}

CRect CFlatButton::PlaceImage(BOOL bHasTitle, const RECT* rpItem, CRect* rpCaption, BOOL bIsPressed, int cx,
                              int cy) const
{
    const CRect item = *rpItem;
    CRect image = item;
    auto centreX = [&] { image.left += (item.Width() - cx) / 2; };
    auto centreY = [&] { image.top += (item.Height() - cy) / 2; };
    switch (m_byAlign)
    {
    case FB_ALIGN_LEFT:
        if (bHasTitle)
        {
            image.left += m_nImageMarginX;
            rpCaption->left += m_nImageMarginX + cx;
        }
        else
            centreX();
        centreY();
        break;
    case FB_ALIGN_ABOVE:
        centreX();
        if (bHasTitle)
        {
            image.top = m_nImageMarginY;
            rpCaption->top += cy;
        }
        else
            centreY();
        break;
    case FB_ALIGN_RIGHT:
        if (bHasTitle)
        {
            rpCaption->right -= m_nImageMarginX + rpCaption->left + cx;
            rpCaption->left = m_nImageMarginX;
            image.left = item.right - m_nImageMarginX - cx;
            centreY();
        }
        else
            centreX();
        break;
    default:
        break;
    }
    if (bIsPressed && !m_bIsCheckBox) image.OffsetRect(m_ptPressedShift.x, m_ptPressedShift.y);
    image.right = image.left + cx;
    image.bottom = image.top + cy;
    return image;
}

void CFlatButton::DrawIconImage(CDC* pDC, BOOL bHasTitle, const RECT* rpItem, CRect* rpCaption, BOOL bIsPressed,
                                BOOL bIsDisabled)
{
    const SIconImage& icon = m_icons[ShownImage(true)];
    const CRect image = PlaceImage(bHasTitle, rpItem, rpCaption, bIsPressed, icon.cx, icon.cy);
    ::DrawStateW(*pDC, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.hIcon.Get()), 0, image.left, image.top,
                 image.Width(), image.Height(), DST_ICON | (bIsDisabled ? DSS_DISABLED : 0));
}

void CFlatButton::DrawBitmapImage(CDC* pDC, BOOL bHasTitle, const RECT* rpItem, CRect* rpCaption, BOOL bIsPressed,
                                  BOOL bIsDisabled)
{
    const SBitmapImage& bitmap = m_bitmaps[ShownImage(false)];
    const CRect image = PlaceImage(bHasTitle, rpItem, rpCaption, bIsPressed, bitmap.cx, bitmap.cy);
    CMemoryDC dcSource(::CreateCompatibleDC(*pDC));
    if (!dcSource.IsValid()) return;
    if (bIsDisabled && m_bEmbossDisabledBitmap)
    {
        CGdiHandle<HBITMAP> scratch(::CreateCompatibleBitmap(*pDC, bitmap.cx, bitmap.cy));
        CMemoryDC dcScratch(::CreateCompatibleDC(*pDC));
        if (!scratch.IsValid() || !dcScratch.IsValid()) return;
        {
            CGdiSelectionHandle keepScratch({dcScratch, ::SelectObject(dcScratch, scratch)});
            ::PatBlt(dcScratch, 0, 0, bitmap.cx, bitmap.cy, WHITENESS);
            ::SetBkColor(dcScratch, RGB(255, 255, 255));
            CGdiSelectionHandle keepMask({dcSource, ::SelectObject(dcSource, bitmap.hMask)});
            ::BitBlt(dcScratch, 0, 0, bitmap.cx, bitmap.cy, dcSource, 0, 0, SRCAND);
            ::SelectObject(dcSource, bitmap.hBitmap);
            ::BitBlt(dcScratch, 0, 0, bitmap.cx, bitmap.cy, dcSource, 0, 0, SRCPAINT);
        }
        ::DrawStateW(*pDC, nullptr, nullptr, reinterpret_cast<LPARAM>(scratch.Get()), 0, image.left, image.top,
                     bitmap.cx, bitmap.cy, DST_BITMAP | DSS_DISABLED);
        return;
    }
    CGdiSelectionHandle keep({dcSource, ::SelectObject(dcSource, bitmap.hMask)});
    ::BitBlt(*pDC, image.left, image.top, bitmap.cx, bitmap.cy, dcSource, 0, 0, SRCAND);
    ::SelectObject(dcSource, bitmap.hBitmap);
    ::BitBlt(*pDC, image.left, image.top, bitmap.cx, bitmap.cy, dcSource, 0, 0, SRCPAINT);
}

void CFlatButton::DrawCaption(CDC* pDC, const CString& strTitle, const RECT*, CRect* rpCaption, BOOL bIsPressed,
                              BOOL bIsDisabled)
{
    if (bIsPressed && !m_bIsCheckBox) rpCaption->OffsetRect(m_ptPressedShift.x, m_ptPressedShift.y);
    const CRect room = *rpCaption;
    UINT nFormat = DT_WORDBREAK | DT_CENTER;
    CRect needed = room;
    ::DrawTextW(*pDC, strTitle, -1, &needed, nFormat | DT_CALCRECT);
    // Text that does not fit is shortened with an ellipsis: clipped at the button's edge it would
    // end mid-letter and read as another word. A word wider than the room widens the measure;
    // lines beyond the room's height leave the words on one line that ends in the ellipsis.
    if (needed.Height() > room.Height())
        nFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS;
    else if (needed.Width() > room.Width())
        nFormat |= DT_WORD_ELLIPSIS;
    const int cx = std::min(needed.Width(), room.Width());
    const int cy = std::min(needed.Height(), room.Height());
    const int left = room.left + (room.Width() - cx) / 2, top = room.top + (room.Height() - cy) / 2;
    rpCaption->SetRect(left, top, left + cx, top + cy);
    pDC->SetBkMode(TRANSPARENT);
    if (bIsDisabled)
    {
        rpCaption->OffsetRect(1, 1);
        pDC->SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(*pDC, strTitle, -1, rpCaption, nFormat);
        rpCaption->OffsetRect(-1, -1);
        pDC->SetTextColor(::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextW(*pDC, strTitle, -1, rpCaption, nFormat);
        return;
    }
    int text = FB_COLOR_TEXT, face = FB_COLOR_FACE;
    if (m_bHovered || bIsPressed)
    {
        text = FB_COLOR_TEXT_HOT;
        face = FB_COLOR_FACE_HOT;
    }
    else if (m_bIsFocused)
    {
        text = FB_COLOR_TEXT_FOCUS;
        face = FB_COLOR_FACE_FOCUS;
    }
    pDC->SetTextColor(m_colors[text]);
    pDC->SetBkColor(m_colors[face]);
    ::DrawTextW(*pDC, strTitle, -1, rpCaption, nFormat);
}
