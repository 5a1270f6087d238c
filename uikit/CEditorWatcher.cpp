#include "uikit/CEditorWatcher.h"
#include "framework/CDateTimeCtrl.h"
#include "uikit/CListCtrlEdit.h"
#include "uikit/CListEditCounters.h"
#include <commctrl.h>

namespace
{
constexpr UINT_PTR kSubclassId = 0x4C45; // one watcher per editor
} // namespace

CEditorWatcher::CEditorWatcher(std::unique_ptr<CWnd> editor, int nKind, int nItem, int nColumn)
    : m_editor(std::move(editor)), m_nKind(nKind), m_nItem(nItem), m_nColumn(nColumn)
{
    ++CListEditCounters::s_nWatchers;
    ++CListEditCounters::s_nEditors;
}

CEditorWatcher::~CEditorWatcher()
{
    // The editor's window is gone by now (or never watched): only the object is left.
    if (m_editor && m_editor->m_hWnd) m_editor->DestroyWindow();
    m_editor.reset();
    --CListEditCounters::s_nEditors;
    --CListEditCounters::s_nWatchers;
}

BOOL CEditorWatcher::Watch(std::unique_ptr<CWnd> editor, int nKind, int nItem, int nColumn)
{
    if (!editor || !editor->m_hWnd) return FALSE;
    const HWND hWnd = editor->m_hWnd;
    auto* pWatcher = new CEditorWatcher(std::move(editor), nKind, nItem, nColumn);
    if (!::SetWindowSubclass(hWnd, &CEditorWatcher::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(pWatcher)))
    {
        delete pWatcher;
        return FALSE;
    }
    return TRUE;
}

LPARAM CEditorWatcher::NewDateValue(const COleDateTime& value)
{
    ++CListEditCounters::s_nDateValues;
    return reinterpret_cast<LPARAM>(new COleDateTime(value));
}

COleDateTime CEditorWatcher::TakeDateValue(LPARAM lParam)
{
    std::unique_ptr<COleDateTime> value(reinterpret_cast<COleDateTime*>(lParam));
    if (!value) return COleDateTime();
    --CListEditCounters::s_nDateValues;
    return *value;
}

LRESULT CALLBACK CEditorWatcher::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR dwRefData)
{
    auto* pWatcher = reinterpret_cast<CEditorWatcher*>(dwRefData);
    switch (message)
    {
    case WM_GETDLGCODE:
        return pWatcher->OnGetDlgCode(hWnd, wParam, lParam);
    case WM_KILLFOCUS:
        pWatcher->EndEdit(hWnd);
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    case WM_NCDESTROY: {
        // The framework lets go of the window first; then the watcher frees the editor object.
        ::RemoveWindowSubclass(hWnd, &CEditorWatcher::SubclassProc, kSubclassId);
        const LRESULT result = ::DefSubclassProc(hWnd, message, wParam, lParam);
        delete pWatcher;
        return result;
    }
    default:
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    }
}

LRESULT CEditorWatcher::OnGetDlgCode(HWND hWnd, WPARAM wParam, LPARAM lParam)
{
    const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
    // The dialog asks before it acts on Enter and Esc typed: they end the edit here, Esc included
    // (the editor's value is reported, as with Enter).
    if (pMsg && pMsg->message == WM_CHAR && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        if (HWND hList = ::GetParent(hWnd)) ::SetFocus(hList);
    return ::DefSubclassProc(hWnd, WM_GETDLGCODE, wParam, lParam) | DLGC_WANTALLKEYS;
}

void CEditorWatcher::EndEdit(HWND hWnd)
{
    if (m_bEnded) return;
    m_bEnded = true;
    CString text;
    m_editor->GetWindowText(text);
    LPARAM value = 0;
    if (m_nKind == CListCtrlEdit::kEditorCombo)
        value = ::SendMessageW(hWnd, CB_GETCURSEL, 0, 0);
    else
    {
        COleDateTime date;
        if (!static_cast<CDateTimeCtrl*>(m_editor.get())->GetTime(date)) date.SetStatus(COleDateTime::invalid);
        value = NewDateValue(date);
    }
    ::ShowWindow(hWnd, SW_HIDE);
    CListCtrlEdit::NotifyEndEdit(*m_editor, m_nItem, m_nColumn, text, value);
    ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
}
