#pragma once
#include "framework/CBitmap.h"
#include "framework/CDialog.h"
#include "framework/CImageList.h"
#include "framework/CStringArray.h"
#include "uikit/CListCtrlEx.h"
#include <memory>
#include <vector>

class CAgent;
class CJexSocket;
class CLocation;
class CLumoApp;

// The modal log-on dialog: lists the agents Jex knows, lets the agent pick one (or logs on the one
// given on the command line without a click), has the password checked when Jex wants one, waits
// for the agent's start-up data, has a location chosen and sends the log-on. It stays open until
// Jex accepts the log-on (IDOK); IDCANCEL ends the log-on.
class CLoginDlg : public CDialog
{
public:
    // The wait for the start-up data and the delay of the dialog's own OK. Tests shorten them.
    struct Timings
    {
        int nStartupWaitRounds = 300;
        UINT nStartupWaitStepMs = 100;
        UINT nOkDelayMs = 100;
    };
    static void SetTimings(const Timings& timings);
    static const Timings& GetTimings();

    static constexpr UINT_PTR kOkTimer = 0;

    CLoginDlg(std::shared_ptr<CJexSocket> pJexSocket, CLumoApp& app, CWnd* pParentWnd = nullptr);
    ~CLoginDlg() override;

    // Jex's ALOGON reply has reached this dialog: a password or location dialog cancelled from now
    // on changes nothing.
    void SetReplyArrived() { m_bReplyArrived = true; }
    bool IsReplyArrived() const { return m_bReplyArrived; }

    // Runs the location dialog; TRUE with the application's location set when one was chosen.
    virtual BOOL ChooseLocation();

    // Natural order without case: of the last names for column 1, of the first names for column
    // 2; any other column compares as equal. Negative sort columns sort descending.
    static int CompareAgents(const CAgent& first, const CAgent& second, int nSortColumn);

protected:
    // The password and location dialogs, run modally with this dialog as parent.
    virtual INT_PTR RunPasswordDialog(CAgent& agent);
    virtual INT_PTR RunLocationDialog(CLocation& chosen);

    BOOL OnInitDialog() override;
    void OnOK() override;
    int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    void OnTimer(UINT_PTR nIDEvent);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void OnDestroy();
    void OnDoubleClickList(NMHDR* pNotify, LRESULT* pResult);
    void OnColumnClick(NMHDR* pNotify, LRESULT* pResult);
    LRESULT OnJexReply(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void ShowAgentList(const CStringArray& fields);
    void OnLogonReply(const CStringArray& fields);
    void SortAgents();
    static int CALLBACK CompareItems(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
    // Pumps the thread's messages until Jex's start-up data has come; FALSE when the wait ran out
    // or the program is ending.
    BOOL WaitForStartupData();
    void ShowWhenLumoVisible();
    bool IsLogonByName() const;

    std::shared_ptr<CJexSocket> m_pJexSocket;
    CLumoApp& m_app;
    bool m_bReplyArrived = false;
    bool m_bForceVisible = false; // the agent must choose: shown even while Lumo is hidden
    bool m_bInOk = false;         // OnOK waits for the start-up data: no second log-on meanwhile
    std::vector<std::unique_ptr<CAgent>> m_agents; // of the last list; item data are their indexes
    CBitmap m_listBitmap;
    CImageList m_listImages;
    int m_nSelected = -1;
    CListCtrlEx m_listAgents;
};
