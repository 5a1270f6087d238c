#pragma once
#include "framework/CListCtrl.h"
#include "sessions/CLocation.h"
#include "uikit/CLumoDialog.h"
#include <memory>
#include <vector>

class CJexSocket;

// Lets the agent choose the workstation to log on at, from the list Jex sends. Ends with IDOK
// and the chosen location in m_location; IDCANCEL when the agent cancels or the log-on ended
// meanwhile (a reply of kind -1). Only what the log-on needs: no header sorting, no reconnect.
class CAgentLocationDlg : public CLumoDialog
{
public:
    CAgentLocationDlg(std::shared_ptr<CJexSocket> pJexSocket, CWnd* pParentWnd = nullptr);
    ~CAgentLocationDlg() override;

    CLocation m_location; // the chosen one; id -1 until OK

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnDestroy();
    void OnDoubleClickList(NMHDR* pNotify, LRESULT* pResult);
    LRESULT OnJexReply(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void ShowLocations(const CObArray& locations);
    // Item data are indexes into m_locations; lParamSort is the dialog.
    static int CALLBACK CompareNames(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

    std::shared_ptr<CJexSocket> m_pJexSocket;
    CListCtrl m_list;
    std::vector<std::unique_ptr<CLocation>> m_locations;
};
