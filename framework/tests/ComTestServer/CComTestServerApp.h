#pragma once
#include "framework/CWinApp.h"
// The test server's application object. The environment variable COMTESTSERVER_REFUSE_LOAD
// makes InitInstance fail, so a test can see a refused load.
class CComTestServerApp : public CWinApp
{
public:
    BOOL InitInstance() override;
};
