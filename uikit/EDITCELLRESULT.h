#pragma once
#include "framework/COleDateTime.h"
#include "framework/CString.h"
class CWnd;
// WM_LISTEDIT_END: how an edit ended. The parent may clear accept (the editor opens again on the
// cell) or write cell (it writes the cell itself).
struct EDITCELLRESULT
{
    int m_nItem = 0;
    int m_nColumn = 0;       // logical
    CString m_strOldText;    // the cell's text before the edit
    CString m_strNewText;    // the editor's text; the old text when the editor reports none
    COleDateTime m_dateTime; // the pickers' value
    int m_nComboSel = -1;    // plain combo: the selected entry
    BYTE m_bAccept = TRUE;
    BYTE m_bWriteCell = TRUE;
    CWnd* m_pEditor = nullptr; // the editor's window, about to go
};
