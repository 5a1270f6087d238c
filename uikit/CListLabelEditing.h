#pragma once
#include "framework/CListCtrl.h"
#include "framework/CString.h"
#include <memory>
// The control's own label edit: taken over at its start (CLabelEdit places it in the label's
// column and hears Escape), its end shown to the parent with the edited text, and its cancel.
class CLabelEdit;
class CListBase;

class CListLabelEditing
{
public:
    explicit CListLabelEditing(CListBase& list);
    ~CListLabelEditing();
    CListLabelEditing(const CListLabelEditing&) = delete;
    CListLabelEditing& operator=(const CListLabelEditing&) = delete;

    void CreateLabelEdit();
    BOOL OnBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnCancelEditLabel(WPARAM wParam, LPARAM lParam);
    void CancelByEscape() { m_bEditCancelled = TRUE; }
    int GetEditItem() const { return m_nEditItem; }

private:
    CListBase& m_list;
    std::unique_ptr<CLabelEdit> m_pLabelEdit;
    CString m_strLabelEditText; // the buffer LVN_ENDLABELEDITW shows the parent
    int m_nEditItem = -1;
    BYTE m_bEditCancelled = FALSE;
    BYTE m_bInEndLabelEdit = FALSE; // our own LVN_ENDLABELEDITW to the parent is under way
};
