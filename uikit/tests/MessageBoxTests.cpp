// The remembering message box, driven inside its own modal loop: buttons, keys, remembered answers,
// the countdown and the layout.
#include "framework/CWinApp.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "uikit/CLumoMessageBox.h"
#include "uikit/LumoMessageBoxResources.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr UINT kStep = WM_APP + 40;

std::wstring ItemText(HWND hDlg, int nId)
{
    wchar_t text[128] = {};
    ::GetDlgItemTextW(hDlg, nId, text, 128);
    return text;
}

CRect ItemRect(HWND hDlg, int nId)
{
    CRect rc;
    ::GetWindowRect(::GetDlgItem(hDlg, nId), &rc);
    ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::vector<UINT> g_beeps;
BOOL WINAPI RecordBeep(UINT uType)
{
    g_beeps.push_back(uType);
    return TRUE;
}

// Counts the windows created while it is installed.
int g_created = 0;
LRESULT CALLBACK CountCreations(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND) ++g_created;
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// The application's help, recorded instead of shown.
class CHelpRecordingApp : public CWinApp
{
public:
    using CWinApp::CWinApp;
    std::vector<std::pair<DWORD_PTR, UINT>> m_help;
    void WinHelp(DWORD_PTR dwData, UINT nCmd) override { m_help.emplace_back(dwData, nCmd); }
};

class MessageBoxTest : public CSuiteParentTestOf<CRecordingParent, 200, 100>
{
protected:
    static void SetUpTestSuite()
    {
        s_app = new CHelpRecordingApp(L"UikitBoxTests");
        s_app->SetRegistryKey(L"LumoUikitTests");
        CSuiteParentTestOf::SetUpTestSuite();
        CLumoMessageBox::SetMessageBeepFunction(&RecordBeep);
    }
    static void TearDownTestSuite()
    {
        ResetMessageBoxAnswers();
        CLumoMessageBox::SetMessageBeepFunction(nullptr);
        CSuiteParentTestOf::TearDownTestSuite();
        delete s_app;
        s_app = nullptr;
    }
    void SetUp() override
    {
        CSuiteParentTestOf::SetUp();
        ResetMessageBoxAnswers();
        g_beeps.clear();
    }
    void TearDown() override { s_parent->AnswerMessage(kStep, nullptr); }
    // Runs the box with the steps, each dispatched by the box's own modal loop after what the
    // step before it posted.
    INT_PTR Run(CLumoMessageBox& box, std::vector<std::function<void(HWND)>> steps)
    {
        size_t next = 0;
        s_parent->AnswerMessage(kStep, [&](WPARAM, LPARAM) {
            if (next < steps.size())
            {
                HWND hBox = box.m_hWnd;
                steps[next++](hBox);
                if (next < steps.size()) s_parent->PostMessage(kStep);
            }
            return 0;
        });
        s_parent->PostMessage(kStep);
        const INT_PTR result = box.DoModal();
        EXPECT_EQ(next, steps.size()) << "every step ran";
        return result;
    }
    int Stored(CLumoMessageBox& box)
    {
        return static_cast<int>(s_app->GetProfileInt(L"MessageBoxes", box.GetAnswerKey(), -1));
    }
    static void Press(HWND hBox, int nId) { ::SendMessageW(::GetDlgItem(hBox, nId), BM_CLICK, 0, 0); }
    static inline CHelpRecordingApp* s_app = nullptr;
};

TEST_F(MessageBoxTest, YesNoBoxHasTheQuestionIconYesAsDefaultAndNoEscape)
{
    CLumoMessageBox box(s_parent, L"Go on?", L"Title", MB_YESNO);
    bool closeGreyed = false, hasIcon = false;
    const INT_PTR result = Run(box, {[&](HWND hBox) {
                                         for (HWND h = ::GetWindow(hBox, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
                                             if ((::GetWindowLongPtrW(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                                                 hasIcon = true;
                                         EXPECT_EQ(ItemText(hBox, IDYES), L"&Yes");
                                         EXPECT_EQ(ItemText(hBox, IDNO), L"&No");
                                         EXPECT_EQ(LOWORD(::SendMessageW(hBox, DM_GETDEFID, 0, 0)), IDYES);
                                         const UINT state =
                                             ::GetMenuState(::GetSystemMenu(hBox, FALSE), SC_CLOSE, MF_BYCOMMAND);
                                         closeGreyed = (state & MF_GRAYED) != 0;
                                         PressKey(*CWnd::FromHandle(::GetDlgItem(hBox, IDNO)), VK_ESCAPE);
                                         ::PostMessageW(hBox, WM_CLOSE, 0, 0);
                                     },
                                     [&](HWND hBox) {
                                         EXPECT_TRUE(::IsWindow(hBox)) << "Esc and WM_CLOSE are ignored";
                                         PressKey(*CWnd::FromHandle(::GetDlgItem(hBox, IDYES)), VK_RETURN);
                                     }});
    EXPECT_EQ(result, IDYES);
    EXPECT_TRUE(hasIcon);
    EXPECT_TRUE(closeGreyed);
    EXPECT_EQ(g_beeps, std::vector<UINT>{MB_ICONQUESTION});
}

TEST_F(MessageBoxTest, RememberedAnswerShortCutsTheBoxUntilReset)
{
    CLumoMessageBox first(s_parent, L"Delete it?", nullptr, MB_YESNO | MBF_NOQUESTIONAGAIN | MBF_NOBEEP);
    bool checked = false;
    EXPECT_EQ(Run(first, {[&](HWND hBox) {
                      checked = ::IsDlgButtonChecked(hBox, IDMB_REMEMBER) == BST_CHECKED;
                      EXPECT_EQ(ItemText(hBox, IDMB_REMEMBER), L"Don't ask this &question again.");
                      Press(hBox, IDNO);
                  }}),
              IDNO);
    EXPECT_TRUE(checked) << "the check box starts checked";
    EXPECT_EQ(Stored(first), IDNO);
    EXPECT_TRUE(g_beeps.empty()) << "MBF_NOBEEP";

    CLumoMessageBox again(s_parent, L"Delete it?", nullptr, MB_YESNO | MBF_NOQUESTIONAGAIN);
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &CountCreations, nullptr, ::GetCurrentThreadId());
    g_created = 0;
    EXPECT_EQ(again.DoModal(), IDNO);
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(g_created, 0) << "no window was created";

    ResetMessageBoxAnswers();
    CLumoMessageBox shown(s_parent, L"Delete it?", nullptr, MB_YESNO | MBF_NOQUESTIONAGAIN);
    EXPECT_EQ(Run(shown, {[&](HWND hBox) { Press(hBox, IDYES); }}), IDYES) << "after the reset the box shows";
}

TEST_F(MessageBoxTest, AnswerKeyAndAnswersThisBoxCannotGive)
{
    CLumoMessageBox byText(s_parent, L"Abc", nullptr, MB_OK);
    EXPECT_EQ(std::wstring(byText.GetAnswerKey().GetString()), L"296");
    CLumoMessageBox byId(s_parent, L"Abc", nullptr, MB_OK, 4711);
    EXPECT_EQ(std::wstring(byId.GetAnswerKey().GetString()), L"4711");
    std::wstring longText(40000, L'\xFFFF');
    CLumoMessageBox huge(s_parent, longText.c_str(), nullptr, MB_OK);
    UINT32 sum = 0;
    for (UINT32 i = 0; i < longText.size(); ++i)
        sum += 0xFFFFu * i;
    EXPECT_EQ(std::wstring(huge.GetAnswerKey().GetString()), std::to_wstring(static_cast<INT32>(sum)))
        << "summed without overflow, written signed";

    s_app->WriteProfileInt(L"MessageBoxes", L"296", IDYES);
    CLumoMessageBox okBox(s_parent, L"Abc", nullptr, MB_OK | MBF_DONTSHOWAGAIN);
    EXPECT_EQ(Run(okBox, {[&](HWND hBox) {
                      EXPECT_EQ(ItemText(hBox, IDMB_REMEMBER), L"Don't display this &message again.");
                      ::CheckDlgButton(hBox, IDMB_REMEMBER, BST_UNCHECKED);
                      Press(hBox, IDOK);
                  }}),
              IDOK)
        << "a stored Yes is no answer of an OK box: it shows";
    EXPECT_EQ(Stored(okBox), IDYES) << "unchecked: nothing stored";
}

TEST_F(MessageBoxTest, OnlyAnswersTheUserChoseAreRemembered)
{
    struct EndCase
    {
        std::function<void(HWND)> end;
        INT_PTR result;
        int stored;
        const char* why;
    };
    const EndCase cases[] = {
        {[](HWND hBox) { PressKey(*CWnd::FromHandle(::GetDlgItem(hBox, IDYES)), VK_ESCAPE); }, IDCANCEL, -1,
         "Esc is no answer"},
        {[](HWND hBox) { ::PostMessageW(hBox, WM_CLOSE, 0, 0); }, IDCANCEL, -1, "closing is no answer"},
        {[](HWND hBox) {
             ::SetFocus(::GetDlgItem(hBox, IDNO));
             PressKey(*CWnd::FromHandle(::GetDlgItem(hBox, IDNO)), VK_RETURN);
         },
         IDNO, IDNO, "Enter on a focused button chooses it"},
        {[](HWND hBox) { Press(hBox, IDCANCEL); }, IDCANCEL, IDCANCEL, "a pressed Cancel is an answer"},
    };
    UINT nId = 500;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CLumoMessageBox box(s_parent, L"Keep it?", nullptr, MB_YESNOCANCEL | MBF_NOQUESTIONAGAIN | MBF_NOBEEP, ++nId);
        EXPECT_EQ(Run(box, {c.end}), c.result);
        EXPECT_EQ(Stored(box), c.stored);
    }
}

TEST_F(MessageBoxTest, ButtonSetsGiveTheirButtonsDefaultAndEscape)
{
    const std::map<int, std::wstring> captions = {{IDOK, L"&Ok"},
                                                  {IDCANCEL, L"&Cancel"},
                                                  {IDABORT, L"&Abort"},
                                                  {IDRETRY, L"&Retry"},
                                                  {IDIGNORE, L"&Ignore"},
                                                  {IDYES, L"&Yes"},
                                                  {IDNO, L"&No"},
                                                  {IDHELP, L"&Help"},
                                                  {IDTRYAGAIN, L"&Retry"},
                                                  {IDCONTINUE, L"&Continue"},
                                                  {IDMB_YESTOALL, L"Yes to &all"},
                                                  {IDMB_NOTOALL, L"No to a&ll"},
                                                  {IDMB_SKIP, L"&Skip"},
                                                  {IDMB_SKIPALL, L"Skip &all"},
                                                  {IDMB_IGNOREALL, L"Ignore &all"}};
    struct SetCase
    {
        UINT flags;
        std::vector<int> buttons; // in display order
        int defaultId;
        int escapeId; // 0: none, closing does nothing
    };
    const SetCase cases[] = {
        {0, {IDOK}, IDOK, IDOK},
        {1, {IDOK, IDCANCEL}, IDOK, IDCANCEL},
        {2, {IDABORT, IDRETRY, IDIGNORE}, IDABORT, 0},
        {3, {IDYES, IDNO, IDCANCEL}, IDYES, IDCANCEL},
        {3 | MBF_YESTOALL | MBF_NOTOALL, {IDYES, IDMB_YESTOALL, IDNO, IDMB_NOTOALL, IDCANCEL}, IDYES, IDCANCEL},
        {4, {IDYES, IDNO}, IDYES, 0},
        {4 | MBF_NOTOALL, {IDYES, IDNO, IDMB_NOTOALL}, IDYES, 0},
        {5, {IDRETRY, IDCANCEL}, IDRETRY, IDCANCEL},
        {6, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, IDCANCEL, IDCANCEL},
        {7, {IDCONTINUE, IDABORT}, IDCONTINUE, 0},
        {8, {IDMB_SKIP, IDMB_SKIPALL, IDCANCEL}, IDMB_SKIP, IDCANCEL},
        {9, {IDIGNORE, IDMB_IGNOREALL, IDCANCEL}, IDIGNORE, IDCANCEL},
        {15, {IDOK}, IDOK, IDOK},
        {1 | MB_HELP, {IDOK, IDCANCEL, IDHELP}, IDOK, IDCANCEL},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
        CLumoMessageBox box(s_parent, L"Sets", nullptr, c.flags | MBF_NOBEEP);
        const INT_PTR result =
            Run(box, {[&](HWND hBox) {
                    std::vector<std::pair<int, int>> shown; // left edge, id
                    for (HWND h = ::GetWindow(hBox, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
                    {
                        wchar_t cls[16] = L"";
                        ::GetClassNameW(h, cls, 16);
                        if (_wcsicmp(cls, L"Button") == 0)
                            shown.emplace_back(ItemRect(hBox, ::GetDlgCtrlID(h)).left, ::GetDlgCtrlID(h));
                    }
                    std::sort(shown.begin(), shown.end());
                    std::vector<int> ids;
                    for (const auto& [left, id] : shown)
                    {
                        ids.push_back(id);
                        const auto caption = captions.find(id);
                        EXPECT_EQ(ItemText(hBox, id), caption != captions.end() ? caption->second : L"?")
                            << "button " << id;
                    }
                    EXPECT_EQ(ids, c.buttons);
                    EXPECT_EQ(LOWORD(::SendMessageW(hBox, DM_GETDEFID, 0, 0)), c.defaultId);
                    ::SendMessageW(hBox, WM_CLOSE, 0, 0);
                    // Reaches a box that closing did not end; one that ended is gone before it arrives.
                    ::PostMessageW(::GetDlgItem(hBox, c.defaultId), BM_CLICK, 0, 0);
                }});
        EXPECT_EQ(result, c.escapeId ? c.escapeId : c.defaultId);
        PumpUntilIdle();
    }
}

TEST_F(MessageBoxTest, HelpOpensTheBoxsTopicAndLeavesTheBoxOpen)
{
    s_app->m_help.clear();
    CLumoMessageBox box(s_parent, L"Helpful", nullptr, MB_OK | MB_HELP | MBF_NOBEEP, 42);
    EXPECT_EQ(Run(box, {[&](HWND hBox) { Press(hBox, IDHELP); },
                        [&](HWND hBox) {
                            EXPECT_TRUE(::IsWindow(hBox)) << "help ends nothing";
                            Press(hBox, IDOK);
                        }}),
              IDOK);
    const std::vector<std::pair<DWORD_PTR, UINT>> expected{{HID_BASE_RESOURCE + 42, HELP_CONTEXT}};
    EXPECT_EQ(s_app->m_help, expected);
}

TEST_F(MessageBoxTest, BlockingCountdownDisablesTheButtonsAndCountsOnTheDefault)
{
    CLumoMessageBox box(s_parent, L"Wait", nullptr, MB_YESNO | MBF_NOBEEP);
    box.SetCountdown(5, TRUE);
    EXPECT_EQ(Run(box, {[&](HWND hBox) {
                            ::KillTimer(hBox, CLumoMessageBox::kCountdownTimer);
                            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hBox, IDYES)));
                            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hBox, IDNO)));
                            ::SendMessageW(hBox, WM_TIMER, CLumoMessageBox::kCountdownTimer, 0);
                            EXPECT_EQ(ItemText(hBox, IDYES), L"&Yes = 4");
                            PressKey(*CWnd::FromHandle(::GetDlgItem(hBox, IDYES)), VK_RETURN);
                            ::PostMessageW(hBox, WM_CLOSE, 0, 0);
                        },
                        [&](HWND hBox) {
                            EXPECT_TRUE(::IsWindow(hBox)) << "keys and Close are ignored while blocked";
                            for (int i = 0; i < 4; ++i)
                                ::SendMessageW(hBox, WM_TIMER, CLumoMessageBox::kCountdownTimer, 0);
                            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hBox, IDYES)));
                            EXPECT_EQ(ItemText(hBox, IDYES), L"&Yes");
                            Press(hBox, IDNO);
                        }}),
              IDNO);
}

TEST_F(MessageBoxTest, CountdownPressesTheDefaultButtonAndStoresNothing)
{
    CLumoMessageBox box(s_parent, L"Soon", nullptr, MB_YESNO | MBF_NOQUESTIONAGAIN | MBF_NOBEEP);
    box.SetCountdown(1, FALSE);
    EXPECT_EQ(Run(box, {[&](HWND hBox) {
                      ::KillTimer(hBox, CLumoMessageBox::kCountdownTimer);
                      ::SendMessageW(hBox, WM_TIMER, CLumoMessageBox::kCountdownTimer, 0);
                  }}),
              IDYES);
    EXPECT_EQ(Stored(box), -1) << "the countdown's press is not the user's answer";
}

TEST_F(MessageBoxTest, ButtonRowIsCentredOrRightAlignedWithItsGaps)
{
    for (const bool right : {false, true})
    {
        SCOPED_TRACE(right ? "right-aligned" : "centred");
        CLumoMessageBox box(s_parent, L"Layout", nullptr,
                            MB_YESNOCANCEL | MBF_NOBEEP | MBF_DONTSHOWAGAIN | (right ? MBF_BUTTONSRIGHT : 0),
                            right ? 2 : 1); // own keys: the first answer is remembered
        Run(box, {[&](HWND hBox) {
                CRect unit(0, 0, 1000, 1000);
                ::MapDialogRect(hBox, &unit);
                auto DX = [&](int n) { return unit.Width() * n / 1000; };
                CRect client;
                ::GetClientRect(hBox, &client);
                const CRect yes = ItemRect(hBox, IDYES), no = ItemRect(hBox, IDNO), cancel = ItemRect(hBox, IDCANCEL);
                EXPECT_EQ(no.left - yes.right, DX(4));
                EXPECT_EQ(cancel.left - no.right, DX(4));
                const int row = cancel.right - yes.left;
                EXPECT_EQ(yes.left, right ? client.Width() - DX(8) - row : (client.Width() - row) / 2);
                EXPECT_EQ(yes.top, no.top);
                const CRect check = ItemRect(hBox, IDMB_REMEMBER);
                EXPECT_LT(check.bottom, yes.top) << "the check box sits above the buttons";
                Press(hBox, IDCANCEL);
            }});
    }
}

TEST_F(MessageBoxTest, DefaultBitsPickAButtonWhenThereAreEnough)
{
    struct DefaultCase
    {
        UINT flags;
        int defaultId;
        const char* why;
    };
    const DefaultCase cases[] = {{MB_OKCANCEL | 0x300, IDOK, "the fourth of two: the set's default"},
                                 {MB_YESNOCANCEL | 0x100, IDNO, "the second button"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CLumoMessageBox box(s_parent, L"Pick", nullptr, c.flags | MBF_NOBEEP);
        Run(box, {[&](HWND hBox) {
                EXPECT_EQ(LOWORD(::SendMessageW(hBox, DM_GETDEFID, 0, 0)), c.defaultId);
                Press(hBox, c.defaultId);
            }});
    }
}

TEST_F(MessageBoxTest, CallerButtonsComeFirstAndEndTheBox)
{
    CLumoMessageBox box(s_parent, L"Own", nullptr, MB_OK | MBF_NOBEEP);
    box.AddButton(100, IDS_MSGBOX_SKIP);
    EXPECT_EQ(Run(box, {[&](HWND hBox) {
                      EXPECT_LT(ItemRect(hBox, 100).left, ItemRect(hBox, IDOK).left);
                      EXPECT_EQ(ItemText(hBox, 100), L"&Skip");
                      Press(hBox, 100);
                  }}),
              100);
}

TEST_F(MessageBoxTest, StandaloneReadsAndStoresNothing)
{
    s_app->WriteProfileInt(L"MessageBoxes", L"77", IDNO);
    s_app->SetStandalone(TRUE);
    CLumoMessageBox box(s_parent, L"Alone", nullptr, MB_YESNO | MBF_NOQUESTIONAGAIN | MBF_NOBEEP, 77);
    EXPECT_EQ(Run(box, {[&](HWND hBox) { Press(hBox, IDYES); }}), IDYES) << "shown despite the stored answer";
    ResetMessageBoxAnswers();
    s_app->SetStandalone(FALSE);
    EXPECT_EQ(Stored(box), IDNO) << "nothing written and nothing reset";
}
} // namespace
