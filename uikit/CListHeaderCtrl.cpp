#include "uikit/CListHeaderCtrl.h"
#include "framework/CDC.h"
#include "framework/CPen.h"

int CListHeaderCtrl::SetSortImage(int nColumn, BOOL bAscending)
{
    const int previous = m_nSortCol;
    m_nSortCol = nColumn;
    m_bSortAsc = bAscending;
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (GetItem(nColumn, &item))
    {
        item.fmt |= HDF_OWNERDRAW;
        SetItem(nColumn, &item);
    }
    Invalidate(TRUE);
    return previous;
}

void CListHeaderCtrl::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    CDC dc;
    dc.Attach(lpDIS->hDC);
    const int saved = dc.SaveDC();
    const CRect rcItem = lpDIS->rcItem;
    dc.IntersectClipRect(&rcItem);
    dc.FillSolidRect(&rcItem, ::GetSysColor(COLOR_BTNFACE));

    SIZE blank{};
    ::GetTextExtentPoint32W(dc, L" ", 1, &blank);
    const int d = blank.cx * 2;

    wchar_t text[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = text;
    item.cchTextMax = 255;
    GetItem(static_cast<int>(lpDIS->itemID), &item);

    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_NOPREFIX | DT_END_ELLIPSIS;
    if ((item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER)
        flags |= DT_CENTER;
    else if ((item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT)
        flags |= DT_RIGHT;

    const bool sortColumn = static_cast<int>(lpDIS->itemID) == m_nSortCol;
    CRect rcText = rcItem;
    if (lpDIS->itemState == ODS_SELECTED)
    {
        rcText.top += 2;
        rcText.OffsetRect(1, 0);
    }
    if (sortColumn) rcText.right -= 3 * d;
    rcText.left += d;
    rcText.right -= d;
    if (rcText.left < rcText.right) ::DrawTextW(dc, text, -1, &rcText, flags);

    // The mark stays where it is when the item is pressed: only the text moves.
    if (sortColumn) DrawSortMark(&dc, rcItem, d);
    dc.RestoreDC(saved);
    dc.Detach();
}

void CListHeaderCtrl::DrawSortMark(CDC* pDC, const CRect& rcItem, int d) const
{
    CPen light(PS_SOLID, 1, ::GetSysColor(COLOR_3DHILIGHT));
    CPen shadow(PS_SOLID, 1, ::GetSysColor(COLOR_3DSHADOW));
    CPen* pOld = pDC->SelectObject(&light);
    const int R = rcItem.right, B = rcItem.bottom;
    if (m_bSortAsc)
    {
        pDC->MoveTo(R - 2 * d, d - 1);
        pDC->LineTo(R - 3 * d / 2, B - d);
        pDC->LineTo(R - 5 * d / 2 - 2, B - d);
        pDC->MoveTo(R - 5 * d / 2 - 1, B - d - 1);
        pDC->SelectObject(&shadow);
        pDC->LineTo(R - 2 * d, d - 2);
    }
    else
    {
        pDC->MoveTo(R - 3 * d / 2, d - 1);
        pDC->LineTo(R - 2 * d - 1, B - d + 1);
        pDC->MoveTo(R - 2 * d - 1, B - d);
        pDC->SelectObject(&shadow);
        pDC->LineTo(R - 5 * d / 2 - 1, d - 1);
        pDC->LineTo(R - 3 * d / 2, d - 1);
    }
    pDC->SelectObject(pOld);
}
