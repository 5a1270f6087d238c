#include "uikit/CLumoListFindCombo.h"

BEGIN_MESSAGE_MAP(CLumoListFindCombo, CComboBox)
ON_CONTROL_REFLECT(CBN_SELCHANGE, &CLumoListFindCombo::OnSelChange)
ON_CONTROL_REFLECT(CBN_KILLFOCUS, &CLumoListFindCombo::OnLoseFocus)
END_MESSAGE_MAP()

void CLumoListFindCombo::OnSelChange()
{
    if (!m_pFindDlg) return;
    const int index = static_cast<int>(SendMessage(CB_GETCURSEL));
    CString value;
    if (index >= 1) value.Format(L"%d", index - 2);
    m_pFindDlg->SetEditedValue(value);
}

void CLumoListFindCombo::OnLoseFocus()
{
    ShowWindow(SW_HIDE);
}
