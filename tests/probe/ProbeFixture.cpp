// The program the probe's own test drives: a window with a list, a window that is visible for
// 100 ms only, then a Yes/No box whose answer becomes the exit code.
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

namespace
{
constexpr int kListId = 1001;
constexpr UINT_PTR kFlashTimer = 1;
constexpr UINT_PTR kHideTimer = 2;
constexpr UINT_PTR kBoxTimer = 3;
HWND g_hFlash = nullptr;

void FillList(HWND hList)
{
    const wchar_t* const headers[] = {L"Name", L"Value"};
    const int widths[] = {120, 75};
    for (int i = 0; i < 2; ++i)
    {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<LPWSTR>(headers[i]);
        column.cx = widths[i];
        SendMessageW(hList, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    const wchar_t* const rows[][2] = {{L"alpha", L"1"}, {L"beta", L"2"}};
    for (int r = 0; r < 2; ++r)
    {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = r;
        item.pszText = const_cast<LPWSTR>(rows[r][0]);
        SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<LPWSTR>(rows[r][1]);
        SendMessageW(hList, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&item));
    }
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_TIMER:
        KillTimer(hwnd, wParam);
        if (wParam == kFlashTimer)
        {
            g_hFlash = CreateWindowExW(0, L"ProbeFlash", L"Flash", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, hwnd, nullptr,
                                       nullptr, nullptr);
            SetTimer(hwnd, kHideTimer, 100, nullptr);
        }
        else if (wParam == kHideTimer)
        {
            DestroyWindow(g_hFlash);
            SetTimer(hwnd, kBoxTimer, 300, nullptr);
        }
        else if (wParam == kBoxTimer)
            PostQuitMessage(MessageBoxW(hwnd, L"Keep the fixture?", L"Fixture", MB_YESNO | MB_ICONQUESTION));
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW main{};
    main.lpfnWndProc = MainProc;
    main.hInstance = hInstance;
    main.lpszClassName = L"ProbeFixture";
    WNDCLASSW flash{};
    flash.lpfnWndProc = DefWindowProcW;
    flash.hInstance = hInstance;
    flash.lpszClassName = L"ProbeFlash";
    if (!RegisterClassW(&main) || !RegisterClassW(&flash)) return 100;
    HWND hwnd = CreateWindowExW(0, L"ProbeFixture", L"Probe fixture", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400,
                                300, nullptr, nullptr, hInstance, nullptr);
    if (!hwnd) return 101;
    HWND hList = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 380, 200, hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), hInstance, nullptr);
    if (!hList) return 102;
    FillList(hList);
    // Late enough for the driver to have started watching.
    SetTimer(hwnd, kFlashTimer, 1500, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
