// Damaged GIF, JPEG, PNG and TIFF input from a fixed seed. Every image block ends at a no-access
// page (a write past it crashes), JPEG memory input too; each input must be done within a second;
// a refusal is fine, and libtiff's complaints are answered, never shown.
#include "framework/testing/CMessageBoxAnswerer.h"
#include "screens/CImageGIF.h"
#include "screens/CImageJPEG.h"
#include "screens/CImagePNG.h"
#include "screens/CImageTIFF.h"
#include "screens/tests/ImageCodecSupport.h"
#include "screens/tests/ImageFuzzSupport.h"

using namespace ImageTest;

namespace
{
// The header damage of Damage, and a few flipped bytes anywhere: codecs keep their state deep in the data.
std::vector<Bytes> Flipped(const std::vector<Bytes>& seeds, uint32_t nSeed)
{
    CRandom random(nSeed);
    std::vector<Bytes> out;
    for (const Bytes& seed : seeds)
    {
        out.push_back(seed);
        for (int i = 0; i < 6 && !seed.empty(); ++i)
        {
            Bytes bytes = seed;
            for (uint32_t k = 1 + random.Below(4); k > 0; --k)
                bytes[random.Below(static_cast<uint32_t>(bytes.size()))] ^= static_cast<BYTE>(1 + random.Below(255));
            out.push_back(bytes);
        }
    }
    return out;
}

// Puts right the CRC of every whole chunk, so that damaged PNG data reach the decoder.
void FixPngChunks(Bytes& bytes)
{
    size_t at = 8;
    while (at + 12 <= bytes.size())
    {
        const size_t n =
            static_cast<size_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
        if (n > bytes.size() - at - 12) break;
        const DWORD crc = ZipTest::Crc(&bytes[at + 4], n + 4);
        for (int k = 0; k < 4; ++k)
            bytes[at + 8 + n + k] = static_cast<BYTE>(crc >> (24 - 8 * k));
        at += n + 12;
    }
}

template <class TFormat>
void FuzzFiles(std::initializer_list<const wchar_t*> names, int nRounds, uint32_t nSeed, int nMinRead,
               void (*pFix)(Bytes&) = nullptr)
{
    const auto seeds = Flipped(Seeds(names), nSeed);
    ZipTest::CScratchFolder folder;
    const std::wstring path = folder / L"fuzz.bin";
    CGuardedBlocks blocks;
    int nRead = 0;
    Fuzz(seeds, nRounds, nSeed, [&](const Bytes& damaged) {
        Bytes input = damaged;
        if (pFix) pFix(input);
        ASSERT_TRUE(ZipTest::WriteWholeFile(path, input.data(), input.size()));
        CStdioFileHandle file(_wfopen(path.c_str(), L"rb"));
        ASSERT_TRUE(file.IsValid());
        TFormat image;
        if (image.Read(file))
        {
            ++nRead;
            EXPECT_GT(image.GetWidth(), 0);
        }
    });
    EXPECT_GE(nRead, nMinRead) << "some damaged files still read: the damage reaches the decoder";
    EXPECT_EQ(blocks.Live(), 0u);
}
} // namespace

TEST(ImageCodecFuzz, GifSurvivesDamagedFiles)
{
    FuzzFiles<CImageGIF>({L"plain.gif", L"gce.gif", L"interlaced10.gif", L"local.gif", L"self_naming.gif", L"p16.gif",
                          L"two_images.gif"},
                         1500, 461, 100);
}

TEST(ImageCodecFuzz, PngSurvivesDamagedFiles)
{
    FuzzFiles<CImagePNG>({L"rgb.png", L"rgba.png", L"rgb_adam7.png", L"p2.png", L"p4_trns.png", L"grey4.png",
                          L"grey_alpha.png", L"rgb16.png"},
                         800, 462, 5, FixPngChunks); // zlib's own check refuses most damaged data
}

TEST(ImageCodecFuzz, JpegSurvivesDamagedFilesAndBlocks)
{
    FuzzFiles<CImageJPEG>({L"colour.jpg", L"grey.jpg", L"progressive.jpg", L"gradient.jpg"}, 800, 463, 50);

    const auto seeds = Flipped(Seeds({L"colour.jpg", L"progressive.jpg", L"gradient.jpg"}), 464);
    CGuardedBlocks blocks;
    Fuzz(seeds, 400, 465, [&](const Bytes& input) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, input.size());
        ASSERT_NE(h, nullptr);
        if (!input.empty())
        {
            memcpy(GlobalLock(h), input.data(), input.size());
            GlobalUnlock(h);
        }
        CImageJPEG image;
        image.Read(nullptr, h, static_cast<DWORD>(input.size()));
        GlobalFree(h);
    });
    EXPECT_EQ(blocks.Live(), 0u);
}

TEST(ImageCodecFuzz, TiffSurvivesDamagedFiles)
{
    CMessageBoxAnswerer boxes; // libtiff says what it thinks of each file
    FuzzFiles<CImageTIFF>({L"rgb8.tif", L"p8_map16.tif", L"grey8_rps3.tif", L"bilevel_white0.tif", L"rgb4.tif",
                           L"grey_alpha.tif", L"two_pages.tif", L"ycbcr.tif"},
                          800, 466, 50);
}
