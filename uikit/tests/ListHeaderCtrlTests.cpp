// The list header's own drawing: face, text, the sort triangle in both directions, and a plain
// report list's header subclassed with it.
#include "framework/CDC.h"
#include "framework/CListCtrl.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/DrawItemRequest.h"
#include "framework/testing/MessagePump.h"
#include "uikit/CListHeaderCtrl.h"
#include <gtest/gtest.h>
#include <commctrl.h>

namespace
{
class CCountingHeader : public CListHeaderCtrl
{
public:
    int m_draws = 0;
    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override
    {
        ++m_draws;
        CListHeaderCtrl::DrawItem(lpDIS);
    }
};

class ListHeaderTest : public CSuiteParentTestOf<CRecordingParent, 300, 200>
{
protected:
    void SetUp() override
    {
        CSuiteParentTestOf::SetUp();
        // A plain report list of the framework: its WM_DRAWITEM goes back to the header.
        ASSERT_TRUE(m_list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 280, 150), s_parent, 51));
        m_list.InsertColumn(0, L"Name", LVCFMT_LEFT, 120);
        m_list.InsertColumn(1, L"Number", LVCFMT_LEFT, 120);
        m_hList = m_list.m_hWnd;
        ASSERT_TRUE(m_header.SubclassWindow(reinterpret_cast<HWND>(::SendMessageW(m_hList, LVM_GETHEADER, 0, 0))));
    }
    void TearDown() override
    {
        m_header.UnsubclassWindow();
        m_list.DestroyWindow();
    }
    // One item drawn onto a canvas of the item's size.
    void Draw(CPixelCanvas& canvas, int item, UINT state)
    {
        DRAWITEMSTRUCT dis = DrawItemRequest(m_header, canvas.GetDC(), {0, 0, canvas.Width(), canvas.Height()},
                                             ODT_HEADER, state, static_cast<UINT>(item));
        m_header.DrawItem(&dis);
    }
    int Unit(const CPixelCanvas& canvas) const
    {
        SIZE blank{};
        ::GetTextExtentPoint32W(canvas.GetDC(), L" ", 1, &blank);
        return blank.cx * 2;
    }
    CListCtrl m_list;
    HWND m_hList = nullptr;
    CCountingHeader m_header;
};

// Some pixel of the colour within one pixel of p (a line's rasterisation may step beside its
// exact midpoint).
bool ColourNear(const CPixelCanvas& canvas, COLORREF color, int x, int y)
{
    return canvas.AnyPixelOf(color, CRect(x - 1, y - 1, x + 2, y + 2));
}

TEST_F(ListHeaderTest, SortColumnShowsTheTriangleInBothDirections)
{
    EXPECT_EQ(m_header.SetSortImage(0, TRUE), -1);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE), light = ::GetSysColor(COLOR_3DHILIGHT),
                   shadow = ::GetSysColor(COLOR_3DSHADOW);
    ASSERT_NE(light, shadow);
    CPixelCanvas canvas(120, 24, RGB(1, 2, 3));
    const int d = Unit(canvas), R = 120, B = 24;
    ASSERT_GT(d, 2);
    Draw(canvas, 0, 0);
    EXPECT_EQ(canvas.GetPixel(1, 1), face);
    EXPECT_TRUE(canvas.AnyPixelOtherThan(face, CRect(d, 0, R - 4 * d, B))) << "the heading text";
    EXPECT_TRUE(ColourNear(canvas, light, (R - 2 * d + R - 3 * d / 2) / 2, (d - 1 + B - d) / 2))
        << "ascending light side";
    EXPECT_TRUE(ColourNear(canvas, shadow, (R - 5 * d / 2 - 1 + R - 2 * d) / 2, (B - d - 1 + d - 2) / 2))
        << "ascending shadow side";

    EXPECT_EQ(m_header.SetSortImage(0, FALSE), 0);
    Draw(canvas, 0, 0);
    EXPECT_TRUE(ColourNear(canvas, light, (R - 3 * d / 2 + R - 2 * d - 1) / 2, (d - 1 + B - d + 1) / 2))
        << "descending light side";
    EXPECT_TRUE(ColourNear(canvas, shadow, (R - 2 * d - 1 + R - 5 * d / 2 - 1) / 2, (B - d + d - 1) / 2))
        << "descending shadow side";
}

TEST_F(ListHeaderTest, PressedItemMovesItsTextButNotItsTriangle)
{
    m_header.SetSortImage(0, TRUE);
    CPixelCanvas normal(120, 24), pressed(120, 24);
    Draw(normal, 0, 0);
    Draw(pressed, 0, ODS_SELECTED);
    const int d = Unit(normal);
    bool textMoved = false, markMoved = false;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 120; ++x)
            if (normal.GetPixel(x, y) != pressed.GetPixel(x, y)) (x >= 120 - 3 * d ? markMoved : textMoved) = true;
    EXPECT_TRUE(textMoved);
    EXPECT_FALSE(markMoved);
}

TEST_F(ListHeaderTest, SetSortImageReturnsTheOldColumnAndMakesTheNewOneOwnerDrawn)
{
    EXPECT_EQ(m_header.SetSortImage(1, TRUE), -1);
    EXPECT_EQ(m_header.SetSortImage(0, TRUE), 1);
    for (int column : {0, 1})
    {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        ASSERT_TRUE(m_header.GetItem(column, &item));
        EXPECT_TRUE(item.fmt & HDF_OWNERDRAW) << "column " << column;
    }
    CPixelCanvas canvas(120, 24);
    Draw(canvas, 1, 0);
    const int d = Unit(canvas);
    EXPECT_FALSE(canvas.AnyPixelOtherThan(::GetSysColor(COLOR_BTNFACE), CRect(120 - 3 * d, 0, 120, 24)))
        << "the old column is drawn without a mark";

    CPixelCanvas narrow(2 * d - 1, 24, RGB(1, 2, 3));
    Draw(narrow, 1, 0);
    EXPECT_FALSE(narrow.AnyPixelOtherThan(::GetSysColor(COLOR_BTNFACE), CRect(0, 0, narrow.Width(), 24)))
        << "too narrow for text: only the background";
}

TEST_F(ListHeaderTest, SubclassedHeaderOfAPlainListPaintsThroughDrawItem)
{
    m_header.SetSortImage(0, TRUE);
    m_header.UpdateWindow();
    EXPECT_TRUE(PumpUntil([&] { return m_header.m_draws > 0; }, 2000));
}
} // namespace
