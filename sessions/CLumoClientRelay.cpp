#include "sessions/CLumoClientRelay.h"
#include "sessions/CSessionCore.h"
#include "core/CAsyncSocketEx.h"

namespace
{
// The line, then the bytes: nothing of another sender may come between them.
template <typename... Args>
void SendWithPayload(CAsyncSocketEx& socket, const BYTE* pBytes, DWORD nLength, LPCWSTR pszFormat, Args... args)
{
    CSingleLock lock(&socket.m_csSend, TRUE);
    socket.SendCommand(pszFormat, args...);
    if (pBytes && nLength) socket.SendRaw(pBytes, static_cast<int>(nLength));
}
} // namespace

CLumoClientRelay::CLumoClientRelay(CSessionCore& core, IApplicationRelay* pOldPort) : m_core(core), m_pOldPort(pOldPort)
{
}

void CLumoClientRelay::SendInterviewConfirmation(long nApplicationId, BOOL bCurrentPort, long nFirst, long nThird)
{
    if (!bCurrentPort)
    {
        if (m_pOldPort) m_pOldPort->SendInterviewConfirmation(nApplicationId, bCurrentPort, nFirst, nThird);
        return;
    }
    if (CAsyncSocketEx* pSocket = m_core.FindApplication(nApplicationId))
        pSocket->SendCommand(L"SNDINT -1 -1 %ld %ld\r", nFirst, nThird);
}

void CLumoClientRelay::SendCallAnswer(CallAnswer kind, long nApplicationId, long nRequestId, long nCallId, long nResult)
{
    if (CAsyncSocketEx* pSocket = m_core.FindApplication(nApplicationId))
    {
        switch (kind)
        {
        case answerSoundStart:
            pSocket->SendCommand(L"PLSSTA %ld -1 %ld %ld\r", nRequestId, nCallId, nResult);
            break;
        case answerSoundEnd:
            pSocket->SendCommand(L"PLSSTO %ld -1 %ld %ld\r", nRequestId, nCallId, nResult);
            break;
        case answerRecordingStart:
            pSocket->SendCommand(L"QRESTA %ld -1 %ld %d\r", nRequestId, nCallId, static_cast<int>(nResult));
            break;
        case answerRecordingEnd:
            pSocket->SendCommand(L"QRESTO %ld -1 %ld %d\r", nRequestId, nCallId, static_cast<int>(nResult));
            break;
        }
    }
    if (m_pOldPort) m_pOldPort->SendCallAnswer(kind, nApplicationId, nRequestId, nCallId, nResult);
}

BOOL CLumoClientRelay::SendCallHistory(long nApplicationId, long nRequestId, long nCallId, const BYTE* pBytes,
                                       DWORD nLength, DWORD nCrc)
{
    CAsyncSocketEx* pSocket = m_core.FindApplication(nApplicationId);
    if (!pSocket) return FALSE;
    if (!pBytes) nLength = nCrc = 0;
    SendWithPayload(*pSocket, pBytes, nLength, L"CALLHY %ld %u %ld %u\r", nRequestId, static_cast<unsigned>(nLength),
                    nCallId, static_cast<unsigned>(nCrc));
    return TRUE;
}

BOOL CLumoClientRelay::SendTaskResource(long nApplicationId, long nTaskId, long nResourceId, const BYTE* pBytes,
                                        DWORD nLength, DWORD nCrc)
{
    CAsyncSocketEx* pSocket = m_core.FindApplication(nApplicationId);
    if (!pSocket) return FALSE;
    if (!pBytes) nLength = 0;
    SendWithPayload(*pSocket, pBytes, nLength, L"TSKRES -1 %lu %ld %ld %lu\r", static_cast<unsigned long>(nLength),
                    nTaskId, nResourceId, static_cast<unsigned long>(nCrc));
    return TRUE;
}

BOOL CLumoClientRelay::SendTaskResourceAbsent(long nApplicationId, long nTaskId)
{
    CAsyncSocketEx* pSocket = m_core.FindApplication(nApplicationId);
    if (!pSocket) return FALSE;
    pSocket->SendCommand(L"TSKRES -1 -1 %ld\r", nTaskId);
    return TRUE;
}

BOOL CLumoClientRelay::SendQuotaUpdate(long nSurveyId, long nType, const BYTE* pBytes, DWORD nLength)
{
    CAsyncSocketEx* pSocket = m_core.FindApplication(CSessionCore::kBrennClientId);
    if (!pSocket) return FALSE;
    if (!pBytes) nLength = 0;
    SendWithPayload(*pSocket, pBytes, nLength, L"QTAUPD -1 %u %d %ld\r", static_cast<unsigned>(nLength),
                    static_cast<int>(nSurveyId), nType);
    return TRUE;
}

BOOL CLumoClientRelay::SendKeyInInterview(long nInterviewId, const CString& strText)
{
    CAsyncSocketEx* pSocket = m_core.FindApplication(CSessionCore::kBrennClientId);
    if (!pSocket) return FALSE;
    pSocket->SendCommand(L"KYIINT -1 -1 %ld %s\r", nInterviewId, CAsyncSocketEx::EscapeParameter(strText).GetString());
    return TRUE;
}

BOOL CLumoClientRelay::SendStartKeyInResult(const CString& strText)
{
    CAsyncSocketEx* pSocket = m_core.FindApplication(CSessionCore::kBrennClientId);
    if (!pSocket) return FALSE;
    pSocket->SendCommand(L"STAKYI -1 -1 %s\r", strText.GetString());
    return TRUE;
}

BOOL CLumoClientRelay::SendAssignedToKeyIn(BOOL bAssigned)
{
    CAsyncSocketEx* pSocket = m_core.FindApplication(CSessionCore::kBrennClientId);
    if (!pSocket) return FALSE;
    pSocket->SendCommand(L"ASSKYI -1 -1 %d\r", bAssigned ? 1 : 0);
    return TRUE;
}
