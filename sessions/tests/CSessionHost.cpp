#include "sessions/tests/CSessionHost.h"
#include "framework/CAsyncSocket.h"
#include <cstdio>

namespace
{
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchIntervalMs = 50;
constexpr ULONGLONG kConnectTimeoutMs = 15000; // the handshake and the greeting of one link

std::string Utf8(const std::wstring& text)
{
    const int nBytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), nBytes, nullptr,
                          nullptr);
    return bytes;
}

// One record line must stay one line, whatever the texts that Jex or an application sent.
std::wstring Visible(const std::wstring& text)
{
    std::wstring out;
    for (const wchar_t c : text)
    {
        if (c >= 0x20 || c == L'\t')
        {
            out += c;
            continue;
        }
        wchar_t escape[8];
        std::swprintf(escape, 8, L"\\x%02x", static_cast<unsigned>(c));
        out += escape;
    }
    return out;
}

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
} // namespace

BEGIN_MESSAGE_MAP(CSessionHost, CWnd)
ON_MESSAGE(WM_JEXCLOSED, &CSessionHost::OnJexClosed)
ON_WM_TIMER()
END_MESSAGE_MAP()

CSessionHost::CSessionHost(const Options& options) : m_options(options), m_nReconnectsLeft(options.nReconnects)
{
    m_hRecord.Attach(::CreateFileW(PathOf(L"record").c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    m_app.m_nPort = options.nJexPort;
    m_app.m_agent.m_nId = options.nAgentId;
    m_app.m_nHostLocationId = options.nLocationId;
    m_app.m_strLogFile = PathOf(L"lumo.log").c_str();
    m_core.Roles().Install(m_dlg);
}

CSessionHost::~CSessionHost()
{
    m_listener.CloseConnections();
    m_core.SetJexSender(nullptr);
    m_app.m_pJexSocket.reset();
    if (m_pJex) m_pJex->SetApplicationRelay(nullptr);
    m_pJex.reset();
    if (GetSafeHwnd()) DestroyWindow();
}

void CSessionHost::Record(const wchar_t* pszSource, const std::wstring& text)
{
    if (!m_hRecord.IsValid()) return;
    const std::string line = Utf8(std::wstring(pszSource) + L" " + Visible(text)) + "\n";
    DWORD nWritten = 0;
    ::WriteFile(m_hRecord, line.data(), static_cast<DWORD>(line.size()), &nWritten, nullptr); // one write: whole lines
}

BOOL CSessionHost::Start()
{
    m_nStartTick = ::GetTickCount64();
    if (!CreateEx(0, AfxRegisterWndClass(0), L"CSessionHost", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr) ||
        !SetTimer(kWatchTimer, kWatchIntervalMs))
    {
        Record(L"host", L"no window");
        ::PostQuitMessage(exitUsage);
        return FALSE;
    }
    if (!m_listener.StartListening(m_options.nAppPort))
    {
        Record(L"host", L"no application port: error " + std::to_wstring(::WSAGetLastError()));
        ::PostQuitMessage(exitNoPort);
        return FALSE;
    }
    Record(L"host", L"listening " + std::to_wstring(m_listener.GetListeningPort()));
    CString strAddress;
    UINT nOldPort = 0;
    if (!m_oldListener.StartListening(m_options.nOldAppPort) || !m_oldListener.GetSockName(strAddress, nOldPort))
    {
        Record(L"host", L"no old application port: error " + std::to_wstring(::WSAGetLastError()));
        ::PostQuitMessage(exitNoPort);
        return FALSE;
    }
    m_nOldAppPort = nOldPort;
    Record(L"host", L"old port listening " + std::to_wstring(m_nOldAppPort));
    ConnectJex();
    return TRUE;
}

void CSessionHost::ConnectJex()
{
    // A new link each time, as the desktop makes one: nothing of the lost session carries over,
    // and the calls of that session are gone with it.
    if (m_pJex)
    {
        m_pJex->SetApplicationRelay(nullptr);
        m_pJex->ClearMainWindow();
        m_pJex->Close();
    }
    for (const auto& pCall : m_core.GetCalls())
        m_core.RemoveCall(pCall->m_nCallId);
    m_pJex = std::make_shared<CJexSocket>(m_app, *this, &m_core);
    m_pJex->SetMainWindow(&m_dlg, this);
    m_pJex->SetApplicationRelay(&m_core); // the core answers the applications of both ports
    m_app.m_pJexSocket = m_pJex;
    m_core.SetJexSender(m_pJex.get());
    m_jexState = JexState::connecting;
    m_nConnectStartTick = ::GetTickCount64();
    Record(L"host", L"connecting to Jex on port " + std::to_wstring(m_options.nJexPort));
    if (!m_pJex->Create() || !m_pJex->ConnectToServer()) JexFailed(L"connect failed at once");
}

void CSessionHost::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kWatchTimer || m_bStopping) return;
    if (FileExists(PathOf(L"stop")))
    {
        Record(L"host", L"stop file");
        Stop(exitStopped);
        return;
    }
    if (m_options.nLifetimeMs && ::GetTickCount64() - m_nStartTick > m_options.nLifetimeMs)
    {
        Record(L"host", L"lifetime over");
        Stop(exitLifetime);
        return;
    }
    if (m_jexState == JexState::connecting) WatchConnecting();
}

void CSessionHost::WatchConnecting()
{
    if (m_pJex->m_bSession)
    {
        Record(L"host", L"greeted; logging on");
        m_jexState = JexState::loggingOn;
        m_pJex->Logon(nullptr);
        return;
    }
    if (m_pJex->IsGreetingRefused())
        JexFailed(L"greeting refused");
    else if (const int nError = m_pJex->GetConnectError(); nError > 0)
        JexFailed((L"connect error " + std::to_wstring(nError)).c_str());
    else if (::GetTickCount64() - m_nConnectStartTick > kConnectTimeoutMs)
        JexFailed(L"no greeting in time");
}

void CSessionHost::JexFailed(const wchar_t* pszWhy)
{
    Record(L"host", std::wstring(L"Jex failed: ") + pszWhy);
    m_jexState = JexState::lost;
    if (!m_bEverLoggedOn) Stop(exitNoLogon);
}

void CSessionHost::OnAgentLogon(long nPendingApplicationId, int nResult)
{
    m_core.SendAgentLogonResult(nPendingApplicationId, nResult);
    if (m_jexState != JexState::loggingOn) return; // an application's log-on
    if (nResult != 0)
    {
        JexFailed((L"log-on answered " + std::to_wstring(nResult)).c_str());
        return;
    }
    m_jexState = JexState::loggedOn;
    Record(L"host", L"logged on");
    if (!m_bEverLoggedOn)
    {
        m_bEverLoggedOn = true;
        WriteReadyFile();
    }
    m_core.BroadcastJexConnectionState(TRUE);
}

void CSessionHost::WriteReadyFile()
{
    const std::string text =
        std::to_string(m_listener.GetListeningPort()) + "\n" + std::to_string(m_nOldAppPort) + "\n";
    const std::wstring path = PathOf(L"ready");
    {
        CFileHandle hFile(::CreateFileW((path + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD nWritten = 0;
        if (!hFile.IsValid() || !::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &nWritten, nullptr))
            return;
    }
    // A reader polls for the name: it must appear with its whole text.
    ::MoveFileExW((path + L".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    Record(L"host", L"ready " + std::to_wstring(m_listener.GetListeningPort()));
}

LRESULT CSessionHost::OnJexClosed(WPARAM, LPARAM)
{
    if (m_bStopping) return 0;
    Record(L"host", L"Jex lost");
    m_jexState = JexState::lost;
    m_core.BroadcastJexConnectionState(FALSE);
    if (m_nReconnectsLeft > 0)
    {
        --m_nReconnectsLeft;
        ConnectJex();
    }
    return 0;
}

void CSessionHost::OnLogOff()
{
    Stop(exitStopped);
}

void CSessionHost::Quit()
{
    Stop(m_bEverLoggedOn ? exitStopped : exitNoLogon);
}

void CSessionHost::Stop(int nExitCode)
{
    if (m_bStopping) return;
    m_bStopping = true;
    Record(L"host", L"stopping " + std::to_wstring(nExitCode));
    m_listener.CloseConnections();
    if (m_pJex) m_pJex->Close(); // ALOGOF while the session is up
    ::PostQuitMessage(nExitCode);
}

int CSessionHost::ShowMessage(const CString& strText, UINT nType)
{
    Record(L"box", strText.Str());
    const UINT nButtons = nType & MB_TYPEMASK;
    return nButtons == MB_YESNO || nButtons == MB_YESNOCANCEL ? IDYES : IDOK;
}

int CSessionHost::ShowMessage(UINT nStringId, UINT nType)
{
    Record(L"box", L"#" + std::to_wstring(nStringId));
    const UINT nButtons = nType & MB_TYPEMASK;
    return nButtons == MB_YESNO || nButtons == MB_YESNOCANCEL ? IDYES : IDOK;
}
