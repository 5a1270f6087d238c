#pragma once
#include "framework/CString.h"

class CSessionCore;

// What Jex and the main window send to one application of the current port alone: the call
// history routed back to the application that asked, and the interviewing client's own messages.
// Nothing is sent to an id that is not registered at that moment. What both ports receive (Jex's
// routed answers, task resources) the session core sends, on the port each application is on.
class CLumoClientRelay
{
public:
    explicit CLumoClientRelay(CSessionCore& core);

    // Each TRUE when the application was there to be sent to. A payload goes with its line under
    // the socket's send lock.
    // "CALLHY %ld %u %ld %u": the history's bytes with their CRC-32, or none (null) for a call the
    // desktop does not know.
    BOOL SendCallHistory(long nApplicationId, long nRequestId, long nCallId, const BYTE* pBytes, DWORD nLength,
                         DWORD nCrc);
    // To the interviewing client: "QTAUPD -1 %u %d %ld" with the quota bytes, "KYIINT -1 -1 %ld %s",
    // "STAKYI -1 -1 %s" (Jex's text as it came) and "ASSKYI -1 -1 %d".
    BOOL SendQuotaUpdate(long nSurveyId, long nType, const BYTE* pBytes, DWORD nLength);
    BOOL SendKeyInInterview(long nInterviewId, const CString& strText);
    BOOL SendStartKeyInResult(const CString& strText);
    BOOL SendAssignedToKeyIn(BOOL bAssigned);

private:
    CSessionCore& m_core;
};
