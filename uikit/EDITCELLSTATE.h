#pragma once
#include "framework/CString.h"
class CWnd;
// The open edit of a CListCtrlEdit; WM_LISTEDIT_CHANGE shows it to the parent.
struct EDITCELLSTATE
{
    int m_nItem = 0;
    int m_nColumn = 0;         // logical
    int m_nEditorType = -1;    // -1 after the edit ended
    CString m_strReopenText;   // the rejected text the editor was opened again with, else empty
    CString m_strText;         // the editor's window text, read before each WM_LISTEDIT_CHANGE
    CWnd* m_pEditor = nullptr; // null after the edit ended
};
