#include "framework/testing/CPixelCanvas.h"
#include <algorithm>
#include <stdexcept>

namespace
{
DWORD ToPixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
COLORREF ToColor(DWORD p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }
} // namespace

CPixelCanvas::CPixelCanvas(int cx, int cy, COLORREF fill) : m_cx(cx), m_cy(cy)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy; // top-down: row 0 first
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_dc.Attach(::CreateCompatibleDC(nullptr));
    m_bitmap.Attach(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!m_dc.IsValid() || !m_bitmap.IsValid() || !bits) throw std::runtime_error("pixel canvas not created");
    m_bits = static_cast<DWORD*>(bits);
    m_oldBitmap = ::SelectObject(m_dc, m_bitmap);
    Fill(fill);
}

CPixelCanvas::~CPixelCanvas()
{
    // The bitmap leaves the DC before either is deleted.
    if (m_oldBitmap) ::SelectObject(m_dc, m_oldBitmap);
}

void CPixelCanvas::Fill(COLORREF color) { Fill(RECT{0, 0, m_cx, m_cy}, color); }

void CPixelCanvas::Fill(const RECT& rc, COLORREF color)
{
    ::GdiFlush();
    const RECT r = Clip(rc);
    for (int y = r.top; y < r.bottom; ++y)
        std::fill(m_bits + y * m_cx + r.left, m_bits + y * m_cx + r.right, ToPixel(color));
}

COLORREF CPixelCanvas::GetPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_cx || y >= m_cy) return CLR_INVALID;
    ::GdiFlush();
    return ToColor(m_bits[y * m_cx + x]);
}

RECT CPixelCanvas::Clip(const RECT& rc) const
{
    return RECT{std::max<LONG>(rc.left, 0), std::max<LONG>(rc.top, 0), std::min<LONG>(rc.right, m_cx),
                std::min<LONG>(rc.bottom, m_cy)};
}

int CPixelCanvas::CountPixels(COLORREF color, const RECT& rc) const
{
    ::GdiFlush();
    const RECT r = Clip(rc);
    const DWORD want = ToPixel(color);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if ((m_bits[y * m_cx + x] & 0xFFFFFF) == want) ++n;
    return n;
}

bool CPixelCanvas::AnyPixelOf(COLORREF color, const RECT& rc) const { return CountPixels(color, rc) > 0; }

bool CPixelCanvas::AnyPixelOtherThan(COLORREF color, const RECT& rc) const
{
    const RECT r = Clip(rc);
    const int area = std::max<LONG>(0, r.right - r.left) * std::max<LONG>(0, r.bottom - r.top);
    return CountPixels(color, rc) < area;
}
