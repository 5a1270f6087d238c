#include "uikit/CListLabelEditing.h"
#include "uikit/CLabelEdit.h"
#include "uikit/CListBase.h"
#include <algorithm>

CListLabelEditing::CListLabelEditing(CListBase& list) : m_list(list) {}

CListLabelEditing::~CListLabelEditing() = default;

void CListLabelEditing::CreateLabelEdit()
{
    if (!m_pLabelEdit) m_pLabelEdit = std::make_unique<CLabelEdit>(&m_list);
}

BOOL CListLabelEditing::OnBeginLabelEdit(NMHDR* pNMHDR, LRESULT*)
{
    const auto* pInfo = reinterpret_cast<const NMLVDISPINFOW*>(pNMHDR);
    m_nEditItem = pInfo->item.iItem;
    m_bEditCancelled = FALSE;
    const auto hEdit = reinterpret_cast<HWND>(m_list.DefaultProc(LVM_GETEDITCONTROL));
    if (m_pLabelEdit && hEdit)
    {
        if (m_pLabelEdit->m_hWnd) m_pLabelEdit->UnsubclassWindow();
        // Not taken over, the edit still works as the list view's own, only without our keys.
        static_cast<void>(m_pLabelEdit->SubclassWindow(hEdit));
    }
    return FALSE; // the parent may refuse the edit
}

BOOL CListLabelEditing::OnEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult)
{
    if (m_bInEndLabelEdit) return FALSE; // ours, reflected back: the parent's
    auto* pInfo = reinterpret_cast<NMLVDISPINFOW*>(pNMHDR);
    const auto hEdit = reinterpret_cast<HWND>(m_list.DefaultProc(LVM_GETEDITCONTROL));
    const bool edited = !m_bEditCancelled && m_nEditItem >= 0 && hEdit;
    // Cancelled is no text, whatever the control put in (Wine's cancel passes the edit's text).
    if (m_bEditCancelled) pInfo->item.pszText = nullptr;
    if (edited)
    {
        const int size = std::max(::GetWindowTextLengthW(hEdit) + 1, 260);
        LPWSTR buffer = m_strLabelEditText.GetBufferSetLength(size);
        ::GetWindowTextW(hEdit, buffer, size);
        pInfo->item.pszText = buffer;
        pInfo->item.cchTextMax = size;
    }
    LRESULT accepted = 0;
    if (CWnd* pParent = m_list.m_pListCtrl->GetParent(); pParent && pParent->m_hWnd)
    {
        m_bInEndLabelEdit = TRUE;
        accepted = pParent->SendMessage(WM_NOTIFY, static_cast<WPARAM>(m_list.m_pListCtrl->GetDlgCtrlID()),
                                        reinterpret_cast<LPARAM>(pNMHDR));
        m_bInEndLabelEdit = FALSE;
    }
    if (!m_bEditCancelled && accepted && pInfo->item.pszText)
    {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = pInfo->item.iItem;
        item.pszText = pInfo->item.pszText;
        m_list.m_pListCtrl->SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    if (edited) m_strLabelEditText.ReleaseBuffer();
    m_nEditItem = -1;
    // The control stores nothing itself: the row's text went through the cell records above.
    *pResult = 0;
    return TRUE;
}

LRESULT CListLabelEditing::OnCancelEditLabel(WPARAM wParam, LPARAM lParam)
{
    m_nEditItem = -1;
    m_bEditCancelled = TRUE;
    return m_list.DefaultProc(LVM_CANCELEDITLABEL, wParam, lParam);
}
