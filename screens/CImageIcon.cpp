#include "screens/CImageIcon.h"
#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;

} // namespace

BOOL CImageIcon::Read(FILE* pFile)
{
    if (!pFile) return FALSE;
    const __int64 nBase = std::max<__int64>(_ftelli64(pFile), 0);
    BYTE directory[kDirectorySize];
    if (std::fread(directory, 1, kDirectorySize, pFile) != kDirectorySize) return FALSE;
    if (GetWord(directory) != 0 || GetWord(directory + 2) != 1 || GetWord(directory + 4) == 0) return FALSE;
    BYTE entry[kEntrySize]; // the first entry is the one read
    if (std::fread(entry, 1, kEntrySize, pFile) != kEntrySize) return FALSE;
    const int nWidth = entry[0] ? entry[0] : 256;
    const int nHeight = entry[1] ? entry[1] : 256;
    const DWORD nImageAt = GetDword(entry + 12);

    // The image must be a DIB of a palette layout: a PNG's or a 32-bit image's bytes are no palette.
    BITMAPINFOHEADER header;
    if (_fseeki64(pFile, nBase + nImageAt, SEEK_SET) != 0) return FALSE;
    if (std::fread(&header, 1, sizeof(header), pFile) != sizeof(header)) return FALSE;
    const int nBits = header.biBitCount;
    if (header.biSize != sizeof(header) || header.biCompression != BI_RGB || (nBits != 1 && nBits != 4 && nBits != 8))
        return FALSE;
    if (!Create(nWidth, nHeight, nBits)) return FALSE;
    m_nTransparentIndex = -1;
    const DWORD nFileEntries =
        header.biClrUsed && header.biClrUsed < m_header.biClrUsed ? header.biClrUsed : m_header.biClrUsed;
    // Short tables and rows stay zero, as the block was made.
    std::fread(GetPalette(), 4, nFileEntries, pFile);
    for (DWORD i = 0; i < nFileEntries; ++i)
        GetPalette()[i].rgbReserved = 0;
    std::fread(m_pBits, 1, m_header.biSizeImage, pFile); // the XOR rows; the AND mask is not needed
    return TRUE;
}

BOOL CImageIcon::Write(FILE* pFile)
{
    if (!pFile || !m_pDib) return FALSE;
    if (m_header.biBitCount > 8 || m_header.biWidth > 255 || m_header.biHeight > 255)
    {
        SetErrorText("Can't save this image as icon");
        return FALSE;
    }
    if (!GetPalette()) return FALSE;
    const DWORD nMaskRow = (m_header.biWidth + 31) / 32 * 4;
    const DWORD nMaskSize = nMaskRow * m_header.biHeight;
    BYTE head[kDirectorySize + kEntrySize] = {};
    PutWord(head + 2, 1);
    PutWord(head + 4, 1);
    BYTE* pEntry = head + kDirectorySize;
    pEntry[0] = static_cast<BYTE>(m_header.biWidth);
    pEntry[1] = static_cast<BYTE>(m_header.biHeight);
    pEntry[2] = static_cast<BYTE>(m_header.biClrUsed);
    PutWord(pEntry + 6, m_header.biBitCount);
    PutDword(pEntry + 8, sizeof(BITMAPINFOHEADER) + GetPaletteSize() + m_header.biSizeImage + nMaskSize);
    PutDword(pEntry + 12, sizeof(head));

    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = m_header.biWidth;
    header.biHeight = m_header.biHeight * 2; // XOR rows and mask
    header.biPlanes = 1;
    header.biBitCount = m_header.biBitCount;
    header.biCompression = BI_RGB;
    header.biSizeImage = m_header.biSizeImage;
    const std::vector<BYTE> mask(nMaskSize, 0); // every pixel opaque
    return std::fwrite(head, 1, sizeof(head), pFile) == sizeof(head) &&
           std::fwrite(&header, 1, sizeof(header), pFile) == sizeof(header) &&
           std::fwrite(GetPalette(), 1, GetPaletteSize(), pFile) == GetPaletteSize() &&
           std::fwrite(m_pBits, 1, m_header.biSizeImage, pFile) == m_header.biSizeImage &&
           std::fwrite(mask.data(), 1, mask.size(), pFile) == mask.size() && std::fflush(pFile) == 0;
}
