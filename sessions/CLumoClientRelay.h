#pragma once
#include "sessions/IApplicationRelay.h"
#include "framework/CString.h"

class CSessionCore;

// What Jex and the main window send to one application of the current port: the answers routed
// back to the application that asked (interview confirmations, call answers, call history, task
// resources) and the interviewing client's own messages. Nothing is sent to an id that is not
// registered at that moment. The old port's relay, when there is one, gets each answer as well.
class CLumoClientRelay : public IApplicationRelay
{
public:
    explicit CLumoClientRelay(CSessionCore& core, IApplicationRelay* pOldPort = nullptr);
    void SetOldPortRelay(IApplicationRelay* pOldPort) { m_pOldPort = pOldPort; }

    // "SNDINT -1 -1 %ld %ld" for data that came from this port; the old port's relay gets the rest.
    void SendInterviewConfirmation(long nApplicationId, BOOL bCurrentPort, long nFirst, long nThird) override;
    // "PLSSTA", "PLSSTO", "QRESTA" or "QRESTO" with Jex's request id, the call id and the result.
    void SendCallAnswer(CallAnswer kind, long nApplicationId, long nRequestId, long nCallId, long nResult) override;

    // Each TRUE when the application was there to be sent to. A payload goes with its line under
    // the socket's send lock.
    // "CALLHY %ld %u %ld %u": the history's bytes with their CRC-32, or none (null) for a call the
    // desktop does not know.
    BOOL SendCallHistory(long nApplicationId, long nRequestId, long nCallId, const BYTE* pBytes, DWORD nLength,
                         DWORD nCrc);
    // "TSKRES -1 %lu %ld %ld %lu" with the resource's bytes; "TSKRES -1 -1 %ld" when Jex has none.
    BOOL SendTaskResource(long nApplicationId, long nTaskId, long nResourceId, const BYTE* pBytes, DWORD nLength,
                          DWORD nCrc);
    BOOL SendTaskResourceAbsent(long nApplicationId, long nTaskId);
    // To the interviewing client: "QTAUPD -1 %u %d %ld" with the quota bytes, "KYIINT -1 -1 %ld %s",
    // "STAKYI -1 -1 %s" (Jex's text as it came) and "ASSKYI -1 -1 %d".
    BOOL SendQuotaUpdate(long nSurveyId, long nType, const BYTE* pBytes, DWORD nLength);
    BOOL SendKeyInInterview(long nInterviewId, const CString& strText);
    BOOL SendStartKeyInResult(const CString& strText);
    BOOL SendAssignedToKeyIn(BOOL bAssigned);

private:
    CSessionCore& m_core;
    IApplicationRelay* m_pOldPort;
};
