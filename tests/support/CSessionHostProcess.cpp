#include "tests/support/CSessionHostProcess.h"
#include "framework/testing/MessagePump.h"
#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>

namespace
{
std::wstring Widen(const std::string& text)
{
    const int nChars = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(nChars), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), nChars);
    return wide;
}

// The build gives the program's Unix path; Wine sees the root as drive Z.
std::wstring ProgramPath()
{
    std::wstring path = Widen(LUMO_SESSION_HOST);
    if (!path.empty() && path[0] == L'/')
    {
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        path = L"Z:" + path;
    }
    return path;
}
} // namespace

CSessionHostProcess::CSessionHostProcess(const Options& options)
{
    static std::atomic<int> s_nRun{0};
    wchar_t szTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    m_folder = std::wstring(szTemp) + L"lumo-host-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++s_nRun);
    if (!::CreateDirectoryW(m_folder.c_str(), nullptr)) return;
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" --dir \"" + m_folder + L"\" --jex-port " +
                               std::to_wstring(options.nJexPort) + L" --app-port " + std::to_wstring(options.nAppPort) +
                               L" --agent " + std::to_wstring(options.nAgentId) + L" --reconnects " +
                               std::to_wstring(options.nReconnects) + L" --lifetime 600";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return;
    m_hProcess.Attach(process.hProcess);
    const CKernelHandle hThread(process.hThread);
}

CSessionHostProcess::~CSessionHostProcess()
{
    if (m_hProcess.IsValid() && ExitCode() == -1 && Stop() == -1) ::TerminateProcess(m_hProcess, 99);
    for (const wchar_t* pszName : {L"ready", L"record", L"lumo.log", L"stop"})
        ::DeleteFileW(PathOf(pszName).c_str());
    ::RemoveDirectoryW(m_folder.c_str());
}

bool CSessionHostProcess::Ready(DWORD timeoutMs)
{
    if (!m_hProcess.IsValid()) return false;
    const std::wstring path = PathOf(L"ready");
    PumpUntil([&] { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES || ExitCode() != -1; },
              timeoutMs);
    std::istringstream text(ReadFile(L"ready"));
    text >> m_nAppPort >> m_nOldAppPort;
    return m_nAppPort != 0 && m_nOldAppPort != 0;
}

CSessionHostProcess::Lines CSessionHostProcess::Record() const
{
    Lines lines;
    std::istringstream text(ReadFile(L"record"));
    for (std::string line; std::getline(text, line);)
        if (!text.eof()) lines.push_back(Widen(line)); // a last line without its end is still being written
    return lines;
}

CSessionHostProcess::Lines CSessionHostProcess::Record(const wchar_t* pszSource) const
{
    const std::wstring prefix = std::wstring(pszSource) + L" ";
    Lines lines;
    for (const std::wstring& line : Record())
        if (line.starts_with(prefix)) lines.push_back(line.substr(prefix.size()));
    return lines;
}

bool CSessionHostProcess::WaitForRecord(const std::wstring& line, size_t n, DWORD timeoutMs) const
{
    return PumpUntil(
        [&] {
            const Lines lines = Record();
            return static_cast<size_t>(std::count(lines.begin(), lines.end(), line)) >= n;
        },
        timeoutMs);
}

std::string CSessionHostProcess::ReadLog() const
{
    return ReadFile(L"lumo.log");
}

int CSessionHostProcess::Stop(DWORD timeoutMs)
{
    if (!m_hProcess.IsValid()) return -1;
    {
        const CFileHandle hStop(::CreateFileW(PathOf(L"stop").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    PumpUntil([&] { return ExitCode() != -1; }, timeoutMs);
    return ExitCode();
}

int CSessionHostProcess::ExitCode() const
{
    DWORD nCode = 0;
    if (!m_hProcess.IsValid() || !::GetExitCodeProcess(m_hProcess, &nCode) || nCode == STILL_ACTIVE) return -1;
    return static_cast<int>(nCode);
}

std::string CSessionHostProcess::ReadFile(const wchar_t* pszName) const
{
    std::ifstream file(PathOf(pszName).c_str(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
