#pragma once
#include "framework/CString.h"
#include <memory>

class CJexSocket;
class IUpdateServiceClient;

// Where Jex is and what the run keeps of the link: the Jex command link connects and greets by
// it and hands an update to the update service; the application ports find the current link
// through it. The desktop's application object serves it.
class IJexConnection
{
public:
    static constexpr const char* kRoleName = "IJexConnection";
    virtual ~IJexConnection() = default;

    virtual CString GetJexHostName() = 0;
    virtual UINT GetJexPort() = 0;
    // TRUE the first time in a run, FALSE afterwards: Jex's version differs once per run.
    virtual BOOL TakeVersionWarning() = 0;
    virtual IUpdateServiceClient* GetUpdateService() = 0;
    virtual std::shared_ptr<CJexSocket> GetJexSocket() = 0; // empty while there is none
};
