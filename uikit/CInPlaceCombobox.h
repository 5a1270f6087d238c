#pragma once
#include "framework/CComboBox.h"
// The owner-drawn combo that edits a list cell (a drop-down list, or an editable drop-down), a
// child of the list. An entry's text may carry a description after its first TAB, shown in grey
// after " - "; only the text before the TAB is the value. It ends the edit when it loses the focus
// (Enter on a closed list and Esc give the focus to the list): LVN_ENDLABELEDITW carries the value,
// or none when the user cancelled or changed nothing. It owns itself: Open creates it, the end of
// its window deletes it.
class CInPlaceCombobox : public CComboBox
{
public:
    // The editor's window, or null when it cannot be created (nothing is left then). The style
    // gets CBS_OWNERDRAWFIXED and CBS_HASSTRINGS.
    static CInPlaceCombobox* Open(CWnd* pList, const RECT& rect, DWORD dwStyle, UINT nID, int nItem, int nColumn);
    ~CInPlaceCombobox() override;

    // Shows the text: in a drop-down list the first entry whose value equals it (case aside) is
    // selected, or the text is added as an entry and selected. Then takes the focus.
    void SelectOrAdd(LPCWSTR lpszText);
    // The value of an entry's text: up to its first TAB.
    static CString MainText(const CString& strEntry);
    const CString& GetCurrentText() const { return m_strText; }

    BOOL PreTranslateMessage(MSG* pMsg) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;

protected:
    CInPlaceCombobox(int nItem, int nColumn);
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    void PostNcDestroy() override;
    DECLARE_MESSAGE_MAP()

private:
    HFONT GetListFont() const;
    void GiveFocusToList();
    void EndEdit();
    void TakeText(const CString& strValue);
    void TakeSelectedText();
    void MoveSelection(int nStep);

    CString m_strText; // the current value
    int m_nItem;
    int m_nColumn;
    bool m_bCancelled = false;
    bool m_bChanged = false;
    bool* m_pDeleted = nullptr; // set while Open cannot yet tell whether a failed creation freed us
};
