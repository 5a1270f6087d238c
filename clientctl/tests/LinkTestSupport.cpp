#include "clientctl/tests/LinkTestSupport.h"
#include "clientctl/CSyncSocketEx.h"
#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CFile.h"
#include "framework/CWinApp.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>

// The application object: synchronous waits pump the messages of its thread.
CWinApp theApp(L"clientctl_tests");

namespace
{
std::wstring Text(const CString& str)
{
    return str.Str();
}
std::wstring Number(long long n)
{
    return std::to_wstring(n);
}
} // namespace

size_t CountPatternMismatches(const BYTE* pData, size_t nLength)
{
    size_t nWrong = 0;
    for (size_t i = 0; i < nLength; ++i)
        nWrong += pData[i] != PatternByte(i);
    return nWrong;
}

void ExpectNoLinkLeft()
{
    EXPECT_TRUE(PumpUntil([] { return CSyncSocketExThread::GetInstanceCount() == 0; })) << "every socket thread ends";
    EXPECT_EQ(CSyncSocketEx::GetInstanceCount(), 0);
    EXPECT_TRUE(::HeapValidate(::GetProcessHeap(), 0, nullptr));
}

bool CRecordingControl::HasSeen(const std::wstring& text) const
{
    for (const std::wstring& seen : m_seen)
        if (seen == text) return true;
    return false;
}

bool CRecordingControl::PumpUntilSeen(const std::wstring& prefix, DWORD timeoutMs) const
{
    return PumpUntil(
        [&] {
            for (const std::wstring& seen : m_seen)
                if (seen.compare(0, prefix.size(), prefix) == 0) return true;
            return false;
        },
        timeoutMs);
}

void CRecordingControl::Record(const std::wstring& text)
{
    m_seen.push_back(text);
    if (m_onSeen) m_onSeen(text);
}

std::wstring CRecordingControl::DataText(const BYTE* pData, DWORD nLength)
{
    m_lastData.assign(pData, pData ? pData + nLength : pData);
    return Number(nLength) + L"b/" + Number(pData ? CStaticTools::GetChecksumForMemory(pData, nLength) : 0);
}

void CRecordingControl::OnError(const CString& strText)
{
    Record(L"Error " + Text(strText));
}
void CRecordingControl::OnLumoConnectionPending()
{
    Record(L"Pending");
}
void CRecordingControl::OnJexConnectionChanged(BOOL bConnected)
{
    Record(L"Jex " + Number(bConnected));
}
void CRecordingControl::OnAgentStateChanged(short nAgentState)
{
    Record(L"AgentState " + Number(nAgentState));
}
void CRecordingControl::OnDisconnected(int nErrorCode)
{
    Record(L"Disconnected " + Number(nErrorCode));
}
void CRecordingControl::OnUTCShiftServerChanged(long nOldShift, long nNewShift)
{
    Record(L"Shift " + Number(nOldShift) + L" " + Number(nNewShift));
}
void CRecordingControl::OnReceivePauseList(const CString& strPauseList)
{
    Record(L"PauseList " + Text(strPauseList));
}
void CRecordingControl::OnReceiveAgentList(short nListType, const CString& strAgentList)
{
    Record(L"AgentList " + Number(nListType) + L" " + Text(strAgentList));
}
void CRecordingControl::OnReceiveDialNumberResult(long nResult)
{
    Record(L"DialResult " + Number(nResult));
}
void CRecordingControl::OnReceiveEndTask(long nCallId)
{
    Record(L"EndTask " + Number(nCallId));
}
void CRecordingControl::OnReceiveRecordResult(short nResult)
{
    Record(L"RecordResult " + Number(nResult));
}
void CRecordingControl::OnReceiveQuestionRecordingResult(BOOL bStart, long nCallId, short nResult)
{
    Record(L"QuestionRecording " + Number(bStart) + L" " + Number(nCallId) + L" " + Number(nResult));
}
void CRecordingControl::OnReceiveSendInterviewConfirmation(long nTaskId, long nCallId)
{
    Record(L"InterviewConfirmed " + Number(nTaskId) + L" " + Number(nCallId));
}
void CRecordingControl::OnReceiveInterviewData(long nTaskId, long nCallId, const BYTE* pData, DWORD nLength,
                                               DWORD nChecksum)
{
    Record(L"InterviewData " + Number(nTaskId) + L" " + Number(nCallId) + L" " + DataText(pData, nLength) + L" " +
           Number(nChecksum));
}
void CRecordingControl::OnReceiveTaskContents(long nTaskId, DWORD nChecksum, const BYTE* pData, DWORD nLength,
                                              const CString& strResources)
{
    Record(L"TaskContents " + Number(nTaskId) + L" " + Number(nChecksum) + L" " + DataText(pData, nLength) + L" " +
           Text(strResources));
}
void CRecordingControl::OnReceiveStartPlaySoundResult(long nCallId, short nResult)
{
    Record(L"PlayStarted " + Number(nCallId) + L" " + Number(nResult));
}
void CRecordingControl::OnReceiveStopPlaySoundResult(long nCallId, short nResult)
{
    Record(L"PlayStopped " + Number(nCallId) + L" " + Number(nResult));
}
void CRecordingControl::OnReceiveTaskResource(long nTaskId, long nResourceId, const BYTE* pData, DWORD nLength,
                                              DWORD nChecksum)
{
    Record(L"TaskResource " + Number(nTaskId) + L" " + Number(nResourceId) + L" " + DataText(pData, nLength) + L" " +
           Number(nChecksum));
}
void CRecordingControl::OnReceiveOutboundGroupList(const CString& strList)
{
    Record(L"OutboundGroups " + Text(strList));
}
void CRecordingControl::OnReceiveLocationList(const CString& strList)
{
    Record(L"Locations " + Text(strList));
}
void CRecordingControl::OnReceiveStartKeyInResult(short nResult, long nCallId, long nInterviewId,
                                                  const CString& strProperties)
{
    Record(L"KeyInStarted " + Number(nResult) + L" " + Number(nCallId) + L" " + Number(nInterviewId) + L" " +
           Text(strProperties));
}
void CRecordingControl::OnReceiveStartTask(short nCallType, const CString& strProperties)
{
    Record(L"StartTask " + Number(nCallType) + L" " + Text(strProperties));
}
void CRecordingControl::OnReceiveStats(const CString& strStats)
{
    Record(L"Stats " + Text(strStats));
}
void CRecordingControl::OnReceiveCallInfo(const CString& strCallInfo)
{
    Record(L"CallInfo " + Text(strCallInfo));
}
void CRecordingControl::OnReceiveMessage(const CString& strSender, CMessage& message)
{
    std::wstring text = L"Message " + Text(strSender) + L" " + Text(message.m_strText);
    for (CMessage::CMessageAttachment* pAttachment : message.m_arrAttachments.Items())
    {
        text += L" [" + Text(pAttachment->m_strName) + L":";
        if (pAttachment->m_pFile)
        {
            BYTE buffer[64] = {};
            pAttachment->m_pFile->SeekToBegin();
            const UINT nRead = pAttachment->m_pFile->Read(buffer, sizeof buffer);
            for (UINT i = 0; i < nRead; ++i)
                text += (i ? L"," : L"") + Number(buffer[i]);
        }
        else
            text += L"none";
        text += L"]";
    }
    Record(text);
}
void CRecordingControl::OnAssignedToKeyIn(BOOL bAssigned)
{
    Record(L"KeyInAssigned " + Number(bAssigned));
}
void CRecordingControl::OnReceiveSemiOpens(long nSurveyId, const CStringArray& arrSemiOpens)
{
    std::wstring text = L"SemiOpens " + Number(nSurveyId);
    for (INT_PTR i = 0; i < arrSemiOpens.GetSize(); ++i)
        text += L" " + Text(arrSemiOpens[i]);
    Record(text);
}
void CRecordingControl::OnReceiveKeyInInterview(long nInterviewId, const CPropertyList& properties)
{
    Record(L"KeyInInterview " + Number(nInterviewId) + L" " + Text(properties.GetString()));
}
void CRecordingControl::OnReceiveQuotaUpdate(long nSurveyId, short nUpdateType, const BYTE* pData, DWORD nLength)
{
    Record(L"QuotaUpdate " + Number(nSurveyId) + L" " + Number(nUpdateType) + L" " + DataText(pData, nLength));
}
void CRecordingControl::OnReceiveVolume(short nDevice, short nVolume)
{
    Record(L"Volume " + Number(nDevice) + L" " + Number(nVolume));
}
void CRecordingControl::OnReceiveMute(short nDevice, BOOL bMuted)
{
    Record(L"Mute " + Number(nDevice) + L" " + Number(bMuted));
}
void CRecordingControl::OnReceiveVoipState(BOOL bReady)
{
    Record(L"Voip " + Number(bReady));
}
void CRecordingControl::OnReceiveCallHistory(long nCallId, const CCallArray& arrCalls)
{
    m_histories.push_back(arrCalls);
    Record(L"CallHistory " + Number(nCallId) + L" " + Number(arrCalls.GetSize()));
}
void CRecordingControl::OnReceiveAnnotation(long nValue1, long nValue2, long nValue3, long nValue4)
{
    Record(L"Annotation " + Number(nValue1) + L" " + Number(nValue2) + L" " + Number(nValue3) + L" " + Number(nValue4));
}

std::string MessageText(const wchar_t* pszText, const std::vector<std::pair<const wchar_t*, long>>& attachments)
{
    CMessage message;
    message.m_strText = pszText;
    for (const auto& [pszName, nSize] : attachments)
    {
        auto* pAttachment = new CMessage::CMessageAttachment;
        pAttachment->m_strName = pszName;
        pAttachment->m_nSize = nSize;
        message.AddAttachment(pAttachment);
    }
    CString strText;
    message.GetText(strText, true);
    return std::string(CStringA(strText).GetString());
}
