#pragma once
// The application object as the Jex links see it: what they read is set by the test, what they
// set is recorded.
#include "sessions/CAlarmOption.h"
#include "sessions/tests/SessionRecorders.h"
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

class CJexLinkAppHost : public CRecordingAppHost
{
public:
    CString GetJexHostName() override { return L"127.0.0.1"; }
    UINT GetJexPort() override { return m_nPort; }
    CString GetVersionString() override { return m_strVersion; }
    CString GetWorkFolder() override { return m_strWorkFolder; }
    CString GetInputTracePath() override { return m_strInputTrace; }
    CString GetOutputTracePath() override { return m_strOutputTrace; }
    CString GetInstalledSetupVersion() override { return m_strInstalled; }
    BOOL IsStandalone() override { return m_bStandalone; }
    BOOL TakeVersionWarning() override { return std::exchange(m_bVersionWarning, FALSE); }
    BOOL IsAlarmSwitchOn() override { return m_bAlarms; }
    long GetRegistryLocationId() override { return 17; }
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

    // What the Jex commands set, in m_effects.
    void SetPermission(int nBit, BOOL bOn) override { Note(L"SetPermission " + Num(nBit) + L" " + Num(bOn)); }
    void SetPermissionMode(int nMode) override { Note(L"SetPermissionMode " + Num(nMode)); }
    void SetVoip(BOOL bOn) override { Note(L"SetVoip " + Num(bOn)); }
    CString GetVoipGatewaySetting() override { return m_strLocalGateways; }
    void SetVoipGateways(const CString& strGateways) override { Note(L"SetVoipGateways " + strGateways.Str()); }
    void StartAgentMonitor(const CString& strHost, long nPort, long nId) override
    {
        Note(L"StartAgentMonitor " + strHost.Str() + L" " + Num(nPort) + L" " + Num(nId));
    }
    void UpdateAlarmOptions(const CAlarmOption& options) override
    {
        Note(L"UpdateAlarmOptions " + options.GetText().Str());
    }

    // What the application port reads.
    std::shared_ptr<CJexSocket> GetJexSocket() override { return m_pJexSocket; }
    BOOL IsVoipOn() override { return m_bVoip; }
    // Either form serves: a bit mask, or single switches set by number.
    BOOL IsPermissionOn(int nBit) override { return ((m_nPermissions >> nBit) & 1) || m_permissions.contains(nBit); }
    CString GetLogFileLocation() override { return m_strLogFile; }
    void SetVisible(BOOL bVisible) override { m_bVisible = bVisible; }
    CWnd* GetConnectionDialogWnd() override { return m_pConnectionWnd; }

    static std::wstring Num(long long n) { return std::to_wstring(n); }
    void Note(const std::wstring& effect) { m_effects.push_back(effect); }

    UINT m_nPort = 0;
    std::shared_ptr<CJexSocket> m_pJexSocket; // the test's link, not owned here
    std::set<int> m_permissions;
    CString m_strLogFile;
    CString m_strVersion = L"5.4.9.6";
    CString m_strInstalled = L"5.4.9.0";
    CString m_strWorkFolder = L"C:\\work\\";
    CString m_strInputTrace; // none unless a test names them
    CString m_strOutputTrace;
    CString m_strLocalGateways;
    BOOL m_bStandalone = FALSE;
    BOOL m_bVersionWarning = TRUE;
    BOOL m_bAlarms = FALSE;
    CRecordingUpdateWindow m_connection;
    CRecordingUpdateService m_service;
    CWnd* m_pLogon = nullptr;
    CWnd* m_pPassword = nullptr;
    CWnd* m_pLocation = nullptr;
    CWnd* m_pConnectionWnd = nullptr;
    BOOL m_bVoip = FALSE;
    int m_nPermissions = 1 << 9;
    int m_nLogonAnswered = 0;
    int m_nStartupComplete = 0;
    int m_nQuits = 0;
    std::vector<std::pair<long, int>> m_logons;
    std::wstring m_strLocationName;
    std::vector<std::wstring> m_effects; // shared with the other recorders of a test, in order
};
