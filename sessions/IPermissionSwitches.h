#pragma once
#include "framework/Platform.h"

// The switches Jex sets for the agent's session: the permission bits of SETPER, VOICIP's voice
// over IP and the alarm switch set at log-on. The Jex command link sets them and reads the alarm
// switch for its alarm requests; the application ports read them. The desktop's application
// object serves it.
class IPermissionSwitches
{
public:
    static constexpr const char* kRoleName = "IPermissionSwitches";
    virtual ~IPermissionSwitches() = default;

    // Jex SETPER: the switches of permission bits 0, 1, 5, 6, 7, 8 and 9 (bit 9's is on until the
    // first SETPER), and the three-valued mode of bits 2 to 4.
    virtual void SetPermission(int nBit, BOOL bOn) = 0;
    virtual void SetPermissionMode(int nMode) = 0;
    virtual BOOL IsPermissionOn(int nBit) = 0;
    virtual void SetVoip(BOOL bOn) = 0; // Jex VOICIP; read by ISVOIP
    virtual BOOL IsVoipOn() = 0;
    virtual BOOL IsAlarmSwitchOn() = 0; // set at log-on: alarms go to Jex only then
};
