#include "CComTestServerApp.h"

BOOL CComTestServerApp::InitInstance()
{
    wchar_t value[8] = L"";
    if (::GetEnvironmentVariableW(L"COMTESTSERVER_REFUSE_LOAD", value, 8) > 0) return FALSE;
    return CWinApp::InitInstance();
}
