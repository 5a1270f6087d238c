#include "framework/CClientDC.h"
#include "framework/CWnd.h"

IMPLEMENT_DYNAMIC(CClientDC, CDC)

CClientDC::CClientDC(CWnd* pWnd)
{
    HWND hWnd = AfxGetSafeHwnd(pWnd);
    if (HDC hDC = ::GetDC(hWnd))
    {
        m_release.Attach({hWnd, hDC});
        SetBorrowedDC(hDC);
    }
}

CClientDC::~CClientDC()
{
    SetBorrowedDC(nullptr);
}
