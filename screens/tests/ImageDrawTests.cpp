// Drawing images on a pixel canvas, device-dependent bitmaps, the clipboard's DIBs and images
// held as resources. Wine's DIB engine gives exact pixels for unscaled and whole-factor blits.
#include "framework/testing/CPixelCanvas.h"
#include "screens/tests/ImageTestSupport.h"

using namespace ImageTest;

namespace
{
constexpr int kIconResource = 101; // the fixture script's 16 x 16, 16-colour icon, as raw data

// Every pixel of the picture at (x0, y0) of the canvas, by pattern; empty when all agree.
std::string CanvasDifference(const CPixelCanvas& canvas, int x0, int y0, int w, int h, Pattern pattern, int n,
                             int nScale = 1)
{
    for (int row = 0; row < h * nScale; ++row)
        for (int x = 0; x < w * nScale; ++x)
        {
            const COLORREF want = Expected(pattern, x / nScale, row / nScale, n);
            const COLORREF got = canvas.GetPixel(x0 + x, y0 + row);
            if (got != want)
            {
                char text[96];
                snprintf(text, sizeof(text), "(%d, %d): %06lX, expected %06lX", x, row, got, want);
                return text;
            }
        }
    return {};
}

Pattern PatternOf(int bits)
{
    return bits == 24 ? Pattern::Rgb : Pattern::Indexed;
}
int ColorsOf(int bits)
{
    return bits == 24 ? 1 : 1 << bits;
}
} // namespace

TEST(ImageDraw, DrawsEveryLayoutExactly)
{
    for (int bits : {1, 4, 8, 24})
    {
        SCOPED_TRACE(bits);
        CImageCP image(13, 7, bits);
        DrawPattern(image, ColorsOf(bits));
        CPixelCanvas canvas(40, 30);
        EXPECT_EQ(image.Draw(canvas.GetDC(), 2, 3), 7) << "scan lines drawn";
        EXPECT_EQ(CanvasDifference(canvas, 2, 3, 13, 7, PatternOf(bits), ColorsOf(bits)), "");
        EXPECT_EQ(canvas.GetPixel(1, 3), RGB(255, 255, 255)) << "nothing beside the picture";
        EXPECT_EQ(canvas.GetPixel(2, 10), RGB(255, 255, 255));
        canvas.Fill(RGB(255, 255, 255));
        image.Draw(canvas.GetDC(), 0, 0, 26, 14); // scaled by two
        EXPECT_EQ(CanvasDifference(canvas, 0, 0, 13, 7, PatternOf(bits), ColorsOf(bits), 2), "");
    }
    CPixelCanvas canvas(8, 8);
    CImageCP empty;
    EXPECT_EQ(empty.Draw(canvas.GetDC(), 0, 0), 0);
    EXPECT_EQ(CImageCP(2, 2, 8).Draw(nullptr, 0, 0), 0);
    EXPECT_FALSE(canvas.AnyPixelOtherThan(RGB(255, 255, 255), RECT{0, 0, 8, 8}));
}

TEST(ImageDraw, LeavesTheTargetWhereTheTransparentIndexIs)
{
    CImageCP image(13, 7, 8);
    DrawPattern(image, 256);
    image.SetTransparentIndex(Index(0, 0, 256)); // the colour of the top-left pixel, among others
    const COLORREF kBack = RGB(1, 2, 3);
    CPixelCanvas canvas(40, 30, kBack);
    EXPECT_TRUE(image.Draw(canvas.GetDC(), 5, 4));
    int nKept = 0;
    for (int row = 0; row < 7; ++row)
        for (int x = 0; x < 13; ++x)
        {
            const bool bTransparent = Index(x, row, 256) == image.GetTransparentIndex();
            nKept += bTransparent;
            ASSERT_EQ(canvas.GetPixel(5 + x, 4 + row), bTransparent ? kBack : PaletteColor(Index(x, row, 256)))
                << x << ", " << row;
        }
    EXPECT_GE(nKept, 1);

    // A destination outside the clip region: 1, and nothing drawn.
    CPixelCanvas clipped(40, 30, kBack);
    IntersectClipRect(clipped.GetDC(), 30, 20, 40, 30);
    EXPECT_EQ(image.Draw(clipped.GetDC(), 0, 0), 1);
    EXPECT_FALSE(clipped.AnyPixelOtherThan(kBack, RECT{0, 0, 40, 30}));
}

TEST(ImageDraw, DrawTransparentLeavesOutMagentaAndIgnoresTheTargetsColours)
{
    CImageCP image(13, 7, 24);
    DrawPattern(image, 0);
    const COLORREF kMagenta = RGB(255, 0, 255);
    for (int x = 0; x < 13; x += 3)
        image.SetPixelColorRef(x, 6 - x % 7, kMagenta);
    const COLORREF kBack = RGB(10, 200, 30);
    for (bool bTinted : {false, true})
    {
        SCOPED_TRACE(bTinted ? "red text, blue background on the target" : "a fresh target");
        CPixelCanvas canvas(20, 10, kBack);
        if (bTinted)
        {
            SetTextColor(canvas.GetDC(), RGB(255, 0, 0));
            SetBkColor(canvas.GetDC(), RGB(0, 0, 255));
        }
        EXPECT_EQ(image.DrawTransparent(canvas.GetDC(), kMagenta, 1, 1), 1);
        for (int row = 0; row < 7; ++row)
            for (int x = 0; x < 13; ++x)
            {
                const bool bHole = x % 3 == 0 && row == x % 7;
                ASSERT_EQ(canvas.GetPixel(1 + x, 1 + row), bHole ? kBack : PatternColor(x, row)) << x << ", " << row;
            }
        if (bTinted)
        {
            EXPECT_EQ(GetTextColor(canvas.GetDC()), RGB(255, 0, 0)) << "the caller's colours are put back";
            EXPECT_EQ(GetBkColor(canvas.GetDC()), RGB(0, 0, 255));
        }
    }
}

TEST(ImageDraw, TilesFromTheTopLeftCorner)
{
    CImageCP tile(3, 2, 24);
    DrawPattern(tile, 0);
    CPixelCanvas canvas(12, 9);
    ASSERT_TRUE(tile.Tile(canvas.GetDC(), RECT{1, 1, 8, 6}));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(canvas.GetPixel(1 + x, 1 + y), PatternColor(x % 3, y % 2)) << x << ", " << y;
    EXPECT_FALSE(canvas.AnyPixelOtherThan(RGB(255, 255, 255), RECT{0, 0, 12, 1}));
    EXPECT_FALSE(canvas.AnyPixelOtherThan(RGB(255, 255, 255), RECT{0, 0, 1, 9}));
    EXPECT_FALSE(CImageCP().Tile(canvas.GetDC(), RECT{0, 0, 4, 4}));
}

TEST(ImageBitmaps, MakeBitmapAndBackGivesTheSamePicture)
{
    CImageCP image(13, 7, 24);
    DrawPattern(image, 0);
    CGdiHandle<HBITMAP> bitmap(image.MakeBitmap());
    ASSERT_TRUE(bitmap.IsValid());
    for (int bits : {24, -1})
    {
        SCOPED_TRACE(bits);
        CImageCP back(bitmap, bits);
        ASSERT_EQ(back.GetBitCount(), 24) << "the screen's 32 bits become 24";
        EXPECT_EQ(back.GetWidth(), 13);
        EXPECT_EQ(memcmp(back.GetBits(), image.GetBits(), image.GetHeader().biSizeImage), 0);
        EXPECT_EQ(memcmp(back.GetDib(), &back.GetHeader(), 40), 0) << "block and header copy agree";
    }
    CImageCP none(static_cast<HBITMAP>(nullptr), 24);
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(CImageCP().MakeBitmap(), nullptr);
}

TEST(ImageBitmaps, TakesTheClipboardsDibs)
{
    CImageCP image(13, 7, 24);
    DrawPattern(image, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_DIB, image.CopyToHandle(nullptr)), nullptr);
    CloseClipboard();
    ASSERT_TRUE(OpenClipboard(nullptr));
    for (UINT format : {CF_DIB, CF_DIBV5})
    {
        SCOPED_TRACE(format);
        HANDLE h = GetClipboardData(format);
        ASSERT_NE(h, nullptr);
        const DWORD nHeaderSize = static_cast<const BITMAPINFOHEADER*>(GlobalLock(h))->biSize;
        GlobalUnlock(h);
        EXPECT_EQ(nHeaderSize, format == CF_DIBV5 ? sizeof(BITMAPV5HEADER) : sizeof(BITMAPINFOHEADER));
        CImageCP back(static_cast<HGLOBAL>(h));
        ASSERT_TRUE(back.IsValid());
        EXPECT_EQ(back.GetHeader().biSize, 40u);
        EXPECT_EQ(FirstDifference(back, Pattern::Rgb, 0), "");
    }
    EmptyClipboard();
    CloseClipboard();
}

TEST(ImageResources, ReadsAnIconHeldAsRawData)
{
    HRSRC hResource = FindResourceW(nullptr, MAKEINTRESOURCEW(kIconResource), MAKEINTRESOURCEW(10)); // RT_RCDATA
    ASSERT_NE(hResource, nullptr);
    CImageCP image;
    ASSERT_TRUE(image.LoadFromResource(hResource, CImageCP::typeIcon, nullptr));
    EXPECT_EQ(image.GetWidth(), 16);
    EXPECT_EQ(image.GetBitCount(), 4);
    EXPECT_EQ(FirstDifference(image, Pattern::Indexed, 16), "");

    for (int type : {0, 6}) // BMP, none
    {
        EXPECT_FALSE(image.LoadFromResource(hResource, type, nullptr)) << type;
        EXPECT_STREQ(image.GetErrorText(), "Unsupported operation for this format");
        EXPECT_EQ(image.GetWidth(), 16) << "the picture stays";
    }
    for (int type : {1, 2, 3}) // GIF, JPEG, PNG
    {
        EXPECT_FALSE(image.LoadFromResource(hResource, type, nullptr)) << "an icon is neither";
        EXPECT_EQ(image.GetWidth(), 16) << "the picture stays";
    }
    EXPECT_FALSE(image.LoadFromResource(nullptr, CImageCP::typeIcon, nullptr));
    EXPECT_STREQ(image.GetErrorText(), "Unable to load resource!");
}

TEST(ImageResources, TheTemporaryFileLivesInTheTempFolderAndGoesWhenClosed)
{
    wchar_t szTemp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, szTemp), 0u);
    std::wstring path;
    FILE* pFile = CImageCP::OpenTemporaryFile(&path);
    ASSERT_NE(pFile, nullptr);
    EXPECT_EQ(_wcsnicmp(path.c_str(), szTemp, wcslen(szTemp)), 0) << "under GetTempPath, not the drive root";
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(fwrite("data", 1, 4, pFile), 4u);
    rewind(pFile);
    char text[5] = {};
    EXPECT_EQ(fread(text, 1, 4, pFile), 4u) << "open for reading and writing";
    EXPECT_STREQ(text, "data");
    fclose(pFile);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted on closing";
}
