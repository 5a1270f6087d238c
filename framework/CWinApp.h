#pragma once
#include "framework/CString.h"
#include "framework/CWinThread.h"
#include "framework/CWnd.h"
#include <string>
// CWinApp: the application object, the main thread's CWinThread. One exists per process; its
// constructor makes it AfxGetApp() and the calling thread's CWinThread, so tests can build one
// on the stack without WinMain.
//
// Profile functions: with SetRegistryKey, values live under
// HKEY_CURRENT_USER\Software\<registry key>\<profile name>\<section>; without it, in the
// private profile file m_pszProfileName (an .INI file). In standalone mode (SetStandalone) the
// program uses neither: reads give their default (binary: FALSE) and writes store nothing and
// return FALSE.

// The program's title in its string table; it names the application unless the constructor is given a name.
constexpr UINT AFX_IDS_APP_TITLE = 0xE000;

class CWinApp : public CWinThread
{
    DECLARE_DYNAMIC(CWinApp)

public:
    explicit CWinApp(LPCWSTR lpszAppName = nullptr); // null: AFX_IDS_APP_TITLE, else the executable's name
    ~CWinApp() override;

    // Our own strings from _wcsdup, freed with free() by the destructor (a program may replace
    // them the same way).
    LPCWSTR m_pszAppName = nullptr;
    LPCWSTR m_pszExeName = nullptr;
    LPCWSTR m_pszRegistryKey = nullptr;
    LPCWSTR m_pszProfileName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPWSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;

    void SetRegistryKey(LPCWSTR lpszRegistryKey);
    void SetRegistryKey(UINT nIDRegistryKey); // from the string table
    // Set by the programs' command-line pre-scan in standalone mode, before any setting is read.
    void SetStandalone(BOOL bStandalone) noexcept { m_bStandalone = bStandalone; }
    BOOL IsStandalone() const noexcept { return m_bStandalone; }

    UINT GetProfileInt(LPCWSTR lpszSection, LPCWSTR lpszEntry, int nDefault);
    CString GetProfileString(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPCWSTR lpszDefault = nullptr);
    BOOL GetProfileBinary(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPBYTE* ppData, UINT* pBytes); // *ppData: new[]
    BOOL WriteProfileInt(LPCWSTR lpszSection, LPCWSTR lpszEntry, int nValue);
    // A null entry removes the section; a null value removes the entry.
    BOOL WriteProfileString(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPCWSTR lpszValue);
    BOOL WriteProfileBinary(LPCWSTR lpszSection, LPCWSTR lpszEntry, LPBYTE pData, UINT nBytes);
    // Open keys the caller closes (RegCloseKey); null when there is no registry key, in
    // standalone mode, or when it fails.
    HKEY GetAppRegistryKey();
    HKEY GetSectionKey(LPCWSTR lpszSection);

    // Shows a message box (AfxMessageBox comes here when no test hook answers).
    virtual int DoMessageBox(LPCWSTR lpszPrompt, UINT nType, UINT nIDPrompt);

    // Help: a dialog's help command (ID_HELP) comes here with HID_BASE_RESOURCE + its template
    // id and HELP_CONTEXT; the application's own help command with HELP_FINDER. The default
    // opens m_pszHelpFilePath (the executable's path with ".HLP") in the system's help viewer.
    virtual void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT);
    void OnHelp();
    LPCWSTR m_pszHelpFilePath = nullptr;

    BOOL InitInstance() override; // TRUE: the program's class does the work

protected:
    // The value's text, or false when the entry is missing (or not text).
    bool ReadProfileText(LPCWSTR lpszSection, LPCWSTR lpszEntry, std::wstring& text);

private:
    BOOL RefuseStandaloneWrite() const; // FALSE, with the reason as last error
    BOOL m_bStandalone = FALSE;
};

// The framework's Help command and the base of help context ids of dialog templates.
constexpr UINT ID_HELP = 0xE146;
constexpr DWORD HID_BASE_RESOURCE = 0x00020000;

CWinApp* AfxGetApp();
LPCWSTR AfxGetAppName();
// The standard entry: sets the instance and command line, InitInstance, Run (or ExitInstance).
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);
