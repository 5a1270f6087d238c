#include "sessions/CJexSocket.h"
#include "sessions/CAgent.h"
#include "sessions/CSessionCore.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/IMessageBoxSink.h"
#include "sessions/IUpdateServiceClient.h"
#include "sessions/IUpdateWindowSink.h"
#include "core/AccountFunctions.h"
#include "core/CPasswordCipher.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/CWnd.h"
#include <memory>

CSocketCommandMap CJexSocket::s_mapJex;
CCriticalSection CJexSocket::s_csJex;

namespace
{
constexpr wchar_t kNoSetupVersion[] = L"0.0.0.0";

// The text before the last '.', or all of it without one: versions that differ only in their
// build number are compatible.
CString CutBuildNumber(const CString& strVersion)
{
    const int nDot = strVersion.ReverseFind(L'.');
    return nDot < 0 ? strVersion : strVersion.Left(nDot);
}

// The next blank-delimited word from nPos on; nPos moves past its blank.
CString NextWord(const CString& strText, int& nPos)
{
    if (nPos >= strText.GetLength()) return CString();
    const int nBlank = strText.Find(L' ', nPos);
    const CString strWord = nBlank < 0 ? strText.Mid(nPos) : strText.Mid(nPos, nBlank - nPos);
    nPos = nBlank < 0 ? strText.GetLength() : nBlank + 1;
    return strWord;
}

bool IsWindowAlive(const CWnd* pWnd)
{
    return pWnd && ::IsWindow(pWnd->GetSafeHwnd());
}
} // namespace

CJexSocket::CJexSocket(ILumoAppHost& app, IMessageBoxSink& boxes, CSessionCore* pCore)
    : CJexSocketBase(app), m_boxes(boxes), m_pCore(pCore), m_dataLink(app, *this), m_update(*this, app, boxes),
      m_commands(*this, app, pCore)
{
    m_roles.Install(app);
}

CJexSocket::~CJexSocket() = default;

void CJexSocket::ClearMainWindow()
{
    m_roles.WithdrawObject(m_pMainHost);
    m_pMainHost = nullptr;
    m_pMainWnd = nullptr;
}

IUpdateWindowSink* CJexSocket::ConnectionDialog() const
{
    ILogonDialogs* pDialogs = Served<ILogonDialogs>(__func__);
    return pDialogs ? pDialogs->GetConnectionDialog() : nullptr;
}

CSocketCommandMap* CJexSocket::GetCommandMap()
{
    return &s_mapJex;
}

void CJexSocket::InitCommandMap()
{
    InitDerivedCommandMap<CJexSocketBase>(this, s_mapJex, s_csJex, s_csJexBase, [](CSocketCommandMap& map) {
        using C = CSocketCommand;
        // Only the greeting and the update stream come before the session.
        map.Add(L"STARTS", new C(SocketHandler(&CJexSocket::HandleSTARTS), C::modeText, false, C::checkNone, 0, -1));
        map.Add(L"UPDATE",
                new C(SocketHandler(&CJexSocket::HandleUPDATE), C::modeTextPayload, false, C::checkNone, 0, -1));
        map.Add(L"ALOGON",
                new C(SocketHandler(&CJexSocket::HandleALOGON), C::modeFields, true, C::checkOneOf, 0, 4, -1));
        map.Add(L"ALOGOS",
                new C(SocketHandler(&CJexSocket::HandleALOGOS), C::modeFields, true, C::checkOneOf, 0, 5, -1));
        map.Add(L"CHKPWD",
                new C(SocketHandler(&CJexSocket::HandleCHKPWD), C::modeFields, true, C::checkOneOf, 0, 2, -1));
        map.Add(L"ASUFIN",
                new C(SocketHandler(&CJexSocket::HandleASUFIN), C::modeFields, true, C::checkOneOf, 0, 0, -1));
        AddCommands(map);
    });
}

// ---- connection ----

BOOL CJexSocket::ConnectToServer()
{
    m_nConnectError = -1;
    IJexConnection* pJex = Served<IJexConnection>(__func__);
    if (Connect(pJex ? pJex->GetJexHostName().GetString() : L"", pJex ? pJex->GetJexPort() : 0)) return TRUE;
    const int nError = WSAGetLastError();
    if (nError == WSAEWOULDBLOCK) return TRUE; // the outcome comes to OnConnect
    m_nConnectError = nError;
    return FALSE;
}

void CJexSocket::OnConnect(int nErrorCode)
{
    m_nConnectError = nErrorCode;
    CJexSocketBase::OnConnect(nErrorCode);
}

void CJexSocket::Close()
{
    if (m_bSession) SendCommand(L"ALOGOF\r");
    m_bSession = false; // a second close says nothing more
    m_dataLink.CloseWithCommandLink();
    CJexSocketBase::Close();
}

void CJexSocket::OnClose(int nErrorCode)
{
    m_bSession = false;
    m_dataLink.CloseWithCommandLink();
    CJexSocketBase::OnClose(nErrorCode);
    if (IsWindowAlive(m_pMainWnd))
        m_pMainWnd->PostMessage(WM_JEXCLOSED, 0, 0);
    else if (m_pReplyWnd) // during start-up the waiting dialog must learn it before it goes on
        m_pReplyWnd->SendMessage(WM_JEXCLOSED, 0, 0);
}

void CJexSocket::OnTimeSync(const CString& strClock)
{
    CJexSocketBase::OnTimeSync(strClock);
    if (m_pCore) m_pCore->BroadcastTimeSync();
}

// ---- the greeting ----

void CJexSocket::HandleSTARTS(CString strParameters)
{
    // Lines that came in behind the greeting stay buffered and are handled in turn: what Jex sent
    // does not depend on how the network cut it into reads.
    int nPos = 0;
    const CString strFlags = NextWord(strParameters, nPos);
    const CString strServerVersion = NextWord(strParameters, nPos);
    CString strSetupVersion = NextWord(strParameters, nPos);
    const CString strUpdateMode = NextWord(strParameters, nPos);
    const CString strUpdateParameter = NextWord(strParameters, nPos);
    // An old Jex sends no setup version: nothing to update to.
    if (strSetupVersion.IsEmpty()) strSetupVersion = kNoSetupVersion;

    if (!m_app.IsStandalone())
    {
        IJexConnection* pJex = Served<IJexConnection>(__func__);
        if (IUpdateServiceClient* pService = pJex ? pJex->GetUpdateService() : nullptr)
        {
            CString strError;
            if (!pService->CheckService(strError)) ShowMessage(strError, MB_OK);
        }
    }

    // Everything behind the fifth word is the data port.
    const CString strDataPort = strParameters.Mid(nPos);

    if (!DecideUpdate(strSetupVersion, strUpdateMode, strUpdateParameter)) return;
    CheckServerVersion(strServerVersion);
    if (!strDataPort.IsEmpty()) m_dataLink.SetDataPort(CStaticTools::ToLong(strDataPort.GetString()));

    long nFlags = 0;
    if (!CStaticTools::EstLong(strFlags.GetString(), nFlags))
    {
        m_bGreetingRefused = true; // the connection dialog reports it
        return;
    }
    m_bSession = true;
    m_bPasswordEncryption = nFlags % 2 == 1;
    m_bLogonByName = nFlags >= 2;

    if (m_bPasswordEncryption && !InitPasswordCipher())
    {
        ShowMessage(L"Could not initialize encryption.\n\nPlease install Internet Explorer 5.5 or higher, or download "
                    L"and install \nthe 'High Encryption Pack' from the Microsoft website.",
                    MB_OK | MB_ICONERROR);
        m_app.QuitApplication();
    }
}

BOOL CJexSocket::DecideUpdate(const CString& strSetupVersion, const CString& strUpdateMode,
                              const CString& strUpdateParameter)
{
    const CString strInstalled = m_app.GetInstalledSetupVersion();
    if (strSetupVersion.CompareNoCase(kNoSetupVersion) == 0 || strSetupVersion.CompareNoCase(strInstalled) == 0)
        return TRUE;

    IUpdateWindowSink* pConnection = ConnectionDialog();
    if (pConnection) pConnection->SetMessageBoxShown(TRUE);
    CString strText;
    if (m_app.IsStandalone())
    {
        strText.Format(L"There is a new version available:\n   current setup version: %s\n   new setup version: %s",
                       strInstalled.GetString(), strSetupVersion.GetString());
        ShowMessage(strText, MB_OK);
        m_app.QuitApplication();
        return FALSE;
    }
    strText.Format(L"There is a new version available:\n   current installed setup version: %s\n   new setup "
                   L"version: %s\n\nUpdate now?",
                   strInstalled.GetString(), strSetupVersion.GetString());
    bool bUpdate = true;
    if (strUpdateMode == L"0")
        bUpdate = ShowMessage(strText, MB_YESNO) == IDYES;
    else if (strUpdateMode == L"1" && ShowMessage(strText, MB_OKCANCEL) != IDOK)
    {
        m_app.QuitApplication();
        return FALSE;
    }
    if (bUpdate)
    {
        m_bUpdateInProgress = true;
        SendCommand(L"UPDATE %s %s\r", strInstalled.GetString(), strUpdateParameter.GetString());
        if (pConnection) pConnection->ShowUpdateWindow();
        return FALSE;
    }
    if (pConnection) pConnection->SetMessageBoxShown(FALSE);
    return TRUE;
}

void CJexSocket::CheckServerVersion(const CString& strServerVersion)
{
    const CString strOwnVersion = m_app.GetVersionString();
    const CString strServerCut = CutBuildNumber(strServerVersion);
    if (CutBuildNumber(strOwnVersion).CompareNoCase(strServerCut) == 0) return;
    IJexConnection* pJex = Served<IJexConnection>(__func__);
    if (!pJex || !pJex->TakeVersionWarning()) return;
    CString strText;
    strText.Format(L"The version of LUMO (v %s) is different from the version of JEX (v %s) you are trying to connect "
                   L"to.\nTo avoid any problems please upgrade LUMO to version %s.0 or higher",
                   strOwnVersion.GetString(), strServerVersion.GetString(), strServerCut.GetString());
    ShowMessage(strText, MB_OK | MB_ICONEXCLAMATION);
}

int CJexSocket::ShowMessage(const CString& strText, UINT nType)
{
    return m_boxes.ShowMessage(strText, nType);
}

// ---- log-on ----

void CJexSocket::Logon(CWnd* pReplyWnd)
{
    if (pReplyWnd) m_pReplyWnd = pReplyWnd;
    StartLogon();
}

void CJexSocket::StartLogon()
{
    // The data link first, so that Jex has it when the agent is on; without one the log-on goes
    // out at once, else the data link hands it on once its connect is decided.
    if (m_dataLink.IsLoggedIn() || !m_dataLink.StartConnect()) SendLogonCommand();
}

void CJexSocket::SendLogonCommand()
{
    SendCommand(L"ALOGON %d %d %ld\r", static_cast<int>(m_app.GetAgent().m_nId),
                static_cast<int>(m_app.GetLocationId()), static_cast<long>(CTimeTools::GetCurrentUTCOffsetLocal()));
}

BOOL CJexSocket::SendWindowsLogon(CWnd* pReplyWnd)
{
    m_pReplyWnd = pReplyWnd;
    CString strComputer, strSid, strComputerLetters, strSidLetters;
    if (!GetWorkstationInfo(&strComputer, nullptr) || !GetCurrentUserAccount(&strSid, nullptr, nullptr) ||
        strSid.IsEmpty() || !EncryptPassword(strComputer.GetString(), strComputerLetters) ||
        !EncryptPassword(strSid.GetString(), strSidLetters))
        return FALSE;
    SendCommand(L"ALOGOS %s %s %ld\r", strComputerLetters.GetString(), strSidLetters.GetString(),
                static_cast<long>(CTimeTools::GetCurrentUTCOffsetLocal()));
    return TRUE;
}

void CJexSocket::DetachReplyWindow(CWnd* pWnd)
{
    if (m_pReplyWnd == pWnd) m_pReplyWnd = nullptr;
}

BOOL CJexSocket::SendCheckPasswordById(CWnd* pReplyWnd, long nAgentId, const CString& strPassword)
{
    m_pReplyWnd = pReplyWnd;
    return SendRequest(L"CHKPWD 1 %d %s\r", static_cast<int>(nAgentId), EscapeParameter(strPassword).GetString());
}

BOOL CJexSocket::SendCheckPasswordByName(CWnd* pReplyWnd, const CString& strUserName, const CString& strPassword)
{
    m_pReplyWnd = pReplyWnd;
    return SendRequest(L"CHKPWD 2 %s %s\r", EscapeParameter(strUserName).GetString(),
                       EscapeParameter(strPassword).GetString());
}

BOOL CJexSocket::RequestStartupDataById(long nAgentId)
{
    return SendRequest(L"RQASUD 1 %d\r", static_cast<int>(nAgentId));
}

BOOL CJexSocket::RequestStartupDataByName(const CString& strUserName)
{
    return SendRequest(L"RQASUD 2 %s\r", EscapeParameter(strUserName).GetString());
}

// ---- answers ----

void CJexSocket::PostReply(CWnd* pWnd, WPARAM nKind, CStringArray* pFields)
{
    std::unique_ptr<CStringArray> pOwned(pFields);
    if (pWnd->PostMessage(WM_JEXREPLY, nKind, reinterpret_cast<LPARAM>(pOwned.get())))
        pOwned.release(); // the receiver deletes it
}

void CJexSocket::HandleALOGON(CStringArray& arrFields)
{
    const short nResult = CStaticTools::ToShort(arrFields[0].GetString());
    if (IAgentState* pState = Served<IAgentState>(__func__)) pState->SetLogonResult(nResult);
    auto copyFields = [&arrFields] {
        auto* pCopy = new CStringArray;
        for (INT_PTR i = 0; i < arrFields.GetSize(); ++i)
            pCopy->Add(arrFields[i]);
        return pCopy;
    };
    ILogonDialogs* pDialogs = Served<ILogonDialogs>(__func__);
    if (CWnd* pLogon = pDialogs ? pDialogs->GetLogonDialog() : nullptr; IsWindowAlive(pLogon))
    {
        pDialogs->SetLogonAnswered();
        PostReply(pLogon, replyLogon, copyFields());
        if (CWnd* pPassword = pDialogs->GetPasswordDialog(); IsWindowAlive(pPassword))
            pPassword->PostMessage(WM_JEXREPLY, replyLogon, -1);
        if (CWnd* pLocation = pDialogs->GetLocationDialog(); IsWindowAlive(pLocation))
            pLocation->PostMessage(WM_JEXREPLY, static_cast<WPARAM>(-1), 0);
    }
    else if (IsWindowAlive(m_pReplyWnd))
        PostReply(m_pReplyWnd, replyLogon, copyFields());
    m_app.OnAgentLogon(m_nPendingApplication, nResult);
    if (nResult == 0) SendCommand(L"ENDINI\r");
}

void CJexSocket::HandleALOGOS(CStringArray& arrFields)
{
    const long nAgentId = CStaticTools::ToLong(arrFields[0].GetString());
    const long nLocationId = CStaticTools::ToLong(arrFields[3].GetString());
    CString strText;
    if (nAgentId <= 0)
    {
        CString strUser, strDomain, strAccount = L"Unknown agent";
        if (GetCurrentUserAccount(nullptr, &strUser, &strDomain))
            strAccount.Format(L"%s\\%s", strDomain.GetString(), strUser.GetString());
        strText.Format(L"There is no agent with NT Account '%s' configured on Jex.\nLumo will now be closed.",
                       strAccount.GetString());
        ShowMessage(strText, MB_OK | MB_ICONERROR);
        m_app.QuitApplication();
    }
    if (nLocationId == 0)
    {
        CString strComputer, strGroup, strMachine = L"Unknown agent";
        if (GetWorkstationInfo(&strComputer, &strGroup))
            strMachine.Format(L"%s\\%s", strGroup.GetString(), strComputer.GetString());
        strText.Format(L"There is no location for computer name '%s' configured on Jex.\nLumo will now be closed.",
                       strMachine.GetString());
        ShowMessage(strText, MB_OK | MB_ICONERROR);
        m_app.QuitApplication();
        return;
    }
    m_app.SetLocation(nLocationId, arrFields[4]);
    CAgent& agent = m_app.GetAgent();
    agent.m_nId = nAgentId;
    agent.m_strFirstName = arrFields[1];
    agent.m_strLastName = arrFields[2];
}

void CJexSocket::HandleCHKPWD(CStringArray& arrFields)
{
    const long nAgentId = CStaticTools::ToLong(arrFields[0].GetString());
    const short nResult = CStaticTools::ToShort(arrFields[1].GetString());
    m_app.GetAgent().m_nId = nAgentId;
    if (IsWindowAlive(m_pReplyWnd))
    {
        // Sent, not posted: the receiver deletes the record before the call returns.
        auto pResult = std::make_unique<PasswordResult>(PasswordResult{nAgentId, nResult});
        m_pReplyWnd->SendMessage(WM_JEXREPLY, replyCheckPassword, reinterpret_cast<LPARAM>(pResult.release()));
    }
    if (m_pCore) m_pCore->BroadcastPasswordCheckResult(nResult);
}

void CJexSocket::HandleASUFIN(CStringArray& /*arrFields*/)
{
    if (ILogonDialogs* pDialogs = Served<ILogonDialogs>(__func__)) pDialogs->SetStartupDataComplete();
}
