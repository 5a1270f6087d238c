// CFlatButton: its images, their masks and the grey and darkened copies.
#include "uikit/CFlatButton.h"
#include "framework/CHandleOwner.h"
#include <commctrl.h>
#include <utility>
#include <vector>

namespace
{
constexpr double kDarkenFactor = 0.25;

BYTE Darken(BYTE c)
{
    return static_cast<BYTE>(c - c * kDarkenFactor);
}

COLORREF DarkerColor(COLORREF c)
{
    return RGB(Darken(GetRValue(c)), Darken(GetGValue(c)), Darken(GetBValue(c)));
}

COLORREF GreyColor(COLORREF c)
{
    const auto g = static_cast<BYTE>(0.299 * GetRValue(c) + 0.587 * GetGValue(c) + 0.114 * GetBValue(c));
    return RGB(g, g, g);
}

// A 32-bit DIB pixel (0x00RRGGBB in memory order B, G, R, A) as COLORREF and back, alpha kept.
COLORREF PixelColor(DWORD px)
{
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}
DWORD ColorPixel(COLORREF c, DWORD alphaOf)
{
    return (alphaOf & 0xFF000000) | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

BITMAPINFO TopDown32(int cx, int cy)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

bool BitmapSize(HBITMAP hBitmap, int* pcx, int* pcy)
{
    BITMAP bm{};
    if (!hBitmap || ::GetObjectW(hBitmap, sizeof(bm), &bm) != sizeof(bm)) return false;
    *pcx = bm.bmWidth;
    *pcy = bm.bmHeight;
    return true;
}

// A new screen-compatible bitmap whose pixels are hSource's, each changed by `change` unless
// `keep` says otherwise. Null on failure.
template <class Keep> HBITMAP RecolouredCopy(HBITMAP hSource, COLORREF (*change)(COLORREF), Keep keep)
{
    int cx = 0, cy = 0;
    if (!BitmapSize(hSource, &cx, &cy) || cx <= 0 || cy <= 0) return nullptr;
    CReleasedDCHandle screen({nullptr, ::GetDC(nullptr)});
    BITMAPINFO bi = TopDown32(cx, cy);
    std::vector<DWORD> pixels(static_cast<size_t>(cx) * cy);
    if (::GetDIBits(screen.Get().hDC, hSource, 0, cy, pixels.data(), &bi, DIB_RGB_COLORS) == 0) return nullptr;
    for (DWORD& px : pixels)
        if (!keep(PixelColor(px))) px = ColorPixel(change(PixelColor(px)), px);
    CGdiHandle<HBITMAP> copy(::CreateCompatibleBitmap(screen.Get().hDC, cx, cy));
    if (!copy.IsValid()) return nullptr;
    bi = TopDown32(cx, cy);
    if (::SetDIBits(screen.Get().hDC, copy, 0, cy, pixels.data(), &bi, DIB_RGB_COLORS) == 0) return nullptr;
    return copy.Detach();
}

// A monochrome mask, 1 where the bitmap has the transparent colour; those pixels of the bitmap
// become black, so drawing needs only SRCAND of the mask and SRCPAINT of the bitmap.
HBITMAP MakeMask(HBITMAP hBitmap, int cx, int cy, COLORREF crTransparent)
{
    CGdiHandle<HBITMAP> mask(::CreateBitmap(cx, cy, 1, 1, nullptr));
    CMemoryDC dcImage(::CreateCompatibleDC(nullptr));
    CMemoryDC dcMask(::CreateCompatibleDC(nullptr));
    if (!mask.IsValid() || !dcImage.IsValid() || !dcMask.IsValid()) return nullptr;
    CGdiSelectionHandle keepImage({dcImage, ::SelectObject(dcImage, hBitmap)});
    CGdiSelectionHandle keepMask({dcMask, ::SelectObject(dcMask, mask)});
    ::SetBkColor(dcImage, crTransparent);
    ::BitBlt(dcMask, 0, 0, cx, cy, dcImage, 0, 0, SRCCOPY);
    // Mono to colour: 1 becomes the background colour (white), 0 the text colour (black).
    ::SetBkColor(dcImage, RGB(255, 255, 255));
    ::SetTextColor(dcImage, RGB(0, 0, 0));
    constexpr DWORD kDestAndNotSource = 0x00220326;
    ::BitBlt(dcImage, 0, 0, cx, cy, dcMask, 0, 0, kDestAndNotSource);
    keepMask.Close();
    return mask.Detach();
}

HICON RecolouredIcon(HICON hIcon, COLORREF (*change)(COLORREF))
{
    ICONINFO info{};
    if (!::GetIconInfo(hIcon, &info)) return nullptr;
    CGdiHandle<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
    if (!colour.IsValid()) return nullptr;
    // Black pixels are the transparent ones of an icon's colour bitmap: they stay black.
    CGdiHandle<HBITMAP> changed(RecolouredCopy(colour, change, [](COLORREF c) { return c == RGB(0, 0, 0); }));
    if (!changed.IsValid()) return nullptr;
    ICONINFO made = info;
    made.hbmColor = changed;
    made.hbmMask = mask;
    return ::CreateIconIndirect(&made);
}

using LoadIconWithScaleDownFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

HICON LoadScaledIcon(int nId, int cx, int cy)
{
    LPCWSTR name = MAKEINTRESOURCEW(nId);
    HINSTANCE hInst = AfxFindResourceHandle(name, RT_GROUP_ICON);
    // Bound at run time: older common controls (and MinGW's import library) lack it.
    if (HMODULE hComctl = ::GetModuleHandleW(L"comctl32.dll"))
        if (auto pfn = reinterpret_cast<LoadIconWithScaleDownFunction>(
                reinterpret_cast<void (*)()>(::GetProcAddress(hComctl, "LoadIconWithScaleDown"))))
        {
            HICON hIcon = nullptr;
            if (SUCCEEDED(pfn(hInst, name, cx, cy, &hIcon)) && hIcon) return hIcon;
        }
    return static_cast<HICON>(::LoadImageW(hInst, name, IMAGE_ICON, cx, cy, 0));
}

bool IconSize(HICON hIcon, int* pcx, int* pcy)
{
    ICONINFO info{};
    if (!hIcon || !::GetIconInfo(hIcon, &info)) return false;
    CGdiHandle<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
    *pcx = static_cast<int>(info.xHotspot * 2);
    *pcy = static_cast<int>(info.yHotspot * 2);
    return true;
}
} // namespace

void CFlatButton::FreeImages()
{
    for (auto& icon : m_icons)
        icon = SIconImage{};
    for (auto& bitmap : m_bitmaps)
        bitmap = SBitmapImage{};
}

DWORD CFlatButton::SetIcon(int nIconIn, int nIconOut)
{
    return SetIconResources(nIconIn, 0, 0, nIconOut, 0, 0);
}

DWORD CFlatButton::SetIconResources(int nIconIn, int cxIn, int cyIn, int nIconOut, int cxOut, int cyOut)
{
    if (cxIn == 0 || cyIn == 0 || cxOut == 0 || cyOut == 0)
    {
        const SIZE def = GetDefaultIconSize(this);
        cxIn = cxOut = def.cx;
        cyIn = cyOut = def.cy;
    }
    HICON hIn = LoadScaledIcon(nIconIn, cxIn, cyIn);
    HICON hOut = nullptr;
    if (nIconOut == FB_AUTO_GREY || nIconOut == FB_AUTO_DARKER)
        hOut = reinterpret_cast<HICON>(static_cast<INT_PTR>(nIconOut));
    else if (nIconOut != 0)
        hOut = LoadScaledIcon(nIconOut, cxOut, cyOut);
    return SetIconHandles(hIn, hOut);
}

DWORD CFlatButton::SetIconHandles(HICON hIconIn, HICON hIconOut)
{
    FreeImages();
    const auto special = reinterpret_cast<INT_PTR>(hIconOut);
    const bool bDerived = special == FB_AUTO_GREY || special == FB_AUTO_DARKER;
    // Both icons are ours from here on, whatever we answer: the caller cannot tell which one we
    // kept, so every early return must still free the other.
    CIconHandle in(hIconIn);
    CIconHandle out(bDerived ? nullptr : hIconOut);
    int cx = 0, cy = 0;
    if (!IconSize(in, &cx, &cy))
    {
        Repaint(TRUE);
        return FLATBTN_BADRESOURCE;
    }
    if (bDerived) out.Attach(RecolouredIcon(in, special == FB_AUTO_GREY ? &GreyColor : &DarkerColor));
    m_icons[0].hIcon = std::move(in);
    m_icons[0].cx = cx;
    m_icons[0].cy = cy;
    if (out.IsValid())
    {
        if (!IconSize(out, &cx, &cy))
        {
            FreeImages();
            Repaint(TRUE);
            return FLATBTN_BADRESOURCE;
        }
        m_icons[1].hIcon = std::move(out);
        m_icons[1].cx = cx;
        m_icons[1].cy = cy;
    }
    Repaint(TRUE);
    return FLATBTN_OK;
}

DWORD CFlatButton::SetBitmaps(int nBitmapIn, COLORREF crTransIn, int nBitmapOut, COLORREF crTransOut)
{
    LPCWSTR nameIn = MAKEINTRESOURCEW(nBitmapIn);
    HINSTANCE hInst = AfxFindResourceHandle(nameIn, RT_BITMAP);
    auto load = [hInst](int nId) {
        return static_cast<HBITMAP>(::LoadImageW(hInst, MAKEINTRESOURCEW(nId), IMAGE_BITMAP, 0, 0, 0));
    };
    HBITMAP hIn = load(nBitmapIn);
    HBITMAP hOut = nullptr;
    if (nBitmapOut == FB_AUTO_GREY || nBitmapOut == FB_AUTO_DARKER)
        hOut = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(nBitmapOut));
    else if (nBitmapOut != 0)
        hOut = load(nBitmapOut);
    return SetBitmapHandles(hIn, crTransIn, hOut, crTransOut);
}

DWORD CFlatButton::SetBitmapHandles(HBITMAP hBitmapIn, COLORREF crTransIn, HBITMAP hBitmapOut, COLORREF crTransOut)
{
    FreeImages();
    const auto special = reinterpret_cast<INT_PTR>(hBitmapOut);
    const bool bDerived = special == FB_AUTO_GREY || special == FB_AUTO_DARKER;
    // Both bitmaps are ours from here on, whatever we answer (see SetIconHandles).
    CGdiHandle<HBITMAP> in(hBitmapIn);
    CGdiHandle<HBITMAP> out(bDerived ? nullptr : hBitmapOut);
    if (!in.IsValid())
    {
        Repaint(TRUE);
        return FLATBTN_OK;
    }
    auto fail = [this](DWORD result) {
        FreeImages();
        return result;
    };
    SBitmapImage& first = m_bitmaps[0];
    first.hBitmap = std::move(in);
    first.crTransparent = crTransIn;
    if (!BitmapSize(first.hBitmap, &first.cx, &first.cy)) return fail(FLATBTN_BADRESOURCE);
    if (bDerived)
    {
        // Made before the mask turns the transparent pixels of the first bitmap black.
        out.Attach(RecolouredCopy(first.hBitmap, special == FB_AUTO_GREY ? &GreyColor : &DarkerColor,
                                  [crTransIn](COLORREF c) { return c == crTransIn; }));
        crTransOut = crTransIn;
        if (!out.IsValid()) return fail(FLATBTN_BADRESOURCE);
    }
    first.hMask.Attach(MakeMask(first.hBitmap, first.cx, first.cy, crTransIn));
    if (!first.hMask.IsValid()) return fail(FLATBTN_BADMASK);
    if (out.IsValid())
    {
        SBitmapImage& second = m_bitmaps[1];
        second.hBitmap = std::move(out);
        second.crTransparent = crTransOut;
        if (!BitmapSize(second.hBitmap, &second.cx, &second.cy)) return fail(FLATBTN_BADRESOURCE);
        second.hMask.Attach(MakeMask(second.hBitmap, second.cx, second.cy, crTransOut));
        if (!second.hMask.IsValid()) return fail(FLATBTN_BADMASK);
    }
    Repaint(TRUE);
    return FLATBTN_OK;
}

SIZE CFlatButton::GetDefaultIconSize(const CWnd* pWnd)
{
    SIZE size{::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)};
    CRect rc;
    if (pWnd && pWnd->m_hWnd) pWnd->GetWindowRect(&rc);
    if (pWnd && pWnd->m_hWnd && (rc.Width() < size.cx || rc.Height() < size.cy))
        size = {::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)};
    return size;
}
