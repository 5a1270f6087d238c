#include "framework/CWindowDC.h"
#include "framework/CWnd.h"

IMPLEMENT_DYNAMIC(CWindowDC, CDC)

CWindowDC::CWindowDC(CWnd* pWnd)
{
    HWND hWnd = AfxGetSafeHwnd(pWnd);
    if (HDC hDC = ::GetWindowDC(hWnd))
    {
        m_release.Attach({hWnd, hDC});
        SetBorrowedDC(hDC);
    }
}

CWindowDC::~CWindowDC()
{
    SetBorrowedDC(nullptr);
}
