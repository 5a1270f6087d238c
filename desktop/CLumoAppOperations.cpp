// CLumoApp: the VoIP gateways, the Jex data link, the alarm options and the agent monitor (the VNC
// server Jex starts with SEE-IN).
#include "desktop/CLumoApp.h"
#include "sessions/CJexSocket.h"
#include <array>

namespace
{
// Whether the file exists, is no folder and can be opened for reading.
bool IsReadableFile(const CString& strPath)
{
    if (strPath.IsEmpty()) return false;
    CFileHandle file(::CreateFileW(strPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The path with "." and ".." resolved; empty when Windows cannot make it whole.
CString Canonical(const CString& strPath)
{
    std::array<wchar_t, 4 * MAX_PATH> full{};
    const DWORD n = ::GetFullPathNameW(strPath, static_cast<DWORD>(full.size()), full.data(), nullptr);
    return n == 0 || n >= full.size() ? CString() : CString(full.data());
}

// The host goes onto the server's command line: a blank or a quote there would add arguments of
// Jex's choosing.
bool IsMonitorHost(const CString& strHost)
{
    if (strHost.IsEmpty() || strHost.GetLength() > CLumoApp::kMaxMonitorHost) return false;
    for (int i = 0; i < strHost.GetLength(); ++i)
    {
        const wchar_t c = strHost[i];
        const bool bAllowed = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                              c == L'.' || c == L'-' || c == L':';
        if (!bAllowed) return false;
    }
    return true;
}
} // namespace

void CLumoApp::SetVoipGateways(const CString& strGateways)
{
    m_voipGateways.clear();
    int nStart = 0;
    while (nStart <= strGateways.GetLength())
    {
        int nEnd = strGateways.Find(L';', nStart);
        if (nEnd < 0) nEnd = strGateways.GetLength();
        const CString strGateway = strGateways.Mid(nStart, nEnd - nStart);
        if (!strGateway.IsEmpty()) m_voipGateways.push_back(strGateway);
        nStart = nEnd + 1;
    }
    m_nNextGateway = 0;
}

CString CLumoApp::GetNextVoipGateway()
{
    if (m_voipGateways.empty()) return CString();
    if (m_nNextGateway < 0 || m_nNextGateway >= GetVoipGatewayCount()) m_nNextGateway = 0;
    return m_voipGateways[static_cast<size_t>(m_nNextGateway++)];
}

CJexDataSocket* CLumoApp::GetJexDataSocket() const
{
    return m_pJexSocket ? &m_pJexSocket->GetDataSocket() : nullptr;
}

void CLumoApp::UpdateAlarmOptions(const CAlarmOption& options)
{
    if (!m_pAlarmOptions) m_pAlarmOptions = std::make_unique<CAlarmOption>();
    m_pAlarmOptions->Assign(options);
    if (m_pMainDlg) m_pMainDlg->ApplySoftphoneAlarmLimits();
}

BOOL CLumoApp::StartAgentMonitor(const CString& strHost, long nPort, long nId)
{
    if (!IsMonitorHost(strHost)) return FALSE;
    if (!m_hAgentMonitorJob.IsValid())
    {
        // Every server started goes into this job; the system closes it when Lumo ends, and the
        // servers end with it.
        m_hAgentMonitorJob.Attach(::CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
        if (m_hAgentMonitorJob.IsValid() &&
            !::SetInformationJobObject(m_hAgentMonitorJob, JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
            m_hAgentMonitorJob.Close(); // a job that would not end the servers is no use
    }

    CString strProgram = m_strAgentMonitorPath;
    if (!IsReadableFile(strProgram))
    {
        strProgram.Empty();
        for (LPCWSTR pszTail : {L"AgentMonitor\\winvnc.exe", L"..\\AgentMonitor\\winvnc.exe", L"winvnc.exe"})
        {
            const CString strCandidate = Canonical(GetProgramFolder() + pszTail);
            if (IsReadableFile(strCandidate))
            {
                strProgram = strCandidate;
                break;
            }
        }
        if (strProgram.IsEmpty()) return FALSE;
    }
    // A cut path or command line would start another program, or this one with other options.
    if (strProgram.GetLength() > kMaxMonitorPath) return FALSE;
    const int nSlash = strProgram.ReverseFind(L'\\');
    const CString strFolder = nSlash > 0 ? strProgram.Left(nSlash + 1) : CString();
    CString strCommandLine;
    strCommandLine.Format(L"\"%s\" -sc_prompt -sc_exit -multi -id:%u -connect %s:%u -run", strProgram.GetString(),
                          static_cast<unsigned>(nId), strHost.GetString(), static_cast<unsigned>(nPort));
    if (strCommandLine.GetLength() > kMaxMonitorCommandLine) return FALSE;

    std::array<wchar_t, kMaxMonitorCommandLine + 1> commandLine{};
    wcsncpy_s(commandLine.data(), commandLine.size(), strCommandLine, _TRUNCATE);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created{};
    // Suspended until it is in the job, so nothing it starts can escape the job.
    const DWORD nFlags = CREATE_DEFAULT_ERROR_MODE | CREATE_SUSPENDED;
    BOOL bCreated =
        ::CreateProcessW(strProgram, commandLine.data(), nullptr, nullptr, FALSE, nFlags | CREATE_BREAKAWAY_FROM_JOB,
                         nullptr, strFolder.IsEmpty() ? nullptr : strFolder.GetString(), &startup, &created);
    // A job of Lumo's own that forbids breaking away refuses the flag; the server then stays in it.
    if (!bCreated && ::GetLastError() == ERROR_ACCESS_DENIED)
        bCreated = ::CreateProcessW(strProgram, commandLine.data(), nullptr, nullptr, FALSE, nFlags, nullptr,
                                    strFolder.IsEmpty() ? nullptr : strFolder.GetString(), &startup, &created);
    if (!bCreated) return FALSE;
    CKernelHandle hProcess(created.hProcess);
    CKernelHandle hThread(created.hThread);
    if (m_hAgentMonitorJob.IsValid()) ::AssignProcessToJobObject(m_hAgentMonitorJob, hProcess);
    ::ResumeThread(hThread);
    return TRUE;
}
