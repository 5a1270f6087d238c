// CImageCP: single pixels, the palette, whole-picture operations and colour conversions.
#include "screens/CImageCP.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace
{
DWORD EntryFromQuad(const RGBQUAD& q)
{
    DWORD d;
    std::memcpy(&d, &q, sizeof(d));
    return d;
}
RGBQUAD QuadFromEntry(DWORD d)
{
    return RGBQUAD{static_cast<BYTE>(d), static_cast<BYTE>(d >> 8), static_cast<BYTE>(d >> 16), 0};
}
COLORREF ColorRefFromQuad(const RGBQUAD& q)
{
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}
} // namespace

// ---- pixels

BYTE CImageCP::GetPixelIndex(int x, int y) const
{
    const BYTE nOutside = m_nTransparentIndex >= 0 ? static_cast<BYTE>(m_nTransparentIndex) : 0;
    if (!IsInside(x, y) || m_header.biBitCount > 8) return nOutside;
    const BYTE* pRow = m_pBits + static_cast<size_t>(y) * m_nEffWidth;
    switch (m_header.biBitCount)
    {
    case 8:
        return pRow[x];
    case 4:
        return x & 1 ? pRow[x >> 1] & 0x0F : pRow[x >> 1] >> 4;
    default:
        return (pRow[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

void CImageCP::SetPixelIndex(int x, int y, BYTE nIndex)
{
    if (!IsInside(x, y) || m_header.biBitCount > 8) return;
    BYTE* pRow = m_pBits + static_cast<size_t>(y) * m_nEffWidth;
    switch (m_header.biBitCount)
    {
    case 8:
        pRow[x] = nIndex;
        break;
    case 4: // only this pixel's nibble: a larger index must not spill into the neighbour
        if (x & 1)
            pRow[x >> 1] = static_cast<BYTE>((pRow[x >> 1] & 0xF0) | (nIndex & 0x0F));
        else
            pRow[x >> 1] = static_cast<BYTE>((pRow[x >> 1] & 0x0F) | (nIndex & 0x0F) << 4);
        break;
    default: {
        const BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
        pRow[x >> 3] = static_cast<BYTE>(nIndex & 1 ? pRow[x >> 3] | bit : pRow[x >> 3] & ~bit);
    }
    }
}

RGBQUAD CImageCP::GetPixelColor(int x, int y) const
{
    if (!IsInside(x, y)) return m_nTransparentIndex >= 0 ? GetPaletteColor(m_nTransparentIndex) : RGBQUAD{};
    if (m_header.biBitCount <= 8) return GetPaletteColor(GetPixelIndex(x, y));
    const BYTE* p = m_pBits + static_cast<size_t>(y) * m_nEffWidth + x * 3;
    return RGBQUAD{p[0], p[1], p[2], 0};
}

void CImageCP::SetPixelColor(int x, int y, DWORD dwEntryColor)
{
    if (!IsInside(x, y)) return;
    if (m_header.biBitCount <= 8)
    {
        SetPixelIndex(x, y, static_cast<BYTE>(GetNearestIndex(dwEntryColor)));
        return;
    }
    BYTE* p = m_pBits + static_cast<size_t>(y) * m_nEffWidth + x * 3;
    p[0] = static_cast<BYTE>(dwEntryColor);
    p[1] = static_cast<BYTE>(dwEntryColor >> 8);
    p[2] = static_cast<BYTE>(dwEntryColor >> 16);
}

void CImageCP::SetPixelColorRef(int x, int y, COLORREF cr)
{
    SetPixelColor(x, y, SwapColorOrder(cr));
}

// ---- palette

RGBQUAD CImageCP::GetPaletteColor(int nIndex) const
{
    const RGBQUAD* pPalette = GetPalette();
    if (!pPalette || nIndex < 0 || static_cast<DWORD>(nIndex) >= m_header.biClrUsed) return RGBQUAD{};
    return pPalette[nIndex];
}

BOOL CImageCP::GetPaletteColor(int nIndex, BYTE& r, BYTE& g, BYTE& b) const
{
    if (!GetPalette() || nIndex < 0 || static_cast<DWORD>(nIndex) >= m_header.biClrUsed) return FALSE;
    const RGBQUAD q = GetPalette()[nIndex];
    r = q.rgbRed;
    g = q.rgbGreen;
    b = q.rgbBlue;
    return TRUE;
}

void CImageCP::SetPalette(DWORD nCount, const BYTE* pRed, const BYTE* pGreen, const BYTE* pBlue)
{
    RGBQUAD* pPalette = GetPalette();
    if (!pPalette || !pRed) return;
    if (!pGreen) pGreen = pRed;
    if (!pBlue) pBlue = pGreen;
    const DWORD n = std::min(nCount, m_header.biClrUsed);
    for (DWORD i = 0; i < n; ++i)
        pPalette[i] = RGBQUAD{pBlue[i], pGreen[i], pRed[i], 0};
}

void CImageCP::SetPalette(DWORD nCount, const BYTE* pTriplets)
{
    RGBQUAD* pPalette = GetPalette();
    if (!pPalette || !pTriplets) return;
    const DWORD n = std::min(nCount, m_header.biClrUsed);
    for (DWORD i = 0; i < n; ++i)
        pPalette[i] = RGBQUAD{pTriplets[i * 3 + 2], pTriplets[i * 3 + 1], pTriplets[i * 3], 0};
}

void CImageCP::SetPalette(const RGBQUAD* pEntries, DWORD nCount)
{
    RGBQUAD* pPalette = GetPalette();
    if (!pPalette || !pEntries) return;
    std::memcpy(pPalette, pEntries, std::min(nCount, m_header.biClrUsed) * sizeof(RGBQUAD));
}

BOOL CImageCP::SetPaletteEntry(int nIndex, DWORD dwEntryColor)
{
    RGBQUAD* pPalette = GetPalette();
    if (!pPalette || nIndex < 0 || static_cast<DWORD>(nIndex) >= m_header.biClrUsed) return FALSE;
    pPalette[nIndex] = QuadFromEntry(dwEntryColor);
    return TRUE;
}

BOOL CImageCP::SetPaletteColor(int nIndex, BYTE r, BYTE g, BYTE b)
{
    return SetPaletteEntry(nIndex, EntryFromQuad(RGBQUAD{b, g, r, 0}));
}

BOOL CImageCP::SetPaletteColor(int nIndex, COLORREF cr)
{
    return SetPaletteEntry(nIndex, SwapColorOrder(cr));
}

void CImageCP::SetGrayPalette()
{
    RGBQUAD* pPalette = GetPalette();
    if (!pPalette) return;
    for (DWORD i = 0; i < m_header.biClrUsed; ++i)
    {
        const BYTE v = static_cast<BYTE>(i * 256 / m_header.biClrUsed);
        pPalette[i] = RGBQUAD{v, v, v, 0};
    }
}

int CImageCP::FindPaletteIndex(COLORREF cr) const
{
    const RGBQUAD* pPalette = GetPalette();
    if (!pPalette || m_header.biBitCount > 8) return -1;
    for (DWORD i = 0; i < m_header.biClrUsed; ++i)
        if (ColorRefFromQuad(pPalette[i]) == (cr & 0xFFFFFF)) return static_cast<int>(i);
    return -1;
}

int CImageCP::GetNearestIndex(DWORD dwEntryColor) const
{
    const RGBQUAD* pPalette = GetPalette();
    if (!pPalette) return 0;
    const RGBQUAD want = QuadFromEntry(dwEntryColor);
    int nBest = 0;
    long nBestDistance = LONG_MAX;
    for (DWORD i = 0; i < m_header.biClrUsed; ++i)
    {
        const long db = pPalette[i].rgbBlue - want.rgbBlue, dg = pPalette[i].rgbGreen - want.rgbGreen,
                   dr = pPalette[i].rgbRed - want.rgbRed;
        const long nDistance = db * db + dg * dg + dr * dr;
        if (nDistance == 0) return static_cast<int>(i);
        if (nDistance < nBestDistance) // ties keep the earlier entry
        {
            nBestDistance = nDistance;
            nBest = static_cast<int>(i);
        }
    }
    return nBest;
}

BOOL CImageCP::SetTransparentColor(COLORREF cr)
{
    if (!m_pDib) return FALSE;
    // The block's own header says how many entries there are.
    const DWORD nUsed = reinterpret_cast<const BITMAPINFOHEADER*>(m_pDib)->biClrUsed;
    const RGBQUAD* pPalette = reinterpret_cast<const RGBQUAD*>(m_pDib + m_header.biSize);
    for (DWORD i = 0; i < nUsed; ++i)
        if (ColorRefFromQuad(pPalette[i]) == (cr & 0xFFFFFF))
        {
            m_nTransparentIndex = static_cast<int>(i);
            return TRUE;
        }
    return FALSE;
}

int CImageCP::BlendPalette(COLORREF cr, int nPercent)
{
    RGBQUAD* pPalette = GetPalette();
    if (!pPalette) return 0;
    const int p = std::clamp(nPercent, 0, 100);
    const auto blend = [p](int nTo, int nFrom) { return static_cast<BYTE>((nTo * p + nFrom * (100 - p)) / 100); };
    for (DWORD i = 0; i < m_header.biClrUsed; ++i)
    {
        pPalette[i].rgbRed = blend(GetRValue(cr), pPalette[i].rgbRed);
        pPalette[i].rgbGreen = blend(GetGValue(cr), pPalette[i].rgbGreen);
        pPalette[i].rgbBlue = blend(GetBValue(cr), pPalette[i].rgbBlue);
    }
    return static_cast<int>(m_header.biClrUsed);
}

// ---- whole picture

void CImageCP::Clear(BYTE nValue)
{
    if (m_pDib) std::memset(m_pBits, nValue, m_header.biSizeImage);
}

BOOL CImageCP::Negative()
{
    if (!m_pDib) return FALSE;
    if (m_header.biBitCount > 8)
        for (DWORD i = 0; i < m_header.biSizeImage; ++i)
            m_pBits[i] = static_cast<BYTE>(~m_pBits[i]);
    else
        for (DWORD i = 0; i < m_header.biClrUsed; ++i)
        {
            RGBQUAD& q = GetPalette()[i];
            q.rgbBlue = static_cast<BYTE>(~q.rgbBlue);
            q.rgbGreen = static_cast<BYTE>(~q.rgbGreen);
            q.rgbRed = static_cast<BYTE>(~q.rgbRed);
        }
    return TRUE;
}

BOOL CImageCP::Flip()
{
    if (!m_pDib) return FALSE;
    for (int top = m_header.biHeight - 1, bottom = 0; bottom < top; --top, ++bottom)
        std::swap_ranges(m_pBits + static_cast<size_t>(bottom) * m_nEffWidth,
                         m_pBits + static_cast<size_t>(bottom + 1) * m_nEffWidth,
                         m_pBits + static_cast<size_t>(top) * m_nEffWidth);
    return TRUE;
}

BOOL CImageCP::Mirror()
{
    if (!m_pDib) return FALSE;
    const int nWidth = m_header.biWidth;
    for (int y = 0; y < m_header.biHeight; ++y)
    {
        BYTE* pRow = m_pBits + static_cast<size_t>(y) * m_nEffWidth;
        switch (m_header.biBitCount)
        {
        case 8: // the padding at the row's end stays where it is
            std::reverse(pRow, pRow + nWidth);
            break;
        case 24:
            for (int l = 0, r = nWidth - 1; l < r; ++l, --r)
                std::swap_ranges(pRow + l * 3, pRow + l * 3 + 3, pRow + r * 3);
            break;
        default:
            for (int l = 0, r = nWidth - 1; l < r; ++l, --r)
            {
                const BYTE nLeft = GetPixelIndex(l, y);
                SetPixelIndex(l, y, GetPixelIndex(r, y));
                SetPixelIndex(r, y, nLeft);
            }
        }
    }
    return TRUE;
}

BOOL CImageCP::Rotate(double dDegrees)
{
    if (!m_pDib) return FALSE;
    const double dTheta = -dDegrees * std::numbers::pi / 180.0;
    const double c = std::cos(dTheta), s = std::sin(dTheta);
    const double w = m_header.biWidth, h = m_header.biHeight;
    // The corners turned by theta; the new image is their bounding box.
    const double xs[4] = {0, w * c, -h * s, w * c - h * s};
    const double ys[4] = {0, w * s, h * c, w * s + h * c};
    const double xMin = *std::min_element(xs, xs + 4), xMax = *std::max_element(xs, xs + 4);
    const double yMin = *std::min_element(ys, ys + 4), yMax = *std::max_element(ys, ys + 4);
    const int nWidth = std::max(1, static_cast<int>(std::floor(xMax - xMin + 0.5)));
    const int nHeight = std::max(1, static_cast<int>(std::floor(yMax - yMin + 0.5)));
    CImageCP rotated;
    if (!rotated.Create(nWidth, nHeight, m_header.biBitCount))
    {
        SetErrorText(rotated.GetErrorText());
        return FALSE;
    }
    rotated.SetPalette(GetPalette(), m_header.biClrUsed);
    rotated.m_nTransparentIndex = m_nTransparentIndex;
    rotated.m_nJpegQuality = m_nJpegQuality;
    rotated.m_nFrameDelay = m_nFrameDelay;
    const bool bPalette = m_header.biBitCount <= 8;
    const BYTE nOutside = m_nTransparentIndex >= 0 ? static_cast<BYTE>(m_nTransparentIndex) : 0;
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; ++x)
        {
            // Each new pixel's centre turned back into the source: one source pixel per new pixel.
            const double qx = xMin + x + 0.5, qy = yMin + y + 0.5;
            const double px = std::floor(qx * c + qy * s), py = std::floor(qy * c - qx * s);
            const bool bInside = px >= 0 && py >= 0 && px < w && py < h;
            const int sx = bInside ? static_cast<int>(px) : -1, sy = bInside ? static_cast<int>(py) : -1;
            if (bPalette)
                rotated.SetPixelIndex(x, y, bInside ? GetPixelIndex(sx, sy) : nOutside);
            else
                rotated.SetPixelColor(x, y, bInside ? EntryFromQuad(GetPixelColor(sx, sy)) : 0);
        }
    Transfer(&rotated);
    return TRUE;
}

BOOL CImageCP::ForEachColor(ColorFunction pFunction, LPARAM lUser)
{
    if (!m_pDib || !pFunction) return FALSE;
    if (m_header.biBitCount <= 8)
    {
        for (DWORD i = 0; i < m_header.biClrUsed; ++i)
        {
            RGBQUAD& q = GetPalette()[i];
            q = ColorRefToRgbQuad(pFunction(q.rgbRed, q.rgbGreen, q.rgbBlue, lUser));
        }
        return TRUE;
    }
    for (int y = 0; y < m_header.biHeight; ++y)
    {
        BYTE* p = m_pBits + static_cast<size_t>(y) * m_nEffWidth;
        for (int x = 0; x < m_header.biWidth; ++x, p += 3)
        {
            const COLORREF cr = pFunction(p[2], p[1], p[0], lUser);
            p[0] = GetBValue(cr);
            p[1] = GetGValue(cr);
            p[2] = GetRValue(cr);
        }
    }
    return TRUE;
}

BOOL CImageCP::GrayScale()
{
    return ForEachColor(
        [](BYTE r, BYTE g, BYTE b, LPARAM) -> COLORREF {
            const BYTE v = static_cast<BYTE>((r * 30 + g * 59 + b * 11) / 100);
            return RGB(v, v, v);
        },
        0);
}

BOOL CImageCP::ExchangeColors(COLORREF cr1, COLORREF cr2)
{
    struct Pair
    {
        COLORREF a, b;
    } pair{cr1 == CLR_INVALID ? RGB(0, 0, 0) : cr1, cr2 == CLR_INVALID ? RGB(255, 255, 255) : cr2};
    return ForEachColor(
        [](BYTE r, BYTE g, BYTE b, LPARAM lUser) -> COLORREF {
            const Pair& p = *reinterpret_cast<const Pair*>(lUser);
            const COLORREF cr = RGB(r, g, b);
            return cr == p.a ? p.b : cr == p.b ? p.a : cr;
        },
        reinterpret_cast<LPARAM>(&pair));
}

// ---- colour forms

void CImageCP::SwapRedBlue(BYTE* pBuffer, size_t nLength)
{
    if (!pBuffer) return;
    for (size_t i = 0; i + 3 <= nLength; i += 3)
        std::swap(pBuffer[i], pBuffer[i + 2]);
}

RGBQUAD CImageCP::ColorRefToRgbQuad(COLORREF cr)
{
    return RGBQUAD{GetBValue(cr), GetGValue(cr), GetRValue(cr), 0};
}

DWORD CImageCP::SwapColorOrder(DWORD dwColor)
{
    return (dwColor & 0xFF00FF00) | (dwColor & 0xFF) << 16 | (dwColor >> 16 & 0xFF);
}

void CImageCP::RgbToHls(DWORD dwEntryColor, BYTE& l, BYTE& s, BYTE& h)
{
    const int r = (dwEntryColor >> 16) & 0xFF, g = (dwEntryColor >> 8) & 0xFF, b = dwEntryColor & 0xFF;
    const int nMax = std::max({r, g, b}), nMin = std::min({r, g, b});
    const int nL = ((nMax + nMin) * 240 + 255) / 510;
    l = static_cast<BYTE>(nL);
    if (nMax == nMin)
    {
        s = 0;
        h = 160; // no hue
        return;
    }
    const int d = nMax - nMin;
    s = static_cast<BYTE>(nL <= 120 ? (d * 240 + (nMax + nMin) / 2) / (nMax + nMin)
                                    : (d * 240 + (510 - nMax - nMin) / 2) / (510 - nMax - nMin));
    const int rd = ((nMax - r) * 40 + d / 2) / d, gd = ((nMax - g) * 40 + d / 2) / d,
              bd = ((nMax - b) * 40 + d / 2) / d;
    int nH = r == nMax ? bd - gd : g == nMax ? 80 + rd - bd : 160 + gd - rd;
    if (nH < 0) nH += 240;
    if (nH > 240) nH -= 240;
    h = static_cast<BYTE>(nH);
}

RGBQUAD CImageCP::HlsToRgb(BYTE l, BYTE s, BYTE h)
{
    if (s == 0)
    {
        const BYTE v = static_cast<BYTE>(l * 255 / 240);
        return RGBQUAD{v, v, v, 0};
    }
    const int m2 = l <= 120 ? (l * (240 + s) + 120) / 240 : l + s - (l * s + 120) / 240;
    const int m1 = 2 * l - m2;
    const auto component = [m1, m2](int nHue) {
        nHue = ((nHue % 240) + 240) % 240;
        int f;
        if (nHue < 40)
            f = m1 + ((m2 - m1) * nHue + 20) / 40;
        else if (nHue < 120)
            f = m2;
        else if (nHue < 160)
            f = m1 + ((m2 - m1) * (160 - nHue) + 20) / 40;
        else
            f = m1;
        return static_cast<BYTE>((f * 255 + 120) / 240);
    };
    return RGBQUAD{component(h - 80), component(h), component(h + 80), 0};
}

RGBQUAD CImageCP::HlsToRgbSwapped(BYTE h, BYTE s, BYTE l)
{
    return HlsToRgb(l, s, h);
}
