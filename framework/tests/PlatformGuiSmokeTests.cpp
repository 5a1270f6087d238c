// Proves that real windows with common controls work under the display the tests get.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

TEST(PlatformGuiSmoke, ListViewReportsItsItemCount)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    HWND top = CreateWindowExW(0, L"STATIC", L"smoke", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(top, nullptr);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 380, 260, top,
                                reinterpret_cast<HMENU>(100), GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(list, nullptr);

    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 120;
    col.pszText = const_cast<wchar_t*>(L"Name");
    ASSERT_EQ(SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col)), 0);
    for (int i = 0; i < 3; ++i)
    {
        wchar_t text[16];
        wsprintfW(text, L"row %d", i);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = text;
        ASSERT_EQ(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)), i);
    }
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);

    RECT rc{};
    rc.left = LVIR_BOUNDS;
    EXPECT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rc)));
    EXPECT_GT(rc.bottom - rc.top, 0) << "a visible row has a height";
    DestroyWindow(top);
}

// The desktop toolkit's drawing assumes this environment; each failure names what changed.
TEST(PlatformGuiSmoke, EnvironmentTheToolkitAssumes)
{
    HMODULE hTheme = LoadLibraryW(L"uxtheme.dll");
    ASSERT_NE(hTheme, nullptr) << "uxtheme.dll is present";
    auto isThemeActive =
        reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(hTheme, "IsThemeActive")));
    ASSERT_NE(isThemeActive, nullptr);
    EXPECT_TRUE(isThemeActive()) << "assumption changed: a visual style is active (IsThemeActive)";
    FreeLibrary(hTheme);

    HMODULE hComctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(hComctl, nullptr) << "comctl32 is loaded by our link";
    auto dllGetVersion = reinterpret_cast<HRESULT(CALLBACK*)(DLLVERSIONINFO*)>(
        reinterpret_cast<void*>(GetProcAddress(hComctl, "DllGetVersion")));
    ASSERT_NE(dllGetVersion, nullptr);
    DLLVERSIONINFO version{sizeof version};
    ASSERT_EQ(dllGetVersion(&version), S_OK);
    EXPECT_EQ(version.dwMajorVersion, 5u)
        << "assumption changed: without a manifest the common controls are version 5 (DllGetVersion)";

    HDC hScreen = GetDC(nullptr);
    ASSERT_NE(hScreen, nullptr);
    const int bits = GetDeviceCaps(hScreen, BITSPIXEL) * GetDeviceCaps(hScreen, PLANES);
    ReleaseDC(nullptr, hScreen);
    EXPECT_GT(bits, 8) << "assumption changed: the display has more than 8 bits per pixel";
}
