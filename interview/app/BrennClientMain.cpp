#include "interview/CBrennClientApp.h"
#include <cstdlib>

// The one application object of the process.
CBrennClientApp theApp;

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow)
{
#ifdef LUMO_BRENN_TEST_SEAMS
    // The test build only: what the black-box tests cannot arrange from outside.
    if (const wchar_t* pszVersion = _wgetenv(L"BRENN_TEST_OWN_VERSION")) theApp.m_strOwnVersionOverride = pszVersion;
#endif
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
