// The extended list against a plain list-view control, in the same run: fill 5,000 rows of 6
// columns, hide one column and show it again (the extended list gives every row's cell back to
// the control), delete all rows. The plain control does the same filling and deleting, and its
// column is deleted and inserted again.
#include "framework/CListCtrl.h"
#include "framework/testing/CRecordingParent.h"
#include "uikit/CListCtrlEx.h"
#include <chrono>
#include <cstdio>
#include <string>

namespace
{
constexpr int kRows = 5000;
constexpr int kColumns = 6;
constexpr UINT kListId = 100;
const CRect kPlace(0, 0, 600, 400);
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Fill(CListCtrl& list)
{
    for (int row = 0; row < kRows; ++row)
    {
        const std::wstring label = L"row " + std::to_wstring(row);
        list.InsertItem(row, label.c_str());
        for (int column = 1; column < kColumns; ++column)
        {
            const std::wstring text = L"cell " + std::to_wstring(row) + L"." + std::to_wstring(column);
            list.SetItemText(row, column, text.c_str());
        }
    }
}

bool Plain(CWnd& parent)
{
    CListCtrl list;
    if (!list.Create(WS_VISIBLE | LVS_REPORT, kPlace, &parent, kListId)) return false;
    for (int column = 0; column < kColumns; ++column)
        list.InsertColumn(column, L"Heading", LVCFMT_LEFT, 80);
    Fill(list);
    list.DeleteColumn(3);
    list.InsertColumn(3, L"Heading", LVCFMT_LEFT, 80);
    list.DeleteAllItems();
    return list.DestroyWindow() != FALSE;
}

bool Extended(CWnd& parent)
{
    CListCtrlEx list;
    if (!list.Create(WS_VISIBLE | LVS_REPORT, kPlace, &parent, kListId)) return false;
    for (int column = 0; column < kColumns; ++column)
        list.InsertColumn(column, L"Heading", 80, column == 3);
    Fill(list);
    list.ShowColumn(3, FALSE);
    list.ShowColumn(3, TRUE);
    list.DeleteAllItems();
    return list.DestroyWindow() != FALSE;
}
} // namespace

int main()
{
    CRecordingParent parent;
    if (!parent.Create(620, 420, L"list bench"))
    {
        std::printf("list bench: skipped, no window can be made here (run it with a DISPLAY)\n");
        return 0;
    }
    // The cursor rests away from the lists, as it would while a program fills one.
    ::SetCursorPos(1000, 900);
    auto start = Clock::now();
    if (!Plain(parent)) return 1;
    const double tPlain = Since(start);
    start = Clock::now();
    if (!Extended(parent)) return 1;
    const double tExtended = Since(start);

    std::printf("%d rows x %d columns (%d cells) filled, one column hidden and shown, all rows deleted\n", kRows,
                kColumns, kRows * kColumns);
    std::printf("  plain list-view   %7.3f s\n", tPlain);
    std::printf("  CListCtrlEx       %7.3f s  ratio %.2fx the plain control's time (aim: at most 1.5x)\n", tExtended,
                tExtended / tPlain);
    return 0;
}
