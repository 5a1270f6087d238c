#pragma once
#include "framework/CString.h"

// What the session core sends to Jex; each is FALSE when nothing could be sent. The Jex command link implements it; the
// core holds no link of its own, so every request is formatted where the link's other senders are.
class IJexSender
{
public:
    virtual ~IJexSender() = default;
    virtual BOOL SendOnHold(long nCallId) = 0;   // "ONHOLD %d"
    virtual BOOL SendTakeBack(long nCallId) = 0; // "TAKBAC %d"
    // "RQASFA %d %d %d": Jex answers with UPDASE records and ends them with an empty UPDASE.
    virtual BOOL RequestApplicationSettings(long nAgentId, long nOwner, int nFlag) = 0;
    // APPLGN with an application's four log-on fields; the link remembers nPendingId for Jex's answer.
    virtual BOOL SendApplicationLogon(long nPendingId, const CString& strField1, const CString& strField2,
                                      const CString& strField3, const CString& strField4) = 0;
};
