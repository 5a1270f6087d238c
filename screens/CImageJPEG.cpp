#include "screens/CImageJPEG.h"
#include "screens/JpegMemorySource.h"
#include <csetjmp>
#include <cstdlib>
#include <jerror.h>

namespace
{
struct CErrorManager
{
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr pInfo)
{
    std::longjmp(reinterpret_cast<CErrorManager*>(pInfo->err)->jump, 1);
}

void OutputMessage(j_common_ptr) {} // warnings are not shown, and a failure is only a false result

void SetUpErrors(CErrorManager& errors)
{
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = ErrorExit;
    errors.pub.output_message = OutputMessage;
}

// A file of thousands of tiny scans would keep the decoder busy for minutes.
void StopAtManyScans(j_common_ptr pInfo)
{
    if (pInfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(pInfo)->input_scan_number > CImageJPEG::kMaxScans)
        ERREXIT(pInfo, JERR_NOT_COMPILED);
}
} // namespace

// Everything the jump can leave behind lives here and is freed by the caller after the jump.
struct CImageJPEG::ReadJob
{
    CErrorManager errors;
    jpeg_decompress_struct info;
    jpeg_progress_mgr progress;
    bool bCreated = false;
    FILE* pFile = nullptr;
    HGLOBAL hMemory = nullptr;
    DWORD nSize = 0;
};

struct CImageJPEG::WriteJob
{
    CErrorManager errors;
    jpeg_compress_struct info;
    bool bCreated = false;
    FILE* pFile = nullptr;
    BYTE* pRow = nullptr; // malloc'ed
};

BOOL CImageJPEG::Read(FILE* pFile, HGLOBAL hMemory, DWORD nSize)
{
    if (!pFile && !hMemory) return FALSE;
    ReadJob job;
    job.pFile = pFile;
    job.hMemory = hMemory;
    job.nSize = nSize;
    const bool bOk = ReadInto(job);
    if (job.bCreated) jpeg_destroy_decompress(&job.info);
    if (!bOk) Release(); // a half-read picture is no picture
    return bOk;
}

bool CImageJPEG::ReadInto(ReadJob& job)
{
    j_decompress_ptr pInfo = &job.info;
    SetUpErrors(job.errors);
    pInfo->err = &job.errors.pub;
    if (setjmp(job.errors.jump)) return false;
    jpeg_create_decompress(pInfo);
    job.bCreated = true;
    // Progressive files keep width x height x components x 2 bytes of coefficients: no more
    // than an image may take, and no backing store, so larger demands fail.
    pInfo->mem->max_memory_to_use = static_cast<long>(kMaxBlockBytes);
    job.progress.progress_monitor = StopAtManyScans;
    pInfo->progress = &job.progress;
    JpegMemorySource(pInfo, job.pFile, job.hMemory, job.nSize);
    jpeg_read_header(pInfo, TRUE);

    const bool bGrey = pInfo->jpeg_color_space == JCS_GRAYSCALE && pInfo->num_components == 1;
    const bool bColour =
        (pInfo->jpeg_color_space == JCS_YCbCr || pInfo->jpeg_color_space == JCS_RGB) && pInfo->num_components == 3;
    if (!bGrey && !bColour) return false; // CMYK and YCCK: four bytes a pixel have no layout here
    pInfo->out_color_space = bGrey ? JCS_GRAYSCALE : JCS_EXT_BGR; // the DIB's own order
    // Before the decoder allocates anything of the picture's size.
    if (!Create(static_cast<int>(pInfo->image_width), static_cast<int>(pInfo->image_height), bGrey ? 8 : 24))
        return false;
    if (bGrey) SetGrayPalette();
    jpeg_start_decompress(pInfo);
    if (pInfo->output_width != pInfo->image_width || pInfo->output_height != pInfo->image_height ||
        pInfo->output_components != (bGrey ? 1 : 3))
        return false;
    const int nHeight = m_header.biHeight;
    while (pInfo->output_scanline < pInfo->output_height)
    {
        JSAMPROW pRow = m_pBits + static_cast<size_t>(nHeight - 1 - pInfo->output_scanline) * m_nEffWidth;
        if (jpeg_read_scanlines(pInfo, &pRow, 1) != 1) return false; // our source never suspends
    }
    jpeg_finish_decompress(pInfo);
    return true;
}

BOOL CImageJPEG::Write(FILE* pFile)
{
    if (!pFile || !m_pDib) return FALSE;
    WriteJob job;
    job.pFile = pFile;
    const bool bOk = WriteFrom(job);
    std::free(job.pRow);
    if (job.bCreated) jpeg_destroy_compress(&job.info);
    return bOk;
}

bool CImageJPEG::WriteFrom(WriteJob& job)
{
    j_compress_ptr pInfo = &job.info;
    SetUpErrors(job.errors);
    pInfo->err = &job.errors.pub;
    if (setjmp(job.errors.jump)) return false;
    jpeg_create_compress(pInfo);
    job.bCreated = true;
    jpeg_stdio_dest(pInfo, job.pFile);
    const bool bPalette = m_header.biBitCount <= 8;
    pInfo->image_width = static_cast<JDIMENSION>(m_header.biWidth);
    pInfo->image_height = static_cast<JDIMENSION>(m_header.biHeight);
    pInfo->input_components = 3;
    pInfo->in_color_space = bPalette ? JCS_RGB : JCS_EXT_BGR; // 24-bit rows go in as they are
    jpeg_set_defaults(pInfo);
    jpeg_set_quality(pInfo, m_nJpegQuality, TRUE);
    if (bPalette)
    {
        job.pRow = static_cast<BYTE*>(std::malloc(static_cast<size_t>(m_header.biWidth) * 3));
        if (!job.pRow) return false;
    }
    jpeg_start_compress(pInfo, TRUE);
    const int nHeight = m_header.biHeight;
    const RGBQUAD* pPalette = GetPalette();
    while (pInfo->next_scanline < pInfo->image_height)
    {
        const int y = nHeight - 1 - static_cast<int>(pInfo->next_scanline);
        JSAMPROW pRow = m_pBits + static_cast<size_t>(y) * m_nEffWidth;
        if (bPalette)
        {
            for (int x = 0; x < m_header.biWidth; ++x)
            {
                const RGBQUAD& entry = pPalette[GetPixelIndex(x, y)];
                job.pRow[3 * x] = entry.rgbRed;
                job.pRow[3 * x + 1] = entry.rgbGreen;
                job.pRow[3 * x + 2] = entry.rgbBlue;
            }
            pRow = job.pRow;
        }
        jpeg_write_scanlines(pInfo, &pRow, 1);
    }
    jpeg_finish_compress(pInfo); // flushes and checks the stream: a write error jumps back
    return true;
}
