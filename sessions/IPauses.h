#pragma once
#include "framework/CString.h"

// The agent's pauses. Both application ports ask for and end them and ask for the list of pause
// reasons; the Jex command link hands the list on (LSTPAU). The desktop's main window serves it.
class IPauses
{
public:
    static constexpr const char* kRoleName = "IPauses";
    virtual ~IPauses() = default;

    virtual void RequestPause(long nPauseReasonId, int nStartType) = 0;
    virtual void EndPause() = 0;
    // An old-port application asks for a pause under its id, so that the pause list comes back to
    // it, or ends one (-1).
    virtual void SetPauseStateFor(BOOL bPause, long nRequester) = 0;
    virtual void RequestPauseList(long nRequestId, long nApplicationId) = 0;
    virtual void OnPauseList(long nRequestId, long nApplicationId, const CString& strList) = 0;
};
