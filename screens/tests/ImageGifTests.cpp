// GIF files: the crafted files of codec_fixtures.py, and files we write, checked here and by the host.
#include "screens/CImageGIF.h"
#include "screens/tests/ImageCodecSupport.h"
#include <thread>

using namespace ImageTest;

namespace
{
constexpr int kGIF = CImageCP::typeGIF;

const CodecCase kGifCases[] = {
    {L"plain.gif", true, 13, 10, 8, Pattern::Indexed, 256, "", "256 colours"},
    {L"p16.gif", true, 13, 10, 8, Pattern::Indexed, 16, "", "GIF87a, 16 colours"},
    {L"gce.gif", true, 13, 10, 8, Pattern::Indexed, 16, "", "graphic control: transparent 3, delay 10"},
    {L"gce_noflag.gif", true, 13, 10, 8, Pattern::Indexed, 16, "", "no transparent flag: the delay alone"},
    {L"interlaced10.gif", true, 13, 10, 8, Pattern::Indexed, 256, "", "interlaced: rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9"},
    {L"interlaced4.gif", true, 13, 4, 8, Pattern::Indexed, 256, "", "interlaced: rows 0, 2, 1, 3"},
    {L"two_images.gif", true, 13, 10, 8, Pattern::Indexed, 256, "", "the first of two images"},
    {L"local.gif", true, 13, 10, 8, Pattern::Indexed, 256, "", "the local table, not the grey global one"},
    {L"comment.gif", true, 13, 10, 8, Pattern::Indexed, 256, "", "another extension's blocks are passed over"},
    {L"code_size1.gif", true, 13, 10, 8, Pattern::None, 0, "", "code size 1: no data decoded"},
    {L"code_size10.gif", true, 13, 10, 8, Pattern::None, 0, "", "code size 10: no data decoded"},
    {L"self_naming.gif", true, 64, 64, 8, Pattern::None, 0, "", "a code that names itself stops at the stack"},
    {L"overlong.gif", true, 4, 2, 8, Pattern::Indexed, 256, "", "data past the last row are dropped"},
    {L"broken_gce.gif", false, 0, 0, 0, Pattern::None, 0, "No image in GIF file", "a control block of size 5 ends it"},
    {L"no_image.gif", false, 0, 0, 0, Pattern::None, 0, "No image in GIF file", "no image descriptor"},
    {L"bomb.gif", false, 0, 0, 0, Pattern::None, 0, "Image too large", "65535 x 65535 in a few KB"},
    {L"zero.gif", false, 0, 0, 0, Pattern::None, 0, "Invalid image size", "width 0"},
    {L"short.gif", false, 0, 0, 0, Pattern::None, 0, "", "shorter than the header"},
    {L"notgif.gif", false, 0, 0, 0, Pattern::None, 0, "", "not a GIF signature"},
};

CImageCP NoiseImage(int w, int h)
{
    CImageCP image(w, h, 8);
    DrawPattern(image, 256);
    uint32_t n = 46;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            n = n * 1664525u + 1013904223u;
            image.SetPixelIndex(x, y, static_cast<BYTE>(n >> 24));
        }
    return image;
}
} // namespace

TEST(ImageGif, ReadsTheTableOfCases)
{
    ReadCases(kGifCases, kGIF);
}

TEST(ImageGif, ReadsTheGraphicControlBlock)
{
    struct ControlCase
    {
        const wchar_t* file;
        int transparent, delay;
    };
    for (const ControlCase& c :
         {ControlCase{L"plain.gif", -1, 0}, ControlCase{L"gce.gif", 3, 10}, ControlCase{L"gce_noflag.gif", -1, 10}})
    {
        CImageCP image;
        ASSERT_TRUE(image.Open(MadePath(c.file).c_str(), kGIF));
        EXPECT_EQ(image.GetTransparentIndex(), c.transparent);
        EXPECT_EQ(image.GetFrameDelay(), c.delay);
        EXPECT_EQ(image.GetColorsUsed(), 256) << "an 8-bit image, whatever the file's table";
    }
}

TEST(ImageGif, TransparentFilesGetWhiteEntries)
{
    CImageCP four;
    ASSERT_TRUE(four.Open(MadePath(L"t4.gif").c_str(), kGIF));
    EXPECT_EQ(four.GetTransparentIndex(), 1);
    EXPECT_EQ(four.GetColorsUsed(), 256);
    EXPECT_EQ(ToColorRef(four.GetPaletteColor(3)), PaletteColor(3));
    for (int i : {4, 100, 255})
        EXPECT_EQ(ToColorRef(four.GetPaletteColor(i)), RGB(255, 255, 255)) << i;
    EXPECT_EQ(FirstDifference(four, Pattern::Indexed, 4), "");

    CImageCP full;
    ASSERT_TRUE(full.Open(MadePath(L"t256.gif").c_str(), kGIF));
    EXPECT_EQ(full.GetTransparentIndex(), 7);
    EXPECT_EQ(ToColorRef(full.GetPaletteColor(255)), RGB(255, 255, 255)) << "no white in the file: entry 255";
    EXPECT_EQ(ToColorRef(full.GetPaletteColor(254)), PaletteColor(254));
}

TEST(ImageGif, UndecodableDataLeaveTheRowsZero)
{
    for (const wchar_t* name : {L"code_size1.gif", L"code_size10.gif"})
    {
        CImageCP image;
        ASSERT_TRUE(image.Open(MadePath(name).c_str(), kGIF));
        const Bytes zeros(image.GetHeader().biSizeImage, 0);
        EXPECT_EQ(memcmp(image.GetBits(), zeros.data(), zeros.size()), 0);
    }
}

TEST(ImageGif, WritesTheHeadersOfEachDepth)
{
    struct DepthCase
    {
        int bits;
        BYTE packed;
        int entries;
        BYTE codeSize;
    };
    for (const DepthCase& c : {DepthCase{1, 0x80, 2, 2}, DepthCase{4, 0xB3, 16, 4}, DepthCase{8, 0xF7, 256, 8}})
    {
        SCOPED_TRACE(c.bits);
        CImageCP image(13, 10, c.bits);
        DrawPattern(image, c.entries);
        const std::wstring name = L"depth" + std::to_wstring(c.bits) + L".gif";
        ASSERT_TRUE(image.Save(WrittenPath(name.c_str()).c_str(), kGIF));
        const Bytes bytes = ReadWritten(name.c_str());
        ASSERT_GT(bytes.size(), 13u + 3 * c.entries + 8 + 10 + 1);
        EXPECT_EQ(memcmp(bytes.data(), "GIF87a", 6), 0);
        EXPECT_EQ(bytes[10], c.packed);
        const size_t at = 13 + 3 * c.entries;
        const BYTE kControl[] = {0x21, 0xF9, 0x04, 0, 0, 0, 255, 0};
        EXPECT_EQ(memcmp(&bytes[at], kControl, 8), 0) << "a graphic control block always";
        EXPECT_EQ(bytes[at + 8], 0x2C);
        EXPECT_EQ(bytes[at + 18], c.codeSize);
        EXPECT_EQ(bytes.back(), 0x3B);
        CImageCP back;
        ASSERT_TRUE(back.Open(WrittenPath(name.c_str()).c_str(), kGIF));
        EXPECT_EQ(FirstDifference(back, Pattern::Indexed, c.entries), "");
        Manifest().Add(name, "pal", 13, 10, c.entries);
    }
    Manifest().Check("gif-first-clear", L"depth1.gif");
    Manifest().Check("gif-first-clear", L"depth8.gif");
}

TEST(ImageGif, RoundTripsPixelsPaletteTransparencyAndDelay)
{
    CImageCP image(40, 30, 8);
    DrawPattern(image, 256);
    image.SetPaletteColor(200, RGB(255, 255, 255));
    image.SetTransparentIndex(9);
    image.SetFrameDelay(250);
    ASSERT_TRUE(image.Save(WrittenPath(L"transparent.gif").c_str(), kGIF));
    CImageCP back;
    ASSERT_TRUE(back.Open(WrittenPath(L"transparent.gif").c_str(), kGIF));
    EXPECT_EQ(back.GetTransparentIndex(), 9);
    EXPECT_EQ(back.GetFrameDelay(), 250);
    ASSERT_EQ(back.GetColorsUsed(), 256);
    EXPECT_EQ(memcmp(back.GetPalette(), image.GetPalette(), 1024), 0);
    EXPECT_EQ(memcmp(back.GetBits(), image.GetBits(), image.GetHeader().biSizeImage), 0);
}

TEST(ImageGif, NoiseNeedsFurtherClearCodes)
{
    const CImageCP noise = NoiseImage(512, 512);
    CImageCP copy(noise);
    ASSERT_TRUE(copy.Save(WrittenPath(L"noise.gif").c_str(), kGIF));
    CImageCP back;
    ASSERT_TRUE(back.Open(WrittenPath(L"noise.gif").c_str(), kGIF));
    EXPECT_EQ(memcmp(back.GetBits(), noise.GetBits(), noise.GetHeader().biSizeImage), 0);
    Manifest().Check("gif-clear-codes", L"noise.gif");
    Manifest().Check("gif-noise-pixels", L"noise.gif");
}

TEST(ImageGif, TwoWritersAtOnceWriteTheSameBytes)
{
    const CImageCP noise = NoiseImage(300, 200);
    CImageCP alone(noise);
    ASSERT_TRUE(alone.Save(WrittenPath(L"alone.gif").c_str(), kGIF));
    BOOL ok[2] = {};
    std::thread first([&] {
        CImageCP image(noise);
        ok[0] = image.Save(WrittenPath(L"first.gif").c_str(), kGIF);
    });
    std::thread second([&] {
        CImageCP image(noise);
        ok[1] = image.Save(WrittenPath(L"second.gif").c_str(), kGIF);
    });
    first.join();
    second.join();
    ASSERT_TRUE(ok[0] && ok[1]);
    const Bytes expected = ReadWritten(L"alone.gif");
    EXPECT_EQ(ReadWritten(L"first.gif"), expected);
    EXPECT_EQ(ReadWritten(L"second.gif"), expected);
}

TEST(ImageGif, WriterFailures)
{
    CImageCP rgb(4, 4, 24);
    EXPECT_FALSE(rgb.Save(WrittenPath(L"rgb.gif").c_str(), kGIF));
    EXPECT_STREQ(rgb.GetErrorText(), "GIF Images must be 8 bit or less");
    CImageGIF gif;
    gif.Create(4, 4, 8);
    EXPECT_FALSE(gif.Write(nullptr));
    EXPECT_STREQ(gif.GetErrorText(), "Can't open GIF for writing");
    CStdioFileHandle readOnly(_wfopen(MadePath(L"plain.gif").c_str(), L"rb"));
    ASSERT_TRUE(readOnly.IsValid());
    EXPECT_FALSE(gif.Write(readOnly));
    EXPECT_STREQ(gif.GetErrorText(), "Write Error in GIF file");
}
