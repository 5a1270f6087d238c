#include "desktop/CApplicationToolBarDlg.h"
#include "desktop/LumoResource.h"

CApplicationToolBarDlg::CApplicationToolBarDlg(CWnd* pParent)
    : CDialog(IDD_APPLICATION_TOOLBAR, pParent), m_pMainWnd(pParent)
{
}

CApplicationToolBarDlg::~CApplicationToolBarDlg()
{
    DestroyWindow();
}

BOOL CApplicationToolBarDlg::Create()
{
    // An explicit desktop parent: the framework would otherwise take the main window.
    return CDialog::Create(IDD_APPLICATION_TOOLBAR, CWnd::FromHandle(::GetDesktopWindow()));
}

void CApplicationToolBarDlg::SetCurrentCall(const CSmartObjectPtr<CCallInfo>& /*pCall*/) {}

void CApplicationToolBarDlg::ShowCurrentCall() {}

void CApplicationToolBarDlg::SetBannerText(const CString& /*strText*/) {}

void CApplicationToolBarDlg::SetDockEdge(bool /*bTop*/) {}
