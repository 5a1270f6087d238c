// The system utilities that need a desktop: clipboard, monitors and the shell's icons (Xvfb).
#include "core/CUtilities.h"
#include "core/CUtility.h"
#include <gtest/gtest.h>
#include <shellapi.h>
#include <string>
#include <vector>

TEST(UtilitiesDesktop, ClipboardTextRoundTrips)
{
    const wchar_t* kText = L"Gr\u00fc\u00dfe \u260e line\r\nsecond";
    CUtilities::SetClipboardText(kText);
    EXPECT_EQ(std::wstring(CUtilities::GetClipboardText().GetString()), kText);
    CUtilities::SetClipboardText(L"");
    EXPECT_EQ(std::wstring(CUtilities::GetClipboardText().GetString()), L"");
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_TRUE(CUtilities::GetClipboardText().IsEmpty()) << "no text on the clipboard";
}

TEST(UtilitiesDesktop, FindsTheMonitorAndItsRectangles)
{
    CArray<HMONITOR, HMONITOR> monitors;
    monitors.Add(nullptr); // replaced, not appended to
    const int n = CUtilities::EnumMonitors(monitors);
    ASSERT_GE(n, 1);
    ASSERT_EQ(monitors.GetSize(), n);
    CRect work, full;
    ASSERT_TRUE(CUtilities::GetMonitorRects(monitors[0], work, full));
    const CRect screen(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(EqualRect(&full, &screen)) << "the primary monitor is the screen";
    RECT inside;
    EXPECT_TRUE(IntersectRect(&inside, &work, &full) && EqualRect(&inside, &work))
        << "the work area lies on the monitor";

    CRect work2, full2;
    POINT centre{(work.left + work.right) / 2, (work.top + work.bottom) / 2};
    ASSERT_TRUE(CUtilities::GetMonitorRectsFromPoint(centre, work2, full2));
    EXPECT_TRUE(EqualRect(&work2, &work));
    EXPECT_TRUE(EqualRect(&full2, &full));
    CRect untouched(1, 2, 3, 4), untouched2(5, 6, 7, 8);
    EXPECT_FALSE(CUtilities::GetMonitorRectsFromPoint(POINT{-30000, -30000}, untouched, untouched2));
    EXPECT_EQ(untouched.left, 1) << "left alone when no monitor holds the point";
    EXPECT_FALSE(CUtilities::GetMonitorRects(nullptr, work2, full2));
}

TEST(UtilitiesDesktop, GivesShellIconsAndTypeNames)
{
    HIMAGELIST hSmall = CUtilities::GetSystemImageList(TRUE), hLarge = CUtilities::GetSystemImageList(FALSE);
    ASSERT_NE(hSmall, nullptr);
    ASSERT_NE(hLarge, nullptr);
    EXPECT_EQ(CUtilities::GetSystemImageList(TRUE), hSmall) << "one shared list";
    int cxSmall = 0, cySmall = 0, cxLarge = 0, cyLarge = 0;
    ImageList_GetIconSize(hSmall, &cxSmall, &cySmall);
    ImageList_GetIconSize(hLarge, &cxLarge, &cyLarge);
    EXPECT_LT(cxSmall, cxLarge);

    const int nText = CUtilities::GetFileIconIndex(L"no such file.txt", TRUE);
    EXPECT_GE(nText, 0);
    EXPECT_LT(nText, ImageList_GetImageCount(hSmall));
    const int nFolder = CUtilities::GetStockIconIndex(3, TRUE); // the folder
    EXPECT_GE(nFolder, 0);
    EXPECT_LT(nFolder, ImageList_GetImageCount(hSmall));
    EXPECT_EQ(CUtilities::GetStockIconIndex(3, FALSE), nFolder) << "the lists share their indexes";
    SHFILEINFOW folder{};
    SHGetFileInfoW(L"C:\\Some\\Folder", FILE_ATTRIBUTE_DIRECTORY, &folder, sizeof folder,
                   SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
    EXPECT_EQ(nFolder, folder.iIcon) << "the folder's own icon";
    EXPECT_NE(nFolder, nText);
    EXPECT_EQ(CUtilities::GetStockIconIndex(4242, TRUE) >= 0, true) << "unknown ids still give an index";

    for (BOOL bSmall : {TRUE, FALSE})
    {
        HICON hIcon = CUtilities::GetFileIcon(L"letter.txt", bSmall);
        ASSERT_NE(hIcon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(hIcon, &info));
        BITMAP bm{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, bSmall ? cxSmall : cxLarge);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        EXPECT_TRUE(DestroyIcon(hIcon)) << "the caller owns the icon";
        HICON hFolder = CUtilities::GetFolderIcon(bSmall);
        ASSERT_NE(hFolder, nullptr);
        EXPECT_TRUE(DestroyIcon(hFolder));
    }
    EXPECT_FALSE(CUtilities::GetFileTypeName(L"letter.txt").IsEmpty());
}

// ---- Sliding a window ----

namespace
{
// A real top-level window that records every position it is given
class CSlideWindow
{
public:
    CSlideWindow(const RECT& rc)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CSlideWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LumoSlideTestWindow";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassW(&wc); // a second registration fails harmlessly
        s_positions.clear();
        m_hWnd = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"slide", WS_POPUP | WS_VISIBLE, rc.left, rc.top,
                                 rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, wc.hInstance, nullptr);
        s_positions.clear();
    }
    CSlideWindow(const CSlideWindow&) = delete;
    CSlideWindow& operator=(const CSlideWindow&) = delete;
    ~CSlideWindow()
    {
        if (m_hWnd) DestroyWindow(m_hWnd);
    }
    HWND Get() const { return m_hWnd; }
    CRect Rect() const
    {
        CRect rc;
        GetWindowRect(m_hWnd, &rc);
        return rc;
    }
    static std::vector<CRect> s_positions;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_WINDOWPOSCHANGED)
        {
            auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (!(pos->flags & SWP_NOMOVE))
                s_positions.push_back(CRect(pos->x, pos->y, pos->x + pos->cx, pos->y + pos->cy));
        }
        return DefWindowProcW(hWnd, msg, wParam, lParam);
    }
    HWND m_hWnd = nullptr;
};
std::vector<CRect> CSlideWindow::s_positions;

bool Same(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}
} // namespace

// One window for all: Wine waits for a window manager that Xvfb lacks whenever a window is hidden
class UtilityAnimate : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_pWindow = new CSlideWindow(CRect(0, 0, 10, 10)); }
    static void TearDownTestSuite()
    {
        delete s_pWindow;
        s_pWindow = nullptr;
    }
    // Puts the window at rc and forgets the positions it had so far
    static CSlideWindow& WindowAt(const RECT& rc)
    {
        SetWindowPos(s_pWindow->Get(), nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        CSlideWindow::s_positions.clear();
        return *s_pWindow;
    }
    static CSlideWindow* s_pWindow;
};
CSlideWindow* UtilityAnimate::s_pWindow = nullptr;

TEST_F(UtilityAnimate, WithoutDurationsMovesAtOnce)
{
    CSlideWindow& window = WindowAt(CRect(100, 100, 300, 140));
    ASSERT_NE(window.Get(), nullptr);
    CUtility slide;
    EXPECT_EQ(slide.m_nShrinkDurationMs, 400);
    EXPECT_EQ(slide.m_nGrowDurationMs, 200);
    slide.m_nGrowDurationMs = 0;
    CSlideWindow::s_positions.clear();
    EXPECT_TRUE(slide.AnimateWindowRect(window.Get(), CRect(10, 20, 410, 60)));
    ASSERT_EQ(CSlideWindow::s_positions.size(), 1u) << "one positioning, no slide";
    EXPECT_TRUE(Same(window.Rect(), CRect(10, 20, 410, 60)));
}

TEST_F(UtilityAnimate, ShrinkingSlidesByTwiceTheCentreDistance)
{
    CSlideWindow& window = WindowAt(CRect(200, 300, 400, 340));
    ASSERT_NE(window.Get(), nullptr);
    CUtility slide;
    const int nPriority = GetThreadPriority(GetCurrentThread());
    const ULONGLONG nStart = GetTickCount64();
    const CRect target(200, 250, 400, 290); // same size, 50 higher
    EXPECT_TRUE(slide.AnimateWindowRect(window.Get(), target));
    EXPECT_GE(GetTickCount64() - nStart, 400u) << "the shrinking slide lasts its duration";
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), nPriority) << "priority put back";
    const auto& seen = CSlideWindow::s_positions;
    ASSERT_GE(seen.size(), 3u);
    for (size_t i = 0; i + 1 < seen.size(); ++i)
    {
        EXPECT_EQ(seen[i].left, 200);
        EXPECT_EQ(seen[i].Height(), 40) << "only moved, never resized";
        EXPECT_LE(seen[i].top, 300);
        EXPECT_GT(seen[i].top, 300 - 100) << "short of twice the 50 between the centres";
        if (i > 0)
        {
            EXPECT_LE(seen[i].top, seen[i - 1].top) << "upwards all the way";
        }
    }
    EXPECT_LT(seen[seen.size() - 2].top, 250) << "past the target on its way";
    EXPECT_TRUE(Same(seen.back(), target)) << "and finally on it";
    EXPECT_TRUE(Same(window.Rect(), target));
}

TEST_F(UtilityAnimate, GrowingStartsBehindTheTargetAndSlidesOntoIt)
{
    CSlideWindow& window = WindowAt(CRect(0, 0, 300, 4)); // a strip at the top edge
    ASSERT_NE(window.Get(), nullptr);
    CUtility slide;
    const CRect target(0, 0, 300, 40);
    EXPECT_TRUE(slide.AnimateWindowRect(window.Get(), target));
    const auto& seen = CSlideWindow::s_positions;
    ASSERT_GE(seen.size(), 2u);
    // dy = 0 + 40 - 0 - 4 = 36: the bar starts 36 above its target, at its full size
    EXPECT_TRUE(Same(seen.front(), CRect(0, -36, 300, 4)));
    for (size_t i = 1; i + 1 < seen.size(); ++i)
    {
        EXPECT_GE(seen[i].top, -36);
        EXPECT_LE(seen[i].top, 0);
        EXPECT_EQ(seen[i].Height(), 40);
    }
    EXPECT_TRUE(Same(seen.back(), target));
    EXPECT_TRUE(Same(window.Rect(), target));
}
