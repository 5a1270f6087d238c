#include "uikit/CListBackground.h"
#include "framework/CDC.h"
#include "uikit/CListBase.h"
#include <algorithm>

CListBackground::CListBackground(CListBase& list) : m_list(list) {}

COLORREF CListBackground::ComputeSortTint(COLORREF crBackground)
{
    const int channels[3] = {GetRValue(crBackground), GetGValue(crBackground), GetBValue(crBackground)};
    const bool nearlyWhite = std::all_of(std::begin(channels), std::end(channels), [](int c) { return c > 240; });
    int tinted[3];
    for (int i = 0; i < 3; ++i)
    {
        const int c = channels[i];
        tinted[i] = nearlyWhite ? c - 8 : (c > 231 ? 255 : c + c / 10);
    }
    return RGB(tinted[0], tinted[1], tinted[2]);
}

COLORREF CListBackground::GetListBkColor() const
{
    const auto color = static_cast<COLORREF>(m_list.DefaultProc(LVM_GETBKCOLOR));
    // Without a colour of its own (CLR_NONE under a background image) the list shows the remembered one.
    if (color == CLR_NONE || (color & 0xFF000000)) return m_bBkColorKept ? m_crBkColor : ::GetSysColor(COLOR_WINDOW);
    return color;
}

void CListBackground::UpdateSortTint()
{
    m_list.m_crSortTint = ComputeSortTint(GetListBkColor());
}

BOOL CListBackground::ColorSortColumn(BOOL bTint, int nSortColumn)
{
    const BOOL previous = m_list.m_bColorSortColumn;
    const bool on = bTint != FALSE;
    if (on == (previous != FALSE) && (nSortColumn == 0 || nSortColumn == m_list.m_nSortColumn)) return previous;
    if (on && m_list.m_pListCtrl && m_list.m_pListCtrl->m_hWnd)
    {
        CReleasedDCHandle dc({m_list.m_pListCtrl->m_hWnd, ::GetDC(m_list.m_pListCtrl->m_hWnd)});
        if (dc.Get().hDC && ::GetDeviceCaps(dc.Get().hDC, BITSPIXEL) <= 8)
        {
            m_list.m_bColorSortColumn = FALSE;
            return FALSE;
        }
    }
    if (on && !previous) UpdateSortTint();
    m_list.m_bColorSortColumn = on ? TRUE : FALSE;
    if (nSortColumn != 0) m_list.m_nSortColumn = nSortColumn;
    if (m_list.IsVisualStyleLevel2())
    {
        const int sortIndex = std::abs(m_list.m_nSortColumn) - 1;
        const bool select =
            m_list.m_bColorSortColumn && m_list.m_nSortColumn != 0 && m_list.IsColumnInControl(sortIndex);
        m_list.DefaultProc(LVM_SETSELECTEDCOLUMN,
                           static_cast<WPARAM>(select ? m_list.GetPhysicalIndex(sortIndex) : -1));
    }
    if (m_list.m_pListCtrl && m_list.m_pListCtrl->m_hWnd) m_list.m_pListCtrl->Invalidate();
    return previous;
}

LRESULT CListBackground::OnSetBkColor(WPARAM wParam, LPARAM lParam)
{
    const auto color = static_cast<COLORREF>(lParam);
    if (m_list.m_bBkImage && color != CLR_NONE)
    {
        m_crBkColor = color; // given back when the image goes
        m_bBkColorKept = TRUE;
    }
    else
    {
        if (!m_list.DefaultProc(LVM_SETBKCOLOR, wParam, lParam)) return FALSE;
        if (color != CLR_NONE)
        {
            m_crBkColor = color;
            m_bBkColorKept = TRUE;
            if (m_list.m_bColorSortColumn) UpdateSortTint();
        }
    }
    m_bBkColorSetByProgram = TRUE;
    return TRUE;
}

LRESULT CListBackground::OnSetBkImage(WPARAM wParam, LPARAM lParam)
{
    const auto* pImage = reinterpret_cast<const LVBKIMAGEW*>(lParam);
    const BOOL set = static_cast<BOOL>(m_list.DefaultProc(LVM_SETBKIMAGEW, wParam, lParam));
    m_list.m_bBkImage = set && pImage && (pImage->ulFlags & LVBKIF_SOURCE_MASK) != LVBKIF_SOURCE_NONE;
    if (m_list.m_bBkImage)
    {
        if (!m_bBkColorKept)
        {
            m_crBkColor = static_cast<COLORREF>(m_list.DefaultProc(LVM_GETBKCOLOR));
            m_bBkColorKept = TRUE;
        }
        m_list.DefaultProc(LVM_SETBKCOLOR, 0, CLR_NONE);
    }
    else if (m_bBkColorKept)
        m_list.DefaultProc(LVM_SETBKCOLOR, 0, m_crBkColor);
    return m_list.m_bBkImage;
}

void CListBackground::OnListSysColorChange()
{
    m_list.DefaultProc(WM_SYSCOLORCHANGE);
    if (!m_bBkColorSetByProgram) m_list.DefaultProc(LVM_SETBKCOLOR, 0, ::GetSysColor(COLOR_WINDOW));
    UpdateSortTint();
}

BOOL CListBackground::OnListEraseBkgnd(CDC* pDC)
{
    const HDC hDC = pDC ? pDC->GetSafeHdc() : nullptr;
    const int sortIndex = std::abs(m_list.m_nSortColumn) - 1;
    RECT item{};
    // At level 2 the control paints its selected column itself.
    if (!hDC || m_list.IsVisualStyleLevel2() || !m_list.m_bColorSortColumn || m_list.m_nSortColumn == 0 ||
        !m_list.IsColumnInControl(sortIndex) ||
        !::SendMessageW(m_list.GetHeaderHandle(), HDM_GETITEMRECT, m_list.GetPhysicalIndex(sortIndex),
                        reinterpret_cast<LPARAM>(&item)))
        return static_cast<BOOL>(m_list.DefaultProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC)));
    const int scroll = m_list.m_pListCtrl->GetScrollPos(SB_HORZ);
    CRect clip;
    ::GetClipBox(hDC, &clip);
    CRect strip(item.left - scroll, clip.top, item.right - scroll, clip.bottom);
    ::IntersectRect(&strip, &strip, &clip);
    CGdiHandle<HRGN> saved(::CreateRectRgn(0, 0, 0, 0));
    const bool hadClip = saved.IsValid() && ::GetClipRgn(hDC, saved) == 1;
    if (!strip.IsRectEmpty())
    {
        pDC->FillSolidRect(&strip, m_list.m_crSortTint);
        ::ExcludeClipRect(hDC, strip.left, strip.top, strip.right, strip.bottom);
    }
    const BOOL erased = static_cast<BOOL>(m_list.DefaultProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC)));
    ::SelectClipRgn(hDC, hadClip ? saved.Get() : nullptr);
    return erased;
}

void CListBackground::RepaintSortColumnEmptyAreas()
{
    const int sortIndex = std::abs(m_list.m_nSortColumn) - 1;
    if (!m_list.m_bColorSortColumn || m_list.m_nSortColumn == 0 || !m_list.IsColumnInControl(sortIndex)) return;
    CRect client, header;
    m_list.m_pListCtrl->GetClientRect(&client);
    ::GetWindowRect(m_list.GetHeaderHandle(), &header);
    m_list.m_pListCtrl->ScreenToClient(&header);
    const int top = std::max(static_cast<int>(header.bottom), 0);
    const int count = m_list.GetItemCountRaw();
    if (count == 0)
    {
        CRect below(client.left, top, client.right, client.bottom);
        m_list.m_pListCtrl->InvalidateRect(&below, TRUE);
        return;
    }
    const int first = static_cast<int>(m_list.DefaultProc(LVM_GETTOPINDEX));
    RECT firstRow{LVIR_BOUNDS, 0, 0, 0}, lastRow{LVIR_BOUNDS, 0, 0, 0};
    if (m_list.DefaultProc(LVM_GETITEMRECT, first, reinterpret_cast<LPARAM>(&firstRow)) && firstRow.top > top)
    {
        CRect above(client.left, top, client.right, firstRow.top);
        m_list.m_pListCtrl->InvalidateRect(&above, TRUE);
    }
    if (m_list.DefaultProc(LVM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&lastRow)) &&
        lastRow.bottom < client.bottom)
    {
        CRect below(client.left, lastRow.bottom, client.right, client.bottom);
        m_list.m_pListCtrl->InvalidateRect(&below, TRUE);
    }
}

void CListBackground::OnListHScroll(WPARAM wParam, LPARAM lParam)
{
    m_list.DefaultProc(WM_HSCROLL, wParam, lParam);
    RepaintSortColumnEmptyAreas();
}
