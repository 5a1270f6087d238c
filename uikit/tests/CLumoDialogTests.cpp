// The dialog base: hidden mode, telephone keys, dragging by the background, height extension,
// its resources, and the caption rectangle.
#include "DialogTestResources.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "uikit/CCaptionRect.h"
#include "uikit/CLumoDialog.h"
#include "uikit/IDialogHost.h"
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
// A host whose desktop visibility the test sets; digit keys are "used" while a call is active.
class CFakeDialogHost : public IDialogHost
{
public:
    bool m_visible = true;
    bool m_callActive = false;
    std::wstring m_keys; // the keys it used
    int m_visibilityQuestions = 0;

    BOOL IsDesktopVisible() override
    {
        ++m_visibilityQuestions;
        return m_visible;
    }
    BOOL HandleDialKey(wchar_t ch) override
    {
        const bool dialKey = (ch >= L'0' && ch <= L'9') || ch == L'*' || ch == L'#';
        if (!m_callActive || !dialKey) return FALSE;
        m_keys += ch;
        return TRUE;
    }
};

// Installs a host for one test and removes it again.
class CInstalledHost
{
public:
    explicit CInstalledHost(IDialogHost* pHost) { SetDialogHost(pHost); }
    ~CInstalledHost() { SetDialogHost(nullptr); }
    CInstalledHost(const CInstalledHost&) = delete;
    CInstalledHost& operator=(const CInstalledHost&) = delete;
};

class CTestLumoDialog : public CLumoDialog
{
public:
    explicit CTestLumoDialog(CWnd* pParent = nullptr) : CLumoDialog(IDD_UIKIT_TEST, pParent) {}

    std::function<void(CTestLumoDialog&)> m_onInit;
    CString m_editTextAtEnd;
    bool m_failPlacementRead = false;

    void SetForwardDialKeys(bool bForward) { m_bForwardDialKeys = bForward; }
    int CaptionHeight() const { return m_nCaptionHeight; }
    CFont& Font() { return m_font; }
    CRgn& Region() { return m_rgn; }
    CGdiHandle<HRGN>& ExtraRegion() { return m_hExtraRgn; }

    BOOL OnInitDialog() override
    {
        CLumoDialog::OnInitDialog();
        if (m_onInit) m_onInit(*this);
        return TRUE;
    }
    void OnCancel() override
    {
        GetDlgItemText(IDC_TEST_EDIT, m_editTextAtEnd);
        CLumoDialog::OnCancel();
    }

protected:
    BOOL ReadPlacement(WINDOWPLACEMENT* pPlacement) const override
    {
        if (m_failPlacementRead) return FALSE;
        return CLumoDialog::ReadPlacement(pPlacement);
    }
};

CRect WindowRect(const CWnd& wnd)
{
    CRect rc;
    wnd.GetWindowRect(&rc);
    return rc;
}

CString ItemText(const CWnd& dlg, int nID)
{
    CString text;
    dlg.GetDlgItemText(nID, text);
    return text;
}

class LumoDialogTest : public CSuiteParentTest
{
protected:
    // One shown dialog for the suite too: without a window manager, taking a visible top-level
    // window off the screen waits two seconds under Wine.
    static void SetUpTestSuite()
    {
        CSuiteParentTest::SetUpTestSuite();
        ASSERT_FALSE(HasFatalFailure());
        s_dialog = new CTestLumoDialog(s_parent);
        ASSERT_TRUE(s_dialog->Create(IDD_UIKIT_TEST, s_parent));
        s_dialog->SetWindowPos(nullptr, 450, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
        PumpUntilIdle();
    }
    static void TearDownTestSuite()
    {
        delete s_dialog;
        s_dialog = nullptr;
        CSuiteParentTest::TearDownTestSuite();
    }
    void SetUp() override
    {
        CSuiteParentTest::SetUp();
        ASSERT_NE(s_dialog, nullptr);
    }
    static inline CTestLumoDialog* s_dialog = nullptr;
    CFakeDialogHost m_host;
};

// Everything in hidden mode rests on this: a show taken out of the position record in
// WM_WINDOWPOSCHANGING does not happen.
TEST_F(LumoDialogTest, ShowRemovedWhilePositionChangesLeavesTheDialogInvisible)
{
    CInstalledHost installed(&m_host);
    m_host.m_visible = false;
    CTestLumoDialog dlg(s_parent);
    ASSERT_TRUE(dlg.Create(IDD_UIKIT_TEST, s_parent));
    dlg.ShowWindow(SW_SHOW);
    PumpUntilIdle();
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_TRUE(dlg.IsShowRefused());
    EXPECT_GT(m_host.m_visibilityQuestions, 0) << "the host was asked";
}

TEST_F(LumoDialogTest, HiddenModeDefersShowsAndKeepsWhatWasHiddenHidden)
{
    CInstalledHost installed(&m_host);
    m_host.m_visible = false;
    CTestLumoDialog refused(s_parent), neverShown(s_parent), hiddenByShowWindow(s_parent), hiddenByPosition(s_parent);
    for (CTestLumoDialog* dlg : {&refused, &neverShown, &hiddenByShowWindow, &hiddenByPosition})
        ASSERT_TRUE(dlg->Create(IDD_UIKIT_TEST, s_parent));

    refused.ShowWindow(SW_SHOW);
    refused.MoveWindow(30, 40, 300, 200);
    EXPECT_FALSE(refused.IsWindowVisible()) << "a show in hidden mode is refused";
    EXPECT_EQ(WindowRect(refused), CRect(30, 40, 330, 240)) << "yet the move of the same phase happens";

    hiddenByShowWindow.ShowWindow(SW_SHOW);
    hiddenByShowWindow.ShowWindow(SW_HIDE);
    hiddenByPosition.ShowWindow(SW_SHOW);
    hiddenByPosition.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
    EXPECT_FALSE(hiddenByShowWindow.IsShowRefused()) << "ShowWindow(SW_HIDE) cancels the refused show";
    EXPECT_FALSE(hiddenByPosition.IsShowRefused()) << "SWP_HIDEWINDOW cancels the refused show";

    m_host.m_visible = true;
    for (CTestLumoDialog* dlg : {&refused, &neverShown, &hiddenByShowWindow, &hiddenByPosition})
        dlg->SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    PumpUntilIdle();
    EXPECT_TRUE(refused.IsWindowVisible()) << "the first position change after hidden mode shows it";
    EXPECT_FALSE(refused.IsShowRefused());
    EXPECT_FALSE(neverShown.IsWindowVisible()) << "leaving hidden mode shows no dialog that was never shown";
    EXPECT_FALSE(hiddenByShowWindow.IsWindowVisible());
    EXPECT_FALSE(hiddenByPosition.IsWindowVisible());
}

TEST_F(LumoDialogTest, VisibleDialogHiddenByTheProgramStaysHiddenAfterHiddenMode)
{
    CInstalledHost installed(&m_host);
    s_dialog->ShowWindow(SW_HIDE);
    m_host.m_visible = false;
    const CRect rect = WindowRect(*s_dialog);
    s_dialog->MoveWindow(&rect);
    m_host.m_visible = true;
    s_dialog->SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_FALSE(s_dialog->IsWindowVisible());
    s_dialog->ShowWindow(SW_SHOW);
    EXPECT_TRUE(s_dialog->IsWindowVisible()) << "with the desktop visible a show is a show";
    PumpUntilIdle();
}

TEST_F(LumoDialogTest, WithoutHostTheDesktopCountsAsVisible)
{
    CTestLumoDialog dlg(s_parent);
    ASSERT_TRUE(dlg.Create(IDD_UIKIT_TEST, s_parent));
    dlg.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_FALSE(dlg.IsShowRefused());
}

struct DialKeyCase
{
    bool modal;
    bool forward;
    bool host;
    bool callActive;
    wchar_t key;
    bool keyUsed;
    const char* why;
};
const DialKeyCase kDialKeyCases[] = {
    {true, true, true, true, L'5', true, "modal: a digit during a call goes to the host"},
    {false, true, true, true, L'5', true, "modeless: a digit during a call goes to the host"},
    {true, true, true, true, L'a', false, "a letter reaches the edit"},
    {false, true, true, true, L'a', false, "a letter reaches the edit (modeless)"},
    {true, false, true, true, L'5', false, "without the flag the digit reaches the edit"},
    {false, true, true, false, L'5', false, "without a call the digit reaches the edit"},
    {true, true, false, false, L'5', false, "without a host the digit reaches the edit"},
};

TEST_F(LumoDialogTest, TypedKeysGoToTheHostOnlyWhenItUsesThem)
{
    for (const auto& c : kDialKeyCases)
    {
        SCOPED_TRACE(c.why);
        CFakeDialogHost host;
        host.m_callActive = c.callActive;
        SetDialogHost(c.host ? &host : nullptr);
        CString editText;
        if (c.modal)
        {
            CTestLumoDialog dlg(s_parent);
            dlg.SetForwardDialKeys(c.forward);
            dlg.m_onInit = [&](CTestLumoDialog& d) {
                TypeChar(*d.GetDlgItem(IDC_TEST_EDIT), c.key);
                d.PostMessage(WM_COMMAND, IDCANCEL);
            };
            EXPECT_EQ(dlg.DoModal(), IDCANCEL);
            editText = dlg.m_editTextAtEnd;
        }
        else
        {
            s_dialog->SetForwardDialKeys(c.forward);
            s_dialog->SetDlgItemText(IDC_TEST_EDIT, L"");
            TypeChar(*s_dialog->GetDlgItem(IDC_TEST_EDIT), c.key);
            PumpUntilIdle();
            editText = ItemText(*s_dialog, IDC_TEST_EDIT);
            s_dialog->SetForwardDialKeys(false);
        }
        SetDialogHost(nullptr);
        EXPECT_EQ(host.m_keys, c.keyUsed ? std::wstring(1, c.key) : std::wstring());
        EXPECT_EQ(editText, c.keyUsed ? CString() : CString(std::wstring(1, c.key).c_str()));
    }
}

TEST_F(LumoDialogTest, BareBackgroundIsACaptionWhileControlsKeepTheirPoints)
{
    CRect client;
    s_dialog->GetClientRect(&client);
    s_dialog->ClientToScreen(&client);
    CWnd* button = s_dialog->GetDlgItem(IDC_TEST_BUTTON);
    CRect buttonRect = WindowRect(*button);
    const CPoint background(client.right - 5, client.bottom - 5);
    ASSERT_FALSE(buttonRect.PtInRect(background));

    EXPECT_EQ(s_dialog->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(background.x, background.y)), HTCAPTION);
    EXPECT_EQ(s_dialog->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(client.CenterPoint().x, client.top - 4)), HTCAPTION)
        << "the real caption stays one";
    EXPECT_NE(s_dialog->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(client.left - 100, client.top)), HTCAPTION)
        << "outside the client area the default hit test answers";
    EXPECT_EQ(::WindowFromPoint(buttonRect.CenterPoint()), button->m_hWnd) << "the button is still found at its point";
}

TEST_F(LumoDialogTest, ExtendHeightGrowsTheRestoredRectangleAndRepaints)
{
    CTestLumoDialog dlg(s_parent);
    ASSERT_TRUE(dlg.Create(IDD_UIKIT_TEST, s_parent));
    dlg.SetWindowPos(nullptr, 600, 300, 200, 100, SWP_NOZORDER | SWP_SHOWWINDOW);
    PumpUntilIdle();

    dlg.ExtendHeight(40, FALSE);
    EXPECT_EQ(WindowRect(dlg), CRect(600, 300, 800, 440)) << "+40 grows a normal window";

    dlg.ValidateRect(nullptr);
    dlg.m_failPlacementRead = true;
    dlg.ExtendHeight(40, FALSE);
    CRect update;
    EXPECT_TRUE(::GetUpdateRect(dlg, &update, FALSE)) << "a failed placement read still repaints";
    EXPECT_EQ(WindowRect(dlg), CRect(600, 300, 800, 440)) << "and changes nothing";
    dlg.m_failPlacementRead = false;

    // No pumping while maximised: without a window manager Wine restores the window as soon as
    // it reads the X window's state.
    dlg.ShowWindow(SW_MAXIMIZE);
    const CRect maximised = WindowRect(dlg);
    ASSERT_TRUE(dlg.IsZoomed());
    WINDOWPLACEMENT before{};
    ASSERT_TRUE(dlg.GetWindowPlacement(&before));
    dlg.ExtendHeight(-40, FALSE);
    WINDOWPLACEMENT after{};
    ASSERT_TRUE(dlg.GetWindowPlacement(&after));
    EXPECT_EQ(after.rcNormalPosition.bottom, before.rcNormalPosition.bottom - 40);
    EXPECT_EQ(after.rcNormalPosition.top, before.rcNormalPosition.top);
    // Wine puts a maximised window back at its stored maximised position on a placement write;
    // the size is what the restored rectangle must not touch.
    EXPECT_EQ(WindowRect(dlg).Size(), maximised.Size()) << "a maximised window keeps its rectangle";
    EXPECT_TRUE(dlg.IsZoomed());

    dlg.ExtendHeight(0, TRUE);
    EXPECT_FALSE(dlg.IsWindowVisible()) << "(0, TRUE) hides it through the placement";
}

TEST_F(LumoDialogTest, ExtendHeightLeavesAHiddenWindowHidden)
{
    CTestLumoDialog dlg(s_parent);
    ASSERT_TRUE(dlg.Create(IDD_UIKIT_TEST, s_parent));
    dlg.SetWindowPos(nullptr, 600, 300, 200, 100, SWP_NOZORDER | SWP_HIDEWINDOW);
    dlg.ExtendHeight(-30, TRUE);
    dlg.ExtendHeight(40, FALSE);
    PumpUntilIdle();
    EXPECT_FALSE(dlg.IsWindowVisible()) << "growing is no reason to show";
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ASSERT_TRUE(dlg.GetWindowPlacement(&placement));
    EXPECT_EQ(CRect(placement.rcNormalPosition), CRect(600, 300, 800, 410));
}

TEST_F(LumoDialogTest, ConstructionMakesTheFontAndInitialisationTheCaptionHeight)
{
    CTestLumoDialog dlg(s_parent);
    EXPECT_EQ(dlg.GetTemplateId(), static_cast<UINT>(IDD_UIKIT_TEST));
    EXPECT_EQ(dlg.CaptionHeight(), 0);
    LOGFONTW lf{};
    ASSERT_EQ(dlg.Font().GetLogFont(&lf), static_cast<int>(sizeof(lf)));
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut);
    EXPECT_EQ(std::wstring(lf.lfFaceName), L"Westminster");
    EXPECT_TRUE(dlg.IsKindOf(RUNTIME_CLASS(CDialog)));
    EXPECT_EQ(s_dialog->CaptionHeight(), ::GetSystemMetrics(SM_CYCAPTION) - ::GetSystemMetrics(SM_CYBORDER));
}

TEST_F(LumoDialogTest, FontAndRegionsAreFreedWithTheDialog)
{
    auto dlg = std::make_unique<CTestLumoDialog>(s_parent);
    ASSERT_TRUE(dlg->Region().CreateRectRgn(0, 0, 10, 10));
    dlg->ExtraRegion().Attach(::CreateRectRgn(0, 0, 20, 20));
    const HGDIOBJ font = dlg->Font().GetSafeHandle();
    const HGDIOBJ region = dlg->Region().GetSafeHandle();
    const HGDIOBJ extra = dlg->ExtraRegion().Get();
    ASSERT_NE(::GetObjectType(font), 0u);
    ASSERT_NE(::GetObjectType(extra), 0u);
    dlg.reset();
    EXPECT_EQ(::GetObjectType(font), 0u);
    EXPECT_EQ(::GetObjectType(region), 0u);
    EXPECT_EQ(::GetObjectType(extra), 0u);
}

TEST_F(LumoDialogTest, RegionHandedToTheWindowLeavesTheSlotEmpty)
{
    CTestLumoDialog dlg(s_parent);
    ASSERT_TRUE(dlg.Create(IDD_UIKIT_TEST, s_parent));
    ASSERT_TRUE(dlg.Region().CreateRectRgn(0, 0, 50, 30));
    EXPECT_TRUE(dlg.ApplyWindowRegion(FALSE));
    EXPECT_EQ(dlg.Region().GetSafeHandle(), nullptr);
    CRgn held;
    ASSERT_TRUE(held.CreateRectRgn(0, 0, 1, 1));
    EXPECT_EQ(dlg.GetWindowRgn(held), SIMPLEREGION) << "the window keeps its region";
    CRect box;
    held.GetRgnBox(&box);
    EXPECT_EQ(box, CRect(0, 0, 50, 30));
    EXPECT_FALSE(dlg.ApplyWindowRegion(FALSE)) << "an empty slot hands nothing over";
}

TEST_F(LumoDialogTest, CaptionRectFollowsTheFrameKind)
{
    const DWORD style = s_dialog->GetStyle();
    const CRect window = WindowRect(*s_dialog);
    struct FrameCase
    {
        bool thick;
        int cx, cy;
    };
    const FrameCase cases[] = {{true, SM_CXFRAME, SM_CYFRAME}, {false, SM_CXDLGFRAME, SM_CYDLGFRAME}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.thick ? "thick frame" : "dialog frame");
        ::SetWindowLongPtrW(*s_dialog, GWL_STYLE, c.thick ? (style | WS_THICKFRAME) : (style & ~WS_THICKFRAME));
        const CCaptionRect caption(s_dialog);
        const int fx = ::GetSystemMetrics(c.cx), fy = ::GetSystemMetrics(c.cy);
        EXPECT_EQ(static_cast<const CRect&>(caption),
                  CRect(fx, fy, window.Width() - fx,
                        fy + ::GetSystemMetrics(SM_CYCAPTION) - ::GetSystemMetrics(SM_CYBORDER)));
    }
    ::SetWindowLongPtrW(*s_dialog, GWL_STYLE, style);
}
} // namespace
