#include "uikit/CLabelEdit.h"
#include "uikit/CListBase.h"

BEGIN_MESSAGE_MAP(CLabelEdit, CEdit)
ON_WM_WINDOWPOSCHANGING()
END_MESSAGE_MAP()

BOOL CLabelEdit::PreTranslateMessage(MSG* pMsg)
{
    // The key goes on to the edit, which ends itself; the list only learns that it was cancelled.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE) m_pOwner->m_labelEditing.CancelByEscape();
    return CEdit::PreTranslateMessage(pMsg);
}

void CLabelEdit::OnWindowPosChanging(WINDOWPOS* lpwndpos)
{
    CEdit::OnWindowPosChanging(lpwndpos);
    CListBase& owner = *m_pOwner;
    // The control places the edit after column 0's icon, which an ordinary cell does not have
    // once the label is kept in the column displayed first.
    if ((lpwndpos->flags & SWP_NOMOVE) || !owner.m_bKeepLabelLeft || owner.GetDisplayedFirstColumn() == 0 ||
        owner.m_labelEditing.GetEditItem() < 0)
        return;
    CRect label;
    if (owner.GetCellRect(owner.m_labelEditing.GetEditItem(), 0, LVIR_LABEL, label)) lpwndpos->x = label.left;
}
