// Dialogs: modal and modeless, from a resource and from a template in memory, PreTranslateMessage
// in our loops, data exchange and the message-box hook.
#include "WindowTestResources.h"
#include "framework/AfxMessageBox.h"
#include "framework/CDataExchange.h"
#include "framework/CDialog.h"
#include "framework/CWinApp.h"
#include "framework/testing/CDialogTemplateBuilder.h"
#include "framework/testing/CMessageBoxAnswerer.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace
{
constexpr UINT WM_APP_ACTION = WM_APP + 10; // wParam: the result to end the dialog with

class CTestDialog : public CDialog
{
public:
    explicit CTestDialog(CWnd* pParent = nullptr) : CDialog(IDD_TEST_DIALOG, pParent) {}

    CString m_text = L"hello";
    int m_number = 42;
    int m_check = BST_CHECKED;
    int m_radio = 1;
    int m_combo = 2;
    CWnd m_edit;
    std::vector<std::pair<UINT, HWND>> m_keys; // key messages PreTranslateMessage saw
    std::function<void(CTestDialog&)> m_onInit;
    BOOL m_ownerEnabledInLoop = TRUE;
    int m_editChanges = 0; // EN_CHANGE of the edit that reached the map

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_KEYDOWN || pMsg->message == WM_CHAR) m_keys.push_back({pMsg->message, pMsg->hwnd});
        return CDialog::PreTranslateMessage(pMsg);
    }
    BOOL OnInitDialog() override
    {
        for (LPCWSTR item : {L"alpha", L"beta", L"gamma"})
            SendDlgItemMessage(IDC_TEST_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        CDialog::OnInitDialog();
        if (m_onInit) m_onInit(*this);
        return TRUE;
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_TEST_EDIT, m_edit);
        DDX_Text(pDX, IDC_TEST_EDIT, m_text);
        DDV_MaxChars(pDX, m_text, 10);
        DDX_Text(pDX, IDC_TEST_NUMBER, m_number);
        DDV_MinMaxInt(pDX, m_number, 0, 100);
        DDX_Check(pDX, IDC_TEST_CHECK, m_check);
        DDX_Radio(pDX, IDC_TEST_RADIO1, m_radio);
        DDX_CBIndex(pDX, IDC_TEST_COMBO, m_combo);
    }
    LRESULT OnAction(WPARAM wParam, LPARAM)
    {
        m_ownerEnabledInLoop = m_pParentWnd ? m_pParentWnd->IsWindowEnabled() : TRUE;
        EndDialog(static_cast<int>(wParam));
        return 0;
    }
    void OnEditChange() { ++m_editChanges; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDialog, CDialog)
ON_MESSAGE(WM_APP_ACTION, &CTestDialog::OnAction)
ON_CONTROL(EN_CHANGE, IDC_TEST_EDIT, &CTestDialog::OnEditChange)
END_MESSAGE_MAP()

CString DlgText(CWnd& dlg, int id)
{
    CString text;
    dlg.GetDlgItemText(id, text);
    return text;
}

class DialogTest : public CSuiteParentTest
{
};

TEST_F(DialogTest, DoModalReturnsTheResultGivenToEndDialogInsideItsLoop)
{
    CTestDialog dlg(&m_parent);
    dlg.m_onInit = [](CTestDialog& d) { d.PostMessage(WM_APP_ACTION, 1234); };
    EXPECT_EQ(dlg.DoModal(), 1234);
    EXPECT_FALSE(dlg.m_ownerEnabledInLoop) << "the owner is disabled while the dialog runs";
    EXPECT_TRUE(m_parent.IsWindowEnabled()) << "and enabled again afterwards";
    EXPECT_EQ(dlg.m_hWnd, nullptr) << "the window is gone after DoModal";
}

TEST_F(DialogTest, EndDialogDuringInitialisationEndsDoModalAtOnce)
{
    CTestDialog dlg(&m_parent);
    dlg.m_onInit = [](CTestDialog& d) { d.EndDialog(77); };
    EXPECT_EQ(dlg.DoModal(), 77);
}

TEST_F(DialogTest, KeysToAControlOfAModalDialogPassItsPreTranslateMessage)
{
    CTestDialog dlg(&m_parent);
    HWND hEdit = nullptr;
    dlg.m_onInit = [&](CTestDialog& d) {
        hEdit = ::GetDlgItem(d, IDC_TEST_EDIT);
        PressKey(*CWnd::FromHandle(hEdit), 'A');
        d.PostMessage(WM_APP_ACTION, IDOK);
    };
    ASSERT_EQ(dlg.DoModal(), IDOK);
    ASSERT_NE(hEdit, nullptr);
    EXPECT_NE(std::find(dlg.m_keys.begin(), dlg.m_keys.end(), std::make_pair(UINT(WM_KEYDOWN), hEdit)),
              dlg.m_keys.end())
        << "the key down for the edit walked up to the dialog";
}

TEST_F(DialogTest, KeysToAControlOfAModelessDialogPassItsPreTranslateMessage)
{
    CTestDialog dlg(&m_parent);
    ASSERT_TRUE(dlg.Create(IDD_TEST_DIALOG, &m_parent));
    dlg.ShowWindow(SW_SHOW);
    CWnd* edit = dlg.GetDlgItem(IDC_TEST_EDIT);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit, &dlg.m_edit) << "DDX_Control made the edit a permanent object";
    edit->SetFocus();
    PumpUntilIdle();
    dlg.m_keys.clear();
    PressKey(*edit, 'A');
    PumpUntilIdle();
    EXPECT_NE(std::find(dlg.m_keys.begin(), dlg.m_keys.end(), std::make_pair(UINT(WM_KEYDOWN), edit->m_hWnd)),
              dlg.m_keys.end());
    EXPECT_NE(std::wstring(DlgText(dlg, IDC_TEST_EDIT).GetString()).find(L'a'), std::wstring::npos)
        << "the key still reached the edit";
}

TEST_F(DialogTest, EnterAndEscapeReachOnOkAndOnCancelThroughTheDialogManager)
{
    struct KeyCase
    {
        UINT key;
        bool textSaved;
        const char* why;
    };
    const KeyCase cases[] = {{VK_RETURN, true, "Enter is the default button: OnOK saves the data"},
                             {VK_ESCAPE, false, "Esc is IDCANCEL: nothing saved"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CTestDialog dlg(&m_parent);
        dlg.m_onInit = [&](CTestDialog& d) {
            d.SetDlgItemText(IDC_TEST_EDIT, L"changed");
            PressKey(*d.GetDlgItem(IDC_TEST_EDIT), c.key);
        };
        EXPECT_EQ(dlg.DoModal(), c.key == VK_RETURN ? IDOK : IDCANCEL);
        EXPECT_EQ(dlg.m_text, CString(c.textSaved ? L"changed" : L"hello"));
    }
}

TEST_F(DialogTest, DataExchangeMovesMembersToControlsAndBack)
{
    CTestDialog dlg(&m_parent);
    ASSERT_TRUE(dlg.Create(IDD_TEST_DIALOG, &m_parent));
    EXPECT_EQ(DlgText(dlg, IDC_TEST_EDIT), CString(L"hello"));
    EXPECT_EQ(DlgText(dlg, IDC_TEST_NUMBER), CString(L"42"));
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_TEST_CHECK), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_TEST_RADIO2), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_TEST_RADIO1), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(dlg.SendDlgItemMessage(IDC_TEST_COMBO, CB_GETCURSEL), 2);

    dlg.SetDlgItemText(IDC_TEST_EDIT, L"world");
    dlg.SetDlgItemText(IDC_TEST_NUMBER, L" 7 ");
    dlg.CheckDlgButton(IDC_TEST_CHECK, BST_UNCHECKED);
    dlg.CheckRadioButton(IDC_TEST_RADIO1, IDC_TEST_RADIO3, IDC_TEST_RADIO3);
    dlg.SendDlgItemMessage(IDC_TEST_COMBO, CB_SETCURSEL, 0);
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.m_text, CString(L"world"));
    EXPECT_EQ(dlg.m_number, 7);
    EXPECT_EQ(dlg.m_check, BST_UNCHECKED);
    EXPECT_EQ(dlg.m_radio, 2);
    EXPECT_EQ(dlg.m_combo, 0);

    CString selected;
    CDataExchange save(&dlg, TRUE);
    DDX_CBString(&save, IDC_TEST_COMBO, selected);
    EXPECT_EQ(selected, CString(L"alpha"));
    CString wanted = L"gamma";
    CDataExchange load(&dlg, FALSE);
    DDX_CBString(&load, IDC_TEST_COMBO, wanted);
    EXPECT_EQ(dlg.SendDlgItemMessage(IDC_TEST_COMBO, CB_GETCURSEL), 2);
}

TEST_F(DialogTest, FillingTheControlsInUpdateDataNotifiesNoHandler)
{
    CTestDialog dlg(&m_parent);
    ASSERT_TRUE(dlg.Create(IDD_TEST_DIALOG, &m_parent));
    EXPECT_EQ(dlg.m_editChanges, 0) << "the initial exchange in OnInitDialog is not a change";
    dlg.m_text = L"again";
    ASSERT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_EQ(DlgText(dlg, IDC_TEST_EDIT), CString(L"again"));
    EXPECT_EQ(dlg.m_editChanges, 0) << "nor is a later UpdateData(FALSE)";
    dlg.SetDlgItemText(IDC_TEST_EDIT, L"typed");
    EXPECT_EQ(dlg.m_editChanges, 1) << "a change outside the exchange reaches the handler";
    ASSERT_TRUE(dlg.UpdateData(FALSE));
    dlg.SetDlgItemText(IDC_TEST_EDIT, L"typed again");
    EXPECT_EQ(dlg.m_editChanges, 2) << "the exchange leaves the window unlocked";
}

struct RefusedCase
{
    int control;
    LPCWSTR text;
    LPCWSTR message;
    const char* why;
};
const RefusedCase kRefusedCases[] = {
    {IDC_TEST_NUMBER, L"abc", L"Please enter an integer.", "not a number"},
    {IDC_TEST_NUMBER, L"", L"Please enter an integer.", "empty is not a number"},
    {IDC_TEST_NUMBER, L"4x", L"Please enter an integer.", "trailing junk"},
    {IDC_TEST_NUMBER, L"99999999999", L"Please enter an integer.", "beyond int"},
    {IDC_TEST_NUMBER, L"101", L"Please enter an integer between 0 and 100.", "outside DDV_MinMaxInt"},
    {IDC_TEST_EDIT, L"01234567890", L"Enter no more than 10 characters.", "longer than DDV_MaxChars"},
};

TEST_F(DialogTest, RefusedValueTellsTheUserAndUpdateDataFails)
{
    for (const auto& c : kRefusedCases)
    {
        SCOPED_TRACE(c.why);
        CTestDialog dlg(&m_parent);
        ASSERT_TRUE(dlg.Create(IDD_TEST_DIALOG, &m_parent));
        // DDV_MaxChars limited the edit on loading; lift it to type a longer text.
        dlg.SendDlgItemMessage(IDC_TEST_EDIT, EM_LIMITTEXT, 0);
        dlg.SetDlgItemText(c.control, c.text);
        CMessageBoxAnswerer boxes;
        EXPECT_FALSE(dlg.UpdateData(TRUE));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, CString(c.message));
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(dlg, c.control)) << "the focus is on the refused control";
    }
}

TEST_F(DialogTest, MaxCharsLimitsTheEditWhenLoading)
{
    CTestDialog dlg(&m_parent);
    ASSERT_TRUE(dlg.Create(IDD_TEST_DIALOG, &m_parent));
    EXPECT_EQ(dlg.SendDlgItemMessage(IDC_TEST_EDIT, EM_GETLIMITTEXT), 10);
}

// A template in memory: a caption, an edit (id 501) and an OK button.
std::vector<WORD> BuildTemplate()
{
    std::vector<WORD> t;
    auto add = [&](const void* p, size_t bytes) {
        const auto* w = static_cast<const WORD*>(p);
        t.insert(t.end(), w, w + bytes / 2);
    };
    auto addText = [&](LPCWSTR s) {
        for (; *s; ++s)
            t.push_back(static_cast<WORD>(*s));
        t.push_back(0);
    };
    auto align = [&] {
        if (t.size() % 2) t.push_back(0);
    };
    DLGTEMPLATE dt{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 2, 0, 0, 150, 60};
    add(&dt, sizeof dt);
    t.push_back(0); // no menu
    t.push_back(0); // the standard class
    addText(L"In memory");
    struct Item
    {
        DWORD style;
        WORD id;
        WORD atom;
        LPCWSTR text;
        short x, y, cx, cy;
    };
    const Item items[] = {{WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 501, 0x0081, L"", 10, 10, 80, 14},
                          {WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 0x0080, L"OK", 10, 35, 50, 14}};
    for (const auto& item : items)
    {
        align();
        DLGITEMTEMPLATE it{item.style, 0, item.x, item.y, item.cx, item.cy, item.id};
        add(&it, sizeof it);
        t.push_back(0xFFFF);
        t.push_back(item.atom);
        addText(item.text);
        t.push_back(0); // no creation data
    }
    return t;
}

class CMemoryDialog : public CDialog
{
public:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (m_bEndAtOnce)
            PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, IDOK)));
        return TRUE;
    }
    bool m_bEndAtOnce = false;
};

TEST_F(DialogTest, TemplatesInMemoryServeModalAndModelessDialogs)
{
    const std::vector<WORD> tmpl = BuildTemplate();
    const auto* lpTemplate = reinterpret_cast<LPCDLGTEMPLATE>(tmpl.data());

    CMemoryDialog modal;
    modal.m_bEndAtOnce = true;
    ASSERT_TRUE(modal.InitModalIndirect(lpTemplate, &m_parent));
    EXPECT_EQ(modal.DoModal(), IDOK) << "the OK button's command reached OnOK";

    CMemoryDialog modeless;
    ASSERT_TRUE(modeless.CreateIndirect(lpTemplate, &m_parent));
    EXPECT_NE(modeless.GetDlgItem(501), nullptr);
    CString caption;
    modeless.GetWindowText(caption);
    EXPECT_EQ(caption, CString(L"In memory"));
}

TEST(MessageBoxHook, AnswersBoxesWithoutShowingThem)
{
    CMessageBoxAnswerer boxes(IDCANCEL);
    boxes.Answer(IDYES);
    EXPECT_EQ(AfxMessageBox(L"Proceed?", MB_YESNO), IDYES);
    EXPECT_EQ(AfxMessageBox(IDS_TEST_PROMPT, MB_OKCANCEL), IDCANCEL) << "the default answer when none is queued";
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, CString(L"Proceed?"));
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(boxes.Boxes()[1].text, CString(L"Prompt from the string table"));

    boxes.Answer(IDRETRY);
    CWnd none;
    EXPECT_EQ(none.MessageBox(L"Again?", L"Caption", MB_RETRYCANCEL), IDRETRY) << "CWnd::MessageBox is answered too";
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[2].caption, CString(L"Caption"));
}

TEST_F(DialogTest, RecordingParentLogsPrivateMessages)
{
    ASSERT_TRUE(m_parent.PostMessage(WM_APP + 50, 1, 2));
    ASSERT_TRUE(m_parent.PostMessage(WM_USER + 500, 3, 4));
    PumpUntilIdle();
    EXPECT_EQ(m_parent.Seen(), (Seq{{WM_APP + 50, 1, 2}, {WM_USER + 500, 3, 4}}));
}

// ---- help ---------------------------------------------------------------------------------

class CHelpRecordingApp : public CWinApp
{
public:
    CHelpRecordingApp() : CWinApp(L"HelpTest") {}
    std::vector<std::pair<DWORD_PTR, UINT>> m_calls;
    void WinHelp(DWORD_PTR dwData, UINT nCmd) override { m_calls.push_back({dwData, nCmd}); }
};

class CHelpDialog : public CDialog
{
public:
    explicit CHelpDialog(UINT nIDHelp) { m_nIDHelp = nIDHelp; }
};

TEST(DialogHelp, HelpButtonReachesTheApplicationsWinHelpWithTheDialogsContext)
{
    CHelpRecordingApp app;
    CDialogTemplateBuilder form(L"help", WS_POPUP | WS_CAPTION | WS_VISIBLE, 120, 60);
    form.AddControl(L"BUTTON", L"Help", BS_PUSHBUTTON | WS_TABSTOP, 10, 10, 50, 14, ID_HELP);
    CHelpDialog dlg(321);
    ASSERT_TRUE(dlg.CreateIndirect(form.Get()));
    CWnd* pButton = dlg.GetDlgItem(ID_HELP);
    ASSERT_NE(pButton, nullptr);
    PumpUntilIdle();
    ClickCenter(*pButton);
    ASSERT_TRUE(PumpUntil([&] { return !app.m_calls.empty(); }));
    ASSERT_EQ(app.m_calls.size(), 1u);
    EXPECT_EQ(app.m_calls[0].first, HID_BASE_RESOURCE + 321);
    EXPECT_EQ(app.m_calls[0].second, static_cast<UINT>(HELP_CONTEXT));
    dlg.DestroyWindow();

    app.m_calls.clear();
    app.OnHelp();
    EXPECT_EQ(app.m_calls, (std::vector<std::pair<DWORD_PTR, UINT>>{{0, HELP_FINDER}})) << "the program's own help";
    CWnd::DeleteTempMap();
}

TEST(DialogHelp, MapDialogRectUsesTheDialogsFont)
{
    CDialogTemplateBuilder form(L"units", WS_POPUP | WS_CAPTION | WS_VISIBLE, 120, 60);
    CDialog dlg;
    ASSERT_TRUE(dlg.CreateIndirect(form.Get()));
    // The dialog manager sized the client area from the template's dialog units.
    CRect rc(0, 0, 120, 60);
    dlg.MapDialogRect(&rc);
    CRect client;
    dlg.GetClientRect(&client);
    EXPECT_EQ(rc.Size(), client.Size());
    EXPECT_GT(rc.Width(), 120) << "a dialog unit is several pixels wide";
}
} // namespace
