// Pixels, palettes, whole-picture operations and colour conversions.
#include "framework/CHandleOwner.h"
#include "screens/tests/ImageTestSupport.h"
#include <shlwapi.h>
#include <set>

using namespace ImageTest;

namespace
{
std::vector<BYTE> Rows(const CImageCP& image)
{
    return std::vector<BYTE>(image.GetBits(), image.GetBits() + image.GetHeader().biSizeImage);
}
CGdiHandle<HPALETTE> MakePalette(const std::vector<COLORREF>& colors)
{
    std::vector<BYTE> buffer(sizeof(LOGPALETTE) + colors.size() * sizeof(PALETTEENTRY));
    LOGPALETTE* pLog = reinterpret_cast<LOGPALETTE*>(buffer.data());
    pLog->palVersion = 0x300;
    pLog->palNumEntries = static_cast<WORD>(colors.size());
    for (size_t i = 0; i < colors.size(); ++i)
        pLog->palPalEntry[i] = PALETTEENTRY{GetRValue(colors[i]), GetGValue(colors[i]), GetBValue(colors[i]), 0};
    return CGdiHandle<HPALETTE>(CreatePalette(pLog));
}
} // namespace

TEST(ImagePixels, ReadsAndWritesIndexesInEveryLayout)
{
    CImageCP four(5, 2, 4);
    four.SetTransparentIndex(2);
    four.GetBits()[0] = 0xAB;
    CImageCP one(9, 2, 1);
    one.GetBits()[0] = 0x80;
    CImageCP rgb(3, 2, 24);
    struct IndexCase
    {
        const CImageCP& image;
        int x, y;
        BYTE want;
        const char* why;
    };
    const IndexCase kCases[] = {
        {four, 0, 0, 0xA, "even pixel: high nibble"},
        {four, 1, 0, 0xB, "odd pixel: low nibble"},
        {four, 5, 0, 2, "outside: the transparent index"},
        {four, 0, -1, 2, "below the image"},
        {one, 0, 0, 1, "bit 7 is the first pixel"},
        {one, 1, 0, 0, "bit 6"},
        {one, 9, 1, 0, "outside without a transparent index"},
        {rgb, 0, 0, 0, "24-bit images have no index"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.image.GetPixelIndex(c.x, c.y), c.want) << c.why;

    four.SetPixelIndex(3, 0, 0x1F); // only the low nibble fits: the neighbour (2, 0) keeps its 0
    EXPECT_EQ(four.GetBits()[1], 0x0F);
    four.SetPixelIndex(2, 0, 0x1F);
    EXPECT_EQ(four.GetBits()[1], 0xFF);
    four.SetPixelIndex(3, 1, 0x07);
    EXPECT_EQ(four.GetPixelIndex(3, 1), 7);
    EXPECT_EQ(four.GetPixelIndex(2, 1), 0);
    one.SetPixelIndex(1, 0, 3);
    one.SetPixelIndex(0, 0, 0);
    EXPECT_EQ(one.GetBits()[0], 0x40);
    one.SetPixelIndex(9, 0, 1); // outside: nothing
    EXPECT_EQ(one.GetBits()[1], 0);
    CImageCP eight(3, 1, 8);
    eight.SetPixelIndex(2, 0, 200);
    EXPECT_EQ(eight.GetBits()[2], 200);
}

TEST(ImagePixels, ColorsComeFromThePaletteOrThePixel)
{
    CImageCP gray(4, 4, 8);
    gray.SetGrayPalette();
    gray.SetPixelColor(1, 1, 0x000A0A0C); // (10, 10, 12) is nearer grey 11 than grey 10
    EXPECT_EQ(gray.GetPixelIndex(1, 1), 11);
    gray.SetPixelColorRef(2, 1, RGB(10, 10, 10));
    EXPECT_EQ(gray.GetPixelIndex(2, 1), 10);
    EXPECT_EQ(ToColorRef(gray.GetPixelColor(2, 1)), RGB(10, 10, 10));
    EXPECT_EQ(ToColorRef(gray.GetPixelColor(9, 9)), 0u) << "outside, no transparent index";
    gray.SetTransparentIndex(2);
    EXPECT_EQ(ToColorRef(gray.GetPixelColor(9, 9)), RGB(2, 2, 2)) << "outside: the transparent entry";

    CImageCP rgb(3, 2, 24);
    rgb.SetPixelColorRef(2, 1, RGB(1, 2, 3));
    const BYTE* p = rgb.GetBits() + 12 + 6;
    EXPECT_EQ(p[0], 3) << "blue first";
    EXPECT_EQ(p[2], 1);
    EXPECT_EQ(ToColorRef(rgb.GetPixelColor(2, 1)), RGB(1, 2, 3));
    rgb.SetPixelColorRef(3, 1, RGB(9, 9, 9)); // outside: nothing (the padding stays zero)
    EXPECT_EQ(rgb.GetBits()[12 + 9], 0);
}

TEST(ImagePalette, SetsFindsAndBlendsEntries)
{
    CImageCP image(2, 2, 4);
    const BYTE red[3] = {10, 20, 30}, green[3] = {40, 50, 60};
    image.SetPalette(3, red, green, nullptr); // blue takes green
    EXPECT_EQ(ToColorRef(image.GetPaletteColor(1)), RGB(20, 50, 50));
    image.SetPalette(1, red, nullptr, nullptr);
    EXPECT_EQ(ToColorRef(image.GetPaletteColor(0)), RGB(10, 10, 10));
    const BYTE triplets[6] = {1, 2, 3, 4, 5, 6};
    image.SetPalette(2, triplets);
    EXPECT_EQ(ToColorRef(image.GetPaletteColor(1)), RGB(4, 5, 6));
    std::vector<RGBQUAD> many(300, RGBQUAD{7, 8, 9, 0});
    image.SetPalette(many.data(), 300); // only the 16 entries there are
    EXPECT_EQ(ToColorRef(image.GetPaletteColor(15)), RGB(9, 8, 7));
    EXPECT_EQ(ToColorRef(image.GetPaletteColor(16)), 0u);
    EXPECT_EQ(ToColorRef(image.GetPaletteColor(-1)), 0u);

    EXPECT_TRUE(image.SetPaletteColor(3, RGB(100, 0, 0)));
    EXPECT_TRUE(image.SetPaletteColor(4, 0, 0, 200));
    EXPECT_TRUE(image.SetPaletteEntry(5, 0xFF00FF00)); // the fourth byte is not kept
    EXPECT_EQ(image.GetPalette()[5].rgbReserved, 0);
    EXPECT_EQ(ToColorRef(image.GetPaletteColor(5)), RGB(0, 255, 0));
    EXPECT_FALSE(image.SetPaletteColor(16, RGB(1, 1, 1)));
    BYTE r = 0, g = 0, b = 0;
    EXPECT_TRUE(image.GetPaletteColor(4, r, g, b));
    EXPECT_EQ(b, 200);
    EXPECT_FALSE(image.GetPaletteColor(16, r, g, b));
    EXPECT_EQ(image.FindPaletteIndex(RGB(9, 8, 7)), 0) << "the first equal entry";
    EXPECT_EQ(image.FindPaletteIndex(RGB(0, 0, 200)), 4);
    EXPECT_EQ(image.FindPaletteIndex(RGB(1, 1, 1)), -1);
    EXPECT_EQ(image.GetNearestIndex(0x00090806), 0) << "(9, 8, 7) in entries 0 to 2 and 6 to 15: the earliest";
    EXPECT_EQ(image.GetNearestIndex(0x000000FA), 4) << "blue 250 is nearest to (0, 0, 200)";
    EXPECT_TRUE(image.SetTransparentColor(RGB(0, 255, 0)));
    EXPECT_EQ(image.GetTransparentIndex(), 5);
    EXPECT_FALSE(image.SetTransparentColor(RGB(1, 1, 1)));

    image.SetGrayPalette();
    EXPECT_EQ(ToColorRef(image.GetPaletteColor(15)), RGB(240, 240, 240));
    CImageCP two(1, 1, 1);
    two.SetGrayPalette();
    EXPECT_EQ(ToColorRef(two.GetPaletteColor(1)), RGB(128, 128, 128));

    EXPECT_EQ(two.BlendPalette(RGB(255, 0, 100), 150), 2) << "clamped to 100";
    EXPECT_EQ(ToColorRef(two.GetPaletteColor(1)), RGB(255, 0, 100));
    two.SetGrayPalette();
    two.BlendPalette(RGB(255, 0, 100), -10);
    EXPECT_EQ(ToColorRef(two.GetPaletteColor(1)), RGB(128, 128, 128)) << "clamped to 0";
    two.BlendPalette(RGB(255, 0, 100), 50);
    EXPECT_EQ(ToColorRef(two.GetPaletteColor(1)), RGB(191, 64, 114));

    CImageCP rgb(1, 1, 24);
    EXPECT_EQ(rgb.FindPaletteIndex(0), -1);
    EXPECT_EQ(rgb.GetNearestIndex(0), 0);
    EXPECT_EQ(rgb.BlendPalette(0, 50), 0);
    EXPECT_FALSE(rgb.SetTransparentColor(0));
}

TEST(ImageWhole, FlipAndMirrorAreTheirOwnInverse)
{
    for (int bits : {1, 4, 8, 24})
    {
        SCOPED_TRACE(bits);
        CImageCP image(13, 4, bits);
        DrawPattern(image, bits == 24 ? 0 : 1 << bits);
        const auto start = Rows(image);
        ASSERT_TRUE(image.Flip());
        EXPECT_EQ(image.GetPixelColor(3, 0).rgbRed, CImageCP(image).GetPixelColor(3, 0).rgbRed);
        EXPECT_NE(Rows(image), start);
        ASSERT_TRUE(image.Flip());
        EXPECT_EQ(Rows(image), start);
        ASSERT_TRUE(image.Mirror());
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(ToColorRef(image.GetPixelColor(x, 3)),
                      Expected(bits == 24 ? Pattern::Rgb : Pattern::Indexed, 12 - x, 0, bits == 24 ? 1 : 1 << bits))
                << x;
        ASSERT_TRUE(image.Mirror());
        EXPECT_EQ(Rows(image), start);
    }
    CImageCP three(3, 1, 8); // one mirror: a double one would hide a row reversed with its padding
    memcpy(three.GetBits(), "abc", 3);
    three.Mirror();
    EXPECT_EQ(memcmp(three.GetBits(), "cba\0", 4), 0);
    CImageCP empty;
    EXPECT_FALSE(empty.Flip());
    EXPECT_FALSE(empty.Mirror());
    EXPECT_FALSE(empty.Rotate(90));
}

TEST(ImageWhole, RotateByNinetyMovesEachPixelOnce)
{
    for (int bits : {8, 24})
    {
        SCOPED_TRACE(bits);
        CImageCP image(5, 3, bits);
        image.SetGrayPalette();
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                bits == 8 ? image.SetPixelIndex(x, y, static_cast<BYTE>(1 + y * 5 + x))
                          : image.SetPixelColorRef(x, y, RGB(1 + y * 5 + x, x, y));
        image.SetTransparentIndex(0);
        ASSERT_TRUE(image.Rotate(90));
        ASSERT_EQ(image.GetWidth(), 3);
        ASSERT_EQ(image.GetHeight(), 5);
        EXPECT_EQ(image.GetTransparentIndex(), 0);
        std::multiset<int> seen;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 3; ++x)
                seen.insert(bits == 8 ? image.GetPixelIndex(x, y) : image.GetPixelColor(x, y).rgbRed);
        for (int v = 1; v <= 15; ++v)
            EXPECT_EQ(seen.count(v), 1u) << v;
        // A quarter turn clockwise on the screen: the bottom-left pixel goes to the top left, the
        // bottom-right one to the bottom left.
        EXPECT_EQ(bits == 8 ? image.GetPixelIndex(0, 4) : image.GetPixelColor(0, 4).rgbRed, 1);
        EXPECT_EQ(bits == 8 ? image.GetPixelIndex(0, 0) : image.GetPixelColor(0, 0).rgbRed, 5);
    }
}

TEST(ImageWhole, ColorOperationsReachEveryPixel)
{
    CImageCP rgb(5, 2, 24);
    rgb.SetPixelColorRef(4, 1, RGB(255, 0, 0)); // the last pixel of a row
    rgb.SetPixelColorRef(0, 0, RGB(255, 255, 255));
    rgb.SetPixelColorRef(1, 0, RGB(1, 2, 3));
    ASSERT_TRUE(rgb.ExchangeColors(CLR_INVALID, CLR_INVALID));
    EXPECT_EQ(ToColorRef(rgb.GetPixelColor(0, 0)), RGB(0, 0, 0));
    EXPECT_EQ(ToColorRef(rgb.GetPixelColor(2, 0)), RGB(255, 255, 255)) << "black became white";
    EXPECT_EQ(ToColorRef(rgb.GetPixelColor(1, 0)), RGB(1, 2, 3));
    ASSERT_TRUE(rgb.GrayScale());
    EXPECT_EQ(ToColorRef(rgb.GetPixelColor(4, 1)), RGB(76, 76, 76));
    EXPECT_EQ(rgb.GetBits()[15], 0) << "the padding is no pixel";
    ASSERT_TRUE(rgb.Negative());
    EXPECT_EQ(ToColorRef(rgb.GetPixelColor(4, 1)), RGB(179, 179, 179));

    CImageCP pal(2, 2, 1);
    pal.SetPaletteColor(1, RGB(255, 0, 0));
    ASSERT_TRUE(pal.GrayScale());
    EXPECT_EQ(ToColorRef(pal.GetPaletteColor(1)), RGB(76, 76, 76));
    ASSERT_TRUE(pal.Negative());
    EXPECT_EQ(ToColorRef(pal.GetPaletteColor(0)), RGB(255, 255, 255));
    pal.Clear(0xFF);
    EXPECT_EQ(pal.GetPixelIndex(1, 1), 1);

    BYTE buffer[7] = {1, 2, 3, 4, 5, 6, 7};
    CImageCP::SwapRedBlue(buffer, 7);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + 7), (std::vector<BYTE>{3, 2, 1, 6, 5, 4, 7}));
    const RGBQUAD q = CImageCP::ColorRefToRgbQuad(RGB(1, 2, 3));
    EXPECT_EQ(q.rgbBlue, 3);
    EXPECT_EQ(q.rgbRed, 1);
    EXPECT_EQ(CImageCP::SwapColorOrder(0x00123456), 0x00563412u);
}

TEST(ImageColors, HlsAgreesWithShlwapiEverywhere)
{
    BYTE l, s, h;
    CImageCP::RgbToHls(0x00FFFFFF, l, s, h);
    EXPECT_EQ(std::vector<int>({l, s, h}), (std::vector<int>{240, 0, 160}));
    CImageCP::RgbToHls(0x00FF0000, l, s, h);
    EXPECT_EQ(std::vector<int>({l, s, h}), (std::vector<int>{120, 240, 0}));
    EXPECT_EQ(ToColorRef(CImageCP::HlsToRgb(120, 240, 0)), RGB(255, 0, 0));
    EXPECT_EQ(ToColorRef(CImageCP::HlsToRgbSwapped(160, 0, 240)), RGB(255, 255, 255));

    int nDifferent = 0;
    for (DWORD c = 0; c < 0x1000000 && nDifferent < 5; ++c)
    {
        WORD wh, wl, ws;
        ColorRGBToHLS(CImageCP::SwapColorOrder(c), &wh, &wl, &ws);
        CImageCP::RgbToHls(c, l, s, h);
        if (l != wl || s != ws || h != wh)
        {
            ADD_FAILURE() << std::hex << c << std::dec << ": " << +l << ' ' << +s << ' ' << +h << ", shlwapi " << wl
                          << ' ' << ws << ' ' << wh;
            ++nDifferent;
        }
    }
    for (int hl = 0; hl <= 240 * 241 * 241 && nDifferent < 5; ++hl)
    {
        const WORD wh = static_cast<WORD>(hl % 241), wl = static_cast<WORD>(hl / 241 % 241),
                   ws = static_cast<WORD>(hl / 241 / 241);
        const COLORREF want = ColorHLSToRGB(wh, wl, ws);
        const COLORREF got =
            ToColorRef(CImageCP::HlsToRgb(static_cast<BYTE>(wl), static_cast<BYTE>(ws), static_cast<BYTE>(wh)));
        if (got != want)
        {
            ADD_FAILURE() << "H " << wh << " L " << wl << " S " << ws << ": " << std::hex << got << ", shlwapi "
                          << want;
            ++nDifferent;
        }
    }
}

TEST(ImageColors, RemapsPackedDibsToALogicalPalette)
{
    const auto palette = MakePalette({RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)});
    ASSERT_TRUE(palette.IsValid());
    struct RemapCase
    {
        int bits;
        DWORD compression;
        std::vector<BYTE> rows, want;
        const char* why;
    };
    // Old table: entry i is red 250 for odd i, green 250 for even i (entry 0 black).
    const RemapCase kCases[] = {
        {8, BI_RGB, {0, 1, 2, 3}, {0, 1, 2, 1}, "8 bits, byte by byte"},
        {4, BI_RGB, {0x01, 0x23, 0, 0}, {0x01, 0x21, 0, 0}, "4 bits, nibble by nibble"},
        {8,
         BI_RLE8,
         {2, 3, 0, 0, 0, 2, 1, 1, 0, 3, 1, 2, 3, 0, 2, 2, 0, 1, 2, 3},
         {2, 1, 0, 0, 0, 2, 1, 1, 0, 3, 1, 2, 1, 0, 2, 2, 0, 1, 2, 3},
         "runs, end of line, delta, an odd absolute run with its pad, end of picture; then nothing"},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.why);
        const DWORD nOld = 1u << c.bits;
        std::vector<BYTE> dib(40 + 4 * nOld);
        BITMAPINFOHEADER header{40, 4, 1, 1, static_cast<WORD>(c.bits), c.compression, 0, 0, 0, 0, 0};
        memcpy(dib.data(), &header, 40);
        for (DWORD i = 1; i < nOld; ++i)
            reinterpret_cast<RGBQUAD*>(dib.data() + 40)[i] = i & 1 ? RGBQUAD{0, 0, 250, 0} : RGBQUAD{0, 250, 0, 0};
        dib.insert(dib.end(), c.rows.begin(), c.rows.end());
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, dib.size());
        memcpy(GlobalLock(h), dib.data(), dib.size());
        GlobalUnlock(h);
        ASSERT_TRUE(CImageCP::RemapToPalette(h, palette));
        ASSERT_EQ(GlobalSize(h), 40u + 16 + c.rows.size()) << "the table now has the palette's 4 entries";
        const BYTE* p = static_cast<const BYTE*>(GlobalLock(h));
        EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(p)->biClrUsed, 4u);
        EXPECT_EQ(ToColorRef(reinterpret_cast<const RGBQUAD*>(p + 40)[3]), RGB(0, 0, 255));
        EXPECT_EQ(std::vector<BYTE>(p + 56, p + 56 + c.rows.size()), c.want);
        GlobalUnlock(h);
        GlobalFree(h);
    }
    std::vector<COLORREF> many(17, RGB(1, 2, 3));
    const auto tooLarge = MakePalette(many);
    std::vector<BYTE> four(40 + 64 + 4);
    BITMAPINFOHEADER header{40, 4, 1, 1, 4, BI_RGB, 0, 0, 0, 0, 0};
    memcpy(four.data(), &header, 40);
    std::vector<BYTE> result{9};
    EXPECT_FALSE(CImageCP::RemapToPalette(four.data(), four.size(), tooLarge, result)) << "17 entries for 4 bits";
    EXPECT_EQ(result, std::vector<BYTE>{9}) << "unchanged";
    EXPECT_FALSE(CImageCP::RemapToPalette(nullptr, 0, palette, result));
    EXPECT_FALSE(CImageCP::RemapToPalette(four.data(), four.size(), nullptr, result));
    HGLOBAL hNone = nullptr;
    EXPECT_FALSE(CImageCP::RemapToPalette(hNone, palette));
}
