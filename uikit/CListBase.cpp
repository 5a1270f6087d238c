// CListBase: the column records and their index mapping, the drawing of a row's parts, the
// set-up, and the messages no helper needs to answer.
#include "uikit/CListBase.h"
#include "framework/CClientDC.h"
#include "framework/CDC.h"
#include "framework/CToolTipCtrl.h"
#include "uikit/CLabelEdit.h"
#include "uikit/CLabelTipCtrl.h"
#include "uikit/CListRowPainter.h"
#include "uikit/VisualStyles.h"
#include <algorithm>

namespace
{
bool IsChecked(CListCtrl& list, int nItem)
{
    return ((list.DefWindowProc(LVM_GETITEMSTATE, nItem, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}
} // namespace

CListBase::CListBase()
    : m_crHotColor(GetWindowsVersion() > 0x0400 ? ::GetSysColor(COLOR_HOTLIGHT) : RGB(0, 0, 0x80)), m_columns(*this),
      m_items(*this), m_geometry(*this), m_sortColumn(*this), m_sorter(*this), m_background(*this),
      m_columnState(*this), m_header(*this), m_tips(*this), m_labelEditing(*this), m_customDraw(*this), m_input(*this)
{
}

CListBase::~CListBase() = default;

CString CListBase::GetSubItemToolTip(int, int, UINT, BOOL&)
{
    return CString();
}

CString CListBase::GetItemToolTip(int)
{
    return CString();
}

int CListBase::GetWindowsVersion()
{
    static const int version = [] {
        const DWORD v = ::GetVersion();
        return static_cast<int>(LOBYTE(LOWORD(v))) << 8 | HIBYTE(LOWORD(v));
    }();
    return version;
}

bool CListBase::IsVisualStyleLevel2()
{
    return AreVisualStylesAvailable();
}

LRESULT CListBase::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (!m_pListCtrl || !m_pListCtrl->m_hWnd) return 0;
    return m_pListCtrl->DefWindowProc(message, wParam, lParam);
}

DWORD CListBase::GetListStyle() const
{
    return m_pListCtrl && m_pListCtrl->m_hWnd ? m_pListCtrl->GetStyle() : 0;
}

bool CListBase::IsColumnInControl(int nColumn) const
{
    if (!IsValidColumn(nColumn)) return false;
    const COLUMN_DATA& column = *m_aColumnData[nColumn];
    return column.m_bAvailable && column.m_bShown;
}

int CListBase::GetPhysicalIndex(int nColumn) const
{
    int physical = 0;
    for (int i = 0; i < nColumn && i < GetColumnCount(); ++i)
        if (IsColumnInControl(i)) ++physical;
    return physical;
}

int CListBase::GetLogicalIndex(int nPhysical) const
{
    if (nPhysical < 0) return -1;
    for (int i = 0; i < GetColumnCount(); ++i)
        if (IsColumnInControl(i) && nPhysical-- == 0) return i;
    return -1;
}

int CListBase::GetPhysicalOrder(int nLogicalOrder) const
{
    int physical = 0;
    for (int i = 0; i < GetColumnCount(); ++i)
        if (IsColumnInControl(i) && m_aColumnData[i]->m_nOrder < nLogicalOrder) ++physical;
    return physical;
}

int CListBase::GetLogicalOrder(int nPhysicalOrder) const
{
    if (nPhysicalOrder < 0) return -1;
    for (int order = 0; order < GetColumnCount(); ++order)
        if (IsColumnInControl(GetColumnAtOrder(order)) && nPhysicalOrder-- == 0) return order;
    return -1;
}

int CListBase::GetColumnAtOrder(int nOrder) const
{
    for (int i = 0; i < GetColumnCount(); ++i)
        if (m_aColumnData[i]->m_nOrder == nOrder) return i;
    return -1;
}

void CListBase::MoveColumnOrder(int nColumn, int nOrder)
{
    const int old = m_aColumnData[nColumn]->m_nOrder;
    if (old == nOrder) return;
    for (auto& column : m_aColumnData)
    {
        if (nOrder < old && column->m_nOrder >= nOrder && column->m_nOrder < old) ++column->m_nOrder;
        if (nOrder > old && column->m_nOrder > old && column->m_nOrder <= nOrder) --column->m_nOrder;
    }
    m_aColumnData[nColumn]->m_nOrder = nOrder;
}

BOOL CListBase::KeepLabelLeft(BOOL bKeep)
{
    if (bKeep && !IsOwnerDrawn()) return FALSE;
    if (!m_bKeepLabelLeft != !bKeep)
    {
        m_bKeepLabelLeft = bKeep ? TRUE : FALSE;
        if (m_pListCtrl && m_pListCtrl->m_hWnd) m_pListCtrl->Invalidate();
    }
    return TRUE;
}

void CListBase::DrawSmallIcon(CDC* pDC, LVITEMW* pItem, LPRECT pRect)
{
    if (!pDC || !pItem || !pRect || pItem->iImage < 0) return;
    const auto hImages = reinterpret_cast<HIMAGELIST>(DefaultProc(LVM_GETIMAGELIST, LVSIL_SMALL));
    if (!hImages) return;
    const int cx =
        std::min(CListRowPainter::ImageSize(hImages, true), static_cast<int>(pRect->right - pRect->left) + 1);
    const int cy =
        std::min(CListRowPainter::ImageSize(hImages, false), static_cast<int>(pRect->bottom - pRect->top) + 1);
    UINT style = ILD_TRANSPARENT | (pItem->state & 0xF00);
    if (!m_hListTheme.IsValid() && (pItem->state & LVIS_SELECTED) && ::GetFocus() == m_pListCtrl->m_hWnd)
        style |= ILD_BLEND50;
    ::ImageList_DrawEx(hImages, pItem->iImage, pDC->GetSafeHdc(), pRect->left, pRect->top, cx, cy, CLR_NONE,
                       CLR_DEFAULT, style);
}

void CListBase::DrawStateIcon(CDC* pDC, LVITEMW* pItem, LPRECT pRect)
{
    if (!pDC || !pItem || !pRect) return;
    const int image = static_cast<int>((pItem->state & LVIS_STATEIMAGEMASK) >> 12);
    const auto hImages = reinterpret_cast<HIMAGELIST>(DefaultProc(LVM_GETIMAGELIST, LVSIL_STATE));
    if (image == 0 || !hImages) return;
    const int height = CListRowPainter::ImageSize(hImages, false);
    const int cx =
        std::min(CListRowPainter::ImageSize(hImages, true), static_cast<int>(pRect->right - pRect->left) + 1);
    const int cy = std::min(height, static_cast<int>(pRect->bottom - pRect->top) + 1);
    int y = pRect->top;
    if (pRect->bottom - pRect->top > height + 2) y += (pRect->bottom - pRect->top - height) / 2;
    UINT style = ILD_TRANSPARENT;
    if (!m_hListTheme.IsValid() && (pItem->state & LVIS_SELECTED) && ::GetFocus() == m_pListCtrl->m_hWnd)
        style |= ILD_BLEND50;
    ::ImageList_DrawEx(hImages, image - 1, pDC->GetSafeHdc(), pRect->left, y, cx, cy, CLR_NONE, CLR_DEFAULT, style);
}

void CListBase::DrawSubItemText(CDC* pDC, LVITEMW* pItem, int nFormat, LPRECT pRect)
{
    if (!pDC || !pItem || !pRect || !IsRealListText(pItem->pszText) || !*pItem->pszText) return;
    if (pRect->right <= pRect->left || pRect->bottom <= pRect->top) return;
    UINT flags = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
    if ((nFormat & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER)
        flags |= DT_CENTER;
    else if ((nFormat & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT)
        flags |= DT_RIGHT;
    ::DrawTextW(pDC->GetSafeHdc(), pItem->pszText, -1, pRect, flags);
}

void CListBase::FitTextToWidth(CString& strText, CDC* pDC, const CRect& rect)
{
    if (strText.IsEmpty() || !pDC) return;
    auto widthOf = [pDC](const std::wstring& text) {
        RECT r{0, 0, 0, 0};
        ::DrawTextW(pDC->GetSafeHdc(), text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        return static_cast<int>(r.right - r.left);
    };
    std::wstring text = static_cast<LPCWSTR>(strText);
    if (widthOf(text) <= rect.Width()) return;
    text += L"...";
    // One character before the dots at a time; "a..." is the shortest.
    while (text.size() > 4 && widthOf(text) > rect.Width())
        text.erase(text.size() - 4, 1);
    strText = text.c_str();
}

void CListBase::EraseRect(CDC* pDC, const CRect& rect)
{
    if (rect.IsRectEmpty()) return;
    const HDC hDC = pDC->GetSafeHdc();
    const int saved = ::SaveDC(hDC);
    ::IntersectClipRect(hDC, rect.left, rect.top, rect.right, rect.bottom);
    m_pListCtrl->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC));
    ::RestoreDC(hDC, saved);
}

void CListBase::DrawListItem(LPDRAWITEMSTRUCT lpDIS)
{
    if (!lpDIS || !m_pListCtrl || !m_pListCtrl->m_hWnd) return;
    CListRowPainter(*this, *lpDIS).Paint();
}

void CListBase::DrawGridLines(CDC* pDC)
{
    if (!pDC || !m_pListCtrl) return;
    const HWND hHeader = GetHeaderHandle();
    CRect client, header;
    m_pListCtrl->GetClientRect(&client);
    ::GetWindowRect(hHeader, &header);
    m_pListCtrl->ScreenToClient(&header);
    const int top = ::IsWindowVisible(hHeader) ? static_cast<int>(header.bottom) : client.top;
    const int scroll = m_pListCtrl->GetScrollPos(SB_HORZ);
    const HDC hDC = pDC->GetSafeHdc();
    CGdiHandle<HPEN> pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNFACE)));
    CGdiSelectionHandle keep({hDC, ::SelectObject(hDC, pen.Get())});
    const int count = static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
    for (int order = 0; order < count; ++order)
    {
        RECT item{};
        const int physical = static_cast<int>(::SendMessageW(hHeader, HDM_ORDERTOINDEX, order, 0));
        if (!::SendMessageW(hHeader, HDM_GETITEMRECT, physical, reinterpret_cast<LPARAM>(&item))) continue;
        const int x = item.right - 1 - scroll;
        if (x >= client.right) break;
        ::MoveToEx(hDC, x, top, nullptr);
        ::LineTo(hDC, x, client.bottom);
    }
}

void CListBase::OnListPaint()
{
    DefaultProc(WM_PAINT);
    if (!m_bGridLines || m_bBkImage) return;
    CClientDC dc(m_pListCtrl);
    DrawGridLines(&dc);
}

BOOL CListBase::OnODCacheHint(NMHDR* pNMHDR, LRESULT*)
{
    const auto* pHint = reinterpret_cast<const NMLVCACHEHINT*>(pNMHDR);
    m_nCacheHintFrom = pHint->iFrom;
    m_nCacheHintTo = pHint->iTo;
    return FALSE; // the parent fills its cache
}

LRESULT CListBase::OnSetImageList(WPARAM wParam, LPARAM lParam)
{
    const LRESULT previous = DefaultProc(LVM_SETIMAGELIST, wParam, lParam);
    // The control hands its small images to the header too; the header shows none of them.
    if (wParam == LVSIL_SMALL)
        if (HWND hHeader = GetHeaderHandle()) ::SendMessageW(hHeader, HDM_SETIMAGELIST, 0, 0);
    return previous;
}

LRESULT CListBase::OnAnsiRefused(WPARAM, LPARAM)
{
    return FALSE;
}

LRESULT CListBase::OnAnsiIndexRefused(WPARAM, LPARAM)
{
    return -1;
}

void CListBase::MakeSyntheticMouseMove()
{
    m_tips.ResetTips();
    m_bSyntheticMove = TRUE;
    // Setting the cursor where it is makes the system send a mouse move: tips and hot rows follow.
    POINT cursor;
    if (::GetCursorPos(&cursor)) ::SetCursorPos(cursor.x, cursor.y);
}

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

void CListBase::CreateTips()
{
    if (!m_pListCtrl || !m_pListCtrl->m_hWnd) return;
    m_tips.CreateTips();
    m_labelEditing.CreateLabelEdit();
}

void CListBase::SetUpList()
{
    CreateTips();
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
    m_columns.EnableColumnHiding(index, static_cast<BYTE>(bHideable));
    return index;
}

POSITION CListBase::GetFirstCheckedItemPosition() const
{
    const int count = GetItemCountRaw();
    for (int row = 0; row < count; ++row)
        if (IsChecked(*m_pListCtrl, row)) return reinterpret_cast<POSITION>(static_cast<INT_PTR>(row + 1));
    return nullptr;
}

int CListBase::GetNextCheckedItem(POSITION& pos) const
{
    const int item = static_cast<int>(reinterpret_cast<INT_PTR>(pos)) - 1;
    pos = nullptr;
    const int count = GetItemCountRaw();
    for (int row = item + 1; row < count; ++row)
        if (IsChecked(*m_pListCtrl, row))
        {
            pos = reinterpret_cast<POSITION>(static_cast<INT_PTR>(row + 1));
            break;
        }
    return item;
}

void CListBase::OnListDestroy()
{
    m_labelEditing.OnCancelEditLabel(0, 0);
    if (!IsOwnerData()) m_pListCtrl->SendMessage(LVM_DELETEALLITEMS);
    DefaultProc(WM_DESTROY);
}
