// SessionHost.exe: the session layer of the agent desktop as a program of its own, for tests that
// drive it from outside. It opens both application ports on 127.0.0.1, connects to a Jex on
// 127.0.0.1 (the scripted Jex of tests/peers, or jex_sessions.py for a Jex that takes a link
// again), logs an agent on and then serves local applications (BrennClient, Quillan, LumoClient or
// the scripted applications of tests/peers/scripted_app.py; on the old port tests/peers/oldapp.py)
// until it is stopped. The application
// object and the main window are recording stand-ins (CSessionHostApp, CSessionHostDlg).
//
//     SessionHost.exe --dir FOLDER --jex-port N [--app-port N] [--old-app-port N] [--agent ID]
//                     [--location ID] [--reconnects N] [--lifetime SECONDS]
//
// In FOLDER (a Windows path; it must exist):
//   ready    written once the agent is logged on: the application port in use and the old
//            application port in use, each followed by a line end.
//            A test waits for it before its applications connect.
//   record   one line per event, as it happens (UTF-8; control characters as \xNN):
//            "host ..." the host's own steps ("listening P", "logged on", "ready P", "Jex lost",
//            "stopping C"), "dlg ..." every receiver of the main window that was called, with its
//            arguments ("StartOutboundCall ...", "EndCall R [TEXT] CALL", "LogOff"), "app ..."
//            what reached the application object ("StartProgram 0", "OnAgentLogon -1 0"),
//            "box ..." a message box of the link (answered with Yes or OK).
//   lumo.log the desktop's log file (LogFileLocation): the refused interview data.
//   stop     created by the test: the host closes the applications' links, logs the agent off
//            (ALOGOF) and ends with exit code 0.
// --app-port 0 (the default) lets the system choose the port; a taken port moves on to the next.
// --old-app-port 0 (the default) lets the system choose; a taken port ends the host (exit code 2).
// --reconnects N: after a loss of the Jex link the host tells the applications (JEXSTA 0), makes
// a new link to the same port and logs on again (JEXSTA 1 once Jex accepts), N times at most.
// --lifetime: ends the host with exit code 4 when nobody stopped it in time (default 600 s).
// Exit codes: 0 stopped, 1 arguments, 2 no application port, 3 no Jex or no log-on, 4 lifetime.
// tests/support/CSessionHostProcess starts it from a test program and reads what it writes.
#include "sessions/tests/CSessionHost.h"
#include "framework/CAsyncSocket.h"
#include <shellapi.h>
#include <cstdio>
#include <cwchar>
#include <string>

namespace
{
constexpr wchar_t kUsage[] = L"usage: SessionHost.exe --dir FOLDER --jex-port N [--app-port N] [--old-app-port N] "
                             L"[--agent ID] [--location ID] [--reconnects N] [--lifetime SECONDS]\n";

bool ReadNumber(const wchar_t* pszText, long& nValue)
{
    wchar_t* pEnd = nullptr;
    nValue = std::wcstol(pszText, &pEnd, 10);
    return pEnd != pszText && *pEnd == L'\0';
}

bool ReadOptions(int argc, wchar_t** argv, CSessionHost::Options& options)
{
    options.nLifetimeMs = 600000;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::wstring name = argv[i];
        const wchar_t* pszValue = argv[i + 1];
        long nValue = 0;
        if (name == L"--dir")
        {
            options.folder = pszValue;
            continue;
        }
        if (!ReadNumber(pszValue, nValue)) return false;
        if (name == L"--jex-port" && nValue > 0 && nValue < 65536)
            options.nJexPort = static_cast<UINT>(nValue);
        else if (name == L"--app-port" && nValue >= 0 && nValue < 65536)
            options.nAppPort = static_cast<UINT>(nValue);
        else if (name == L"--old-app-port" && nValue >= 0 && nValue < 65536)
            options.nOldAppPort = static_cast<UINT>(nValue);
        else if (name == L"--agent")
            options.nAgentId = nValue;
        else if (name == L"--location")
            options.nLocationId = nValue;
        else if (name == L"--reconnects" && nValue >= 0)
            options.nReconnects = static_cast<int>(nValue);
        else if (name == L"--lifetime" && nValue >= 0)
            options.nLifetimeMs = static_cast<DWORD>(nValue) * 1000;
        else
            return false;
    }
    return argc % 2 == 1 && !options.folder.empty() && options.nJexPort != 0 &&
           ::GetFileAttributesW(options.folder.c_str()) != INVALID_FILE_ATTRIBUTES;
}
} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    CSessionHost::Options options;
    const bool bRead = argv && ReadOptions(argc, argv, options);
    ::LocalFree(argv);
    if (!bRead)
    {
        std::fputws(kUsage, stderr);
        return CSessionHost::exitUsage;
    }
    if (!AfxSocketInit()) return CSessionHost::exitNoPort;
    CSessionHost host(options);
    host.Start(); // a failure has posted its exit code
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
