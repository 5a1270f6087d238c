#pragma once
#include "framework/CHandleOwner.h"
// A drawing surface whose pixels a test can read: a 32-bit top-down DIB section selected into a
// memory DC. Colours are read back as COLORREF (0x00BBGGRR), after GdiFlush, so every drawing
// call made on the DC before the read is seen.
class CPixelCanvas
{
public:
    CPixelCanvas(int cx, int cy, COLORREF fill = RGB(255, 255, 255));
    ~CPixelCanvas();
    CPixelCanvas(const CPixelCanvas&) = delete;
    CPixelCanvas& operator=(const CPixelCanvas&) = delete;

    HDC GetDC() const { return m_dc.Get(); }
    HBITMAP GetBitmap() const { return m_bitmap.Get(); }
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }

    void Fill(COLORREF color);
    void Fill(const RECT& rc, COLORREF color);
    // The pixel at (x, y); CLR_INVALID outside the canvas.
    COLORREF GetPixel(int x, int y) const;
    // True when some pixel inside rc (clipped to the canvas) is not `color`.
    bool AnyPixelOtherThan(COLORREF color, const RECT& rc) const;
    // True when some pixel inside rc (clipped to the canvas) is `color`.
    bool AnyPixelOf(COLORREF color, const RECT& rc) const;
    // How many pixels inside rc (clipped to the canvas) are `color`.
    int CountPixels(COLORREF color, const RECT& rc) const;

private:
    RECT Clip(const RECT& rc) const;
    int m_cx;
    int m_cy;
    DWORD* m_bits = nullptr; // owned by the DIB section
    CMemoryDC m_dc;
    CGdiHandle<HBITMAP> m_bitmap;
    HGDIOBJ m_oldBitmap = nullptr;
};
