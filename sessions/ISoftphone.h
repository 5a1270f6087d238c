#pragma once
#include "framework/CString.h"

// The softphone inside the desktop. The session core writes the held tasks' lines to its log;
// the Jex command link dials on it (LUMDIA) and has its log brought up to date (UPDSFT). The
// desktop's main window serves it.
class ISoftphone
{
public:
    static constexpr const char* kRoleName = "ISoftphone";
    virtual ~ISoftphone() = default;

    virtual BOOL HasSoftphone() = 0;
    virtual void WriteSoftphoneLog(const CString& strLine) = 0;
    virtual void UpdateSoftPhoneLog() = 0;
    virtual long DialOnSoftPhone(const CString& strNumber) = 0; // the line dialled on, -1 for none
};
