// JPEG files: Pillow's files (grey, colour, progressive, CMYK, cut, a bomb), memory blocks, and
// files we write, checked by the host against cjpeg's tables and with djpeg.
#include "screens/CImageJPEG.h"
#include "screens/tests/ImageCodecSupport.h"
#include <cstdlib>

using namespace ImageTest;

namespace
{
constexpr int kJPEG = CImageCP::typeJPEG;

// JPEG is lossy: solid colours come back within a few steps.
void ExpectNear(const RGBQUAD& got, COLORREF want)
{
    EXPECT_LE(std::abs(got.rgbRed - GetRValue(want)), 3);
    EXPECT_LE(std::abs(got.rgbGreen - GetGValue(want)), 3);
    EXPECT_LE(std::abs(got.rgbBlue - GetBValue(want)), 3);
}

HGLOBAL BlockOf(const Bytes& bytes)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (h && !bytes.empty())
    {
        memcpy(GlobalLock(h), bytes.data(), bytes.size());
        GlobalUnlock(h);
    }
    return h;
}
} // namespace

TEST(ImageJpeg, ReadsGreyAndColourFiles)
{
    CImageCP grey;
    ASSERT_TRUE(grey.Open(MadePath(L"grey.jpg").c_str(), kJPEG));
    EXPECT_EQ(grey.GetBitCount(), 8);
    EXPECT_EQ(grey.GetWidth(), 24);
    for (int i : {0, 77, 255})
        EXPECT_EQ(ToColorRef(grey.GetPaletteColor(i)), RGB(i, i, i));
    ExpectNear(grey.GetPixelColor(5, 5), RGB(77, 77, 77));

    for (const wchar_t* name : {L"colour.jpg", L"progressive.jpg"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        CImageCP colour;
        ASSERT_TRUE(colour.Open(MadePath(name).c_str(), kJPEG));
        EXPECT_EQ(colour.GetBitCount(), 24);
        const BYTE* p = colour.GetBits();
        ExpectNear(RGBQUAD{p[0], p[1], p[2], 0}, RGB(200, 100, 30)); // blue, green, red in the row
        ExpectNear(colour.GetPixelColor(colour.GetWidth() - 1, colour.GetHeight() - 1), RGB(200, 100, 30));
    }
}

TEST(ImageJpeg, RefusesWhatItCannotHold)
{
    struct RefusedCase
    {
        const wchar_t* file;
        const char* error;
        const char* why;
    };
    for (const RefusedCase& c : {RefusedCase{L"cmyk.jpg", "earlier text", "CMYK: four bytes a pixel"},
                                 RefusedCase{L"empty.jpg", "earlier text", "an empty file"},
                                 RefusedCase{L"bomb.jpg", "Image too large", "progressive 65500 x 65500"}})
    {
        SCOPED_TRACE(c.why);
        CGuardedBlocks blocks;
        CImageCP image;
        MakeEarlier(image);
        const int nBefore = blocks.Allocations();
        const ULONGLONG nStart = GetTickCount64();
        EXPECT_FALSE(image.Open(MadePath(c.file).c_str(), kJPEG));
        EXPECT_LT(GetTickCount64() - nStart, 1000u);
        EXPECT_STREQ(image.GetErrorText(), *c.error == 'e' ? "" : c.error) << "the reader's own text";
        EXPECT_EQ(image.GetWidth(), 3) << "the earlier picture stays";
        EXPECT_EQ(blocks.Allocations() - nBefore, 0) << "nothing of the picture's size allocated";
    }
}

TEST(ImageJpeg, ACutFileStillReadsAtFullSize)
{
    CImageCP whole, cut;
    ASSERT_TRUE(whole.Open(MadePath(L"gradient.jpg").c_str(), kJPEG));
    ASSERT_TRUE(cut.Open(MadePath(L"cut.jpg").c_str(), kJPEG));
    EXPECT_EQ(cut.GetWidth(), 128);
    EXPECT_EQ(cut.GetHeight(), 128);
    const int eff = whole.GetEffWidth();
    EXPECT_EQ(memcmp(cut.GetBits() + 127 * eff, whole.GetBits() + 127 * eff, eff), 0) << "the top row is in the file";
}

TEST(ImageJpeg, MemoryBlocksReadLikeFiles)
{
    for (const wchar_t* name : {L"colour.jpg", L"grey.jpg", L"progressive.jpg", L"cut.jpg"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        CImageCP fromFile;
        ASSERT_TRUE(fromFile.Open(MadePath(name).c_str(), kJPEG));
        HGLOBAL h = BlockOf(ReadMade(name));
        ASSERT_NE(h, nullptr);
        CImageCP fromMemory(h, kJPEG);
        GlobalFree(h);
        ASSERT_TRUE(fromMemory.IsValid());
        ASSERT_EQ(fromMemory.GetSize(), fromFile.GetSize());
        EXPECT_EQ(memcmp(fromMemory.GetDib(), fromFile.GetDib(), fromFile.GetSize()), 0);
    }
    HGLOBAL hEmpty = GlobalAlloc(GMEM_MOVEABLE, 0);
    CImageCP image;
    MakeEarlier(image);
    EXPECT_FALSE(image.ReadMemory(hEmpty, kJPEG)) << "an empty block";
    EXPECT_EQ(image.GetWidth(), 3);
    GlobalFree(hEmpty);
}

TEST(ImageJpeg, WritesColourAtTheImagesQuality)
{
    CImageCP palette(40, 24, 8);
    DrawPattern(palette, 256);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x)
            palette.SetPixelIndex(x, y, 5); // one colour: JPEG keeps it within a few steps
    ASSERT_EQ(palette.GetJpegQuality(), 75);
    ASSERT_TRUE(palette.Save(WrittenPath(L"q75.jpg").c_str(), kJPEG));
    CImageCP back;
    ASSERT_TRUE(back.Open(WrittenPath(L"q75.jpg").c_str(), kJPEG));
    EXPECT_EQ(back.GetBitCount(), 24) << "a colour JPEG of the palette colours";
    ExpectNear(back.GetPixelColor(3, 3), PaletteColor(5));
    Manifest().Check("jpeg-tables-75", L"q75.jpg");

    CImageCP rgb(40, 24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x)
            rgb.SetPixelColorRef(x, y, RGB(200, 100, 30));
    rgb.SetJpegQuality(90);
    ASSERT_TRUE(rgb.Save(WrittenPath(L"q90.jpg").c_str(), kJPEG));
    ASSERT_TRUE(back.Open(WrittenPath(L"q90.jpg").c_str(), kJPEG));
    ExpectNear(back.GetPixelColor(0, 0), RGB(200, 100, 30));
    Manifest().Check("jpeg-tables-90", L"q90.jpg");
}

TEST(ImageJpeg, AWriteErrorGivesFalse)
{
    CImageCP image(64, 64, 24);
    CStdioFileHandle readOnly(_wfopen(MadePath(L"colour.jpg").c_str(), L"rb"));
    ASSERT_TRUE(readOnly.IsValid());
    EXPECT_FALSE(image.WriteFile(readOnly, kJPEG)) << "a stream opened \"rb\"";
}
