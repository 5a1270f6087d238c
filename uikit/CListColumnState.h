#pragma once
#include "framework/Platform.h"
// The column state record (visibility, widths, orders and sort column) and its place in the
// application's profile. Little-endian and packed: count and sort column, then 9 bytes a column.
class CListBase;

class CListColumnState
{
public:
    explicit CListColumnState(CListBase& list);
    CListColumnState(const CListColumnState&) = delete;
    CListColumnState& operator=(const CListColumnState&) = delete;

    BOOL GetState(LPBYTE* ppState, UINT* pnSize) const;
    BOOL SetState(const BYTE* pState, UINT nSize);
    BOOL SaveState(LPCWSTR lpszSection, LPCWSTR lpszEntry) const;
    BOOL RestoreState(LPCWSTR lpszSection, LPCWSTR lpszEntry);

private:
    bool IsValidState(const BYTE* pState, int nCount) const;

    CListBase& m_list;
};
