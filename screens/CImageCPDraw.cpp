// CImageCP: drawing, and the conversions to and from device-dependent bitmaps.
#include "framework/CClientDC.h"
#include "framework/CHandleOwner.h"
#include "screens/CImageCP.h"
#include <cstring>

namespace
{
const BITMAPINFO* Info(const BYTE* pDib)
{
    return reinterpret_cast<const BITMAPINFO*>(pDib);
}

// Draws the source rectangle through a bitmap like the target's, leaving one colour out.
int DrawThroughMask(HDC hDC, const BYTE* pDib, const BYTE* pBits, COLORREF crTransparent, int x, int y, int cx, int cy,
                    int xSrc, int ySrc, int cxSrc, int cySrc)
{
    RECT rc{x, y, x + cx, y + cy};
    if (!::RectVisible(hDC, &rc)) return 1;
    CMemoryDC memDC(::CreateCompatibleDC(hDC));
    CGdiHandle<HBITMAP> bitmap(::CreateCompatibleBitmap(hDC, cxSrc, cySrc));
    if (!memDC.IsValid() || !bitmap.IsValid()) return 0;
    HGDIOBJ hOld = ::SelectObject(memDC, bitmap);
    ::SetStretchBltMode(memDC, COLORONCOLOR);
    ::StretchDIBits(memDC, 0, 0, cxSrc, cySrc, xSrc, ySrc, cxSrc, cySrc, pBits, Info(pDib), DIB_RGB_COLORS, SRCCOPY);
    const BOOL bOk = CImageCP::TransparentBlitDC(hDC, memDC, crTransparent, x, y, cx, cy, cxSrc, cySrc);
    ::SelectObject(memDC, hOld);
    return bOk;
}
} // namespace

int CImageCP::Draw(HDC hDC, int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc)
{
    if (!m_pDib || !hDC) return 0;
    if (cx == -1) cx = m_header.biWidth;
    if (cy == -1) cy = m_header.biHeight;
    if (cxSrc == -1) cxSrc = m_header.biWidth;
    if (cySrc == -1) cySrc = m_header.biHeight;
    if (m_nTransparentIndex == -1)
    {
        ::SetStretchBltMode(hDC, COLORONCOLOR);
        return ::StretchDIBits(hDC, x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc, m_pBits, Info(m_pDib), DIB_RGB_COLORS,
                               SRCCOPY);
    }
    const RGBQUAD q = GetPaletteColor(m_nTransparentIndex);
    return DrawThroughMask(hDC, m_pDib, m_pBits, RGB(q.rgbRed, q.rgbGreen, q.rgbBlue), x, y, cx, cy, xSrc, ySrc, cxSrc,
                           cySrc);
}

int CImageCP::DrawTransparent(HDC hDC, COLORREF crTransparent, int x, int y, int cx, int cy, int xSrc, int ySrc,
                              int cxSrc, int cySrc)
{
    if (!m_pDib || !hDC) return 1;
    if (cx == -1) cx = m_header.biWidth;
    if (cy == -1) cy = m_header.biHeight;
    if (cxSrc == -1) cxSrc = m_header.biWidth;
    if (cySrc == -1) cySrc = m_header.biHeight;
    DrawThroughMask(hDC, m_pDib, m_pBits, crTransparent, x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc);
    return 1;
}

BOOL CImageCP::TransparentBlitDC(HDC hTarget, HDC hSource, COLORREF crTransparent, int x, int y, int cx, int cy,
                                 int cxSrc, int cySrc)
{
    CMemoryDC maskDC(::CreateCompatibleDC(hTarget));
    CGdiHandle<HBITMAP> mask(::CreateBitmap(cxSrc, cySrc, 1, 1, nullptr));
    if (!maskDC.IsValid() || !mask.IsValid()) return FALSE;
    HGDIOBJ hOldMask = ::SelectObject(maskDC, mask);

    // Colour to monochrome: pixels of the background colour become 1, the mask's transparent part.
    const COLORREF crSourceBack = ::SetBkColor(hSource, crTransparent);
    ::BitBlt(maskDC, 0, 0, cxSrc, cySrc, hSource, 0, 0, SRCCOPY);
    // Monochrome to colour: 0 takes the text colour, 1 the background; ANDed, the transparent
    // pixels of the source turn black so that SRCPAINT leaves the target there.
    const COLORREF crSourceText = ::SetTextColor(hSource, RGB(255, 255, 255));
    ::SetBkColor(hSource, RGB(0, 0, 0));
    ::BitBlt(hSource, 0, 0, cxSrc, cySrc, maskDC, 0, 0, SRCAND);
    ::SetTextColor(hSource, crSourceText);
    ::SetBkColor(hSource, crSourceBack);

    // The target's own colours would tint the mask: black and white as on a fresh context.
    const COLORREF crTargetText = ::SetTextColor(hTarget, RGB(0, 0, 0));
    const COLORREF crTargetBack = ::SetBkColor(hTarget, RGB(255, 255, 255));
    ::SetStretchBltMode(hTarget, COLORONCOLOR);
    const BOOL bOk = ::StretchBlt(hTarget, x, y, cx, cy, maskDC, 0, 0, cxSrc, cySrc, SRCAND) &&
                     ::StretchBlt(hTarget, x, y, cx, cy, hSource, 0, 0, cxSrc, cySrc, SRCPAINT);
    ::SetTextColor(hTarget, crTargetText);
    ::SetBkColor(hTarget, crTargetBack);
    ::SelectObject(maskDC, hOldMask);
    return bOk;
}

BOOL CImageCP::Tile(HDC hDC, const RECT& rc)
{
    if (!m_pDib || !hDC) return FALSE;
    for (LONG y = rc.top; y < rc.bottom; y += m_header.biHeight)
        for (LONG x = rc.left; x < rc.right; x += m_header.biWidth)
            Draw(hDC, x, y);
    return TRUE;
}

HBITMAP CImageCP::MakeBitmap() const
{
    if (!m_pDib) return nullptr;
    CClientDC screen(nullptr);
    if (!screen.GetSafeHdc()) return nullptr;
    return ::CreateDIBitmap(screen, &m_header, CBM_INIT, m_pBits, Info(m_pDib), DIB_RGB_COLORS);
}

BOOL CImageCP::CreateFromBitmap(HBITMAP hBitmap, int nBitCount)
{
    BITMAP bm;
    if (!hBitmap || ::GetObjectW(hBitmap, sizeof(bm), &bm) != sizeof(bm))
    {
        Release();
        return FALSE;
    }
    if (!Create(bm.bmWidth, bm.bmHeight, nBitCount == -1 ? bm.bmBitsPixel : nBitCount)) return FALSE;
    CClientDC screen(nullptr);
    const int nLines = screen.GetSafeHdc() ? ::GetDIBits(screen, hBitmap, 0, bm.bmHeight, m_pBits,
                                                      reinterpret_cast<BITMAPINFO*>(m_pDib), DIB_RGB_COLORS)
                                        : 0;
    // GetDIBits may rewrite header fields; the block keeps the header this image describes.
    std::memcpy(m_pDib, &m_header, sizeof(m_header));
    if (nLines == 0)
    {
        SetErrorText("GetDIBits failed");
        return FALSE;
    }
    return TRUE;
}
