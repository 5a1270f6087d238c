#pragma once
#include "framework/CHandleOwner.h"
#include "framework/CString.h"
#include "framework/CWinApp.h"
#include "interview/CFileVersionInfo.h"
#include "interview/CLanguageLoader.h"
#include <vector>

class CBrennClientDlg;

// BrennClient's application object: the settings and the command line, the process's preparation
// (browser emulation, language, sockets, OLE, GDI+) and the hidden main window that connects to
// Lumo; at exit the clean-up of the survey folders and the browser emulation put back. One exists
// per process; the program's entry makes it, tests make their own.
class CBrennClientApp : public CWinApp
{
public:
    CBrennClientApp();
    ~CBrennClientApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The program's arguments, its name first. Taken from the process unless set before start-up.
    void SetArguments(std::vector<CString> arguments) { m_arguments = std::move(arguments); }
    // FALSE after the usage box of "-?": start-up ends.
    BOOL ParseOptions();
    CString GetScriptPath() const { return m_strScriptPath; }
    bool HasStartedSockets() const { return m_socketsStarted.IsValid(); }
    // The window forgets itself here as it goes.
    void ForgetMainWindow(const CBrennClientDlg* pDlg);

    // True for "-standalone" or "-sa" in any case; a leading "/" does not count here.
    static bool IsStandaloneRequested(const std::vector<CString>& arguments);

    CLanguageLoader m_LanguageLoader;
    CFileVersionInfo m_VersionInfo;
    CBrennClientDlg* m_pMainDlg = nullptr;
    ULONG_PTR m_GdiplusToken = 0;
    bool m_bStandalone = false;
    // What the exit puts back: -1 nothing, 0 delete the value, above 0 write it back.
    long m_nBrowserEmulationOld = -1;
    CString m_strInterviewDir;
    bool m_bFullScreen = true;
    bool m_bHideLumo = true;
    CString m_strHtmlTempPath;
    CString m_strScriptPath;
    CString m_strStartExe;
    CString m_strStartParameters;
    CString m_strEndExe;
    CString m_strEndParameters;
    CString m_strGeoLumoExe;
    CString m_strGeoLumoDir;
    // Lumo's application port; 0 when the command line gave none that a port can be.
    USHORT m_nAppPort = 0;
    bool m_bExpandQuestionnaireTree = true;
    // The command line's language; -1 none.
    int m_nLanguageId = -1;
    // Replaces the own version text after it is read, when not empty. Tests only.
    CString m_strOwnVersionOverride;

    // The browser-emulation value, as the embedded browser reads it.
    static constexpr wchar_t kBrowserEmulationKey[] =
        L"SOFTWARE\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
    static constexpr wchar_t kBrowserEmulationValue[] = L"BrennClient.exe";

private:
    void ReadSettings();
    void ChooseHtmlFolder();
    void ApplyOption(const CString& argument);
    void FindScriptFolder();
    void SetBrowserEmulation();
    void RestoreBrowserEmulation();
    BOOL CreateMainWindow();

    std::vector<CString> m_arguments;
    // Undone by ExitInstance, OLE first, or at the latest by the destructor in the same order.
    CWinsockStartup m_socketsStarted;
    COleInitialization m_oleStarted;
};

// The process's application object as BrennClient's.
CBrennClientApp* GetBrennApp();
