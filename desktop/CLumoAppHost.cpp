#include "desktop/CLumoAppHost.h"
#include "desktop/CConnectionDlg.h"
#include "desktop/CIniFile.h"
#include "desktop/CLoginDlg.h"
#include "desktop/CLumoApp.h"
#include "framework/AfxMessageBox.h"
#include <utility>

CAgent& CLumoAppHost::GetAgent()
{
    return *m_app.GetAgent();
}

CString CLumoAppHost::GetVersionString()
{
    return m_app.GetVersionString();
}

CString CLumoAppHost::GetWorkFolder()
{
    return m_app.GetWorkFolder();
}

BOOL CLumoAppHost::IsStandalone()
{
    return m_app.m_bStandalone;
}

CString CLumoAppHost::GetInstalledSetupVersion()
{
    return m_app.m_strSetupVersion;
}

long CLumoAppHost::GetLocationId()
{
    return m_app.m_nLocationId;
}

void CLumoAppHost::SetLocation(long nLocationId, const CString& strLocationName)
{
    m_app.SetLocation(nLocationId, strLocationName);
}

BOOL CLumoAppHost::UseAuthentication()
{
    return m_app.m_bUseAuthentication;
}

BOOL CLumoAppHost::StartProgram(long /*nApplicationId*/)
{
    return FALSE; // Lumo does not start child programs yet
}

BOOL CLumoAppHost::IsVisible()
{
    return m_app.m_bVisible;
}

void CLumoAppHost::ShowWindows()
{
    if (m_app.m_bEnding) return; // the applications leave with the program
    m_app.m_bVisible = true;
    if (m_app.m_pMainDlg && m_app.m_pMainDlg->GetSafeHwnd()) m_app.m_pMainDlg->ShowWindow(SW_SHOW);
    for (CWnd* pDialog : {m_app.m_pLogonDlg, m_app.m_pPasswordDlg, m_app.m_pLocationDlg})
        if (pDialog && pDialog->GetSafeHwnd()) pDialog->ShowWindow(SW_SHOW);
    if (m_app.m_pConnectionDlg) m_app.m_pConnectionDlg->ShowIfAllowed();
}

BOOL CLumoAppHost::CheckConnection()
{
    return m_app.CheckConnection();
}

void CLumoAppHost::QuitApplication()
{
    m_app.QuitApplication();
}

void CLumoAppHost::OnAgentLogon(long nPendingApplicationId, int nResult)
{
    m_app.OnAgentLogon(nPendingApplicationId, nResult);
}

CString CLumoAppHost::GetJexHostName()
{
    return m_app.m_strRemoteHost;
}

UINT CLumoAppHost::GetJexPort()
{
    return m_app.m_nJexPort;
}

BOOL CLumoAppHost::TakeVersionWarning()
{
    return std::exchange(m_app.m_bVersionWarningPending, false);
}

IUpdateWindowSink* CLumoAppHost::GetConnectionDialog()
{
    return m_app.m_pConnectionDlg;
}

CWnd* CLumoAppHost::GetLogonDialog()
{
    return m_app.m_pLogonDlg;
}

void CLumoAppHost::SetLogonAnswered()
{
    if (auto* pLogon = dynamic_cast<CLoginDlg*>(m_app.m_pLogonDlg)) pLogon->SetReplyArrived();
}

CWnd* CLumoAppHost::GetPasswordDialog()
{
    return m_app.m_pPasswordDlg;
}

CWnd* CLumoAppHost::GetLocationDialog()
{
    return m_app.m_pLocationDlg;
}

void CLumoAppHost::SetStartupDataComplete()
{
    m_app.m_bStartupDataReceived = true;
}

BOOL CLumoAppHost::IsAlarmSwitchOn()
{
    return m_app.m_bLoggedOn;
}

long CLumoAppHost::GetRegistryLocationId()
{
    return CIniFile::GetLocation();
}

bool* CLumoAppHost::PermissionSwitch(int nBit)
{
    switch (nBit)
    {
    case 0:
        return &m_app.m_bAllowToolBar;
    case 1:
        return &m_app.m_bAllowMessagesToSupervisors;
    case 5:
        return &m_app.m_bOrvialFullScreen;
    case 6:
        return &m_app.m_bOrvialHideLumo;
    case 7:
        return &m_app.m_bAllowAnonymise;
    case 8:
        return &m_app.m_bAllowCallButtons;
    case 9:
        return &m_app.m_bAllowRecording;
    default:
        return nullptr;
    }
}

void CLumoAppHost::SetPermission(int nBit, BOOL bOn)
{
    if (bool* pSwitch = PermissionSwitch(nBit)) *pSwitch = bOn != FALSE;
}

BOOL CLumoAppHost::IsPermissionOn(int nBit)
{
    const bool* pSwitch = PermissionSwitch(nBit);
    return pSwitch && *pSwitch;
}

void CLumoAppHost::SetPermissionMode(int nMode)
{
    m_app.m_nLocationMode = nMode;
}

void CLumoAppHost::SetVoip(BOOL bOn)
{
    m_app.m_bVoIP = bOn != FALSE;
}

BOOL CLumoAppHost::IsVoipOn()
{
    return m_app.m_bVoIP;
}

CString CLumoAppHost::GetVoipGatewaySetting()
{
    return CIniFile::GetVOIPGateWay();
}

void CLumoAppHost::SetVoipGateways(const CString& strGateways)
{
    m_app.SetVoipGateways(strGateways);
}

void CLumoAppHost::StartAgentMonitor(const CString& strHost, long nPort, long nId)
{
    // Jex expects no answer: a server that cannot be started leaves the supervisor without a view.
    m_app.StartAgentMonitor(strHost, nPort, nId);
}

void CLumoAppHost::UpdateAlarmOptions(const CAlarmOption& options)
{
    m_app.UpdateAlarmOptions(options);
}

std::shared_ptr<CJexSocket> CLumoAppHost::GetJexSocket()
{
    return m_app.GetJexSocket();
}

CString CLumoAppHost::GetLogFileLocation()
{
    return CIniFile::GetLogFileLocation();
}

CString CLumoAppHost::GetInputTracePath()
{
    return CIniFile::GetInputTracePath();
}

CString CLumoAppHost::GetOutputTracePath()
{
    return CIniFile::GetOutputTracePath();
}

void CLumoAppHost::SetVisible(BOOL bVisible)
{
    m_app.m_bVisible = bVisible != FALSE;
}

CWnd* CLumoAppHost::GetConnectionDialogWnd()
{
    return m_app.m_pConnectionDlg;
}

// The box runs a message loop of its own: the connection dialog's timer would otherwise show the
// dialog over the box or replace the socket whose handler is waiting for the answer.
template <class ShowBox> int CLumoAppHost::ShowSuspended(ShowBox showBox)
{
    CConnectionDlg* pDlg = m_app.m_pConnectionDlg;
    const bool bWasSuspended = pDlg && pDlg->IsSuspended();
    if (pDlg) pDlg->SetSuspended(true);
    const int nAnswer = showBox();
    // The dialog may have ended under the box (the agent quit).
    if (pDlg && m_app.m_pConnectionDlg == pDlg) pDlg->SetSuspended(bWasSuspended);
    return nAnswer;
}

int CLumoAppHost::ShowMessage(const CString& strText, UINT nType)
{
    return ShowSuspended([&] { return AfxMessageBox(strText, nType); });
}

int CLumoAppHost::ShowMessage(UINT nStringId, UINT nType)
{
    return ShowSuspended([&] { return AfxMessageBox(nStringId, nType); });
}

BOOL CLumoAppHost::IsDesktopVisible()
{
    return m_app.m_bVisible;
}

BOOL CLumoAppHost::HandleDialKey(wchar_t ch)
{
    return m_app.m_pMainDlg ? m_app.m_pMainDlg->HandleDialKey(ch) : FALSE;
}

BOOL CLumoAppHost::CheckService(CString& strError)
{
    return CContactCenterUpdater(m_nUpdateServicePort).CheckService(strError) ? TRUE : FALSE;
}

BOOL CLumoAppHost::RunUpdate(const CString& /*strProgram*/, const CString& /*strArguments*/, CString& strError,
                             BOOL /*bDeleteProgram*/, BOOL /*bWait*/)
{
    strError = L"Lumo cannot hand updates to the update service.";
    return FALSE;
}
