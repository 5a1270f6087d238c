// The rotary knob: targets from points, stepping, notifications, the dot and its blinking.
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "uikit/CRotaryControl.h"
#include <gtest/gtest.h>
#include <functional>

namespace
{
constexpr UINT kRotaryId = 31;
constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kKnob = RGB(128, 128, 128);

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

class RotaryTest : public CSuiteParentTestOf<CRecordingParent, 300, 200>
{
protected:
    void SetUp() override
    {
        CSuiteParentTestOf::SetUp();
        ASSERT_TRUE(
            m_rotary.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(10, 10, 56, 56), s_parent, kRotaryId));
        PumpUntilIdle();
        s_parent->Clear();
    }
    // The RCN_CHANGED notifications the parent got.
    int Notifications() const
    {
        int n = 0;
        for (const auto& m : s_parent->Seen())
            if (m.message == WM_NOTIFY && m.id == kRotaryId && m.code == RCN_CHANGED) ++n;
        return n;
    }
    COLORREF DotAt(int x, int y)
    {
        CPixelCanvas canvas(46, 46, RGB(0, 0, 255));
        m_rotary.Paint(CDC::FromHandle(canvas.GetDC()));
        return canvas.GetPixel(x, y);
    }
    CRotaryControl m_rotary;
};

TEST(RotaryTarget, PointsAimAlongTheArcAndTheGapCountsForItsSide)
{
    struct TargetCase
    {
        CPoint point;
        bool aims;
        int target;
        const char* why;
    };
    const TargetCase cases[] = {
        {{23, 0}, true, 127, "straight up: the middle"},
        {{0, 23}, true, 42, "left"},
        {{46, 23}, true, 212, "right"},
        {{23, 40}, true, 255, "straight below: the maximum"},
        {{22, 40}, true, 0, "just left of below: the minimum"},
        {{23, 23}, false, 0, "the centre aims nowhere"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        int target = -1;
        EXPECT_EQ(CRotaryControl::TargetFromPoint(CPoint(23, 23), 0, 255, c.point, &target), c.aims);
        if (c.aims)
        {
            EXPECT_EQ(target, c.target);
        }
    }
    int target = -1;
    EXPECT_TRUE(CRotaryControl::TargetFromPoint(CPoint(23, 23), 5, 5, CPoint(46, 23), &target));
    EXPECT_EQ(target, 5) << "a range without width aims at its minimum";
}

TEST_F(RotaryTest, DraggingStepsTenPerEventAndNotifiesEveryEvent)
{
    ASSERT_EQ(m_rotary.GetPos(), 127);
    m_rotary.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(23, 40));
    EXPECT_EQ(m_rotary.GetPos(), 137) << "a press at the maximum end moves 10";
    m_rotary.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(23, 40));
    EXPECT_EQ(m_rotary.GetPos(), 147);
    m_rotary.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(47, 23));
    EXPECT_EQ(m_rotary.GetPos(), 147) << "beyond the right edge of the square: no change";
    m_rotary.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(-5, 23));
    EXPECT_EQ(m_rotary.GetPos(), 137) << "left of the control still counts";
    m_rotary.SendMessage(WM_LBUTTONUP, 0, At(100, 100));
    EXPECT_EQ(m_rotary.GetPos(), 147) << "the release counts once, wherever it is";
    EXPECT_EQ(Notifications(), 4);
    m_rotary.SendMessage(WM_MOUSEMOVE, 0, At(23, 40));
    EXPECT_EQ(m_rotary.GetPos(), 147) << "no drag after the release";

    s_parent->Clear();
    m_rotary.SetPos(127);
    m_rotary.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(23, 0));
    m_rotary.SendMessage(WM_LBUTTONUP, 0, At(23, 0));
    EXPECT_EQ(Notifications(), 2) << "a click without movement: down and up, unchanged or not";
    EXPECT_EQ(m_rotary.GetPos(), 127);
    const CSeenMessage first = s_parent->Seen().front();
    EXPECT_EQ(first.message, static_cast<UINT>(WM_NOTIFY));
    EXPECT_EQ(first.id, kRotaryId);
}

TEST_F(RotaryTest, DotMarksThePositionAndBlinksWhileDragged)
{
    EXPECT_EQ(DotAt(23, 10), kGreen) << "the middle: straight up";
    EXPECT_EQ(DotAt(0, 0), RGB(0, 0, 255)) << "magenta pixels keep the background";
    EXPECT_EQ(DotAt(23, 30), kKnob);
    m_rotary.SetPos(255);
    EXPECT_EQ(DotAt(32, 32), kGreen) << "the maximum: lower right";
    m_rotary.SetPos(0);
    EXPECT_EQ(DotAt(14, 32), kGreen) << "the minimum: lower left";
    m_rotary.SetPos(127);

    m_rotary.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(23, 0));
    m_rotary.SendMessage(WM_TIMER, CRotaryControl::kBlinkTimer);
    EXPECT_EQ(DotAt(23, 10), kRed);
    m_rotary.SendMessage(WM_TIMER, CRotaryControl::kBlinkTimer);
    EXPECT_EQ(DotAt(23, 10), kGreen);
    m_rotary.SendMessage(WM_TIMER, CRotaryControl::kBlinkTimer);
    EXPECT_EQ(DotAt(23, 10), kRed);
    m_rotary.SendMessage(WM_LBUTTONUP, 0, At(23, 0));
    EXPECT_EQ(DotAt(23, 10), kGreen) << "green after the release";
    EXPECT_FALSE(::KillTimer(m_rotary, CRotaryControl::kBlinkTimer)) << "timer 103 is gone";
}

TEST_F(RotaryTest, RangeEndsAndLimits)
{
    m_rotary.SetRange(5, 5);
    EXPECT_EQ(m_rotary.GetPos(), 5);
    EXPECT_EQ(DotAt(14, 32), kGreen) << "a range without width shows the minimum end";
    m_rotary.SetRange(0, 255);
    m_rotary.SetPos(300);
    EXPECT_EQ(m_rotary.GetPos(), 255);
    m_rotary.SetPos(-4);
    EXPECT_EQ(m_rotary.GetPos(), 0);
    m_rotary.SetPos(100);
    EXPECT_TRUE(m_rotary.SetMin(120));
    EXPECT_EQ(m_rotary.GetPos(), 100) << "SetMin does not limit the position again";
    m_rotary.SetPos(100);
    EXPECT_EQ(m_rotary.GetPos(), 120);
}

TEST_F(RotaryTest, LosingTheCaptureEndsTheDragSilently)
{
    struct LossCase
    {
        std::function<void(CRotaryControl&)> lose;
        const char* why;
    };
    const LossCase cases[] = {
        {[](CRotaryControl&) { ::ReleaseCapture(); }, "someone took the capture"},
        {[](CRotaryControl& rotary) { rotary.SendMessage(WM_CANCELMODE); }, "a mode was cancelled"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_rotary.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(23, 0));
        ASSERT_TRUE(m_rotary.IsDragging());
        m_rotary.SendMessage(WM_TIMER, CRotaryControl::kBlinkTimer);
        const int before = Notifications();
        c.lose(m_rotary);
        EXPECT_FALSE(m_rotary.IsDragging());
        EXPECT_FALSE(m_rotary.IsBlinking());
        EXPECT_FALSE(::KillTimer(m_rotary, CRotaryControl::kBlinkTimer));
        m_rotary.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(23, 40));
        m_rotary.SendMessage(WM_LBUTTONUP, 0, At(23, 40));
        EXPECT_EQ(Notifications(), before) << "neither moves nor notifies";
        EXPECT_EQ(m_rotary.GetPos(), 127);
        ::ReleaseCapture();
    }
}
} // namespace
