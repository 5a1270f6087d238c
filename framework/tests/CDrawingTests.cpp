// Drawing objects and device contexts: handles freed, selections put back, temporary wrappers
// freed at idle time, and exact pixels on a pixel canvas.
#include "framework/CBitmap.h"
#include "framework/CBrush.h"
#include "framework/CClientDC.h"
#include "framework/CDC.h"
#include "framework/CFont.h"
#include "framework/CPaintDC.h"
#include "framework/CPen.h"
#include "framework/CRgn.h"
#include "framework/CSelectObject.h"
#include "framework/CTempHandleMap.h"
#include "framework/CWindowDC.h"
#include "framework/CWinThread.h"
#include "framework/CWnd.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <typeindex>

namespace
{
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

using GdiTemps = CTempHandleMap<std::pair<HGDIOBJ, std::type_index>, CGdiObject>;
using DCTemps = CTempHandleMap<HDC, CDC>;

// What the thread's idle time does to temporary wrappers.
void RunIdle()
{
    CWnd::DeleteTempMap();
}

struct GdiCase
{
    const char* what;
    std::function<std::unique_ptr<CGdiObject>()> make;
};

TEST(DrawingObjects, FreeTheirHandleWhenDestroyed)
{
    const GdiCase cases[] = {
        {"pen", [] { return std::make_unique<CPen>(PS_SOLID, 2, kRed); }},
        {"brush", [] { return std::make_unique<CBrush>(kBlue); }},
        {"font",
         [] {
             auto font = std::make_unique<CFont>();
             font->CreatePointFont(90, L"Tahoma");
             return font;
         }},
        {"bitmap",
         [] {
             auto bitmap = std::make_unique<CBitmap>();
             bitmap->CreateBitmap(8, 8, 1, 32, nullptr);
             return bitmap;
         }},
        {"region",
         [] {
             auto rgn = std::make_unique<CRgn>();
             rgn->CreateRectRgn(0, 0, 10, 10);
             return rgn;
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        HGDIOBJ h;
        {
            auto object = c.make();
            h = object->GetSafeHandle();
            ASSERT_NE(h, nullptr);
            EXPECT_NE(::GetObjectType(h), 0u) << "a live object";
        }
        EXPECT_EQ(::GetObjectType(h), 0u) << "deleted with its owner";
    }
}

TEST(DrawingObjects, DetachHandsTheHandleOnAndDeleteObjectFreesIt)
{
    HGDIOBJ h;
    {
        CPen pen(PS_SOLID, 1, kRed);
        h = pen.Detach();
        EXPECT_EQ(pen.GetSafeHandle(), nullptr);
    }
    EXPECT_NE(::GetObjectType(h), 0u) << "a detached handle outlives the object";
    CPen again;
    ASSERT_TRUE(again.Attach(h));
    EXPECT_FALSE(again.Attach(h)) << "an object holds one handle";
    EXPECT_TRUE(again.DeleteObject());
    EXPECT_EQ(::GetObjectType(h), 0u);
    EXPECT_FALSE(again.DeleteObject()) << "nothing left to delete";
}

TEST(DrawingObjects, SecondCreateIsRefusedWithoutLeakingTheFirst)
{
    CBrush brush(kRed);
    HGDIOBJ first = brush.GetSafeHandle();
    EXPECT_FALSE(brush.CreateSolidBrush(kBlue));
    EXPECT_EQ(brush.GetSafeHandle(), first);
}

TEST(SelectObject, PutsTheOldObjectBackBeforeTheOwnerDeletesIt)
{
    CPixelCanvas canvas(20, 20);
    const HGDIOBJ oldPen = ::GetCurrentObject(canvas.GetDC(), OBJ_PEN);
    HGDIOBJ h;
    {
        CPen pen(PS_SOLID, 1, kRed);
        h = pen.GetSafeHandle();
        CSelectObject keep(canvas.GetDC(), pen);
        EXPECT_TRUE(keep.IsSelected());
        EXPECT_EQ(keep.GetOldObject(), oldPen);
        EXPECT_EQ(::GetCurrentObject(canvas.GetDC(), OBJ_PEN), h);
    }
    EXPECT_EQ(::GetCurrentObject(canvas.GetDC(), OBJ_PEN), oldPen);
    EXPECT_EQ(::GetObjectType(h), 0u) << "deselected first, so the delete succeeded";
}

TEST(SelectObject, TypedSelectReturnsTheOldObject)
{
    CPixelCanvas canvas(20, 20);
    CDC* pDC = CDC::FromHandle(canvas.GetDC());
    CBrush brush(kBlue);
    const HGDIOBJ oldBrush = ::GetCurrentObject(canvas.GetDC(), OBJ_BRUSH);
    CBrush* pOld = pDC->SelectObject(&brush);
    ASSERT_NE(pOld, nullptr);
    EXPECT_EQ(pOld->GetSafeHandle(), oldBrush);
    EXPECT_EQ(pDC->GetCurrentBrush()->GetSafeHandle(), brush.GetSafeHandle());
    pDC->SelectObject(pOld);
    RunIdle();
}

TEST(TemporaryWrappers, AreSharedPerHandleAndGoneAfterIdleWithoutFreeingTheHandle)
{
    RunIdle();
    CPixelCanvas canvas(10, 10);
    CPen pen(PS_SOLID, 1, kRed);
    CDC* p1 = CDC::FromHandle(canvas.GetDC());
    EXPECT_EQ(CDC::FromHandle(canvas.GetDC()), p1) << "one wrapper per handle";
    CPen* pPen = CPen::FromHandle(pen);
    EXPECT_EQ(pPen->GetSafeHandle(), pen.GetSafeHandle());
    CGdiObject* pPlain = CGdiObject::FromHandle(pen.GetSafeHandle());
    EXPECT_NE(static_cast<CGdiObject*>(pPen), pPlain) << "a wrapper per kind";
    EXPECT_EQ(DCTemps::Count(), 1u);
    EXPECT_EQ(GdiTemps::Count(), 2u);

    RunIdle();
    EXPECT_EQ(DCTemps::Count(), 0u);
    EXPECT_EQ(GdiTemps::Count(), 0u);
    EXPECT_NE(::GetObjectType(pen.GetSafeHandle()), 0u) << "the borrowed pen is still alive";
    EXPECT_EQ(::GetObjectType(canvas.GetDC()), static_cast<DWORD>(OBJ_MEMDC)) << "the borrowed DC too";
}

TEST(TemporaryWrappers, AreFreedByTheThreadLoopsIdleTime)
{
    CWinThread thread; // the calling thread's loop object for this test
    CPixelCanvas canvas(10, 10);
    CDC::FromHandle(canvas.GetDC());
    ASSERT_EQ(DCTemps::Count(), 1u);
    thread.OnIdle(0);
    EXPECT_EQ(DCTemps::Count(), 0u);
}

UINT MakeTemporariesAndEnd(LPVOID pParam)
{
    auto* pPen = static_cast<CPen*>(pParam);
    CPen::FromHandle(*pPen);
    HDC hScreen = ::GetDC(nullptr);
    CDC::FromHandle(hScreen)->GetDeviceCaps(BITSPIXEL);
    const UINT result = GdiTemps::Count() == 1 && DCTemps::Count() == 1 ? 0 : 1;
    ::ReleaseDC(nullptr, hScreen); // the wrapper only borrowed it
    return result;
}

TEST(TemporaryWrappers, OfAnotherThreadAreFreedWhenItEndsWithoutFreeingTheHandles)
{
    CPen pen(PS_SOLID, 1, kRed);
    CWinThread* pThread = AfxBeginThread(&MakeTemporariesAndEnd, &pen, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(pThread, nullptr);
    pThread->m_bAutoDelete = FALSE;
    pThread->ResumeThread();
    ASSERT_EQ(::WaitForSingleObject(*pThread, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    ::GetExitCodeThread(*pThread, &code);
    EXPECT_EQ(code, 0u) << "the thread's own maps held its wrappers";
    EXPECT_NE(::GetObjectType(pen.GetSafeHandle()), 0u) << "the borrowed pen outlives the thread's wrapper";
    EXPECT_EQ(GdiTemps::Count(), 0u) << "nothing of that thread's maps here";
    delete pThread;
}

class CanvasTest : public ::testing::Test
{
protected:
    CPixelCanvas m_canvas{64, 64};
    CDC m_dc;
    void SetUp() override { m_dc.m_hDC = m_canvas.GetDC(); } // borrowed: given back in TearDown
    void TearDown() override { m_dc.m_hDC = nullptr; }
};

TEST_F(CanvasTest, FillSolidRectFillsExactlyAndKeepsTheBackgroundColour)
{
    m_dc.SetBkColor(kBlue);
    m_dc.FillSolidRect(10, 10, 5, 4, kRed);
    EXPECT_EQ(m_canvas.CountPixels(kRed, CRect(0, 0, 64, 64)), 20);
    EXPECT_EQ(m_canvas.GetPixel(10, 10), kRed);
    EXPECT_EQ(m_canvas.GetPixel(14, 13), kRed);
    EXPECT_EQ(m_canvas.GetPixel(15, 13), kWhite);
    EXPECT_EQ(m_canvas.GetPixel(14, 14), kWhite);
    EXPECT_EQ(m_dc.GetBkColor(), kBlue);
}

TEST_F(CanvasTest, FrameRectDrawsTheOnePixelBorderOnly)
{
    CBrush brush(kBlue);
    CRect rc(20, 20, 30, 28);
    m_dc.FrameRect(&rc, &brush);
    EXPECT_EQ(m_canvas.CountPixels(kBlue, CRect(0, 0, 64, 64)), 2 * (10 + 8) - 4);
    EXPECT_FALSE(m_canvas.AnyPixelOtherThan(kWhite, CRect(21, 21, 29, 27))) << "inside untouched";
    EXPECT_EQ(m_canvas.GetPixel(29, 27), kBlue);
}

TEST_F(CanvasTest, Draw3dRectGivesTheCornersToTheBottomRightColour)
{
    m_dc.Draw3dRect(40, 10, 6, 5, kRed, kBlue);
    const CRect all(0, 0, 64, 64);
    EXPECT_EQ(m_canvas.CountPixels(kRed, all), 5 + 4 - 1);  // top row and left column without their far ends
    EXPECT_EQ(m_canvas.CountPixels(kBlue, all), 5 + 6 - 1); // right column and bottom row
    EXPECT_EQ(m_canvas.GetPixel(40, 10), kRed);
    EXPECT_EQ(m_canvas.GetPixel(45, 10), kBlue) << "top-right corner";
    EXPECT_EQ(m_canvas.GetPixel(40, 14), kBlue) << "bottom-left corner";
    EXPECT_FALSE(m_canvas.AnyPixelOtherThan(kWhite, CRect(41, 11, 45, 14)));
}

TEST_F(CanvasTest, LineToDrawsUpToButNotIncludingTheEndPoint)
{
    CPen pen(PS_SOLID, 1, kRed);
    CSelectObject keep(m_dc, pen);
    m_dc.MoveTo(0, 50);
    EXPECT_TRUE(m_dc.LineTo(10, 50));
    EXPECT_EQ(m_canvas.CountPixels(kRed, CRect(0, 0, 64, 64)), 10);
    EXPECT_EQ(m_canvas.GetPixel(9, 50), kRed);
    EXPECT_EQ(m_canvas.GetPixel(10, 50), kWhite);
    EXPECT_EQ(m_dc.GetCurrentPosition(), CPoint(10, 50));
}

TEST_F(CanvasTest, BitBltCombinesSourceAndDestinationBitByBit)
{
    constexpr COLORREF kDst = RGB(0xF0, 0x0F, 0xFF);
    constexpr COLORREF kSrc = RGB(0x3C, 0xFF, 0x00);
    CPixelCanvas source(8, 8, kSrc);
    CDC* pSrc = CDC::FromHandle(source.GetDC());
    m_canvas.Fill(CRect(0, 0, 8, 8), kDst);
    m_canvas.Fill(CRect(10, 0, 18, 8), kDst);
    EXPECT_TRUE(m_dc.BitBlt(0, 0, 8, 8, pSrc, 0, 0, SRCAND));
    EXPECT_TRUE(m_dc.BitBlt(10, 0, 8, 8, pSrc, 0, 0, SRCPAINT));
    EXPECT_EQ(m_canvas.CountPixels(RGB(0x30, 0x0F, 0x00), CRect(0, 0, 8, 8)), 64) << "AND";
    EXPECT_EQ(m_canvas.CountPixels(RGB(0xFC, 0xFF, 0xFF), CRect(10, 0, 18, 8)), 64) << "OR";
    RunIdle();
}

TEST_F(CanvasTest, PatBltFillsWithTheSelectedBrush)
{
    CBrush brush(kBlue);
    CSelectObject keep(m_dc, brush);
    EXPECT_TRUE(m_dc.PatBlt(5, 5, 3, 3, PATCOPY));
    EXPECT_EQ(m_canvas.CountPixels(kBlue, CRect(0, 0, 64, 64)), 9);
}

TEST_F(CanvasTest, ClippingKeepsDrawingInsideTheClipRectangle)
{
    const int saved = m_dc.SaveDC();
    m_dc.IntersectClipRect(0, 0, 10, 10);
    CRect box;
    EXPECT_EQ(m_dc.GetClipBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, CRect(0, 0, 10, 10));
    m_dc.FillSolidRect(5, 5, 10, 10, kRed);
    EXPECT_EQ(m_canvas.CountPixels(kRed, CRect(0, 0, 64, 64)), 25);
    EXPECT_TRUE(m_dc.RestoreDC(saved));
    m_dc.FillSolidRect(20, 20, 10, 10, kRed);
    EXPECT_EQ(m_canvas.CountPixels(kRed, CRect(20, 20, 30, 30)), 100) << "the clip went with RestoreDC";
}

TEST_F(CanvasTest, SaveAndRestoreGiveBackColoursAndModes)
{
    m_dc.SetTextColor(kRed);
    m_dc.SetBkMode(OPAQUE);
    const int saved = m_dc.SaveDC();
    m_dc.SetTextColor(kBlue);
    EXPECT_EQ(m_dc.SetBkMode(TRANSPARENT), OPAQUE);
    EXPECT_EQ(m_dc.SetROP2(R2_XORPEN), R2_COPYPEN);
    m_dc.RestoreDC(saved);
    EXPECT_EQ(m_dc.GetTextColor(), kRed);
    EXPECT_EQ(m_dc.GetBkMode(), OPAQUE);
    EXPECT_EQ(m_dc.GetROP2(), R2_COPYPEN);
}

TEST_F(CanvasTest, TextShapesAndFocusRectangleLeavePixels)
{
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(120, L"Tahoma"));
    CSelectObject keepFont(m_dc, font);
    m_dc.SetTextColor(kBlack);
    m_dc.SetBkMode(TRANSPARENT);
    CRect text(0, 0, 64, 20);
    EXPECT_GT(m_dc.DrawText(L"Hi", -1, &text, DT_SINGLELINE | DT_NOPREFIX), 0);
    EXPECT_TRUE(m_canvas.AnyPixelOtherThan(kWhite, text)) << "text is present";
    const CSize extent = m_dc.GetTextExtent(CString(L"Hi"));
    EXPECT_GT(extent.cx, 0);
    TEXTMETRICW tm{};
    ASSERT_TRUE(m_dc.GetTextMetrics(&tm));
    EXPECT_EQ(extent.cy, tm.tmHeight);

    CPen pen(PS_SOLID, 1, kRed);
    CSelectObject keepPen(m_dc, pen);
    EXPECT_TRUE(m_dc.Ellipse(0, 30, 16, 46));
    EXPECT_TRUE(m_canvas.AnyPixelOf(kRed, CRect(0, 30, 16, 46)));
    EXPECT_TRUE(m_dc.Arc(CRect(20, 30, 36, 46), CPoint(36, 38), CPoint(20, 38)));
    EXPECT_TRUE(m_canvas.AnyPixelOf(kRed, CRect(20, 30, 36, 46)));
    CRect focus(40, 30, 60, 46);
    m_dc.DrawFocusRect(&focus);
    EXPECT_TRUE(m_canvas.AnyPixelOtherThan(kWhite, focus));
}

TEST_F(CanvasTest, DrawStateAndDrawIconExDrawAnIcon)
{
    HICON hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    ASSERT_NE(hIcon, nullptr);
    EXPECT_TRUE(m_dc.DrawIconEx(0, 0, hIcon, 32, 32));
    EXPECT_TRUE(m_canvas.AnyPixelOtherThan(kWhite, CRect(0, 0, 32, 32)));
    EXPECT_TRUE(m_dc.DrawState(CPoint(32, 32), CSize(32, 32), hIcon, DSS_NORMAL));
    EXPECT_TRUE(m_canvas.AnyPixelOtherThan(kWhite, CRect(32, 32, 64, 64)));
}

TEST_F(CanvasTest, CompatibleDCAndBitmapDrawIntoTheCanvas)
{
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(&m_dc));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&m_dc, 4, 3));
    BITMAP info{};
    ASSERT_TRUE(bitmap.GetBitmap(&info));
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_EQ(bitmap.SetBitmapDimension(40, 30), CSize(0, 0));
    EXPECT_EQ(bitmap.GetBitmapDimension(), CSize(40, 30));
    {
        CSelectObject keep(memory, bitmap);
        memory.FillSolidRect(0, 0, 4, 3, kBlue);
        m_dc.BitBlt(1, 1, 4, 3, &memory, 0, 0, SRCCOPY);
    }
    EXPECT_EQ(m_canvas.CountPixels(kBlue, CRect(0, 0, 64, 64)), 12);
    HDC hMemory = memory.GetSafeHdc();
    EXPECT_TRUE(memory.DeleteDC());
    EXPECT_EQ(::GetObjectType(hMemory), 0u) << "the created DC is deleted";
}

TEST_F(CanvasTest, DeviceUnitsMapToLogicalUnits)
{
    EXPECT_EQ(m_dc.GetDeviceCaps(BITSPIXEL), 32);
    m_dc.SetViewportOrg(10, 5);
    CPoint pt(10, 5);
    m_dc.DPtoLP(&pt);
    EXPECT_EQ(pt, CPoint(0, 0));
    CSize size(7, 3);
    m_dc.DPtoLP(&size);
    EXPECT_EQ(size, CSize(7, 3)) << "a size ignores the origin";
    m_dc.SetViewportOrg(0, 0);
}

TEST(Regions, CombineAndHitTest)
{
    CRgn a, b, both;
    ASSERT_TRUE(a.CreateRectRgn(0, 0, 10, 10));
    ASSERT_TRUE(b.CreateRectRgn(5, 0, 15, 10));
    ASSERT_TRUE(both.CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(both.CombineRgn(&a, &b, RGN_AND), SIMPLEREGION);
    CRect box;
    both.GetRgnBox(&box);
    EXPECT_EQ(box, CRect(5, 0, 10, 10));
    EXPECT_TRUE(both.PtInRegion(CPoint(7, 5)));
    EXPECT_FALSE(both.PtInRegion(CPoint(2, 5)));
}

// A window that paints with the DC classes.
class CPaintProbe : public CWnd
{
public:
    int m_paints = 0;
    CRect m_paintRect;

protected:
    void OnPaint()
    {
        CPaintDC dc(this);
        ++m_paints;
        m_paintRect = dc.m_ps.rcPaint;
        dc.FillSolidRect(&dc.m_ps.rcPaint, kRed);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CPaintProbe, CWnd)
ON_WM_PAINT()
END_MESSAGE_MAP()

TEST(WindowDCs, PaintDCEndsThePaintAndClientDCDrawsIntoTheWindow)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create(200, 100));
    CPaintProbe probe;
    ASSERT_TRUE(probe.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 40), &parent, 1));
    probe.Invalidate();
    ASSERT_TRUE(PumpUntil([&] { return probe.m_paints > 0; }));
    PumpUntilIdle();
    EXPECT_EQ(probe.m_paints, 1) << "EndPaint validated the window: no second WM_PAINT";
    EXPECT_EQ(probe.m_paintRect, CRect(0, 0, 50, 40));
    RECT update;
    EXPECT_FALSE(::GetUpdateRect(probe, &update, FALSE));

    {
        CClientDC dc(&probe);
        ASSERT_NE(dc.GetSafeHdc(), nullptr);
        EXPECT_EQ(::WindowFromDC(dc), probe.m_hWnd);
        CRect clip;
        dc.GetClipBox(&clip);
        EXPECT_EQ(clip, CRect(0, 0, 50, 40));
    }
    {
        CWindowDC dc(&parent);
        ASSERT_NE(dc.GetSafeHdc(), nullptr);
        EXPECT_EQ(::WindowFromDC(dc), parent.m_hWnd);
    }
    CDC* pDC = probe.GetDC();
    ASSERT_NE(pDC, nullptr);
    EXPECT_EQ(probe.ReleaseDC(pDC), 1);
    RunIdle();
}

TEST(WindowDCs, WindowFontAndGeometryMembers)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create(200, 100));
    CWnd child;
    ASSERT_TRUE(child.CreateEx(0, L"STATIC", L"x", WS_CHILD | WS_VISIBLE, CRect(10, 20, 60, 40), &parent, 2));
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(100, L"Tahoma"));
    child.SetFont(&font, FALSE);
    ASSERT_NE(child.GetFont(), nullptr);
    EXPECT_EQ(child.GetFont()->GetSafeHandle(), font.GetSafeHandle());

    CRect rc(0, 0, 5, 5);
    child.MapWindowPoints(&parent, &rc);
    EXPECT_EQ(rc, CRect(10, 20, 15, 25));
    CPoint pt(1, 1);
    EXPECT_NE(child.MapWindowPoints(&parent, &pt, 1), 0);
    EXPECT_EQ(pt, CPoint(11, 21));

    CRgn rgn;
    ASSERT_TRUE(rgn.CreateRectRgn(0, 0, 20, 10));
    ASSERT_NE(child.SetWindowRgn(rgn, FALSE), 0);
    rgn.Detach(); // the window owns it now
    CRgn copy;
    ASSERT_TRUE(copy.CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(child.GetWindowRgn(copy), SIMPLEREGION);
    CRect box;
    copy.GetRgnBox(&box);
    EXPECT_EQ(box, CRect(0, 0, 20, 10));

    EXPECT_NE(parent.GetSystemMenu(FALSE), nullptr);
    EXPECT_EQ(parent.GetScrollPos(SB_VERT), 0);
    child.SetFont(nullptr, FALSE); // the font goes before the window
    RunIdle();
}
} // namespace
