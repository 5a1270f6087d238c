#pragma once
#include "screens/CImageCP.h"
#include <cstdint>

struct tiff; // libtiff's open file
// TIFF files (file-type code 5) over libtiff: reads the first page; one sample of 1, 4 or 8 bits
// and plain 8-bit RGB straight from the strips, everything else (YCbCr, grey 16, several samples)
// as 24 bits through libtiff's RGBA reader. Writes a one-page file: PackBits for 8 and 24 bits,
// group 4 fax for 1 bit, uncompressed for 4 bits. LZW files are refused.
class CImageTIFF : public CImageCP
{
public:
    CImageTIFF() : CImageCP(typeTIFF) {}

    virtual BOOL Read(FILE* pFile);
    virtual BOOL Write(FILE* pFile);

private:
    BOOL Fail(const char* pszText);
    bool ReadStrips(tiff* pTiff, int nPhotometric, int nBitsPerSample, uint32_t nRowsPerStrip);
    bool ReadRgba(tiff* pTiff);
    bool ReadPlainRgb(tiff* pTiff, uint32_t nRowsPerStrip);
    bool ReadSmallRgb(tiff* pTiff, int nSamples, int nBitsPerSample, uint32_t nRowsPerStrip);
    template <class TOnLine> bool ForEachLine(tiff* pTiff, size_t nLineBytes, uint32_t nRowsPerStrip, TOnLine onLine);
};
