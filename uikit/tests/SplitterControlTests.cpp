// The splitter: its cursor, a drag limited to the range, a lost capture, and the owner's helpers.
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "uikit/CSplitterControl.h"
#include <gtest/gtest.h>
#include <functional>

namespace
{
constexpr UINT kSplitterId = 41, kItemId = 42, kMissingId = 49;

CRect RectInParent(const CWnd& wnd)
{
    CRect rc;
    wnd.GetWindowRect(&rc);
    ::MapWindowPoints(nullptr, ::GetParent(wnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

class SplitterTest : public CSuiteParentTestOf<CRecordingParent, 300, 300>
{
protected:
    void SetUp() override
    {
        CSuiteParentTestOf::SetUp();
        s_parent->AnswerNotify(SPN_MOVED, [this](NMHDR* pNotify) {
            m_deltas.push_back(reinterpret_cast<SPLITTERNMHDR*>(pNotify)->delta);
            return 0;
        });
        ASSERT_TRUE(m_bar.Create(WS_CHILD | WS_VISIBLE, CRect(0, 100, 200, 104), s_parent, kSplitterId));
    }
    void TearDown() override { s_parent->AnswerNotify(SPN_MOVED, nullptr); }
    void Drag(int fromX, int fromY, int toX, int toY)
    {
        m_bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, fromY));
        m_bar.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, toY));
        m_bar.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(toX, toY));
    }
    CSplitterControl m_bar;
    std::vector<int> m_deltas;
};

TEST_F(SplitterTest, BarsShowTheSizingCursorOfTheirOrientation)
{
    CSplitterControl tall;
    ASSERT_TRUE(tall.Create(WS_CHILD | WS_VISIBLE, CRect(250, 10, 254, 90), s_parent, 43));
    EXPECT_EQ(tall.GetOrientation(), CSplitterControl::SPS_VERTICAL);
    EXPECT_EQ(m_bar.GetOrientation(), CSplitterControl::SPS_HORIZONTAL);
    EXPECT_TRUE(
        tall.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(tall.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_SIZEWE));
    m_bar.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(m_bar.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_SIZENS));
}

TEST_F(SplitterTest, DragStopsAtTheRangeAndReportsTheDistance)
{
    m_bar.SetRange(80, 130);
    Drag(100, 2, 100, 100); // to y 200 of the parent
    EXPECT_EQ(m_deltas, std::vector<int>{28});
    EXPECT_EQ(RectInParent(m_bar), CRect(0, 128, 200, 132));
    EXPECT_FALSE(m_bar.IsDragging());
    EXPECT_EQ(::GetCapture(), nullptr);

    m_deltas.clear();
    Drag(100, 2, 100, 2);
    EXPECT_EQ(m_deltas, std::vector<int>{0}) << "released without moving";
}

TEST_F(SplitterTest, WithoutARangeTheBarDoesNotMove)
{
    Drag(100, 2, 100, 60);
    EXPECT_EQ(m_deltas, std::vector<int>{0});
    EXPECT_EQ(RectInParent(m_bar), CRect(0, 100, 200, 104));
}

TEST_F(SplitterTest, LosingTheCaptureMovesNothing)
{
    m_bar.SetRange(80, 130);
    struct LossCase
    {
        std::function<void()> lose;
        const char* why;
    };
    const LossCase cases[] = {
        {[] { ::ReleaseCapture(); }, "someone took the capture"},
        {[this] { m_bar.SendMessage(WM_CANCELMODE); }, "a mode was cancelled"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 2));
        m_bar.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 20));
        c.lose();
        EXPECT_FALSE(m_bar.IsDragging());
        m_bar.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(100, 20));
        EXPECT_TRUE(m_deltas.empty()) << "no SPN_MOVED";
        EXPECT_EQ(RectInParent(m_bar), CRect(0, 100, 200, 104));
        ::ReleaseCapture();
    }
}

TEST_F(SplitterTest, OwnerHelpersMoveAndResizeItems)
{
    CWnd item;
    ASSERT_TRUE(item.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(50, 50, 100, 80), s_parent, kItemId));
    struct ChangeCase
    {
        std::function<void()> change;
        CRect expected;
        const char* why;
    };
    const ChangeCase cases[] = {
        {[&] { CSplitterControl::ChangeItemWidth(s_parent, kItemId, 10, CSplitterControl::CW_LEFTALIGN); },
         CRect(50, 50, 110, 80), "mode 1: right edge out"},
        {[&] { CSplitterControl::ChangeItemWidth(s_parent, kItemId, 10, CSplitterControl::CW_RIGHTALIGN); },
         CRect(40, 50, 110, 80), "mode 2: left edge out"},
        {[&] { CSplitterControl::ChangeItemWidth(s_parent, kItemId, 10, 3); }, CRect(40, 50, 110, 80),
         "other modes keep the width"},
        {[&] { CSplitterControl::ChangeItemHeight(s_parent, kItemId, 5, CSplitterControl::CW_TOPALIGN); },
         CRect(40, 50, 110, 85), "mode 3: bottom edge down"},
        {[&] { CSplitterControl::ChangeItemHeight(s_parent, kItemId, 5, CSplitterControl::CW_BOTTOMALIGN); },
         CRect(40, 45, 110, 85), "mode 4: top edge up"},
        {[&] { CSplitterControl::ChangeItemPos(s_parent, kItemId, 5, 10); }, CRect(35, 55, 105, 95),
         "(5, 10): 5 left and 10 down"},
        {[&] { CSplitterControl::ChangePos(&item, -5, -10); }, CRect(40, 45, 110, 85), "the window given directly"},
        {[&] {
             CSplitterControl::ChangeItemPos(s_parent, kMissingId, 5, 10);
             CSplitterControl::ChangeItemWidth(s_parent, kMissingId, 5);
         },
         CRect(40, 45, 110, 85), "a missing item changes nothing"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        c.change();
        EXPECT_EQ(RectInParent(item), c.expected);
    }
}
} // namespace
