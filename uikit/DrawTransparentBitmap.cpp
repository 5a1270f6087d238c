#include "uikit/DrawTransparentBitmap.h"

namespace
{
// A memory DC compatible with another, with a bitmap of its own selected for its lifetime.
struct CScratchDC
{
    CScratchDC(HDC hLike, HBITMAP hBitmap) : dc(::CreateCompatibleDC(hLike)), bitmap(hBitmap)
    {
        if (dc.IsValid() && bitmap.IsValid()) selection.Attach({dc, ::SelectObject(dc, bitmap)});
    }
    bool IsValid() const { return dc.IsValid() && bitmap.IsValid(); }
    // Members in this order: the selection goes first, then the bitmap, then the DC.
    CMemoryDC dc;
    CGdiHandle<HBITMAP> bitmap;
    CGdiSelectionHandle selection;
};
} // namespace

void DrawTransparentBitmap(CDC* pDC, HBITMAP hBitmap, int x, int y, COLORREF crTransparent, BOOL bDisabled)
{
    if (!pDC || !hBitmap) return;
    const HDC hDC = *pDC;
    BITMAP bm{};
    if (::GetObjectW(hBitmap, sizeof(bm), &bm) != sizeof(bm)) return;
    CMemoryDC source(::CreateCompatibleDC(hDC));
    if (!source.IsValid()) return;
    CGdiSelectionHandle keepSource({source, ::SelectObject(source, hBitmap)});
    ::SetMapMode(source, ::GetMapMode(hDC));
    POINT size{bm.bmWidth, bm.bmHeight};
    ::DPtoLP(source, &size, 1);
    const int w = size.x, h = size.y;

    CScratchDC save(hDC, ::CreateCompatibleBitmap(hDC, w, h));
    CScratchDC mask(hDC, ::CreateBitmap(w, h, 1, 1, nullptr));
    CScratchDC inverse(hDC, ::CreateBitmap(w, h, 1, 1, nullptr));
    CScratchDC composition(hDC, ::CreateCompatibleBitmap(hDC, w, h));
    if (!save.IsValid() || !mask.IsValid() || !inverse.IsValid() || !composition.IsValid()) return;
    for (HDC scratch : {save.dc.Get(), mask.dc.Get(), inverse.dc.Get(), composition.dc.Get()})
        ::SetMapMode(scratch, ::GetMapMode(hDC));

    ::BitBlt(save.dc, 0, 0, w, h, source, 0, 0, SRCCOPY);
    const COLORREF oldBk = ::SetBkColor(source, crTransparent);
    ::BitBlt(mask.dc, 0, 0, w, h, source, 0, 0, SRCCOPY); // 1 where the pixel is transparent
    ::SetBkColor(source, oldBk);
    ::BitBlt(inverse.dc, 0, 0, w, h, mask.dc, 0, 0, NOTSRCCOPY);
    if (bDisabled) ::SetTextColor(composition.dc, ::GetSysColor(COLOR_GRAYTEXT));

    // Mono into colour: 1 takes the background colour (white, the pixel stays), 0 the text colour.
    ::BitBlt(composition.dc, 0, 0, w, h, hDC, x, y, SRCCOPY);
    ::BitBlt(composition.dc, 0, 0, w, h, mask.dc, 0, 0, SRCAND);
    ::BitBlt(source, 0, 0, w, h, inverse.dc, 0, 0, SRCAND);
    ::BitBlt(composition.dc, 0, 0, w, h, source, 0, 0, SRCPAINT);
    ::BitBlt(hDC, x, y, w, h, composition.dc, 0, 0, SRCCOPY);
    ::BitBlt(source, 0, 0, w, h, save.dc, 0, 0, SRCCOPY); // the caller's bitmap as it was
}
