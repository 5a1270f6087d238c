#pragma once
// A Jex command link connected to the scripted Jex, and the application object as the link sees it.
#include "sessions/CJexSocket.h"
#include "sessions/tests/CScriptedJex.h"
#include "sessions/tests/SessionRecorders.h"
#include "sessions/CAlarmOption.h"
#include "core/CTimeTools.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CJexLinkAppHost : public CRecordingAppHost
{
public:
    CString GetJexHostName() override { return L"127.0.0.1"; }
    UINT GetJexPort() override { return m_nPort; }
    BOOL IsAlarmSwitchOn() override { return m_bAlarms; }
    long GetRegistryLocationId() override { return 17; }
    void OnAgentLogon(long nPending, int nResult) override { m_logons.push_back({nPending, nResult}); }
    CString GetWorkFolder() override { return m_strWorkFolder; }

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

    static std::wstring Num(long long n) { return std::to_wstring(n); }
    void Note(const std::wstring& effect) { m_effects.push_back(effect); }

    UINT m_nPort = 0;
    CString m_strWorkFolder = L"C:\\work\\";
    CString m_strLocalGateways;
    std::vector<std::wstring> m_effects; // shared with the other recorders of a test, in order
    BOOL m_bAlarms = FALSE;
    std::vector<std::pair<long, int>> m_logons;
};

class JexLinkFixture : public ::testing::Test
{
protected:
    // The offset in log-on lines follows the server clock, which earlier links may have moved.
    void SetUp() override { CTimeTools::m_nUTCShift_sec = 0; }

    using Files = std::vector<std::pair<std::wstring, std::string>>;

    // Starts the scripted Jex with the files its script reads and connects the link; true once the
    // handshake is done.
    bool Connect(const std::string& script, const Files& files = {});
    bool WaitForGreeting();
    // Closes our end and waits for the script to end.
    void Finish();

    // A text for the script: what is not printable ASCII as a Python escape.
    static std::string ScriptText(const std::wstring& text);
    static std::string Quoted(const std::wstring& text) { return "'" + ScriptText(text) + "'"; }

    CJexLinkAppHost m_app;
    CAnsweringBoxes m_boxes;
    CSessionCore* m_pCore = nullptr; // set before Connect when the link needs one
    std::unique_ptr<CScriptedJex> m_pJex;
    std::unique_ptr<CJexSocket> m_pLink;
};
