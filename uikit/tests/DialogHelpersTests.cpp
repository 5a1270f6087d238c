// The helpers for dialog items, child windows and menus, and the manifest activation context.
#include "framework/CEdit.h"
#include "framework/CMenu.h"
#include "framework/testing/CDialogTemplateBuilder.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/MessagePump.h"
#include "uikit/CManifestActCtx.h"
#include "uikit/DialogHelpers.h"
#include <commctrl.h>
#include <prsht.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
constexpr WORD kEditId = 201, kButtonId = 202, kOtherEditId = 203, kMissingId = 299;

// Logs the move and redraw bits of every position change of the window it subclasses.
class CPositionLog : public CWnd
{
public:
    std::vector<UINT> m_flags;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_WINDOWPOSCHANGING)
            m_flags.push_back(reinterpret_cast<WINDOWPOS*>(lParam)->flags &
                              (SWP_NOZORDER | SWP_NOCOPYBITS | SWP_NOREDRAW | SWP_NOSIZE | SWP_NOACTIVATE));
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

CRect RectInParent(const CWnd& parent, HWND hChild)
{
    CRect rc;
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

CRect WindowRect(HWND hWnd)
{
    CRect rc;
    ::GetWindowRect(hWnd, &rc);
    return rc;
}

class DialogHelpersTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        CDialogTemplateBuilder form(L"helpers", WS_POPUP | WS_CAPTION | WS_VISIBLE, 200, 120);
        form.AddControl(L"EDIT", L"some text", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 80, 14,
                        kEditId);
        form.AddControl(L"BUTTON", L"Press", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 40, 50, 14, kButtonId);
        form.AddControl(L"EDIT", L"bare", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 70, 80, 14, kOtherEditId);
        s_form = new CRecordingParent;
        ASSERT_TRUE(s_form->CreateDialogForm(form.Get()));
        s_edit = new CEdit;
        ASSERT_TRUE(s_edit->SubclassDlgItem(kEditId, s_form));
        PumpUntilIdle();
    }
    static void TearDownTestSuite()
    {
        delete s_edit;
        s_edit = nullptr;
        delete s_form;
        s_form = nullptr;
    }
    void SetUp() override { ASSERT_NE(s_form, nullptr); }
    static inline CRecordingParent* s_form = nullptr;
    static inline CEdit* s_edit = nullptr;
    CRecordingParent& m_form = *s_form;
};

TEST_F(DialogHelpersTest, MovingFunctionsSetTheExpectedPositionFlags)
{
    CPositionLog button;
    ASSERT_TRUE(button.SubclassDlgItem(kButtonId, &m_form));
    const CRect start = RectInParent(m_form, button);
    struct MoveCase
    {
        std::function<void()> move;
        UINT flags;
        CRect expected;
        const char* why;
    };
    const MoveCase cases[] = {
        {[&] { MoveResizeDlgItem(&m_form, kButtonId, 3, 4, 5, 6, TRUE); }, 0x0104, CRect(3, 4, 8, 10),
         "move and resize, redraw"},
        {[&] { MoveResizeDlgItem(&m_form, kButtonId, -3, -4, -5, -6, FALSE); }, 0x010C, CRect(0, 0, 0, 0),
         "move and resize back, no redraw"},
        {[&] { MoveDlgItem(&m_form, kButtonId, 7, 1, TRUE); }, 0x0105, CRect(7, 1, 7, 1), "move only, redraw"},
        {[&] { MoveDlgItem(&m_form, kButtonId, -7, -1, FALSE); }, 0x010D, CRect(0, 0, 0, 0), "move only, no redraw"},
        {[&] { EXPECT_TRUE(MoveResizeChild(&m_form, &button, 2, 2, 2, 2, TRUE)); }, 0x0104, CRect(2, 2, 4, 4),
         "child window, move and resize"},
        {[&] { EXPECT_TRUE(MoveChild(&m_form, &button, -2, -2, FALSE)); }, 0x010D, CRect(0, 0, 2, 2),
         "child window, move only"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        button.m_flags.clear();
        c.move();
        ASSERT_EQ(button.m_flags.size(), 1u);
        EXPECT_EQ(button.m_flags[0], c.flags);
        const CRect now = RectInParent(m_form, button);
        EXPECT_EQ(now, CRect(start.left + c.expected.left, start.top + c.expected.top, start.right + c.expected.right,
                             start.bottom + c.expected.bottom));
    }
    MoveResizeChild(&m_form, &button, 0, 0, -2, -2, TRUE);
    button.UnsubclassWindow();
}

TEST_F(DialogHelpersTest, TopLevelWindowsMoveInScreenCoordinates)
{
    const CRect start = WindowRect(m_form);
    EXPECT_TRUE(MoveWindowBy(&m_form, 10, 20, TRUE));
    EXPECT_EQ(WindowRect(m_form), CRect(start.left + 10, start.top + 20, start.right + 10, start.bottom + 20));
    EXPECT_TRUE(MoveResizeWindowBy(&m_form, -10, -20, 4, 6, FALSE));
    EXPECT_EQ(WindowRect(m_form), CRect(start.left, start.top, start.right + 4, start.bottom + 6));
    MoveResizeWindowBy(&m_form, 0, 0, -4, -6, TRUE);
    CWnd none;
    EXPECT_EQ(MoveWindowBy(&none, 1, 1, TRUE), 0) << "a window that does not exist";
    EXPECT_EQ(MoveResizeWindowBy(nullptr, 1, 1, 1, 1, TRUE), 0);
}

TEST_F(DialogHelpersTest, MissingItemsGiveZeroAndChangeNothing)
{
    const CRect button = RectInParent(m_form, ::GetDlgItem(m_form, kButtonId));
    EXPECT_EQ(EnableDlgItem(&m_form, kMissingId, FALSE), 0);
    EXPECT_EQ(ShowDlgItem(&m_form, kMissingId, SW_HIDE), 0);
    EXPECT_EQ(FocusDlgItem(&m_form, kMissingId), nullptr);
    EXPECT_EQ(FocusPropertyPageItem(&m_form, kMissingId), nullptr);
    MoveDlgItem(&m_form, kMissingId, 5, 5, TRUE);
    MoveResizeDlgItem(&m_form, kMissingId, 5, 5, 5, 5, TRUE);
    EXPECT_EQ(RectInParent(m_form, ::GetDlgItem(m_form, kButtonId)), button);
    EXPECT_EQ(EnableDlgItem(nullptr, kButtonId, FALSE), 0);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(m_form, kButtonId)));
}

TEST_F(DialogHelpersTest, EnableAndShowReportThePreviousState)
{
    EXPECT_EQ(EnableDlgItem(&m_form, kButtonId, FALSE), FALSE) << "it was enabled";
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(m_form, kButtonId)));
    EXPECT_NE(EnableDlgItem(&m_form, kButtonId, TRUE), FALSE) << "it was disabled";
    EXPECT_NE(ShowDlgItem(&m_form, kButtonId, SW_HIDE), FALSE) << "it was visible";
    EXPECT_EQ(ShowDlgItem(&m_form, kButtonId, SW_SHOW), FALSE) << "it was hidden";
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(m_form, kButtonId)));
}

TEST_F(DialogHelpersTest, FocusSelectsTheTextOfAnAttachedEditOnly)
{
    HWND hButton = ::GetDlgItem(m_form, kButtonId);
    ::SetFocus(hButton);
    s_edit->SendMessage(EM_SETSEL, 2, 2);
    CWnd* previous = FocusDlgItem(&m_form, kEditId);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(previous->m_hWnd, hButton) << "the window that had the focus";
    EXPECT_EQ(::GetFocus(), s_edit->m_hWnd);
    DWORD start = 0, end = 0;
    s_edit->SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, static_cast<DWORD>(s_edit->GetWindowTextLength()));

    HWND hBare = ::GetDlgItem(m_form, kOtherEditId);
    ::SendMessageW(hBare, EM_SETSEL, 1, 1);
    FocusDlgItem(&m_form, kOtherEditId);
    ::SendMessageW(hBare, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(::GetFocus(), hBare);
    EXPECT_EQ(start, 1u) << "a bare edit window gets the focus without the selection";
    EXPECT_EQ(end, 1u);
}

// A page of the sheets below: only the dialog manager's defaults.
INT_PTR CALLBACK PlainPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// Keeps the sheet below off the screen: without a window manager, taking a visible top-level
// window off it waits two seconds under Wine.
int CALLBACK InvisibleSheet(HWND, UINT message, LPARAM lParam)
{
    if (message == PSCB_PRECREATE) reinterpret_cast<DLGTEMPLATE*>(lParam)->style &= ~WS_VISIBLE;
    return 0;
}

TEST_F(DialogHelpersTest, FocusPropertyPageItemMakesItsPageTheActiveOneFirst)
{
    CDialogTemplateBuilder page(L"page", WS_CHILD | WS_CAPTION | DS_CONTROL, 150, 60);
    page.AddControl(L"EDIT", L"page text", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 10, 10, 80, 14, kEditId);
    PROPSHEETPAGEW pages[2]{};
    for (PROPSHEETPAGEW& p : pages)
    {
        p.dwSize = sizeof(p);
        p.dwFlags = PSP_DLGINDIRECT;
        p.pResource = page.Get();
        p.pfnDlgProc = &PlainPageProc;
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.pfnCallback = &InvisibleSheet;
    header.pszCaption = L"sheet";
    header.nPages = 2;
    header.ppsp = pages;
    CWindowHandle sheet(reinterpret_cast<HWND>(::PropertySheetW(&header)));
    ASSERT_TRUE(sheet.IsValid());
    // A sheet makes its pages when they are first shown.
    ::SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
    ::SendMessageW(sheet, PSM_SETCURSEL, 0, 0);
    const auto pageWindow = [&](int index) {
        return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0));
    };
    const auto current = [&] { return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); };
    const HWND hFirst = pageWindow(0), hSecond = pageWindow(1);
    ASSERT_TRUE(hFirst && hSecond && hFirst != hSecond);
    ASSERT_EQ(current(), hFirst);

    CWnd* previous = FocusPropertyPageItem(CWnd::FromHandle(hSecond), kEditId);
    EXPECT_EQ(current(), hSecond) << "another page was active: this one is now";
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(hSecond, kEditId));
    EXPECT_NE(previous, nullptr);

    FocusPropertyPageItem(CWnd::FromHandle(hSecond), kEditId);
    EXPECT_EQ(current(), hSecond) << "already active: it stays";
    EXPECT_EQ(FocusPropertyPageItem(CWnd::FromHandle(hFirst), kMissingId), nullptr) << "a missing item";
}

// A menu built from a compact description: "-" a separator, "A" an item with the id given.
class CMenuFixture
{
public:
    CMenuFixture() { m_menu.CreatePopupMenu(); }
    CMenu m_menu;
    std::wstring Describe() const
    {
        std::wstring out;
        for (int i = 0; i < m_menu.GetMenuItemCount(); ++i)
        {
            CString text;
            m_menu.GetMenuString(i, text, MF_BYPOSITION);
            out += m_menu.GetMenuItemID(i) == 0 ? L"-" : std::wstring(text.GetString());
        }
        return out;
    }
};

TEST(MenuHelpers, CleanMenuSeparatorsKeepsOnlySeparatorsBetweenItems)
{
    struct CleanCase
    {
        const wchar_t* before;
        const wchar_t* after;
    };
    const CleanCase cases[] = {
        {L"-A--B-", L"A-B"}, {L"---", L""},         {L"", L""}, {L"AB", L"AB"}, {L"A---", L"A"},
        {L"--A", L"A"},      {L"A-B--C", L"A-B-C"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "menu " << testing::PrintToString(std::wstring(c.before)));
        CMenuFixture f;
        UINT id = 100;
        for (const wchar_t* p = c.before; *p; ++p)
        {
            const wchar_t text[2] = {*p, 0};
            if (*p == L'-')
                f.m_menu.AppendMenu(MF_SEPARATOR);
            else
                f.m_menu.AppendMenu(MF_STRING, id++, text);
        }
        CleanMenuSeparators(&f.m_menu);
        EXPECT_EQ(f.Describe(), c.after);
    }
}

TEST(MenuHelpers, FindSubMenuPositionSearchesPopupTreesForTextedItems)
{
    CMenu bar, file, nested, edit;
    ASSERT_TRUE(bar.CreateMenu() && file.CreatePopupMenu() && nested.CreatePopupMenu() && edit.CreatePopupMenu());
    nested.AppendMenu(MF_STRING, 31, L"Deep");
    nested.AppendMenu(MF_STRING, 32, L"");
    file.AppendMenu(MF_STRING, 11, L"Open");
    file.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(nested.Detach()), L"More");
    edit.AppendMenu(MF_STRING, 21, L"Copy");
    bar.AppendMenu(MF_STRING, 5, L"Top command");
    bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(file.Detach()), L"File");
    bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(edit.Detach()), L"Edit");

    EXPECT_EQ(FindSubMenuPosition(&bar, 31), 1) << "an id in a nested submenu";
    EXPECT_EQ(FindSubMenuPosition(&bar, 11), 1);
    EXPECT_EQ(FindSubMenuPosition(&bar, 21), 2);
    EXPECT_EQ(FindSubMenuPosition(&bar, 5), -1) << "held only by a top-level command";
    EXPECT_EQ(FindSubMenuPosition(&bar, 32), -1) << "an item with empty text";
    EXPECT_EQ(FindSubMenuPosition(&bar, 99), -1);
}

// CreateActCtxW seam: counts calls, then lets the system do it.
int g_createActCtxCalls = 0;
HANDLE WINAPI CountingCreateActCtx(PCACTCTXW pActCtx)
{
    ++g_createActCtxCalls;
    return ::CreateActCtxW(pActCtx);
}

class CActCtxSeam
{
public:
    CActCtxSeam()
    {
        g_createActCtxCalls = 0;
        CManifestActCtx::SetCreateActCtxFunction(&CountingCreateActCtx);
    }
    ~CActCtxSeam() { CManifestActCtx::SetCreateActCtxFunction(nullptr); }
    CActCtxSeam(const CActCtxSeam&) = delete;
    CActCtxSeam& operator=(const CActCtxSeam&) = delete;
};

HANDLE CurrentActCtx()
{
    HANDLE h = nullptr;
    EXPECT_TRUE(::GetCurrentActCtx(&h));
    if (h) ::ReleaseActCtx(h); // only the identity is compared; the context is held by its owner
    return h;
}

TEST(ManifestActCtx, ActivatesTheManifestBesideTheProgramWhileItLives)
{
    CActCtxSeam seam;
    const HANDLE previous = CurrentActCtx();
    {
        CManifestActCtx ctx(L"TestManifest.manifest", TRUE);
        ASSERT_NE(ctx.GetHandle(), INVALID_HANDLE_VALUE) << "path " << testing::PrintToString(ctx.GetPath());
        EXPECT_EQ(g_createActCtxCalls, 1);
        EXPECT_NE(ctx.GetCookie(), 0u);
        EXPECT_EQ(CurrentActCtx(), ctx.GetHandle());
        const ULONG_PTR cookie = ctx.GetCookie();
        EXPECT_TRUE(ctx.Activate());
        EXPECT_EQ(ctx.GetCookie(), cookie) << "a second Activate keeps the cookie";
        EXPECT_TRUE(ctx.Deactivate());
        EXPECT_EQ(ctx.GetCookie(), 0u);
        EXPECT_EQ(CurrentActCtx(), previous);
        EXPECT_TRUE(ctx.Activate());
    }
    EXPECT_EQ(CurrentActCtx(), previous) << "the destructor brings the previous context back";

    CManifestActCtx later(L"TestManifest.manifest", FALSE);
    EXPECT_NE(later.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(later.GetCookie(), 0u) << "not activated unless asked";
}

TEST(ManifestActCtx, EmptyOrMissingManifestGivesNoContext)
{
    CActCtxSeam seam;
    CManifestActCtx empty(L"", TRUE);
    EXPECT_EQ(g_createActCtxCalls, 0) << "an empty name never calls CreateActCtxW";
    EXPECT_EQ(empty.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(empty.Activate());
    EXPECT_FALSE(empty.Deactivate());

    CManifestActCtx missing(L"NoSuchFile.manifest", FALSE);
    EXPECT_EQ(g_createActCtxCalls, 1);
    EXPECT_EQ(missing.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(missing.Activate());
    EXPECT_EQ(missing.GetCookie(), 0u);
}
} // namespace
