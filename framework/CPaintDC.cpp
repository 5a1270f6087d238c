#include "framework/CPaintDC.h"
#include "framework/CWnd.h"

IMPLEMENT_DYNAMIC(CPaintDC, CDC)

CPaintDC::CPaintDC(CWnd* pWnd)
{
    HWND hWnd = AfxGetSafeHwnd(pWnd);
    if (HDC hDC = ::BeginPaint(hWnd, &m_ps))
    {
        m_paint.Attach({hWnd, &m_ps});
        SetBorrowedDC(hDC);
    }
}

CPaintDC::~CPaintDC()
{
    SetBorrowedDC(nullptr);
}
