#pragma once
#include "framework/Platform.h"
#include <commctrl.h>
#include <string>
// What an extended list keeps of one logical column, whether the control shows it or not.
// A column is in the control exactly when it is available and shown.
struct COLUMN_DATA
{
    int m_nSubItem = 0;     // the column's identifier, handed to the sort and value hooks
    BYTE m_bAvailable = 1;  // the program's switch (CListBase::EnableColumn)
    BYTE m_bHideable = 0;   // the user may hide it from the header's menu
    BYTE m_bShown = 1;      // the user's choice
    int m_nSavedWidth = 0;  // the width while the column is out of the control
    int m_nOrder = 0;       // logical display position, hidden columns counted
    LVCOLUMNW m_column{};   // format, image and mask as given; pszText is null (the text is below)
    std::wstring m_strText; // the heading, owned here

    // The stored column as the control takes it back: the text points into this record.
    LVCOLUMNW StoredColumn()
    {
        LVCOLUMNW column = m_column;
        column.pszText = (column.mask & LVCF_TEXT) ? m_strText.data() : nullptr;
        return column;
    }
};
