#pragma once
#include "clientctl/ILumoSocketCallbacks.h"
#include "tests/support/CScriptedLumo.h"
#include <functional>
#include <string>
#include <vector>
// What the link tests share: the scripted Lumo (tests/support), and a control that records what the
// link tells it, one text per callback.

// Byte i of the peer's generated payloads.
inline BYTE PatternByte(size_t i)
{
    return static_cast<BYTE>((i * 31 + 7) & 255);
}
// How many bytes differ from the peer's generated payload.
size_t CountPatternMismatches(const BYTE* pData, size_t nLength);

// After a test has released its link: no socket thread and no link left, the heap sound.
void ExpectNoLinkLeft();

class CRecordingControl : public ILumoSocketCallbacks
{
public:
    std::vector<std::wstring> m_seen;
    // Runs after each record; tests act inside a callback through it.
    std::function<void(const std::wstring&)> m_onSeen;
    std::vector<BYTE> m_lastData;
    std::vector<CCallArray> m_histories;

    bool HasSeen(const std::wstring& text) const;
    // Pumps until a record starts with the text.
    bool PumpUntilSeen(const std::wstring& prefix, DWORD timeoutMs = 10000) const;
    void Clear() { m_seen.clear(); }

    void OnError(const CString& strText) override;
    void OnLumoConnectionPending() override;
    void OnJexConnectionChanged(BOOL bConnected) override;
    void OnAgentStateChanged(short nAgentState) override;
    void OnDisconnected(int nErrorCode) override;
    void OnUTCShiftServerChanged(long nOldShift, long nNewShift) override;
    void OnReceivePauseList(const CString& strPauseList) override;
    void OnReceiveAgentList(short nListType, const CString& strAgentList) override;
    void OnReceiveDialNumberResult(long nResult) override;
    void OnReceiveEndTask(long nCallId) override;
    void OnReceiveRecordResult(short nResult) override;
    void OnReceiveQuestionRecordingResult(BOOL bStart, long nCallId, short nResult) override;
    void OnReceiveSendInterviewConfirmation(long nTaskId, long nCallId) override;
    void OnReceiveInterviewData(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength, DWORD nChecksum) override;
    void OnReceiveTaskContents(long nTaskId, DWORD nChecksum, const BYTE* pData, DWORD nLength,
                               const CString& strResources) override;
    void OnReceiveStartPlaySoundResult(long nCallId, short nResult) override;
    void OnReceiveStopPlaySoundResult(long nCallId, short nResult) override;
    void OnReceiveTaskResource(long nTaskId, long nResourceId, const BYTE* pData, DWORD nLength,
                               DWORD nChecksum) override;
    void OnReceiveOutboundGroupList(const CString& strList) override;
    void OnReceiveLocationList(const CString& strList) override;
    void OnReceiveStartKeyInResult(short nResult, long nCallId, long nInterviewId,
                                   const CString& strProperties) override;
    void OnReceiveStartTask(short nCallType, const CString& strProperties) override;
    void OnReceiveStats(const CString& strStats) override;
    void OnReceiveCallInfo(const CString& strCallInfo) override;
    void OnReceiveMessage(const CString& strSender, CMessage& message) override;
    void OnAssignedToKeyIn(BOOL bAssigned) override;
    void OnReceiveSemiOpens(long nSurveyId, const CStringArray& arrSemiOpens) override;
    void OnReceiveKeyInInterview(long nInterviewId, const CPropertyList& properties) override;
    void OnReceiveQuotaUpdate(long nSurveyId, short nUpdateType, const BYTE* pData, DWORD nLength) override;
    void OnReceiveVolume(short nDevice, short nVolume) override;
    void OnReceiveMute(short nDevice, BOOL bMuted) override;
    void OnReceiveVoipState(BOOL bReady) override;
    void OnReceiveCallHistory(long nCallId, const CCallArray& arrCalls) override;
    void OnReceiveAnnotation(long nValue1, long nValue2, long nValue3, long nValue4) override;

private:
    void Record(const std::wstring& text);
    // The record of a payload: its length and its CRC-32; the bytes are kept in m_lastData.
    std::wstring DataText(const BYTE* pData, DWORD nLength);
};

// The text form of a message from Lumo with attachments of the given names and sizes (their bytes
// follow as the command's payload).
std::string MessageText(const wchar_t* pszText, const std::vector<std::pair<const wchar_t*, long>>& attachments);
