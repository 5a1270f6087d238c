#include "framework/CStatic.h"
#include "framework/AfxReflectDrawItem.h"
#include "framework/CTempHandleMap.h"

IMPLEMENT_DYNAMIC(CStatic, CWnd)

CStatic* CStatic::FromHandle(HWND hWnd)
{
    return AfxControlFromHandle<CStatic>(hWnd);
}

BOOL CStatic::Create(LPCWSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(WC_STATICW, lpszText, dwStyle, rect, pParentWnd, nID);
}

void CStatic::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return AfxReflectDrawItem(*this, message, lParam, pResult) || CWnd::OnChildNotify(message, wParam, lParam, pResult);
}
