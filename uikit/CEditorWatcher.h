#pragma once
#include "framework/COleDateTime.h"
#include "framework/CWnd.h"
#include <memory>
// Watches an editor of an editable list that is an ordinary control (the plain combo, the date
// and time pickers): a window subclass over the framework's, holding the editor object, the kind
// (CListCtrlEdit's editor type) and the cell. It makes a dialog leave all keys to the editor, ends
// the edit when Enter or Esc is typed or the focus goes, and frees the editor with its window.
class CEditorWatcher
{
public:
    // Takes over the editor (a created child of the list) until its window is gone. FALSE when
    // the subclass cannot be set: the editor's window is destroyed and the object freed.
    static BOOL Watch(std::unique_ptr<CWnd> editor, int nKind, int nItem, int nColumn);

    // The pickers' value travels to the list inside one notification, on the heap.
    static LPARAM NewDateValue(const COleDateTime& value);
    static COleDateTime TakeDateValue(LPARAM lParam); // frees it

    ~CEditorWatcher();
    CEditorWatcher(const CEditorWatcher&) = delete;
    CEditorWatcher& operator=(const CEditorWatcher&) = delete;

private:
    CEditorWatcher(std::unique_ptr<CWnd> editor, int nKind, int nItem, int nColumn);
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR uIdSubclass,
                                         DWORD_PTR dwRefData);
    LRESULT OnGetDlgCode(HWND hWnd, WPARAM wParam, LPARAM lParam);
    void EndEdit(HWND hWnd);

    std::unique_ptr<CWnd> m_editor;
    int m_nKind;
    int m_nItem;
    int m_nColumn;
    bool m_bEnded = false; // the end is reported once, whatever focus changes follow
};
