/* The language library's entry: it runs no code of its own, and links no runtime to run any. */
#include <windows.h>

BOOL WINAPI DllMainCRTStartup(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    (void)hInstance;
    (void)dwReason;
    (void)pReserved;
    return TRUE;
}
