#pragma once
#include "framework/CString.h"

// Manual dialling, the next call, the numbers Jex offers and key-in interviews. The Jex command
// link calls it (REQMAN, MANDIA, NEXCAL, NUMINF, REFNUM, SELNMR, KYIINT, STAKYI); the desktop's
// main window serves it.
class IDialing
{
public:
    static constexpr const char* kRoleName = "IDialing";
    virtual ~IDialing() = default;

    virtual void OnManualDialRequest(int nType) = 0;
    virtual void OnManualDialResult(int nCode) = 0;
    virtual void OnNextCallResult(int nCode) = 0;
    virtual void OnNumberInfo(const CString& strText) = 0;
    virtual void OnRefuseNumberResult(long nFirst, long nSecond, long nThird) = 0;
    virtual void OnSelectNumberResult(long nFirst, long nSecond, long nThird) = 0;
    virtual void OnKeyInInterview(long nInterviewId, const CString& strText) = 0;
    virtual void OnStartKeyInResult(const CString& strText) = 0;
};
