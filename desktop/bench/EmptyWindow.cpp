// The launch benchmark's reference: the least a Win32 program does to show a window. Once its first
// window is shown and painted it says so over a loopback link to the port on its command line
// ("window <handle in hex>" and a line feed), as Lumo's launch ends in a line to Jex: the benchmark
// times both launches by a line arriving at a socket of its own. It then idles until ended.
#include "framework/CHandleOwner.h"
#include <cwchar>

namespace
{
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
    {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool Signal(unsigned short nPort, HWND hwnd)
{
    WSADATA wsa;
    const CWinsockStartup winsock(WSAStartup(MAKEWORD(2, 2), &wsa) == 0);
    if (!winsock.IsValid()) return false;
    bool bSent = false;
    {
        CSocketHandle link(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(nPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        char line[64];
        const int n = wsprintfA(line, "window %Ix\n", reinterpret_cast<UINT_PTR>(hwnd));
        bSent = link.IsValid() && connect(link, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                send(link, line, n, 0) == n;
    }
    return bSent;
}
} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int)
{
    const unsigned long nPort = std::wcstoul(lpCmdLine, nullptr, 10);
    if (nPort == 0 || nPort > 65535) return 2;
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"BenchEmptyWindow";
    if (!RegisterClassW(&wc)) return 3;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Empty window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                400, 300, nullptr, nullptr, hInstance, nullptr);
    if (!hwnd) return 4;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    if (!Signal(static_cast<unsigned short>(nPort), hwnd)) return 5;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
