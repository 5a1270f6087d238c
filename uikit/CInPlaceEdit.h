#pragma once
#include "framework/CEdit.h"
// The text editor of an editable list cell, a child of the list. It starts with its text selected,
// grows while the user types, and ends the edit when it loses the focus (Enter and Esc give the
// focus to the list): LVN_ENDLABELEDITW carries the text, or none when the user cancelled or
// changed nothing. It owns itself: Open creates it, the end of its window deletes it.
class CInPlaceEdit : public CEdit
{
public:
    // The editor's window, or null when it cannot be created (nothing is left then).
    static CInPlaceEdit* Open(CWnd* pList, const RECT& rect, DWORD dwStyle, UINT nID, int nItem, int nColumn,
                              LPCWSTR lpszStartText);
    ~CInPlaceEdit() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    CInPlaceEdit(int nItem, int nColumn, LPCWSTR lpszStartText);
    int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKillFocus(CWnd* pNewWnd);
    void PostNcDestroy() override;
    DECLARE_MESSAGE_MAP()

private:
    void GiveFocusToList();
    void GrowToText();

    int m_nItem;
    int m_nColumn;
    CString m_strStartText;
    bool m_bCancelled = false;
    bool m_bChanged = false;
    bool* m_pDeleted = nullptr; // set while Open cannot yet tell whether a failed creation freed us
};
