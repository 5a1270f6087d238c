#pragma once
#include "framework/CEdit.h"
class CListBase;
// The list control's own label edit while it is open: it tells its list about Escape and keeps
// itself over the label column when the label is kept in the column displayed first.
class CLabelEdit : public CEdit
{
public:
    explicit CLabelEdit(CListBase* pOwner) : m_pOwner(pOwner) {}
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    DECLARE_MESSAGE_MAP()

private:
    CListBase* m_pOwner;
};
