// The theme library loader, the themed image button (classic drawing on Wine's common controls
// 5.81, themed logic through a forced probe and a loader double) and DrawTransparentBitmap.
#include "framework/CDC.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/DrawItemRequest.h"
#include "framework/testing/MessagePump.h"
#include "uikit/CThemedImageButton.h"
#include "uikit/CUxThemeLibrary.h"
#include "uikit/DrawTransparentBitmap.h"
#include "uikit/VisualStyles.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

namespace
{
// Calls a member with value-initialised arguments (null handles and pointers, zero numbers).
template <class R, class... A> R CallWithDefaults(IUxThemeLibrary& lib, R (IUxThemeLibrary::*member)(A...))
{
    return (lib.*member)(A{}...);
}

// The Part's fallbacks by result kind: E_FAIL for the HRESULT members, white for
// GetThemeSysColor, zero for the others. 1 when a result was checked.
template <class R, class... A>
int CheckFallback(IUxThemeLibrary& lib, R (IUxThemeLibrary::*member)(A...), const char* name)
{
    if constexpr (std::is_void_v<R>)
    {
        CallWithDefaults(lib, member);
        return 0;
    }
    else if constexpr (std::is_same_v<R, HRESULT>)
    {
        EXPECT_EQ(CallWithDefaults(lib, member), E_FAIL) << name;
        return 1;
    }
    else
    {
        const UINT_PTR expected = std::string(name) == "GetThemeSysColor" ? 0xFFFFFF : 0;
        EXPECT_EQ((UINT_PTR)(CallWithDefaults(lib, member)), expected) << name;
        return 1;
    }
}

std::vector<std::string> ThemeFunctionNames()
{
    std::vector<std::string> names;
#define LUMO_TEST_NAME(result, name, fallback, params, args) names.push_back(#name);
    LUMO_UXTHEME_FUNCTIONS(LUMO_TEST_NAME)
#undef LUMO_TEST_NAME
    return names;
}

TEST(UxThemeLibrary, AllFunctionsResolveInTheRealLibrary)
{
    const std::vector<std::string> names = ThemeFunctionNames();
    EXPECT_EQ(names.size(), 47u);
    CLibraryHandle uxtheme(::LoadLibraryW(L"UxTheme.dll"));
    ASSERT_TRUE(uxtheme.IsValid());
    for (const auto& name : names)
        EXPECT_NE(::GetProcAddress(uxtheme, name.c_str()), nullptr) << name;
    CUxThemeLibrary library;
    EXPECT_TRUE(library.IsLoaded());
}

TEST(UxThemeLibrary, WithoutTheLibraryOrItsExportsEveryMemberFails)
{
    for (const wchar_t* libraryName : {L"NoSuchThemeLibrary.dll", L"kernel32.dll"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(libraryName)));
        CUxThemeLibrary library(libraryName);
        IUxThemeLibrary& lib = library;
        int checked = 0;
#define LUMO_TEST_FALLBACK(result, name, fallback, params, args)                                                       \
    checked += CheckFallback(lib, &IUxThemeLibrary::name, #name);
        LUMO_UXTHEME_FUNCTIONS(LUMO_TEST_FALLBACK)
#undef LUMO_TEST_FALLBACK
        EXPECT_EQ(checked, 46) << "34 HRESULT members and 12 others; SetThemeAppProperties has no result";
    }
}

// The theme functions the button uses, answering as an active theme would, with the calls logged.
class CRecordingTheme : public CUxThemeLibrary
{
public:
    CRecordingTheme() : CUxThemeLibrary(L"NoSuchThemeLibrary.dll") {}
    std::vector<int> m_backgroundStates;
    std::vector<int> m_contentStates;
    int m_parentBackgrounds = 0;
    int m_opened = 0, m_closed = 0;
    BOOL IsAppThemed() override { return TRUE; }
    BOOL IsThemeActive() override { return TRUE; }
    HTHEME OpenThemeData(HWND, LPCWSTR classes) override
    {
        ++m_opened;
        return std::wstring(classes) == L"BUTTON" ? reinterpret_cast<HTHEME>(0x1234) : nullptr;
    }
    HRESULT CloseThemeData(HTHEME) override
    {
        ++m_closed;
        return S_OK;
    }
    HRESULT DrawThemeParentBackground(HWND, HDC, RECT*) override
    {
        ++m_parentBackgrounds;
        return S_OK;
    }
    HRESULT DrawThemeBackground(HTHEME, HDC, int part, int state, const RECT*, const RECT*) override
    {
        EXPECT_EQ(part, 1) << "the push button part";
        m_backgroundStates.push_back(state);
        return S_OK;
    }
    HRESULT GetThemeBackgroundContentRect(HTHEME, HDC, int, int state, const RECT* pBounds, RECT* pContent) override
    {
        m_contentStates.push_back(state);
        *pContent = *pBounds;
        ::InflateRect(pContent, -3, -3);
        return S_OK;
    }
    int m_textHeight = 16; // the caption's height as the theme measures it
    std::vector<CRect> m_textRects;
    std::vector<DWORD> m_textFlags;
    HRESULT GetThemeTextExtent(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, const RECT* pBounds, RECT* pExtent) override
    {
        *pExtent = {pBounds->left, pBounds->top, pBounds->left + 20, pBounds->top + m_textHeight};
        return S_OK;
    }
    HRESULT DrawThemeText(HTHEME, HDC, int, int, LPCWSTR, int, DWORD flags, DWORD, const RECT* pRect) override
    {
        m_textRects.emplace_back(*pRect);
        m_textFlags.push_back(flags);
        return S_OK;
    }
};

// A bitmap of one colour, of its own (the button keeps the caller's bitmap and records its size in it).
CGdiHandle<HBITMAP> SolidDib(int cx, int cy, COLORREF color)
{
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB};
    void* bits = nullptr;
    CGdiHandle<HBITMAP> bitmap(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bits)
        std::fill_n(static_cast<DWORD*>(bits), static_cast<size_t>(cx) * cy,
                    (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color));
    return bitmap;
}

class ThemedButtonTest : public CSuiteParentTestOf<CRecordingParent, 300, 200>
{
protected:
    static void TearDownTestSuite()
    {
        CSuiteParentTestOf::TearDownTestSuite();
        ResetCommonControlsProbe();
    }
};

// A 4x4 icon with a 24-bit colour bitmap, all opaque, whose top row holds the given colours.
HICON MaskedIcon(const std::vector<COLORREF>& topRow)
{
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, -4, 1, 24, BI_RGB};
    void* bits = nullptr;
    HBITMAP colour = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* rows = static_cast<BYTE*>(bits);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
        {
            const COLORREF c = y == 0 && x < static_cast<int>(topRow.size()) ? topRow[x] : RGB(0, 0, 0);
            BYTE* px = rows + y * 12 + x * 3;
            px[0] = GetBValue(c);
            px[1] = GetGValue(c);
            px[2] = GetRValue(c);
        }
    HBITMAP mask = ::CreateBitmap(4, 4, 1, 1, nullptr);
    ICONINFO info{TRUE, 2, 2, mask, colour};
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
    return icon;
}

void DrawOwner(CThemedImageButton& button, CPixelCanvas& canvas, UINT itemState)
{
    DRAWITEMSTRUCT dis =
        DrawItemRequest(button, canvas.GetDC(), {0, 0, canvas.Width(), canvas.Height()}, ODT_BUTTON, itemState);
    button.DrawItem(&dis);
}

TEST_F(ThemedButtonTest, ClassicFlatIconButtonRaisesItsBorderUnderTheMouse)
{
    ResetCommonControlsProbe();
    ASSERT_FALSE(AreVisualStylesAvailable()) << "Wine's common controls report 5.81";
    CThemedImageButton button;
    ASSERT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE | BS_ICON | BS_FLAT, CRect(10, 10, 50, 50), s_parent, 21));
    EXPECT_EQ(button.GetStyle() & 0x0F, static_cast<DWORD>(BS_OWNERDRAW));
    ::SetCursorPos(500, 500);
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT), face = ::GetSysColor(COLOR_BTNFACE);
    CPixelCanvas canvas(40, 40, RGB(1, 2, 3));
    // Drawn before pumping: the leave tracking fires at once while the pointer is elsewhere.
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(button.IsHovered());
    DrawOwner(button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(0, 0), highlight) << "raised border";
    button.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(button.IsHovered());
    DrawOwner(button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(0, 0), face) << "no border when the mouse left";
    PumpUntilIdle();
}

TEST_F(ThemedButtonTest, ToggleFlipsPerPressAndDisablingReleasesIt)
{
    CThemedImageButton button(FALSE, TRUE);
    ASSERT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE | BS_BITMAP, CRect(60, 10, 100, 50), s_parent, 22));
    button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(button.IsToggled());
    CPixelCanvas canvas(40, 40);
    DrawOwner(button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(0, 0), ::GetSysColor(COLOR_BTNSHADOW)) << "a toggled button is drawn pressed";
    button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(button.IsToggled());
    button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(button.IsToggled());
    button.EnableWindow(FALSE);
    EXPECT_FALSE(button.IsToggled());
    EXPECT_FALSE(button.IsWindowEnabled());
    PumpUntilIdle();
}

TEST_F(ThemedButtonTest, DisabledIconShowsGreysOfReducedContrast)
{
    CThemedImageButton button;
    ASSERT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE | BS_ICON, CRect(110, 10, 134, 34), s_parent, 23));
    CIconHandle icon(MaskedIcon({RGB(0, 0, 0), RGB(255, 255, 255), RGB(100, 150, 200)}));
    button.SetIcon(icon);
    ASSERT_EQ(button.GetIcon(), icon.Get());
    button.EnableWindow(FALSE);
    CPixelCanvas canvas(24, 24);
    DrawOwner(button, canvas, ODS_DISABLED);
    // Inner rectangle (2,2)-(22,22); the 4x4 icon is centred at (10,10).
    EXPECT_EQ(canvas.GetPixel(10, 10), RGB(20, 20, 20));
    EXPECT_EQ(canvas.GetPixel(11, 10), RGB(236, 236, 236));
    EXPECT_EQ(canvas.GetPixel(12, 10), RGB(140, 140, 140));
    button.EnableWindow(TRUE);
    DrawOwner(button, canvas, 0);
    EXPECT_EQ(canvas.GetPixel(12, 10), RGB(100, 150, 200)) << "enabled, the icon keeps its colours";
}

TEST_F(ThemedButtonTest, BitmapWiderThanTheButtonStartsAtTheInnerLeftEdge)
{
    ResetCommonControlsProbe();
    ASSERT_FALSE(AreVisualStylesAvailable());
    const COLORREF image = RGB(10, 20, 200);
    CGdiHandle<HBITMAP> wide = SolidDib(60, 10, image);
    CThemedImageButton button;
    ASSERT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE | BS_BITMAP, CRect(140, 10, 180, 50), s_parent, 26));
    button.SetBitmap(wide, RGB(255, 0, 255));
    CPixelCanvas canvas(40, 40);
    DrawOwner(button, canvas, 0);
    // Inner rectangle (2,2)-(38,38): too narrow for 60 pixels, so no centring; vertically centred.
    EXPECT_EQ(canvas.GetPixel(2, 15), image);
    EXPECT_EQ(canvas.GetPixel(2, 24), image);
    EXPECT_NE(canvas.GetPixel(1, 15), image) << "not centred, which would start left of the button";
    EXPECT_NE(canvas.GetPixel(2, 14), image);
    PumpUntilIdle();
}

TEST_F(ThemedButtonTest, CaptionBelowTheImageSharesTheRoomInThreeGaps)
{
    OverrideCommonControlsVersion(6);
    CRecordingTheme theme;
    SetUxThemeLibrary(&theme);
    const COLORREF image = RGB(10, 20, 200);
    CGdiHandle<HBITMAP> recorded = SolidDib(10, 10, image), direct = SolidDib(10, 10, image);
    CThemedImageButton button(TRUE, FALSE);
    ASSERT_TRUE(button.Create(L"Go", WS_CHILD | WS_VISIBLE | BS_BITMAP, CRect(200, 10, 240, 76), s_parent, 27));
    // The content rectangle is the button's less 3 pixels: (3,3)-(37,63), 60 high; the 10x10
    // image is centred horizontally at x 15.
    struct LayoutCase
    {
        bool bRecorded;
        int textHeight;
        CRect caption;
        int imageTop;
        const char* why;
    };
    const LayoutCase cases[] = {
        {true, 16, CRect(3, 35, 37, 52), 14, "gap (60-16-10)/3 = 11 around image and caption"},
        {false, 16, CRect(3, 31, 37, 49), 13, "BM_SETIMAGE records no height: gap (60-16)/3 = 14"},
        {true, 60, CRect(3, 7, 37, 66), 3, "a caption taller than the room: gap -10/3 = -3, above the image bottom"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        if (c.bRecorded)
            button.SetBitmap(recorded, RGB(255, 0, 255));
        else
            button.SendMessage(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(direct.Get()));
        theme.m_textHeight = c.textHeight;
        theme.m_textRects.clear();
        theme.m_textFlags.clear();
        CPixelCanvas canvas(40, 66);
        NMCUSTOMDRAW draw{};
        draw.hdr = {button.m_hWnd, 27, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.dwDrawStage = CDDS_PREPAINT;
        draw.hdc = canvas.GetDC();
        draw.rc = {0, 0, 40, 66};
        LRESULT result = -1;
        button.OnCustomDraw(&draw.hdr, &result);
        EXPECT_EQ(result, CDRF_SKIPDEFAULT);
        ASSERT_EQ(theme.m_textRects.size(), 1u);
        EXPECT_EQ(theme.m_textRects[0], c.caption);
        EXPECT_EQ(theme.m_textFlags[0], static_cast<DWORD>(DT_CENTER | DT_BOTTOM | DT_SINGLELINE));
        EXPECT_EQ(canvas.GetPixel(15, c.imageTop), image);
        EXPECT_NE(canvas.GetPixel(15, c.imageTop - 1), image) << "the image starts at row " << c.imageTop;
    }
    SetUxThemeLibrary(nullptr);
    ResetCommonControlsProbe();
    PumpUntilIdle();
}

TEST(DrawTransparentBitmapTest, CopiesOpaquePixelsAndGreysThemWhenDisabled)
{
    const COLORREF transparent = RGB(0, 255, 0), background = RGB(0x5A, 0xC3, 0x3C);
    const COLORREF pixels[4] = {transparent, RGB(200, 10, 10), RGB(1, 2, 3), transparent};
    CPixelCanvas source(4, 1);
    for (int x = 0; x < 4; ++x)
        ::SetPixel(source.GetDC(), x, 0, pixels[x]);
    HDC screen = ::GetDC(nullptr);
    CGdiHandle<HBITMAP> bitmap(::CreateCompatibleBitmap(screen, 4, 1));
    ::ReleaseDC(nullptr, screen);
    {
        CMemoryDC dc(::CreateCompatibleDC(nullptr));
        CGdiSelectionHandle keep({dc, ::SelectObject(dc, bitmap)});
        ::BitBlt(dc, 0, 0, 4, 1, source.GetDC(), 0, 0, SRCCOPY);
    }
    const COLORREF gray = ::GetSysColor(COLOR_GRAYTEXT);
    for (const bool disabled : {false, true})
    {
        SCOPED_TRACE(disabled ? "disabled" : "enabled");
        CPixelCanvas canvas(8, 3, background);
        DrawTransparentBitmap(CDC::FromHandle(canvas.GetDC()), bitmap, 2, 1, transparent, disabled);
        for (int x = 0; x < 4; ++x)
        {
            COLORREF expected = pixels[x];
            if (pixels[x] == transparent)
                expected = background;
            else if (disabled)
                expected = (background & gray) | pixels[x];
            EXPECT_EQ(canvas.GetPixel(2 + x, 1), expected) << "pixel " << x;
        }
        EXPECT_EQ(canvas.GetPixel(1, 1), background);
        EXPECT_EQ(canvas.GetPixel(6, 1), background);
        CMemoryDC dc(::CreateCompatibleDC(nullptr));
        CGdiSelectionHandle keep({dc, ::SelectObject(dc, bitmap)});
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(::GetPixel(dc, x, 0), pixels[x]) << "the bitmap is left unchanged";
    }
}

struct ThemeStateCase
{
    DWORD style;
    UINT itemState;
    bool toggled;
    int state;
    bool background;
    const char* why;
};

TEST_F(ThemedButtonTest, ThemedCustomDrawPicksThePartState)
{
    OverrideCommonControlsVersion(6);
    CRecordingTheme theme;
    SetUxThemeLibrary(&theme);
    CThemedImageButton button(FALSE, TRUE);
    ASSERT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE | BS_ICON, CRect(10, 60, 50, 100), s_parent, 24));
    EXPECT_NE(button.GetStyle() & 0x0F, static_cast<DWORD>(BS_OWNERDRAW)) << "themed: the system paints";
    const DWORD base = WS_CHILD | WS_VISIBLE | BS_ICON;
    const ThemeStateCase cases[] = {
        {base | WS_DISABLED, CDIS_SELECTED, false, 4, true, "disabled"},
        {base, CDIS_SELECTED | CDIS_HOT, false, 3, true, "selected"},
        {base, 0, true, 3, true, "toggled"},
        {base, CDIS_HOT, false, 2, true, "hot"},
        {base | BS_DEFPUSHBUTTON, 0, false, 5, true, "default"},
        {base, 0, false, 1, true, "normal"},
        {base | BS_FLAT, 0, false, 1, false, "flat normal: no background"},
        {base | BS_FLAT | WS_DISABLED, 0, false, 4, false, "flat disabled: no background"},
        {base | BS_FLAT | BS_DEFPUSHBUTTON, 0, false, 5, false, "flat default: no background"},
        {base | BS_FLAT, CDIS_HOT, false, 2, true, "flat hot has its background"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        ::SetWindowLongPtrW(button, GWL_STYLE, c.style);
        if (button.IsToggled() != c.toggled) button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, 0);
        ASSERT_EQ(button.IsToggled(), c.toggled);
        theme.m_backgroundStates.clear();
        theme.m_contentStates.clear();
        CPixelCanvas canvas(40, 40);
        NMCUSTOMDRAW draw{};
        draw.hdr = {button.m_hWnd, 24, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.dwDrawStage = CDDS_PREPAINT;
        draw.hdc = canvas.GetDC();
        draw.rc = {0, 0, 40, 40};
        draw.uItemState = c.itemState;
        LRESULT result = -1;
        button.OnCustomDraw(&draw.hdr, &result);
        EXPECT_EQ(result, CDRF_SKIPDEFAULT);
        EXPECT_EQ(theme.m_contentStates, std::vector<int>{c.state});
        EXPECT_EQ(theme.m_backgroundStates, c.background ? std::vector<int>{c.state} : std::vector<int>{});
    }
    EXPECT_EQ(theme.m_opened, theme.m_closed) << "every theme handle is closed";

    CPixelCanvas canvas(40, 40);
    NMCUSTOMDRAW draw{};
    draw.hdr = {button.m_hWnd, 24, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.hdc = canvas.GetDC();
    draw.rc = {0, 0, 40, 40};
    LRESULT result = -1;
    draw.dwDrawStage = CDDS_PREERASE;
    ::SetWindowLongPtrW(button, GWL_STYLE, base);
    button.OnCustomDraw(&draw.hdr, &result);
    EXPECT_EQ(theme.m_parentBackgrounds, 1) << "the parent's background at the pre-erase stage";
    draw.dwDrawStage = CDDS_POSTPAINT;
    button.OnCustomDraw(&draw.hdr, &result);
    EXPECT_EQ(result, CDRF_DODEFAULT) << "other stages";
    ::SetWindowLongPtrW(button, GWL_STYLE, WS_CHILD | WS_VISIBLE);
    draw.dwDrawStage = CDDS_PREPAINT;
    button.OnCustomDraw(&draw.hdr, &result);
    EXPECT_EQ(result, CDRF_DODEFAULT) << "without BS_BITMAP or BS_ICON";

    SetUxThemeLibrary(nullptr);
    ResetCommonControlsProbe();
    ::SetWindowLongPtrW(button, GWL_STYLE, base);
    button.OnCustomDraw(&draw.hdr, &result);
    EXPECT_EQ(result, CDRF_SKIPDEFAULT) << "no theme: a toggle button is drawn classically";
    PumpUntilIdle();
}
} // namespace
