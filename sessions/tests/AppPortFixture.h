#pragma once
// The current application port with everything around it: a listener of ours on 127.0.0.1, the
// session core with a recording main window, a Jex command link to the scripted Jex (when a test
// connects one) and the scripted local applications (tests/peers/scripted_app.py).
#include "sessions/CLumoClientRelay.h"
#include "sessions/CLumoClientSocket.h"
#include "sessions/CSessionCore.h"
#include "tests/support/CScriptedApps.h"
#include "sessions/tests/JexLinkFixture.h"
#include <memory>
#include <string>
#include <vector>

// The main window: every operation the port calls is noted in m_calls, in order.
class CPortDlgHost : public CRecordingDlgHost
{
public:
    void LogOff() override { Note(L"LogOff"); }
    BOOL IsMasterMuted() override { return m_bSpeakersMuted; }
    BOOL IsMicrophoneMuted() override { return m_bMicrophoneMuted; }
    void SetMasterMute(BOOL b) override { Note(L"SetMasterMute " + Num(b)); }
    void SetMicrophoneMute(BOOL b) override { Note(L"SetMicrophoneMute " + Num(b)); }
    double GetSpeakerVolume() override { return m_dSpeakerVolume; }
    double GetMicrophoneVolume() override { return -1; }
    void SetMasterVolume(double d) override { Note(L"SetMasterVolume " + std::to_wstring(d)); }
    void SetMicrophoneVolume(double d) override { Note(L"SetMicrophoneVolume " + std::to_wstring(d)); }
    void RequestCallHistory(long nCall, long nRequest, long nApp) override
    {
        Note(L"RequestCallHistory " + Num(nCall) + L" " + Num(nRequest) + L" " + Num(nApp));
    }
    void SendDtmfForCall(long nCall, const CString& s, BOOL b) override
    {
        Note(L"SendDtmfForCall " + Num(nCall) + L" " + s.Str() + L" " + Num(b));
    }
    void EndCall(int nResult, const CString& s, long nCall) override
    {
        Note(L"EndCall " + Num(nResult) + L" [" + s.Str() + L"] " + Num(nCall));
    }
    void RequestAgentList(long nRequest, long nApp, int nKind) override
    {
        Note(L"RequestAgentList " + Num(nRequest) + L" " + Num(nApp) + L" " + Num(nKind));
    }
    void RequestPauseList(long nRequest, long nApp) override
    {
        Note(L"RequestPauseList " + Num(nRequest) + L" " + Num(nApp));
    }
    void DialNumberForApplication(long nRequest, long nApp, const CString& n, const CString& t) override
    {
        Note(L"DialNumberForApplication " + Num(nRequest) + L" " + Num(nApp) + L" " + n.Str() + L" [" + t.Str() + L"]");
    }
    void RecordCall(long nRequest, long nCall) override { Note(L"RecordCall " + Num(nRequest) + L" " + Num(nCall)); }
    void RequestPause(long nReason, int nStart) override { Note(L"RequestPause " + Num(nReason) + L" " + Num(nStart)); }
    void EndPause() override { Note(L"EndPause"); }
    void TakeCallById(long nCall) override { Note(L"TakeCallById " + Num(nCall)); }
    CWnd* GetWnd() override { return m_pWnd; }
    void DropCall(CCallInfo* pCall) override { Note(pCall ? L"DropCall a record" : L"DropCall the selected call"); }

    static std::wstring Num(long long n) { return std::to_wstring(n); }
    void Note(const std::wstring& call) { m_calls.push_back(call); }

    std::vector<std::wstring> m_calls;
    BOOL m_bSpeakersMuted = FALSE;
    BOOL m_bMicrophoneMuted = TRUE;
    double m_dSpeakerVolume = 0.75;
    CWnd* m_pWnd = nullptr;
};

class AppPortFixture : public JexLinkFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The scripted Jex after its greeting (the session is up), with "script" after that; the
    // link becomes the Jex link of the port, the core and the relays.
    bool ConnectJex(const std::string& script);
    // Whether the desktop holds the link now (the core's sender and the application's socket).
    void UseJex(bool bUse);
    void StartApps(const std::string& script);
    // Waits for the script's end (0 expected) and for every connection to be gone.
    void FinishApps();
    std::string ReadLog() const;

    CSessionCore m_core{m_app};
    CPortDlgHost m_dlg;
    CRecordingJex m_recordingJex; // a Jex sender for tests without the scripted Jex
    CLumoClientRelay m_relay{m_core};
    CLumoClientSocket m_listener{m_core, m_app};
    std::unique_ptr<CScriptedApps> m_pApps;
    std::wstring m_logPath;
};
