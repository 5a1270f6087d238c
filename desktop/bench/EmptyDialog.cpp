// The idle memory benchmark's reference: a program that shows one modal dialog from its resources
// and does nothing else until ended, as Lumo shows its windows from dialog resources.
#include "desktop/bench/EmptyDialogResource.h"
#include <windows.h>

namespace
{
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    return static_cast<int>(DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_BENCH_EMPTY), nullptr, DialogProc, 0));
}
