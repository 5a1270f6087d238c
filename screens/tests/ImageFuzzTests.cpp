// Damaged BMP, ICO and packed-DIB input, from a fixed seed. Inputs end at a no-access page and so
// does every image block: an over-read or a write past a block crashes; a refusal is fine.
#include "framework/CHandleOwner.h"
#include "screens/CImageBMP.h"
#include "screens/CImageIcon.h"
#include "screens/tests/ImageFuzzSupport.h"
#include "screens/tests/ImageTestSupport.h"
#include <cstdint>
#include <functional>
#include <vector>

using namespace ImageTest;

namespace
{
struct CPackedDibProbe : CImageCP
{
    using CImageCP::LoadPackedDib;
};
} // namespace

TEST(ImageFuzz, ReadDibSurvivesDamagedBlocks)
{
    const auto seeds = Seeds({L"p1.bmp", L"p4.bmp", L"p8.bmp", L"rgb24.bmp", L"p8_core.bmp", L"p8_v5.bmp",
                              L"p8_bare.dib", L"p8_topdown.bmp", L"tiny_core.bmp", L"p8_clr5.bmp"});
    CGuardedBlocks blocks;
    int nRead = 0;
    Fuzz(seeds, 3000, 45, [&](const Bytes& input) {
        ZipTest::CGuardedBytes guarded(input);
        CImageBMP image;
        if (image.ReadDib(guarded.Data(), guarded.Size()))
        {
            ++nRead;
            EXPECT_GT(image.GetWidth(), 0);
            EXPECT_GT(image.GetHeight(), 0);
        }
        CPackedDibProbe probe;
        probe.LoadPackedDib(guarded.Data(), guarded.Size());
    });
    EXPECT_GT(nRead, 100) << "some damaged files still read";
    EXPECT_EQ(blocks.Live(), 0u);
}

TEST(ImageFuzz, StreamReadersSurviveDamagedFiles)
{
    const auto bmpSeeds = Seeds({L"p4.bmp", L"p8.bmp", L"rgb24.bmp", L"p8_core.bmp", L"p8_v5.bmp", L"tiny_core.bmp"});
    const auto icoSeeds = Seeds({L"two.ico", L"ico8.ico", L"ico1.ico", L"ico_png.ico"});
    ZipTest::CScratchFolder folder;
    const std::wstring path = folder / L"fuzz.bin";
    CGuardedBlocks blocks;
    const auto readAs = [&](int nType) {
        return [&, nType](const Bytes& input) {
            ASSERT_TRUE(ZipTest::WriteWholeFile(path, input.data(), input.size()));
            FILE* pFile = _wfopen(path.c_str(), L"rb");
            ASSERT_NE(pFile, nullptr);
            if (nType == CImageCP::typeBMP)
                CImageBMP().Read(pFile);
            else
                CImageIcon().Read(pFile);
            fclose(pFile);
        };
    };
    Fuzz(bmpSeeds, 300, 7, readAs(CImageCP::typeBMP));
    Fuzz(icoSeeds, 300, 8, readAs(CImageCP::typeIcon));
    EXPECT_EQ(blocks.Live(), 0u);
}

TEST(ImageFuzz, RemapSurvivesDamagedBlocks)
{
    // Packed DIBs: the file fixtures without their 14-byte file header.
    auto seeds = Seeds({L"p4.bmp", L"p8.bmp", L"p8_clr5.bmp"});
    for (Bytes& seed : seeds)
        seed.erase(seed.begin(), seed.begin() + 14);
    Bytes rle(40 + 1024 + 14, 0); // run-length rows with every escape
    BITMAPINFOHEADER header{40, 4, 2, 1, 8, BI_RLE8, 14, 0, 0, 256, 0};
    memcpy(rle.data(), &header, 40);
    const BYTE kRuns[] = {3, 1, 0, 3, 4, 5, 6, 0, 0, 0, 2, 1, 1, 0, 1};
    memcpy(rle.data() + 40 + 1024, kRuns, 14);
    seeds.push_back(rle);

    LOGPALETTE* pLog = static_cast<LOGPALETTE*>(malloc(sizeof(LOGPALETTE) + 15 * sizeof(PALETTEENTRY)));
    pLog->palVersion = 0x300;
    pLog->palNumEntries = 16;
    for (int i = 0; i < 16; ++i)
        pLog->palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(i * 16), static_cast<BYTE>(255 - i * 16), 0, 0};
    CGdiHandle<HPALETTE> palette(CreatePalette(pLog));
    free(pLog);
    ASSERT_TRUE(palette.IsValid());
    Fuzz(seeds, 2000, 9, [&](const Bytes& input) {
        ZipTest::CGuardedBytes guarded(input);
        std::vector<BYTE> result;
        CImageCP::RemapToPalette(guarded.Data(), guarded.Size(), palette, result);
    });
}
