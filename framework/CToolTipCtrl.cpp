#include "framework/CToolTipCtrl.h"
#include "framework/AfxInitCommonControls.h"
#include "framework/CTempHandleMap.h"
#include <vector>

IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

namespace
{
// The longest tip text we read back; tips are single short lines.
constexpr int kMaxTipText = 1024;
} // namespace

CToolTipCtrl* CToolTipCtrl::FromHandle(HWND hWnd)
{
    return AfxControlFromHandle<CToolTipCtrl>(hWnd);
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    if (!AfxInitCommonControls(ICC_WIN95_CLASSES)) return FALSE;
    return CWnd::CreateEx(WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, AfxGetSafeHwnd(pParentWnd), nullptr);
}

TTTOOLINFOW CToolTipCtrl::ToolOf(CWnd* pWnd, UINT_PTR nIDTool)
{
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = AfxGetSafeHwnd(pWnd);
    ti.uId = nIDTool;
    if (!nIDTool)
    {
        // Id 0 names the window itself as the tool.
        ti.uFlags = TTF_IDISHWND;
        ti.uId = reinterpret_cast<UINT_PTR>(ti.hwnd);
    }
    return ti;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCWSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    if (lpRectTool && !nIDTool)
    {
        // Id 0 names the whole window as the tool: a rectangle needs an id of its own.
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TTTOOLINFOW ti = ToolOf(pWnd, nIDTool);
    ti.uFlags |= TTF_SUBCLASS;
    if (lpRectTool)
        ti.rect = *lpRectTool;
    else if (pWnd)
        ::GetClientRect(pWnd->m_hWnd, &ti.rect);
    ti.lpszText = const_cast<LPWSTR>(lpszText);
    return AddTool(&ti);
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool)
{
    TTTOOLINFOW ti = ToolOf(pWnd, nIDTool);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool) const
{
    TTTOOLINFOW ti = ToolOf(pWnd, nIDTool);
    std::vector<wchar_t> text(kMaxTipText + 1, L'\0');
    ti.lpszText = text.data();
    // The W message's wParam bounds the copy (comctl32 6); version 5 ignores it and copies
    // at most 80 characters, which the buffer holds.
    SendMessage(TTM_GETTEXTW, kMaxTipText, reinterpret_cast<LPARAM>(&ti));
    str = text.data();
}

void CToolTipCtrl::UpdateTipText(LPCWSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    TTTOOLINFOW ti = ToolOf(pWnd, nIDTool);
    ti.lpszText = const_cast<LPWSTR>(lpszText);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

BOOL CToolTipCtrl::GetToolInfo(TTTOOLINFOW* pToolInfo, CWnd* pWnd, UINT_PTR nIDTool) const
{
    *pToolInfo = ToolOf(pWnd, nIDTool);
    pToolInfo->lpszText = nullptr; // the text is read with GetText
    return static_cast<BOOL>(SendMessage(TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(pToolInfo)));
}

void CToolTipCtrl::SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT lpRect)
{
    TTTOOLINFOW ti = ToolOf(pWnd, nIDTool);
    ti.rect = *lpRect;
    SendMessage(TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
}
