// Control wrappers on real controls: members arrive as the controls' W messages, wrappers work on
// controls they created and on controls of a dialog template, the creation hook, re-entrant
// reflection and Unicode notifications.
#include "framework/CButton.h"
#include "framework/CComboBox.h"
#include "framework/CDateTimeCtrl.h"
#include "framework/CEdit.h"
#include "framework/CHeaderCtrl.h"
#include "framework/CImageList.h"
#include "framework/CListCtrl.h"
#include "framework/CMenu.h"
#include "framework/CStatic.h"
#include "framework/CToolTipCtrl.h"
#include "framework/testing/CDialogTemplateBuilder.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

namespace
{
constexpr UINT IDC_LIST = 100;
constexpr UINT IDC_EDIT = 101;
constexpr UINT IDC_COMBO = 102;
constexpr UINT IDC_BUTTON = 103;
constexpr UINT IDC_STATIC = 104;
constexpr UINT IDC_DATE = 105;
constexpr UINT IDC_HEADER = 106;
constexpr UINT WM_APP_END_MENU = WM_APP + 20; // the parent's answer ends the open menu
const CRect kListRect(0, 0, 300, 150);

// A list control that records the list-view messages its own members send it.
class CCountingList : public CListCtrl
{
public:
    std::vector<UINT> m_seen;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message >= LVM_FIRST && message < LVM_FIRST + 0x100) m_seen.push_back(message);
        return CListCtrl::WindowProc(message, wParam, lParam);
    }
};

int CALLBACK CompareDescending(LPARAM a, LPARAM b, LPARAM)
{
    return a < b ? 1 : a > b ? -1 : 0;
}

struct ListCallCase
{
    const char* what;
    std::function<void(CListCtrl&)> call;
    UINT message;
};

TEST(ListCtrl, EachMemberArrivesAsItsListViewMessage)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CCountingList list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, kListRect, &parent, IDC_LIST));
    ASSERT_GE(list.InsertColumn(0, L"A", LVCFMT_LEFT, 80), 0);
    ASSERT_GE(list.InsertColumn(1, L"B", LVCFMT_LEFT, 80), 0);
    ASSERT_EQ(list.InsertItem(0, L"x"), 0);
    const ListCallCase cases[] = {
        {"insert column", [](CListCtrl& l) { l.InsertColumn(2, L"C"); }, LVM_INSERTCOLUMNW},
        {"set text", [](CListCtrl& l) { l.SetItemText(0, 1, L"y"); }, LVM_SETITEMTEXTW},
        {"get text", [](CListCtrl& l) { l.GetItemText(0, 1); }, LVM_GETITEMTEXTW},
        {"insert item", [](CListCtrl& l) { l.InsertItem(1, L"z"); }, LVM_INSERTITEMW},
        {"set item", [](CListCtrl& l) { l.SetItemData(0, 7); }, LVM_SETITEMW},
        {"get item", [](CListCtrl& l) { l.GetItemData(0); }, LVM_GETITEMW},
        {"sort", [](CListCtrl& l) { l.SortItems(&CompareDescending, 0); }, LVM_SORTITEMS},
        {"set order",
         [](CListCtrl& l) {
             int order[] = {1, 0, 2};
             l.SetColumnOrderArray(3, order);
         },
         LVM_SETCOLUMNORDERARRAY},
        {"get order",
         [](CListCtrl& l) {
             int order[3];
             l.GetColumnOrderArray(order, 3);
         },
         LVM_GETCOLUMNORDERARRAY},
        {"get column",
         [](CListCtrl& l) {
             LVCOLUMNW c{LVCF_WIDTH};
             l.GetColumn(0, &c);
         },
         LVM_GETCOLUMNW},
        {"column width", [](CListCtrl& l) { l.SetColumnWidth(0, 90); }, LVM_SETCOLUMNWIDTH},
        {"find",
         [](CListCtrl& l) {
             LVFINDINFOW f{LVFI_PARAM};
             l.FindItem(&f);
         },
         LVM_FINDITEMW},
        {"string width", [](CListCtrl& l) { l.GetStringWidth(L"abc"); }, LVM_GETSTRINGWIDTHW},
        {"state", [](CListCtrl& l) { l.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED); }, LVM_SETITEMSTATE},
        {"extended style", [](CListCtrl& l) { l.SetExtendedStyle(LVS_EX_FULLROWSELECT); },
         LVM_SETEXTENDEDLISTVIEWSTYLE},
        {"sub-item rect",
         [](CListCtrl& l) {
             CRect r;
             l.GetSubItemRect(0, 1, LVIR_LABEL, r);
         },
         LVM_GETSUBITEMRECT},
        {"delete item", [](CListCtrl& l) { l.DeleteItem(1); }, LVM_DELETEITEM},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        list.m_seen.clear();
        c.call(list);
        ASSERT_FALSE(list.m_seen.empty());
        EXPECT_EQ(list.m_seen.front(), c.message);
    }
    // And the calls did what they say.
    EXPECT_EQ(list.GetItemText(0, 1), CString(L"y"));
    EXPECT_EQ(list.GetItemData(0), 7u);
    int order[3] = {};
    ASSERT_TRUE(list.GetColumnOrderArray(order, 3));
    EXPECT_EQ(order[0], 1);
    EXPECT_EQ(order[1], 0);
    EXPECT_EQ(list.GetSelectedCount(), 1u);
    POSITION pos = list.GetFirstSelectedItemPosition();
    EXPECT_EQ(list.GetNextSelectedItem(pos), 0);
    EXPECT_EQ(pos, nullptr);
    EXPECT_EQ(list.GetHeaderCtrl()->GetItemCount(), 3);
    CWnd::DeleteTempMap();
}

TEST(ListCtrl, SortItemsOrdersByTheComparedData)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, kListRect, &parent, IDC_LIST));
    list.InsertColumn(0, L"A", LVCFMT_LEFT, 80);
    for (int i = 0; i < 3; ++i)
    {
        list.InsertItem(i, std::to_wstring(i).c_str());
        list.SetItemData(i, static_cast<DWORD_PTR>(i));
    }
    ASSERT_TRUE(list.SortItems(&CompareDescending, 0));
    EXPECT_EQ(list.GetItemText(0, 0), CString(L"2"));
    EXPECT_EQ(list.GetItemText(2, 0), CString(L"0"));
}

TEST(ListCtrl, LongItemTextIsReadWhole)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, kListRect, &parent, IDC_LIST));
    list.InsertColumn(0, L"A", LVCFMT_LEFT, 80);
    const std::wstring text(700, L'q');
    list.InsertItem(0, text.c_str());
    EXPECT_EQ(list.GetItemText(0, 0).GetLength(), 700);
}

// ---- wrappers made with Create and subclassed from a dialog template ----------------------

struct WrapperCase
{
    const char* what;
    UINT nID;
    std::function<bool(CRecordingParent&, UINT)> useCreated;    // creates its own control
    std::function<bool(CRecordingParent&, UINT)> useSubclassed; // subclasses the template's
};

template <class T> bool WorksOn(T& wrapper, const std::function<bool(T&)>& check)
{
    return wrapper.m_hWnd && CWnd::FromHandlePermanent(wrapper.m_hWnd) == &wrapper && check(wrapper);
}

bool EditWorks(CEdit& e)
{
    e.SetWindowText(L"hello");
    e.SetSel(1, 3);
    int a = 0, b = 0;
    e.GetSel(a, b);
    e.ReplaceSel(L"XY");
    CString text;
    e.GetWindowText(text);
    return a == 1 && b == 3 && text == L"hXYlo";
}
bool ComboWorks(CComboBox& c)
{
    c.AddString(L"one");
    c.AddString(L"two");
    c.SetCurSel(1);
    CString text;
    c.GetLBText(c.GetCurSel(), text);
    return c.GetCount() == 2 && text == L"two" && c.FindStringExact(-1, L"one") == 0;
}
bool ButtonWorks(CButton& b)
{
    b.SetCheck(BST_CHECKED);
    return b.GetCheck() == BST_CHECKED;
}
bool StaticWorks(CStatic& s)
{
    HICON hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    s.SetIcon(hIcon);
    return s.GetIcon() == hIcon;
}
bool ListWorks(CListCtrl& l)
{
    l.InsertColumn(0, L"A", LVCFMT_LEFT, 60);
    l.InsertItem(0, L"row");
    return l.GetItemCount() == 1 && l.GetItemText(0, 0) == L"row";
}
bool HeaderWorks(CHeaderCtrl& h)
{
    HDITEMW item{HDI_TEXT | HDI_WIDTH};
    item.cxy = 50;
    item.pszText = const_cast<LPWSTR>(L"col");
    const int at = h.InsertItem(0, &item);
    wchar_t text[16] = L"";
    HDITEMW read{HDI_TEXT};
    read.pszText = text;
    read.cchTextMax = 16;
    return at == 0 && h.GetItemCount() == 1 && h.GetItem(0, &read) && std::wstring(text) == L"col" &&
           h.OrderToIndex(0) == 0;
}
bool DateWorks(CDateTimeCtrl& d)
{
    const COleDateTime when(2024, 2, 29, 13, 45, 10);
    COleDateTime read;
    return d.SetTime(when) && d.GetTime(read) && read == when;
}

template <class T>
WrapperCase MakeCase(const char* what, UINT nID, std::function<BOOL(T&, CWnd*, UINT)> create, bool (*check)(T&))
{
    return {what, nID,
            [create, check](CRecordingParent& parent, UINT id) {
                T wrapper;
                return create(wrapper, &parent, id) && WorksOn<T>(wrapper, check);
            },
            [check](CRecordingParent& parent, UINT id) {
                T wrapper;
                return wrapper.SubclassDlgItem(id, &parent) && WorksOn<T>(wrapper, check);
            }};
}

TEST(ControlWrappers, WorkOnCreatedAndOnTemplateControls)
{
    const CRect rc(10, 10, 200, 40);
    const CRect rcCombo(10, 10, 200, 200);
    const WrapperCase cases[] = {
        MakeCase<CEdit>(
            "edit", IDC_EDIT,
            [&](CEdit& w, CWnd* p, UINT id) { return w.Create(WS_VISIBLE | ES_AUTOHSCROLL, rc, p, id); }, &EditWorks),
        MakeCase<CComboBox>(
            "combo", IDC_COMBO,
            [&](CComboBox& w, CWnd* p, UINT id) { return w.Create(WS_VISIBLE | CBS_DROPDOWNLIST, rcCombo, p, id); },
            &ComboWorks),
        MakeCase<CButton>(
            "button", IDC_BUTTON,
            [&](CButton& w, CWnd* p, UINT id) { return w.Create(L"b", WS_VISIBLE | BS_AUTOCHECKBOX, rc, p, id); },
            &ButtonWorks),
        MakeCase<CStatic>(
            "static", IDC_STATIC,
            [&](CStatic& w, CWnd* p, UINT id) { return w.Create(L"", WS_VISIBLE | SS_ICON, rc, p, id); }, &StaticWorks),
        MakeCase<CListCtrl>(
            "list", IDC_LIST,
            [&](CListCtrl& w, CWnd* p, UINT id) { return w.Create(WS_VISIBLE | LVS_REPORT, kListRect, p, id); },
            &ListWorks),
        MakeCase<CHeaderCtrl>(
            "header", IDC_HEADER,
            [&](CHeaderCtrl& w, CWnd* p, UINT id) { return w.Create(WS_VISIBLE | HDS_HORZ, rc, p, id); }, &HeaderWorks),
        MakeCase<CDateTimeCtrl>(
            "date", IDC_DATE,
            [&](CDateTimeCtrl& w, CWnd* p, UINT id) { return w.Create(WS_VISIBLE | DTS_SHORTDATEFORMAT, rc, p, id); },
            &DateWorks),
    };
    CDialogTemplateBuilder form(L"controls", WS_POPUP | WS_CAPTION | WS_VISIBLE, 260, 200);
    form.AddControl(L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER, 5, 5, 100, 12, IDC_EDIT)
        .AddControl(L"COMBOBOX", L"", CBS_DROPDOWNLIST, 5, 20, 100, 60, IDC_COMBO)
        .AddControl(L"BUTTON", L"b", BS_AUTOCHECKBOX, 5, 35, 100, 12, IDC_BUTTON)
        .AddControl(L"STATIC", L"", SS_ICON, 5, 50, 20, 20, IDC_STATIC)
        .AddControl(WC_LISTVIEWW, L"", LVS_REPORT, 5, 75, 150, 60, IDC_LIST)
        .AddControl(DATETIMEPICK_CLASSW, L"", DTS_SHORTDATEFORMAT, 5, 140, 100, 12, IDC_DATE)
        .AddControl(WC_HEADERW, L"", HDS_HORZ, 5, 160, 150, 12, IDC_HEADER);
    // The common control classes of the template must be registered before the dialog is made.
    CListCtrl().Create(0, CRect(), nullptr, 0);
    CDateTimeCtrl().Create(0, CRect(), nullptr, 0);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CRecordingParent window;
        ASSERT_TRUE(window.Create());
        EXPECT_TRUE(c.useCreated(window, c.nID)) << "made with Create";
        CRecordingParent dialog;
        ASSERT_TRUE(dialog.CreateDialogForm(form.Get()));
        EXPECT_TRUE(c.useSubclassed(dialog, c.nID)) << "subclassed from the template";
    }
    CWnd::DeleteTempMap();
}

// ---- creation hook ------------------------------------------------------------------------

// An owner-drawn combo that measures its items; the first measure comes while Create runs.
class CMeasuredCombo : public CComboBox
{
public:
    int m_measured = 0;
    bool m_attachedWhenMeasured = false;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override
    {
        ++m_measured;
        m_attachedWhenMeasured = m_hWnd && FromHandlePermanent(m_hWnd) == this;
        lpMeasureItemStruct->itemHeight = 21;
    }
};

TEST(CreationHook, OwnerDrawnComboIsMeasuredDuringItsCreation)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CMeasuredCombo combo;
    ASSERT_TRUE(combo.Create(WS_VISIBLE | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                             CRect(10, 10, 200, 200), &parent, IDC_COMBO));
    EXPECT_GT(combo.m_measured, 0) << "WM_MEASUREITEM reached the combo's object during Create";
    EXPECT_TRUE(combo.m_attachedWhenMeasured);
    EXPECT_EQ(combo.GetItemHeight(0), 21) << "the measure was used";
}

// A control that logs the creation messages its object sees, and makes windows of its own while
// it is being created.
class CCreationProbe : public CEdit
{
public:
    std::vector<std::string> m_log;
    CToolTipCtrl m_tip; // made in PreSubclassWindow
    CButton m_inner;    // made in OnCreate

protected:
    void PreSubclassWindow() override
    {
        m_log.push_back("presubclass");
        m_tip.Create(GetParent());
    }
    BOOL OnNcCreate(LPCREATESTRUCTW lpCreateStruct)
    {
        m_log.push_back("nccreate");
        return CEdit::OnNcCreate(lpCreateStruct);
    }
    int OnCreate(LPCREATESTRUCTW lpCreateStruct)
    {
        m_log.push_back("create");
        if (CEdit::OnCreate(lpCreateStruct) == -1) return -1;
        return m_inner.Create(L"in", WS_VISIBLE, CRect(0, 0, 10, 10), this, 1) ? 0 : -1;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CCreationProbe, CEdit)
ON_WM_NCCREATE()
ON_WM_CREATE()
END_MESSAGE_MAP()

TEST(CreationHook, WrapperSeesNcCreateAndCreateAndNestedWindowsGetTheirOwnObjects)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CCreationProbe probe;
    ASSERT_TRUE(probe.Create(WS_VISIBLE, CRect(10, 10, 200, 40), &parent, IDC_EDIT));
    EXPECT_EQ(probe.m_log, (std::vector<std::string>{"presubclass", "nccreate", "create"}));
    ASSERT_NE(probe.m_tip.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(probe.m_tip.m_hWnd), &probe.m_tip);
    ASSERT_NE(probe.m_inner.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(probe.m_inner.m_hWnd), &probe.m_inner);
    EXPECT_EQ(CWnd::FromHandlePermanent(probe.m_hWnd), &probe);
    EXPECT_NE(probe.m_tip.m_hWnd, probe.m_hWnd);
}

// ---- Unicode notifications and re-entrant reflection ----------------------------------------

// A list whose LVN_GETDISPINFOW handler asks its parent first by sending the same notification
// again, declines that nested pass, then adds to what the parent answered.
class CPassingList : public CListCtrl
{
public:
    int m_outer = 0;
    int m_nested = 0;
    bool m_messageIntact = false;
    bool m_resultIntact = false;

protected:
    BOOL OnGetDispInfo(NMHDR* pNotify, LRESULT* pResult)
    {
        if (m_inPass)
        {
            ++m_nested;
            return FALSE; // the parent answers this one
        }
        ++m_outer;
        const MSG before = *GetCurrentMessage();
        *pResult = 55;
        m_inPass = true;
        // Passed on as a copy, as a handler that edits the request would: the nested pass's
        // current message differs from this one.
        NMLVDISPINFOW copy = *reinterpret_cast<NMLVDISPINFOW*>(pNotify);
        GetParent()->SendMessage(WM_NOTIFY, pNotify->idFrom, reinterpret_cast<LPARAM>(&copy));
        m_inPass = false;
        const MSG after = *GetCurrentMessage();
        m_messageIntact = after.message == before.message && after.lParam == before.lParam && after.hwnd == before.hwnd;
        m_resultIntact = *pResult == 55;
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(pNotify);
        if ((info->item.mask & LVIF_TEXT) && info->item.pszText) wcsncat(info->item.pszText, L"+list", 8);
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()

private:
    bool m_inPass = false;
};
BEGIN_MESSAGE_MAP(CPassingList, CListCtrl)
ON_NOTIFY_REFLECT_EX(LVN_GETDISPINFOW, &CPassingList::OnGetDispInfo)
END_MESSAGE_MAP()

LRESULT AnswerParentText(NMHDR* pNotify)
{
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(pNotify);
    if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 8)
        wcscpy(info->item.pszText, L"parent");
    return 0;
}

void ExpectNestedPassReachesTheParent(CRecordingParent& parent)
{
    parent.AnswerNotify(LVN_GETDISPINFOW, &AnswerParentText);
    CPassingList list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, kListRect, &parent, IDC_LIST));
    list.InsertColumn(0, L"A", LVCFMT_LEFT, 80);
    list.InsertItem(0, LPSTR_TEXTCALLBACKW);
    parent.Clear();
    EXPECT_EQ(list.GetItemText(0, 0), CString(L"parent+list"));
    EXPECT_EQ(list.m_outer, 1);
    EXPECT_EQ(list.m_nested, 1);
    EXPECT_TRUE(list.m_messageIntact) << "the outer pass's current message";
    EXPECT_TRUE(list.m_resultIntact) << "the outer pass's result";
    EXPECT_EQ(parent.Seen(), (Seq{{WM_NOTIFY, IDC_LIST, static_cast<LONG_PTR>(LVN_GETDISPINFOW)}}));
}

// A list under the parent asks it for texts with LVN_GETDISPINFOW and passes on a click on its
// header as HDN_ITEMCLICKW: W forms only.
void ExpectUnicodeNotifications(CRecordingParent& parent)
{
    parent.AnswerNotify(LVN_GETDISPINFOW, &AnswerParentText);
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, kListRect, &parent, IDC_LIST));
    list.InsertColumn(0, L"A", LVCFMT_LEFT, 80);
    list.InsertColumn(1, L"B", LVCFMT_LEFT, 80);
    list.InsertItem(0, LPSTR_TEXTCALLBACKW);
    parent.Clear();
    EXPECT_EQ(list.GetItemText(0, 0), CString(L"parent"));
    EXPECT_EQ(parent.Seen(), (Seq{{WM_NOTIFY, IDC_LIST, static_cast<LONG_PTR>(LVN_GETDISPINFOW)}}));

    CHeaderCtrl* pHeader = list.GetHeaderCtrl();
    ASSERT_NE(pHeader, nullptr);
    CRect item;
    ASSERT_TRUE(pHeader->GetItemRect(1, &item));
    PumpUntilIdle();
    parent.Clear();
    ClickAt(*pHeader, item.CenterPoint());
    ASSERT_TRUE(PumpUntil([&] {
        for (const auto& seen : parent.Seen())
            if (seen.code == static_cast<LONG_PTR>(LVN_COLUMNCLICK)) return true;
        return false;
    })) << ::testing::PrintToString(parent.Seen());
    bool headerW = false;
    for (const auto& seen : parent.Seen())
    {
        const UINT code = static_cast<UINT>(seen.code);
        EXPECT_FALSE(code == HDN_ITEMCLICKA || code == HDN_ITEMCHANGINGA || code == LVN_GETDISPINFOA) << code;
        headerW |= code == HDN_ITEMCLICKW;
    }
    EXPECT_TRUE(headerW) << ::testing::PrintToString(parent.Seen());
    CWnd::DeleteTempMap();
}

// The same list under a framework window and under a framework dialog (the dialog manager).
class UnderParentTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { ASSERT_TRUE(GetParam() ? m_parent.CreateDialogForm() : m_parent.Create()); }
    CRecordingParent m_parent;
};

TEST_P(UnderParentTest, ListSendsUnicodeNotifications)
{
    ExpectUnicodeNotifications(m_parent);
}

TEST_P(UnderParentTest, NestedPassOfTheSameNotificationReachesTheParent)
{
    ExpectNestedPassReachesTheParent(m_parent);
}

INSTANTIATE_TEST_SUITE_P(Parents, UnderParentTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Dialog" : "Window"; });

// A window class whose own procedure asks for ANSI notifications, as an ANSI dialog would.
LRESULT CALLBACK AnsiProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFYFORMAT && lParam == NF_QUERY) return NFR_ANSI;
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

TEST(UnicodeNotifications, FrameworkParentOfAnAnsiClassGetsWForms)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = &AnsiProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = "LumoAnsiParent";
    ::RegisterClassA(&wc);
    CWindowHandle raw(::CreateWindowExA(0, "LumoAnsiParent", "ansi", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                                        nullptr, nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(raw.IsValid());
    CRecordingParent parent;
    ASSERT_TRUE(parent.SubclassWindow(raw));
    EXPECT_EQ(parent.SendMessage(WM_NOTIFYFORMAT, 0, NF_QUERY), NFR_UNICODE);

    ExpectUnicodeNotifications(parent);
    parent.DestroyWindow();
    raw.Detach(); // destroyed with its object
}

// ---- tool tips, date pickers and menus ---------------------------------------------------

TEST(ToolTipCtrl, ReturnsTheTextOfItsTool)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CButton button;
    ASSERT_TRUE(button.Create(L"b", WS_VISIBLE, CRect(10, 10, 60, 30), &parent, IDC_BUTTON));
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&parent, TTS_ALWAYSTIP));
    EXPECT_EQ(CWnd::FromHandlePermanent(tip.m_hWnd), &tip);
    ASSERT_TRUE(tip.AddTool(&button, L"press me"));
    EXPECT_EQ(tip.GetToolCount(), 1);
    CString text;
    tip.GetText(text, &button);
    EXPECT_EQ(text, CString(L"press me"));
    tip.UpdateTipText(L"again", &button);
    tip.GetText(text, &button);
    EXPECT_EQ(text, CString(L"again"));
    const CRect part(0, 0, 10, 10);
    EXPECT_FALSE(tip.AddTool(&button, L"part", &part)) << "a rectangle tool needs its own id";
    ASSERT_TRUE(tip.AddTool(&button, L"part", &part, 7));
    tip.GetText(text, &button, 7);
    EXPECT_EQ(text, CString(L"part"));
    EXPECT_EQ(tip.SetMaxTipWidth(400), -1);
    EXPECT_EQ(tip.GetMaxTipWidth(), 400);
}

TEST(DateTimeCtrl, RoundTripsADateAndTakesAFormat)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CDateTimeCtrl date;
    ASSERT_TRUE(date.Create(WS_VISIBLE | DTS_SHOWNONE, CRect(10, 10, 200, 40), &parent, IDC_DATE));
    EXPECT_TRUE(date.SetFormat(L"yyyy'-'MM'-'dd HH':'mm"));
    const COleDateTime when(2031, 12, 31, 23, 59, 58);
    ASSERT_TRUE(date.SetTime(when));
    COleDateTime read;
    ASSERT_TRUE(date.GetTime(read));
    EXPECT_EQ(read, when);

    COleDateTime none;
    none.SetStatus(COleDateTime::null);
    ASSERT_TRUE(date.SetTime(none)) << "a DTS_SHOWNONE picker takes no date";
    ASSERT_TRUE(date.GetTime(read));
    EXPECT_EQ(read.GetStatus(), COleDateTime::null);
    COleDateTime bad;
    bad.SetStatus(COleDateTime::invalid);
    EXPECT_FALSE(date.SetTime(bad));
}

class MenuTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_parent.Create());
        m_parent.SetForegroundWindow();
        ASSERT_TRUE(m_menu.CreatePopupMenu());
        ASSERT_TRUE(m_menu.AppendMenu(MF_STRING, 101, L"One"));
        ASSERT_TRUE(m_menu.AppendMenu(MF_STRING, 102, L"Two"));
        PumpUntilIdle();
    }
    int Track() { return m_menu.TrackPopupMenu(TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, 50, 50, &m_parent); }
    CRecordingParent m_parent;
    CMenu m_menu;
};

TEST_F(MenuTest, TrackPopupMenuReturnsTheItemChosenByKeys)
{
    m_parent.PostMessage(WM_KEYDOWN, VK_DOWN, 0);
    m_parent.PostMessage(WM_KEYDOWN, VK_DOWN, 0);
    m_parent.PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(Track(), 102);
}

TEST_F(MenuTest, TrackPopupMenuReturnsZeroAfterEndMenu)
{
    m_parent.AnswerMessage(WM_APP_END_MENU, [](WPARAM, LPARAM) {
        ::EndMenu();
        return LRESULT(0);
    });
    m_parent.PostMessage(WM_APP_END_MENU);
    EXPECT_EQ(Track(), 0);
}

TEST_F(MenuTest, ItemQueriesAndSubmenus)
{
    CMenu sub;
    ASSERT_TRUE(sub.CreatePopupMenu());
    sub.AppendMenu(MF_STRING, 201, L"Inner");
    HMENU hSub = sub.Detach(); // the outer menu owns it from here
    ASSERT_TRUE(m_menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(hSub), L"More"));
    EXPECT_EQ(m_menu.GetMenuItemCount(), 3);
    EXPECT_EQ(m_menu.GetMenuItemID(0), 101u);
    EXPECT_EQ(m_menu.GetMenuItemID(2), static_cast<UINT>(-1)) << "a popup";
    CString text;
    EXPECT_EQ(m_menu.GetMenuString(102, text, MF_BYCOMMAND), 3);
    EXPECT_EQ(text, CString(L"Two"));
    ASSERT_NE(m_menu.GetSubMenu(2), nullptr);
    EXPECT_EQ(m_menu.GetSubMenu(2)->GetSafeHmenu(), hSub);
    m_menu.CheckMenuItem(101, MF_BYCOMMAND | MF_CHECKED);
    EXPECT_TRUE(m_menu.GetMenuState(101, MF_BYCOMMAND) & MF_CHECKED);
    HMENU hMenu = m_menu.GetSafeHmenu();
    EXPECT_TRUE(m_menu.DestroyMenu());
    EXPECT_FALSE(::IsMenu(hMenu));
    EXPECT_FALSE(::IsMenu(hSub)) << "destroyed with its menu";
    CWnd::DeleteTempMap();
}

TEST(ImageList, OwnsItsListAndAddsImages)
{
    HIMAGELIST h;
    {
        CImageList images;
        ASSERT_TRUE(images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 2));
        EXPECT_EQ(images.Add(::LoadIconW(nullptr, IDI_APPLICATION)), 0);
        EXPECT_EQ(images.GetImageCount(), 1);
        int cx = 0, cy = 0;
        ASSERT_TRUE(images.GetIconSize(&cx, &cy));
        EXPECT_EQ(cx, 16);
        h = images.GetSafeHandle();
        CRecordingParent parent;
        ASSERT_TRUE(parent.Create());
        CListCtrl list;
        ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT | LVS_SHAREIMAGELISTS, kListRect, &parent, IDC_LIST));
        EXPECT_EQ(list.SetImageList(&images, LVSIL_SMALL), nullptr);
        ASSERT_NE(list.GetImageList(LVSIL_SMALL), nullptr);
        EXPECT_EQ(list.GetImageList(LVSIL_SMALL)->GetSafeHandle(), h);
        CWnd::DeleteTempMap();
    }
    EXPECT_EQ(::ImageList_GetImageCount(h), 0) << "destroyed with its owner";
}
} // namespace

namespace
{
TEST(RecordingParent, RecordsTheContextMenuOfAChild)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CButton button;
    ASSERT_TRUE(button.Create(L"b", WS_VISIBLE, CRect(10, 10, 60, 30), &parent, IDC_BUTTON));
    parent.Clear();
    button.PostMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    button.PostMessage(WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(PumpUntil([&] { return !parent.Seen().empty(); }));
    CPoint screen(5, 5);
    button.ClientToScreen(&screen);
    EXPECT_EQ(parent.Seen(), (Seq{{WM_CONTEXTMENU, IDC_BUTTON, MAKELPARAM(screen.x, screen.y)}}));
}
} // namespace

namespace
{
// Owner-drawn controls draw themselves: the parent's WM_DRAWITEM comes back to their DrawItem.
template <class TBase> class CDrawCounter : public TBase
{
public:
    int m_draws = 0;
    CRect m_drawRect;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override
    {
        ++m_draws;
        m_drawRect = lpDrawItemStruct->rcItem;
    }
};

TEST(OwnerDraw, ButtonAndStaticDrawThemselvesThroughReflection)
{
    CRecordingParent parent;
    ASSERT_TRUE(parent.Create());
    CDrawCounter<CButton> button;
    ASSERT_TRUE(button.Create(L"b", WS_VISIBLE | BS_OWNERDRAW, CRect(10, 10, 60, 30), &parent, IDC_BUTTON));
    CDrawCounter<CStatic> label;
    ASSERT_TRUE(label.Create(L"s", WS_VISIBLE | SS_OWNERDRAW, CRect(10, 40, 70, 60), &parent, IDC_STATIC));
    button.Invalidate();
    label.Invalidate();
    ASSERT_TRUE(PumpUntil([&] { return button.m_draws > 0 && label.m_draws > 0; }));
    EXPECT_EQ(button.m_drawRect, CRect(0, 0, 50, 20));
    EXPECT_EQ(label.m_drawRect, CRect(0, 0, 60, 20));
}
} // namespace
