// TIFF files: our own small writer's files (bilevel, palette maps, strips, grey 16, two samples,
// 4-bit RGB, bombs), Pillow's and tiffcp's (pages, LZW, YCbCr), and files we write, checked here
// and by the host (Pillow pixels, tiffinfo). libtiff's complaints come as boxes, answered here.
#include "framework/testing/CMessageBoxAnswerer.h"
#include "screens/CImageTIFF.h"
#include "screens/tests/ImageCodecSupport.h"

using namespace ImageTest;

namespace
{
constexpr int kTIFF = CImageCP::typeTIFF;

const CodecCase kTiffCases[] = {
    {L"two_pages.tif", true, 13, 10, 8, Pattern::Indexed, 256, "", "the first of two pages"},
    {L"p8_map8.tif", true, 13, 10, 8, Pattern::Indexed, 256, "", "a map of 8-bit values taken as it is"},
    {L"p4.tif", true, 13, 10, 4, Pattern::Indexed, 16, "", "4-bit palette"},
    {L"p1_map.tif", true, 33, 5, 1, Pattern::Indexed, 2, "", "1-bit palette with its map"},
    {L"bilevel_black0.tif", true, 33, 5, 1, Pattern::Mono, 2, "", "bilevel, black is zero"},
    {L"grey8_rps3.tif", true, 13, 10, 8, Pattern::Gray, 256, "", "3 rows a strip: strips at 0, 3, 6, 9"},
    {L"grey16.tif", true, 13, 10, 24, Pattern::Gray, 256, "", "grey 16 through the RGBA reader"},
    {L"grey_alpha.tif", true, 13, 10, 24, Pattern::Gray, 256, "", "two samples through the RGBA reader"},
    {L"rgb8.tif", true, 13, 10, 24, Pattern::Rgb, 0, "", "RGB, 8 bits a sample"},
    {L"lzw.tif", false, 0, 0, 0, Pattern::None, 0,
     "LZW compression is no longer supported due to Unisys patent enforcement", "LZW refused"},
    {L"bomb.tif", false, 0, 0, 0, Pattern::None, 0, "Image too large", "RGB 100000 x 100000"},
    {L"bomb_grey.tif", false, 0, 0, 0, Pattern::None, 0, "Image too large", "grey 100000 x 100000"},
    {L"grey8_rps0.tif", false, 0, 0, 0, Pattern::None, 0, "Error encountered while opening TIFF file",
     "rows per strip 0: libtiff refuses the directory"},
    {L"empty.tif", false, 0, 0, 0, Pattern::None, 0, "Error encountered while opening TIFF file", "empty"},
    {L"nottiff.tif", false, 0, 0, 0, Pattern::None, 0, "Error encountered while opening TIFF file", "no TIFF"},
};
} // namespace

TEST(ImageTiff, ReadsTheTableOfCases)
{
    CMessageBoxAnswerer boxes;
    ReadCases(kTiffCases, kTIFF);
}

TEST(ImageTiff, BilevelPalettesFollowThePhotometric)
{
    CImageCP whiteIsZero, blackIsZero;
    ASSERT_TRUE(whiteIsZero.Open(MadePath(L"bilevel_white0.tif").c_str(), kTIFF));
    ASSERT_TRUE(blackIsZero.Open(MadePath(L"bilevel_black0.tif").c_str(), kTIFF));
    EXPECT_EQ(whiteIsZero.GetBitCount(), 1);
    EXPECT_EQ(ToColorRef(whiteIsZero.GetPaletteColor(0)), RGB(255, 255, 255));
    EXPECT_EQ(ToColorRef(whiteIsZero.GetPaletteColor(1)), RGB(0, 0, 0));
    EXPECT_EQ(ToColorRef(blackIsZero.GetPaletteColor(0)), RGB(0, 0, 0));
    EXPECT_EQ(ToColorRef(blackIsZero.GetPaletteColor(1)), RGB(255, 255, 255));
    EXPECT_EQ(memcmp(whiteIsZero.GetBits(), blackIsZero.GetBits(), blackIsZero.GetHeader().biSizeImage), 0)
        << "the same bits, only the palette differs";
}

TEST(ImageTiff, SixteenBitMapsAreScaled)
{
    CImageCP image;
    ASSERT_TRUE(image.Open(MadePath(L"p8_map16.tif").c_str(), kTIFF));
    BYTE r, g, b;
    ASSERT_TRUE(image.GetPaletteColor(0, r, g, b));
    EXPECT_EQ(r, 255) << "65535 becomes 255";
    ASSERT_TRUE(image.GetPaletteColor(9, r, g, b));
    EXPECT_EQ(RGB(r, g, b), PaletteColor(9)) << "v * 257 scales back to v";
}

TEST(ImageTiff, ColourFormsReadAsTwentyFourBits)
{
    CImageCP ycbcr;
    ASSERT_TRUE(ycbcr.Open(MadePath(L"ycbcr.tif").c_str(), kTIFF));
    EXPECT_EQ(ycbcr.GetBitCount(), 24);
    const RGBQUAD q = ycbcr.GetPixelColor(4, 4);
    EXPECT_NEAR(q.rgbRed, 200, 4);
    EXPECT_NEAR(q.rgbGreen, 100, 4);
    EXPECT_NEAR(q.rgbBlue, 30, 4);

    CImageCP rgb4;
    ASSERT_TRUE(rgb4.Open(MadePath(L"rgb4.tif").c_str(), kTIFF));
    EXPECT_EQ(rgb4.GetBitCount(), 24);
    const int h = rgb4.GetHeight();
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < rgb4.GetWidth(); ++x)
        {
            const COLORREF want = PatternColor(x, row);
            const COLORREF got = ToColorRef(rgb4.GetPixelColor(x, h - 1 - row));
            ASSERT_EQ(got, RGB((GetRValue(want) >> 4) * 17, (GetGValue(want) >> 4) * 17, (GetBValue(want) >> 4) * 17))
                << x << ", " << row;
        }
}

TEST(ImageTiff, RoundTripsEveryDepth)
{
    struct DepthCase
    {
        int bits;
        const wchar_t* name;
        const char* kind;
        int n;
    };
    for (const DepthCase& c : {DepthCase{1, L"rt1.tif", "pal", 2}, DepthCase{4, L"rt4.tif", "pal", 16},
                               DepthCase{8, L"rt8.tif", "pal", 256}, DepthCase{24, L"rt24.tif", "rgb", 0}})
    {
        SCOPED_TRACE(c.bits);
        CImageCP image(37, 11, c.bits);
        DrawPattern(image, c.n);
        ASSERT_TRUE(image.Save(WrittenPath(c.name).c_str(), kTIFF));
        CImageCP back;
        ASSERT_TRUE(back.Open(WrittenPath(c.name).c_str(), kTIFF));
        EXPECT_EQ(back.GetBitCount(), c.bits);
        EXPECT_EQ(memcmp(back.GetDib(), image.GetDib(), image.GetSize()), 0);
        Manifest().Add(c.name, c.kind, 37, 11, c.n);
    }
    Manifest().Check("tiffinfo-rgb-packbits", L"rt24.tif");
}

TEST(ImageTiff, WriteFailuresGiveFalse)
{
    CMessageBoxAnswerer boxes;
    CImageCP image(64, 64, 24);
    CStdioFileHandle readOnly(_wfopen(MadePath(L"rgb8.tif").c_str(), L"rb"));
    ASSERT_TRUE(readOnly.IsValid());
    EXPECT_FALSE(image.WriteFile(readOnly, kTIFF)) << "a stream opened for reading";
    EXPECT_FALSE(boxes.Boxes().empty()) << "libtiff's complaint came as a box";
}
