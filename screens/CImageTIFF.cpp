#include "screens/CImageTIFF.h"
#include "screens/TiffStreamIO.h"
#include <algorithm>
#include <cstring>
#include <new>
#include <tiffio.h>
#include <vector>

namespace
{
constexpr uint32_t kMaxPages = 65535; // libtiff stops at a directory loop; this bounds the rest
} // namespace

BOOL CImageTIFF::Fail(const char* pszText)
{
    Release(); // a half-read picture is no picture
    SetErrorText(pszText);
    return FALSE;
}

BOOL CImageTIFF::Read(FILE* pFile)
{
    CTiffHandle file(TiffOpenStream(pFile, "r"));
    if (!file.IsValid()) return Fail("Error encountered while opening TIFF file");
    uint32_t nPages = 1;
    while (nPages < kMaxPages && TIFFSetDirectory(file, static_cast<tdir_t>(nPages)))
        ++nPages;
    if (!TIFFSetDirectory(file, 0)) return Fail("Error: page not present in TIFF file");

    uint16_t nCompression = COMPRESSION_NONE;
    TIFFGetField(file, TIFFTAG_COMPRESSION, &nCompression);
    if (nCompression == COMPRESSION_LZW)
        return Fail("LZW compression is no longer supported due to Unisys patent enforcement");

    uint32_t nWidth = 0, nLength = 0;
    uint16_t nSamples = 1, nBitsPerSample = 1, nPhotometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(file, TIFFTAG_IMAGEWIDTH, &nWidth);
    TIFFGetField(file, TIFFTAG_IMAGELENGTH, &nLength);
    TIFFGetField(file, TIFFTAG_SAMPLESPERPIXEL, &nSamples);
    TIFFGetField(file, TIFFTAG_BITSPERSAMPLE, &nBitsPerSample);
    TIFFGetField(file, TIFFTAG_PHOTOMETRIC, &nPhotometric);
    uint32_t nRowsPerStrip = nLength;
    TIFFGetField(file, TIFFTAG_ROWSPERSTRIP, &nRowsPerStrip);
    if (nRowsPerStrip == 0 || nRowsPerStrip > nLength) nRowsPerStrip = nLength; // 0 would never advance
    m_nTransparentIndex = -1;

    // Our rows hold one sample of 1, 4 or 8 bits as it is; the rest is turned into colour.
    const bool bRgba = nSamples != 1 || (nBitsPerSample != 1 && nBitsPerSample != 4 && nBitsPerSample != 8) ||
                       nPhotometric == PHOTOMETRIC_RGB || nPhotometric == PHOTOMETRIC_SEPARATED ||
                       nPhotometric == PHOTOMETRIC_YCBCR || nPhotometric == PHOTOMETRIC_LOGL;
    if (nWidth > 0x7FFFFFFF || nLength > 0x7FFFFFFF) return Fail("Image too large");
    // The raster of the RGBA reader takes 4 bytes a pixel beside the image: weighed first too.
    if (bRgba && static_cast<uint64_t>(nWidth) * nLength * 4 > kMaxBlockBytes) return Fail("Image too large");
    if (!Create(static_cast<int>(nWidth), static_cast<int>(nLength), bRgba ? 24 : nBitsPerSample))
        return FALSE; // Create names the refusal
    // libtiff's RGBA reader takes RGB at 8 and 16 bits only: smaller samples are spread here.
    const bool bSmallRgb = nPhotometric == PHOTOMETRIC_RGB && nSamples >= 3 && nBitsPerSample < 8 &&
                           (nBitsPerSample == 1 || nBitsPerSample == 2 || nBitsPerSample == 4);
    uint16_t nPlanar = PLANARCONFIG_CONTIG;
    TIFFGetField(file, TIFFTAG_PLANARCONFIG, &nPlanar);
    uint16_t nOrientation = ORIENTATION_TOPLEFT;
    TIFFGetField(file, TIFFTAG_ORIENTATION, &nOrientation);
    // Plain RGB rows as we write them need no detour through the RGBA raster (a third of the time).
    const bool bPlainRgb = nPhotometric == PHOTOMETRIC_RGB && nSamples == 3 && nBitsPerSample == 8 &&
                           nPlanar == PLANARCONFIG_CONTIG && nOrientation == ORIENTATION_TOPLEFT;
    bool bOk;
    if (bPlainRgb)
        bOk = ReadPlainRgb(file, nRowsPerStrip);
    else if (bSmallRgb && nPlanar == PLANARCONFIG_CONTIG)
        bOk = ReadSmallRgb(file, nSamples, nBitsPerSample, nRowsPerStrip);
    else if (bRgba)
        bOk = ReadRgba(file);
    else
        bOk = ReadStrips(file, nPhotometric, nBitsPerSample, nRowsPerStrip);
    return bOk ? TRUE : FALSE;
}

bool CImageTIFF::ReadRgba(tiff* pTiff)
{
    const uint32_t nWidth = static_cast<uint32_t>(m_header.biWidth);
    const uint32_t nHeight = static_cast<uint32_t>(m_header.biHeight);
    std::vector<uint32_t> raster;
    try
    {
        raster.resize(static_cast<size_t>(nWidth) * nHeight);
    }
    catch (const std::bad_alloc&)
    {
        return Fail("No space for raster buffer");
    }
    if (!TIFFReadRGBAImage(pTiff, nWidth, nHeight, raster.data(), 1)) return Fail("Corrupted TIFF file!");
    // The raster's first row is the bottom one, as in the DIB.
    for (uint32_t y = 0; y < nHeight; ++y)
    {
        const uint32_t* pFrom = raster.data() + static_cast<size_t>(y) * nWidth;
        BYTE* pTo = m_pBits + static_cast<size_t>(y) * m_nEffWidth;
        for (uint32_t x = 0; x < nWidth; ++x, pTo += 3)
        {
            pTo[0] = static_cast<BYTE>(TIFFGetB(pFrom[x]));
            pTo[1] = static_cast<BYTE>(TIFFGetG(pFrom[x]));
            pTo[2] = static_cast<BYTE>(TIFFGetR(pFrom[x]));
        }
    }
    return true;
}

// Reads the strips holding the picture, line by line: each call of onLine gets a picture row.
template <class TOnLine>
bool CImageTIFF::ForEachLine(tiff* pTiff, size_t nLineBytes, uint32_t nRowsPerStrip, TOnLine onLine)
{
    const tmsize_t nStripSize = TIFFStripSize(pTiff);
    const uint32_t nLength = static_cast<uint32_t>(m_header.biHeight);
    if (nStripSize <= 0) return Fail("Corrupted TIFF file!");
    std::vector<BYTE> strip;
    try
    {
        strip.resize(static_cast<size_t>(nStripSize));
    }
    catch (const std::bad_alloc&)
    {
        return Fail("Corrupted TIFF file!");
    }
    for (uint32_t r = 0; r < nLength; r += nRowsPerStrip)
    {
        const uint32_t n = std::min(nRowsPerStrip, nLength - r);
        const size_t nWanted = std::min(n * nLineBytes, strip.size());
        if (TIFFReadEncodedStrip(pTiff, TIFFComputeStrip(pTiff, r, 0), strip.data(), static_cast<tmsize_t>(nWanted)) <
            0)
            return Fail("Corrupted TIFF file!");
        for (uint32_t j = 0; j < n && (j + 1) * nLineBytes <= nWanted; ++j)
            onLine(r + j, strip.data() + j * nLineBytes);
    }
    return true;
}

bool CImageTIFF::ReadPlainRgb(tiff* pTiff, uint32_t nRowsPerStrip)
{
    const uint32_t nWidth = static_cast<uint32_t>(m_header.biWidth);
    const uint32_t nLength = static_cast<uint32_t>(m_header.biHeight);
    return ForEachLine(pTiff, static_cast<size_t>(nWidth) * 3, nRowsPerStrip, [&](uint32_t nRow, const BYTE* pLine) {
        BYTE* pTo = m_pBits + static_cast<size_t>(nLength - 1 - nRow) * m_nEffWidth;
        for (uint32_t x = 0; x < nWidth; ++x, pTo += 3, pLine += 3)
        {
            pTo[0] = pLine[2];
            pTo[1] = pLine[1];
            pTo[2] = pLine[0];
        }
    });
}

bool CImageTIFF::ReadSmallRgb(tiff* pTiff, int nSamples, int nBitsPerSample, uint32_t nRowsPerStrip)
{
    const uint32_t nWidth = static_cast<uint32_t>(m_header.biWidth);
    const uint32_t nLength = static_cast<uint32_t>(m_header.biHeight);
    const size_t nLineBytes = (static_cast<size_t>(nSamples) * nBitsPerSample * nWidth + 7) / 8;
    const unsigned nMax = (1u << nBitsPerSample) - 1;
    return ForEachLine(pTiff, nLineBytes, nRowsPerStrip, [&](uint32_t nRow, const BYTE* pLine) {
        BYTE* pTo = m_pBits + static_cast<size_t>(nLength - 1 - nRow) * m_nEffWidth;
        for (uint32_t x = 0; x < nWidth; ++x, pTo += 3)
            for (int k = 0; k < 3; ++k)
            {
                const size_t nBit = (static_cast<size_t>(x) * nSamples + k) * nBitsPerSample;
                const unsigned v = pLine[nBit / 8] >> (8 - nBitsPerSample - nBit % 8) & nMax;
                pTo[2 - k] = static_cast<BYTE>(v * 255 / nMax);
            }
    });
}

bool CImageTIFF::ReadStrips(tiff* pTiff, int nPhotometric, int nBitsPerSample, uint32_t nRowsPerStrip)
{
    RGBQUAD palette[256] = {};
    const int nEntries = 1 << nBitsPerSample;
    if (nPhotometric == PHOTOMETRIC_MINISWHITE || nPhotometric == PHOTOMETRIC_MINISBLACK)
    {
        const bool bBlackIsZero = nPhotometric == PHOTOMETRIC_MINISBLACK;
        for (int i = 0; i < nEntries; ++i)
        {
            const int nLevel = i * 255 / (nEntries - 1);
            const BYTE v = static_cast<BYTE>(bBlackIsZero ? nLevel : 255 - nLevel);
            palette[i] = RGBQUAD{v, v, v, 0};
        }
    }
    else if (nPhotometric == PHOTOMETRIC_PALETTE)
    {
        uint16_t *pRed = nullptr, *pGreen = nullptr, *pBlue = nullptr;
        if (!TIFFGetField(pTiff, TIFFTAG_COLORMAP, &pRed, &pGreen, &pBlue))
            return Fail("Unable to allocate TIFF palette");
        bool bWide = false; // maps are 16-bit by the standard; some writers put 8-bit values in
        for (int i = 0; i < nEntries; ++i)
            bWide = bWide || pRed[i] > 255 || pGreen[i] > 255 || pBlue[i] > 255;
        // The high byte: 65535 gives 255, and both writers' habits (v * 257 and v * 256) give v back.
        const auto scale = [bWide](uint16_t v) { return static_cast<BYTE>(bWide ? v >> 8 : v); };
        for (int i = 0; i < nEntries; ++i)
            palette[i] = RGBQUAD{scale(pBlue[i]), scale(pGreen[i]), scale(pRed[i]), 0};
    }
    SetPalette(palette, static_cast<DWORD>(nEntries));

    const uint32_t nWidth = static_cast<uint32_t>(m_header.biWidth);
    const uint32_t nLength = static_cast<uint32_t>(m_header.biHeight);
    const size_t nLineBytes = (static_cast<size_t>(nBitsPerSample) * nWidth + 7) / 8;
    if (nLineBytes > static_cast<size_t>(m_nEffWidth)) return Fail("Corrupted TIFF file!");
    return ForEachLine(pTiff, nLineBytes, nRowsPerStrip, [&](uint32_t nRow, const BYTE* pLine) {
        std::memcpy(m_pBits + static_cast<size_t>(nLength - 1 - nRow) * m_nEffWidth, pLine, nLineBytes);
    });
}

BOOL CImageTIFF::Write(FILE* pFile)
{
    if (!m_pDib) return FALSE;
    const int nBits = m_header.biBitCount;
    const bool bPalette = nBits <= 8;
    std::vector<uint16_t> red(256), green(256), blue(256);
    if (bPalette)
    {
        const RGBQUAD* pPalette = GetPalette();
        for (DWORD i = 0; i < m_header.biClrUsed && i < 256; ++i)
        {
            red[i] = static_cast<uint16_t>(pPalette[i].rgbRed * 257);
            green[i] = static_cast<uint16_t>(pPalette[i].rgbGreen * 257);
            blue[i] = static_cast<uint16_t>(pPalette[i].rgbBlue * 257);
        }
    }
    const uint16_t nSamples = bPalette ? 1 : 3;
    CTiffHandle file(TiffOpenStream(pFile, "w"));
    if (!file.IsValid()) return FALSE;
    const uint32_t nWidth = static_cast<uint32_t>(m_header.biWidth);
    const uint32_t nHeight = static_cast<uint32_t>(m_header.biHeight);
    TIFFSetField(file, TIFFTAG_IMAGEWIDTH, nWidth);
    TIFFSetField(file, TIFFTAG_IMAGELENGTH, nHeight);
    TIFFSetField(file, TIFFTAG_SAMPLESPERPIXEL, nSamples);
    TIFFSetField(file, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(nBits / nSamples));
    TIFFSetField(file, TIFFTAG_PHOTOMETRIC, bPalette ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB);
    TIFFSetField(file, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(file, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(file, TIFFTAG_ROWSPERSTRIP, 1u);
    TIFFSetField(file, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(file, TIFFTAG_XRESOLUTION, 72.0);
    TIFFSetField(file, TIFFTAG_YRESOLUTION, 72.0);
    TIFFSetField(file, TIFFTAG_SUBFILETYPE, 0u);
    if (bPalette) TIFFSetField(file, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    TIFFSetField(file, TIFFTAG_COMPRESSION,
                 nBits == 1 ? COMPRESSION_CCITTFAX4 : (nBits == 4 ? COMPRESSION_NONE : COMPRESSION_PACKBITS));

    std::vector<BYTE> line(static_cast<size_t>(m_nEffWidth));
    for (uint32_t i = 0; i < nHeight; ++i)
    {
        const BYTE* pRow = m_pBits + static_cast<size_t>(nHeight - 1 - i) * m_nEffWidth;
        std::memcpy(line.data(), pRow, line.size());
        if (!bPalette)
            for (uint32_t x = 0; x < nWidth; ++x)
                std::swap(line[3 * x], line[3 * x + 2]);
        if (TIFFWriteScanline(file, line.data(), i, 0) < 0) return FALSE;
    }
    return TIFFFlush(file) ? TRUE : FALSE;
}
