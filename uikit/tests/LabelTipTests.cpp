// The extended list's label edit and tips: the parent's say over the control's label edit, Escape
// and cancelling, the edit kept over the label cell; when a cell's label is cut short, the label
// tip over it following the cursor, the row tip asked once per row, top-most tips, the tip class.
#include "framework/CEdit.h"
#include "framework/CImageList.h"
#include "framework/CToolTipCtrl.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "uikit/CLabelTipCtrl.h"
#include "uikit/CListCtrlEx.h"
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace
{
constexpr UINT IDC_LIST = 501;
const CRect kListRect(0, 0, 380, 200);

// Reaches the tips and the seams the tests read, and counts the row tips asked for.
class CTipList : public CListCtrlEx
{
public:
    using CListBase::IsLabelCut;
    using CListBase::m_pLabelTip;
    using CListBase::m_pToolTip;
    CString GetItemToolTip(int nItem) override
    {
        ++m_rowTipsAsked[nItem];
        CString tip;
        tip.Format(L"row tip %d", nItem);
        return tip;
    }
    // Per cell: column 2 asks for its tip in the label tip.
    CString GetSubItemToolTip(int nItem, int nSubItem, UINT, BOOL& bShowAsLabelTip) override
    {
        ++m_cellTipsAsked;
        bShowAsLabelTip = nSubItem == 2;
        CString tip;
        tip.Format(L"cell tip %d,%d", nItem, nSubItem);
        return tip;
    }
    std::map<int, int> m_rowTipsAsked;
    int m_cellTipsAsked = 0;
};

// A label tip whose copy of the tool-tip class cannot be registered.
class CTipWithoutClassCopy : public CLabelTipCtrl
{
public:
    using CLabelTipCtrl::CLabelTipCtrl;

protected:
    ATOM RegisterClassCopy(const WNDCLASSEXW&) override
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
};

std::wstring ClassOf(HWND hWnd)
{
    wchar_t name[128] = {};
    ::GetClassNameW(hWnd, name, 128);
    return name;
}

std::wstring TipText(CToolTipCtrl& tip, CWnd& tool)
{
    CString text;
    tip.GetText(text, &tool);
    return text.GetString();
}

CPoint ScreenPoint(const CWnd& wnd, CPoint client)
{
    wnd.ClientToScreen(&client);
    return client;
}

// The recording parent whose answers reach the control that asked: the recording parent records
// and fills the result, but leaves the notification unhandled, so the control would read 0.
class CAnsweringParent : public CRecordingParent
{
public:
    void Answer(UINT nCode, NotifyAnswer answer)
    {
        m_answered.insert(nCode);
        AnswerNotify(nCode, std::move(answer));
    }
    void ClearAnswers()
    {
        for (UINT code : m_answered)
            AnswerNotify(code, [](NMHDR*) -> LRESULT { return 0; });
        m_answered.clear();
    }
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override
    {
        const BOOL handled = CRecordingParent::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
        auto* pNotify = static_cast<AFX_NOTIFY*>(pExtra);
        if (!pHandlerInfo && HIWORD(static_cast<UINT>(nCode)) == WM_NOTIFY && pNotify && pNotify->pNMHDR &&
            m_answered.count(pNotify->pNMHDR->code))
            return TRUE;
        return handled;
    }

private:
    std::set<UINT> m_answered;
};

// One parent for the suite (taking a top-level window down costs two seconds under Wine), a list
// per test: columns "A" to "C" (widths 120, 40, 40), rows with long texts in columns 1 and 2.
class LabelTipTest : public CSuiteParentTestOf<CAnsweringParent>
{
protected:
    static void SetUpTestSuite()
    {
        CSuiteParentTestOf::SetUpTestSuite();
        ASSERT_FALSE(HasFatalFailure());
        // The display's activation arrives late: a label edit must not lose its focus to it.
        s_parent->SetForegroundWindow();
        PumpUntil([] { return ::GetForegroundWindow() == s_parent->m_hWnd; }, 2000);
        PumpUntilIdle(300);
    }
    void SetUp() override
    {
        CSuiteParentTestOf::SetUp();
        ASSERT_TRUE(Make(m_list, WS_VISIBLE | LVS_REPORT | LVS_EDITLABELS));
        m_parent.Clear();
    }
    void TearDown() override
    {
        m_list.DestroyWindow();
        m_parent.ClearAnswers();
    }
    bool Make(CTipList& list, DWORD style, CWnd* pParent = nullptr)
    {
        if (!list.Create(style, kListRect, pParent ? pParent : &m_parent, IDC_LIST)) return false;
        const int widths[] = {120, 40, 40};
        for (int c = 0; c < 3; ++c)
            if (list.InsertColumn(c, std::wstring(1, static_cast<wchar_t>(L'A' + c)).c_str(), widths[c]) != c)
                return false;
        for (int r = 0; r < 3; ++r)
        {
            if (list.InsertItem(r, (L"row " + std::to_wstring(r)).c_str()) != r) return false;
            for (int c = 1; c < 3; ++c)
                if (!list.SetItemText(r, c,
                                      (L"a long text in " + std::to_wstring(r) + L"," + std::to_wstring(c)).c_str()))
                    return false;
        }
        return true;
    }
    // Records the end of label edits: the text the parent was shown, or none.
    void RecordEnds(LRESULT answer)
    {
        m_parent.Answer(LVN_ENDLABELEDITW, [this, answer](NMHDR* pNotify) -> LRESULT {
            const auto* pInfo = reinterpret_cast<const NMLVDISPINFOW*>(pNotify);
            m_ends.push_back(pInfo->item.pszText ? std::optional<std::wstring>(pInfo->item.pszText) : std::nullopt);
            return answer;
        });
    }
    CTipList m_list;
    std::vector<std::optional<std::wstring>> m_ends;
};

// ---- the label edit --------------------------------------------------------------------------

TEST_F(LabelTipTest, AParentRefusingTheBeginGetsNoEditWindow)
{
    m_parent.Answer(LVN_BEGINLABELEDITW, [](NMHDR*) -> LRESULT { return TRUE; });
    m_list.SetFocus();
    EXPECT_EQ(m_list.EditLabel(1), nullptr);
    PumpUntilIdle();
    EXPECT_EQ(m_list.SendMessage(LVM_GETEDITCONTROL), 0);
    int begins = 0, ends = 0;
    for (const auto& seen : m_parent.Seen())
    {
        begins += seen.message == WM_NOTIFY && seen.code == static_cast<LONG_PTR>(LVN_BEGINLABELEDITW);
        ends += seen.message == WM_NOTIFY && seen.code == static_cast<LONG_PTR>(LVN_ENDLABELEDITW);
    }
    EXPECT_EQ(begins, 1) << "the parent was asked";
    EXPECT_EQ(ends, 0);
}

TEST_F(LabelTipTest, EnterSendsTheTextWhichIsStoredWhenTheParentAccepts)
{
    for (const LRESULT answer : {TRUE, FALSE})
    {
        SCOPED_TRACE(answer);
        RecordEnds(answer);
        m_ends.clear();
        m_list.SetItemText(1, 0, L"row 1");
        m_list.SetFocus();
        CEdit* pEdit = m_list.EditLabel(1);
        ASSERT_NE(pEdit, nullptr);
        const HWND hEdit = pEdit->m_hWnd;
        ::SetWindowTextW(hEdit, L"renamed");
        PressKey(*CWnd::FromHandle(hEdit), VK_RETURN);
        ASSERT_TRUE(PumpUntil([&] { return !m_ends.empty(); }, 2000));
        PumpUntilIdle();
        ASSERT_EQ(m_ends.size(), 1u) << "one end, not the reflected copy of ours";
        EXPECT_EQ(m_ends[0], std::optional<std::wstring>(L"renamed"));
        EXPECT_EQ(std::wstring(m_list.GetItemText(1, 0)), answer ? L"renamed" : L"row 1");
        EXPECT_FALSE(::IsWindow(hEdit));
    }
}

TEST_F(LabelTipTest, EscAndCancellingSendNoTextAndChangeNothing)
{
    RecordEnds(TRUE); // even a parent that accepts gets nothing stored
    for (const bool byEscape : {true, false})
    {
        SCOPED_TRACE(byEscape ? "Esc" : "LVM_CANCELEDITLABEL");
        m_ends.clear();
        m_list.SetFocus();
        CEdit* pEdit = m_list.EditLabel(2);
        ASSERT_NE(pEdit, nullptr);
        const HWND hEdit = pEdit->m_hWnd;
        ::SetWindowTextW(hEdit, L"changed");
        if (byEscape)
            PressKey(*CWnd::FromHandle(hEdit), VK_ESCAPE);
        else
            m_list.CancelEditLabel();
        ASSERT_TRUE(PumpUntil([&] { return !m_ends.empty(); }, 2000));
        PumpUntilIdle();
        ASSERT_EQ(m_ends.size(), 1u);
        EXPECT_EQ(m_ends[0], std::nullopt);
        EXPECT_EQ(std::wstring(m_list.GetItemText(2, 0)), L"row 2");
    }
}

TEST_F(LabelTipTest, WithTheLabelKeptLeftTheEditStartsAtColumn0sLabel)
{
    CTipList list;
    m_list.DestroyWindow();
    ASSERT_TRUE(Make(list, WS_VISIBLE | LVS_REPORT | LVS_EDITLABELS | LVS_OWNERDRAWFIXED));
    ASSERT_TRUE(list.KeepLabelLeft(TRUE));
    // Row images: the control leaves room for them in column 0, which no longer draws them.
    CImageList images;
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR32, 1, 1));
    list.SetImageList(&images, LVSIL_SMALL);
    int order[] = {1, 0, 2};
    ASSERT_TRUE(list.SetColumnOrderArray(3, order));
    list.SetFocus();
    CEdit* pEdit = list.EditLabel(0);
    ASSERT_NE(pEdit, nullptr);
    PumpUntilIdle();
    CRect edit, label;
    ::GetWindowRect(pEdit->m_hWnd, &edit);
    list.ScreenToClient(&edit);
    ASSERT_TRUE(list.GetCellRect(0, 0, LVIR_LABEL, label));
    EXPECT_EQ(edit.left, label.left) << "column 0 is an ordinary cell now: no room for an image";
    list.CancelEditLabel();
    PumpUntilIdle();
    list.DestroyWindow();
}

// ---- the tip decisions -----------------------------------------------------------------------

TEST_F(LabelTipTest, ALabelIsCutWhenItsTextNeedsMoreThanItsWidth)
{
    const CString text = m_list.GetItemText(0, 1);
    const int width = m_list.GetStringWidth(text);
    struct Case
    {
        BYTE customDrawOff;
        int columnWidth;
        BOOL fits;
        bool cut;
        const char* why;
    };
    // A cell other than the label cell has 6 pixels of inset on either side.
    const Case cases[] = {
        {FALSE, width + 12, TRUE, false, "need equal to the label width"},
        {FALSE, width + 11, FALSE, true, "one pixel more needed"},
        {TRUE, width + 13, TRUE, true, "custom drawing off: 2 pixels more before the tip"},
        {TRUE, width + 14, TRUE, false, "custom drawing off, room enough"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_list.m_bCustomDrawOff = c.customDrawOff;
        ASSERT_TRUE(m_list.SetColumnWidth(1, c.columnWidth));
        EXPECT_EQ(m_list.TextFitsCell(0, 1, text), c.fits);
        CString shown;
        EXPECT_EQ(m_list.IsLabelCut(0, 1, &shown), c.cut);
        EXPECT_EQ(shown, text);
    }
    m_list.m_bCustomDrawOff = FALSE;
    ASSERT_TRUE(m_list.EnableColumnHiding(1, TRUE));
    m_list.ShowColumn(1, FALSE);
    EXPECT_FALSE(m_list.TextFitsCell(0, 1, L"")) << "a hidden column holds nothing";
    EXPECT_FALSE(m_list.IsLabelCut(0, 1, nullptr));
}

// ---- the tips over the list ------------------------------------------------------------------

TEST_F(LabelTipTest, TheLabelTipShowsTheWholeTextOverACutCellAndFollowsToAnother)
{
    m_list.SetExtendedStyle(LVS_EX_LABELTIP);
    EXPECT_EQ(m_list.m_pLabelTip->GetDelayTime(TTDT_AUTOPOP), 32767) << "the label tip does not time out";
    m_parent.SetForegroundWindow();
    CLabelTipCtrl& tip = *m_list.m_pLabelTip;
    // Right to left: a tip reaches over the cells to the right of its own, and resting on the tip
    // keeps it where it is.
    for (const int column : {2, 1})
    {
        SCOPED_TRACE(column);
        CRect label;
        ASSERT_TRUE(m_list.GetCellRect(0, column, LVIR_LABEL, label));
        const CPoint at = ScreenPoint(m_list, label.CenterPoint());
        ::SetCursorPos(at.x, at.y);
        m_list.ClientToScreen(&label);
        CRect shown;
        const bool placed = PumpUntil(
            [&] {
                tip.GetWindowRect(&shown);
                return tip.IsWindowVisible() && shown.left == label.left;
            },
            2000);
        ASSERT_TRUE(placed) << "the tip lies over the cell";
        EXPECT_EQ(shown.top, label.top - tip.GetVerticalLift());
        EXPECT_EQ(TipText(tip, m_list), std::wstring(m_list.GetItemText(0, column)));
    }
    // A label that fits shows no tip.
    CRect label;
    ASSERT_TRUE(m_list.GetCellRect(1, 0, LVIR_LABEL, label));
    const CPoint at = ScreenPoint(m_list, CPoint(label.left + 8, label.CenterPoint().y));
    ::SetCursorPos(at.x, at.y);
    EXPECT_TRUE(PumpUntil([&] { return !tip.IsWindowVisible(); }, 2000));
    ::SetCursorPos(600, 600);
    PumpUntilIdle();
}

TEST_F(LabelTipTest, TheRowTipIsAskedForOncePerRow)
{
    m_list.SetExtendedStyle(LVS_EX_INFOTIP);
    m_parent.SetForegroundWindow();
    PumpUntilIdle();
    auto moveTo = [&](int item, int column) {
        CRect label;
        m_list.GetCellRect(item, column, LVIR_LABEL, label);
        const CPoint at(label.left + 8, label.CenterPoint().y);
        m_list.PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        PumpUntilIdle(50);
    };
    moveTo(0, 0);
    moveTo(0, 1);
    moveTo(0, 2);
    moveTo(0, 0);
    EXPECT_EQ(m_list.m_rowTipsAsked, (std::map<int, int>{{0, 1}})) << "moving within a row asks nothing more";
    EXPECT_EQ(TipText(*m_list.m_pToolTip, m_list), L"row tip 0");
    moveTo(1, 1);
    moveTo(0, 1);
    EXPECT_EQ(m_list.m_rowTipsAsked, (std::map<int, int>{{0, 2}, {1, 1}}));
}

TEST_F(LabelTipTest, CellTipsGoToTheToolTipOrWhereTheProgramAsksToTheLabelTip)
{
    m_list.SetExtendedStyle(LVS_EX_INFOTIP | LVS_EX_LABELTIP);
    m_list.m_bSubItemTips = TRUE;
    m_parent.SetForegroundWindow();
    PumpUntilIdle();
    auto moveTo = [&](int item, int column) {
        CRect label;
        m_list.GetCellRect(item, column, LVIR_LABEL, label);
        const CPoint at(label.left + 8, label.CenterPoint().y);
        m_list.PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        PumpUntilIdle(50);
    };
    moveTo(0, 1);
    EXPECT_EQ(m_list.m_cellTipsAsked, 1);
    EXPECT_EQ(TipText(*m_list.m_pToolTip, m_list), L"cell tip 0,1");
    EXPECT_EQ(TipText(*m_list.m_pLabelTip, m_list), std::wstring(m_list.GetItemText(0, 1)))
        << "the cut cell's own text in the label tip";
    moveTo(0, 2);
    EXPECT_EQ(m_list.m_cellTipsAsked, 2) << "every cell is asked for";
    EXPECT_EQ(TipText(*m_list.m_pLabelTip, m_list), L"cell tip 0,2") << "the program's text, not the cell's";
    moveTo(0, 2);
    EXPECT_EQ(m_list.m_cellTipsAsked, 2) << "the same cell is not asked again";
}

TEST_F(LabelTipTest, TipsAreTopMostInATopMostWindowOnly)
{
    // Wine does not make a window top-most after its creation: this one is created so.
    CWnd top;
    ASSERT_TRUE(top.CreateEx(WS_EX_TOPMOST, AfxRegisterWndClass(0), L"top-most", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300,
                             nullptr, nullptr));
    CTipList inTop;
    ASSERT_TRUE(Make(inTop, WS_VISIBLE | LVS_REPORT, &top));
    for (CTipList* pList : {&inTop, &m_list})
    {
        const bool topMost = pList == &inTop;
        SCOPED_TRACE(topMost ? "in the top-most window" : "in a plain window");
        pList->SetFocus(); // the check waits for the focus
        pList->PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
        PumpUntilIdle();
        EXPECT_EQ((pList->m_pToolTip->GetExStyle() & WS_EX_TOPMOST) != 0, topMost);
        EXPECT_EQ((pList->m_pLabelTip->GetExStyle() & WS_EX_TOPMOST) != 0, topMost);
    }
    inTop.DestroyWindow();
}

TEST_F(LabelTipTest, TheLabelTipCastsNoShadowAndFallsBackToThePlainClass)
{
    EXPECT_EQ(ClassOf(m_list.m_pLabelTip->m_hWnd), CLabelTipCtrl::kShadowlessClass);
    WNDCLASSEXW copy{};
    copy.cbSize = sizeof(copy);
    ASSERT_TRUE(::GetClassInfoExW(AfxGetInstanceHandle(), CLabelTipCtrl::kShadowlessClass, &copy));
    EXPECT_EQ(copy.style & CS_DROPSHADOW, 0u);

    CTipWithoutClassCopy tip(&m_list);
    ASSERT_TRUE(tip.Create(&m_list));
    EXPECT_EQ(ClassOf(tip.m_hWnd), CLabelTipCtrl::kPlainClass);
    EXPECT_TRUE(tip.GetClassName().empty()) << "nothing of its own to unregister";
}
} // namespace
