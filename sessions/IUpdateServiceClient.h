#pragma once
#include "framework/CString.h"

// The local update service as the Jex link uses it when Jex offers an update.
class IUpdateServiceClient
{
public:
    virtual ~IUpdateServiceClient() = default;
    // FALSE with the reason in strError when the service cannot be reached.
    virtual BOOL CheckService(CString& strError) = 0;
    // Asks the service to run the program and afterwards to restart the agent desktop.
    virtual BOOL RunUpdate(const CString& strProgram, const CString& strArguments, CString& strError,
                           BOOL bDeleteProgram, BOOL bWait) = 0;
};
