// The extended list's behaviour: hideable columns addressed logically, the cells kept for hidden
// columns, the program's item data in everything the program sees, the sort column through column
// inserts and deletes, the column state record and its profile value, the column menu and its
// commands, the header's notifications, and bad input.
#include "framework/CButton.h"
#include "framework/CImageList.h"
#include "framework/CWinApp.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "uikit/CListCtrlEx.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
constexpr UINT IDC_LIST = 321;
const CRect kListRect(0, 0, 380, 260);

// Reaches the members a program sets and the seams the tests read.
class CTestList : public CListCtrlEx
{
public:
    using CListBase::GetPhysicalIndex;
    using CListBase::m_nSortColumn;
};

int HeaderCount(const CListCtrlEx& list)
{
    HWND hHeader = reinterpret_cast<HWND>(list.SendMessage(LVM_GETHEADER));
    return static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
}

std::wstring HeaderText(const CListCtrlEx& list, int nPhysical)
{
    HWND hHeader = reinterpret_cast<HWND>(list.SendMessage(LVM_GETHEADER));
    wchar_t text[64] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    return ::SendMessageW(hHeader, HDM_GETITEMW, nPhysical, reinterpret_cast<LPARAM>(&item)) ? text : L"<none>";
}

std::vector<int> OrderArray(const CListCtrlEx& list)
{
    std::vector<int> orders(list.GetColumnCount(), -1);
    const LRESULT n = list.SendMessage(LVM_GETCOLUMNORDERARRAY, orders.size(), reinterpret_cast<LPARAM>(orders.data()));
    orders.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return orders;
}

// The order the control itself shows its columns in (physical indexes).
std::vector<int> ControlOrder(CListCtrlEx& list)
{
    std::vector<int> orders(HeaderCount(list), -1);
    list.DefWindowProc(LVM_GETCOLUMNORDERARRAY, orders.size(), reinterpret_cast<LPARAM>(orders.data()));
    return orders;
}

std::wstring Text(const CListCtrlEx& list, int row, int column)
{
    return static_cast<LPCWSTR>(list.GetItemText(row, column));
}

// What the control itself answers for a physical cell (through its own dispatch-info requests).
std::wstring ControlText(CListCtrlEx& list, int row, int physical)
{
    wchar_t text[64] = {};
    LVITEMW item{};
    item.iSubItem = physical;
    item.pszText = text;
    item.cchTextMax = 64;
    list.DefWindowProc(LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

// LVM_INSERTCOLUMN at a logical index (the list's own InsertColumn appends).
int InsertColumnAt(CListCtrlEx& list, int n, LPCWSTR heading)
{
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<LPWSTR>(heading);
    column.cx = 50;
    return list.CListCtrl::InsertColumn(n, &column);
}

std::vector<BYTE> StateOf(const CListBase& list)
{
    LPBYTE p = nullptr;
    UINT size = 0;
    if (!list.GetState(&p, &size)) return {};
    std::vector<BYTE> state(p, p + size);
    delete[] p;
    return state;
}

int Int32At(const std::vector<BYTE>& bytes, size_t offset)
{
    return static_cast<int>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                            static_cast<UINT>(bytes[offset + 3]) << 24);
}

void PutInt32At(std::vector<BYTE>& bytes, size_t offset, int value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<BYTE>(static_cast<UINT>(value) >> (8 * i));
}

// 4 columns ("A" to "D", widths 60, 70, 80, 90), 3 rows ("r<row>c<column>"), column 2 hideable.
class ListCtrlExTest : public CSuiteParentTest
{
protected:
    void SetUp() override
    {
        CSuiteParentTest::SetUp();
        ASSERT_TRUE(Make(m_list, WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 4, 3));
        ASSERT_TRUE(m_list.EnableColumnHiding(2, TRUE));
        m_parent.Clear();
    }
    void TearDown() override { m_list.DestroyWindow(); }

    bool Make(CTestList& list, DWORD style, int columns, int rows)
    {
        if (!list.Create(style, kListRect, &m_parent, IDC_LIST)) return false;
        const wchar_t* headings[] = {L"A", L"B", L"C", L"D", L"E", L"F"};
        for (int c = 0; c < columns; ++c)
            if (list.InsertColumn(c, headings[c], 60 + 10 * c) != c) return false;
        for (int r = 0; r < rows; ++r)
        {
            const std::wstring label = L"r" + std::to_wstring(r) + L"c0";
            if (list.InsertItem(r, label.c_str()) != r) return false;
            for (int c = 1; c < columns; ++c)
            {
                const std::wstring text = L"r" + std::to_wstring(r) + L"c" + std::to_wstring(c);
                if (!list.SetItemText(r, c, text.c_str())) return false;
            }
        }
        return true;
    }

    CTestList m_list;
};

// ---- 1. hiding and showing ------------------------------------------------------------------

TEST_F(ListCtrlExTest, HiddenColumnKeepsHeadingWidthOrderAndCells)
{
    const std::vector<int> orderBefore = OrderArray(m_list);
    ASSERT_EQ(HeaderCount(m_list), 4);
    m_list.ShowColumn(2, FALSE);
    EXPECT_EQ(HeaderCount(m_list), 3);
    EXPECT_EQ(HeaderText(m_list, 2), L"D") << "the next column took the physical place";

    wchar_t heading[16] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_ORDER;
    column.pszText = heading;
    column.cchTextMax = 16;
    ASSERT_TRUE(m_list.GetColumn(2, &column));
    EXPECT_STREQ(heading, L"C");
    EXPECT_EQ(column.cx, 80) << "the saved width";
    EXPECT_EQ(column.iSubItem, 2);
    EXPECT_EQ(column.iOrder, 2);
    EXPECT_EQ(m_list.GetColumnWidth(2), 0);
    EXPECT_EQ(m_list.GetColumnWidthEx(2), 80);
    EXPECT_EQ(Text(m_list, 1, 2), L"r1c2") << "the hidden cell is kept";
    EXPECT_EQ(Text(m_list, 1, 3), L"r1c3") << "logical 3 is physical 2 now";

    ASSERT_TRUE(m_list.SetItemText(1, 2, L"new"));
    EXPECT_EQ(Text(m_list, 1, 2), L"new");
    EXPECT_EQ(ControlText(m_list, 1, 2), L"r1c3") << "the control's physical column 2 is logical 3";

    m_list.ShowColumn(2, TRUE);
    EXPECT_EQ(HeaderCount(m_list), 4);
    EXPECT_EQ(HeaderText(m_list, 2), L"C");
    EXPECT_EQ(ControlText(m_list, 1, 2), L"new") << "the control serves the stored text once shown";
    EXPECT_EQ(m_list.GetColumnWidth(2), 80) << "the saved width went back";
    EXPECT_EQ(OrderArray(m_list), orderBefore);
    EXPECT_EQ(ControlOrder(m_list), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(ListCtrlExTest, ProgramSwitchTakesAColumnOutAndBackKeepingTheUsersChoice)
{
    ASSERT_TRUE(m_list.EnableColumn(1, FALSE));
    EXPECT_EQ(HeaderCount(m_list), 3);
    EXPECT_EQ(Text(m_list, 0, 1), L"r0c1");
    ASSERT_TRUE(m_list.EnableColumn(1, TRUE));
    EXPECT_EQ(HeaderCount(m_list), 4);
    EXPECT_EQ(HeaderText(m_list, 1), L"B");

    m_list.ShowColumn(2, FALSE); // the user hid it
    ASSERT_TRUE(m_list.EnableColumn(2, FALSE));
    ASSERT_TRUE(m_list.EnableColumn(2, TRUE));
    EXPECT_EQ(HeaderCount(m_list), 3) << "enabling does not show what the user hid";
    m_list.ShowColumn(2, TRUE);
    EXPECT_EQ(HeaderCount(m_list), 4);

    ASSERT_TRUE(m_list.EnableColumn(2, FALSE));
    m_list.ShowColumn(2, TRUE);
    EXPECT_EQ(HeaderCount(m_list), 3) << "the user cannot show a column the program switched off";
    ASSERT_TRUE(m_list.EnableColumn(2, TRUE));
    EXPECT_EQ(HeaderCount(m_list), 4) << "the user's choice (shown) was kept";
}

TEST_F(ListCtrlExTest, OnlyHideableColumnsHideAndDisablingHidingShowsTheColumn)
{
    m_list.ShowColumn(1, FALSE);
    EXPECT_EQ(HeaderCount(m_list), 4) << "column 1 is not hideable";
    m_list.ShowColumn(2, FALSE);
    ASSERT_EQ(HeaderCount(m_list), 3);
    ASSERT_TRUE(m_list.EnableColumnHiding(2, FALSE));
    EXPECT_EQ(HeaderCount(m_list), 4);
    EXPECT_TRUE(m_list.BuildColumnMenu().Get() == nullptr) << "no hideable column left";
}

// ---- 2. mapping -----------------------------------------------------------------------------

TEST_F(ListCtrlExTest, LogicalColumnsMapPastHiddenOnes)
{
    CTestList list;
    m_list.DestroyWindow();
    ASSERT_TRUE(Make(list, WS_VISIBLE | LVS_REPORT, 5, 2));
    list.EnableColumnHiding(1, TRUE);
    list.EnableColumnHiding(3, TRUE);
    list.ShowColumn(1, FALSE);
    list.ShowColumn(3, FALSE);
    ASSERT_EQ(HeaderCount(list), 3);
    EXPECT_EQ(list.GetPhysicalIndex(4), 2);
    EXPECT_EQ(HeaderText(list, 2), L"E");
    EXPECT_EQ(ControlText(list, 1, 2), L"r1c4");

    LVCOLUMNW column{};
    column.mask = LVCF_SUBITEM | LVCF_ORDER;
    ASSERT_TRUE(list.GetColumn(4, &column));
    EXPECT_EQ(column.iSubItem, 4);
    EXPECT_EQ(column.iOrder, 4);

    int orders[] = {4, 0, 1, 2, 3};
    ASSERT_TRUE(list.SetColumnOrderArray(5, orders));
    EXPECT_EQ(OrderArray(list), (std::vector<int>{4, 0, 1, 2, 3}));
    EXPECT_EQ(ControlOrder(list), (std::vector<int>{2, 0, 1})) << "E first in the control too";
    column.mask = LVCF_ORDER;
    ASSERT_TRUE(list.GetColumn(4, &column));
    EXPECT_EQ(column.iOrder, 0);

    int bad[] = {4, 0, 1, 2, 5};
    EXPECT_FALSE(list.SetColumnOrderArray(5, bad));
    int twice[] = {4, 4, 1, 2, 3};
    EXPECT_FALSE(list.SetColumnOrderArray(5, twice));
    EXPECT_EQ(OrderArray(list), (std::vector<int>{4, 0, 1, 2, 3})) << "refused arrays change nothing";
    EXPECT_EQ(ControlOrder(list), (std::vector<int>{2, 0, 1}));

    list.ShowColumn(3, TRUE);
    EXPECT_EQ(ControlOrder(list), (std::vector<int>{3, 0, 1, 2})) << "D goes back between C and the end";
    EXPECT_EQ(HeaderText(list, 2), L"D");
}

// ---- 3. the sort column through column inserts and deletes -----------------------------------

TEST_F(ListCtrlExTest, SortColumnFollowsItsColumn)
{
    m_list.SetSortColumn(3);
    ASSERT_EQ(InsertColumnAt(m_list, 1, L"new"), 1);
    EXPECT_EQ(m_list.m_nSortColumn, 4) << "a column before it moves it right";
    ASSERT_TRUE(m_list.DeleteColumn(4));
    EXPECT_EQ(m_list.m_nSortColumn, 4) << "the column after it";
    ASSERT_TRUE(m_list.DeleteColumn(3));
    EXPECT_EQ(m_list.m_nSortColumn, 0) << "the sort column itself";

    m_list.SetSortColumn(-2);
    ASSERT_EQ(InsertColumnAt(m_list, 0, L"first"), 0);
    EXPECT_EQ(m_list.m_nSortColumn, -3);
    int column = -1;
    BOOL descending = FALSE;
    EXPECT_TRUE(m_list.GetSortColumn(&column, &descending));
    EXPECT_EQ(column, 2);
    EXPECT_TRUE(descending);
    ASSERT_TRUE(m_list.DeleteColumn(0));
    EXPECT_EQ(m_list.m_nSortColumn, -2) << "a column before it moves it left, sign kept";
}

// ---- 4. the program's item data -------------------------------------------------------------

// The suite's parent outlives a test: answers that capture the test's locals go when it ends.
class CAnswersScope
{
public:
    CAnswersScope(CRecordingParent& parent, std::vector<UINT> codes) : m_parent(parent), m_codes(std::move(codes)) {}
    ~CAnswersScope()
    {
        for (UINT code : m_codes)
            m_parent.AnswerNotify(code, [](NMHDR*) { return LRESULT{0}; });
    }

private:
    CRecordingParent& m_parent;
    std::vector<UINT> m_codes;
};

TEST_F(ListCtrlExTest, ProgramSeesItsItemDataEverywhere)
{
    std::vector<LPARAM> seen;
    const CAnswersScope answers(m_parent, {LVN_INSERTITEM, LVN_ITEMCHANGING, LVN_ITEMCHANGED, LVN_DELETEITEM,
                                           static_cast<UINT>(NM_CLICK), LVN_GETDISPINFOW});
    auto collect = [&](NMHDR* p) {
        seen.push_back(reinterpret_cast<NMLISTVIEW*>(p)->lParam);
        return LRESULT{0};
    };
    m_parent.AnswerNotify(LVN_INSERTITEM, collect);
    m_parent.AnswerNotify(LVN_ITEMCHANGING, collect);
    m_parent.AnswerNotify(LVN_ITEMCHANGED, collect);
    m_parent.AnswerNotify(LVN_DELETEITEM, collect);
    m_parent.AnswerNotify(NM_CLICK, [&](NMHDR* p) {
        seen.push_back(reinterpret_cast<NMITEMACTIVATE*>(p)->lParam);
        return LRESULT{0};
    });
    LPARAM dispInfoData = 0;
    m_parent.AnswerNotify(LVN_GETDISPINFOW, [&](NMHDR* p) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(p);
        dispInfoData = info->item.lParam;
        if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 8)
            wcscpy(info->item.pszText, L"parent");
        return LRESULT{0};
    });

    const int row = m_list.InsertItem(LVIF_TEXT | LVIF_PARAM, 3, LPSTR_TEXTCALLBACKW, 0, 0, 0, 0x1234);
    ASSERT_EQ(row, 3);
    EXPECT_EQ(m_list.GetItemData(3), 0x1234u);
    EXPECT_EQ(Text(m_list, 3, 0), L"parent");
    EXPECT_EQ(dispInfoData, 0x1234) << "a callback cell's LVN_GETDISPINFOW";
    PumpUntilIdle();
    CRect bounds;
    ASSERT_TRUE(m_list.GetItemRect(3, &bounds, LVIR_LABEL));
    ClickAt(m_list, bounds.CenterPoint());
    ASSERT_TRUE(PumpUntil([&] { return m_list.GetItemState(3, LVIS_SELECTED) != 0; }));
    PumpUntilIdle();
    ASSERT_TRUE(m_list.DeleteItem(3));
    ASSERT_GE(seen.size(), 4u);
    for (LPARAM value : seen)
        EXPECT_EQ(value, 0x1234);

    m_list.SetItemData(1, 77);
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = 1;
    item.iSubItem = 2;
    ASSERT_TRUE(m_list.GetItem(&item));
    EXPECT_EQ(item.lParam, 77) << "asked through another column";
}

TEST_F(ListCtrlExTest, FindByItemDataWrapsAndFreesRecords)
{
    for (int row = 0; row < 3; ++row)
        ASSERT_TRUE(m_list.SetItemData(row, 100 + row));
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = 101;
    EXPECT_EQ(m_list.FindItem(&find), 1);
    find.lParam = 100;
    EXPECT_EQ(m_list.FindItem(&find, 2), -1) << "rows after the start only";
    find.flags = LVFI_PARAM | LVFI_WRAP;
    EXPECT_EQ(m_list.FindItem(&find, 2), 0) << "wraps to row 0";
    find.lParam = 5;
    EXPECT_EQ(m_list.FindItem(&find, 1), -1);

    const int live = ITEM_DATA::LiveCount();
    ASSERT_GE(live, 3);
    ASSERT_TRUE(m_list.DeleteAllItems());
    EXPECT_EQ(ITEM_DATA::LiveCount(), live - 3);
    {
        CTestList other;
        ASSERT_TRUE(Make(other, WS_VISIBLE | LVS_REPORT, 2, 5));
        EXPECT_EQ(ITEM_DATA::LiveCount(), live + 2);
    }
    EXPECT_EQ(ITEM_DATA::LiveCount(), live - 3) << "destruction frees the rows' records";
}

// ---- 5. the column state record -------------------------------------------------------------

TEST_F(ListCtrlExTest, StateRecordHasItsFieldsAtTheirOffsets)
{
    m_list.SetSortColumn(-3);
    m_list.ShowColumn(2, FALSE);
    int orders[] = {3, 0, 1, 2};
    ASSERT_TRUE(m_list.SetColumnOrderArray(4, orders));
    const std::vector<BYTE> state = StateOf(m_list);
    ASSERT_EQ(state.size(), 44u);
    EXPECT_EQ(Int32At(state, 0), 4);
    EXPECT_EQ(Int32At(state, 4), -3);
    const int widths[] = {60, 70, 80, 90};
    const int expectedOrders[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(state[8 + 9 * i], i == 2 ? 0 : 1);
        EXPECT_EQ(Int32At(state, 9 + 9 * i), widths[i]);
        EXPECT_EQ(Int32At(state, 13 + 9 * i), expectedOrders[i]);
    }
}

TEST_F(ListCtrlExTest, InvalidStateRecordsChangeNothing)
{
    m_list.SetSortColumn(2);
    const std::vector<BYTE> good = StateOf(m_list);
    ASSERT_EQ(good.size(), 44u);
    struct Case
    {
        const char* why;
        size_t offset;
        int value;
        bool byte;
    };
    const Case cases[] = {
        {"a negative order", 13 + 9 * 1, -1, false},     {"a duplicate order", 13 + 9 * 1, 0, false},
        {"an order of the count", 13 + 9 * 3, 4, false}, {"a shown byte of 2", 8 + 9 * 2, 2, true},
        {"a sort column beyond the count", 4, 5, false}, {"a negative sort column beyond the count", 4, -5, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.why);
        std::vector<BYTE> bad = good;
        PutInt32At(bad, 9 + 9 * 0, 33); // a width that would show if anything applied
        bad[8 + 9 * 2] = 0;             // would hide column 2
        if (c.byte)
            bad[c.offset] = static_cast<BYTE>(c.value);
        else
            PutInt32At(bad, c.offset, c.value);
        EXPECT_FALSE(m_list.SetState(bad.data(), static_cast<UINT>(bad.size())));
        EXPECT_EQ(StateOf(m_list), good);
        EXPECT_EQ(HeaderCount(m_list), 4);
    }
    std::vector<BYTE> otherCount = good;
    PutInt32At(otherCount, 0, 3);
    EXPECT_TRUE(m_list.SetState(otherCount.data(), 44)) << "another layout is ignored";
    EXPECT_TRUE(m_list.SetState(good.data(), 35)) << "another size is ignored";
    EXPECT_EQ(StateOf(m_list), good);
}

TEST_F(ListCtrlExTest, StateRecordAppliesWidthsOrdersVisibilityAndSort)
{
    std::vector<BYTE> state = StateOf(m_list);
    PutInt32At(state, 4, -4);
    state[8 + 9 * 2] = 0;
    PutInt32At(state, 9 + 9 * 1, 44);
    PutInt32At(state, 9 + 9 * 2, 55);
    const int orders[] = {2, 0, 3, 1};
    for (int i = 0; i < 4; ++i)
        PutInt32At(state, 13 + 9 * i, orders[i]);
    ASSERT_TRUE(m_list.SetState(state.data(), static_cast<UINT>(state.size())));
    EXPECT_EQ(StateOf(m_list), state);
    EXPECT_EQ(HeaderCount(m_list), 3);
    EXPECT_EQ(m_list.GetColumnWidth(1), 44);
    EXPECT_EQ(m_list.GetColumnWidthEx(2), 55);
    EXPECT_EQ(m_list.m_nSortColumn, -4);
    EXPECT_EQ(OrderArray(m_list), (std::vector<int>{1, 3, 0, 2}));
    EXPECT_EQ(ControlOrder(m_list), (std::vector<int>{1, 2, 0}));
}

class ListStateProfileTest : public ListCtrlExTest
{
protected:
    static void SetUpTestSuite()
    {
        CSuiteParentTest::SetUpTestSuite();
        s_app = new CWinApp(L"UikitListTests");
        s_app->SetRegistryKey(L"LumoUikitTests");
    }
    static void TearDownTestSuite()
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\LumoUikitTests\\UikitListTests");
        delete s_app;
        s_app = nullptr;
        CSuiteParentTest::TearDownTestSuite();
    }
    static inline CWinApp* s_app = nullptr;
};

TEST_F(ListStateProfileTest, SavedStateRoundTripsThroughTheProfile)
{
    m_list.SetSortColumn(2);
    m_list.ShowColumn(2, FALSE);
    m_list.SetColumnWidth(3, 123);
    const std::vector<BYTE> saved = StateOf(m_list);
    ASSERT_TRUE(m_list.SaveState(L"Lists", L"Calls"));

    CRegKeyHandle key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\LumoUikitTests\\UikitListTests\\Lists", 0, KEY_READ,
                              key.Receive()),
              ERROR_SUCCESS);
    BYTE raw[64] = {};
    DWORD type = 0, size = sizeof raw;
    ASSERT_EQ(::RegQueryValueExW(key, L"Calls", nullptr, &type, raw, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(std::vector<BYTE>(raw, raw + size), saved);

    m_list.ShowColumn(2, TRUE);
    m_list.SetSortColumn(0);
    m_list.SetColumnWidth(3, 40);
    ASSERT_TRUE(m_list.RestoreState(L"Lists", L"Calls"));
    EXPECT_EQ(StateOf(m_list), saved);
    EXPECT_EQ(HeaderCount(m_list), 3);
    EXPECT_FALSE(m_list.RestoreState(L"Lists", L"NoSuchEntry"));
    CTestList empty;
    ASSERT_TRUE(empty.Create(LVS_REPORT, kListRect, &m_parent, IDC_LIST + 1));
    EXPECT_FALSE(empty.SaveState(L"Lists", L"Empty")) << "no column";
    EXPECT_FALSE(empty.RestoreState(L"Lists", L"Calls")) << "no column";
}

// ---- 6. commands and the column menu --------------------------------------------------------

TEST_F(ListCtrlExTest, OnlyMenuCommandsToggleColumns)
{
    m_list.SendMessage(WM_COMMAND, 2);
    EXPECT_EQ(HeaderCount(m_list), 3) << "WM_COMMAND(2) hides column 2";
    m_list.SendMessage(WM_COMMAND, 2);
    EXPECT_EQ(HeaderCount(m_list), 4);

    m_list.SendMessage(WM_COMMAND, MAKEWPARAM(2, 1));
    m_list.SendMessage(WM_COMMAND, 99);
    EXPECT_EQ(HeaderCount(m_list), 4);

    // A child of the list with id 2 reports its click with code 0 and its window.
    CButton button;
    ASSERT_TRUE(button.Create(L"x", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(300, 200, 340, 230), &m_list, 2));
    ClickCenter(button);
    PumpUntilIdle();
    EXPECT_EQ(HeaderCount(m_list), 4) << "BN_CLICKED of a child is no column toggle";
    m_list.SendMessage(WM_COMMAND, MAKEWPARAM(2, STN_CLICKED), reinterpret_cast<LPARAM>(button.m_hWnd));
    EXPECT_EQ(HeaderCount(m_list), 4);
}

TEST_F(ListCtrlExTest, ContextMenuOnTheRowsGoesToTheParent)
{
    const CPoint screen(40, 50);
    m_list.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_list.m_hWnd), MAKELPARAM(screen.x, screen.y));
    EXPECT_EQ(m_parent.Seen(), (Seq{{WM_CONTEXTMENU, IDC_LIST, MAKELPARAM(screen.x, screen.y)}}));
}

std::vector<std::pair<std::wstring, UINT>> MenuItems(HMENU hMenu)
{
    std::vector<std::pair<std::wstring, UINT>> items;
    for (int i = 0; i < ::GetMenuItemCount(hMenu); ++i)
    {
        wchar_t text[32] = {};
        ::GetMenuStringW(hMenu, i, text, 32, MF_BYPOSITION);
        const UINT state = ::GetMenuState(hMenu, i, MF_BYPOSITION);
        const UINT id = ::GetMenuItemID(hMenu, i);
        items.emplace_back(std::wstring(text) + L"#" + std::to_wstring(id), state & (MF_CHECKED | MF_GRAYED));
    }
    return items;
}

TEST_F(ListCtrlExTest, ColumnMenuListsAvailableColumnsWithHeadings)
{
    CMenuHandle menu = m_list.BuildColumnMenu();
    ASSERT_TRUE(menu.IsValid());
    using Items = std::vector<std::pair<std::wstring, UINT>>;
    EXPECT_EQ(MenuItems(menu), (Items{{L"A#0", MF_CHECKED | MF_GRAYED},
                                      {L"B#1", MF_CHECKED | MF_GRAYED},
                                      {L"C#2", MF_CHECKED},
                                      {L"D#3", MF_CHECKED | MF_GRAYED}}));

    m_list.ShowColumn(2, FALSE);
    m_list.EnableColumn(1, FALSE);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<LPWSTR>(L"");
    ASSERT_TRUE(m_list.SetColumn(3, &column));
    int orders[] = {2, 0, 1, 3};
    ASSERT_TRUE(m_list.SetColumnOrderArray(4, orders));
    menu = m_list.BuildColumnMenu();
    EXPECT_EQ(MenuItems(menu), (Items{{L"C#2", 0}, {L"A#0", MF_CHECKED | MF_GRAYED}}))
        << "display order; no unavailable column, none without heading";

    // No menu opens without a hideable column: the header's context menu returns at once.
    m_list.EnableColumnHiding(2, FALSE);
    EXPECT_FALSE(m_list.BuildColumnMenu().IsValid());
    HWND hHeader = reinterpret_cast<HWND>(m_list.SendMessage(LVM_GETHEADER));
    m_list.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hHeader), MAKELPARAM(10, 10));
    EXPECT_TRUE(m_parent.Seen().empty());
}

TEST_F(ListCtrlExTest, ColumnZeroIsHideableOnlyInOwnerDrawnLists)
{
    EXPECT_FALSE(m_list.EnableColumnHiding(0, TRUE));
    m_list.ShowColumn(0, FALSE);
    EXPECT_EQ(HeaderCount(m_list), 4);
    EXPECT_FALSE(m_list.KeepLabelLeft(TRUE)) << "not owner-drawn";

    CTestList drawn;
    ASSERT_TRUE(Make(drawn, WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, 3, 2));
    EXPECT_TRUE(drawn.EnableColumnHiding(0, TRUE));
    drawn.ShowColumn(0, FALSE);
    EXPECT_EQ(HeaderCount(drawn), 2);
    EXPECT_EQ(Text(drawn, 1, 0), L"r1c0");
    EXPECT_EQ(ControlText(drawn, 1, 0), L"r1c1") << "physical 0 is logical 1";
    drawn.ShowColumn(0, TRUE);
    EXPECT_EQ(HeaderText(drawn, 0), L"A");
    EXPECT_EQ(ControlText(drawn, 1, 0), L"r1c0");
}

TEST_F(ListCtrlExTest, SmallImagesStayOutOfTheHeader)
{
    CImageList images;
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR32, 1, 1));
    m_list.SetImageList(&images, LVSIL_SMALL);
    HWND hHeader = reinterpret_cast<HWND>(m_list.SendMessage(LVM_GETHEADER));
    EXPECT_EQ(::SendMessageW(hHeader, HDM_GETIMAGELIST, 0, 0), 0);
    EXPECT_EQ(m_list.SendMessage(LVM_GETIMAGELIST, LVSIL_SMALL), reinterpret_cast<LRESULT>(images.GetSafeHandle()));
    m_list.SetImageList(nullptr, LVSIL_SMALL);
}

// ---- 7. the header and queries ---------------------------------------------------------------

LRESULT SendHeaderNotify(CListCtrlEx& list, UINT code, int item, int order = -1)
{
    HWND hHeader = reinterpret_cast<HWND>(list.SendMessage(LVM_GETHEADER));
    HDITEMW hdi{};
    hdi.mask = HDI_ORDER;
    hdi.iOrder = order;
    NMHEADERW notify{};
    notify.hdr.hwndFrom = hHeader;
    notify.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(hHeader));
    notify.hdr.code = code;
    notify.iItem = item;
    notify.pitem = &hdi;
    return list.SendMessage(WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify));
}

TEST_F(ListCtrlExTest, EndOfHeaderDragMovesLogicalOrders)
{
    m_list.ShowColumn(2, FALSE);
    // Physical D (2) dropped at physical place 0.
    SendHeaderNotify(m_list, HDN_ENDDRAG, 2, 0);
    EXPECT_EQ(OrderArray(m_list), (std::vector<int>{3, 0, 1, 2}));
    // Physical A (index 0) dropped at the last physical place: after B, still before hidden C.
    SendHeaderNotify(m_list, HDN_ENDDRAG, 0, 2);
    EXPECT_EQ(OrderArray(m_list), (std::vector<int>{3, 1, 0, 2}));
    SendHeaderNotify(m_list, HDN_ENDDRAG, 0, -1);
    EXPECT_EQ(OrderArray(m_list), (std::vector<int>{3, 1, 0, 2})) << "a negative place moves nothing";
}

TEST_F(ListCtrlExTest, DividerDoubleClickSizesLabelColumnsWhenColumnZeroIsNotFirst)
{
    CTestList drawn;
    m_list.DestroyWindow();
    ASSERT_TRUE(Make(drawn, WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, 3, 3));
    ASSERT_TRUE(drawn.SetItemText(1, 2, L"a much longer text of column two"));
    ASSERT_TRUE(drawn.SetItemText(2, 0, L"the longest label of column zero"));
    CImageList images; // the rows' icons take room in the label cell
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR32, 1, 1));
    drawn.SetImageList(&images, LVSIL_SMALL);
    auto widest = [&](int column) {
        int w = 0;
        for (int row = 0; row < 3; ++row)
            w = std::max(w, drawn.GetStringWidth(drawn.GetItemText(row, column)));
        return w;
    };
    SendHeaderNotify(drawn, HDN_DIVIDERDBLCLICKW, 2);
    EXPECT_NE(drawn.GetColumnWidth(2), widest(2) + 8) << "column 0 displayed first: the control's own sizing";

    int orders[] = {2, 0, 1};
    ASSERT_TRUE(drawn.SetColumnOrderArray(3, orders));
    CRect icon, label; // of the first row's cell, as the sizing measures them
    ASSERT_TRUE(drawn.GetCellRect(0, 2, LVIR_ICON, icon));
    ASSERT_TRUE(drawn.GetCellRect(0, 2, LVIR_LABEL, label));
    SendHeaderNotify(drawn, HDN_DIVIDERDBLCLICKW, 2);
    ASSERT_GT(label.left, icon.left) << "the row's icon sits left of its label";
    EXPECT_EQ(drawn.GetColumnWidth(2), widest(2) + (label.left - icon.left) + 2 + 6);
    SendHeaderNotify(drawn, HDN_DIVIDERDBLCLICKA, 0);
    EXPECT_EQ(drawn.GetColumnWidth(0), widest(0) + 12) << "column 0 elsewhere; the ANSI form too";
    ASSERT_TRUE(drawn.SetColumnWidth(1, 1));
    SendHeaderNotify(drawn, HDN_DIVIDERDBLCLICKW, 1);
    const int byControl = drawn.GetColumnWidth(1);
    EXPECT_NE(byControl, widest(1) + 8) << "other columns are left to the control";
}

TEST_F(ListCtrlExTest, CheckedRowsAreVisitedInOrder)
{
    m_list.SetExtendedStyle(LVS_EX_CHECKBOXES);
    ASSERT_TRUE(m_list.InsertItem(3, L"r3c0") == 3);
    EXPECT_EQ(m_list.GetFirstCheckedItemPosition(), nullptr);
    m_list.SetCheck(1);
    m_list.SetCheck(3);
    std::vector<int> visited;
    for (POSITION pos = m_list.GetFirstCheckedItemPosition(); pos;)
        visited.push_back(m_list.GetNextCheckedItem(pos));
    EXPECT_EQ(visited, (std::vector<int>{1, 3}));
}

TEST_F(ListCtrlExTest, HitTestExGivesRowAndLogicalColumn)
{
    m_list.ShowColumn(2, FALSE);
    CRect cell;
    ASSERT_TRUE(m_list.GetCellRect(1, 3, LVIR_LABEL, cell));
    int column = -1;
    EXPECT_EQ(m_list.HitTestEx(cell.CenterPoint(), &column), 1);
    EXPECT_EQ(column, 3);
    ASSERT_TRUE(m_list.GetCellRect(2, 1, LVIR_LABEL, cell));
    EXPECT_EQ(m_list.HitTestEx(cell.CenterPoint(), &column), 2);
    EXPECT_EQ(column, 1);
    CRect client;
    m_list.GetClientRect(&client);
    EXPECT_EQ(m_list.HitTestEx(CPoint(5, client.bottom - 3), &column), -1);
    EXPECT_EQ(column, 0);
    EXPECT_FALSE(m_list.GetCellRect(1, 2, LVIR_LABEL, cell)) << "a hidden column has no rectangle";
}

// ---- 8. bad input ---------------------------------------------------------------------------

TEST_F(ListCtrlExTest, BadIndexesAreRefusedWithNothingChanged)
{
    const std::vector<BYTE> state = StateOf(m_list);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<LPWSTR>(L"X");
    EXPECT_EQ(m_list.InsertColumn(-1, &column), -1);
    EXPECT_EQ(m_list.InsertColumn(5, &column), -1);
    EXPECT_FALSE(m_list.DeleteColumn(4));
    EXPECT_FALSE(m_list.DeleteColumn(-1));
    EXPECT_FALSE(m_list.GetColumn(4, &column));
    EXPECT_FALSE(m_list.SetColumnWidth(7, 10));
    EXPECT_EQ(m_list.GetColumnWidth(7), 0);
    EXPECT_EQ(m_list.GetColumnWidthEx(7), -1);
    EXPECT_EQ(m_list.InsertItem(-1, L"x"), -1);
    EXPECT_FALSE(m_list.SetItemText(-1, 1, L"x"));
    EXPECT_FALSE(m_list.SetItemText(0, 4, L"x"));
    EXPECT_FALSE(m_list.SetItemText(9, 1, L"x"));
    EXPECT_FALSE(m_list.DeleteItem(-1));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = 0;
    item.iSubItem = 4;
    EXPECT_FALSE(m_list.GetItem(&item));
    item.iItem = -1;
    item.iSubItem = 0;
    EXPECT_FALSE(m_list.GetItem(&item));
    EXPECT_FALSE(m_list.EnableColumnHiding(4, TRUE));
    EXPECT_FALSE(m_list.EnableColumn(-1, FALSE));
    EXPECT_EQ(StateOf(m_list), state);
    EXPECT_EQ(m_list.GetItemCount(), 3);
    EXPECT_EQ(Text(m_list, 0, 3), L"r0c3");
}

TEST_F(ListCtrlExTest, BuffersWithoutRoomAreNeverWritten)
{
    m_list.ShowColumn(2, FALSE);
    for (int column : {1, 2})
    {
        SCOPED_TRACE(column);
        wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = 0;
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = 0;
        m_list.GetItem(&item);
        item.cchTextMax = -5;
        m_list.GetItem(&item);
        EXPECT_EQ(m_list.SendMessage(LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item)), 0);
        item.pszText = nullptr;
        item.cchTextMax = 4;
        m_list.GetItem(&item);
        EXPECT_EQ(m_list.SendMessage(LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item)), 0);
        LVCOLUMNW heading{};
        heading.mask = LVCF_TEXT;
        heading.pszText = buffer;
        heading.cchTextMax = 0;
        m_list.GetColumn(column, &heading);
        EXPECT_EQ(std::wstring(buffer, 4), L"####");

        item.pszText = buffer;
        item.cchTextMax = 3;
        ASSERT_TRUE(m_list.GetItem(&item));
        EXPECT_EQ(std::wstring(buffer), L"r0") << "truncated to the buffer";
    }
}

TEST_F(ListCtrlExTest, AnsiFormsAreRefused)
{
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<LPSTR>("X");
    EXPECT_EQ(m_list.SendMessage(LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)), -1);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<LPSTR>("x");
    EXPECT_EQ(m_list.SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), -1);
    EXPECT_EQ(m_list.SendMessage(LVM_SETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item)), FALSE);
    EXPECT_EQ(m_list.SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)), FALSE);
    EXPECT_EQ(m_list.SendMessage(LVM_SETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)), FALSE);
    LVFINDINFOA find{};
    find.flags = LVFI_STRING;
    find.psz = "r0c0";
    EXPECT_EQ(m_list.SendMessage(LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), -1);
    EXPECT_EQ(HeaderCount(m_list), 4);
    EXPECT_EQ(m_list.GetItemCount(), 3);
    EXPECT_EQ(Text(m_list, 0, 0), L"r0c0");
}
} // namespace
