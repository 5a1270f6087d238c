#pragma once
#include "framework/CString.h"
#include <memory>

class CPropertyList;

// The tasks Jex starts and the programs that work on them: calls that start, a task's resources
// and scripts, contact searches. The Jex command link calls it (STRTIN, STRTOU, TRANIN, TRANOU,
// TSKRES, UPDTSK, FNDCON); the session core reports a task started in an application. The
// desktop's main window serves it.
class ITasks
{
public:
    static constexpr const char* kRoleName = "ITasks";
    virtual ~ITasks() = default;

    virtual void StartInboundCall(const CString& strTask) = 0;
    virtual void StartOutboundCall(const CString& strTask) = 0;
    virtual void StartTransferredCall(const CString& strTask, BOOL bInbound) = 0;
    virtual void OnTaskStarted() = 0; // a task was started in an application
    // The resource's nLength bytes become the receiver's; null (resource id -1) without a resource.
    virtual void OnTaskResources(long nTaskId, long nApplicationId, long nResourceId, std::unique_ptr<BYTE[]> pBytes,
                                 DWORD nLength, DWORD nCrc) = 0;
    virtual void OnScriptContents(long nScriptId, const CString& strText, BOOL bChecksumMatched) = 0;
    virtual void OnContactSearchResult(const CPropertyList& result) = 0; // dropped when no search is open
};
