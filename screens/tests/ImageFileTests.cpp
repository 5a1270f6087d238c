// BMP and ICO files: the fixture script's files read through the dispatch, from streams and from
// memory; what we write is read back here and by Pillow (image_fixtures.py verify).
#include "screens/CImageBMP.h"
#include "screens/CImageIcon.h"
#include "screens/tests/ImageTestSupport.h"
#include <cstdio>
#include <sstream>

using namespace ImageTest;

namespace
{
struct FileCase
{
    const wchar_t* file;
    int type;
    bool ok;
    int w, h, bits;
    Pattern pattern;
    int n;
    const char* error;
    const char* why;
};
constexpr int kBMP = CImageCP::typeBMP, kICO = CImageCP::typeIcon;
const FileCase kFileCases[] = {
    {L"p1.bmp", kBMP, true, 33, 5, 1, Pattern::Indexed, 2, "", "1 bit, 33 pixels: 8 bytes a row"},
    {L"p4.bmp", kBMP, true, 13, 7, 4, Pattern::Indexed, 16, "", "4 bits"},
    {L"p8.bmp", kBMP, true, 13, 7, 8, Pattern::Indexed, 256, "", "8 bits with its 256 colours"},
    {L"rgb24.bmp", kBMP, true, 13, 7, 24, Pattern::Rgb, 0, "", "24 bits"},
    {L"p8_bare.dib", kBMP, true, 13, 7, 8, Pattern::Indexed, 256, "", "no file header: a bare DIB"},
    {L"p8_core.bmp", kBMP, true, 13, 7, 8, Pattern::Indexed, 256, "", "a 12-byte core header"},
    {L"p8_core_bare.dib", kBMP, true, 13, 7, 8, Pattern::Indexed, 256, "", "a bare DIB with a core header"},
    {L"tiny_core.bmp", kBMP, true, 1, 1, 1, Pattern::Indexed, 2, "", "36 bytes: shorter than a 40-byte header"},
    {L"p8_zero_size.bmp", kBMP, true, 13, 7, 8, Pattern::Indexed, 256, "", "image size 0 still reads its rows"},
    {L"p8_v5.bmp", kBMP, true, 13, 7, 8, Pattern::Indexed, 256, "", "V5 header: the table follows all of it"},
    {L"p8_topdown.bmp", kBMP, true, 13, 7, 8, Pattern::Indexed, 256, "", "negative height: stored flipped"},
    {L"p8_clr5.bmp", kBMP, true, 13, 7, 8, Pattern::Indexed, 5, "", "5 colours, rows after them, no offset"},
    {L"rgb24_clr3.bmp", kBMP, true, 13, 7, 24, Pattern::Rgb, 0, "", "a 24-bit file's table is passed over"},
    {L"p8_claims_1mb.bmp", kBMP, true, 2, 2, 8, Pattern::Indexed, 256, "", "the image size field is not trusted"},
    {L"p8_truncated.bmp", kBMP, true, 13, 7, 8, Pattern::None, 0, "", "a cut file reads, the tail zero"},
    {L"p8_table_cut.bmp", kBMP, true, 13, 7, 8, Pattern::None, 0, "", "cut inside the colour table"},
    {L"pil_rgb.bmp", kBMP, true, 13, 7, 24, Pattern::Rgb, 0, "", "Pillow's RGB"},
    {L"pil_p.bmp", kBMP, true, 13, 7, 8, Pattern::Indexed, 256, "", "Pillow's P"},
    {L"pil_l.bmp", kBMP, true, 13, 7, 8, Pattern::Gray, 256, "", "Pillow's L"},
    {L"pil_1.bmp", kBMP, true, 33, 5, 1, Pattern::Mono, 2, "", "Pillow's 1"},
    {L"rgb16.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "Unsupported BMP format", "16 bits"},
    {L"rle8.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "Unsupported BMP format", "run-length data"},
    {L"bitfields32.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "Unsupported BMP format", "bit fields"},
    {L"header20.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "Unsupported BMP format", "a 20-byte header"},
    {L"huge.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "Image too large", "2^31-1 x 2 pixels"},
    {L"tall.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "Image too large", "height -2^31"},
    {L"zero_width.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "Invalid image size", "width 0"},
    {L"short.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "", "shorter than the file header"},
    {L"short_header.bmp", kBMP, false, 0, 0, 0, Pattern::None, 0, "", "shorter than the info header"},
    {L"two.ico", kICO, true, 32, 32, 4, Pattern::Indexed, 16, "", "the first of two entries, 16 colours"},
    {L"ico8.ico", kICO, true, 16, 16, 8, Pattern::Indexed, 256, "", "256 colours"},
    {L"ico1.ico", kICO, true, 8, 8, 1, Pattern::Indexed, 2, "", "2 colours"},
    {L"ico_truncated.ico", kICO, true, 16, 16, 8, Pattern::None, 0, "", "cut rows stay zero"},
    {L"ico_png.ico", kICO, false, 0, 0, 0, Pattern::None, 0, "", "a PNG entry is no palette image"},
    {L"ico_32.ico", kICO, false, 0, 0, 0, Pattern::None, 0, "", "a 32-bit entry"},
    {L"ico_cursor.ico", kICO, false, 0, 0, 0, Pattern::None, 0, "", "a cursor directory"},
    {L"ico_empty.ico", kICO, false, 0, 0, 0, Pattern::None, 0, "", "no entries"},
    {L"p8.bmp", 6, false, 0, 0, 0, Pattern::None, 0, "earlier text", "code 6: nothing changes"},
    {L"p8.bmp", CImageCP::typeGIF, false, 0, 0, 0, Pattern::None, 0, "", "not a GIF: false without a text"},
};

void ExpectCase(const FileCase& c, const CImageCP& image, BOOL bOk, int nAllocations)
{
    EXPECT_EQ(!!bOk, c.ok);
    EXPECT_STREQ(image.GetErrorText(), c.error);
    if (!c.ok)
    {
        EXPECT_EQ(image.GetWidth(), 3) << "the earlier picture stays";
        EXPECT_EQ(nAllocations, 0) << "refused before anything was allocated";
        return;
    }
    EXPECT_EQ(image.GetWidth(), c.w);
    EXPECT_EQ(image.GetHeight(), c.h);
    EXPECT_EQ(image.GetBitCount(), c.bits);
    EXPECT_EQ(image.GetTransparentIndex(), -1);
    EXPECT_EQ(image.GetHeader().biSize, 40u);
    if (c.pattern != Pattern::None)
    {
        EXPECT_EQ(FirstDifference(image, c.pattern, c.n), "");
    }
}

// An earlier picture, to see whether a failed read keeps it.
void MakeEarlier(CImageCP& image)
{
    image.Create(3, 3, 8);
    image.SetErrorText("earlier text");
}
} // namespace

TEST(ImageFiles, ReadsTheTableOfCasesFromFiles)
{
    for (const auto& c : kFileCases)
    {
        SCOPED_TRACE(c.why);
        CGuardedBlocks blocks;
        CImageCP image;
        MakeEarlier(image);
        const int nBefore = blocks.Allocations();
        const BOOL bOk = image.Open(MadePath(c.file).c_str(), c.type);
        ExpectCase(c, image, bOk, blocks.Allocations() - nBefore);
        image.Release();
    }
}

TEST(ImageFiles, ReadsTheBmpCasesFromMemoryBlocks)
{
    for (const auto& c : kFileCases)
    {
        if (c.type != kBMP) continue;
        SCOPED_TRACE(c.why);
        const Bytes bytes = ReadMade(c.file);
        HGLOBAL hMemory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        ASSERT_NE(hMemory, nullptr);
        memcpy(GlobalLock(hMemory), bytes.data(), bytes.size());
        GlobalUnlock(hMemory);
        CGuardedBlocks blocks;
        CImageCP image;
        MakeEarlier(image);
        const int nBefore = blocks.Allocations();
        const BOOL bOk = image.ReadMemory(hMemory, c.type);
        ExpectCase(c, image, bOk, blocks.Allocations() - nBefore);
        image.Release();
        GlobalFree(hMemory);
    }
}

TEST(ImageFiles, KeepsTheTailOfCutFilesZero)
{
    CImageCP image;
    ASSERT_TRUE(image.Open(MadePath(L"p8_truncated.bmp").c_str(), kBMP));
    const int eff = image.GetEffWidth();
    EXPECT_EQ(eff, 16);
    CImageCP whole;
    ASSERT_TRUE(whole.Open(MadePath(L"p8.bmp").c_str(), kBMP));
    EXPECT_EQ(memcmp(image.GetBits(), whole.GetBits(), 3 * eff + 5), 0) << "what the file holds is read";
    const Bytes zeros(image.GetHeader().biSizeImage, 0);
    EXPECT_EQ(memcmp(image.GetBits() + 3 * eff + 5, zeros.data(), 4 * eff - 5), 0) << "the rest is zero";

    CImageCP cutTable;
    ASSERT_TRUE(cutTable.Open(MadePath(L"p8_table_cut.bmp").c_str(), kBMP));
    EXPECT_EQ(ToColorRef(cutTable.GetPaletteColor(99)), PaletteColor(99)) << "100 entries are in the file";
    EXPECT_EQ(ToColorRef(cutTable.GetPaletteColor(100)), 0u);
    EXPECT_EQ(memcmp(cutTable.GetBits(), zeros.data(), zeros.size()), 0);

    CImageCP fewColors;
    ASSERT_TRUE(fewColors.Open(MadePath(L"p8_clr5.bmp").c_str(), kBMP));
    EXPECT_EQ(fewColors.GetColorsUsed(), 256);
    EXPECT_EQ(ToColorRef(fewColors.GetPaletteColor(4)), PaletteColor(4));
    EXPECT_EQ(ToColorRef(fewColors.GetPaletteColor(5)), 0u) << "entries the file lacks are zero";
}

TEST(ImageFiles, CanonicalFilesRoundTripByteForByte)
{
    std::ostringstream manifest; // what Pillow checks: name, pattern, width, height, colours
    for (const wchar_t* name : {L"p1.bmp", L"p4.bmp", L"p8.bmp", L"rgb24.bmp"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        CImageCP image;
        ASSERT_TRUE(image.Open(MadePath(name).c_str(), kBMP));
        const std::wstring out = WrittenPath((std::wstring(L"rt_") + name).c_str());
        ASSERT_TRUE(image.Save(out.c_str(), kBMP));
        Bytes made = ReadMade(name), written;
        ASSERT_TRUE(ZipTest::ReadWholeFile(out, written));
        EXPECT_EQ(written, made);
        manifest << "rt_" << std::string(name, name + wcslen(name)) << (image.GetBitCount() == 24 ? " rgb " : " pal ")
                 << image.GetWidth() << ' ' << image.GetHeight() << ' '
                 << (image.GetBitCount() == 24 ? 0 : image.GetColorsUsed()) << '\n';
    }
    struct IconCase
    {
        const wchar_t* name;
        int w, h, bits;
    };
    for (const IconCase& c : {IconCase{L"w32x32x4.ico", 32, 32, 4}, IconCase{L"w16x16x8.ico", 16, 16, 8},
                              IconCase{L"w13x7x1.ico", 13, 7, 1}, IconCase{L"w255x3x8.ico", 255, 3, 8}})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        CImageCP image(c.w, c.h, c.bits);
        DrawPattern(image, image.GetColorsUsed());
        ASSERT_TRUE(image.Save(WrittenPath(c.name).c_str(), kICO));
        CImageCP back;
        ASSERT_TRUE(back.Open(WrittenPath(c.name).c_str(), kICO));
        EXPECT_EQ(back.GetBitCount(), c.bits);
        EXPECT_EQ(FirstDifference(back, Pattern::Indexed, image.GetColorsUsed()), "");
        manifest << std::string(c.name, c.name + wcslen(c.name)) << " pal " << c.w << ' ' << c.h << ' '
                 << image.GetColorsUsed() << '\n';
    }
    const std::string text = manifest.str();
    EXPECT_TRUE(ZipTest::WriteWholeFile(WrittenPath(L"manifest.txt"), text.data(), text.size()));
}

TEST(ImageFiles, WritesTheHeadersTheFormatsPrescribe)
{
    CImageCP four(13, 7, 4);
    ASSERT_TRUE(four.Save(WrittenPath(L"four.bmp").c_str(), kBMP));
    Bytes bytes;
    ASSERT_TRUE(ZipTest::ReadWholeFile(WrittenPath(L"four.bmp"), bytes));
    ASSERT_EQ(bytes.size(), 118u + 8 * 7);
    DWORD nFileSize, nOffset;
    memcpy(&nFileSize, &bytes[2], 4);
    memcpy(&nOffset, &bytes[10], 4);
    EXPECT_EQ(nOffset, 118u) << "14 + 40 + 64";
    EXPECT_EQ(nFileSize, 118u + 8 * 7);

    CImageCP icon(32, 32, 8);
    ASSERT_TRUE(icon.Save(WrittenPath(L"icon8.ico").c_str(), kICO));
    ASSERT_TRUE(ZipTest::ReadWholeFile(WrittenPath(L"icon8.ico"), bytes));
    ASSERT_EQ(bytes.size(), 22u + 40 + 1024 + 32 * 32 + 128) << "an AND mask of 128 bytes";
    EXPECT_EQ(bytes[6 + 2], 0) << "colour count: 256 is written as 0";
    DWORD nImageBytes, nImageAt;
    memcpy(&nImageBytes, &bytes[6 + 8], 4);
    memcpy(&nImageAt, &bytes[6 + 12], 4);
    EXPECT_EQ(nImageAt, 22u);
    EXPECT_EQ(nImageBytes, 40u + 1024 + 1024 + 128);
    LONG nHeaderHeight;
    memcpy(&nHeaderHeight, &bytes[22 + 8], 4);
    EXPECT_EQ(nHeaderHeight, 64) << "XOR rows and mask";

    for (CImageCP* pImage : {new CImageCP(300, 20, 8), new CImageCP(20, 256, 4), new CImageCP(16, 16, 24)})
    {
        std::unique_ptr<CImageCP> image(pImage);
        EXPECT_FALSE(image->Save(WrittenPath(L"refused.ico").c_str(), kICO));
        EXPECT_STREQ(image->GetErrorText(), "Can't save this image as icon");
    }
}

TEST(ImageFiles, WritingFailsWhenTheStreamRefusesOrTheImageIsEmpty)
{
    CImageCP image(4, 4, 8);
    for (int type : {kBMP, kICO})
    {
        FILE* pFile = _wfopen(MadePath(L"p8.bmp").c_str(), L"rb");
        ASSERT_NE(pFile, nullptr);
        EXPECT_FALSE(image.WriteFile(pFile, type)) << "a stream opened for reading takes no bytes";
        fclose(pFile);
    }
    CImageCP empty;
    FILE* pFile = _wfopen(WrittenPath(L"empty.bmp").c_str(), L"wb");
    ASSERT_NE(pFile, nullptr);
    EXPECT_FALSE(empty.WriteFile(pFile, kBMP));
    EXPECT_FALSE(empty.WriteFile(pFile, kICO));
    EXPECT_EQ(ftell(pFile), 0) << "nothing written";
    fclose(pFile);
    EXPECT_FALSE(image.Save(L"Z:/no/such/folder/x.bmp", kBMP));
    EXPECT_FALSE(image.Open(L"Z:/no/such/folder/x.bmp", kBMP));
}

TEST(ImageFiles, PathAndMemoryConstructorsRead)
{
    const std::wstring wide = MadePath(L"p4.bmp");
    const std::string narrow(wide.begin(), wide.end()); // the fixture folder's path is ASCII
    for (const CImageCP& image : {CImageCP(wide.c_str(), kBMP), CImageCP(narrow.c_str(), kBMP)})
    {
        EXPECT_EQ(image.GetBitCount(), 4);
        EXPECT_EQ(FirstDifference(image, Pattern::Indexed, 16), "");
    }
    const std::string written = narrow.substr(0, narrow.rfind("made")) + "written/narrow.bmp";
    CImageCP image(narrow.c_str(), kBMP);
    ASSERT_TRUE(image.Save(written.c_str(), kBMP));
    EXPECT_EQ(CImageCP(written.c_str(), kBMP).GetSize(), image.GetSize());

    const Bytes bytes = ReadMade(L"rgb24.bmp");
    HGLOBAL hMemory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    ASSERT_NE(hMemory, nullptr);
    memcpy(GlobalLock(hMemory), bytes.data(), bytes.size());
    GlobalUnlock(hMemory);
    EXPECT_EQ(FirstDifference(CImageCP(hMemory, kBMP), Pattern::Rgb, 0), "");
    EXPECT_FALSE(CImageCP(hMemory, CImageCP::typePNG).IsValid());
    GlobalFree(hMemory);
    EXPECT_FALSE(CImageCP(L"Z:/no/such/file.bmp", kBMP).IsValid());
}
