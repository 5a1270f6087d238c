#include "uikit/CListRowSorter.h"
#include "uikit/CListBase.h"

CListRowSorter::CListRowSorter(CListBase& list) : m_list(list) {}

int CALLBACK CListRowSorter::CompareThroughRecords(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    auto* self = reinterpret_cast<CListRowSorter*>(lParamSort);
    const ITEM_DATA* p1 = self->m_list.m_items.FindRecord(lParam1);
    const ITEM_DATA* p2 = self->m_list.m_items.FindRecord(lParam2);
    if (self->m_bCompareRecords)
        return self->m_pfnCompare(reinterpret_cast<LPARAM>(p1), reinterpret_cast<LPARAM>(p2), self->m_lCompareData);
    return self->m_pfnCompare(p1 ? p1->m_lParam : 0, p2 ? p2->m_lParam : 0, self->m_lCompareData);
}

LRESULT CListRowSorter::OnSortItems(WPARAM wParam, LPARAM lParam)
{
    if (!lParam || m_list.IsOwnerData()) return FALSE;
    m_pfnCompare = reinterpret_cast<PFNLVCOMPARE>(lParam);
    m_lCompareData = static_cast<LPARAM>(wParam);
    m_list.m_tips.AllowTips(false);
    const LRESULT result = m_list.DefaultProc(LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                                              reinterpret_cast<LPARAM>(&CListRowSorter::CompareThroughRecords));
    m_list.m_tips.AllowTips(true);
    m_bCompareRecords = FALSE;
    if (result)
    {
        m_list.m_tips.ResetTips();
        m_list.MakeSyntheticMouseMove();
    }
    return result;
}

BOOL CListRowSorter::SortItemsWith(PFNLVCOMPARE pfnCompare, LPARAM lParamSort, bool bRecords)
{
    m_bCompareRecords = bRecords ? TRUE : FALSE;
    m_list.m_pListCtrl->SetRedraw(FALSE);
    const BOOL sorted = static_cast<BOOL>(m_list.m_pListCtrl->SendMessage(
        LVM_SORTITEMS, static_cast<WPARAM>(lParamSort), reinterpret_cast<LPARAM>(pfnCompare)));
    m_list.m_pListCtrl->SetRedraw(TRUE);
    m_bCompareRecords = FALSE;
    return sorted;
}
