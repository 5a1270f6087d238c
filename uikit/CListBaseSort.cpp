// CListBase: the sort column (value, marks, tint, sorting through the control), extended styles,
// background colour and image, system colours and the themes of the set-up.
#include "framework/CDC.h"
#include "uikit/CListBase.h"
#include <algorithm>

void CListBase::SetSortColumn(int nSortColumn)
{
    if (nSortColumn == m_nSortColumn) return;
    const int old = m_nSortColumn;
    m_nSortColumn = nSortColumn;
    RefreshSortMarks();
    if (std::abs(old) == std::abs(nSortColumn)) return; // only the direction changed
    const bool repaint = !IsVisualStyleLevel2() || nSortColumn == 0;
    if (IsVisualStyleLevel2() && m_bColorSortColumn)
    {
        const int sortIndex = std::abs(nSortColumn) - 1;
        const int selected = nSortColumn != 0 && IsColumnInControl(sortIndex) ? GetPhysicalIndex(sortIndex) : -1;
        DefaultProc(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(selected));
    }
    if (repaint && m_pListCtrl && m_pListCtrl->m_hWnd) m_pListCtrl->Invalidate();
}

void CListBase::ShowSortIcon(BOOL bShow, int nSortColumn)
{
    // Before Windows 6.0 the header of a list never shown draws no marks until it has been.
    if (GetWindowsVersion() < 0x0600 && m_pListCtrl && m_pListCtrl->m_hWnd && !m_pListCtrl->IsWindowVisible())
    {
        m_pListCtrl->ShowWindow(SW_SHOWNA);
        m_pListCtrl->ShowWindow(SW_HIDE);
    }
    m_bSortIcon = bShow ? TRUE : FALSE;
    if (nSortColumn != 0) m_nSortColumn = nSortColumn;
    RefreshSortMarks();
}

COLORREF CListBase::ComputeSortTint(COLORREF crBackground)
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

COLORREF CListBase::GetListBkColor() const
{
    const auto color = static_cast<COLORREF>(DefaultProc(LVM_GETBKCOLOR));
    // Without a colour of its own (CLR_NONE under a background image) the list shows the remembered one.
    if (color == CLR_NONE || (color & 0xFF000000)) return m_bBkColorKept ? m_crBkColor : ::GetSysColor(COLOR_WINDOW);
    return color;
}

void CListBase::UpdateSortTint()
{
    m_crSortTint = ComputeSortTint(GetListBkColor());
}

BOOL CListBase::ColorSortColumn(BOOL bTint, int nSortColumn)
{
    const BOOL previous = m_bColorSortColumn;
    const bool on = bTint != FALSE;
    if (on == (previous != FALSE) && (nSortColumn == 0 || nSortColumn == m_nSortColumn)) return previous;
    if (on && m_pListCtrl && m_pListCtrl->m_hWnd)
    {
        CReleasedDCHandle dc({m_pListCtrl->m_hWnd, ::GetDC(m_pListCtrl->m_hWnd)});
        if (dc.Get().hDC && ::GetDeviceCaps(dc.Get().hDC, BITSPIXEL) <= 8)
        {
            m_bColorSortColumn = FALSE;
            return FALSE;
        }
    }
    if (on && !previous) UpdateSortTint();
    m_bColorSortColumn = on ? TRUE : FALSE;
    if (nSortColumn != 0) m_nSortColumn = nSortColumn;
    if (IsVisualStyleLevel2())
    {
        const int sortIndex = std::abs(m_nSortColumn) - 1;
        const bool select = m_bColorSortColumn && m_nSortColumn != 0 && IsColumnInControl(sortIndex);
        DefaultProc(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(select ? GetPhysicalIndex(sortIndex) : -1));
    }
    if (m_pListCtrl && m_pListCtrl->m_hWnd) m_pListCtrl->Invalidate();
    return previous;
}

// ---- extended styles ------------------------------------------------------------------------

LRESULT CListBase::OnSetExtendedStyle(WPARAM wParam, LPARAM lParam)
{
    const DWORD mask = wParam ? static_cast<DWORD>(wParam) : ~0u;
    const auto style = static_cast<DWORD>(lParam);
    const DWORD previous = m_dwExtendedStyle;
    m_dwExtendedStyle = (previous & ~mask) | (style & mask);
    if (!IsVisualStyleLevel2()) m_dwExtendedStyle &= ~(LVS_EX_DOUBLEBUFFER | LVS_EX_SIMPLESELECT);
    if (mask & LVS_EX_INFOTIP) m_bInfoTips = (style & LVS_EX_INFOTIP) != 0;
    if (mask & LVS_EX_LABELTIP) m_bLabelTips = (style & LVS_EX_LABELTIP) != 0;
    // The list shows these tips itself.
    DWORD toControl = m_dwExtendedStyle & ~(LVS_EX_INFOTIP | LVS_EX_LABELTIP);
    constexpr DWORD kActivation = LVS_EX_ONECLICKACTIVATE | LVS_EX_TWOCLICKACTIVATE | LVS_EX_UNDERLINEHOT;
    if (IsOwnerDrawn())
    {
        // An owner-drawn list emulates the activation styles (hand cursor, hot rows).
        toControl &= ~kActivation;
        if (mask & kActivation)
        {
            if (style & kActivation)
            {
                if (!m_hArrowCursor) m_hArrowCursor = ::LoadCursorW(nullptr, IDC_ARROW);
                if (!m_hHandCursor) m_hHandCursor = ::LoadCursorW(nullptr, IDC_HAND);
            }
            else
                m_hCursor = nullptr;
        }
    }
    DefaultProc(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, toControl);
    return previous;
}

LRESULT CListBase::OnGetExtendedStyle(WPARAM, LPARAM)
{
    return m_dwExtendedStyle;
}

// ---- sorting through the control ------------------------------------------------------------

int CALLBACK CListBase::CompareThroughRecords(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    auto* self = reinterpret_cast<CListBase*>(lParamSort);
    const ITEM_DATA* p1 = self->FindRecord(lParam1);
    const ITEM_DATA* p2 = self->FindRecord(lParam2);
    if (self->m_bCompareRecords)
        return self->m_pfnCompare(reinterpret_cast<LPARAM>(p1), reinterpret_cast<LPARAM>(p2), self->m_lCompareData);
    return self->m_pfnCompare(p1 ? p1->m_lParam : 0, p2 ? p2->m_lParam : 0, self->m_lCompareData);
}

LRESULT CListBase::OnSortItems(WPARAM wParam, LPARAM lParam)
{
    if (!lParam || IsOwnerData()) return FALSE;
    m_pfnCompare = reinterpret_cast<PFNLVCOMPARE>(lParam);
    m_lCompareData = static_cast<LPARAM>(wParam);
    m_bTipsAllowed = FALSE;
    const LRESULT result = DefaultProc(LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                                       reinterpret_cast<LPARAM>(&CListBase::CompareThroughRecords));
    m_bTipsAllowed = TRUE;
    m_bCompareRecords = FALSE;
    if (result)
    {
        ResetTips();
        MakeSyntheticMouseMove();
    }
    return result;
}

BOOL CListBase::SortItemsWith(PFNLVCOMPARE pfnCompare, LPARAM lParamSort, bool bRecords)
{
    m_bCompareRecords = bRecords ? TRUE : FALSE;
    m_pListCtrl->SetRedraw(FALSE);
    const BOOL sorted = static_cast<BOOL>(
        m_pListCtrl->SendMessage(LVM_SORTITEMS, static_cast<WPARAM>(lParamSort), reinterpret_cast<LPARAM>(pfnCompare)));
    m_pListCtrl->SetRedraw(TRUE);
    m_bCompareRecords = FALSE;
    return sorted;
}

BOOL CListBase::OnColumnClick(NMHDR* pNMHDR, LRESULT*)
{
    auto* pList = reinterpret_cast<NMLISTVIEW*>(pNMHDR);
    const int column = GetLogicalIndex(pList->iSubItem);
    if (column < 0) return FALSE;
    const bool sameColumn = m_nSortColumn != 0 && std::abs(m_nSortColumn) - 1 == column;
    m_nSortColumn = sameColumn ? -m_nSortColumn : column + 1;
    RefreshSortMarks();
    if (!sameColumn && IsVisualStyleLevel2() && m_bColorSortColumn)
        DefaultProc(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(pList->iSubItem));
    pList->iSubItem = column; // the parent sees the logical column
    return FALSE;
}

// ---- background ------------------------------------------------------------------------------

LRESULT CListBase::OnSetBkColor(WPARAM wParam, LPARAM lParam)
{
    const auto color = static_cast<COLORREF>(lParam);
    if (m_bBkImage && color != CLR_NONE)
    {
        m_crBkColor = color; // given back when the image goes
        m_bBkColorKept = TRUE;
    }
    else
    {
        if (!DefaultProc(LVM_SETBKCOLOR, wParam, lParam)) return FALSE;
        if (color != CLR_NONE)
        {
            m_crBkColor = color;
            m_bBkColorKept = TRUE;
            if (m_bColorSortColumn) UpdateSortTint();
        }
    }
    m_bBkColorSetByProgram = TRUE;
    return TRUE;
}

LRESULT CListBase::OnSetBkImage(WPARAM wParam, LPARAM lParam)
{
    const auto* pImage = reinterpret_cast<const LVBKIMAGEW*>(lParam);
    const BOOL set = static_cast<BOOL>(DefaultProc(LVM_SETBKIMAGEW, wParam, lParam));
    m_bBkImage = set && pImage && (pImage->ulFlags & LVBKIF_SOURCE_MASK) != LVBKIF_SOURCE_NONE;
    if (m_bBkImage)
    {
        if (!m_bBkColorKept)
        {
            m_crBkColor = static_cast<COLORREF>(DefaultProc(LVM_GETBKCOLOR));
            m_bBkColorKept = TRUE;
        }
        DefaultProc(LVM_SETBKCOLOR, 0, CLR_NONE);
    }
    else if (m_bBkColorKept)
        DefaultProc(LVM_SETBKCOLOR, 0, m_crBkColor);
    return m_bBkImage;
}

void CListBase::OnListSysColorChange()
{
    DefaultProc(WM_SYSCOLORCHANGE);
    if (!m_bBkColorSetByProgram) DefaultProc(LVM_SETBKCOLOR, 0, ::GetSysColor(COLOR_WINDOW));
    UpdateSortTint();
}

BOOL CListBase::OnListEraseBkgnd(CDC* pDC)
{
    const HDC hDC = pDC ? pDC->GetSafeHdc() : nullptr;
    const int sortIndex = std::abs(m_nSortColumn) - 1;
    RECT item{};
    // At level 2 the control paints its selected column itself.
    if (!hDC || IsVisualStyleLevel2() || !m_bColorSortColumn || m_nSortColumn == 0 || !IsColumnInControl(sortIndex) ||
        !::SendMessageW(GetHeaderHandle(), HDM_GETITEMRECT, GetPhysicalIndex(sortIndex),
                        reinterpret_cast<LPARAM>(&item)))
        return static_cast<BOOL>(DefaultProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC)));
    const int scroll = m_pListCtrl->GetScrollPos(SB_HORZ);
    CRect clip;
    ::GetClipBox(hDC, &clip);
    CRect strip(item.left - scroll, clip.top, item.right - scroll, clip.bottom);
    ::IntersectRect(&strip, &strip, &clip);
    CGdiHandle<HRGN> saved(::CreateRectRgn(0, 0, 0, 0));
    const bool hadClip = saved.IsValid() && ::GetClipRgn(hDC, saved) == 1;
    if (!strip.IsRectEmpty())
    {
        pDC->FillSolidRect(&strip, m_crSortTint);
        ::ExcludeClipRect(hDC, strip.left, strip.top, strip.right, strip.bottom);
    }
    const BOOL erased = static_cast<BOOL>(DefaultProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC)));
    ::SelectClipRgn(hDC, hadClip ? saved.Get() : nullptr);
    return erased;
}

void CListBase::RepaintSortColumnEmptyAreas()
{
    const int sortIndex = std::abs(m_nSortColumn) - 1;
    if (!m_bColorSortColumn || m_nSortColumn == 0 || !IsColumnInControl(sortIndex)) return;
    CRect client, header;
    m_pListCtrl->GetClientRect(&client);
    ::GetWindowRect(GetHeaderHandle(), &header);
    m_pListCtrl->ScreenToClient(&header);
    const int top = std::max(static_cast<int>(header.bottom), 0);
    const int count = GetItemCountRaw();
    if (count == 0)
    {
        CRect below(client.left, top, client.right, client.bottom);
        m_pListCtrl->InvalidateRect(&below, TRUE);
        return;
    }
    const int first = static_cast<int>(DefaultProc(LVM_GETTOPINDEX));
    RECT firstRow{LVIR_BOUNDS, 0, 0, 0}, lastRow{LVIR_BOUNDS, 0, 0, 0};
    if (DefaultProc(LVM_GETITEMRECT, first, reinterpret_cast<LPARAM>(&firstRow)) && firstRow.top > top)
    {
        CRect above(client.left, top, client.right, firstRow.top);
        m_pListCtrl->InvalidateRect(&above, TRUE);
    }
    if (DefaultProc(LVM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&lastRow)) && lastRow.bottom < client.bottom)
    {
        CRect below(client.left, lastRow.bottom, client.right, client.bottom);
        m_pListCtrl->InvalidateRect(&below, TRUE);
    }
}

void CListBase::OnListHScroll(WPARAM wParam, LPARAM lParam)
{
    DefaultProc(WM_HSCROLL, wParam, lParam);
    RepaintSortColumnEmptyAreas();
}

// ---- the set-up -----------------------------------------------------------------------------

void CListBase::SetUpList()
{
    ShowSortIcon(TRUE);
    ColorSortColumn(TRUE);
    KeepLabelLeft(TRUE);
    if (m_bThemesApplied || !IsVisualStyleLevel2() || GetWindowsVersion() < 0x0600) return;
    m_bThemesApplied = TRUE;
    IUxThemeLibrary& theme = GetUxThemeLibrary();
    if (FAILED(theme.SetWindowTheme(m_pListCtrl->m_hWnd, L"Explorer", nullptr))) return;
    m_pListCtrl->SendMessage(LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
    if (IsOwnerDrawn()) m_hListTheme.Attach(theme.OpenThemeData(m_pListCtrl->m_hWnd, L"ListView"));
}

int CListBase::AppendColumn(int nColumnId, LPCWSTR lpszHeading, int nWidth, int bHideable, int nFormat)
{
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = const_cast<LPWSTR>(lpszHeading);
    column.fmt = nFormat;
    if (nWidth != -1)
    {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    const int index = GetColumnCount();
    if (m_pListCtrl->SendMessage(LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)) == -1) return -1;
    m_aColumnData[index]->m_nSubItem = nColumnId;
    EnableColumnHiding(index, static_cast<BYTE>(bHideable));
    return index;
}
