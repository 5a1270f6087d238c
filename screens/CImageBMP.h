#pragma once
#include "screens/CImageCP.h"
// BMP files (file-type code 0): the DIB block is already a BMP file's body, so reading and writing
// mostly move headers. Reads 1-, 4-, 8- and 24-bit uncompressed files with 12-byte core headers,
// 40-byte headers and the larger V4/V5 headers (kept as 40 bytes), bottom-up or top-down, from a
// stream or from memory, with or without the 14-byte file header.
class CImageBMP : public CImageCP
{
public:
    CImageBMP() : CImageCP(typeBMP) {}

    virtual BOOL ReadDib(HGLOBAL hMemory);
    virtual BOOL Read(FILE* pFile);
    virtual BOOL Write(FILE* pFile);
    BOOL ReadDib(const BYTE* pData, size_t nSize);

    // A source the reader walks: a stream or a memory block, positions counted from its start.
    class CSource
    {
    public:
        virtual ~CSource() = default;
        virtual size_t Read(void* pTarget, size_t nCount) = 0;
        virtual void SeekTo(uint64_t nPosition) = 0;
    };
    // Reads the info header at the source's position into `header` (40-byte form); false when the
    // source ends first. `bCore` tells a 12-byte core header, `nHeaderSize` the size the file gave.
    static BOOL ReadInfoHeader(CSource& source, BITMAPINFOHEADER& header, bool& bCore, DWORD& nHeaderSize);

private:
    BOOL ReadFrom(CSource& source);
};
