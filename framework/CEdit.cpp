#include "framework/CEdit.h"
#include "framework/CTempHandleMap.h"

IMPLEMENT_DYNAMIC(CEdit, CWnd)

CEdit* CEdit::FromHandle(HWND hWnd)
{
    return AfxControlFromHandle<CEdit>(hWnd);
}

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(WC_EDITW, nullptr, dwStyle, rect, pParentWnd, nID);
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll)
{
    SendMessage(EM_SETSEL, static_cast<WPARAM>(nStartChar), nEndChar);
    if (!bNoScroll) SendMessage(EM_SCROLLCARET);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const
{
    DWORD start = 0, end = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    nStartChar = static_cast<int>(start);
    nEndChar = static_cast<int>(end);
}

CPoint CEdit::PosFromChar(UINT nChar) const
{
    const LRESULT packed = SendMessage(EM_POSFROMCHAR, nChar);
    return CPoint(static_cast<short>(LOWORD(packed)), static_cast<short>(HIWORD(packed)));
}
