// The log-on's helper dialogs in process: real windows, driven as an agent would (field texts, a
// click on OK), against the scripted Jex (tests/peers/scripted_jex.py) on 127.0.0.1.
#include "desktop/CAgentLocationDlg.h"
#include "desktop/CChangePasswordDlg.h"
#include "desktop/CConnectionDlg.h"
#include "desktop/CLoginDlg.h"
#include "desktop/CLumoApp.h"
#include "desktop/CPasswordDlg.h"
#include "desktop/LumoMessages.h"
#include "desktop/LumoResource.h"
#include "core/CPasswordCipher.h"
#include "framework/CAsyncSocket.h"
#include "framework/CListCtrl.h"
#include "framework/testing/CLoopStep.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/CRecorderWnd.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "sessions/CAgent.h"
#include "sessions/CAppSocket.h"
#include "sessions/CJexSocket.h"
#include "sessions/CLumoClientSocket.h"
#include "tests/support/CScriptedJex.h"
#include "LumoVersion.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Lines = CScriptedJex::Lines;

std::string Greeting(int nFlags)
{
    return "handshake\ngreet " + std::to_string(nFlags) + " " LUMO_VERSION_TEXT " 0.0.0.0\n";
}

std::wstring Str(const CString& s)
{
    return s.Str();
}

std::wstring ItemText(HWND hDlg, int nId)
{
    wchar_t text[256] = L"";
    ::GetDlgItemTextW(hDlg, nId, text, 256);
    return text;
}

std::vector<std::wstring> BoxTexts(const CMessageBoxAnswerer& boxes)
{
    std::vector<std::wstring> texts;
    for (const auto& box : boxes.Boxes())
        texts.push_back(Str(box.text));
    return texts;
}

// What an agent does: the text into the field (its change notice goes to the dialog as typing's
// would), then a click on the button.
void SetField(HWND hDlg, int nId, const wchar_t* pszText)
{
    ::SetDlgItemTextW(hDlg, nId, pszText);
}

void Click(HWND hDlg, int nId)
{
    ::SendMessageW(::GetDlgItem(hDlg, nId), BM_CLICK, 0, 0);
}

class LogonDialogsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(AfxSocketInit()); }
    void SetUp() override
    {
        m_pApp = std::make_unique<CLumoApp>();
        App().m_strRemoteHost = L"127.0.0.1";
        App().m_bStandalone = true;
        CConnectionDlg::SetTimings({50, 1000});
    }
    void TearDown() override
    {
        CConnectionDlg::SetTimings({});
        if (m_pApp && m_pApp->m_pJexSocket) m_pApp->m_pJexSocket->Close();
        m_pApp.reset();
    }
    CLumoApp& App() { return *m_pApp; }
    CAgent& AppAgent() { return *App().GetAgent(); }

    // The link up, Jex following the script after its greeting.
    bool Connect(const std::string& script)
    {
        m_pJex = std::make_unique<CScriptedJex>(script);
        App().m_nJexPort = m_pJex->Port();
        return App().Connect(FALSE) && App().GetJexSocket();
    }
    // Closes the link; what the desktop sent, the closing ALOGOF left out.
    Lines Finish()
    {
        App().GetJexSocket()->Close();
        EXPECT_EQ(m_pJex->Finish(), 0) << m_pJex->Log();
        Lines lines = m_pJex->Received();
        if (!lines.empty() && lines.back() == L"ALOGOF") lines.pop_back();
        return lines;
    }
    HWND PasswordWindow() const { return m_pApp->m_pPasswordDlg ? m_pApp->m_pPasswordDlg->GetSafeHwnd() : nullptr; }

    std::unique_ptr<CLumoApp> m_pApp;
    std::unique_ptr<CScriptedJex> m_pJex;
};

// ---- the password check ----

struct CheckCase
{
    const char* why;
    int nFlags;               // the greeting's: odd requires passwords, above 1 logs on by name
    const wchar_t* pszStored; // the application agent's stored password, in plain text; null: none
    const wchar_t* pszTyped;  // typed into the field and OK clicked; null: nothing typed
    const char* pszReply;     // "CHKPWD <agent id> <result>"
    INT_PTR nResult;          // of DoModal; the test cancels a dialog that stays open
    std::vector<std::wstring> boxes;
    long nAgentId;          // the picked agent's id afterwards
    bool bAgentHasPassword; // the picked agent got the password's letters
    long nAppAgentId;       // the application agent's id afterwards
    bool bAppPasswordKept;  // the application agent's stored password is still there
    bool bShownBeforeReply;
    bool bStaysOpen; // the reply leaves the dialog open
};

constexpr long kNotYet = 77;

const CheckCase kCheckCases[] = {
    // why, flags, stored, typed, reply, DoModal, boxes, picked id, picked letters, app id, app letters, shown, stays
    {"accepted", 1, nullptr, L"pw", "12 0", IDOK, {}, 12, true, 12, false, true, false},
    {"accepted, 9", 1, nullptr, L"pw", "12 9", IDOK, {}, 12, true, 12, false, true, false},
    {"Jex cancels", 1, nullptr, L"pw", "12 -1", IDCANCEL, {}, 12, false, 12, false, true, false},
    {"a typed wrong password",
     1,
     nullptr,
     L"pw",
     "12 100",
     IDCANCEL,
     {L"Invalid password"},
     12,
     false,
     12,
     false,
     true,
     true},
    {"a stored wrong password is dropped silently",
     1,
     L"secret",
     nullptr,
     "12 100",
     IDCANCEL,
     {},
     12,
     false,
     12,
     false,
     false,
     true},
    {"a stored right password, never shown", 1, L"secret", nullptr, "12 0", IDOK, {}, 12, true, 12, true, false, false},
    {"100 without required passwords is accepted",
     0,
     nullptr,
     nullptr,
     "12 100",
     IDOK,
     {},
     12,
     false,
     12,
     false,
     true,
     false},
    {"an unknown agent that Lumo knew is forgotten",
     1,
     nullptr,
     L"pw",
     "12 1",
     IDCANCEL,
     {},
     12,
     false,
     -1,
     false,
     true,
     false},
    {"an unknown agent nobody knew (no name)",
     1,
     nullptr,
     L"pw",
     "0 1",
     IDCANCEL,
     {L"Agent does not exist"},
     12,
     false,
     0,
     false,
     true,
     false},
    {"already connected",
     1,
     nullptr,
     L"pw",
     "12 6",
     IDCANCEL,
     {L"An agent is already connected with this name."},
     12,
     false,
     12,
     false,
     true,
     true},
    {"no permission",
     1,
     nullptr,
     L"pw",
     "12 103",
     IDCANCEL,
     {L"Connection refused: Agent doesn't have the permission to log on!"},
     12,
     false,
     12,
     false,
     true,
     true},
};

TEST_F(LogonDialogsTest, PasswordDialogAnswersEveryCheckResult)
{
    for (const CheckCase& c : kCheckCases)
    {
        SCOPED_TRACE(c.why);
        const std::wstring plain = c.pszStored ? c.pszStored : c.pszTyped ? c.pszTyped : L"";
        std::string narrowPlain(plain.begin(), plain.end());
        if (narrowPlain.empty()) narrowPlain = "''";
        ASSERT_TRUE(Connect(Greeting(c.nFlags) + "password CHKPWD 2 " + narrowPlain + "\nsend CHKPWD " + c.pszReply +
                            "\ndrain\n"));
        // The application's agent: 12, a name, and (as "-pwd:" leaves it) the stored letters.
        AppAgent().m_nId = kNotYet; // the link sets the reply's agent id before the dialog sees it
        // Only the nameless case makes Jex's "unknown" a box; any name of the agent is forgotten instead.
        AppAgent().m_strFirstName = std::string(c.why).find("no name") == std::string::npos ? L"Jane" : L"";
        CString storedLetters;
        if (c.pszStored)
        {
            ASSERT_TRUE(EncryptPassword(c.pszStored, storedLetters));
        }
        AppAgent().m_strPassword = storedLetters;
        CAgent picked;
        picked.m_nId = 12;
        picked.m_strFirstName = L"Jane";

        CMessageBoxAnswerer boxes;
        bool bTyped = false;
        bool bShownBeforeReply = false;
        bool bShownAfterReply = false;
        std::wstring fieldAfterReply;
        CPasswordDlg dlg(App().GetJexSocket(), &picked);
        int nStep = 0;
        CLoopStep loop([&] {
            const HWND hDlg = PasswordWindow();
            if (!hDlg) return false;
            if (nStep == 0)
            {
                // The reply first: a window it showed was not visible before it.
                const bool bReplied = AppAgent().m_nId != kNotYet;
                if (!bReplied) bShownBeforeReply = bShownBeforeReply || ::IsWindowVisible(hDlg);
                if (!bTyped && !c.pszStored && !::IsWindowVisible(hDlg)) return false; // the agent sees it first
                if (c.pszTyped && !bTyped)
                {
                    SetField(hDlg, IDC_PASSWORD_OLD, c.pszTyped);
                    Click(hDlg, IDOK);
                    bTyped = true;
                }
                if (!c.pszTyped && !c.pszStored && !bTyped)
                {
                    Click(hDlg, IDOK);
                    bTyped = true;
                }
                if (!bReplied) return false;
                nStep = 1;
            }
            // The reply has been handled; only a dialog it kept open is looked at and cancelled.
            if (!c.bStaysOpen) return true;
            bShownAfterReply = ::IsWindowVisible(hDlg) != FALSE;
            fieldAfterReply = ItemText(hDlg, IDC_PASSWORD_OLD);
            Click(hDlg, IDCANCEL);
            return true;
        });
        EXPECT_EQ(dlg.DoModal(), c.nResult);
        EXPECT_EQ(BoxTexts(boxes), c.boxes);
        EXPECT_EQ(bShownBeforeReply, c.bShownBeforeReply) << "visible before Jex answered";
        EXPECT_EQ(picked.m_nId, c.nAgentId);
        EXPECT_EQ(!picked.m_strPassword.IsEmpty(), c.bAgentHasPassword);
        EXPECT_EQ(AppAgent().m_nId, c.nAppAgentId);
        EXPECT_EQ(!AppAgent().m_strPassword.IsEmpty(), c.bAppPasswordKept);
        if (c.bAgentHasPassword && c.pszStored)
        {
            EXPECT_EQ(Str(picked.m_strPassword), Str(storedLetters));
        }
        if (c.bStaysOpen)
        {
            EXPECT_TRUE(loop.IsDone());
            EXPECT_TRUE(bShownAfterReply) << "a reply that keeps the dialog shows it";
            if (c.pszStored)
            {
                EXPECT_EQ(fieldAfterReply, L"") << "the dropped password leaves an empty field";
            }
        }
        EXPECT_EQ(App().m_pPasswordDlg, nullptr);
        EXPECT_EQ(App().GetJexSocket()->GetReplyWindow(), nullptr) << "detached with its window";
        const Lines sent = Finish();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_TRUE(sent[0].starts_with(L"CHKPWD 1 12 ")) << sent[0];
    }
}
// ---- the password change ----

HWND ChangeWindow()
{
    return ::FindWindowW(L"#32770", L"Change password");
}

struct ChangeCase
{
    const char* why;
    const wchar_t* pszNewAgain; // the second new password; the first is "new1"
    const char* pszReply;       // "CHGPWD <agent id> <result>"; null: nothing is sent
    INT_PTR nResult;
    std::vector<std::wstring> boxes;
    bool bStaysOpen;
};

const ChangeCase kChangeCases[] = {
    {"changed", L"new1", "12 0", IDOK, {}, false},
    {"an unknown agent", L"new1", "12 1", IDCANCEL, {L"Agent does not exist"}, true},
    {"a wrong old password", L"new1", "12 2", IDCANCEL, {L"Invalid old password"}, true},
    {"a refused new password", L"new1", "12 3", IDCANCEL, {L"Invalid new password"}, true},
    {"the new passwords differ (case counts)",
     L"NEW1",
     nullptr,
     IDCANCEL,
     {L"New entered passwords are different"},
     true},
};

TEST_F(LogonDialogsTest, ChangePasswordDialogAnswersEveryChangeResult)
{
    for (const ChangeCase& c : kChangeCases)
    {
        SCOPED_TRACE(c.why);
        const std::string script =
            c.pszReply ? "decrypt CHGPWD 2 3\nsend CHGPWD " + std::string(c.pszReply) + "\n" : "";
        ASSERT_TRUE(Connect(Greeting(1) + script + "drain\n"));
        AppAgent().m_nId = kNotYet;
        AppAgent().m_strPassword.Empty();
        CAgent picked;
        picked.m_nId = 12;
        picked.m_strUserName = L"jdoe";

        CMessageBoxAnswerer boxes;
        bool bSent = false;
        std::wstring shownUser;
        CChangePasswordDlg dlg(App().GetJexSocket(), &picked);
        CLoopStep loop([&] {
            const HWND hDlg = ChangeWindow();
            if (!hDlg || !::IsWindowVisible(hDlg)) return false;
            if (!bSent)
            {
                shownUser = ItemText(hDlg, IDC_PASSWORD_USER);
                SetField(hDlg, IDC_PASSWORD_OLD, L"old1");
                SetField(hDlg, IDC_PASSWORD_NEW, L"new1");
                SetField(hDlg, IDC_PASSWORD_NEW_AGAIN, c.pszNewAgain);
                Click(hDlg, IDOK);
                bSent = true;
            }
            if (c.pszReply && AppAgent().m_nId == kNotYet) return false; // Jex has not answered yet
            if (c.bStaysOpen) Click(hDlg, IDCANCEL);
            return true;
        });
        EXPECT_EQ(dlg.DoModal(), c.nResult);
        if (c.bStaysOpen)
        {
            EXPECT_TRUE(loop.IsDone()) << "the dialog stayed for the test to cancel it";
        }
        EXPECT_EQ(shownUser, L"jdoe");
        EXPECT_EQ(BoxTexts(boxes), c.boxes);
        CString newLetters;
        ASSERT_TRUE(EncryptPassword(L"new1", newLetters));
        if (c.nResult == IDOK)
        {
            EXPECT_EQ(Str(picked.m_strPassword), Str(newLetters)) << "the agent holds the new password";
            EXPECT_EQ(Str(AppAgent().m_strPassword), Str(newLetters)) << "and so does the application's agent";
        }
        else
        {
            EXPECT_TRUE(AppAgent().m_strPassword.IsEmpty()) << "a refused change stores nothing in the application";
        }
        EXPECT_EQ(App().GetJexSocket()->GetReplyWindow(), nullptr) << "detached with its window";
        const Lines sent = Finish();
        if (c.pszReply)
        {
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_TRUE(sent[0].starts_with(L"CHGPWD 1 12 ")) << sent[0];
            const Lines traffic = m_pJex->Traffic();
            EXPECT_NE(std::find(traffic.begin(), traffic.end(), L"= CHGPWD old1 new1"), traffic.end())
                << "old and new password, ciphered";
        }
        else
        {
            EXPECT_TRUE(sent.empty()) << "differing passwords send nothing";
        }
    }
}

// The password dialog hides while the change runs, and a change Jex accepted is the accepted password.
TEST_F(LogonDialogsTest, AnAcceptedChangeEndsThePasswordDialogWithOk)
{
    ASSERT_TRUE(Connect(Greeting(1) + "decrypt CHGPWD 2 3\nsend CHGPWD 12 0\ndrain\n"));
    AppAgent().m_nId = kNotYet;
    CAgent picked;
    picked.m_nId = 12;
    CMessageBoxAnswerer boxes;
    bool bPasswordHidden = false;
    int nStep = 0;
    CPasswordDlg dlg(App().GetJexSocket(), &picked);
    CLoopStep loop([&] {
        const HWND hPassword = PasswordWindow();
        if (nStep == 0)
        {
            if (!hPassword || !::IsWindowVisible(hPassword)) return false;
            // Posted: the change dialog's own loop runs in the handler, and this step must run in it.
            ::PostMessageW(::GetDlgItem(hPassword, IDC_PASSWORD_CHANGE), BM_CLICK, 0, 0);
            nStep = 1;
            return false;
        }
        const HWND hChange = ChangeWindow();
        if (!hChange || !::IsWindowVisible(hChange)) return false;
        bPasswordHidden = !::IsWindowVisible(hPassword);
        SetField(hChange, IDC_PASSWORD_OLD, L"old1");
        SetField(hChange, IDC_PASSWORD_NEW, L"new1");
        SetField(hChange, IDC_PASSWORD_NEW_AGAIN, L"new1");
        Click(hChange, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(bPasswordHidden);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(picked.m_nId, 12);
    CString newLetters;
    ASSERT_TRUE(EncryptPassword(L"new1", newLetters));
    EXPECT_EQ(Str(AppAgent().m_strPassword), Str(newLetters));
    EXPECT_EQ(App().m_pPasswordDlg, nullptr);
    EXPECT_EQ(Finish().size(), 1u);
}

// Jex that logs on by user name: the check names the user, the title says so, the agent gets the name.
TEST_F(LogonDialogsTest, LogonByNameChecksTheTypedUserName)
{
    ASSERT_TRUE(Connect(Greeting(3) + "password CHKPWD 2 pw\nsend CHKPWD 12 0\ndrain\n"));
    AppAgent().m_nId = kNotYet;
    CAgent picked; // a log-on by name knows no id yet
    picked.m_nId = 0;
    std::wstring title;
    bool bSent = false;
    CPasswordDlg dlg(App().GetJexSocket(), &picked);
    CLoopStep loop([&] {
        const HWND hDlg = PasswordWindow();
        if (!hDlg || !::IsWindowVisible(hDlg) || bSent) return false;
        wchar_t text[64] = L"";
        ::GetWindowTextW(hDlg, text, 64);
        title = text;
        EXPECT_EQ(::GetWindowLongW(::GetDlgItem(hDlg, IDC_PASSWORD_USER), GWL_STYLE) & ES_READONLY, 0) << "editable";
        SetField(hDlg, IDC_PASSWORD_USER, L"jdoe");
        SetField(hDlg, IDC_PASSWORD_OLD, L"pw");
        Click(hDlg, IDOK);
        bSent = true;
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(title, L"Login");
    EXPECT_EQ(picked.m_nId, 12);
    EXPECT_EQ(Str(picked.m_strUserName), L"jdoe");
    const Lines sent = Finish();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].starts_with(L"CHKPWD 2 jdoe ")) << sent[0];
}

// The log-on road: Jex lists agent 12 and is asked for the agent's start-up data.
constexpr char kListUpToStartupData[] =
    "expectline LSTAGT -1 -1 0\n"
    "send LSTAGT -1 -1 0 'Count = \"1\" ID0 = \"12\" LN0 = \"Doe\" FN0 = \"Jane\" UN0 = \"jdoe\"'\n"
    "expectline RQASUD 1 12\n";

// ---- the agent list ----

// Three agents whose surnames and first names order differently, sent in neither order.
constexpr char kThreeAgents[] =
    "expectline LSTAGT -1 -1 0\n"
    "send LSTAGT -1 -1 0 'Count = \"3\" ID0 = \"1\" LN0 = \"Cole\" FN0 = \"Zoe\" UN0 = \"zc\" "
    "ID1 = \"2\" LN1 = \"Brown\" FN1 = \"alice\" UN1 = \"ab\" "
    "ID2 = \"3\" LN2 = \"adams\" FN2 = \"Carol\" UN2 = \"ca\"'\n"
    "drain\n";

// The rows as the agent reads them: surname and first name.
std::vector<std::wstring> AgentRows(HWND hList)
{
    std::vector<std::wstring> rows;
    CListCtrl* pList = CListCtrl::FromHandle(hList);
    for (int i = 0; i < pList->GetItemCount(); ++i)
        rows.push_back(Str(pList->GetItemText(i, 0)) + L" " + Str(pList->GetItemText(i, 1)));
    return rows;
}

// A click on a column's heading, as the agent's mouse makes it.
void ClickHeading(HWND hList, int nColumn)
{
    const HWND hHeader = reinterpret_cast<HWND>(::SendMessageW(hList, LVM_GETHEADER, 0, 0));
    RECT rc{};
    ::SendMessageW(hHeader, HDM_GETITEMRECT, static_cast<WPARAM>(nColumn), reinterpret_cast<LPARAM>(&rc));
    ClickAt(*CWnd::FromHandle(hHeader), CRect(rc).CenterPoint());
}

// The list opens sorted by the surname column, and each heading sorts by what its column shows.
TEST_F(LogonDialogsTest, EachAgentColumnSortsByWhatItShows)
{
    ASSERT_TRUE(Connect(Greeting(0) + kThreeAgents));
    // Sorting by first name gives neither surname order, so a heading that sorts by the other
    // column, or only turns the direction, shows.
    const std::vector<std::wstring> bySurname{L"adams Carol", L"Brown alice", L"Cole Zoe"};
    const std::vector<std::wstring> byFirstName{L"Brown alice", L"adams Carol", L"Cole Zoe"};
    const std::vector<std::wstring> bySurnameDown{L"Cole Zoe", L"Brown alice", L"adams Carol"};
    std::vector<std::vector<std::wstring>> seen;
    std::vector<std::wstring> headings;
    const ULONGLONG nStart = GetTickCount64();
    bool bOverdue = false;
    CLoginDlg dlg(App().GetJexSocket(), App());
    // The orders the test waits for, one after the other, and the heading clicked once each is seen.
    const std::vector<std::pair<const std::vector<std::wstring>*, int>> steps{
        {&bySurname, 1}, {&byFirstName, 0}, {&bySurname, 0}, {&bySurnameDown, -1}};
    size_t nStep = 0;
    CLoopStep loop([&] {
        const HWND hDlg = ::FindWindowW(L"#32770", L"Login");
        if (GetTickCount64() - nStart > 10000)
        {
            bOverdue = true; // bounded: the rows last seen tell where it stopped
            if (hDlg) seen.push_back(AgentRows(::GetDlgItem(hDlg, IDC_LOGIN_AGENTS)));
            if (hDlg) ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
            return true;
        }
        if (!hDlg) return false;
        const HWND hList = ::GetDlgItem(hDlg, IDC_LOGIN_AGENTS);
        if (AgentRows(hList) != *steps[nStep].first) return false;
        seen.push_back(AgentRows(hList));
        if (headings.empty())
        {
            CListCtrl* pList = CListCtrl::FromHandle(hList);
            for (int i = 0; i < 2; ++i)
            {
                wchar_t text[64] = L"";
                LVCOLUMNW column{};
                column.mask = LVCF_TEXT;
                column.pszText = text;
                column.cchTextMax = 64;
                pList->GetColumn(i, &column);
                headings.push_back(text);
            }
        }
        if (steps[nStep].second < 0)
        {
            ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
            return true;
        }
        ClickHeading(hList, steps[nStep].second);
        ++nStep;
        return false;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_FALSE(bOverdue) << "stopped at step " << nStep;
    EXPECT_EQ(headings, (std::vector<std::wstring>{L"Surname", L"Firstname"}));
    EXPECT_EQ(seen, (std::vector<std::vector<std::wstring>>{bySurname, byFirstName, bySurname, bySurnameDown}));
    Finish();
}

// ---- the application ports ----

// A port that another program holds: the log-on's listener moves on from it, and the port it took
// is the one the application object keeps for the child programs.
TEST_F(LogonDialogsTest, TheLogonKeepsThePortsItsListenersTook)
{
    CAsyncSocket heldCurrent, heldOld;
    CString strAddress;
    UINT nHeldCurrent = 0, nHeldOld = 0;
    ASSERT_TRUE(heldCurrent.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1") && heldCurrent.Listen() &&
                heldCurrent.GetSockName(strAddress, nHeldCurrent));
    ASSERT_TRUE(heldOld.Create(0, SOCK_STREAM, FD_ACCEPT, L"127.0.0.1") && heldOld.Listen() &&
                heldOld.GetSockName(strAddress, nHeldOld));
    App().m_nAppPort = static_cast<USHORT>(nHeldCurrent);
    App().m_nApplicationPort = static_cast<USHORT>(nHeldOld);
    AppAgent().m_nId = 12;
    App().m_nLocationId = 7;
    ASSERT_TRUE(Connect(Greeting(0) + kListUpToStartupData +
                        "send SETPER 784\nsend ASUFIN\n"
                        "expect ALOGON 12 7 -?\\d+\nsend ALOGON 0 7 jdoe Desk7\ndrain\n"));
    const ULONGLONG nStart = GetTickCount64();
    bool bOverdue = false;
    CLoopStep loop([&] {
        if (GetTickCount64() - nStart < 20000) return false;
        bOverdue = true; // bounded: the test cancels a log-on that did not end in time
        if (const HWND hDlg = ::FindWindowW(L"#32770", L"Login")) ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    EXPECT_TRUE(App().StartApplicationPortsAndLogon());
    EXPECT_FALSE(bOverdue) << "the log-on did not end within 20 s";
    ASSERT_TRUE(App().m_pListener && App().m_pOldListener);
    EXPECT_NE(App().GetAppPort(), nHeldCurrent);
    EXPECT_EQ(App().GetAppPort(), App().m_pListener->GetListeningPort());
    EXPECT_NE(App().GetApplicationPort(), nHeldOld);
    EXPECT_EQ(App().GetApplicationPort(), App().m_pOldListener->GetListeningPort());
    Finish();
}

// ---- a refused log-on ----

// Jex refuses the log-on: the agent learns why, the dialog stays for another try with nothing of the
// refused agent kept, and the main window hears of it as of a lost link.
TEST_F(LogonDialogsTest, ARefusedLogonForgetsTheAgentAndTellsTheMainWindow)
{
    CRecorderWnd recorder(WM_USER); // WM_JEXCLOSED is a window's own message
    CWnd mainWnd;
    ASSERT_TRUE(mainWnd.Attach(recorder.Handle()));
    App().m_pMainWnd = &mainWnd;
    AppAgent().m_nId = 12;
    App().m_nLocationId = 7;
    ASSERT_TRUE(Connect(Greeting(0) + kListUpToStartupData +
                        "send SETPER 16\nsend ASUFIN\n"
                        "expect ALOGON 12 7 -?\\d+\nsend ALOGON 5 7 '' ''\n"
                        // every answer to a log-on asks for the start-up data again
                        "expectline RQASUD 1 12\ndrain\n"));
    CMessageBoxAnswerer boxes;
    const auto closedCount = [&] {
        return std::count_if(recorder.m_seen.begin(), recorder.m_seen.end(),
                             [](const CRecordedMessage& m) { return m.message == WM_JEXCLOSED; });
    };
    const ULONGLONG nStart = GetTickCount64();
    bool bLoginStayed = false;
    CLoopStep loop([&] {
        const HWND hDlg = ::FindWindowW(L"#32770", L"Login");
        const bool bOverdue = GetTickCount64() - nStart >= 20000;
        if (closedCount() == 0 && !bOverdue) return false;
        bLoginStayed = hDlg != nullptr;
        if (hDlg) ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    EXPECT_FALSE(App().StartApplicationPortsAndLogon());
    mainWnd.Detach();
    App().m_pMainWnd = nullptr;

    EXPECT_EQ(closedCount(), 1) << "the main window hears of the refusal once";
    EXPECT_TRUE(bLoginStayed) << "the log-on dialog stays for another try";
    EXPECT_EQ(BoxTexts(boxes), std::vector<std::wstring>{L"Agent has tried to log on and received : \nLocation is "
                                                         L"already occupied"});
    EXPECT_EQ(AppAgent().m_nId, 0);
    EXPECT_TRUE(AppAgent().m_strUserName.IsEmpty());
    EXPECT_TRUE(AppAgent().m_strPassword.IsEmpty());
    EXPECT_EQ(App().m_nLocationId, 0) << "the refused location is forgotten";
    Finish();
}

// ---- the location list ----

constexpr char kLocationList[] =
    "send LSTLOC -1 -1 'Count = \"3\" ID0 = \"10\" NM0 = \"Desk 10\" CNM0 = \"PC10\" "
    "ID1 = \"9\" NM1 = \"Desk 9\" CNM1 = \"PC9\" ID2 = \"2\" NM2 = \"desk 2\" CNM2 = \"PC2\" '\n";

HWND LocationWindow()
{
    return ::FindWindowW(L"#32770", L"Select agent location");
}

std::vector<std::wstring> RowNames(HWND hList)
{
    std::vector<std::wstring> names;
    CListCtrl* pList = CListCtrl::FromHandle(hList);
    for (int i = 0; i < pList->GetItemCount(); ++i)
        names.push_back(Str(pList->GetItemText(i, 0)));
    return names;
}

int SelectedRow(HWND hList)
{
    return static_cast<int>(::SendMessageW(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

TEST_F(LogonDialogsTest, LocationDialogListsByNaturalNameAndReturnsTheChosenRow)
{
    ASSERT_TRUE(Connect(Greeting(0) + "expectline LSTLOC -1 -1\n" + kLocationList + "drain\n"));
    std::vector<std::wstring> names;
    int nFirstSelected = -2;
    bool bRegistered = false;
    int nStep = 0;
    CAgentLocationDlg dlg(App().GetJexSocket());
    const ULONGLONG nStart = GetTickCount64();
    std::string stuck;
    CLoopStep loop([&] {
        const HWND hDlg = LocationWindow();
        if (GetTickCount64() - nStart > 10000)
        {
            // Bounded: a dialog that never gets there is cancelled, and the test says where it stopped.
            stuck = "step " + std::to_string(nStep) + (hDlg ? " window" : " no window") +
                    (hDlg && ::IsWindowVisible(hDlg) ? " visible" : "") + " rows " +
                    std::to_string(hDlg ? ::SendDlgItemMessageW(hDlg, IDC_LOCATION_LIST, LVM_GETITEMCOUNT, 0, 0) : -1);
            if (App().m_pLocationDlg) App().m_pLocationDlg->PostMessage(WM_COMMAND, IDCANCEL);
            return true;
        }
        if (!hDlg || !::IsWindowVisible(hDlg)) return false;
        const HWND hList = ::GetDlgItem(hDlg, IDC_LOCATION_LIST);
        if (nStep == 0)
        {
            if (::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0) < 3) return false;
            bRegistered = App().m_pLocationDlg == &dlg;
            names = RowNames(hList);
            nFirstSelected = SelectedRow(hList);
            PressKey(*CWnd::FromHandle(hList), VK_END); // the agent picks the last row
            nStep = 1;
            return false;
        }
        if (SelectedRow(hList) != 2) return false;
        Click(hDlg, IDC_LOCATION_OK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK) << stuck;
    EXPECT_TRUE(bRegistered) << "the application's open location dialog while it is open";
    EXPECT_EQ(names, (std::vector<std::wstring>{L"desk 2", L"Desk 9", L"Desk 10"}));
    EXPECT_EQ(nFirstSelected, 0);
    EXPECT_EQ(dlg.m_location.m_nId, 10);
    EXPECT_EQ(Str(dlg.m_location.m_strName), L"Desk 10");
    EXPECT_EQ(Str(dlg.m_location.m_strComputerName), L"PC10");
    EXPECT_EQ(App().m_pLocationDlg, nullptr);
    EXPECT_EQ(App().GetJexSocket()->GetReplyWindow(), nullptr) << "detached with its window";
    EXPECT_EQ(Finish(), Lines{L"LSTLOC -1 -1"});
}

TEST_F(LogonDialogsTest, LocationDialogCancelsOnCancelAndWhenTheLogonEnded)
{
    struct Case
    {
        const char* why;
        const char* pszAfterList; // what Jex says once the list is shown
    };
    for (const Case& c :
         {Case{"Cancel", ""}, Case{"an ALOGON reply reached the log-on dialog", "send ALOGON 5 7 jdoe Desk7\n"}})
    {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(Connect(Greeting(0) + "expectline LSTLOC -1 -1\n" + kLocationList + c.pszAfterList + "drain\n"));
        // An open log-on dialog, which gets the result itself (and frees it).
        CRecordingParent logon;
        ASSERT_TRUE(logon.Create());
        logon.AnswerMessage(WM_JEXREPLY, [](WPARAM wParam, LPARAM lParam) {
            if (wParam == CJexSocket::replyLogon) delete reinterpret_cast<CStringArray*>(lParam);
            return LRESULT(0);
        });
        App().m_pLogonDlg = &logon;
        const bool bCancelByAgent = *c.pszAfterList == '\0';
        CAgentLocationDlg dlg(App().GetJexSocket());
        const ULONGLONG nStart = GetTickCount64();
        bool bOverdue = false;
        CLoopStep loop([&] {
            const HWND hDlg = LocationWindow();
            if (GetTickCount64() - nStart > 10000)
            {
                bOverdue = true; // bounded: the test cancels a dialog that did not end in time
                if (hDlg) ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
                return true;
            }
            if (!hDlg || !::IsWindowVisible(hDlg) || !bCancelByAgent) return false;
            if (::SendMessageW(::GetDlgItem(hDlg, IDC_LOCATION_LIST), LVM_GETITEMCOUNT, 0, 0) < 3) return false;
            Click(hDlg, IDCANCEL);
            return true;
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_FALSE(bOverdue) << "the dialog did not end within 10 s";
        EXPECT_EQ(dlg.m_location.m_nId, -1) << "nothing chosen";
        EXPECT_EQ(App().m_pLocationDlg, nullptr);
        Finish();
        PumpUntilIdle();
        App().m_pLogonDlg = nullptr;
        logon.DestroyWindow();
    }
}
} // namespace
