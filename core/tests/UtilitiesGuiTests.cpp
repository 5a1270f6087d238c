// The system utilities that need a desktop: clipboard, monitors and the shell's icons (Xvfb).
#include "core/CUtilities.h"
#include <gtest/gtest.h>
#include <shellapi.h>
#include <string>

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
    monitors.Add(nullptr);  // replaced, not appended to
    const int n = CUtilities::EnumMonitors(monitors);
    ASSERT_GE(n, 1);
    ASSERT_EQ(monitors.GetSize(), n);
    CRect work, full;
    ASSERT_TRUE(CUtilities::GetMonitorRects(monitors[0], work, full));
    const CRect screen(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(EqualRect(&full, &screen)) << "the primary monitor is the screen";
    RECT inside;
    EXPECT_TRUE(IntersectRect(&inside, &work, &full) && EqualRect(&inside, &work)) << "the work area lies on the monitor";

    CRect work2, full2;
    POINT centre{ (work.left + work.right) / 2, (work.top + work.bottom) / 2 };
    ASSERT_TRUE(CUtilities::GetMonitorRectsFromPoint(centre, work2, full2));
    EXPECT_TRUE(EqualRect(&work2, &work));
    EXPECT_TRUE(EqualRect(&full2, &full));
    CRect untouched(1, 2, 3, 4), untouched2(5, 6, 7, 8);
    EXPECT_FALSE(CUtilities::GetMonitorRectsFromPoint(POINT{ -30000, -30000 }, untouched, untouched2));
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
    const int nFolder = CUtilities::GetStockIconIndex(3, TRUE);  // the folder
    EXPECT_GE(nFolder, 0);
    EXPECT_LT(nFolder, ImageList_GetImageCount(hSmall));
    EXPECT_EQ(CUtilities::GetStockIconIndex(3, FALSE), nFolder) << "the lists share their indexes";
    SHFILEINFOW folder{};
    SHGetFileInfoW(L"C:\\Some\\Folder", FILE_ATTRIBUTE_DIRECTORY, &folder, sizeof folder,
                   SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
    EXPECT_EQ(nFolder, folder.iIcon) << "the folder's own icon";
    EXPECT_NE(nFolder, nText);
    EXPECT_EQ(CUtilities::GetStockIconIndex(4242, TRUE) >= 0, true) << "unknown ids still give an index";

    for (BOOL bSmall : { TRUE, FALSE })
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
