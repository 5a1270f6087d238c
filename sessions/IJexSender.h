#pragma once
#include "framework/Platform.h"

// What the session core sends to Jex. The Jex command link implements it; the core holds no
// link of its own, so every request is formatted where the link's other senders are.
class IJexSender
{
public:
    virtual ~IJexSender() = default;
    virtual void SendOnHold(long nCallId) = 0;   // "ONHOLD %d"
    virtual void SendTakeBack(long nCallId) = 0; // "TAKBAC %d"
    // "RQASFA %d %d %d": Jex answers with UPDASE records and ends them with an empty UPDASE.
    virtual void RequestApplicationSettings(long nAgentId, long nOwner, int nFlag) = 0;
};
