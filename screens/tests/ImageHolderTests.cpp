// The DIB holder: making, copying, handing over and sharing blocks, packed-DIB handles, the
// dispatch's refusals, and the row cursor.
#include "screens/CImageRowCursor.h"
#include "screens/tests/ImageTestSupport.h"

using namespace ImageTest;

namespace
{
// A packed DIB in a global block: `header` first, then `nTable` entries and `nRows` row bytes,
// the whole block `nExtra` bytes longer (or shorter, when negative).
HGLOBAL MakePackedDib(const BITMAPINFOHEADER& header, DWORD nHeaderSize, DWORD nTable, DWORD nRows, int nExtra = 0)
{
    const SIZE_T nSize = nHeaderSize + 4 * nTable + nRows + nExtra;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, nSize);
    BYTE* p = static_cast<BYTE*>(GlobalLock(h));
    memcpy(p, &header, std::min<SIZE_T>(sizeof(header), nSize));
    reinterpret_cast<BITMAPINFOHEADER*>(p)->biSize = nHeaderSize;
    for (DWORD i = 0; i < nTable && nHeaderSize + 4 * i + 4 <= nSize; ++i)
        reinterpret_cast<RGBQUAD*>(p + nHeaderSize)[i] = CImageCP::ColorRefToRgbQuad(PaletteColor(i));
    for (DWORD i = 0; i < nRows && nHeaderSize + 4 * nTable + i < nSize; ++i)
        p[nHeaderSize + 4 * nTable + i] = static_cast<BYTE>(i * 3 + 1);
    GlobalUnlock(h);
    return h;
}
BITMAPINFOHEADER Header(int w, int h, int bits, DWORD compression = BI_RGB, DWORD clrUsed = 0)
{
    BITMAPINFOHEADER header{};
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bits);
    header.biCompression = compression;
    header.biClrUsed = clrUsed;
    return header;
}
} // namespace

TEST(ImageHolder, CreateMapsBitCountsToTheFourLayouts)
{
    const int kAsked[] = {0, 1, 3, 7, 8, 15, 16, 32};
    const int kBits[] = {1, 1, 4, 8, 8, 24, 24, 24};
    const int kColors[] = {2, 2, 16, 256, 256, 0, 0, 0};
    for (int i = 0; i < 8; ++i)
    {
        SCOPED_TRACE(kAsked[i]);
        CImageCP image;
        ASSERT_NE(image.Create(5, 3, kAsked[i]), nullptr);
        EXPECT_EQ(image.GetBitCount(), kBits[i]);
        EXPECT_EQ(image.GetColorsUsed(), kColors[i]);
        EXPECT_EQ(image.GetColorType(), kBits[i] <= 8 ? 1 : 2);
        EXPECT_EQ(image.GetPalette() != nullptr, kColors[i] != 0);
        EXPECT_EQ(image.GetBits(), image.GetDib() + 40 + 4 * kColors[i]);
        EXPECT_EQ(memcmp(image.GetDib(), &image.GetHeader(), 40), 0) << "the block holds the header copy";
        const Bytes zeros(image.GetSize() - 40, 0);
        EXPECT_EQ(memcmp(image.GetDib() + 40, zeros.data(), zeros.size()), 0) << "new blocks are zero";
    }
    EXPECT_EQ(CImageCP(3, 1, 24).GetEffWidth(), 12);
    EXPECT_EQ(CImageCP(33, 1, 1).GetEffWidth(), 8);
    EXPECT_EQ(CImageCP(13, 7, 4).GetSize(), 40u + 64 + 8 * 7);
}

TEST(ImageHolder, CreateRefusesSizesBeforeAllocating)
{
    struct SizeCase
    {
        int w, h, bits;
        const char* error;
    };
    const SizeCase kCases[] = {
        {70000, 70000, 24, "Image too large"},
        {0x7FFFFFFF, 2, 24, "Image too large"},
        {0x7FFFFFFF, 0x7FFFFFFF, 1, "Image too large"},
        {0, 5, 8, "Invalid image size"},
        {5, 0, 8, "Invalid image size"},
        {-5, 5, 8, "Invalid image size"},
        {5, -5, 24, "Invalid image size"},
    };
    for (const auto& c : kCases)
    {
        CGuardedBlocks blocks;
        SCOPED_TRACE(c.error);
        CImageCP image(4, 4, 8);
        EXPECT_EQ(blocks.Allocations(), 1);
        EXPECT_EQ(image.Create(c.w, c.h, c.bits), nullptr);
        EXPECT_EQ(blocks.Allocations(), 1) << "nothing allocated";
        EXPECT_STREQ(image.GetErrorText(), c.error);
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.GetWidth(), 0);
        EXPECT_EQ(image.GetSize(), 0u);
        EXPECT_EQ(blocks.Live(), 0u) << "the earlier block was released";
    }
    // At the limit the block is asked for (here the allocator has none to give); one row more is not.
    CGuardedBlocks none(0);
    CImageCP atLimit;
    EXPECT_EQ(atLimit.Create(1024, 87381, 24), nullptr);
    EXPECT_EQ(none.Allocations(), 1) << "40 + 3072 x 87381 bytes is just allowed";
    EXPECT_STREQ(atLimit.GetErrorText(), "");
    EXPECT_EQ(atLimit.Create(1024, 87382, 24), nullptr);
    EXPECT_EQ(none.Allocations(), 1);
    EXPECT_STREQ(atLimit.GetErrorText(), "Image too large");
}

TEST(ImageHolder, CopiesTransfersAndSharesBlocks)
{
    CGuardedBlocks blocks;
    CImageCP a(7, 5, 4);
    DrawPattern(a, 16);
    a.SetTransparentIndex(3);
    CImageCP b(a);
    EXPECT_NE(b.GetDib(), a.GetDib());
    EXPECT_EQ(b.GetSize(), a.GetSize());
    EXPECT_EQ(memcmp(b.GetDib(), a.GetDib(), a.GetSize()), 0);
    EXPECT_EQ(b.GetTransparentIndex(), 3);

    b = b; // a copy of itself changes nothing (it once read the block it had just freed)
    EXPECT_TRUE(b.Copy(b));
    EXPECT_EQ(FirstDifference(b, Pattern::Indexed, 16), "");
    b.Transfer(&b);
    b.Share(b);
    EXPECT_EQ(FirstDifference(b, Pattern::Indexed, 16), "");

    CImageCP empty;
    EXPECT_TRUE(b.Copy(empty)) << "copying an empty image empties this one";
    EXPECT_FALSE(b.IsValid());
    EXPECT_EQ(b.GetWidth(), 0);

    CImageCP c;
    c.SetFrameDelay(7);
    CImageCP* pSource = &a;
    EXPECT_EQ(b.Transfer(pSource), pSource);
    EXPECT_EQ(b.Transfer(nullptr), nullptr);
    EXPECT_EQ(FirstDifference(b, Pattern::Indexed, 16), "");
    EXPECT_EQ(b.GetTransparentIndex(), 3);
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(a.GetWidth(), 0);
    EXPECT_EQ(a.GetTransparentIndex(), -1) << "the source starts over";

    const size_t nLive = blocks.Live();
    {
        CImageCP shared;
        shared.Share(b);
        EXPECT_EQ(shared.GetDib(), b.GetDib());
        EXPECT_EQ(shared.GetWidth(), 7);
        shared.Release();
        EXPECT_FALSE(shared.IsValid());
        shared.Share(b);
    }
    EXPECT_EQ(blocks.Live(), nLive) << "a shared block is not freed by its borrower";
    EXPECT_EQ(FirstDifference(b, Pattern::Indexed, 16), "");
}

TEST(ImageHolder, CopiesToAGlobalHandleAndBackFromOne)
{
    CImageCP image(9, 4, 8);
    DrawPattern(image, 256);
    HGLOBAL hOld = GlobalAlloc(GMEM_MOVEABLE, 16);
    HGLOBAL h = image.CopyToHandle(hOld); // frees the old one
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(GlobalSize(h), image.GetSize());
    CImageCP back(h);
    EXPECT_EQ(back.GetSize(), image.GetSize());
    EXPECT_EQ(FirstDifference(back, Pattern::Indexed, 256), "");
    GlobalFree(h);
    EXPECT_EQ(CImageCP().CopyToHandle(nullptr), nullptr);
}

TEST(ImageHolder, TakesOnlyPackedDibsItsLayoutsHoldAndTheBlockCovers)
{
    struct DibCase
    {
        BITMAPINFOHEADER header;
        DWORD nHeaderSize, nTable, nRows;
        int nExtra;
        bool ok;
        const char* why;
    };
    const DibCase kCases[] = {
        {Header(5, 3, 8), 40, 256, 24, 0, true, "8 bits, exactly covered"},
        {Header(5, 3, 8, BI_RGB, 4), 40, 4, 24, 0, true, "4 colours used: the rest zero"},
        {Header(5, 3, 8), 124, 256, 24, 0, true, "a V5 header: the table follows it"},
        {Header(5, -3, 24), 40, 0, 48, 0, true, "top-down 24 bits"},
        {Header(5, 3, 1), 40, 2, 12, 0, true, "1 bit"},
        {Header(5, 3, 4), 40, 16, 12, 0, true, "4 bits"},
        {Header(5, 3, 8), 40, 256, 24, -1, false, "one byte short"},
        {Header(5, 3, 8), 40, 0, 0, -30, false, "shorter than its header"},
        {Header(5, 3, 2), 40, 4, 12, 0, false, "2 bits"},
        {Header(5, 3, 5), 40, 32, 24, 0, false, "5 bits"},
        {Header(5, 3, 16), 40, 0, 32, 0, false, "16 bits"},
        {Header(5, 3, 32, BI_BITFIELDS), 40, 3, 60, 0, false, "bit fields"},
        {Header(5, 3, 8, BI_RLE8), 40, 256, 24, 0, false, "run-length data"},
        {Header(0, 3, 8), 40, 256, 0, 0, false, "no width"},
        {Header(0x40000000, 3, 24), 40, 0, 64, 0, false, "a width the block cannot hold"},
    };
    CGuardedBlocks blocks;
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.why);
        HGLOBAL h = MakePackedDib(c.header, c.nHeaderSize, c.nTable, c.nRows, c.nExtra);
        CImageCP image(h);
        EXPECT_EQ(image.IsValid(), c.ok);
        if (c.ok)
        {
            EXPECT_EQ(image.GetHeader().biSize, 40u);
            EXPECT_EQ(image.GetHeight(), 3);
            const DWORD nColors = c.header.biClrUsed ? c.header.biClrUsed : c.nTable;
            for (DWORD i = 0; i < static_cast<DWORD>(image.GetColorsUsed()); ++i)
                ASSERT_EQ(ToColorRef(image.GetPaletteColor(i)), i < nColors ? PaletteColor(i) : 0u) << i;
            const int eff = image.GetEffWidth();
            const int nTop = c.header.biHeight < 0 ? 0 : 2; // which of the block's rows is the top
            EXPECT_EQ(image.GetBits()[2 * eff], static_cast<BYTE>(nTop * eff * 3 + 1)) << "the top row";
        }
        GlobalFree(h);
    }
    EXPECT_FALSE(CImageCP(static_cast<HICON>(nullptr)).IsValid());
    EXPECT_STREQ(CImageCP(static_cast<HICON>(nullptr)).GetErrorText(), "");
}

TEST(ImageHolder, DispatchRefusesTypesWithoutAReader)
{
    CImageCP image(2, 2, 8);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
    for (int type : {1, 2, 3, 4, 5, 6}) // only BMP reads from memory
    {
        EXPECT_FALSE(image.ReadMemory(h, type)) << type;
        EXPECT_EQ(image.GetWidth(), 2);
    }
    GlobalFree(h);
    EXPECT_FALSE(image.ReadFile(nullptr, CImageCP::typeBMP));
    EXPECT_FALSE(image.WriteFile(nullptr, CImageCP::typeTIFF));
    EXPECT_EQ(image.GetWidth(), 2);
}

TEST(ImageRowCursor, WalksRowsFromTheTopAndCopiesNoMoreThanARow)
{
    CGuardedBlocks blocks; // rows end at a no-access page: a copy past the last row crashes
    CImageCP image(5, 3, 8);
    CImageRowCursor cursor(image);
    EXPECT_EQ(cursor.GetRowIndex(), 0);
    EXPECT_EQ(cursor.GetRowPointer(), image.GetBits());
    cursor.Top();
    EXPECT_EQ(cursor.GetRowIndex(), 2);
    EXPECT_EQ(cursor.GetRowPointer(), image.GetBits() + 16);
    EXPECT_TRUE(cursor.IsValid());

    const BYTE kLong[64] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    cursor.SetRow(kLong, 64); // asks for more than a row: only the 8 bytes of the row change
    EXPECT_EQ(image.GetPixelIndex(4, 2), 5);
    EXPECT_EQ(image.GetBits()[16 + 7], 8);
    BYTE out[64] = {};
    cursor.GetRow(out, 64);
    EXPECT_EQ(out[7], 8);
    EXPECT_EQ(out[8], 0) << "no more than the effective width";

    EXPECT_TRUE(cursor.PreviousRow());
    EXPECT_TRUE(cursor.PreviousRow());
    EXPECT_EQ(cursor.GetRowIndex(), 0);
    BYTE* pRow = cursor.GetRowPointer();
    EXPECT_FALSE(cursor.PreviousRow());
    EXPECT_EQ(cursor.GetRowPointer(), pRow);
    cursor.SetRow(kLong, -1); // the image's width
    EXPECT_EQ(image.GetPixelIndex(4, 0), 5);
    EXPECT_EQ(image.GetBits()[5], 0);

    cursor.SetRowIndex(3);
    EXPECT_EQ(cursor.GetRowIndex(), 0) << "outside: unchanged";
    cursor.SetRowIndex(1);
    EXPECT_EQ(cursor.GetRowPointer(), image.GetBits() + 8);
    cursor.GetRow(nullptr, 5);
    cursor.GetRow(out, 0);

    CImageCP empty;
    CImageRowCursor none(empty);
    none.Top();
    EXPECT_FALSE(none.IsValid());
    none.SetRow(kLong, 4);
    EXPECT_FALSE(none.PreviousRow());
}
