#include "desktop/CLoginDlg.h"
#include "desktop/CAgentLocationDlg.h"
#include "desktop/CPasswordDlg.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "core/NaturalCompare.h"
#include "desktop/CLumoApp.h"
#include "desktop/LumoResource.h"
#include "framework/AfxMessageBox.h"
#include "framework/CDataExchange.h"
#include "sessions/CAgent.h"
#include "sessions/CJexSocket.h"
#include "sessions/CLocation.h"

namespace
{
CLoginDlg::Timings g_timings;

constexpr wchar_t kStartupTimeout[] = L"Timeout expired while waiting for agent startup data.\nAborting now.";

CString FieldOf(const CStringArray& fields, INT_PTR nIndex)
{
    return nIndex < fields.GetSize() ? fields[nIndex] : CString();
}

// The text of a refused log-on, after 61239 and a line break.
CString LogonRefusalText(long nResult, long nLocationId)
{
    UINT nId = 0;
    switch (nResult)
    {
    case 1: nId = 63836; break;
    case 2: nId = nLocationId == -1 ? 63859 : 61206; break;
    case 4: nId = 63837; break;
    case 5: nId = 61205; break;
    case 6: nId = 63838; break;
    case 7: nId = 63839; break;
    case 10: nId = 63849; break;
    case 11: nId = 63850; break;
    case 100: nId = 61158; break;
    case 101: nId = 61286; break;
    case 103: nId = 63845; break;
    default: break;
    }
    CString strText;
    if (nResult == 102)
    {
        CString strFormat;
        strFormat.LoadString(63833);
        strText.Format(strFormat.GetString(), L"?"); // the account is Jex's to know, not this dialog's
    }
    else if (nId != 0)
        strText.LoadString(nId);
    else
        strText.Format(L"%ld", nResult);
    return strText;
}
} // namespace

BEGIN_MESSAGE_MAP(CLoginDlg, CDialog)
ON_WM_CREATE()
ON_WM_TIMER()
ON_WM_WINDOWPOSCHANGING()
ON_WM_SHOWWINDOW()
ON_WM_DESTROY()
ON_NOTIFY(NM_DBLCLK, IDC_LOGIN_AGENTS, &CLoginDlg::OnDoubleClickList)
ON_NOTIFY(LVN_COLUMNCLICK, IDC_LOGIN_AGENTS, &CLoginDlg::OnColumnClick)
ON_MESSAGE(WM_JEXREPLY, &CLoginDlg::OnJexReply)
END_MESSAGE_MAP()

void CLoginDlg::SetTimings(const Timings& timings)
{
    g_timings = timings;
}

const CLoginDlg::Timings& CLoginDlg::GetTimings()
{
    return g_timings;
}

CLoginDlg::CLoginDlg(std::shared_ptr<CJexSocket> pJexSocket, CLumoApp& app, CWnd* pParentWnd)
    : CDialog(IDD_LOGIN, pParentWnd), m_pJexSocket(std::move(pJexSocket)), m_app(app)
{
}

CLoginDlg::~CLoginDlg() = default;

bool CLoginDlg::IsLogonByName() const
{
    return m_pJexSocket && m_pJexSocket->IsLogonByName();
}

int CLoginDlg::OnCreate(LPCREATESTRUCTW lpCreateStruct)
{
    if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return 0;
}

BOOL CLoginDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_app.m_pLogonDlg = this;
    if (!m_listAgents.SubclassDlgItem(IDC_LOGIN_AGENTS, this))
    {
        EndDialog(IDCANCEL); // without its list nobody could be chosen
        return TRUE;
    }
    if (m_listBitmap.LoadBitmap(IDB_AGENT_LIST) && m_listImages.Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 1))
    {
        m_listImages.Add(&m_listBitmap, RGB(255, 0, 255));
        m_listAgents.SetImageList(&m_listImages, LVSIL_SMALL);
    }
    CRect rcList;
    m_listAgents.GetClientRect(rcList);
    m_listAgents.InsertColumn(0, 61156u, rcList.Width() / 2);
    m_listAgents.InsertColumn(1, 61157u, rcList.Width() / 2);
    m_listAgents.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER);
    m_listAgents.SetExtendedStyle(m_listAgents.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP |
                                  LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER);
    if (!m_pJexSocket)
    {
        GotoDlgCtrl(&m_listAgents);
        return FALSE;
    }
    if (IsLogonByName())
    {
        // No list: the user name is asked for by the password dialog.
        SetTimer(kOkTimer, g_timings.nOkDelayMs, nullptr);
        return TRUE;
    }
    m_pJexSocket->RequestAgentList(this, -1, -1, 0);
    GotoDlgCtrl(&m_listAgents);
    return FALSE;
}

void CLoginDlg::OnWindowPosChanging(WINDOWPOS* lpwndpos)
{
    if (!m_bForceVisible && (IsLogonByName() || !m_app.m_bVisible)) lpwndpos->flags &= ~SWP_SHOWWINDOW;
    CDialog::OnWindowPosChanging(lpwndpos);
}

void CLoginDlg::OnShowWindow(BOOL /*bShow*/, UINT /*nStatus*/) {}

void CLoginDlg::ShowWhenLumoVisible()
{
    if (m_app.m_bVisible || m_bForceVisible) ShowWindow(SW_SHOW);
}

void CLoginDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kOkTimer)
    {
        CDialog::OnTimer(nIDEvent);
        return;
    }
    KillTimer(kOkTimer);
    OnOK();
}

void CLoginDlg::OnDoubleClickList(NMHDR* /*pNotify*/, LRESULT* pResult)
{
    *pResult = 0;
    OnOK();
}

void CLoginDlg::OnColumnClick(NMHDR* /*pNotify*/, LRESULT* pResult)
{
    *pResult = 0;
    SortAgents(); // the list has set its sort column already
}

LRESULT CLoginDlg::OnJexReply(WPARAM wParam, LPARAM lParam)
{
    switch (wParam)
    {
    case CJexSocket::replyAgentList:
        if (lParam) ShowAgentList(*reinterpret_cast<const CStringArray*>(lParam));
        break;
    case CJexSocket::replyLogon:
    {
        const std::unique_ptr<CStringArray> pFields(reinterpret_cast<CStringArray*>(lParam));
        if (pFields) OnLogonReply(*pFields);
        break;
    }
    case CJexSocket::replyCheckPassword:
    case CJexSocket::replyChangePassword:
        delete reinterpret_cast<CJexSocket::PasswordResult*>(lParam); // not this dialog's question
        break;
    default:
        break;
    }
    return 0;
}

void CLoginDlg::ShowAgentList(const CStringArray& fields)
{
    ShowWhenLumoVisible();
    // The list is the fourth text: a reply without it has nothing to show.
    if (fields.GetSize() < 4) return;
    const CPropertyList list(fields[3].GetString());
    long nCount = 0;
    list.GetProperty(L"Count", nCount);
    m_listAgents.DeleteAllItems();
    m_agents.clear();
    const CAgent& appAgent = *m_app.GetAgent();
    int nFound = -1;
    for (long i = 0; i < nCount; ++i)
    {
        auto pAgent = std::make_unique<CAgent>();
        CString strName;
        strName.Format(L"ID%ld", i);
        list.GetProperty(strName, pAgent->m_nId);
        strName.Format(L"LN%ld", i);
        list.GetProperty(strName, pAgent->m_strLastName);
        strName.Format(L"FN%ld", i);
        list.GetProperty(strName, pAgent->m_strFirstName);
        strName.Format(L"UN%ld", i);
        list.GetProperty(strName, pAgent->m_strUserName);
        const int nItem = m_listAgents.InsertItem(m_listAgents.GetItemCount(), pAgent->m_strLastName, 0);
        m_listAgents.SetItemText(nItem, 1, pAgent->m_strFirstName);
        m_listAgents.SetItemData(nItem, static_cast<DWORD_PTR>(m_agents.size()));
        if (nFound < 0 && (pAgent->m_nId == appAgent.m_nId ||
                           (!appAgent.m_strUserName.IsEmpty() && pAgent->m_strUserName.CompareNoCase(appAgent.m_strUserName) == 0)))
            nFound = static_cast<int>(m_agents.size());
        m_agents.push_back(std::move(pAgent));
    }
    m_listAgents.SetSortColumn(1); // signed and one-based: the surname column, ascending
    SortAgents();
    const auto select = [this](int nItem) {
        m_listAgents.SetItemState(nItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        m_listAgents.EnsureVisible(nItem, FALSE);
    };
    if (nFound >= 0)
    {
        LVFINDINFOW find{LVFI_PARAM, nullptr, static_cast<LPARAM>(nFound)};
        select(m_listAgents.FindItem(&find, -1));
        // The agent named by "-agentid:", "-agent:" or "-user:" logs on without a click. Not from
        // here: this runs inside the link's pass over what Jex sent, and the link reads Jex's next
        // lines (the start-up data OnOK waits for) only once that pass is over.
        if (appAgent.m_nId > 0 || !appAgent.m_strUserName.IsEmpty()) SetTimer(kOkTimer, g_timings.nOkDelayMs, nullptr);
        return;
    }
    if (m_listAgents.GetItemCount() > 0) select(0);
    // A name that Jex does not know must not log on somebody else: the agent chooses, also when
    // Lumo started hidden.
    if (!appAgent.m_strUserName.IsEmpty())
    {
        m_bForceVisible = true;
        ShowWindow(SW_SHOW);
    }
}

int CLoginDlg::CompareAgents(const CAgent& first, const CAgent& second, int nSortColumn)
{
    int nResult = 0;
    if (nSortColumn == 1 || nSortColumn == -1)
        nResult = NaturalCompare(first.m_strLastName, second.m_strLastName, TRUE);
    else if (nSortColumn == 2 || nSortColumn == -2)
        nResult = NaturalCompare(first.m_strFirstName, second.m_strFirstName, TRUE);
    return nSortColumn < 0 ? -nResult : nResult;
}

int CALLBACK CLoginDlg::CompareItems(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    auto* pThis = reinterpret_cast<CLoginDlg*>(lParamSort);
    int nColumn = 0;
    BOOL bDescending = FALSE;
    if (!pThis->m_listAgents.GetSortColumn(&nColumn, &bDescending)) return 0;
    const size_t n1 = static_cast<size_t>(lParam1), n2 = static_cast<size_t>(lParam2);
    if (n1 >= pThis->m_agents.size() || n2 >= pThis->m_agents.size()) return 0;
    // The list numbers its columns from 0; CompareAgents takes the signed, one-based sort column.
    return CompareAgents(*pThis->m_agents[n1], *pThis->m_agents[n2], bDescending ? -(nColumn + 1) : nColumn + 1);
}

void CLoginDlg::SortAgents()
{
    m_listAgents.CListCtrl::SortItems(&CLoginDlg::CompareItems, reinterpret_cast<DWORD_PTR>(this));
}

void CLoginDlg::OnOK()
{
    if (m_bInOk) return;
    m_bInOk = true;
    struct Leave
    {
        bool& bFlag;
        ~Leave() { bFlag = false; }
    } leave{m_bInOk};

    CAgent& appAgent = *m_app.GetAgent();
    CAgent picked;
    if (m_pJexSocket && !IsLogonByName())
    {
        const int nItem = m_listAgents.GetNextItem(-1, LVNI_SELECTED);
        if (nItem < 0) return;
        const size_t nIndex = m_listAgents.GetItemData(nItem);
        if (nIndex >= m_agents.size()) return;
        m_nSelected = static_cast<int>(nIndex);
        picked = *m_agents[nIndex];
    }
    else
        picked.m_nId = appAgent.m_nId;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));

    if (m_pJexSocket && (m_pJexSocket->IsPasswordEncryption() || IsLogonByName()))
    {
        if (RunPasswordDialog(picked) != IDOK)
        {
            if (m_bReplyArrived) return;
            if (IsLogonByName())
            {
                EndDialog(IDCANCEL);
                return;
            }
            m_app.ForgetAgent();
            if (m_agents.empty()) m_pJexSocket->RequestAgentList(this, -1, -1, 0);
            return;
        }
    }
    appAgent.m_nId = picked.m_nId;
    appAgent.m_strUserName = picked.m_strUserName;
    appAgent.m_strPassword = picked.m_strPassword;
    m_app.m_bStartupDataReceived = false;
    if (m_pJexSocket)
    {
        if (appAgent.m_nId > 0)
            m_pJexSocket->RequestStartupDataById(appAgent.m_nId);
        else
            m_pJexSocket->RequestStartupDataByName(appAgent.m_strUserName);
    }
    if (!WaitForStartupData())
    {
        if (m_app.m_bEnding) return;
        AfxMessageBox(kStartupTimeout, MB_OK | MB_ICONERROR);
        EndDialog(IDCANCEL);
        return;
    }
    switch (m_app.m_nLocationMode)
    {
    case 0:
        m_app.m_bNoLocation = false;
        if (!ChooseLocation())
        {
            appAgent.m_strPassword.Empty();
            return;
        }
        break;
    case 1:
        m_app.m_bNoLocation = true;
        m_app.SetLocation(-1, CString());
        break;
    default:
        if (m_app.m_nLocationId == 0 && !ChooseLocation())
        {
            appAgent.m_strPassword.Empty();
            return;
        }
        break;
    }
    if (m_pJexSocket) m_pJexSocket->Logon(this);
}

BOOL CLoginDlg::WaitForStartupData()
{
    // Rounds of pumping and sleeping, and no longer than they would last on an idle machine: on a
    // busy one each round takes longer than its sleep, and the agent is kept waiting 30 s, not more.
    const ULONGLONG nEnd = ::GetTickCount64() + static_cast<ULONGLONG>(g_timings.nStartupWaitRounds) *
                                                   g_timings.nStartupWaitStepMs;
    for (int nRound = 0; nRound < g_timings.nStartupWaitRounds; ++nRound)
    {
        if (m_app.m_bStartupDataReceived) return TRUE;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (msg.message == WM_QUIT)
            {
                // The program ends: the quit belongs to the loop below this dialog.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                m_app.m_bEnding = true;
                return FALSE;
            }
            if (!AfxGetApp() || !AfxGetApp()->PreTranslateMessage(&msg))
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (m_app.m_bStartupDataReceived) return TRUE;
        ::Sleep(g_timings.nStartupWaitStepMs);
        if (::GetTickCount64() >= nEnd) break;
    }
    return m_app.m_bStartupDataReceived;
}

BOOL CLoginDlg::ChooseLocation()
{
    CLocation chosen;
    if (RunLocationDialog(chosen) == IDOK)
    {
        m_app.SetLocation(chosen.m_nId, chosen.m_strName);
        m_app.m_pLocationDlg = nullptr;
        return TRUE;
    }
    // With log-on by user name the log-on starts over with the password dialog.
    if (!m_bReplyArrived && IsLogonByName()) SetTimer(kOkTimer, g_timings.nOkDelayMs, nullptr);
    return FALSE;
}

void CLoginDlg::OnLogonReply(const CStringArray& fields)
{
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    const long nResult = CStaticTools::ToLong(FieldOf(fields, 0).GetString());
    CAgent& appAgent = *m_app.GetAgent();
    if (nResult == 0 || nResult == 9)
    {
        appAgent.m_strUserName = FieldOf(fields, 2);
        m_app.SetLocation(CStaticTools::ToLong(FieldOf(fields, 1).GetString()), FieldOf(fields, 3));
        EndDialog(IDOK);
        return;
    }
    CString strText;
    strText.LoadString(61239);
    strText += L"\n" + LogonRefusalText(nResult, m_app.m_nLocationId);
    AfxMessageBox(strText, MB_OK);
    appAgent.m_strPassword.Empty();
    appAgent.m_strFirstName.Empty();
    appAgent.m_strLastName.Empty();
    appAgent.m_strUserName.Empty();
    appAgent.m_nId = 0;
    if (m_app.m_nLocationId != -1) m_app.SetLocation(0, CString());
    // The main window treats the refused log-on as a lost one.
    if (CWnd* pMain = m_app.m_pMainWnd; pMain && pMain->GetSafeHwnd()) pMain->PostMessage(WM_JEXCLOSED, 0, 0);
}

void CLoginDlg::OnDestroy()
{
    KillTimer(kOkTimer);
    if (m_pJexSocket) m_pJexSocket->DetachReplyWindow(this);
    if (m_app.m_pLogonDlg == this) m_app.m_pLogonDlg = nullptr;
    CDialog::OnDestroy();
}

INT_PTR CLoginDlg::RunPasswordDialog(CAgent& agent)
{
    CPasswordDlg dlg(m_pJexSocket, &agent, this);
    return dlg.DoModal();
}

INT_PTR CLoginDlg::RunLocationDialog(CLocation& chosen)
{
    CAgentLocationDlg dlg(m_pJexSocket, this);
    const INT_PTR nResult = dlg.DoModal();
    if (nResult == IDOK) chosen = dlg.m_location;
    return nResult;
}
