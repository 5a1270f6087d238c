// PNG files: made by codec_fixtures.py's own writer (every colour type, 16 bits, Adam7), and
// files we write, checked here and by the host (Pillow pixels, pngcheck).
#include "screens/CImagePNG.h"
#include "screens/tests/ImageCodecSupport.h"

using namespace ImageTest;

namespace
{
constexpr int kPNG = CImageCP::typePNG;
constexpr COLORREF kBackground = RGB(31, 127, 255);

const CodecCase kPngCases[] = {
    {L"rgb.png", true, 13, 10, 24, Pattern::Rgb, 0, "", "RGB: blue, green, red in the rows"},
    {L"rgb16.png", true, 13, 10, 24, Pattern::Rgb, 0, "", "16 bits a sample: stripped to 8"},
    {L"rgb_adam7.png", true, 13, 10, 24, Pattern::Rgb, 0, "", "Adam7 RGB equals plain, colour order kept"},
    {L"p1.png", true, 33, 5, 1, Pattern::Indexed, 2, "", "1-bit palette"},
    {L"p2.png", true, 13, 10, 8, Pattern::Indexed, 4, "", "2-bit palette widened to 8 bits"},
    {L"p4.png", true, 13, 10, 4, Pattern::Indexed, 16, "", "4-bit palette"},
    {L"p8.png", true, 13, 10, 8, Pattern::Indexed, 256, "", "8-bit palette"},
    {L"p8_adam7.png", true, 13, 10, 8, Pattern::Indexed, 256, "", "Adam7 palette equals plain"},
    {L"p4_adam7.png", true, 13, 10, 4, Pattern::Indexed, 16, "", "Adam7 4-bit palette"},
    {L"grey1.png", true, 33, 5, 8, Pattern::Mono, 2, "", "1-bit grey: 8 bits, 0 and 255"},
    {L"grey8.png", true, 13, 10, 8, Pattern::Gray, 256, "", "8-bit grey with the grey ramp"},
    {L"grey16.png", true, 13, 10, 8, Pattern::Gray, 256, "", "16-bit grey stripped to 8"},
    {L"bomb.png", false, 0, 0, 0, Pattern::None, 0, "Image too large", "100000 x 100000 in a few KB"},
    {L"cut.png", false, 0, 0, 0, Pattern::None, 0, "", "cut in the middle of the data"},
    {L"notpng.png", false, 0, 0, 0, Pattern::None, 0, "", "not a PNG signature"},
};
} // namespace

TEST(ImagePng, ReadsTheTableOfCases)
{
    ReadCases(kPngCases, kPNG);
}

TEST(ImagePng, AlphaIsCompositedOntoBlue)
{
    CImageCP rgba, rgb;
    ASSERT_TRUE(rgba.Open(MadePath(L"rgba.png").c_str(), kPNG));
    ASSERT_TRUE(rgb.Open(MadePath(L"rgb.png").c_str(), kPNG));
    ASSERT_EQ(rgba.GetBitCount(), 24);
    const int top = rgba.GetHeight() - 1;
    EXPECT_EQ(ToColorRef(rgba.GetPixelColor(0, top)), kBackground) << "the transparent pixel";
    rgba.SetPixelColorRef(0, top, PatternColor(0, 0));
    EXPECT_EQ(memcmp(rgba.GetBits(), rgb.GetBits(), rgb.GetHeader().biSizeImage), 0) << "opaque rows alike";

    CImageCP greyAlpha;
    ASSERT_TRUE(greyAlpha.Open(MadePath(L"grey_alpha.png").c_str(), kPNG));
    EXPECT_EQ(greyAlpha.GetBitCount(), 24) << "grey with alpha becomes colour";
    const COLORREF cut = ToColorRef(greyAlpha.GetPixelColor(0, top));
    greyAlpha.SetPixelColorRef(0, top, RGB(0, 0, 0));
    EXPECT_EQ(FirstDifference(greyAlpha, Pattern::Gray, 256), "");
    EXPECT_NE(cut, RGB(0, 0, 0)) << "the transparent pixel shows the background";

    CImageCP paletteAlpha;
    ASSERT_TRUE(paletteAlpha.Open(MadePath(L"p4_trns.png").c_str(), kPNG));
    EXPECT_EQ(paletteAlpha.GetBitCount(), 4);
    EXPECT_EQ(ToColorRef(paletteAlpha.GetPaletteColor(1)), kBackground) << "entry 1 fully transparent";
    EXPECT_EQ(ToColorRef(paletteAlpha.GetPaletteColor(2)), PaletteColor(2));
}

TEST(ImagePng, LowGreyDepthsGetTheGreyRamp)
{
    CImageCP grey;
    ASSERT_TRUE(grey.Open(MadePath(L"grey4.png").c_str(), kPNG));
    ASSERT_EQ(grey.GetBitCount(), 8);
    for (int i : {0, 17, 255})
        EXPECT_EQ(ToColorRef(grey.GetPaletteColor(i)), RGB(i, i, i));
    const int h = grey.GetHeight();
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < grey.GetWidth(); ++x)
            ASSERT_EQ(grey.GetPixelIndex(x, h - 1 - row), Index(x, row, 16) * 17) << x << ", " << row;
}

TEST(ImagePng, WritesPaletteAndColourFiles)
{
    struct WriteCase
    {
        const wchar_t* from;
        const wchar_t* to;
        const char* kind;
        int n;
    };
    for (const WriteCase& c :
         {WriteCase{L"p4.png", L"p4_back.png", "pal", 16}, WriteCase{L"p1.png", L"p1_back.png", "pal", 2},
          WriteCase{L"p8.png", L"p8_back.png", "pal", 256}, WriteCase{L"rgb.png", L"rgb_back.png", "rgb", 0}})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.to)));
        CImageCP image;
        ASSERT_TRUE(image.Open(MadePath(c.from).c_str(), kPNG));
        ASSERT_TRUE(image.Save(WrittenPath(c.to).c_str(), kPNG));
        CImageCP back;
        ASSERT_TRUE(back.Open(WrittenPath(c.to).c_str(), kPNG));
        EXPECT_EQ(back.GetBitCount(), image.GetBitCount());
        EXPECT_EQ(memcmp(back.GetDib(), image.GetDib(), image.GetSize()), 0);
        Manifest().Add(c.to, c.kind, image.GetWidth(), image.GetHeight(), c.n);
    }
    Manifest().Check("pngcheck-palette-16", L"p4_back.png");
    Manifest().Check("pngcheck-palette-256", L"p8_back.png");
}

TEST(ImagePng, WriteFailuresGiveFalse)
{
    CImageCP image(300, 300, 24);
    DrawPattern(image, 0);
    CStdioFileHandle readOnly(_wfopen(MadePath(L"rgb.png").c_str(), L"rb"));
    ASSERT_TRUE(readOnly.IsValid());
    EXPECT_FALSE(image.WriteFile(readOnly, kPNG)) << "a stream opened for reading";
}
