#pragma once
#include "framework/CHandleOwner.h"
#include <string>
#include <vector>

// SessionHost.exe (sessions/tests/SessionHostMain.cpp) run from a test program: a folder of its own
// for what it writes, the wait for its log-on, its record, and its end. Waits pump the caller's
// messages.
class CSessionHostProcess
{
public:
    using Lines = std::vector<std::wstring>;
    static constexpr int kStopped = 0; // the exit code of a host that was stopped (or logged off)
    struct Options
    {
        UINT nJexPort = 0;
        long nAgentId = 77;
        UINT nAppPort = 0; // 0: the system chooses; AppPort tells the one in use
        int nReconnects = 0;
    };

    // Starts the host; Ready tells whether it came up and logged the agent on.
    explicit CSessionHostProcess(const Options& options);
    ~CSessionHostProcess(); // stops the host when still running, and removes its folder
    CSessionHostProcess(const CSessionHostProcess&) = delete;
    CSessionHostProcess& operator=(const CSessionHostProcess&) = delete;

    // Waits for the agent's log-on; false when the host ended or did not get there in time.
    bool Ready(DWORD timeoutMs = 30000);
    UINT AppPort() const { return m_nAppPort; }
    UINT OldAppPort() const { return m_nOldAppPort; }
    // The record's whole lines so far, in order.
    Lines Record() const;
    // Those of one source ("dlg", "app", "host", "box"), without the source.
    Lines Record(const wchar_t* pszSource) const;
    // Waits until the record holds the line (source and text) n times.
    bool WaitForRecord(const std::wstring& line, size_t n = 1, DWORD timeoutMs = 30000) const;
    std::string ReadLog() const; // the desktop's log file, empty when none was written
    // Asks the host to end and waits for it; its exit code, -1 when it did not end in time.
    int Stop(DWORD timeoutMs = 30000);
    // The exit code once the host ended by itself; -1 while it runs.
    int ExitCode() const;

private:
    std::wstring PathOf(const wchar_t* pszName) const { return m_folder + L"\\" + pszName; }
    std::string ReadFile(const wchar_t* pszName) const;

    std::wstring m_folder;
    CKernelHandle m_hProcess;
    UINT m_nAppPort = 0;
    UINT m_nOldAppPort = 0;
};
