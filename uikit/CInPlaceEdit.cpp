#include "uikit/CInPlaceEdit.h"
#include "framework/CClientDC.h"
#include "framework/CSelectObject.h"
#include "uikit/CListCtrlEdit.h"
#include "uikit/CListEditCounters.h"
#include <algorithm>

BEGIN_MESSAGE_MAP(CInPlaceEdit, CEdit)
ON_WM_CREATE()
ON_WM_CHAR()
ON_WM_KEYDOWN()
ON_WM_KILLFOCUS()
END_MESSAGE_MAP()

CInPlaceEdit::CInPlaceEdit(int nItem, int nColumn, LPCWSTR lpszStartText)
    : m_nItem(nItem), m_nColumn(nColumn), m_strStartText(lpszStartText ? lpszStartText : L"")
{
    ++CListEditCounters::s_nEditors;
}

CInPlaceEdit::~CInPlaceEdit()
{
    if (m_pDeleted) *m_pDeleted = true;
    --CListEditCounters::s_nEditors;
}

CInPlaceEdit* CInPlaceEdit::Open(CWnd* pList, const RECT& rect, DWORD dwStyle, UINT nID, int nItem, int nColumn,
                                 LPCWSTR lpszStartText)
{
    auto* pEdit = new CInPlaceEdit(nItem, nColumn, lpszStartText);
    bool deleted = false;
    pEdit->m_pDeleted = &deleted;
    if (!pEdit->CreateEx(WS_EX_CLIENTEDGE, L"EDIT", L"", dwStyle, rect, pList, nID))
    {
        // A window that existed went with its WM_NCDESTROY, and took the object along.
        if (!deleted) delete pEdit;
        return nullptr;
    }
    pEdit->m_pDeleted = nullptr;
    return pEdit;
}

int CInPlaceEdit::OnCreate(LPCREATESTRUCTW lpCreateStruct)
{
    if (CEdit::OnCreate(lpCreateStruct) == -1) return -1;
    if (HWND hList = ::GetParent(m_hWnd))
        SetFontHandle(reinterpret_cast<HFONT>(::SendMessageW(hList, WM_GETFONT, 0, 0)));
    SetWindowText(m_strStartText);
    SetFocus();
    SetSel(0, -1);
    ScrollCaret();
    return 0;
}

BOOL CInPlaceEdit::PreTranslateMessage(MSG* pMsg)
{
    // Enter and Esc end the edit here: a dialog must not take them for its default and cancel buttons.
    if (pMsg->message == WM_KEYDOWN &&
        (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_DELETE))
    {
        ::TranslateMessage(pMsg);
        ::DispatchMessageW(pMsg);
        return TRUE;
    }
    return CEdit::PreTranslateMessage(pMsg);
}

void CInPlaceEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_ESCAPE || nChar == VK_RETURN)
    {
        if (nChar == VK_ESCAPE) m_bCancelled = true;
        GiveFocusToList();
        return;
    }
    CEdit::OnChar(nChar, nRepCnt, nFlags);
    m_bChanged = true;
    GrowToText();
}

void CInPlaceEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_DELETE) m_bChanged = true;
    CEdit::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CInPlaceEdit::OnKillFocus(CWnd* pNewWnd)
{
    CEdit::OnKillFocus(pNewWnd);
    CString text;
    GetWindowText(text);
    HWND hList = ::GetParent(m_hWnd);
    // The list's own label edit, when one is open, ends with the same text.
    if (HWND hLabelEdit = reinterpret_cast<HWND>(::SendMessageW(hList, LVM_GETEDITCONTROL, 0, 0)))
        ::SetWindowTextW(hLabelEdit, text);
    const bool report = !m_bCancelled && m_bChanged;
    CListCtrlEdit::NotifyEndEdit(*this, m_nItem, m_nColumn, report ? text.GetString() : nullptr);
    DestroyWindow(); // deletes this
}

void CInPlaceEdit::GiveFocusToList()
{
    if (HWND hList = ::GetParent(m_hWnd)) ::SetFocus(hList);
}

void CInPlaceEdit::GrowToText()
{
    HWND hList = ::GetParent(m_hWnd);
    if (!hList) return;
    CString text;
    GetWindowText(text);
    text += L'm'; // room for the next letter
    CClientDC dc(this);
    CSelectObject font(dc.GetSafeHdc(), reinterpret_cast<HGDIOBJ>(::SendMessageW(hList, WM_GETFONT, 0, 0)));
    const int needed = dc.GetTextExtent(text).cx;
    CRect rect;
    GetWindowRect(&rect);
    ::MapWindowPoints(nullptr, hList, reinterpret_cast<LPPOINT>(&rect), 2);
    if (rect.Width() >= needed) return;
    CRect client;
    ::GetClientRect(hList, &client);
    const int right = std::min(static_cast<int>(rect.left) + needed, static_cast<int>(client.right));
    if (right <= rect.right) return;
    SetWindowPos(nullptr, 0, 0, right - rect.left, rect.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
}

void CInPlaceEdit::PostNcDestroy()
{
    delete this;
}
