// CImageCP: rewriting a packed 4- or 8-bit DIB to the entries of a logical palette.
#include "screens/CImageCP.h"
#include <algorithm>
#include <cstring>

namespace
{
// Reads the runs from the source rows and writes the translated bytes to the same places of the
// copy. Every step checks what it is about to read: the walk ends at the block's end whatever the
// runs claim.
void TranslateRle8(const BYTE* pSource, BYTE* pTarget, size_t nSize, const BYTE* map)
{
    size_t i = 0;
    while (nSize - i >= 2)
    {
        const BYTE nCount = pSource[i];
        if (nCount)
        {
            pTarget[i + 1] = map[pSource[i + 1]];
            i += 2;
            continue;
        }
        const BYTE nEscape = pSource[i + 1];
        i += 2;
        if (nEscape == 0) continue; // end of line
        if (nEscape == 1) return;   // end of picture
        if (nEscape == 2)           // delta: two offset bytes
        {
            i += std::min<size_t>(2, nSize - i);
            continue;
        }
        const size_t nRun = std::min<size_t>(nEscape, nSize - i); // absolute run, padded to 16 bits
        for (size_t k = 0; k < nRun; ++k)
            pTarget[i + k] = map[pSource[i + k]];
        i += std::min<size_t>(nEscape + (nEscape & 1), nSize - i);
    }
}
} // namespace

BOOL CImageCP::RemapToPalette(const BYTE* pDib, size_t nSize, HPALETTE hPalette, std::vector<BYTE>& result)
{
    BITMAPINFOHEADER header;
    if (!pDib || !hPalette || nSize < sizeof(header)) return FALSE;
    std::memcpy(&header, pDib, sizeof(header));
    const int nBits = header.biBitCount;
    if ((nBits != 4 && nBits != 8) || header.biSize < sizeof(header) || header.biSize > nSize) return FALSE;
    WORD nEntries = 0;
    if (::GetObjectW(hPalette, sizeof(nEntries), &nEntries) != sizeof(nEntries) || nEntries == 0) return FALSE;
    if (nEntries > (1u << nBits)) return FALSE; // the rows could not name the further entries
    const uint64_t nOldColors = header.biClrUsed ? header.biClrUsed : 1u << nBits;
    const uint64_t nMasks = header.biCompression == BI_BITFIELDS ? 12 : 0;
    const uint64_t nTableAt = header.biSize + nMasks;
    const uint64_t nRowsAt = nTableAt + 4 * nOldColors;
    if (nRowsAt > nSize) return FALSE;

    PALETTEENTRY entries[256];
    if (::GetPaletteEntries(hPalette, 0, nEntries, entries) != nEntries) return FALSE;
    BYTE map[256] = {}; // indexes beyond the old table have no colour: they go to entry 0
    const RGBQUAD* pOld = reinterpret_cast<const RGBQUAD*>(pDib + nTableAt);
    for (uint64_t i = 0; i < std::min<uint64_t>(nOldColors, 256); ++i)
        map[i] = static_cast<BYTE>(
            ::GetNearestPaletteIndex(hPalette, RGB(pOld[i].rgbRed, pOld[i].rgbGreen, pOld[i].rgbBlue)));

    const size_t nRows = nSize - static_cast<size_t>(nRowsAt);
    const size_t nNewRowsAt = static_cast<size_t>(nTableAt) + 4u * nEntries;
    result.assign(nNewRowsAt + nRows, 0);
    std::memcpy(result.data(), pDib, static_cast<size_t>(nTableAt));
    std::memcpy(result.data() + nNewRowsAt, pDib + nRowsAt, nRows);
    reinterpret_cast<BITMAPINFOHEADER*>(result.data())->biClrUsed = nEntries;
    RGBQUAD* pTable = reinterpret_cast<RGBQUAD*>(result.data() + nTableAt);
    for (WORD i = 0; i < nEntries; ++i)
        pTable[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};

    BYTE* pRows = result.data() + nNewRowsAt;
    BYTE* pEnd = pRows + nRows;
    if (header.biCompression == BI_RGB && nBits == 8)
        for (BYTE* p = pRows; p < pEnd; ++p)
            *p = map[*p];
    else if (header.biCompression == BI_RGB && nBits == 4)
        for (BYTE* p = pRows; p < pEnd; ++p)
            *p = static_cast<BYTE>(map[*p >> 4] << 4 | (map[*p & 0x0F] & 0x0F));
    else if (header.biCompression == BI_RLE8 && nBits == 8)
        TranslateRle8(pDib + nRowsAt, pRows, nRows, map);
    return TRUE;
}

BOOL CImageCP::RemapToPalette(HGLOBAL& hDib, HPALETTE hPalette)
{
    if (!hDib) return FALSE;
    const SIZE_T nSize = ::GlobalSize(hDib);
    const BYTE* pDib = static_cast<const BYTE*>(::GlobalLock(hDib));
    if (!pDib) return FALSE;
    std::vector<BYTE> result;
    const BOOL bOk = RemapToPalette(pDib, nSize, hPalette, result);
    ::GlobalUnlock(hDib);
    if (!bOk) return FALSE;
    // The table may grow or shrink, so may the block; the caller's handle follows it.
    HGLOBAL hNew = ::GlobalReAlloc(hDib, result.size(), GMEM_MOVEABLE);
    if (!hNew) return FALSE;
    hDib = hNew;
    BYTE* pTarget = static_cast<BYTE*>(::GlobalLock(hDib));
    if (!pTarget) return FALSE;
    std::memcpy(pTarget, result.data(), result.size());
    ::GlobalUnlock(hDib);
    return TRUE;
}
