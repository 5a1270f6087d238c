#include "framework/CButton.h"
#include "framework/AfxReflectDrawItem.h"
#include "framework/CTempHandleMap.h"

IMPLEMENT_DYNAMIC(CButton, CWnd)

CButton* CButton::FromHandle(HWND hWnd)
{
    return AfxControlFromHandle<CButton>(hWnd);
}

BOOL CButton::Create(LPCWSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(WC_BUTTONW, lpszCaption, dwStyle, rect, pParentWnd, nID);
}

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return AfxReflectDrawItem(*this, message, lParam, pResult) || CWnd::OnChildNotify(message, wParam, lParam, pResult);
}
