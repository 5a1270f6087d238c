#pragma once
// What the image tests share: the patterns the fixture script draws too, the folders it fills,
// and block allocators that count blocks and end each at a no-access page.
#include "tests/support/ZipTestSupport.h"
#include "screens/CImageCP.h"
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

namespace ImageTest
{
using ZipTest::Bytes;

// The patterns of image_fixtures.py; rows count from the top of the picture.
inline int Index(int x, int row, int n)
{
    return (x * 7 + row * 13) % n;
}
inline COLORREF PaletteColor(int i)
{
    return RGB(i * 37 % 256, i * 91 % 256, (i * 53 + 17) % 256);
}
inline COLORREF PatternColor(int x, int row)
{
    return RGB((x * 31 + row * 7) % 256, (x * 11 + row * 29) % 256, (x * 5 + row * 3 + 77) % 256);
}
inline COLORREF ToColorRef(const RGBQUAD& q)
{
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

enum class Pattern
{
    None,    // not compared
    Indexed, // palette index pattern over n entries, palette entry i = PaletteColor(i)
    Gray,    // grey level = index pattern over n
    Mono,    // black for index 0, white for 1
    Rgb      // PatternColor
};
inline COLORREF Expected(Pattern pattern, int x, int row, int n)
{
    switch (pattern)
    {
    case Pattern::Gray: {
        const int v = Index(x, row, n);
        return RGB(v, v, v);
    }
    case Pattern::Mono:
        return Index(x, row, 2) ? RGB(255, 255, 255) : RGB(0, 0, 0);
    case Pattern::Rgb:
        return PatternColor(x, row);
    default:
        return PaletteColor(Index(x, row, n));
    }
}
// Fills an image with a pattern (palette included for palette images).
inline void DrawPattern(CImageCP& image, int n)
{
    for (int i = 0; i < image.GetColorsUsed(); ++i)
        image.SetPaletteColor(i, PaletteColor(i));
    const int h = image.GetHeight();
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetBitCount() <= 8)
                image.SetPixelIndex(x, h - 1 - row, static_cast<BYTE>(Index(x, row, n)));
            else
                image.SetPixelColorRef(x, h - 1 - row, PatternColor(x, row));
}
// The first pixel that differs from the pattern, as text; empty when all agree.
inline std::string FirstDifference(const CImageCP& image, Pattern pattern, int n)
{
    const int h = image.GetHeight();
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < image.GetWidth(); ++x)
        {
            const COLORREF got = ToColorRef(image.GetPixelColor(x, h - 1 - row));
            const COLORREF want = Expected(pattern, x, row, n);
            if (got != want)
            {
                char text[96];
                snprintf(text, sizeof(text), "(%d, %d): %06lX, expected %06lX", x, row, got, want);
                return text;
            }
        }
    return {};
}

// Folders of the fixture script, seen through Wine's drive Z:.
inline std::wstring MadePath(const wchar_t* name)
{
    return std::wstring(LUMO_IMAGE_DATA L"/made/") + name;
}
inline std::wstring WrittenPath(const wchar_t* name)
{
    return std::wstring(LUMO_IMAGE_DATA L"/written/") + name;
}
inline Bytes ReadMade(const wchar_t* name)
{
    Bytes bytes;
    EXPECT_TRUE(ZipTest::ReadWholeFile(MadePath(name), bytes)) << "fixture missing";
    return bytes;
}

// While it lives, every image block comes from here: counted, and each placed before a no-access
// page so that a write past its end crashes the test. Blocks above the limit are refused, as
// when memory runs out.
class CGuardedBlocks
{
public:
    explicit CGuardedBlocks(size_t nLimit = 16u << 20)
    {
        s_pSelf = this;
        m_nLimit = nLimit;
        CImageBase::SetBlockAllocator(Alloc, Free);
    }
    ~CGuardedBlocks()
    {
        CImageBase::SetBlockAllocator(nullptr, nullptr);
        s_pSelf = nullptr;
    }
    CGuardedBlocks(const CGuardedBlocks&) = delete;
    CGuardedBlocks& operator=(const CGuardedBlocks&) = delete;
    int Allocations() const { return m_nAllocations; } // blocks asked for, given or not
    size_t Live() const { return m_blocks.size(); }

private:
    static void* Alloc(size_t nBytes)
    {
        ++s_pSelf->m_nAllocations;
        if (nBytes > s_pSelf->m_nLimit) return nullptr;
        auto block = std::make_unique<ZipTest::CGuardedBytes>(Bytes(nBytes, 0));
        void* p = block->Data();
        if (!p) return nullptr;
        s_pSelf->m_blocks[p] = std::move(block);
        return p;
    }
    static void Free(void* p) { s_pSelf->m_blocks.erase(p); }

    static inline CGuardedBlocks* s_pSelf = nullptr;
    size_t m_nLimit = 0;
    int m_nAllocations = 0;
    std::map<void*, std::unique_ptr<ZipTest::CGuardedBytes>> m_blocks;
};
} // namespace ImageTest
