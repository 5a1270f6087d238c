#include "uikit/CListColumnState.h"
#include "framework/CWinApp.h"
#include "uikit/CListBase.h"
#include <vector>

namespace
{
constexpr UINT kStateHeader = 8;    // column count and sort column
constexpr UINT kStatePerColumn = 9; // shown byte, width, order

void PutInt32(BYTE* p, int value)
{
    const auto v = static_cast<UINT32>(value);
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

int GetInt32(const BYTE* p)
{
    return static_cast<int>(static_cast<UINT32>(p[0]) | static_cast<UINT32>(p[1]) << 8 |
                            static_cast<UINT32>(p[2]) << 16 | static_cast<UINT32>(p[3]) << 24);
}
} // namespace

CListColumnState::CListColumnState(CListBase& list) : m_list(list) {}

BOOL CListColumnState::GetState(LPBYTE* ppState, UINT* pnSize) const
{
    if (!ppState || !pnSize) return FALSE;
    *ppState = nullptr;
    *pnSize = 0;
    const int count = m_list.GetColumnCount();
    if (count == 0) return FALSE;
    const UINT size = count * kStatePerColumn + kStateHeader;
    auto* pState = new BYTE[size];
    PutInt32(pState, count);
    PutInt32(pState + 4, m_list.m_nSortColumn);
    for (int i = 0; i < count; ++i)
    {
        const COLUMN_DATA& column = *m_list.m_aColumnData[i];
        BYTE* p = pState + kStateHeader + i * kStatePerColumn;
        p[0] = column.m_bShown || !column.m_bHideable ? 1 : 0;
        PutInt32(p + 1, m_list.m_columns.GetColumnWidthEx(i));
        PutInt32(p + 5, column.m_nOrder);
    }
    *ppState = pState;
    *pnSize = size;
    return TRUE;
}

bool CListColumnState::IsValidState(const BYTE* pState, int nCount) const
{
    const int sort = GetInt32(pState + 4);
    if (sort < -nCount || sort > nCount) return false;
    std::vector<bool> seen(nCount, false);
    for (int i = 0; i < nCount; ++i)
    {
        const BYTE* p = pState + kStateHeader + i * kStatePerColumn;
        if (p[0] > 1) return false;
        const int order = GetInt32(p + 5);
        if (order < 0 || order >= nCount || seen[order]) return false;
        seen[order] = true;
    }
    return true;
}

BOOL CListColumnState::SetState(const BYTE* pState, UINT nSize)
{
    const int count = m_list.GetColumnCount();
    // A record of another list layout is no error: the program's columns changed since.
    if (count == 0 || nSize != count * kStatePerColumn + kStateHeader) return TRUE;
    if (!pState) return FALSE;
    if (GetInt32(pState) != count) return TRUE;
    // Checked whole before anything changes: a bad record leaves the list as it was.
    if (!IsValidState(pState, count)) return FALSE;

    m_list.m_sortColumn.SetSortColumn(GetInt32(pState + 4));
    for (int i = 0; i < count; ++i)
    {
        const BYTE* p = pState + kStateHeader + i * kStatePerColumn;
        COLUMN_DATA& column = *m_list.m_aColumnData[i];
        const BOOL shown = p[0];
        if (shown != column.m_bShown && (column.m_bHideable || !column.m_bShown)) m_list.ShowColumn(i, shown);
        m_list.m_pListCtrl->SendMessage(LVM_SETCOLUMNWIDTH, i, MAKELPARAM(LOWORD(GetInt32(p + 1)), 0));
        column.m_nOrder = GetInt32(p + 5);
    }
    std::vector<int> columns(count);
    for (int i = 0; i < count; ++i)
        columns[m_list.m_aColumnData[i]->m_nOrder] = i;
    m_list.m_pListCtrl->SendMessage(LVM_SETCOLUMNORDERARRAY, count, reinterpret_cast<LPARAM>(columns.data()));
    return TRUE;
}

BOOL CListColumnState::SaveState(LPCWSTR lpszSection, LPCWSTR lpszEntry) const
{
    CWinApp* pApp = AfxGetApp();
    LPBYTE pState = nullptr;
    UINT size = 0;
    if (!pApp || !GetState(&pState, &size)) return FALSE;
    const BOOL written = pApp->WriteProfileBinary(lpszSection, lpszEntry, pState, size);
    delete[] pState;
    return written;
}

BOOL CListColumnState::RestoreState(LPCWSTR lpszSection, LPCWSTR lpszEntry)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp || m_list.GetColumnCount() == 0) return FALSE;
    LPBYTE pState = nullptr;
    UINT size = 0;
    if (!pApp->GetProfileBinary(lpszSection, lpszEntry, &pState, &size)) return FALSE;
    const BOOL applied = SetState(pState, size);
    delete[] pState;
    return applied;
}
