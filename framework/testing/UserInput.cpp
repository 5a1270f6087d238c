#include "framework/testing/UserInput.h"

namespace
{
LPARAM Packed(CPoint p)
{
    return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}
} // namespace

void ClickAt(const CWnd& wnd, CPoint clientPoint)
{
    wnd.PostMessage(WM_MOUSEMOVE, 0, Packed(clientPoint));
    wnd.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, Packed(clientPoint));
    wnd.PostMessage(WM_LBUTTONUP, 0, Packed(clientPoint));
}

void ClickCenter(const CWnd& wnd)
{
    CRect rc;
    wnd.GetClientRect(&rc);
    ClickAt(wnd, rc.CenterPoint());
}

void PressKey(const CWnd& wnd, UINT nVirtKey)
{
    const UINT scan = ::MapVirtualKeyW(nVirtKey, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    const LPARAM up = down | (1LL << 30) | (1LL << 31);
    wnd.PostMessage(WM_KEYDOWN, nVirtKey, down);
    wnd.PostMessage(WM_KEYUP, nVirtKey, up);
}

void TypeChar(const CWnd& wnd, wchar_t ch)
{
    wnd.PostMessage(WM_CHAR, ch, 1);
}
