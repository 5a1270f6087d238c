#pragma once
// What the tests of the Jex links share: a run of the scripted Jex (tests/peers/scripted_jex.py)
// and the application object, message boxes, update window and update service as the links see
// them, and the fixture that connects a command link to the scripted Jex. The test programs define
// LUMO_PYTHON and LUMO_SCRIPTED_JEX.
#include "sessions/CJexSocket.h"
#include "sessions/IMessageBoxSink.h"
#include "sessions/IUpdateServiceClient.h"
#include "sessions/IUpdateWindowSink.h"
#include "sessions/tests/SessionRecorders.h"
#include "framework/testing/CPeerProcess.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Lines = std::vector<std::wstring>;

// One run of the scripted Jex. The scripts go to files of their own before the peer starts; with a
// data script the peer also serves the data link ("{dataport}" in a greeting names its port).
class CScriptedJex
{
public:
    explicit CScriptedJex(const std::string& script, const std::string& dataScript = {})
    {
        m_pPeer = std::make_unique<CPeerProcess>();
        std::string args =
            "serve --port-file {dir}/port --log {dir}/traffic --timeout 20 --script '" + WriteScript(script) + "'";
        if (!dataScript.empty())
            args += " --data-script '" + WriteScript(dataScript) + "' --data-log {dir}/datatraffic";
        m_pPeer->Start(LUMO_PYTHON, LUMO_SCRIPTED_JEX, args);
    }
    ~CScriptedJex()
    {
        for (const std::wstring& path : m_scriptPaths)
            DeleteFileW(path.c_str());
    }
    CScriptedJex(const CScriptedJex&) = delete;
    CScriptedJex& operator=(const CScriptedJex&) = delete;

    UINT Port()
    {
        return m_pPeer->WaitForFile(L"port") ? static_cast<UINT>(std::stoul(m_pPeer->ReadFile(L"port"))) : 0;
    }
    // Waits for the script's end: 0 when every step passed.
    int Finish() { return m_pPeer->ExitCode(30000); }
    // What the desktop sent after the handshake ("< " lines), in order.
    Lines Received() { return SentLines(Traffic()); }
    Lines Traffic() { return m_pPeer->ReadLines(L"traffic"); }
    // The same of the data link.
    Lines DataReceived() { return SentLines(DataTraffic()); }
    Lines DataTraffic() { return m_pPeer->ReadLines(L"datatraffic"); }
    std::string Log() { return m_pPeer->ReadFile(L"log"); }
    // A file the peer wrote beside its logs (what an upload carried).
    std::string ReadFile(const wchar_t* pszName) { return m_pPeer->ReadFile(pszName); }

private:
    std::string WriteScript(const std::string& script)
    {
        static std::atomic<int> s_nRun{0};
        const std::string name =
            "lumo-jex-script-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++s_nRun);
        m_scriptPaths.push_back(L"Z:\\tmp\\" + std::wstring(name.begin(), name.end()));
        std::ofstream(std::filesystem::path(m_scriptPaths.back()), std::ios::binary) << script;
        return "/tmp/" + name;
    }
    static Lines SentLines(const Lines& traffic)
    {
        Lines lines;
        for (const std::wstring& entry : traffic)
            if (entry.starts_with(L"< ") && !entry.starts_with(L"< CNPROP") && !entry.starts_with(L"< TTSYNC"))
                lines.push_back(entry.substr(2));
        return lines;
    }

    std::vector<std::wstring> m_scriptPaths;
    std::unique_ptr<CPeerProcess> m_pPeer;
};

class CAnsweringBoxes : public IMessageBoxSink
{
public:
    int ShowMessage(const CString& strText, UINT nType) override
    {
        m_boxes.push_back({strText.Str(), nType});
        if (m_answers.empty()) return IDOK;
        const int nAnswer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return nAnswer;
    }
    int ShowMessage(UINT nStringId, UINT nType) override
    {
        m_boxes.push_back({L"#" + std::to_wstring(nStringId), nType});
        return IDOK;
    }
    struct Box
    {
        std::wstring text;
        UINT type;
    };
    std::vector<Box> m_boxes;
    std::vector<int> m_answers;
};

class CRecordingUpdateWindow : public IUpdateWindowSink
{
public:
    void ShowUpdateWindow() override { m_events.push_back(L"window"); }
    void ShowUpdateProgress(long nReceived, long nTotal) override
    {
        m_events.push_back(L"progress");
        m_progress.push_back({nReceived, nTotal});
        if (m_onProgress) m_onProgress();
    }
    void ShowUpdateDone() override { m_events.push_back(L"done"); }
    void SetMessageBoxShown(BOOL bShown) override { m_events.push_back(bShown ? L"box on" : L"box off"); }
    Lines m_events;
    std::vector<std::pair<long, long>> m_progress; // received, total
    std::function<void()> m_onProgress;            // runs inside each progress report
};

class CRecordingUpdateService : public IUpdateServiceClient
{
public:
    BOOL CheckService(CString& strError) override
    {
        ++m_nChecks;
        strError = L"The update service is not running.";
        return m_bRunning;
    }
    BOOL RunUpdate(const CString& strProgram, const CString& strArguments, CString& strError, BOOL bDeleteProgram,
                   BOOL bWait) override
    {
        m_runs.push_back({strProgram.Str(), strArguments.Str(), bDeleteProgram, bWait});
        if (!m_bRunSucceeds) strError = L"access denied";
        return m_bRunSucceeds;
    }
    struct Run
    {
        std::wstring program, arguments;
        BOOL bDelete, bWait;
    };
    BOOL m_bRunning = TRUE;
    BOOL m_bRunSucceeds = FALSE;
    int m_nChecks = 0;
    std::vector<Run> m_runs;
};

// The application object as the links see it.
class CJexAppHost : public CRecordingAppHost
{
public:
    CString GetJexHostName() override { return L"127.0.0.1"; }
    UINT GetJexPort() override { return m_nPort; }
    CString GetVersionString() override { return m_strVersion; }
    CString GetWorkFolder() override { return m_strWorkFolder; }
    CString GetInstalledSetupVersion() override { return m_strInstalled; }
    BOOL IsStandalone() override { return m_bStandalone; }
    BOOL TakeVersionWarning() override { return std::exchange(m_bVersionWarning, FALSE); }
    IUpdateWindowSink* GetConnectionDialog() override { return &m_connection; }
    IUpdateServiceClient* GetUpdateService() override { return &m_service; }
    CWnd* GetLogonDialog() override { return m_pLogon; }
    void SetLogonAnswered() override { ++m_nLogonAnswered; }
    CWnd* GetPasswordDialog() override { return m_pPassword; }
    CWnd* GetLocationDialog() override { return m_pLocation; }
    void SetStartupDataComplete() override { ++m_nStartupComplete; }
    void QuitApplication() override { ++m_nQuits; }
    void OnAgentLogon(long nPending, int nResult) override { m_logons.push_back({nPending, nResult}); }
    void SetLocation(long nLocationId, const CString& strName) override
    {
        m_nLocationId = nLocationId;
        m_strLocationName = strName.Str();
    }

    UINT m_nPort = 0;
    CString m_strVersion = L"5.4.9.6";
    CString m_strInstalled = L"5.4.9.0";
    CString m_strWorkFolder = L"C:\\work\\";
    BOOL m_bStandalone = FALSE;
    BOOL m_bVersionWarning = TRUE;
    CRecordingUpdateWindow m_connection;
    CRecordingUpdateService m_service;
    CWnd* m_pLogon = nullptr;
    CWnd* m_pPassword = nullptr;
    CWnd* m_pLocation = nullptr;
    int m_nLogonAnswered = 0;
    int m_nStartupComplete = 0;
    int m_nQuits = 0;
    std::vector<std::pair<long, int>> m_logons;
    std::wstring m_strLocationName;
};

// A command link connected to a scripted Jex.
class CJexLinkTest : public ::testing::Test
{
protected:
    // Starts the scripted Jex and connects our link to it; true once the handshake is done.
    bool Connect(const std::string& script, const std::string& dataScript = {})
    {
        m_pJex = std::make_unique<CScriptedJex>(script, dataScript);
        m_app.m_nPort = m_pJex->Port();
        if (!m_app.m_nPort) return false;
        m_pLink = std::make_unique<CJexSocket>(m_app, m_boxes);
        if (!m_pLink->Create() || !m_pLink->ConnectToServer()) return false;
        // The handshake runs inside the connect notification: once the error is known it is done.
        return PumpUntil([&] { return m_pLink->GetConnectError() != -1; }) && m_pLink->GetConnectError() == 0;
    }
    bool WaitForGreeting()
    {
        return PumpUntil([&] { return m_pLink->m_bSession || m_pLink->IsGreetingRefused(); }) && PumpUntilIdle();
    }
    // Closes our end and waits for the scripts to end; what the desktop sent on the command link.
    Lines Finish()
    {
        if (m_pLink) m_pLink->Close();
        EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
        return m_pJex->Received();
    }

    CJexAppHost m_app;
    CAnsweringBoxes m_boxes;
    std::unique_ptr<CScriptedJex> m_pJex;
    std::unique_ptr<CJexSocket> m_pLink;
};
