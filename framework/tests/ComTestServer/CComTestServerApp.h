#pragma once
#include "framework/CWinApp.h"
// The test server's application object. The environment variable COMTESTSERVER_REFUSE_LOAD
// makes InitInstance fail, so a test can see a refused load; InitInstance and ExitInstance leave
// their thread's id in COMTESTSERVER_INIT_THREAD and COMTESTSERVER_EXIT_THREAD, so a test can see
// when and where they ran.
class CComTestServerApp : public CWinApp
{
public:
    BOOL InitInstance() override;
    int ExitInstance() override;
};
