// The extended list's sorting, tint, styles, input, drawing and geometry, the list control's
// natural-order sort and the list view (its overrides, value comparison, deferred repaints).
// Level-2 behaviour runs through a forced common-controls version and a theme-library double.
#include "framework/CDC.h"
#include "framework/CHeaderCtrl.h"
#include "framework/CImageList.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/DrawItemRequest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "uikit/CListCtrlEx.h"
#include "uikit/CListViewEx.h"
#include "uikit/CUxThemeLibrary.h"
#include "uikit/UikitMessages.h"
#include "uikit/VisualStyles.h"
#include <gtest/gtest.h>
#include <climits>
#include <cmath>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr UINT IDC_LIST = 331;
const CRect kListRect(0, 0, 380, 260);
constexpr COLORREF kRed = RGB(255, 0, 0);

class CTestList : public CListCtrlEx
{
public:
    using CListBase::GetStateIconRect;
    using CListBase::m_crSortTint;
    using CListBase::m_nSortColumn;
    using CListBase::m_nThemeHotItem;
    int m_sorts = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == LVM_SORTITEMS) ++m_sorts;
        return CListCtrlEx::WindowProc(message, wParam, lParam);
    }
};

// Answers as an active theme would, with the calls logged.
class CRecordingTheme : public CUxThemeLibrary
{
public:
    CRecordingTheme() : CUxThemeLibrary(L"NoSuchThemeLibrary.dll") {}
    std::vector<std::wstring> m_windowThemes, m_opened;
    std::vector<int> m_states;
    HRESULT SetWindowTheme(HWND, LPCWSTR app, LPCWSTR) override
    {
        m_windowThemes.push_back(app ? app : L"");
        return S_OK;
    }
    HTHEME OpenThemeData(HWND, LPCWSTR classes) override
    {
        m_opened.push_back(classes);
        return reinterpret_cast<HTHEME>(0x4321);
    }
    HRESULT CloseThemeData(HTHEME) override { return S_OK; }
    HRESULT DrawThemeBackground(HTHEME, HDC, int part, int state, const RECT*, const RECT*) override
    {
        EXPECT_EQ(part, 1) << "LVP_LISTITEM";
        m_states.push_back(state);
        return S_OK;
    }
};

// Level 2 (forced version 6) with the theme double for the life of a scope.
class CLevel2Scope
{
public:
    CLevel2Scope()
    {
        OverrideCommonControlsVersion(6);
        SetUxThemeLibrary(&m_theme);
    }
    ~CLevel2Scope()
    {
        SetUxThemeLibrary(nullptr);
        ResetCommonControlsProbe();
    }
    CRecordingTheme m_theme;
};

// A 16x16 image list whose image 0 is solid red.
void MakeRedImages(CImageList& images)
{
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR24, 1, 1));
    CPixelCanvas red(16, 16, kRed);
    CGdiHandle<HBITMAP> bitmap(::CreateCompatibleBitmap(red.GetDC(), 16, 16));
    {
        CMemoryDC dc(::CreateCompatibleDC(red.GetDC()));
        CGdiSelectionHandle keep({dc, ::SelectObject(dc, bitmap.Get())});
        ::BitBlt(dc, 0, 0, 16, 16, red.GetDC(), 0, 0, SRCCOPY);
    }
    ASSERT_EQ(::ImageList_Add(images.GetSafeHandle(), bitmap, nullptr), 0);
}

class ListViewExTest : public CSuiteParentTest
{
protected:
    void SetUp() override
    {
        CSuiteParentTest::SetUp();
        ResetCommonControlsProbe();
        ASSERT_FALSE(AreVisualStylesAvailable()) << "Wine's common controls report 5.81";
    }
    void TearDown() override { ResetCommonControlsProbe(); }

    // Columns "A".."D" (widths 60, 70, 80, 90) and rows "r<row>c<column>".
    bool Make(CTestList& list, DWORD style, int columns, int rows)
    {
        if (!list.Create(WS_VISIBLE | LVS_REPORT | style, kListRect, &m_parent, IDC_LIST)) return false;
        const wchar_t* headings[] = {L"A", L"B", L"C", L"D"};
        for (int c = 0; c < columns; ++c)
            if (list.InsertColumn(c, headings[c], 60 + 10 * c) != c) return false;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
            {
                const std::wstring text = L"r" + std::to_wstring(r) + L"c" + std::to_wstring(c);
                if (c == 0 ? list.InsertItem(r, text.c_str()) != r : !list.SetItemText(r, c, text.c_str()))
                    return false;
            }
        return true;
    }
};

// ---- 1. column clicks -----------------------------------------------------------------------

TEST_F(ListViewExTest, HeaderClickReportsTheLogicalColumnAndFlipsTheSort)
{
    CTestList list;
    ASSERT_TRUE(Make(list, 0, 4, 2));
    list.EnableColumnHiding(1, TRUE);
    list.ShowColumn(1, FALSE);
    std::vector<int> clicked;
    m_parent.AnswerNotify(LVN_COLUMNCLICK, [&](NMHDR* p) {
        clicked.push_back(reinterpret_cast<NMLISTVIEW*>(p)->iSubItem);
        return LRESULT{0};
    });
    CHeaderCtrl* pHeader = list.GetHeaderCtrl();
    auto click = [&](int physical) {
        CRect item;
        ASSERT_TRUE(pHeader->GetItemRect(physical, &item));
        const size_t before = clicked.size();
        ClickAt(*pHeader, item.CenterPoint());
        ASSERT_TRUE(PumpUntil([&] { return clicked.size() > before; }));
    };
    click(1);
    EXPECT_EQ(clicked.back(), 2);
    EXPECT_EQ(list.m_nSortColumn, 3);
    click(1);
    EXPECT_EQ(list.m_nSortColumn, -3);
    click(2);
    EXPECT_EQ(clicked.back(), 3);
    EXPECT_EQ(list.m_nSortColumn, 4);
    m_parent.AnswerNotify(LVN_COLUMNCLICK, [](NMHDR*) { return LRESULT{0}; });
    PumpUntilIdle();
}

// ---- 2. the tint ----------------------------------------------------------------------------

TEST(SortTint, IsATenthLighterOrEightDarkerWhenNearlyWhite)
{
    struct Case
    {
        COLORREF background, tint;
    };
    const Case cases[] = {
        {RGB(241, 241, 241), RGB(233, 233, 233)},
        {RGB(255, 255, 255), RGB(247, 247, 247)},
        {RGB(200, 100, 0), RGB(220, 110, 0)},
        {RGB(240, 235, 232), RGB(255, 255, 255)},
        {RGB(0, 0, 0), RGB(0, 0, 0)},
        {RGB(231, 232, 10), RGB(254, 255, 11)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CListBase::ComputeSortTint(c.background), c.tint) << std::hex << c.background;
}

TEST_F(ListViewExTest, EraseFillsTheSortColumnsStripWithTheTint)
{
    CTestList list;
    ASSERT_TRUE(Make(list, 0, 4, 2));
    ASSERT_TRUE(list.SetBkColor(RGB(241, 241, 241)));
    EXPECT_EQ(list.m_crSortTint, RGB(233, 233, 233)) << "the tint follows the background";
    list.SetSortColumn(3);
    RECT item{};
    ASSERT_TRUE(list.GetHeaderCtrl()->GetItemRect(2, &item));
    CPixelCanvas canvas(kListRect.Width(), kListRect.Height(), RGB(1, 2, 3));
    list.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.GetDC()));
    const int y = 100;
    EXPECT_EQ(canvas.GetPixel(item.left, y), RGB(233, 233, 233));
    EXPECT_EQ(canvas.GetPixel(item.right - 1, y), RGB(233, 233, 233));
    EXPECT_EQ(canvas.GetPixel(item.left - 1, y), RGB(241, 241, 241));
    EXPECT_EQ(canvas.GetPixel(item.right, y), RGB(241, 241, 241));
    EXPECT_EQ(canvas.CountPixels(RGB(233, 233, 233), {0, y, canvas.Width(), y + 1}), item.right - item.left);

    list.ColorSortColumn(FALSE);
    canvas.Fill(RGB(1, 2, 3));
    list.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.GetDC()));
    EXPECT_EQ(canvas.GetPixel(item.left, y), RGB(241, 241, 241)) << "no tint once switched off";
}

// ---- 3. styles, marks and themes ------------------------------------------------------------

TEST_F(ListViewExTest, ExtendedStylesAsTheProgramSetThemAndAsTheControlGetsThem)
{
    CTestList list;
    ASSERT_TRUE(Make(list, 0, 2, 1));
    list.SetExtendedStyle(LVS_EX_DOUBLEBUFFER | LVS_EX_SIMPLESELECT | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP |
                          LVS_EX_LABELTIP);
    EXPECT_EQ(list.GetExtendedStyle(), static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP));
    const auto control = static_cast<DWORD>(list.DefWindowProc(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(control & (LVS_EX_DOUBLEBUFFER | LVS_EX_SIMPLESELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP), 0u);
    EXPECT_TRUE(control & LVS_EX_FULLROWSELECT);
    list.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    EXPECT_EQ(list.GetExtendedStyle(),
              static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP | LVS_EX_CHECKBOXES));

    CTestList drawn;
    ASSERT_TRUE(Make(drawn, LVS_OWNERDRAWFIXED, 2, 1));
    drawn.SetExtendedStyle(LVS_EX_ONECLICKACTIVATE | LVS_EX_GRIDLINES);
    EXPECT_TRUE(drawn.GetExtendedStyle() & LVS_EX_ONECLICKACTIVATE);
    const auto drawnControl = static_cast<DWORD>(drawn.DefWindowProc(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_FALSE(drawnControl & LVS_EX_ONECLICKACTIVATE) << "the owner-drawn list emulates it";
    EXPECT_TRUE(drawnControl & LVS_EX_GRIDLINES);
}

TEST_F(ListViewExTest, LevelTwoSetsHeaderMarksSelectedColumnAndThemes)
{
    CLevel2Scope level2;
    {
        CTestList list;
        ASSERT_TRUE(Make(list, 0, 4, 2));
        EXPECT_EQ(level2.m_theme.m_windowThemes, (std::vector<std::wstring>{L"Explorer"}));
        EXPECT_TRUE(level2.m_theme.m_opened.empty()) << "the list theme is for owner-drawn lists";
        EXPECT_EQ(list.GetBkColor(), RGB(255, 255, 255));
        list.SetExtendedStyle(LVS_EX_DOUBLEBUFFER);
        EXPECT_EQ(list.GetExtendedStyle(), static_cast<DWORD>(LVS_EX_DOUBLEBUFFER)) << "kept at level 2";

        list.EnableColumnHiding(1, TRUE);
        list.ShowColumn(1, FALSE);
        list.SetSortColumn(3);
        auto format = [&](int physical) {
            HDITEMW item{};
            item.mask = HDI_FORMAT;
            list.GetHeaderCtrl()->GetItem(physical, &item);
            return item.fmt;
        };
        EXPECT_EQ(format(1) & (HDF_SORTUP | HDF_SORTDOWN | HDF_STRING), HDF_SORTUP | HDF_STRING);
        EXPECT_EQ(format(0) & (HDF_SORTUP | HDF_SORTDOWN | HDF_STRING), HDF_STRING);
        EXPECT_EQ(list.GetSelectedColumn(), 1) << "logical 2 is physical 1";
        list.SetSortColumn(-3);
        EXPECT_EQ(format(1) & (HDF_SORTUP | HDF_SORTDOWN), HDF_SORTDOWN);
        list.ShowColumn(1, TRUE);
        EXPECT_EQ(list.GetSelectedColumn(), 2) << "the column shown before it moved it";
        EXPECT_EQ(format(2) & HDF_SORTDOWN, HDF_SORTDOWN);
        list.ColorSortColumn(FALSE);
        EXPECT_EQ(list.GetSelectedColumn(), -1);
        list.SetSortColumn(1);
        EXPECT_EQ(list.GetSelectedColumn(), -1) << "no selected column without the tint";

        CTestList drawn;
        ASSERT_TRUE(Make(drawn, LVS_OWNERDRAWFIXED, 2, 1));
        EXPECT_EQ(level2.m_theme.m_opened, (std::vector<std::wstring>{L"ListView"}));
    }
}

// ---- 4. input -------------------------------------------------------------------------------

TEST_F(ListViewExTest, ClickOnAStateIconChecksTheSelectionAndKeepsIt)
{
    CTestList list;
    ASSERT_TRUE(Make(list, LVS_SHOWSELALWAYS, 2, 4));
    list.SetExtendedStyle(LVS_EX_CHECKBOXES);
    list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    CRect state;
    ASSERT_TRUE(list.GetStateIconRect(2, state));
    ASSERT_FALSE(state.IsRectEmpty());
    LVHITTESTINFO hit{};
    hit.pt = state.CenterPoint();
    ASSERT_EQ(list.SubItemHitTest(&hit), 2);
    EXPECT_EQ(hit.flags, static_cast<UINT>(LVHT_ONITEMSTATEICON));
    ClickAt(list, state.CenterPoint());
    ASSERT_TRUE(PumpUntil([&] { return list.GetCheck(2) != FALSE; }));
    PumpUntilIdle();
    EXPECT_TRUE(list.GetCheck(0)) << "the selected rows take the new state";
    EXPECT_FALSE(list.GetCheck(1));
    EXPECT_FALSE(list.GetCheck(3));
    EXPECT_EQ(list.GetSelectedCount(), 2u);
    EXPECT_TRUE(list.GetItemState(0, LVIS_SELECTED));

    // Space on the focused row: the whole selection follows it.
    list.SetItemState(2, LVIS_FOCUSED, LVIS_FOCUSED);
    list.SendMessage(WM_KEYDOWN, VK_SPACE);
    EXPECT_FALSE(list.GetCheck(2));
    EXPECT_FALSE(list.GetCheck(0));
}

TEST_F(ListViewExTest, FocusMarksTheFirstSelectedRow)
{
    CTestList list;
    ASSERT_TRUE(Make(list, LVS_SHOWSELALWAYS, 2, 3));
    list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
    list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
    list.SendMessage(WM_SETFOCUS);
    EXPECT_TRUE(list.GetItemState(1, LVIS_FOCUSED));
    list.SendMessage(WM_KILLFOCUS);
    EXPECT_FALSE(list.GetItemState(1, LVIS_FOCUSED));
}

TEST_F(ListViewExTest, SystemColoursReachOnlyABackgroundTheProgramNeverSet)
{
    CTestList untouched, chosen;
    ASSERT_TRUE(Make(untouched, 0, 1, 1));
    untouched.DefWindowProc(LVM_SETBKCOLOR, 0, RGB(9, 9, 9));
    untouched.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(untouched.GetBkColor(), ::GetSysColor(COLOR_WINDOW));
    chosen.Create(WS_VISIBLE | LVS_REPORT, kListRect, &m_parent, IDC_LIST + 1);
    chosen.SetBkColor(RGB(9, 9, 9));
    chosen.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(chosen.GetBkColor(), RGB(9, 9, 9));
}

TEST_F(ListViewExTest, CtrlWithNumpadPlusSizesTheColumnsWhenColumnZeroIsNotFirst)
{
    CTestList list;
    ASSERT_TRUE(Make(list, LVS_OWNERDRAWFIXED, 3, 3));
    ASSERT_TRUE(list.SetItemText(1, 0, L"a rather long label for column zero"));
    int orders[] = {2, 0, 1};
    ASSERT_TRUE(list.SetColumnOrderArray(3, orders));
    int widest = 0;
    for (int row = 0; row < 3; ++row)
        widest = std::max(widest, list.GetStringWidth(list.GetItemText(row, 0)));
    list.SendMessage(WM_KEYDOWN, VK_CONTROL);
    list.SendMessage(WM_KEYDOWN, VK_ADD);
    list.SendMessage(WM_KEYUP, VK_CONTROL);
    EXPECT_EQ(list.GetColumnWidth(0), widest + 12);
    list.SetColumnWidth(0, 33);
    list.SendMessage(WM_KEYDOWN, VK_ADD);
    EXPECT_EQ(list.GetColumnWidth(0), 33) << "without Ctrl the key goes to the control";
}

// ---- 5. owner drawing -----------------------------------------------------------------------

class OwnerDrawTest : public ListViewExTest
{
protected:
    void SetUp() override
    {
        ListViewExTest::SetUp();
        ASSERT_TRUE(Make(m_list, LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS, 3, 3));
        MakeRedImages(m_images);
        m_list.SetImageList(&m_images, LVSIL_SMALL);
        for (int row = 0; row < 3; ++row)
        {
            LVITEMW item{};
            item.mask = LVIF_IMAGE;
            item.iItem = row;
            item.iImage = 0;
            ASSERT_TRUE(m_list.SetItem(&item));
        }
        m_list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    }
    void TearDown() override
    {
        m_list.DestroyWindow();
        ListViewExTest::TearDown();
    }
    void DrawRow(CPixelCanvas& canvas, int row)
    {
        CRect bounds;
        ASSERT_TRUE(m_list.GetItemRect(row, &bounds, LVIR_BOUNDS));
        DRAWITEMSTRUCT dis = DrawItemRequest(m_list, canvas.GetDC(), bounds, ODT_LISTVIEW, 0, row);
        m_list.DrawItem(&dis);
    }
    CTestList m_list;
    CImageList m_images;
};

TEST_F(OwnerDrawTest, SelectedLabelIsHighlightWithFocusAndButtonFaceWithout)
{
    CRect label;
    ASSERT_TRUE(m_list.GetItemRect(1, &label, LVIR_LABEL));
    const CPoint inText(label.left + 4, label.CenterPoint().y);
    CPixelCanvas canvas(kListRect.Width(), kListRect.Height(), RGB(1, 2, 3));
    m_list.SetFocus();
    ASSERT_EQ(::GetFocus(), m_list.m_hWnd);
    DrawRow(canvas, 1);
    EXPECT_EQ(canvas.GetPixel(inText.x, label.top + 1), ::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_TRUE(canvas.AnyPixelOf(kRed, CRect(0, label.top, label.right, label.bottom))) << "the icon";
    ::SetFocus(m_parent.m_hWnd);
    canvas.Fill(RGB(1, 2, 3));
    DrawRow(canvas, 1);
    EXPECT_EQ(canvas.GetPixel(inText.x, label.top + 1), ::GetSysColor(COLOR_BTNFACE));
    canvas.Fill(RGB(1, 2, 3));
    DrawRow(canvas, 0);
    ASSERT_TRUE(m_list.GetItemRect(0, &label, LVIR_LABEL));
    EXPECT_EQ(canvas.GetPixel(label.left + 4, label.top + 1), m_list.GetBkColor()) << "an unselected row";
}

TEST_F(OwnerDrawTest, FullRowHighlightStartsAtTheLabel)
{
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    ::SetFocus(m_parent.m_hWnd);
    CRect label, bounds;
    ASSERT_TRUE(m_list.GetItemRect(1, &label, LVIR_LABEL));
    ASSERT_TRUE(m_list.GetItemRect(1, &bounds, LVIR_BOUNDS));
    CPixelCanvas canvas(kListRect.Width(), kListRect.Height(), RGB(1, 2, 3));
    DrawRow(canvas, 1);
    const int y = label.top + 1;
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(canvas.GetPixel(bounds.right - 3, y), face) << "the whole row";
    EXPECT_EQ(canvas.GetPixel(label.left + 3, y), face);
    EXPECT_NE(canvas.GetPixel(bounds.left + 1, y), face) << "left of the label (the icon's place)";
}

TEST_F(OwnerDrawTest, LabelKeptLeftMovesTheIconToTheColumnDisplayedFirst)
{
    int orders[] = {2, 0, 1};
    ASSERT_TRUE(m_list.SetColumnOrderArray(3, orders));
    CRect cell2, cell0;
    ASSERT_TRUE(m_list.GetCellRect(0, 2, LVIR_BOUNDS, cell2));
    ASSERT_TRUE(m_list.GetCellRect(0, 0, LVIR_BOUNDS, cell0));
    ASSERT_LT(cell2.left, cell0.left);
    CPixelCanvas canvas(kListRect.Width(), kListRect.Height(), RGB(1, 2, 3));
    DrawRow(canvas, 0);
    EXPECT_EQ(canvas.CountPixels(kRed, cell2), 16 * std::min(16, static_cast<int>(cell2.Height()))) << "16x16";
    EXPECT_EQ(canvas.CountPixels(kRed, cell0), 0);
    CRect label;
    ASSERT_TRUE(m_list.GetItemRect(0, &label, LVIR_LABEL));
    EXPECT_TRUE(cell2.PtInRect(label.TopLeft())) << "LVIR_LABEL is column 2's";
}

TEST_F(OwnerDrawTest, LevelTwoDrawsRowsWithTheThemeStates)
{
    CLevel2Scope level2;
    CTestList list;
    ASSERT_TRUE(Make(list, LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS, 2, 3));
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    CPixelCanvas canvas(kListRect.Width(), kListRect.Height());
    auto draw = [&](int row) {
        level2.m_theme.m_states.clear();
        CRect bounds;
        list.GetItemRect(row, &bounds, LVIR_BOUNDS);
        DRAWITEMSTRUCT dis = DrawItemRequest(list, canvas.GetDC(), bounds, ODT_LISTVIEW, 0, row);
        list.DrawItem(&dis);
        return level2.m_theme.m_states;
    };
    list.SetFocus();
    EXPECT_EQ(draw(1), (std::vector<int>{3})) << "LISS_SELECTED";
    ::SetFocus(m_parent.m_hWnd);
    EXPECT_EQ(draw(1), (std::vector<int>{5})) << "LISS_SELECTEDNOTFOCUS";
    list.m_nThemeHotItem = 1;
    EXPECT_EQ(draw(1), (std::vector<int>{6})) << "LISS_HOTSELECTED";
    list.m_nThemeHotItem = 0;
    EXPECT_EQ(draw(0), (std::vector<int>{2})) << "LISS_HOT";
    EXPECT_TRUE(draw(2).empty()) << "a plain row";
    list.DestroyWindow();
}

// ---- 6. custom drawing, grid lines, text fitting, hit tests ---------------------------------

TEST_F(ListViewExTest, CustomDrawAnswersTintTheSortColumn)
{
    CTestList list;
    ASSERT_TRUE(Make(list, 0, 3, 2));
    list.SetSortColumn(2);
    m_parent.Clear();
    auto send = [&](DWORD stage, int subItem, COLORREF* pBk = nullptr) {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr.hwndFrom = list.m_hWnd;
        draw.nmcd.hdr.idFrom = IDC_LIST;
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = stage;
        draw.nmcd.dwItemSpec = 0;
        draw.iSubItem = subItem;
        draw.clrTextBk = RGB(1, 2, 3);
        const LRESULT result = m_parent.SendMessage(WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&draw));
        if (pBk) *pBk = draw.clrTextBk;
        return result;
    };
    EXPECT_EQ(send(CDDS_PREPAINT, 0), CDRF_NOTIFYITEMDRAW);
    EXPECT_EQ(send(CDDS_ITEMPREPAINT, 0), CDRF_NOTIFYSUBITEMDRAW);
    COLORREF bk = 0;
    EXPECT_EQ(send(CDDS_SUBITEM | CDDS_ITEMPREPAINT, 1, &bk), CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT);
    EXPECT_EQ(bk, list.m_crSortTint);
    EXPECT_EQ(send(CDDS_SUBITEM | CDDS_ITEMPREPAINT, 2, &bk), CDRF_NEWFONT);
    EXPECT_EQ(bk, list.GetBkColor());
    EXPECT_EQ(send(CDDS_SUBITEM | CDDS_ITEMPREPAINT, 0, &bk), CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT)
        << "column 0 repaints its icons";
    list.m_bCustomDrawOff = TRUE;
    EXPECT_EQ(send(CDDS_PREPAINT, 0), CDRF_DODEFAULT);
    EXPECT_TRUE(m_parent.Seen().empty()) << "the list answers custom drawing itself";
}

TEST_F(ListViewExTest, GridLinesAtEachColumnsRightEdge)
{
    CTestList list;
    ASSERT_TRUE(Make(list, 0, 3, 2));
    CPixelCanvas canvas(kListRect.Width(), kListRect.Height(), RGB(1, 2, 3));
    list.DrawGridLines(CDC::FromHandle(canvas.GetDC()));
    CRect header;
    list.GetHeaderCtrl()->GetWindowRect(&header);
    list.ScreenToClient(&header);
    CRect client;
    list.GetClientRect(&client);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    for (int physical = 0; physical < 3; ++physical)
    {
        RECT item{};
        ASSERT_TRUE(list.GetHeaderCtrl()->GetItemRect(physical, &item));
        EXPECT_EQ(canvas.CountPixels(face, {item.right - 1, header.bottom, item.right, client.bottom}),
                  client.bottom - header.bottom)
            << physical;
        EXPECT_EQ(canvas.GetPixel(item.right - 2, 150), RGB(1, 2, 3));
    }
}

TEST(FitTextToWidth, ShortensWithDotsKeepingFourCharacters)
{
    CPixelCanvas canvas(10, 10);
    CDC* pDC = CDC::FromHandle(canvas.GetDC());
    CString text(L"abcdefghij");
    SIZE full{};
    ::GetTextExtentPoint32W(canvas.GetDC(), L"abcdefghij", 10, &full);
    CListBase::FitTextToWidth(text, pDC, CRect(0, 0, full.cx / 2, 10));
    EXPECT_EQ(text.Right(3), CString(L"..."));
    SIZE fitted{};
    ::GetTextExtentPoint32W(canvas.GetDC(), text, text.GetLength(), &fitted);
    EXPECT_LE(fitted.cx, full.cx / 2);
    EXPECT_GE(text.GetLength(), 4);
    text = L"abcdefghij";
    CListBase::FitTextToWidth(text, pDC, CRect(0, 0, 1, 10));
    EXPECT_EQ(text, CString(L"a...")) << "never below four characters";
    text = L"abc";
    CListBase::FitTextToWidth(text, pDC, CRect(0, 0, 500, 10));
    EXPECT_EQ(text, CString(L"abc"));
}

TEST_F(ListViewExTest, HitTestTellsLabelIconAndRowAndTheLogicalColumn)
{
    CTestList list;
    ASSERT_TRUE(Make(list, 0, 4, 2));
    CImageList images;
    MakeRedImages(images);
    list.SetImageList(&images, LVSIL_SMALL);
    list.EnableColumnHiding(1, TRUE);
    list.ShowColumn(1, FALSE);
    LVHITTESTINFO hit{};
    auto test = [&](CPoint pt) {
        hit = LVHITTESTINFO{};
        hit.pt = pt;
        return list.SubItemHitTest(&hit);
    };
    CRect label, icon, cell;
    ASSERT_TRUE(list.GetCellRect(1, 3, LVIR_LABEL, label));
    ASSERT_EQ(test(CPoint(label.left + 8, label.CenterPoint().y)), 1);
    EXPECT_EQ(hit.flags, static_cast<UINT>(LVHT_ONITEMLABEL));
    EXPECT_EQ(hit.iSubItem, 3);
    ASSERT_EQ(test(CPoint(label.right - 3, label.CenterPoint().y)), 1);
    EXPECT_EQ(hit.flags, static_cast<UINT>(LVHT_ONITEM)) << "right of the text";
    ASSERT_TRUE(list.GetCellRect(1, 0, LVIR_ICON, icon));
    ASSERT_EQ(test(icon.CenterPoint()), 1);
    EXPECT_EQ(hit.flags, static_cast<UINT>(LVHT_ONITEMICON));
    EXPECT_EQ(hit.iSubItem, 0);
    EXPECT_FALSE(list.GetCellRect(1, 1, LVIR_BOUNDS, cell)) << "a hidden column has no rectangle";
    ASSERT_TRUE(list.GetCellRect(1, 2, LVIR_BOUNDS, cell));
    RECT controls{LVIR_BOUNDS, 1, 0, 0};
    ASSERT_TRUE(list.DefWindowProc(LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&controls)));
    EXPECT_EQ(cell.left, controls.left) << "logical 2 is the control's physical 1";
    EXPECT_EQ(cell.right, controls.right);
}

// ---- 7. the list control's sorting ----------------------------------------------------------

std::vector<std::wstring> Column(CListCtrlEx& list, int column)
{
    std::vector<std::wstring> texts;
    for (int row = 0; row < list.GetItemCount(); ++row)
        texts.emplace_back(list.GetItemText(row, column));
    return texts;
}

TEST_F(ListViewExTest, SortItemsInNaturalOrder)
{
    CTestList list;
    ASSERT_TRUE(Make(list, 0, 2, 0));
    const wchar_t* texts[] = {L"item10", L"Item2", L"item1", L"item 3"};
    for (int row = 0; row < 4; ++row)
    {
        list.InsertItem(row, texts[row]);
        list.SetItemText(row, 1, LPSTR_TEXTCALLBACKW);
        list.SetItemData(row, 10 + row);
    }
    EXPECT_FALSE(list.SortItems(-1, FALSE)) << "no sort column";
    EXPECT_EQ(list.m_sorts, 0);
    ASSERT_TRUE(list.SortItems(0, FALSE));
    EXPECT_EQ(Column(list, 0), (std::vector<std::wstring>{L"item1", L"Item2", L"item 3", L"item10"}));
    EXPECT_EQ(list.m_nSortColumn, 1);
    ASSERT_TRUE(list.SortItems(0, TRUE));
    EXPECT_EQ(Column(list, 0), (std::vector<std::wstring>{L"item10", L"item 3", L"Item2", L"item1"}));
    EXPECT_EQ(list.m_nSortColumn, -1);
    ASSERT_TRUE(list.SortItems(-1, FALSE));
    EXPECT_EQ(list.m_nSortColumn, -1) << "-1 keeps the direction";
    EXPECT_EQ(Column(list, 0).front(), L"item10");

    // Callback cells sort by the texts the parent supplies (by item data: 10 -> "z", ...).
    const wchar_t* supplied[] = {L"z", L"b", L"x", L"a"};
    m_parent.AnswerNotify(LVN_GETDISPINFOW, [&](NMHDR* p) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(p);
        if ((info->item.mask & LVIF_TEXT) && info->item.cchTextMax > 2 && info->item.lParam >= 10 &&
            info->item.lParam < 14)
            wcscpy(info->item.pszText, supplied[info->item.lParam - 10]);
        return LRESULT{0};
    });
    ASSERT_TRUE(list.SortItems(1, FALSE));
    EXPECT_EQ(Column(list, 1), (std::vector<std::wstring>{L"a", L"b", L"x", L"z"}));
    m_parent.AnswerNotify(LVN_GETDISPINFOW, [](NMHDR*) { return LRESULT{0}; });
}

// ---- 8. the value comparison ----------------------------------------------------------------

VARIANT Var(VARTYPE vt)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = vt;
    return v;
}

int Sign(int n)
{
    return (n > 0) - (n < 0);
}

TEST(ListViewValues, CompareByTypeWithoutSubtracting)
{
    struct Case
    {
        const char* why;
        VARIANT a, b;
        int sign;
        const wchar_t* textA = L"";
        const wchar_t* textB = L"";
    };
    std::vector<Case> cases;
    auto add = [&](const char* why, VARIANT a, VARIANT b, int sign) { cases.push_back({why, a, b, sign}); };
    VARIANT a = Var(VT_I4), b = Var(VT_I4);
    a.lVal = 2, b.lVal = 10;
    add("VT_I4 2 before 10", a, b, -1);
    a.lVal = INT_MAX, b.lVal = -1;
    add("INT_MAX after -1 (a difference would overflow)", a, b, 1);
    a = Var(VT_UI4), b = Var(VT_UI4);
    a.ulVal = 4000000000u, b.ulVal = 1;
    add("UI4 4,000,000,000 after 1", a, b, 1);
    a = Var(VT_I2), b = Var(VT_I2);
    a.iVal = -5, b.iVal = 3;
    add("I2", a, b, -1);
    a = Var(VT_R8), b = Var(VT_R8);
    a.dblVal = std::nan(""), b.dblVal = 1.0;
    add("NaN is -1", a, b, -1);
    a.dblVal = 2.5, b.dblVal = 2.5;
    add("equal doubles", a, b, 0);
    a = Var(VT_DATE), b = Var(VT_DATE);
    a.date = 7306.0, b.date = 36526.0; // 1920 and 2000
    add("1920 before 2000", a, b, -1);
    a.date = 36526.0 + 0.5 / 86400, b.date = 36526.0;
    add("half a second apart: equal", a, b, 0);
    a = Var(VT_CY), b = Var(VT_CY);
    a.cyVal.int64 = 5, b.cyVal.int64 = 7;
    add("CY: 0", a, b, 0);
    a = Var(VT_I8), b = Var(VT_I8);
    a.llVal = LLONG_MIN, b.llVal = LLONG_MAX;
    add("I8 extremes", a, b, -1);
    a = Var(VT_UI8), b = Var(VT_UI8);
    a.ullVal = ULLONG_MAX, b.ullVal = 0;
    add("UI8 extremes", a, b, 1);
    a = Var(VT_I1), b = Var(VT_I1);
    a.cVal = -100, b.cVal = 100;
    add("I1", a, b, -1);
    a = Var(VT_UI1), b = Var(VT_UI1);
    a.bVal = 200, b.bVal = 100;
    add("UI1", a, b, 1);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Sign(CListViewEx::CompareItemValues(c.textA, c.a, c.textB, c.b)), c.sign);
    }
    VARIANT i4 = Var(VT_I4), bstr = Var(VT_BSTR);
    i4.lVal = 1;
    bstr.bstrVal = ::SysAllocString(L"zzz");
    EXPECT_LT(CListViewEx::CompareItemValues(L"row 2", i4, L"ROW 10", bstr), 0) << "mixed types: texts, naturally";
    VARIANT empty = Var(VT_EMPTY);
    EXPECT_GT(CListViewEx::CompareItemValues(L"b", empty, L"A", empty), 0);
    VARIANT bstr2 = Var(VT_BSTR);
    bstr2.bstrVal = ::SysAllocString(L"ZZ10");
    VARIANT bstr3 = Var(VT_BSTR);
    bstr3.bstrVal = ::SysAllocString(L"zz9");
    EXPECT_GT(CListViewEx::CompareItemValues(L"", bstr2, L"", bstr3), 0);
    ::VariantClear(&bstr);
    ::VariantClear(&bstr2);
    ::VariantClear(&bstr3);
}

// ---- 9. the view ----------------------------------------------------------------------------

class CTestView : public CListViewEx
{
public:
    std::map<DWORD_PTR, int> m_numbers; // column 1's values; column 0 is "row <data>"
    int m_redraws = 0;
    using CListBase::m_nSortColumn;
    using CListViewEx::m_nRedrawTimer;

    int GetItemImage(DWORD_PTR dwItemData, int) override { return static_cast<int>(dwItemData % 3); }
    BOOL GetItemValue(DWORD_PTR dwItemData, int nColumnId, CString& strText, VARIANT* pValue) override
    {
        if (nColumnId == 0)
        {
            strText = (L"row " + std::to_wstring(dwItemData)).c_str();
            return TRUE;
        }
        const int number = m_numbers[dwItemData];
        strText = std::to_wstring(number).c_str();
        if (pValue)
        {
            pValue->vt = VT_I4;
            pValue->lVal = number;
        }
        return TRUE;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == LVM_REDRAWITEMS) ++m_redraws;
        return CListViewEx::WindowProc(message, wParam, lParam);
    }
};

class ListViewTest : public ListViewExTest
{
protected:
    void SetUp() override
    {
        ListViewExTest::SetUp();
        ASSERT_TRUE(m_view.Create(WS_CHILD | LVS_ICON, kListRect, &m_parent, IDC_LIST));
        m_view.OnInitialUpdate();
        ASSERT_EQ(m_view.InsertColumn(0, L"Name", 100), 0);
        ASSERT_EQ(m_view.InsertColumn(1, L"Number", 100), 1);
        const int numbers[] = {10, 2, 33, 2};
        for (int row = 0; row < 4; ++row)
        {
            const DWORD_PTR data = 100 + row;
            m_view.m_numbers[data] = numbers[row];
            ASSERT_EQ(m_view.InsertItem(LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM, row, LPSTR_TEXTCALLBACKW, 0, 0,
                                        I_IMAGECALLBACK, static_cast<LPARAM>(data)),
                      row);
            ASSERT_TRUE(m_view.SetItemText(row, 1, LPSTR_TEXTCALLBACKW));
        }
        m_parent.Clear();
    }
    void TearDown() override
    {
        m_view.DestroyWindow();
        ListViewExTest::TearDown();
    }
    std::vector<DWORD_PTR> Order()
    {
        std::vector<DWORD_PTR> data;
        for (int row = 0; row < m_view.GetItemCount(); ++row)
            data.push_back(m_view.GetItemData(row));
        return data;
    }
    CTestView m_view;
};

TEST_F(ListViewTest, IsAnOwnerDrawnReportListServedByItsOverrides)
{
    EXPECT_EQ(m_view.GetStyle() & (LVS_TYPEMASK | LVS_OWNERDRAWFIXED),
              static_cast<DWORD>(LVS_REPORT | LVS_OWNERDRAWFIXED));
    EXPECT_EQ(m_view.GetItemText(2, 0), CString(L"row 102"));
    EXPECT_EQ(m_view.GetItemText(2, 1), CString(L"33"));
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = 2;
    ASSERT_TRUE(m_view.GetItem(&item));
    EXPECT_EQ(item.iImage, 102 % 3);
    EXPECT_TRUE(m_parent.Seen().empty()) << "the view answers its own requests";
}

TEST_F(ListViewTest, SortsByValuesAndByColumnClicks)
{
    ASSERT_TRUE(m_view.SortItems(1, FALSE));
    const std::vector<DWORD_PTR> ascending = Order();
    EXPECT_EQ(m_view.m_numbers[ascending[0]], 2);
    EXPECT_EQ(m_view.m_numbers[ascending[1]], 2);
    EXPECT_EQ(ascending[2], 100u) << "10 after 2: values, not texts";
    EXPECT_EQ(ascending[3], 102u);

    CByteArray state;
    ASSERT_TRUE(m_view.GetState(state));
    ASSERT_EQ(state.GetSize(), 2 * 9 + 8);
    state[4] = static_cast<BYTE>(-2); // sort column -2: column 1 descending
    state[5] = state[6] = state[7] = 0xFF;
    ASSERT_TRUE(m_view.SetState(state));
    EXPECT_EQ(m_view.m_nSortColumn, -2);
    EXPECT_EQ(Order()[0], 102u) << "re-sorted descending";
    EXPECT_EQ(Order()[1], 100u);
    CByteArray empty;
    EXPECT_TRUE(m_view.SetState(empty));
    CTestView bare;
    ASSERT_TRUE(bare.Create(WS_CHILD, kListRect, &m_parent, IDC_LIST + 1));
    EXPECT_FALSE(bare.SetState(state)) << "no column";
    EXPECT_FALSE(bare.GetState(state));
}

TEST_F(ListViewTest, SelectItemByDataSelectsExactlyTheMatchingRows)
{
    m_view.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_view.SetItemData(3, 101);
    EXPECT_EQ(m_view.SelectItemByData(101), 4);
    // The control keeps one focused row: the last one that matched.
    const UINT expected[] = {0, LVIS_SELECTED, 0, LVIS_SELECTED | LVIS_FOCUSED};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(m_view.GetItemState(row, LVIS_SELECTED | LVIS_FOCUSED), expected[row]) << row;
}

TEST_F(ListViewTest, RedrawLaterRepaintsAtTheNextTickAndTheTimerStops)
{
    PumpUntilIdle();
    m_view.m_redraws = 0;
    for (int i = 0; i < 5; ++i)
        m_view.RedrawItemLater(102);
    EXPECT_NE(m_view.m_nRedrawTimer, 0u);
    EXPECT_EQ(m_view.m_redraws, 0) << "nothing before the tick";
    ASSERT_TRUE(PumpUntil([&] { return m_view.m_redraws > 0; }, 3000));
    PumpFor(100);
    EXPECT_EQ(m_view.m_redraws, 5);
    ASSERT_TRUE(PumpUntil([&] { return m_view.m_nRedrawTimer == 0; }, 3000)) << "an empty tick stops the timer";
    EXPECT_EQ(m_view.m_redraws, 5);

    m_view.m_redraws = 0;
    std::thread worker([&] { m_view.RedrawItemLater(101); });
    worker.join();
    // SetTimer belongs to the view's thread: the worker only asked the view to start it.
    MSG asked{};
    EXPECT_TRUE(
        ::PeekMessageW(&asked, m_view.m_hWnd, WM_LISTVIEWEX_STARTREDRAW, WM_LISTVIEWEX_STARTREDRAW, PM_NOREMOVE));
    EXPECT_EQ(m_view.m_nRedrawTimer, 0u);
    EXPECT_TRUE(PumpUntil([&] { return m_view.m_redraws == 1; }, 2000)) << "from another thread within 2 s";
}
} // namespace
