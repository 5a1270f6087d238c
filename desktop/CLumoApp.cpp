#include "desktop/CLumoApp.h"
#include "core/CPasswordCipher.h"
#include "core/CStaticTools.h"
#include "core/CVersionInfo.h"
#include "desktop/CApplicationToolBarDlg.h"
#include "desktop/CConnectionDlg.h"
#include "desktop/CIniFile.h"
#include "desktop/CLoginDlg.h"
#include "desktop/LumoMessages.h"
#include "desktop/LumoResource.h"
#include "framework/AfxEnableControlContainer.h"
#include "framework/AfxMessageBox.h"
#include "sessions/CAppSocket.h"
#include "sessions/CCallResultSettings.h"
#include "sessions/CJexSocket.h"
#include "sessions/CLumoClientSocket.h"
#include "uikit/IDialogHost.h"
#include <commctrl.h>
#include <cstdlib>
#include <cwchar>
#include <htmlhelp.h>
#include <objbase.h>
#include <ole2.h>
#include <winsock2.h>

namespace
{
constexpr wchar_t kRegistryCompany[] = L"Quelmoor";

constexpr wchar_t kUsage[] =
    L"%s\n\t[-jex:<Hostname or IP Address>:<Port>]\n\t[-agent|-user:<Agent Name>]\n\t[-agentId|-uid|-aid:<Agent "
    L"ID>]\n\t[-password|-pwd:<Password>]\n\t[-locationid|-lid:<Location ID>]\n\t[-standalone:<Equivalent Setup "
    L"Version>]\n\t[-oldappport:<Old Application Port>]\n\t[-appport:<Application Port>]\n\t[-brennclient:<exe to "
    L"brennclient.exe>[*<parameters>]]\n\t[-quillan:<exe to quillan.exe>[*<parameters>]]\n\t[-agentmonitor:<exe "
    L"agentmonitor>\n\t[-hide]";

constexpr wchar_t kHeadsetStuck[] =
    L"Error: Microphone and/or speakers are stuck.\r\nPlease unplug and reconnect the headset.";

CLumoApp::HtmlHelpEntry g_pfnHtmlHelp = &HtmlHelpW;

bool StartsWith(LPCWSTR pszText, LPCWSTR pszPrefix)
{
    return wcsncmp(pszText, pszPrefix, wcslen(pszPrefix)) == 0;
}

// "path*parameters": the parameters follow the last '*'. Without one only the path changes.
void SplitProgram(const CString& value, CString& path, CString& parameters)
{
    const int nStar = value.ReverseFind(L'*');
    if (nStar < 0)
    {
        path = value;
        return;
    }
    path = value.Left(nStar);
    parameters = value.Mid(nStar + 1);
}

// Ports are unsigned 16-bit; anything else would reach the listeners and children cut to another
// port, so the configured port stays.
void SetPort(const CString& value, USHORT& port)
{
    const long nPort = CStaticTools::ToLong(value);
    if (nPort >= 1 && nPort <= 65535) port = static_cast<USHORT>(nPort);
}

std::vector<CString> ProcessArguments()
{
    std::vector<CString> arguments;
    if (__wargv)
        for (int i = 0; i < __argc; ++i)
            arguments.emplace_back(__wargv[i]);
    return arguments;
}

CString ModulePath()
{
    std::vector<wchar_t> path(MAX_PATH);
    while (path.size() <= 32768)
    {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return CString();
        if (n < path.size()) return CString(path.data());
        path.resize(path.size() * 2);
    }
    return CString();
}
} // namespace

// A help command sent to the application itself, not through a dialog, opens the help file at its start.
BEGIN_MESSAGE_MAP(CLumoApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CLumoApp::CLumoApp() : m_dtLastHoldOrRetrieve(COleDateTime::GetCurrentTime())
{
    m_sessionCore.SetAgentSettingStore(&m_agentSettings);
}

CLumoApp::~CLumoApp()
{
    m_bEnding = true;
    DestroyMainWindow();
    CloseListeners();
    if (GetDialogHost() == &m_host) SetDialogHost(nullptr);
}

void CLumoApp::CloseListeners()
{
    // The current port's listener closes its applications' links as it goes; they leave the
    // session core, which outlives them.
    m_pListener.reset();
    m_pOldListener.reset();
}

BOOL CLumoApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Start-up goes on without COM; only its own later users would fail.
    m_comStarted.Attach(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));

    m_pAlarmOptions = std::make_unique<CAlarmOption>();
    // The toolkit's dialogs ask the desktop whether they may show and offer it the typed dial keys.
    SetDialogHost(&m_host);
    if (m_arguments.empty()) m_arguments = ProcessArguments();
    // Before any setting is read: stand-alone means no registry access at all.
    m_bStandalone = IsStandaloneRequested(m_arguments);
    SetRegistryKey(kRegistryCompany);
    CCallResultSettings::BuildDefaults(nullptr);
    CIniFile::Open(nullptr, TRUE, m_bStandalone);
    ReadSettings();
    GetAgent();
    if (!ParseOptions()) return FALSE;
    m_bNoLocation = m_nLocationId == -1;

    if (m_strRemoteHost.IsEmpty())
    {
        AfxMessageBox(IDS_REMOTE_HOST_MISSING, MB_OK);
        return FALSE;
    }
    WSADATA wsa{};
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
    {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    m_socketsStarted.Attach(true);
    m_oleStarted.Attach(SUCCEEDED(OleInitialize(nullptr)));
    // The softphone is hosted later as an ActiveX control of the main window.
    AfxEnableControlContainer();

    // Its start opens the application ports, so local programs may connect while Jex is awaited.
    if (!CreateMainWindow()) return FALSE;

    const BOOL bConnected = Connect(TRUE);
    // The connection dialog's loop leaves its last message where a failed start-up's exit code is
    // read from; that code is 0.
    m_msgCur = MSG{};
    if (!bConnected) return FALSE;
    GiveLinkToMainWindow();
    ImportToolBarPosition();
    // The Windows account logs on without the dialog, but the local programs need their ports all the same.
    if (m_bUseAuthentication && MakeApplicationPortListeners())
        return m_pJexSocket->SendWindowsLogon(m_pMainDlg.get());
    if (!m_bUseAuthentication && StartApplicationPortsAndLogon()) return TRUE;
    m_pAgent.reset();
    DestroyMainWindow();
    return FALSE;
}

void CLumoApp::ImportToolBarPosition()
{
    if (m_agentSettings.GetSettingsImportedInDB()) return;
    m_agentSettings.SetToolbarOnTopSetting(CIniFile::GetIsToolbarOnTop());
    m_agentSettings.SetSettingsImportedInDB(true);
}

template <class Listener> BOOL CLumoApp::MakeListener(std::unique_ptr<Listener>& pListener, USHORT& nPort)
{
    // A listener that is up stays: the applications connected through it keep their links.
    if (pListener) return TRUE;
    auto pNew = std::make_unique<Listener>(m_sessionCore, m_host);
    if (!pNew->StartListening(nPort, kPortSearch))
    {
        const int nError = WSAGetLastError();
        CString strReason = CStaticTools::FormatSystemError(static_cast<DWORD>(nError));
        strReason.TrimRight();
        CString strText;
        strText.Format(IDS_NO_LISTENER, static_cast<int>(nPort), nError, strReason.GetString());
        AfxMessageBox(strText, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    nPort = static_cast<USHORT>(pNew->GetListeningPort()); // what the child programs are told
    pListener = std::move(pNew);
    return TRUE;
}

BOOL CLumoApp::MakeApplicationPortListeners()
{
    return MakeListener(m_pOldListener, m_nApplicationPort) && MakeListener(m_pListener, m_nAppPort);
}

BOOL CLumoApp::StartApplicationPortsAndLogon()
{
    if (!MakeApplicationPortListeners()) return FALSE;
    CLoginDlg dlg(GetJexSocket(), *this, m_pMainDlg.get());
    if (dlg.DoModal() != IDOK) return FALSE;
    if (m_bVisible && m_pMainDlg && m_pMainDlg->GetSafeHwnd())
    {
        m_pMainDlg->SetForegroundWindow();
        m_pMainDlg->BringWindowToTop();
    }
    return TRUE;
}

void CLumoApp::OnAgentLogon(long nPendingApplicationId, int nResult)
{
    m_sessionCore.SendAgentLogonResult(nPendingApplicationId, nResult);
    const bool bWasLoggedOn = m_bLoggedOn;
    m_bLoggedOn = nResult == 0 || nResult == 9;
    if (m_bLoggedOn && !bWasLoggedOn && m_pMainDlg && m_pMainDlg->GetSafeHwnd())
    {
        m_pMainDlg->SetUpToolBarAfterLogon();
        m_pMainDlg->PrepareAfterLogon();
        if (m_bVisible) m_pMainDlg->ShowWindow(SW_SHOW);
    }
    m_bStartupDataReceived = false;
    const CAgent& agent = *GetAgent();
    if (m_pJexSocket)
    {
        if (agent.m_nId > 0)
            m_pJexSocket->RequestStartupDataById(agent.m_nId);
        else
            m_pJexSocket->RequestStartupDataByName(agent.m_strUserName);
        if (m_bLoggedOn && !m_bApplicationSettingsComplete)
            for (const long nApplicationId : m_sessionCore.GetOldApplicationIds())
                m_pJexSocket->RequestApplicationSettings(agent.m_nId, nApplicationId, 0);
    }
}

void CLumoApp::ForgetAgent()
{
    CAgent& agent = *GetAgent();
    agent.m_nId = -1;
    agent.m_strPassword.Empty();
}

void CLumoApp::SetLocation(long nLocationId, const CString& strLocationName)
{
    m_nLocationId = nLocationId;
    m_strLocationName = strLocationName;
}

BOOL CLumoApp::CreateMainWindow()
{
    m_pMainDlg = std::make_unique<CLumoDlg>(*this);
    m_pMainWnd = m_pMainDlg.get();
    m_pMainDlg->CreateToolBar();
    if (m_pMainDlg->Create()) return TRUE;
    DestroyMainWindow();
    return FALSE;
}

void CLumoApp::GiveLinkToMainWindow()
{
    if (!m_pMainDlg || !m_pJexSocket) return;
    m_pJexSocket->SetMainWindow(m_pMainDlg.get(), m_pMainDlg.get());
    m_pMainDlg->SetJexSocket(m_pJexSocket);
}

void CLumoApp::DestroyMainWindow()
{
    if (!m_pMainDlg) return;
    // No longer the framework's main window first: its end would otherwise end the message loop.
    if (m_pMainWnd == m_pMainDlg.get()) m_pMainWnd = nullptr;
    if (m_pJexSocket) m_pJexSocket->ClearMainWindow();
    m_pMainDlg->DestroyWindow();
    m_pMainDlg.reset();
}

void CLumoApp::ClearToolBarCall()
{
    CApplicationToolBarDlg* pToolBar = m_pMainDlg ? m_pMainDlg->GetToolBar() : nullptr;
    if (!pToolBar) return;
    pToolBar->SetCurrentCall(CSmartObjectPtr<CCallInfo>());
    pToolBar->ShowCurrentCall();
}

int CLumoApp::ExitInstance()
{
    m_bEnding = true;
    // Before the sockets go: a link that is up says goodbye to Jex.
    if (m_pJexSocket) m_pJexSocket->Close();
    DestroyMainWindow();
    CloseListeners();
    m_sessionCore.SetJexSender(nullptr);
    m_pJexSocket.reset();
    CIniFile::Close();
    if (GetDialogHost() == &m_host) SetDialogHost(nullptr);
    m_socketsStarted.Close();
    m_oleStarted.Close();
    m_comStarted.Close();
    return CWinApp::ExitInstance();
}

void CLumoApp::ReadSettings()
{
    m_bUseAuthentication = CIniFile::GetUseAuthentication();
    m_nJexPort = static_cast<DWORD>(CIniFile::GetRemotePort());
    m_nApplicationPort = static_cast<USHORT>(CIniFile::GetApplicationPort());
    m_nAppPort = static_cast<USHORT>(CIniFile::GetAppPort());
    m_nLocationId = CIniFile::GetLocation();
    m_bStatisticsView = CIniFile::GetStatisticsView();
    m_bExtendedView = CIniFile::GetExtendedView();
    m_bCallInfoWindow = CIniFile::GetCallInfoWindow();
    m_strRemoteHost = CIniFile::GetRemoteHost();
    m_strAgentMonitorPath = CIniFile::GetAgentMonitorPath();
    if (m_bStandalone) return;
    // No installed version known: the initial "0.0.0.0" stays, so the update check still has a
    // version to compare.
    const CString setup = CIniFile::GetLatestInstalledSetup();
    if (!setup.IsEmpty()) m_strSetupVersion = setup;
    m_strBrennClientPath = CIniFile::GetBrennPath();
    m_strQuillanPath = CIniFile::GetQuillanPath();
}

bool CLumoApp::IsStandaloneRequested(const std::vector<CString>& arguments)
{
    for (size_t i = 1; i < arguments.size(); ++i)
    {
        CString lower(arguments[i]);
        lower.MakeLower();
        if (lower == L"-standalone" || lower == L"-sa" || StartsWith(lower, L"-setup:") ||
            StartsWith(lower, L"-standalone:"))
            return true;
    }
    return false;
}

BOOL CLumoApp::ParseOptions()
{
    for (size_t i = 1; i < m_arguments.size(); ++i)
    {
        CString argument(m_arguments[i]);
        if (!argument.IsEmpty() && argument[0] == L'/') argument = L"-" + argument.Mid(1);
        if (argument == L"-?")
        {
            CString usage;
            usage.Format(kUsage, static_cast<LPCWSTR>(m_arguments[0]));
            AfxMessageBox(usage, MB_OK | MB_ICONINFORMATION);
            return FALSE;
        }
        ApplyOption(argument);
    }
    return TRUE;
}

void CLumoApp::ApplyOption(const CString& argument)
{
    CString lower(argument);
    lower.MakeLower();
    CString value;
    // The prefix is matched without case; its value keeps the case it was given in.
    const auto match = [&](LPCWSTR pszPrefix) {
        if (!StartsWith(lower, pszPrefix)) return false;
        value = argument.Mid(static_cast<int>(wcslen(pszPrefix)));
        return true;
    };
    CAgent& agent = *GetAgent();
    if (match(L"-jex:"))
    {
        const int nColon = value.ReverseFind(L':');
        if (nColon >= 0)
        {
            m_nJexPort = CStaticTools::ToULong(value.Mid(nColon + 1));
            value = value.Left(nColon);
        }
        m_strRemoteHost = value;
    }
    else if (match(L"-agent:") || match(L"-user:"))
        agent.m_strUserName = value;
    else if (match(L"-agentid:") || match(L"-uid:") || match(L"-aid:"))
        agent.m_nId = CStaticTools::ToLong(value);
    else if (match(L"-pwd:") || match(L"-password:"))
    {
        CString letters;
        if (EncryptPassword(value, letters)) agent.m_strPassword = letters;
    }
    else if (match(L"-locationid:") || match(L"-lid:"))
        m_nLocationId = CStaticTools::ToLong(value);
    else if (match(L"-standalone:") || match(L"-setup:"))
        m_strSetupVersion = value;
    else if (match(L"-oldappport:"))
        SetPort(value, m_nApplicationPort);
    else if (match(L"-appport:"))
        SetPort(value, m_nAppPort);
    else if (match(L"-brennclient:"))
        SplitProgram(value, m_strBrennClientPath, m_strBrennClientParameters);
    else if (match(L"-quillan:"))
        SplitProgram(value, m_strQuillanPath, m_strQuillanParameters);
    else if (StartsWith(argument, L"-agentmonitor:")) // the one prefix compared with case
        m_strAgentMonitorPath = argument.Mid(static_cast<int>(wcslen(L"-agentmonitor:")));
    else if (StartsWith(lower, L"-hid")) // short on purpose: "-hidden" is taken as "-hide" too
        m_bVisible = false;
}

CAgent* CLumoApp::GetAgent()
{
    if (!m_pAgent) m_pAgent = std::make_unique<CAgent>();
    return m_pAgent.get();
}

const CString& CLumoApp::GetProgramFolder()
{
    if (m_strProgramFolder.IsEmpty())
    {
        const CString path = ModulePath();
        const int nSlash = path.ReverseFind(L'\\');
        if (nSlash >= 0) m_strProgramFolder = path.Left(nSlash + 1);
    }
    return m_strProgramFolder;
}

const CString& CLumoApp::GetWorkFolder()
{
    if (m_strWorkFolder.IsEmpty())
    {
        wchar_t temp[MAX_PATH + 1] = L"";
        GetTempPathW(MAX_PATH + 1, temp);
        m_strWorkFolder.Format(L"%s%s\\", temp, AfxGetAppName());
    }
    if (m_strWorkFolder.Right(1) != L"\\") m_strWorkFolder += L"\\";
    // Someone may have cleaned the temporary folder while Lumo ran.
    if (GetFileAttributesW(m_strWorkFolder) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(m_strWorkFolder, nullptr);
    return m_strWorkFolder;
}

CString CLumoApp::GetVersionString() const
{
    CVersionInfo info;
    if (!info.Read()) return CString();
    return info.m_strVersion;
}

BOOL CLumoApp::PreTranslateMessage(MSG* pMsg)
{
    if (!pMsg->hwnd && pMsg->message == WM_HEADSETSTUCK)
    {
        AfxMessageBox(kHeadsetStuck, MB_OK);
        return TRUE;
    }
    return CWinApp::PreTranslateMessage(pMsg);
}

CLumoApp::HtmlHelpEntry CLumoApp::SetHtmlHelpEntry(HtmlHelpEntry pfnEntry)
{
    return std::exchange(g_pfnHtmlHelp, pfnEntry);
}

BOOL CLumoApp::ProcessMessageFilter(int code, LPMSG lpMsg)
{
    return CWinApp::ProcessMessageFilter(code, lpMsg);
}

void CLumoApp::WinHelp(DWORD_PTR dwData, UINT nCmd)
{
    if (nCmd != HELP_CONTEXT && nCmd != HELP_FINDER) return;
    CString path(m_pszHelpFilePath ? m_pszHelpFilePath : L"");
    const int nDot = path.ReverseFind(L'.');
    if (nDot >= 0) path = path.Left(nDot);
    path += L".CHM";
    {
        CFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) return;
    }
    const HWND hwndCaller = AfxGetSafeHwnd(m_pMainWnd);
    if (nCmd == HELP_CONTEXT)
        g_pfnHtmlHelp(hwndCaller, path, HH_HELP_CONTEXT, dwData);
    else
        g_pfnHtmlHelp(hwndCaller, path, HH_DISPLAY_TOPIC, 0);
}

BOOL CLumoApp::Connect(BOOL bShowWhileConnecting)
{
    // Always a new link: nothing of the old session (its reply window, a pending application
    // log-on, its data port) may carry over into the new one.
    if (m_pJexSocket) m_pJexSocket->Close();
    // The applications learn that Jex is connected only once the new link is up.
    m_sessionCore.SetJexSender(nullptr);
    m_pJexSocket = std::make_shared<CJexSocket>(m_host, m_host, &m_sessionCore);
    m_pJexSocket->SetApplicationRelay(&m_sessionCore); // Jex's answers for the local applications
    CConnectionDlg::CreateLink(*m_pJexSocket); // a failure shows in the dialog as the attempt's error
    // The calls of the old session are gone with it.
    for (const auto& pCall : m_sessionCore.GetCalls())
        m_sessionCore.RemoveCall(pCall->m_nCallId);
    if (m_pMainDlg)
    {
        m_pMainDlg->HangUpSoftPhone();
        ClearToolBarCall();
    }

    CConnectionDlg dlg(m_pJexSocket, *this, m_pMainWnd);
    dlg.SetShowWhileConnecting(bShowWhileConnecting != FALSE);
    m_pConnectionDlg = &dlg;
    const INT_PTR nResult = dlg.DoModal();
    m_pConnectionDlg = nullptr;
    if (nResult != IDOK)
    {
        m_pJexSocket.reset();
        return FALSE;
    }
    m_sessionCore.SetJexSender(m_pJexSocket.get()); // what the session core says to Jex goes over this link
    return TRUE;
}

BOOL CLumoApp::CheckConnection()
{
    if (m_pJexSocket && m_pJexSocket->m_bSession) return TRUE;
    if (m_bEnding) return FALSE; // an application that leaves with the program asks nothing
    // A question already open answers for everyone. While a connection or log-on dialog runs, the
    // connection is being made right now: a second, nested attempt would fight it for the link.
    if (m_bReconnectQuestionOpen || m_pConnectionDlg || m_pLogonDlg || m_pPasswordDlg || m_pLocationDlg) return TRUE;
    // The question and the connection dialog belong to the GUI thread.
    if (GetCurrentThreadId() != m_nThreadID) return FALSE;

    m_bReconnectQuestionOpen = true;
    const int nAnswer = AfxMessageBox(IDS_RECONNECT_QUESTION, MB_YESNO | MB_ICONQUESTION);
    if (nAnswer != IDYES)
    {
        QuitApplication();
        m_bReconnectQuestionOpen = false;
        return FALSE;
    }
    ClearToolBarCall();
    if (!Connect(TRUE))
    {
        m_bReconnectQuestionOpen = false;
        return FALSE;
    }
    GiveLinkToMainWindow();
    const LogonAgain result = LogOnAgain();
    m_bReconnectQuestionOpen = false;
    if (result == LogonAgain::failed) QuitApplication();
    if (result != LogonAgain::done) return FALSE;
    m_sessionCore.BroadcastJexConnectionState(TRUE);
    return TRUE;
}

CLumoApp::LogonAgain CLumoApp::LogOnAgain()
{
    if (m_bUseAuthentication)
    {
        if (!MakeApplicationPortListeners()) return LogonAgain::failed;
        return m_pJexSocket->SendWindowsLogon(nullptr) ? LogonAgain::done : LogonAgain::notSent;
    }
    // A reconnection by agent id does not open the log-on dialog again: without a log-on there is
    // no session.
    return LogonAgain::failed;
}

void CLumoApp::QuitApplication()
{
    // Ended, not destroyed: its modal loop and Connect are still on the stack.
    if (m_pConnectionDlg && m_pConnectionDlg->GetSafeHwnd()) m_pConnectionDlg->EndDialog(IDCANCEL);
    ::PostQuitMessage(0);
}
