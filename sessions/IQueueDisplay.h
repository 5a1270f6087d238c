#pragma once
#include "framework/CString.h"

// The queue and survey figures the main window shows. The Jex command link fills them (STAQUE,
// UPDSMO, QTAUPD); the desktop's main window serves it.
class IQueueDisplay
{
public:
    static constexpr const char* kRoleName = "IQueueDisplay";
    virtual ~IQueueDisplay() = default;

    virtual void ShowQueueStats(const CString& strText) = 0;
    virtual void OnUpdateSemiOpens(const CString& strText) = 0;
    // The bytes are valid only during the call.
    virtual void OnQuotaUpdate(long nSurveyId, int nType, const BYTE* pBytes, DWORD nLength) = 0;
};
