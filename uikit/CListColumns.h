#pragma once
#include "framework/CListCtrl.h"
#include <vector>
// The program's columns against the control's: list-view column messages carry logical indexes,
// answered from the column records for a column out of the control and by the control, at the
// physical index, for one in it. Also the widths and display orders, and hiding, showing and
// enabling, which take columns out of the control and put them back with their cells.
class CListBase;

class CListColumns
{
public:
    explicit CListColumns(CListBase& list);
    CListColumns(const CListColumns&) = delete;
    CListColumns& operator=(const CListColumns&) = delete;

    LRESULT OnInsertColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetColumnWidth(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetColumnWidth(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetColumnOrderArray(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetColumnOrderArray(WPARAM wParam, LPARAM lParam);
    int GetColumnWidthEx(int nColumn) const;
    BOOL SetColumnWidthEx(int nColumn, int nWidth);
    // The work of CListBase::ShowColumn, which the list classes may override.
    void ShowColumn(int nColumn, BOOL bShow);
    BOOL EnableColumnHiding(int nColumn, BOOL bEnable);
    BOOL EnableColumn(int nColumn, BOOL bEnable);

private:
    BOOL TakeColumnOutOfControl(int nColumn);
    BOOL PutColumnIntoControl(int nColumn);
    void RestoreCellsToControl(int nColumn);
    void TakeLabelAlignment(const LVCOLUMNW& column);
    BOOL ApplyColumnOrderArray(const std::vector<int>& logicalColumns);

    CListBase& m_list;
};
