#pragma once
#include "framework/COleDateTime.h"
#include "uikit/CListCtrlEx.h"
#include "uikit/EDITCELLSTATE.h"
#include "uikit/IListFindCombo.h"
#include <functional>
#include <memory>
// The report list whose cells are edited in place. The list decides nothing about the data: it
// asks its parent (a dialog) about every cell (WM_LISTEDIT_QUERY: may it be edited, with which
// editor and start value), lets it fill combos (WM_LISTEDIT_FILLCOMBO), reports every change of
// the text (WM_LISTEDIT_CHANGE) and the end of each edit (WM_LISTEDIT_END), which the parent may
// accept (the list writes the cell), accept writing the cell itself, or reject (the editor opens
// again). Delete offers the selected rows to the parent one by one (WM_LISTEDIT_DELETE); Tab,
// Shift+Tab, Up and Down move the editor to the next editable cell. See UikitMessages.h.
//
// Every editor is a child of the list and ends by losing the focus, whatever ended it; it then
// sends LVN_ENDLABELEDITW to the list's parent, which the framework reflects to the list.
// At most one editor is open. GUI thread only.
class CListCtrlEdit : public CListCtrlEx
{
    DECLARE_DYNAMIC(CListCtrlEdit)

public:
    // Editor types, chosen by the parent per cell.
    static constexpr int kEditorEdit = 0;           // CInPlaceEdit
    static constexpr int kEditorCombo = 1;          // plain drop-down list, opened at once
    static constexpr int kEditorDescribedList = 2;  // CInPlaceCombobox, drop-down list
    static constexpr int kEditorDescribedCombo = 3; // CInPlaceCombobox, editable drop-down
    static constexpr int kEditorFindCombo = 4;      // the hosting program's find combo
    static constexpr int kEditorDate = 5;           // picker "d/MM/yyyy"
    static constexpr int kEditorTime = 6;           // picker "H:mm"
    static constexpr int kEditorDateTime = 7;       // picker "d/MM/yyyy H:mm"
    // The editors' control ids.
    static constexpr UINT kEditId = 10;
    static constexpr UINT kComboId = 11;
    static constexpr UINT kPickerId = 12;

    // nStartMode 0: a single left click on a cell opens its editor; 1: a double click does; any
    // other value: only the keyboard and the program open editors.
    explicit CListCtrlEdit(int nStartMode);
    ~CListCtrlEdit() override;

    // Opens the editor of a cell (logical column); lpszReopenText is the rejected text of an edit
    // opened again, which the editor starts with. The editor's window, or null when the parent
    // refused, the cell cannot be shown or the editor type is unknown.
    CWnd* EditCell(int nItem, int nColumn, LPCWSTR lpszReopenText = nullptr);
    // The same for the cell under a client point.
    CWnd* EditCellAt(CPoint point);
    // Asks the parent about a cell; FALSE at once while an edit is open.
    BOOL QueryCell(int nItem, int nColumn, int& nEditorType, CString& strText, COleDateTime& dateTime, int& nComboSel);
    // The hosting program's find combos for editor type 4; without a factory that type opens nothing.
    void SetFindComboFactory(std::function<std::unique_ptr<IListFindCombo>()> factory)
    {
        m_findComboFactory = std::move(factory);
    }
    bool IsEditing() const { return m_bEditing; }
    const EDITCELLSTATE& GetEditState() const { return m_editState; }

    // What every editor sends when its edit ends: LVN_ENDLABELEDITW from the list (the editor's
    // parent) with the editor's id to the list's parent. lpszText null: nothing to report;
    // lParam: the combo's selection or a heap date value (CEditorWatcher::NewDateValue).
    static LRESULT NotifyEndEdit(CWnd& editor, int nItem, int nColumn, LPCWSTR lpszText, LPARAM lParam = 0);

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void OnEndEdit(NMHDR* pNMHDR, LRESULT* pResult);
    void OnEditorChange();
    void OnComboSelEndOk();
    void OnComboSelEndCancel();
    LRESULT OnReopen(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    DECLARE_MESSAGE_MAP()

private:
    // Creates the editor of a type over the cell's label rectangle; null when it cannot.
    CWnd* CreateEditor(int nType, int nItem, int nColumn, const CRect& rect, const CString& strText,
                       const COleDateTime& dateTime, int nComboSel);
    CWnd* CreatePlainCombo(int nType, int nItem, int nColumn, const CRect& rect, const CString& strText, int nComboSel);
    CWnd* CreatePicker(int nType, int nItem, int nColumn, const CRect& rect, const COleDateTime& dateTime);
    void FillCombo(int nItem, int nColumn, CComboBox& combo);
    void SelectRowAlone(int nItem);
    void ScrollCellIntoView(int nItem, int nColumn);
    bool IsPlainComboEditor() const;
    // Selects the entry of the open plain combo that equals the cell's text (none when absent).
    void SelectCellTextInCombo();
    void MoveEditor(UINT nKey, bool bBackwards, int nItem, int nColumn);
    void DeleteSelectedRows();
    void RemovePendingReopens();
    void TakeFocusToEndEdit();

    bool m_bEditing = false;
    bool m_bLastEditRejected = false; // the edit just ended is to open again
    EDITCELLSTATE m_editState;
    int m_nStartMode;
    std::function<std::unique_ptr<IListFindCombo>()> m_findComboFactory;
};
