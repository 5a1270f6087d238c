#pragma once
#include "framework/CString.h"

// The voice gateways the softphone registers with. The Jex command link hands on VOICIP's list,
// unless this machine names its own. Nobody in the desktop serves it yet.
class IVoipGateways
{
public:
    static constexpr const char* kRoleName = "IVoipGateways";
    virtual ~IVoipGateways() = default;

    virtual CString GetVoipGatewaySetting() = 0;                  // the registry value VOIPGateWay
    virtual void SetVoipGateways(const CString& strGateways) = 0; // ";"-separated; starts again at the first
};
