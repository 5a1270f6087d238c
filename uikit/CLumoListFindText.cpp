#include "uikit/CLumoListFindText.h"

BEGIN_MESSAGE_MAP(CLumoListFindText, CEdit)
ON_CONTROL_REFLECT(EN_CHANGE, &CLumoListFindText::OnChange)
ON_CONTROL_REFLECT(EN_KILLFOCUS, &CLumoListFindText::OnLoseFocus)
END_MESSAGE_MAP()

void CLumoListFindText::OnChange()
{
    CString text;
    GetWindowText(text);
    if (m_pFindDlg) m_pFindDlg->SetEditedValue(text);
    if (m_pChangeDlg) m_pChangeDlg->SetEditedNumber(text);
}

void CLumoListFindText::OnLoseFocus()
{
    ShowWindow(SW_HIDE);
}
