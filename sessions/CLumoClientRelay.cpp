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

CLumoClientRelay::CLumoClientRelay(CSessionCore& core) : m_core(core) {}

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
