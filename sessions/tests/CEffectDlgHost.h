#pragma once
#include "sessions/tests/SessionRecorders.h"
#include <memory>
#include <string>
#include <vector>

// The main window's receivers of Jex commands, each noted as one line ("SetAgentState 3 Ready")
// in a record of effects that a test shares with its other recorders. A stand-in that must also
// act on some of them overrides those and calls the note here first; one that keeps its record
// elsewhere overrides Note.
class CEffectDlgHost : public CRecordingDlgHost
{
public:
    explicit CEffectDlgHost(std::vector<std::wstring>& effects) : m_effects(effects) {}

    // Bytes as text, one character a byte; "(none)" for no bytes at all.
    static std::wstring BytesText(const BYTE* pBytes, DWORD nLength);

    void SetAssignedToKeyIn(BOOL b) override;
    void SetAgentState(int n, const CString& s) override;
    void OnAvailableOutbound(BOOL b, long n, const CString& s) override;
    void OnBlindTransferResult(long a, long b) override;
    void OnCallInfo(const CString& s) override;
    void OnCallHistory(long nCall, long nRequest, long nApp, const BYTE* p, DWORD n, DWORD nCrc) override;
    void OnConferenceAdded(const CString& s) override;
    void OnOutboundCallEnded(long n) override;
    void OnKeyInInterview(long n, const CString& s) override;
    void OnPauseList(long a, long b, const CString& s) override;
    void OnManualDialResult(int n) override;
    void OnNextCallResult(int n) override;
    void OnNumberInfo(const CString& s) override;
    void OnConfirmTransferResult(int n) override;
    void OnHoldResult(int n) override;
    void OnQuotaUpdate(long nSurvey, int nType, const BYTE* p, DWORD n) override;
    void OnRecordCallResult(long a, long b) override;
    void OnRefuseNumberResult(long a, long b, long c) override;
    void OnSelectNumberResult(long a, long b, long c) override;
    void OnManualDialRequest(int n) override;
    void ArrangeButtons() override;
    void OnMessageReceived(const CString& strSender, std::unique_ptr<CMessage> pMessage) override; // kept in m_messages
    void OnStartKeyInResult(const CString& s) override;
    void ShowQueueStats(const CString& s) override;
    void StartInboundCall(const CString& s) override;
    void StartOutboundCall(const CString& s) override;
    void OnTakeBackResult(int n) override;
    void OnTakeCallResult(int n) override;
    void OnTransferCallResult(int n) override;
    void OnTransferEnded(int n) override;
    void StartTransferredCall(const CString& s, BOOL b) override;
    void OnTransferToAgent(int n) override;
    void OnTaskResources(long nTask, long nApp, long nResource, std::unique_ptr<BYTE[]> p, DWORD n,
                         DWORD nCrc) override;
    void OnAnnotationChanged(long a, long b, long c, long d, int e) override;
    void UpdateSoftPhoneLog() override;
    void OnUpdateSemiOpens(const CString& s) override;
    void OnScriptContents(long n, const CString& s, BOOL b) override;
    void OnContactSearchResult(const CPropertyList& result) override;
    long DialOnSoftPhone(const CString& s) override; // 4, as a softphone that dialled

    std::vector<std::unique_ptr<CMessage>> m_messages;

protected:
    virtual void Note(const std::wstring& s) { m_effects.push_back(s); }
    static std::wstring Num(long long n) { return std::to_wstring(n); }

private:
    std::vector<std::wstring>& m_effects;
};
