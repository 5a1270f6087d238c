#include "CLumoClientLibApp.h"
#include "framework/AfxMessageBox.h"
#include "framework/CAsyncSocket.h"
#include "LumoClientResources.h"
#include <vector>

BOOL CLumoClientLibApp::InitInstance()
{
    if (!CWinApp::InitInstance()) return FALSE;
    SetRegistryKey(L"Quelmoor"); // the library stores no settings; the key only names the company
    if (!AfxSocketInit())
    {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE; // without sockets no control could reach Lumo: refuse the load
    }
    return TRUE;
}

int CLumoClientLibApp::ExitInstance()
{
    return CWinApp::ExitInstance();
}

CString CLumoClientLibApp::GetFileVersion() const
{
    wchar_t path[MAX_PATH] = L"";
    if (!::GetModuleFileNameW(AfxGetInstanceHandle(), path, MAX_PATH)) path[0] = L'\0';
    DWORD dwHandle = 0;
    const DWORD dwSize = ::GetFileVersionInfoSizeW(path, &dwHandle);
    if (dwSize == 0) return CString();
    std::vector<BYTE> block(2 * static_cast<size_t>(dwSize));
    if (!::GetFileVersionInfoW(path, 0, dwSize, block.data())) return CString();
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT nLength = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&pInfo), &nLength) || !pInfo ||
        nLength < sizeof(VS_FIXEDFILEINFO))
        return CString();
    CString version;
    version.Format(L"%d.%d.%d.%d", HIWORD(pInfo->dwFileVersionMS), LOWORD(pInfo->dwFileVersionMS),
                   HIWORD(pInfo->dwFileVersionLS), LOWORD(pInfo->dwFileVersionLS));
    return version;
}
