#pragma once
#include "framework/Platform.h"
class CComboBox;
class CWnd;
// The hosting program's find combo, the editor of type 4 of CListCtrlEdit. The program registers
// a factory with the list; each such edit gets a new combo. The list gives it its target, creates
// it like a plain combo (hidden, over the cell), has the parent fill it, hands it the start text,
// then shows and opens it. From a successful creation on the combo owns itself and ends the edit
// itself: it sends LVN_ENDLABELEDITW for its cell (CListCtrlEdit::NotifyEndEdit) and destroys
// its window.
class IListFindCombo
{
public:
    virtual ~IListFindCombo() = default;
    // The list's parent, which receives the end of the edit, and the cell (logical column).
    virtual void SetEditTarget(CWnd* pListParent, int nItem, int nColumn) = 0;
    // A child of pList with the id and style given; FALSE when it cannot be created (the list then
    // deletes the object).
    virtual BOOL CreateCombo(DWORD dwStyle, const RECT& rect, CWnd* pList, UINT nID) = 0;
    virtual CComboBox* GetComboBox() = 0;
    virtual void SetText(LPCWSTR lpszText) = 0;
};
