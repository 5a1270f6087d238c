#include "screens/CImagePNG.h"
#include <csetjmp>
#include <cstdlib>
#include <png.h>

// Everything the jump can leave behind lives here and is freed by the caller after the jump.
struct CImagePNG::ReadJob
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* pFile = nullptr;
    png_bytep* ppRows = nullptr; // malloc'ed
};

struct CImagePNG::WriteJob
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* pFile = nullptr;
    png_bytep* ppRows = nullptr;   // malloc'ed
    png_colorp pPalette = nullptr; // malloc'ed
};

namespace
{
// Rows of the picture from the top: the DIB holds them bottom row first.
png_bytep* TopDownRows(BYTE* pBits, int nHeight, int nEffWidth)
{
    auto ppRows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * static_cast<size_t>(nHeight)));
    if (!ppRows) return nullptr;
    for (int y = 0; y < nHeight; ++y)
        ppRows[y] = pBits + static_cast<size_t>(nHeight - 1 - y) * nEffWidth;
    return ppRows;
}
} // namespace

BOOL CImagePNG::Read(FILE* pFile)
{
    if (!pFile) return FALSE;
    ReadJob job;
    job.pFile = pFile;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!job.png) return FALSE;
    job.info = png_create_info_struct(job.png);
    const bool bOk = job.info && ReadInto(job);
    std::free(job.ppRows);
    png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
    if (!bOk) Release(); // a half-read picture is no picture
    return bOk;
}

bool CImagePNG::ReadInto(ReadJob& job)
{
    if (setjmp(png_jmpbuf(job.png))) return false;
    png_structp png = job.png;
    png_infop info = job.info;
    png_init_io(png, job.pFile);
    png_read_info(png, info);
    const int nColorType = png_get_color_type(png, info);
    const int nDepth = png_get_bit_depth(png, info);
    png_color_16 background = {0, 31, 127, 255, 0};
    png_set_background(png, &background, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    png_set_strip_16(png);
    if (nColorType == PNG_COLOR_TYPE_GRAY && nDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (nColorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (nColorType == PNG_COLOR_TYPE_PALETTE && nDepth == 2) png_set_packing(png);
    png_set_bgr(png); // our rows are blue, green, red, over every interlace pass
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const png_uint_32 nWidth = png_get_image_width(png, info);
    const png_uint_32 nHeight = png_get_image_height(png, info);
    const int nBits = png_get_channels(png, info) * png_get_bit_depth(png, info);
    if (nBits != 1 && nBits != 4 && nBits != 8 && nBits != 24) return false;
    if (nWidth > 0x7FFFFFFF || nHeight > 0x7FFFFFFF) return false;
    // Create weighs the declared size before anything of the picture's size is allocated.
    if (!Create(static_cast<int>(nWidth), static_cast<int>(nHeight), nBits)) return false;
    if (png_get_rowbytes(png, info) > static_cast<size_t>(m_nEffWidth)) return false;
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE)
    {
        png_colorp pPalette = nullptr;
        int nEntries = 0;
        if (png_get_PLTE(png, info, &pPalette, &nEntries))
        {
            RGBQUAD* pTable = GetPalette();
            for (int i = 0; i < nEntries && i < static_cast<int>(m_header.biClrUsed); ++i)
                pTable[i] = RGBQUAD{pPalette[i].blue, pPalette[i].green, pPalette[i].red, 0};
        }
    }
    else if (nBits == 8)
        SetGrayPalette();
    job.ppRows = TopDownRows(m_pBits, m_header.biHeight, m_nEffWidth);
    if (!job.ppRows) return false;
    png_read_image(png, job.ppRows);
    png_read_end(png, nullptr);
    return true;
}

BOOL CImagePNG::Write(FILE* pFile)
{
    if (!pFile || !m_pDib) return FALSE;
    WriteJob job;
    job.pFile = pFile;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!job.png) return FALSE;
    job.info = png_create_info_struct(job.png);
    const bool bOk = job.info && WriteFrom(job);
    std::free(job.ppRows);
    std::free(job.pPalette);
    png_destroy_write_struct(&job.png, job.info ? &job.info : nullptr);
    return bOk;
}

bool CImagePNG::WriteFrom(WriteJob& job)
{
    if (setjmp(png_jmpbuf(job.png))) return false;
    png_structp png = job.png;
    png_infop info = job.info;
    png_init_io(png, job.pFile);
    const int nBits = m_header.biBitCount;
    const bool bPalette = nBits <= 8;
    png_set_IHDR(png, info, m_header.biWidth, m_header.biHeight, bPalette ? nBits : 8,
                 bPalette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (bPalette)
    {
        const int nEntries = static_cast<int>(m_header.biClrUsed);
        job.pPalette = static_cast<png_colorp>(std::malloc(sizeof(png_color) * nEntries));
        if (!job.pPalette) return false;
        const RGBQUAD* pTable = GetPalette();
        for (int i = 0; i < nEntries; ++i)
            job.pPalette[i] = png_color{pTable[i].rgbRed, pTable[i].rgbGreen, pTable[i].rgbBlue};
        png_set_PLTE(png, info, job.pPalette, nEntries);
    }
    png_write_info(png, info);
    if (!bPalette) png_set_bgr(png);
    job.ppRows = TopDownRows(m_pBits, m_header.biHeight, m_nEffWidth);
    if (!job.ppRows) return false;
    png_write_image(png, job.ppRows);
    png_write_end(png, nullptr);
    return true;
}
