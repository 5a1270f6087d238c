#include "framework/CWinApp.h"
#include "framework/CHandleOwner.h"
#include "framework/CWnd.h"
#include <cstdlib>
#include <cwchar>
#include <vector>

void AfxSetCurrentThread(CWinThread* pThread); // CWinThread.cpp

namespace
{
CWinApp* g_pApp = nullptr;

LPCWSTR DuplicateText(LPCWSTR text)
{
    return text ? _wcsdup(text) : nullptr;
}

void FreeText(LPCWSTR& text)
{
    free(const_cast<wchar_t*>(text));
    text = nullptr;
}
} // namespace

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

CWinApp* AfxGetApp()
{
    return g_pApp;
}

LPCWSTR AfxGetAppName()
{
    return g_pApp && g_pApp->m_pszAppName ? g_pApp->m_pszAppName : L"";
}

CWinApp::CWinApp(LPCWSTR lpszAppName)
{
    g_pApp = this;
    AfxSetCurrentThread(this);
    m_nThreadID = ::GetCurrentThreadId();
    m_bAutoDelete = FALSE; // lives in static storage (or a test's stack)
    m_hInstance = AfxGetInstanceHandle();
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(::GetModuleHandleW(nullptr), path, MAX_PATH);
    const wchar_t* name = wcsrchr(path, L'\\') ? wcsrchr(path, L'\\') + 1 : path;
    std::wstring exe(name);
    if (auto dot = exe.rfind(L'.'); dot != std::wstring::npos) exe.resize(dot);
    m_pszExeName = DuplicateText(exe.c_str());
    wchar_t title[256] = L"";
    if (!lpszAppName && ::LoadStringW(AfxGetResourceHandle(), AFX_IDS_APP_TITLE, title, 256) > 0) lpszAppName = title;
    m_pszAppName = DuplicateText(lpszAppName ? lpszAppName : exe.c_str());
    // Without a registry key the profile is an .INI file of the application's name.
    m_pszProfileName = DuplicateText((exe + L".INI").c_str());
    std::wstring help(path);
    if (auto dot = help.rfind(L'.'); dot != std::wstring::npos && dot > help.rfind(L'\\')) help.resize(dot);
    m_pszHelpFilePath = DuplicateText((help + L".HLP").c_str());
}

CWinApp::~CWinApp()
{
    FreeText(m_pszAppName);
    FreeText(m_pszExeName);
    FreeText(m_pszRegistryKey);
    FreeText(m_pszProfileName);
    FreeText(m_pszHelpFilePath);
    if (g_pApp == this) g_pApp = nullptr;
    if (AfxGetThread() == this) AfxSetCurrentThread(nullptr);
    m_hThread = nullptr; // never ours to close: the main thread was not created by us
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::DoMessageBox(LPCWSTR lpszPrompt, UINT nType, UINT)
{
    HWND owner = ::GetActiveWindow();
    if (!owner) owner = AfxGetSafeHwnd(m_pMainWnd);
    return ::MessageBoxW(owner ? ::GetAncestor(owner, GA_ROOT) : nullptr, lpszPrompt, m_pszAppName, nType);
}

void CWinApp::WinHelp(DWORD_PTR dwData, UINT nCmd)
{
    HWND hWnd = AfxGetSafeHwnd(m_pMainWnd);
    ::WinHelpW(hWnd ? ::GetAncestor(hWnd, GA_ROOT) : nullptr, m_pszHelpFilePath, nCmd, dwData);
}

void CWinApp::OnHelp()
{
    WinHelp(0, HELP_FINDER);
}

BOOL CWinApp::RefuseStandaloneWrite() const
{
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey)
{
    FreeText(m_pszRegistryKey);
    m_pszRegistryKey = DuplicateText(lpszRegistryKey);
    FreeText(m_pszProfileName);
    m_pszProfileName = DuplicateText(m_pszAppName);
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey)
{
    wchar_t key[256] = L"";
    ::LoadStringW(AfxGetResourceHandle(), nIDRegistryKey, key, 256);
    SetRegistryKey(key);
}

HKEY CWinApp::GetAppRegistryKey()
{
    if (m_bStandalone || !m_pszRegistryKey || !m_pszProfileName) return nullptr;
    std::wstring path = L"Software\\";
    path += m_pszRegistryKey;
    path += L"\\";
    path += m_pszProfileName;
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                          nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return hKey;
}

HKEY CWinApp::GetSectionKey(LPCWSTR lpszSection)
{
    const CRegKeyHandle hApp(GetAppRegistryKey());
    if (!hApp.IsValid()) return nullptr;
    HKEY hSection = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(hApp, lpszSection, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_READ | KEY_WRITE, nullptr, &hSection, nullptr);
    return status == ERROR_SUCCESS ? hSection : nullptr;
}

namespace
{
BOOL Succeeded(LSTATUS status)
{
    if (status == ERROR_SUCCESS) return TRUE;
    ::SetLastError(static_cast<DWORD>(status));
    return FALSE;
}
} // namespace

UINT CWinApp::GetProfileInt(LPCWSTR lpszSection, LPCWSTR lpszEntry, int nDefault)
{
    if (m_bStandalone) return static_cast<UINT>(nDefault);
    if (!m_pszRegistryKey) return ::GetPrivateProfileIntW(lpszSection, lpszEntry, nDefault, m_pszProfileName);
    CRegKeyHandle key(GetSectionKey(lpszSection));
    if (!key) return static_cast<UINT>(nDefault);
    DWORD type = 0, value = 0, size = sizeof value;
    if (::RegQueryValueExW(key, lpszEntry, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return static_cast<UINT>(nDefault);
    return value;
}

bool CWinApp::ReadProfileText(LPCWSTR lpszSection, LPCWSTR lpszEntry, std::wstring& text)
{
    if (m_bStandalone) return false;
    if (!m_pszRegistryKey)
    {
        // The private profile API has no "missing": a marker default tells.
        static const wchar_t kMissing[] = L"\x01missing\x01";
        std::vector<wchar_t> buf(4096);
        for (;;)
        {
            const DWORD n = ::GetPrivateProfileStringW(lpszSection, lpszEntry, kMissing, buf.data(),
                                                       static_cast<DWORD>(buf.size()), m_pszProfileName);
            if (n + 1 < buf.size())
            {
                text.assign(buf.data(), n);
                return text != kMissing;
            }
            buf.resize(buf.size() * 2);
        }
    }
    CRegKeyHandle key(GetSectionKey(lpszSection));
    if (!key) return false;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, lpszEntry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key, lpszEntry, nullptr, &type, reinterpret_cast<LPBYTE>(buf.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    text.assign(buf.data()); // the stored size may or may not count a terminator
    return true;
}

CString CWinApp::GetProfileString(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPCWSTR lpszDefault)
{
    std::wstring text;
    if (ReadProfileText(lpszSection, lpszEntry, text)) return CString(text.c_str());
    return CString(lpszDefault ? lpszDefault : L"");
}

BOOL CWinApp::GetProfileBinary(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPBYTE* ppData, UINT* pBytes)
{
    *ppData = nullptr;
    *pBytes = 0;
    if (m_bStandalone) return FALSE;
    if (!m_pszRegistryKey)
    {
        // In a file, each byte is two letters 'A'+high nibble, 'A'+low nibble.
        std::wstring text;
        if (!ReadProfileText(lpszSection, lpszEntry, text) || text.size() % 2) return FALSE;
        *pBytes = static_cast<UINT>(text.size() / 2);
        *ppData = new BYTE[*pBytes ? *pBytes : 1];
        for (UINT i = 0; i < *pBytes; ++i)
            (*ppData)[i] = static_cast<BYTE>(((text[2 * i] - L'A') << 4) | ((text[2 * i + 1] - L'A') & 0x0F));
        return TRUE;
    }
    CRegKeyHandle key(GetSectionKey(lpszSection));
    if (!key) return FALSE;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, lpszEntry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_BINARY)
        return FALSE;
    auto* data = new BYTE[size ? size : 1];
    if (::RegQueryValueExW(key, lpszEntry, nullptr, &type, data, &size) != ERROR_SUCCESS)
    {
        delete[] data;
        return FALSE;
    }
    *ppData = data;
    *pBytes = size;
    return TRUE;
}

BOOL CWinApp::WriteProfileInt(LPCWSTR lpszSection, LPCWSTR lpszEntry, int nValue)
{
    if (m_bStandalone) return RefuseStandaloneWrite();
    if (!m_pszRegistryKey)
    {
        wchar_t text[16];
        swprintf(text, 16, L"%d", nValue);
        return ::WritePrivateProfileStringW(lpszSection, lpszEntry, text, m_pszProfileName);
    }
    CRegKeyHandle key(GetSectionKey(lpszSection));
    if (!key) return FALSE;
    const DWORD value = static_cast<DWORD>(nValue);
    return Succeeded(
        ::RegSetValueExW(key, lpszEntry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
}

BOOL CWinApp::WriteProfileString(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPCWSTR lpszValue)
{
    if (m_bStandalone) return RefuseStandaloneWrite();
    if (!m_pszRegistryKey) return ::WritePrivateProfileStringW(lpszSection, lpszEntry, lpszValue, m_pszProfileName);
    if (!lpszEntry)
    {
        CRegKeyHandle app(GetAppRegistryKey());
        if (!app) return FALSE;
        return Succeeded(::RegDeleteTreeW(app, lpszSection));
    }
    CRegKeyHandle key(GetSectionKey(lpszSection));
    if (!key) return FALSE;
    if (!lpszValue)
    {
        const LSTATUS status = ::RegDeleteValueW(key, lpszEntry);
        return status == ERROR_FILE_NOT_FOUND ? TRUE : Succeeded(status); // gone is gone
    }
    const DWORD bytes = static_cast<DWORD>((wcslen(lpszValue) + 1) * sizeof(wchar_t));
    return Succeeded(::RegSetValueExW(key, lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue), bytes));
}

BOOL CWinApp::WriteProfileBinary(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPBYTE pData, UINT nBytes)
{
    if (m_bStandalone) return RefuseStandaloneWrite();
    if (!m_pszRegistryKey)
    {
        std::wstring text;
        text.reserve(nBytes * 2);
        for (UINT i = 0; i < nBytes; ++i)
        {
            text += static_cast<wchar_t>(L'A' + (pData[i] >> 4));
            text += static_cast<wchar_t>(L'A' + (pData[i] & 0x0F));
        }
        return ::WritePrivateProfileStringW(lpszSection, lpszEntry, text.c_str(), m_pszProfileName);
    }
    CRegKeyHandle key(GetSectionKey(lpszSection));
    if (!key) return FALSE;
    return Succeeded(::RegSetValueExW(key, lpszEntry, 0, REG_BINARY, pData, nBytes));
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp) return -1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;
    int result;
    try
    {
        result = pApp->InitInstance() ? pApp->Run() : pApp->ExitInstance();
    }
    catch (...)
    {
        ::OutputDebugStringW(L"Exception escaped the application's start or end\n");
        result = -1;
    }
    return result;
}
