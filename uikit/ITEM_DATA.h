#pragma once
#include "framework/Platform.h"
#include <commctrl.h>
#include <memory>
#include <string>
#include <vector>
// What an extended list keeps of one row: the program's item data and a copy of every cell, so
// that hidden columns keep their contents. The control's own item data points at this record;
// the program never sees the record, only its item data.
struct ITEM_DATA
{
    // One cell as the program gave it: the attributes with their mask, and the text owned here
    // (or the callback marker, when the program supplies the text itself).
    struct CELL
    {
        LVITEMW m_item{}; // pszText is kept pointing at m_strText, or LPSTR_TEXTCALLBACKW
        std::wstring m_strText;

        explicit CELL(const LVITEMW& item);
        CELL(const CELL&) = delete;
        CELL& operator=(const CELL&) = delete;
        void SetText(LPCWSTR pszText); // null: no text; LPSTR_TEXTCALLBACKW: the marker
        bool IsCallback() const noexcept { return m_item.pszText == LPSTR_TEXTCALLBACKW; }
        bool HasRealText() const noexcept { return m_item.pszText && !IsCallback(); }
    };

    ITEM_DATA() noexcept;
    ~ITEM_DATA();
    ITEM_DATA(const ITEM_DATA&) = delete;
    ITEM_DATA& operator=(const ITEM_DATA&) = delete;

    // The cell of a logical column, or null when there is none.
    CELL* Cell(int nColumn) const
    {
        return nColumn >= 0 && nColumn < static_cast<int>(m_cells.size()) ? m_cells[nColumn].get() : nullptr;
    }

    BYTE m_bHasItemData = FALSE;
    LPARAM m_lParam = 0;
    std::vector<std::unique_ptr<CELL>> m_cells; // one entry per logical column; empty entries allowed

    // Records alive in the process (GUI thread only): tests see that every row's record is freed.
    static int LiveCount() noexcept;
};

// Whether a text pointer is a real text (neither null nor the callback marker).
inline bool IsRealListText(LPCWSTR pszText) noexcept
{
    return pszText && pszText != LPSTR_TEXTCALLBACKW;
}
