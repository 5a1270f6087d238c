// Stands in for the programs Lumo starts (the VNC server winvnc.exe, BrennClient.exe, Quillan.exe):
// one program, copied under each name. Tests learn from it how it was started and, as BrennClient
// or Quillan, speak through it to Lumo's application port.
//
// LUMO_CHILD_REPORT_PORT names a loopback port where the test listens: the program connects to it
// and writes, in UTF-8, one line each "commandline <its command line>", "folder <its working
// folder>", "module <its executable's path>" and "process <its process id>". The link stays
// open while the program runs, so the test sees the program end when it reads the end of the link.
//
// With "-appport:N" on its command line the program also listens on the loopback port
// LUMO_CHILD_RELAY_PORT (any free one when unset; "relayport <port>" tells it), takes one
// connection there (a scripted application), connects to 127.0.0.1:N and relays the bytes both
// ways until either side closes; then it ends, as the real programs end when Lumo's link drops.
// Without it the program stays until it is ended.
#include "framework/CHandleOwner.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace
{
std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The port an environment variable names; 0 when it is unset or no port.
USHORT PortFromEnvironment(LPCWSTR pszName)
{
    wchar_t value[16] = {};
    const DWORD n = ::GetEnvironmentVariableW(pszName, value, 16);
    if (n == 0 || n >= 16) return 0;
    const long nPort = std::wcstol(value, nullptr, 10);
    return nPort > 0 && nPort < 65536 ? static_cast<USHORT>(nPort) : 0;
}

// The number after "-appport:" in the command line; 0 without one.
USHORT AppPortFromCommandLine(LPCWSTR pszCommandLine)
{
    const wchar_t* pAt = std::wcsstr(pszCommandLine, L"-appport:");
    if (!pAt) return 0;
    const long nPort = std::wcstol(pAt + std::wcslen(L"-appport:"), nullptr, 10);
    return nPort > 0 && nPort < 65536 ? static_cast<USHORT>(nPort) : 0;
}

sockaddr_in Loopback(USHORT nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

CSocketHandle ConnectTo(USHORT nPort)
{
    CSocketHandle link(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!link.IsValid()) return link;
    const sockaddr_in address = Loopback(nPort);
    if (::connect(link, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) link.Close();
    return link;
}

bool SendAll(SOCKET s, const char* pData, int nCount)
{
    while (nCount > 0)
    {
        const int nSent = ::send(s, pData, nCount, 0);
        if (nSent <= 0) return false;
        pData += nSent;
        nCount -= nSent;
    }
    return true;
}

bool SendLine(SOCKET s, const std::string& strLine)
{
    const std::string text = strLine + "\n";
    return SendAll(s, text.data(), static_cast<int>(text.size()));
}

// Copies what one side has to the other; false when the side closed or failed.
bool Pass(SOCKET from, SOCKET to)
{
    char buffer[8192];
    const int nRead = ::recv(from, buffer, sizeof(buffer), 0);
    return nRead > 0 && SendAll(to, buffer, nRead);
}

void Relay(SOCKET report, USHORT nAppPort)
{
    CSocketHandle listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener.IsValid()) return;
    sockaddr_in address = Loopback(PortFromEnvironment(L"LUMO_CHILD_RELAY_PORT"));
    int nLength = sizeof(address);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener, 1) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
        return;
    if (report != INVALID_SOCKET) SendLine(report, "relayport " + std::to_string(ntohs(address.sin_port)));
    CSocketHandle peer(::accept(listener, nullptr, nullptr));
    if (!peer.IsValid()) return;
    listener.Close(); // one scripted application per program
    CSocketHandle lumo = ConnectTo(nAppPort);
    if (!lumo.IsValid()) return;
    for (;;)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(peer.Get(), &readable);
        FD_SET(lumo.Get(), &readable);
        if (::select(0, &readable, nullptr, nullptr, nullptr) <= 0) return;
        if (FD_ISSET(peer.Get(), &readable) && !Pass(peer, lumo)) return;
        if (FD_ISSET(lumo.Get(), &readable) && !Pass(lumo, peer)) return;
    }
}
} // namespace

int WINAPI wWinMain(HINSTANCE /*hInstance*/, HINSTANCE /*hPrevious*/, LPWSTR /*pszCommandLine*/, int /*nShow*/)
{
    WSADATA wsa{};
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    const std::wstring commandLine = ::GetCommandLineW();
    CSocketHandle report;
    if (const USHORT nReportPort = PortFromEnvironment(L"LUMO_CHILD_REPORT_PORT"))
    {
        report = ConnectTo(nReportPort);
        wchar_t folder[MAX_PATH * 4] = {};
        wchar_t module[MAX_PATH * 4] = {};
        const DWORD nFolder = ::GetCurrentDirectoryW(MAX_PATH * 4, folder);
        const DWORD nModule = ::GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
        if (report.IsValid())
            SendLine(report, "commandline " + Utf8(commandLine)) &&
                SendLine(report, "folder " + Utf8(nFolder < MAX_PATH * 4 ? folder : L"")) &&
                SendLine(report, "module " + Utf8(nModule < MAX_PATH * 4 ? module : L"")) &&
                SendLine(report, "process " + std::to_string(::GetCurrentProcessId()));
    }
    if (const USHORT nAppPort = AppPortFromCommandLine(commandLine.c_str()))
    {
        Relay(report.IsValid() ? report.Get() : INVALID_SOCKET, nAppPort);
        ::WSACleanup();
        return 0;
    }
    for (;;)
        ::Sleep(INFINITE); // the VNC server runs until it is ended, with Lumo's job at the latest
}
