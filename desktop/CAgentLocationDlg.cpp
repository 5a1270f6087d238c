#include "desktop/CAgentLocationDlg.h"
#include "core/NaturalCompare.h"
#include "desktop/CLumoApp.h"
#include "desktop/LumoResource.h"
#include "sessions/CJexSocket.h"

namespace
{
CLumoApp& App()
{
    return *static_cast<CLumoApp*>(AfxGetApp());
}

// Sent by the link when the log-on ended while this dialog was open.
constexpr WPARAM kReplyLogonEnded = static_cast<WPARAM>(-1);
} // namespace

BEGIN_MESSAGE_MAP(CAgentLocationDlg, CLumoDialog)
ON_WM_DESTROY()
ON_COMMAND(IDC_LOCATION_OK, &CAgentLocationDlg::OnOK)
ON_NOTIFY(NM_DBLCLK, IDC_LOCATION_LIST, &CAgentLocationDlg::OnDoubleClickList)
ON_MESSAGE(WM_JEXREPLY, &CAgentLocationDlg::OnJexReply)
END_MESSAGE_MAP()

CAgentLocationDlg::CAgentLocationDlg(std::shared_ptr<CJexSocket> pJexSocket, CWnd* pParentWnd)
    : CLumoDialog(IDD_AGENT_LOCATION, pParentWnd), m_pJexSocket(std::move(pJexSocket))
{
}

CAgentLocationDlg::~CAgentLocationDlg() = default;

BOOL CAgentLocationDlg::OnInitDialog()
{
    CLumoDialog::OnInitDialog();
    if (!m_list.SubclassDlgItem(IDC_LOCATION_LIST, this))
    {
        EndDialog(IDCANCEL); // without its list no location could be chosen
        return TRUE;
    }
    App().m_pLocationDlg = this;
    CRect rect;
    m_list.GetClientRect(&rect);
    m_list.InsertColumn(0, L"Name", LVCFMT_LEFT, rect.Width() / 2);
    m_list.InsertColumn(1, L"Computer Name", LVCFMT_LEFT, rect.Width() / 2);
    m_list.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP | LVS_EX_FULLROWSELECT |
                            LVS_EX_HEADERDRAGDROP);
    if (m_pJexSocket) m_pJexSocket->RequestLocationList(this);
    return TRUE;
}

LRESULT CAgentLocationDlg::OnJexReply(WPARAM wParam, LPARAM lParam)
{
    if (wParam == CJexSocket::replyLocations && lParam)
        ShowLocations(*reinterpret_cast<const CObArray*>(lParam));
    else if (wParam == kReplyLogonEnded)
        OnCancel();
    return 0;
}

void CAgentLocationDlg::ShowLocations(const CObArray& locations)
{
    // The records are the link's, valid only during its call: the dialog keeps copies.
    m_list.DeleteAllItems();
    m_locations.clear();
    for (INT_PTR i = 0; i < locations.GetSize(); ++i)
    {
        const auto* pLocation = static_cast<const CLocation*>(locations[i]);
        if (!pLocation) continue;
        m_locations.push_back(std::make_unique<CLocation>(*pLocation));
        const int nIndex = static_cast<int>(m_locations.size() - 1);
        const int nRow =
            m_list.InsertItem(LVIF_TEXT | LVIF_PARAM, m_list.GetItemCount(), pLocation->m_strName, 0, 0, 0, nIndex);
        if (nRow >= 0) m_list.SetItemText(nRow, 1, pLocation->m_strComputerName);
    }
    m_list.SortItems(&CAgentLocationDlg::CompareNames, reinterpret_cast<DWORD_PTR>(this));
    if (m_list.GetItemCount() > 0)
    {
        m_list.SetItemState(0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
        m_list.SetSelectionMark(0);
    }
    GotoDlgCtrl(&m_list);
}

int CALLBACK CAgentLocationDlg::CompareNames(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort)
{
    const auto* pDlg = reinterpret_cast<const CAgentLocationDlg*>(lParamSort);
    const auto nCount = static_cast<LPARAM>(pDlg->m_locations.size());
    if (lParam1 < 0 || lParam1 >= nCount || lParam2 < 0 || lParam2 >= nCount) return 0;
    return NaturalCompare(pDlg->m_locations[static_cast<size_t>(lParam1)]->m_strName,
                          pDlg->m_locations[static_cast<size_t>(lParam2)]->m_strName, TRUE);
}

void CAgentLocationDlg::OnOK()
{
    const int nRow = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (nRow < 0) return;
    const auto nIndex = static_cast<size_t>(m_list.GetItemData(nRow));
    if (nIndex >= m_locations.size()) return;
    m_location = *m_locations[nIndex];
    EndDialog(IDOK);
}

void CAgentLocationDlg::OnDoubleClickList(NMHDR* /*pNotify*/, LRESULT* pResult)
{
    *pResult = 0;
    OnOK();
}

void CAgentLocationDlg::OnDestroy()
{
    if (m_pJexSocket) m_pJexSocket->DetachReplyWindow(this);
    CLumoApp& app = App();
    if (app.m_pLocationDlg == this) app.m_pLocationDlg = nullptr;
    CLumoDialog::OnDestroy();
}
