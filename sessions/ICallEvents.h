#pragma once
#include "framework/CString.h"

// Jex's news about the agent's calls: the answers to the call buttons, transfers, conferences,
// recordings, annotations and a call's history. The Jex command link calls it; the desktop's main
// window serves it.
class ICallEvents
{
public:
    static constexpr const char* kRoleName = "ICallEvents";
    virtual ~ICallEvents() = default;

    virtual void OnCallInfo(const CString& strCallInfo) = 0;
    virtual void OnHoldResult(int nCode) = 0;
    virtual void OnTakeBackResult(int nCode) = 0;
    virtual void OnTakeCallResult(int nCode) = 0;
    virtual void OnTransferCallResult(int nCode) = 0;
    virtual void OnConfirmTransferResult(int nCode) = 0;
    virtual void OnTransferEnded(int nCode) = 0;
    virtual void OnTransferToAgent(int nCode) = 0;
    virtual void OnBlindTransferResult(long nFirst, long nSecond) = 0;
    virtual void OnConferenceAdded(const CString& strText) = 0;
    virtual void OnOutboundCallEnded(long nCallId) = 0;
    virtual void OnRecordCallResult(long nId, long nResult) = 0;
    virtual void OnAnnotationChanged(long nFirst, long nSecond, long nThird, long nFourth, int nFifth) = 0;
    // The bytes are valid only during the call.
    virtual void OnCallHistory(long nCallId, long nRequestId, long nApplicationId, const BYTE* pBytes, DWORD nLength,
                               DWORD nCrc) = 0;
};
