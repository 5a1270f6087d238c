#include "CComTestServerApp.h"
#include <string>

BOOL CComTestServerApp::InitInstance()
{
    ::SetEnvironmentVariableW(L"COMTESTSERVER_INIT_THREAD", std::to_wstring(::GetCurrentThreadId()).c_str());
    wchar_t value[8] = L"";
    if (::GetEnvironmentVariableW(L"COMTESTSERVER_REFUSE_LOAD", value, 8) > 0) return FALSE;
    return CWinApp::InitInstance();
}

int CComTestServerApp::ExitInstance()
{
    ::SetEnvironmentVariableW(L"COMTESTSERVER_EXIT_THREAD", std::to_wstring(::GetCurrentThreadId()).c_str());
    return CWinApp::ExitInstance();
}
