#pragma once
#include "framework/COleDateTime.h"
#include "framework/CString.h"
// WM_LISTEDIT_QUERY: the parent says whether a cell may be edited and with which editor. The list
// fills the fields before asking; a parent that does not answer leaves the cell read-only.
struct EDITCELLQUERY
{
    int m_nItem = 0;
    int m_nColumn = 0; // logical
    BYTE m_bAllow = FALSE;
    int m_nEditorType = 0;                // CListCtrlEdit::kEditor...
    CString m_strText;                    // the editor's start text: the cell's text when asked
    COleDateTime m_dateTime = NullDate(); // the pickers' start value
    int m_nComboSel = -1;                 // plain combo: the entry to select; -1 selects by the start text

    static COleDateTime NullDate()
    {
        COleDateTime date;
        date.SetStatus(COleDateTime::null);
        return date;
    }
};
