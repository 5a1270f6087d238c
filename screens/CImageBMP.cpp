#include "screens/CImageBMP.h"
#include <algorithm>
#include <cstring>

namespace
{
constexpr WORD kBitmapType = 0x4D42; // "BM"
constexpr DWORD kFileHeaderSize = 14;
constexpr DWORD kCoreHeaderSize = 12;

class CStreamSource : public CImageBMP::CSource
{
public:
    explicit CStreamSource(FILE* pFile) : m_pFile(pFile), m_nBase(_ftelli64(pFile)) {}
    size_t Read(void* pTarget, size_t nCount) override { return std::fread(pTarget, 1, nCount, m_pFile); }
    void SeekTo(uint64_t nPosition) override
    {
        // Beyond the end a stream just reads nothing, which is what the reader expects.
        const uint64_t nLimit = INT64_MAX - (m_nBase > 0 ? m_nBase : 0);
        _fseeki64(m_pFile, static_cast<__int64>(std::min(nPosition, nLimit)) + (m_nBase > 0 ? m_nBase : 0), SEEK_SET);
    }

private:
    FILE* m_pFile;
    __int64 m_nBase;
};

class CMemorySource : public CImageBMP::CSource
{
public:
    CMemorySource(const BYTE* pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}
    size_t Read(void* pTarget, size_t nCount) override
    {
        const size_t n = std::min(nCount, m_nSize - m_nPosition);
        if (n) std::memcpy(pTarget, m_pData + m_nPosition, n);
        m_nPosition += n;
        return n;
    }
    void SeekTo(uint64_t nPosition) override
    {
        m_nPosition = static_cast<size_t>(std::min<uint64_t>(nPosition, m_nSize));
    }

private:
    const BYTE* m_pData;
    size_t m_nSize;
    size_t m_nPosition = 0;
};

} // namespace

BOOL CImageBMP::ReadInfoHeader(CSource& source, BITMAPINFOHEADER& header, bool& bCore, DWORD& nHeaderSize)
{
    // The size comes first: a file with a 12-byte header may be shorter than a 40-byte one.
    BYTE size[4];
    if (source.Read(size, 4) != 4) return FALSE;
    nHeaderSize = GetDword(size);
    std::memset(&header, 0, sizeof(header));
    bCore = nHeaderSize == kCoreHeaderSize;
    if (bCore)
    {
        BYTE core[8];
        if (source.Read(core, 8) != 8) return FALSE;
        header.biWidth = GetWord(core);
        header.biHeight = GetWord(core + 2);
        header.biPlanes = GetWord(core + 4);
        header.biBitCount = GetWord(core + 6);
    }
    else
    {
        if (nHeaderSize < sizeof(header)) return TRUE; // an unknown header, refused by the caller
        if (source.Read(reinterpret_cast<BYTE*>(&header) + 4, sizeof(header) - 4) != sizeof(header) - 4) return FALSE;
    }
    header.biSize = sizeof(header);
    const int nBits = header.biBitCount;
    if (header.biSizeImage == 0 && header.biWidth > 0)
        header.biSizeImage =
            static_cast<DWORD>((static_cast<uint64_t>(nBits) * header.biWidth + 31) / 32 * 4 *
                               (header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight));
    if (header.biClrUsed == 0 && nBits <= 8) header.biClrUsed = 1u << nBits;
    return TRUE;
}

BOOL CImageBMP::ReadFrom(CSource& source)
{
    BYTE fileHeader[kFileHeaderSize];
    if (source.Read(fileHeader, kFileHeaderSize) != kFileHeaderSize) return FALSE;
    uint64_t nHeaderAt = kFileHeaderSize;
    DWORD nRowOffset = GetDword(fileHeader + 10);
    if (GetWord(fileHeader) != kBitmapType)
    {
        nHeaderAt = 0; // a bare DIB
        nRowOffset = 0;
        source.SeekTo(0);
    }
    BITMAPINFOHEADER header;
    bool bCore = false;
    DWORD nHeaderSize = 0;
    if (!ReadInfoHeader(source, header, bCore, nHeaderSize)) return FALSE;
    const int nBits = header.biBitCount;
    if ((!bCore && nHeaderSize < sizeof(header)) || header.biCompression != BI_RGB ||
        (nBits != 1 && nBits != 4 && nBits != 8 && nBits != 24))
    {
        SetErrorText("Unsupported BMP format");
        return FALSE;
    }
    const bool bTopDown = header.biHeight < 0;
    const int64_t nHeight = bTopDown ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
    if (nHeight > INT32_MAX)
    {
        SetErrorText("Image too large");
        return FALSE;
    }
    m_header = header;
    if (!Create(header.biWidth, static_cast<int>(nHeight), nBits)) return FALSE;

    // The file's table: a core header's is always full and of 3-byte entries; otherwise it has
    // biClrUsed entries (a full one when 0). Entries the file lacks stay zero.
    const uint64_t nEntrySize = bCore ? 3 : 4;
    const uint64_t nFileEntries = bCore ? (nBits <= 8 ? 1u << nBits : 0) : header.biClrUsed;
    source.SeekTo(nHeaderAt + nHeaderSize);
    const DWORD nKept = static_cast<DWORD>(std::min<uint64_t>(nFileEntries, m_header.biClrUsed));
    if (nKept)
    {
        BYTE* pTable = reinterpret_cast<BYTE*>(GetPalette());
        source.Read(pTable, nKept * nEntrySize);
        if (bCore) // widen in place, from the last entry down
            for (DWORD i = nKept; i-- > 0;)
            {
                const BYTE b = pTable[i * 3], g = pTable[i * 3 + 1], r = pTable[i * 3 + 2];
                pTable[i * 4] = b;
                pTable[i * 4 + 1] = g;
                pTable[i * 4 + 2] = r;
                pTable[i * 4 + 3] = 0;
            }
    }
    // Rows: exactly what the picture needs, whatever the header's image size says; a short file
    // leaves the rest of the (zero-filled) rows as they are.
    source.SeekTo(nRowOffset ? nRowOffset : nHeaderAt + nHeaderSize + nFileEntries * nEntrySize);
    if (!bTopDown)
        source.Read(m_pBits, m_header.biSizeImage);
    else
        for (int y = static_cast<int>(nHeight) - 1; y >= 0; --y)
            if (source.Read(m_pBits + static_cast<size_t>(y) * m_nEffWidth, m_nEffWidth) !=
                static_cast<size_t>(m_nEffWidth))
                break;
    return TRUE;
}

BOOL CImageBMP::Read(FILE* pFile)
{
    if (!pFile) return FALSE;
    CStreamSource source(pFile);
    return ReadFrom(source);
}

BOOL CImageBMP::ReadDib(const BYTE* pData, size_t nSize)
{
    if (!pData) return FALSE;
    CMemorySource source(pData, nSize);
    return ReadFrom(source);
}

BOOL CImageBMP::ReadDib(HGLOBAL hMemory)
{
    if (!hMemory) return FALSE;
    const SIZE_T nSize = ::GlobalSize(hMemory); // never past the block, whatever its headers claim
    const BYTE* pData = static_cast<const BYTE*>(::GlobalLock(hMemory));
    if (!pData) return FALSE;
    const BOOL bOk = ReadDib(pData, nSize);
    ::GlobalUnlock(hMemory);
    return bOk;
}

BOOL CImageBMP::Write(FILE* pFile)
{
    if (!pFile || !m_pDib) return FALSE;
    BYTE fileHeader[kFileHeaderSize] = {};
    PutWord(fileHeader, kBitmapType);
    PutDword(fileHeader + 2, kFileHeaderSize + GetSize());
    PutDword(fileHeader + 10, kFileHeaderSize + m_header.biSize + GetPaletteSize());
    return std::fwrite(fileHeader, 1, kFileHeaderSize, pFile) == kFileHeaderSize &&
           std::fwrite(m_pDib, 1, GetSize(), pFile) == GetSize() && std::fflush(pFile) == 0;
}
