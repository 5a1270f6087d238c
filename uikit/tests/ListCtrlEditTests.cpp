// The editable list and its in-place editors, driven as a user would through a dialog that answers
// the list from a table of cells and editor types: opening, typing and ending, the parent's
// verdicts, keyboard navigation, deleting rows, the combos, the pickers and the hosting program's
// find combo, and what is freed when.
#include "framework/CComboBox.h"
#include "framework/CDateTimeCtrl.h"
#include "framework/CSelectObject.h"
#include "framework/testing/CDialogTemplateBuilder.h"
#include "framework/testing/CPixelCanvas.h"
#include "framework/testing/CRecordingParent.h"
#include "framework/testing/DrawItemRequest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "uikit/CInPlaceCombobox.h"
#include "uikit/CListCtrlEdit.h"
#include "uikit/CListEditCounters.h"
#include "uikit/DELETEROWQUERY.h"
#include "uikit/EDITCELLQUERY.h"
#include "uikit/EDITCELLRESULT.h"
#include "uikit/FILLCOMBOREQUEST.h"
#include "uikit/UikitMessages.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr UINT IDC_LIST = 401;
const CRect kListRect(0, 0, 380, 250);
using Cell = std::pair<int, int>;

// A dialog as the hosting programs have one: the dialog manager sees the keys (IsDialogMessage).
class CEditDialog : public CRecordingParent
{
public:
    BOOL PreTranslateMessage(MSG* pMsg) override { return ::IsDialogMessageW(m_hWnd, pMsg); }
};

struct SeenQuery
{
    int item, column;
    std::wstring text;
    bool operator==(const SeenQuery&) const = default;
};

struct SeenEnd
{
    int item, column;
    std::wstring oldText, newText;
    int comboSel;
    COleDateTime dateTime;
    UINT editorId;
};

std::wstring Text(const CListCtrlEdit& list, int item, int column)
{
    return static_cast<LPCWSTR>(list.GetItemText(item, column));
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(hWnd, text, 256);
    return text;
}

CRect ChildRectInParent(HWND hChild)
{
    CRect rect;
    ::GetWindowRect(hChild, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(hChild), reinterpret_cast<LPPOINT>(&rect), 2);
    return rect;
}

// The hosting program's find combo as a test double: it records what the list gave it and ends
// the edit itself when it loses the focus.
class CFakeFindCombo : public CComboBox, public IListFindCombo
{
public:
    static inline int s_nLive = 0;
    static inline CFakeFindCombo* s_pLast = nullptr;
    CFakeFindCombo()
    {
        ++s_nLive;
        s_pLast = this;
    }
    ~CFakeFindCombo() override
    {
        --s_nLive;
        if (s_pLast == this) s_pLast = nullptr;
    }
    void SetEditTarget(CWnd* pListParent, int nItem, int nColumn) override
    {
        m_hTarget = AfxGetSafeHwnd(pListParent);
        m_nItem = nItem;
        m_nColumn = nColumn;
    }
    BOOL CreateCombo(DWORD dwStyle, const RECT& rect, CWnd* pList, UINT nID) override
    {
        m_dwStyle = dwStyle;
        return Create(dwStyle, rect, pList, nID);
    }
    CComboBox* GetComboBox() override { return this; }
    void SetText(LPCWSTR lpszText) override { m_strStart = lpszText; }

    HWND m_hTarget = nullptr;
    int m_nItem = -1, m_nColumn = -1;
    DWORD m_dwStyle = 0;
    std::wstring m_strStart;

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        if (message == WM_COMMAND && HIWORD(wParam) == CBN_KILLFOCUS)
        {
            CListCtrlEdit::NotifyEndEdit(*this, m_nItem, m_nColumn, L"found");
            DestroyWindow();
            return TRUE;
        }
        return CComboBox::OnChildNotify(message, wParam, lParam, pResult);
    }
    void PostNcDestroy() override { delete this; }
};

// One dialog for the suite (a top-level window costs two seconds to take down under Wine), a list
// per test: columns "A" to "C" (widths 60, 70, 80), rows "r<row>c<column>". The dialog answers
// the list from the table of editable cells and records what the list tells it.
class ListCtrlEditTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dialog = new CEditDialog;
        CDialogTemplateBuilder form(L"edit dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 300, 200);
        ASSERT_TRUE(s_dialog->CreateDialogForm(form.Get()));
        // The display's activation arrives late: an edit must not lose its focus to it.
        s_dialog->SetForegroundWindow();
        PumpUntil([] { return ::GetForegroundWindow() == s_dialog->m_hWnd; }, 2000);
        PumpUntilIdle(300);
    }
    static void TearDownTestSuite()
    {
        delete s_dialog;
        s_dialog = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(s_dialog, nullptr);
        AnswerTheList();
        ASSERT_TRUE(Make(m_list, 3, 3));
        PumpUntilIdle();
        m_dialog.Clear();
    }
    void TearDown() override
    {
        m_list.DestroyWindow();
        PumpUntilIdle();
        EXPECT_EQ(CListEditCounters::s_nEditors, 0) << "every editor is freed";
        EXPECT_EQ(CListEditCounters::s_nWatchers, 0);
        EXPECT_EQ(CListEditCounters::s_nDateValues, 0);
        EXPECT_EQ(CListEditCounters::s_nReopens, 0);
    }

    bool Make(CListCtrlEdit& list, int columns, int rows, UINT nId = IDC_LIST)
    {
        if (!list.Create(WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, kListRect, &m_dialog, nId))
            return false;
        const wchar_t* headings[] = {L"A", L"B", L"C"};
        for (int c = 0; c < columns; ++c)
            if (list.InsertColumn(c, headings[c], 60 + 10 * c) != c) return false;
        for (int r = 0; r < rows; ++r)
        {
            if (list.InsertItem(r, (L"r" + std::to_wstring(r) + L"c0").c_str()) != r) return false;
            for (int c = 1; c < columns; ++c)
                if (!list.SetItemText(r, c, (L"r" + std::to_wstring(r) + L"c" + std::to_wstring(c)).c_str()))
                    return false;
        }
        return true;
    }

    void AnswerTheList()
    {
        m_dialog.AnswerMessage(WM_LISTEDIT_QUERY, [this](WPARAM, LPARAM lParam) -> LRESULT {
            auto* pQuery = reinterpret_cast<EDITCELLQUERY*>(lParam);
            m_queries.push_back({pQuery->m_nItem, pQuery->m_nColumn, pQuery->m_strText.GetString()});
            const auto found = m_editable.find({pQuery->m_nItem, pQuery->m_nColumn});
            if (found == m_editable.end()) return 0;
            pQuery->m_bAllow = TRUE;
            pQuery->m_nEditorType = found->second;
            pQuery->m_dateTime = m_queryDate;
            pQuery->m_nComboSel = m_queryComboSel;
            return 0;
        });
        m_dialog.AnswerMessage(WM_LISTEDIT_CHANGE, [this](WPARAM, LPARAM lParam) -> LRESULT {
            m_changes.push_back(reinterpret_cast<const EDITCELLSTATE*>(lParam)->m_strText.GetString());
            return 0;
        });
        m_dialog.AnswerMessage(WM_LISTEDIT_END, [this](WPARAM, LPARAM lParam) -> LRESULT {
            auto* pResult = reinterpret_cast<EDITCELLRESULT*>(lParam);
            m_ends.push_back(
                {pResult->m_nItem, pResult->m_nColumn, pResult->m_strOldText.GetString(),
                 pResult->m_strNewText.GetString(), pResult->m_nComboSel, pResult->m_dateTime,
                 static_cast<UINT>(AfxGetSafeHwnd(pResult->m_pEditor) ? ::GetDlgCtrlID(pResult->m_pEditor->m_hWnd)
                                                                      : 0)});
            if (m_nRejections > 0)
            {
                --m_nRejections;
                pResult->m_bAccept = FALSE;
            }
            if (!m_bWriteCell) pResult->m_bWriteCell = FALSE;
            return 0;
        });
        m_dialog.AnswerMessage(WM_LISTEDIT_DELETE, [this](WPARAM, LPARAM lParam) -> LRESULT {
            auto* pQuery = reinterpret_cast<DELETEROWQUERY*>(lParam);
            m_deleteOffers.push_back(pQuery->m_nItem);
            pQuery->m_bAllow = m_deleteOffers.size() != m_nRefusedOffer;
            return 0;
        });
        m_dialog.AnswerMessage(WM_LISTEDIT_FILLCOMBO, [this](WPARAM, LPARAM lParam) -> LRESULT {
            auto* pRequest = reinterpret_cast<FILLCOMBOREQUEST*>(lParam);
            m_filledCombo = AfxGetSafeHwnd(pRequest->m_pCombo);
            for (const auto& entry : m_entries)
                pRequest->m_pCombo->AddString(entry.c_str());
            return 0;
        });
    }

    // The messages the list sent the dialog, in order.
    std::vector<UINT> SentToDialog() const
    {
        std::vector<UINT> sent;
        for (const auto& seen : m_dialog.Seen())
            if (seen.message >= WM_LISTEDIT_QUERY && seen.message <= WM_LISTEDIT_FILLCOMBO)
                sent.push_back(seen.message);
        return sent;
    }
    HWND Editor(UINT nId) const { return ::GetDlgItem(m_list.m_hWnd, static_cast<int>(nId)); }
    CPoint CellCenter(int item, int column)
    {
        CRect rect;
        m_list.GetCellRect(item, column, LVIR_LABEL, rect);
        return rect.CenterPoint();
    }
    bool IsSelected(int item) const { return (m_list.GetItemState(item, LVIS_SELECTED) & LVIS_SELECTED) != 0; }
    // Ends the open edit the way every ending goes: the focus leaves the editor.
    void FocusList()
    {
        m_list.SetFocus();
        PumpUntilIdle();
    }

    static inline CEditDialog* s_dialog = nullptr;
    CEditDialog& m_dialog = *s_dialog;
    CListCtrlEdit m_list{0};

    std::map<Cell, int> m_editable; // cell -> editor type
    COleDateTime m_queryDate = EDITCELLQUERY::NullDate();
    int m_queryComboSel = -1;
    std::vector<std::wstring> m_entries;
    int m_nRejections = 0;
    bool m_bWriteCell = true;
    size_t m_nRefusedOffer = 0; // 1-based; 0 refuses none

    std::vector<SeenQuery> m_queries;
    std::vector<std::wstring> m_changes;
    std::vector<SeenEnd> m_ends;
    std::vector<int> m_deleteOffers;
    HWND m_filledCombo = nullptr;
};

// ---- 1. opening ------------------------------------------------------------------------------

TEST_F(ListCtrlEditTest, ClickOnAnEditableCellOpensTheEditOverItsLabelWithTheTextSelected)
{
    m_editable = {{{1, 1}, CListCtrlEdit::kEditorEdit}};
    ClickAt(m_list, CellCenter(1, 1));
    PumpUntilIdle();

    EXPECT_EQ(m_queries, (std::vector<SeenQuery>{{1, 1, L"r1c1"}}));
    const HWND hEdit = Editor(CListCtrlEdit::kEditId);
    ASSERT_NE(hEdit, nullptr) << "editor 10 is open";
    CRect label;
    ASSERT_TRUE(m_list.GetCellRect(1, 1, LVIR_LABEL, label));
    EXPECT_EQ(ChildRectInParent(hEdit), label);
    EXPECT_EQ(::GetFocus(), hEdit);
    EXPECT_EQ(WindowText(hEdit), L"r1c1");
    DWORD start = 1, end = 0;
    ::SendMessageW(hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 4u) << "all the text is selected";
    EXPECT_TRUE(IsSelected(1));
    EXPECT_TRUE(m_list.IsEditing());
    for (const auto& seen : m_dialog.Seen())
        EXPECT_FALSE(seen.message == WM_NOTIFY && seen.code == static_cast<LONG_PTR>(NM_CLICK))
            << "the click that opened the editor does not reach the control";
    FocusList();
}

TEST_F(ListCtrlEditTest, ClickOnARefusedCellOnlySelectsItsRow)
{
    m_editable = {{{1, 1}, CListCtrlEdit::kEditorEdit}};
    ClickAt(m_list, CellCenter(2, 0));
    PumpUntilIdle();
    EXPECT_EQ(m_queries, (std::vector<SeenQuery>{{2, 0, L"r2c0"}}));
    EXPECT_EQ(Editor(CListCtrlEdit::kEditId), nullptr);
    EXPECT_FALSE(m_list.IsEditing());
    EXPECT_TRUE(IsSelected(2));
}

TEST_F(ListCtrlEditTest, StartMode1OpensOnADoubleClickOnly)
{
    CListCtrlEdit list(1);
    ASSERT_TRUE(Make(list, 3, 3, IDC_LIST + 1));
    m_editable = {{{0, 2}, CListCtrlEdit::kEditorEdit}};
    CRect label;
    ASSERT_TRUE(list.GetCellRect(0, 2, LVIR_LABEL, label));
    m_dialog.Clear();
    ClickAt(list, label.CenterPoint());
    PumpUntilIdle();
    EXPECT_TRUE(m_queries.empty()) << "a single click asks nothing";
    EXPECT_EQ(::GetDlgItem(list.m_hWnd, CListCtrlEdit::kEditId), nullptr);

    list.PostMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(label.CenterPoint().x, label.CenterPoint().y));
    PumpUntilIdle();
    EXPECT_EQ(m_queries, (std::vector<SeenQuery>{{0, 2, L"r0c2"}}));
    EXPECT_NE(::GetDlgItem(list.m_hWnd, CListCtrlEdit::kEditId), nullptr);
    list.SetFocus();
    PumpUntilIdle();
    list.DestroyWindow();
}

TEST_F(ListCtrlEditTest, CellsThatCannotBeEditedOpenNothingAndRecordNothing)
{
    struct Case
    {
        Cell cell;
        int type;
        bool allowed;
        const char* why;
    };
    const Case cases[] = {
        {{0, 1}, CListCtrlEdit::kEditorEdit, false, "the parent refuses"},
        {{99, 0}, CListCtrlEdit::kEditorEdit, true, "a row that cannot be made visible"},
        {{0, 3}, CListCtrlEdit::kEditorEdit, true, "a column out of range"},
        {{0, 1}, CListCtrlEdit::kEditorEdit, true, "a column 4 pixels wide"},
        {{0, 2}, 8, true, "an editor type beyond 7"},
        {{0, 2}, -1, true, "a negative editor type"},
        {{0, 2}, CListCtrlEdit::kEditorFindCombo, true, "a find combo without a factory"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_list.SetColumnWidth(1, std::string(c.why).find("4 pixels") != std::string::npos ? 4 : 70);
        m_editable.clear();
        if (c.allowed) m_editable[c.cell] = c.type;
        m_editable[{1, 0}] = CListCtrlEdit::kEditorEdit;
        m_dialog.Clear();
        EXPECT_EQ(m_list.EditCell(c.cell.first, c.cell.second), nullptr);
        PumpUntilIdle();
        EXPECT_EQ(SentToDialog(), (std::vector<UINT>{WM_LISTEDIT_QUERY})) << "the query and nothing more";
        EXPECT_FALSE(m_list.IsEditing());
        EXPECT_EQ(CListEditCounters::s_nEditors, 0);

        // Nothing recorded: the next edit opens.
        CWnd* pEditor = m_list.EditCell(1, 0);
        ASSERT_NE(pEditor, nullptr);
        EXPECT_EQ(pEditor->m_hWnd, Editor(CListCtrlEdit::kEditId));
        FocusList();
    }
}

TEST_F(ListCtrlEditTest, WithAColumnHiddenTheEditorOpensOverTheRightCell)
{
    ASSERT_TRUE(m_list.EnableColumnHiding(1, TRUE));
    m_list.ShowColumn(1, FALSE);
    m_editable = {{{2, 2}, CListCtrlEdit::kEditorEdit}};
    ClickAt(m_list, CellCenter(2, 2));
    PumpUntilIdle();
    EXPECT_EQ(m_queries, (std::vector<SeenQuery>{{2, 2, L"r2c2"}}));
    const HWND hEdit = Editor(CListCtrlEdit::kEditId);
    ASSERT_NE(hEdit, nullptr);
    CRect label;
    ASSERT_TRUE(m_list.GetCellRect(2, 2, LVIR_LABEL, label));
    EXPECT_EQ(ChildRectInParent(hEdit), label);
    EXPECT_EQ(WindowText(hEdit), L"r2c2");
    for (wchar_t ch : std::wstring(L"new"))
        TypeChar(*CWnd::FromHandle(hEdit), ch);
    PumpUntilIdle();
    FocusList();
    EXPECT_EQ(Text(m_list, 2, 2), L"new") << "the cell beyond the hidden column is written";
    EXPECT_EQ(Text(m_list, 2, 1), L"r2c1");
}

TEST_F(ListCtrlEditTest, ACellBeyondTheRightEdgeIsScrolledInByItsOwnPlace)
{
    ASSERT_TRUE(m_list.SetColumnWidth(1, 400));
    m_editable = {{{0, 2}, CListCtrlEdit::kEditorEdit}};
    struct Case
    {
        bool reordered;
        bool scrolls;
        const char* why;
    };
    // Reordered, column 2 is displayed first: the widths of the columns before it in index order
    // say nothing about where it is.
    const Case cases[] = {{true, false, "displayed first: nothing to scroll"},
                          {false, true, "beyond the right edge: scrolled to the left edge"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        int order[] = {0, 1, 2};
        if (c.reordered) order[0] = 2, order[1] = 0, order[2] = 1;
        ASSERT_TRUE(m_list.SetColumnOrderArray(3, order));
        m_list.Scroll(CSize(-2000, 0));
        PumpUntilIdle();
        CWnd* pEdit = m_list.EditCell(0, 2);
        ASSERT_NE(pEdit, nullptr);
        PumpUntilIdle();
        EXPECT_EQ(m_list.GetScrollPos(SB_HORZ) > 0, c.scrolls);
        CRect label, client;
        ASSERT_TRUE(m_list.GetCellRect(0, 2, LVIR_LABEL, label));
        m_list.GetClientRect(&client);
        EXPECT_EQ(ChildRectInParent(pEdit->m_hWnd), label);
        EXPECT_TRUE(client.PtInRect(label.TopLeft())) << "the editor is in sight";
        FocusList();
    }
}

// ---- 2. typing and ending ------------------------------------------------------------------

TEST_F(ListCtrlEditTest, TypingReportsTheTextAndGrowsTheEditorUpToTheListsEdge)
{
    m_editable = {{{0, 0}, CListCtrlEdit::kEditorEdit}};
    CWnd* pEdit = m_list.EditCell(0, 0);
    ASSERT_NE(pEdit, nullptr);
    m_dialog.Clear();
    TypeChar(*pEdit, L'x');
    PumpUntilIdle();
    EXPECT_EQ(m_changes, (std::vector<std::wstring>{L"x"}));
    EXPECT_EQ(m_list.GetEditState().m_strText, CString(L"x"));

    const int before = ChildRectInParent(pEdit->m_hWnd).Width();
    for (int i = 0; i < 8; ++i)
        TypeChar(*pEdit, L'W');
    PumpUntilIdle();
    const CRect grown = ChildRectInParent(pEdit->m_hWnd);
    EXPECT_GT(grown.Width(), before) << "the editor grew with the text";
    for (int i = 0; i < 60; ++i)
        TypeChar(*pEdit, L'W');
    PumpUntilIdle();
    CRect client;
    m_list.GetClientRect(&client);
    EXPECT_EQ(ChildRectInParent(pEdit->m_hWnd).right, client.right) << "never past the list's right edge";
    EXPECT_EQ(m_changes.size(), 69u);
    FocusList();
}

TEST_F(ListCtrlEditTest, TheEndOfAnEditGoesToTheParentWhichMayKeepTheCellOrHaveItOpenedAgain)
{
    struct Case
    {
        bool writeCell;
        int rejections;
        const wchar_t* cellAfter;
        const char* why;
    };
    const Case cases[] = {
        {true, 0, L"new", "accepted: the list writes the cell"},
        {false, 0, L"r1c1", "write cell cleared: the parent writes it, the list does not"},
        {true, 1, L"new", "rejected: the editor opens again with the rejected text"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_list.SetItemText(1, 1, L"r1c1");
        m_editable = {{{1, 1}, CListCtrlEdit::kEditorEdit}};
        m_bWriteCell = c.writeCell;
        m_nRejections = c.rejections;
        m_ends.clear();
        CWnd* pEdit = m_list.EditCell(1, 1);
        ASSERT_NE(pEdit, nullptr);
        for (wchar_t ch : std::wstring(L"new"))
            TypeChar(*pEdit, ch);
        PumpUntilIdle();
        FocusList();
        ASSERT_EQ(m_ends.size(), 1u);
        EXPECT_EQ(m_ends[0].item, 1);
        EXPECT_EQ(m_ends[0].column, 1);
        EXPECT_EQ(m_ends[0].oldText, L"r1c1");
        EXPECT_EQ(m_ends[0].newText, L"new");
        EXPECT_EQ(m_ends[0].editorId, CListCtrlEdit::kEditId) << "the result names the editor";
        if (c.rejections)
        {
            const HWND hEdit = Editor(CListCtrlEdit::kEditId);
            ASSERT_NE(hEdit, nullptr) << "the editor is open again";
            EXPECT_EQ(WindowText(hEdit), L"new");
            EXPECT_EQ(m_list.GetEditState().m_nItem, 1);
            EXPECT_EQ(m_list.GetEditState().m_nColumn, 1);
            EXPECT_EQ(m_list.GetEditState().m_strReopenText, CString(L"new"));
            EXPECT_EQ(Text(m_list, 1, 1), L"r1c1");
            PressKey(*CWnd::FromHandle(hEdit), VK_END);
            TypeChar(*CWnd::FromHandle(hEdit), L'!');
            PumpUntilIdle();
            FocusList();
            EXPECT_EQ(Text(m_list, 1, 1), L"new!");
        }
        else
            EXPECT_EQ(Text(m_list, 1, 1), c.cellAfter);
        EXPECT_FALSE(m_list.IsEditing());
        EXPECT_EQ(Editor(CListCtrlEdit::kEditId), nullptr);
    }
}

TEST_F(ListCtrlEditTest, EscEndsTheEditWithTheOldTextAsNewText)
{
    m_editable = {{{2, 1}, CListCtrlEdit::kEditorEdit}};
    CWnd* pEdit = m_list.EditCell(2, 1);
    ASSERT_NE(pEdit, nullptr);
    TypeChar(*pEdit, L'x');
    PumpUntilIdle();
    PressKey(*pEdit, VK_ESCAPE);
    PumpUntilIdle();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(m_ends[0].newText, L"r2c1");
    EXPECT_EQ(Text(m_list, 2, 1), L"r2c1");
    EXPECT_EQ(::GetFocus(), m_list.m_hWnd);
    for (const auto& seen : m_dialog.Seen())
        EXPECT_FALSE(seen.message == WM_COMMAND && seen.id == IDCANCEL) << "the dialog did not take the Esc";
}

TEST_F(ListCtrlEditTest, EnterEndsTheEditWithTheTextTyped)
{
    m_editable = {{{2, 1}, CListCtrlEdit::kEditorEdit}};
    CWnd* pEdit = m_list.EditCell(2, 1);
    ASSERT_NE(pEdit, nullptr);
    TypeChar(*pEdit, L'x');
    PressKey(*pEdit, VK_RETURN);
    PumpUntilIdle();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(Text(m_list, 2, 1), L"x");
    for (const auto& seen : m_dialog.Seen())
        EXPECT_FALSE(seen.message == WM_COMMAND && seen.id == IDOK) << "the dialog did not take the Enter";
}

TEST_F(ListCtrlEditTest, AWheelOrAScrollEndsTheEdit)
{
    const std::pair<UINT, WPARAM> scrolls[] = {{WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA))},
                                               {WM_VSCROLL, SB_LINEDOWN},
                                               {WM_HSCROLL, SB_LINERIGHT}};
    for (const auto& [message, wParam] : scrolls)
    {
        SCOPED_TRACE(message);
        m_editable = {{{0, 1}, CListCtrlEdit::kEditorEdit}};
        m_ends.clear();
        ASSERT_NE(m_list.EditCell(0, 1), nullptr);
        CRect window;
        m_list.GetWindowRect(&window);
        m_list.PostMessage(message, wParam,
                           message == WM_MOUSEWHEEL ? MAKELPARAM(window.left + 5, window.top + 40) : 0);
        PumpUntilIdle();
        EXPECT_EQ(m_ends.size(), 1u);
        EXPECT_FALSE(m_list.IsEditing());
        EXPECT_EQ(Editor(CListCtrlEdit::kEditId), nullptr);
    }
}

// ---- 3. navigation ---------------------------------------------------------------------------

TEST_F(ListCtrlEditTest, TabMovesToTheNextEditableCellAndPastTheLastOpensNone)
{
    m_editable = {{{0, 0}, 0}, {{0, 2}, 0}, {{2, 1}, 0}};
    CWnd* pEdit = m_list.EditCell(0, 0);
    ASSERT_NE(pEdit, nullptr);
    const std::vector<Cell> expected = {{0, 2}, {2, 1}};
    for (const Cell& next : expected)
    {
        PressKey(*CWnd::FromHandle(Editor(CListCtrlEdit::kEditId)), VK_TAB);
        PumpUntilIdle();
        ASSERT_TRUE(m_list.IsEditing());
        EXPECT_EQ((Cell{m_list.GetEditState().m_nItem, m_list.GetEditState().m_nColumn}), next);
        EXPECT_NE(Editor(CListCtrlEdit::kEditId), nullptr);
    }
    PressKey(*CWnd::FromHandle(Editor(CListCtrlEdit::kEditId)), VK_TAB);
    PumpUntilIdle();
    EXPECT_FALSE(m_list.IsEditing()) << "Tab from the last editable cell closes the editor";
    EXPECT_EQ(Editor(CListCtrlEdit::kEditId), nullptr);
    EXPECT_EQ(m_ends.size(), 3u);
}

TEST_F(ListCtrlEditTest, UpWithNoEditableCellAboveOpensNone)
{
    m_editable = {{{0, 0}, 0}, {{0, 2}, 0}, {{2, 1}, 0}};
    ASSERT_NE(m_list.EditCell(2, 1), nullptr);
    m_queries.clear();
    PressKey(*CWnd::FromHandle(Editor(CListCtrlEdit::kEditId)), VK_UP);
    PumpUntilIdle();
    EXPECT_FALSE(m_list.IsEditing());
    EXPECT_EQ(m_queries, (std::vector<SeenQuery>{{1, 1, L"r1c1"}, {0, 1, L"r0c1"}})) << "the column upwards";
}

TEST_F(ListCtrlEditTest, ShiftTabAndDownPassRefusedCellsRowByRow)
{
    m_editable = {{{0, 0}, 0}, {{0, 2}, 0}, {{2, 1}, 0}, {{2, 2}, 0}};
    struct Case
    {
        UINT key;
        bool shift;
        Cell from;
        std::optional<Cell> to;
        const char* why;
    };
    const Case cases[] = {
        {VK_TAB, true, {2, 1}, Cell{0, 2}, "backwards over row 1 to the last column of row 0"},
        {VK_TAB, true, {0, 0}, std::nullopt, "before the first cell: none"},
        {VK_DOWN, false, {0, 2}, Cell{2, 2}, "down the column over a refused cell"},
        {VK_DOWN, false, {2, 2}, std::nullopt, "below the last row: none"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        ASSERT_NE(m_list.EditCell(c.from.first, c.from.second), nullptr);
        // The list reads Shift from the thread's key state, as it would after a real key press.
        BYTE keys[256] = {};
        ASSERT_TRUE(::GetKeyboardState(keys));
        const BYTE shiftBefore = keys[VK_SHIFT];
        keys[VK_SHIFT] = c.shift ? 0x80 : 0;
        ASSERT_TRUE(::SetKeyboardState(keys));
        PressKey(*CWnd::FromHandle(Editor(CListCtrlEdit::kEditId)), c.key);
        PumpUntilIdle();
        keys[VK_SHIFT] = shiftBefore;
        ::SetKeyboardState(keys);
        if (c.to)
        {
            ASSERT_TRUE(m_list.IsEditing());
            EXPECT_EQ((Cell{m_list.GetEditState().m_nItem, m_list.GetEditState().m_nColumn}), *c.to);
            FocusList();
        }
        else
        {
            EXPECT_FALSE(m_list.IsEditing());
            EXPECT_EQ(Editor(CListCtrlEdit::kEditId), nullptr);
        }
    }
}

TEST_F(ListCtrlEditTest, TabPassesOverAHiddenColumnAndReachesTheColumnsAfterIt)
{
    ASSERT_TRUE(m_list.EnableColumnHiding(1, TRUE));
    m_list.ShowColumn(1, FALSE);
    m_editable = {{{0, 0}, 0}, {{0, 1}, 0}, {{0, 2}, 0}};
    ASSERT_NE(m_list.EditCell(0, 0), nullptr);
    m_queries.clear();
    PressKey(*CWnd::FromHandle(Editor(CListCtrlEdit::kEditId)), VK_TAB);
    PumpUntilIdle();
    ASSERT_TRUE(m_list.IsEditing());
    EXPECT_EQ(m_list.GetEditState().m_nColumn, 2);
    for (const auto& query : m_queries)
        EXPECT_NE(query.column, 1) << "the hidden column is not offered";
    FocusList();
}

TEST_F(ListCtrlEditTest, TabAfterARejectedEditStaysOnTheRejectedCell)
{
    m_editable = {{{0, 0}, 0}, {{0, 2}, 0}};
    m_nRejections = 1;
    CWnd* pEdit = m_list.EditCell(0, 0);
    ASSERT_NE(pEdit, nullptr);
    TypeChar(*pEdit, L'x');
    PumpUntilIdle();
    PressKey(*pEdit, VK_TAB);
    PumpUntilIdle();
    ASSERT_TRUE(m_list.IsEditing()) << "the rejected edit is open again";
    EXPECT_EQ((Cell{m_list.GetEditState().m_nItem, m_list.GetEditState().m_nColumn}), (Cell{0, 0}));
    EXPECT_EQ(WindowText(Editor(CListCtrlEdit::kEditId)), L"x");
    FocusList();
}

// ---- 4. deleting rows ------------------------------------------------------------------------

TEST_F(ListCtrlEditTest, DeleteOffersTheSelectedRowsByTheirCurrentIndex)
{
    struct Case
    {
        size_t refusedOffer;
        std::vector<int> offers;
        std::vector<int> gone;
    };
    const Case cases[] = {{0, {2, 4, 5}, {2, 5, 7}}, {2, {2, 4, 6}, {2, 7}}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.refusedOffer);
        CListCtrlEdit list(0);
        ASSERT_TRUE(Make(list, 3, 10, IDC_LIST + 1));
        for (int row : {2, 5, 7})
            list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
        m_nRefusedOffer = c.refusedOffer;
        m_deleteOffers.clear();
        list.SetFocus();
        PressKey(list, VK_DELETE);
        PumpUntilIdle();
        EXPECT_EQ(m_deleteOffers, c.offers);
        std::vector<std::wstring> expected;
        for (int r = 0; r < 10; ++r)
            if (std::find(c.gone.begin(), c.gone.end(), r) == c.gone.end())
                expected.push_back(L"r" + std::to_wstring(r) + L"c0");
        std::vector<std::wstring> rows;
        for (int r = 0; r < list.GetItemCount(); ++r)
            rows.push_back(Text(list, r, 0));
        EXPECT_EQ(rows, expected);
        list.DestroyWindow();
    }
}

// ---- 5. combos -------------------------------------------------------------------------------

TEST_F(ListCtrlEditTest, ADescribedEntryShowsItsDescriptionInGreyAndGivesItsMainTextAsValue)
{
    // Plain pixels: the grey of the description must be the system's colour itself.
    CGdiHandle<HFONT> font(::CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH,
                                         L"Tahoma"));
    m_list.SetFontHandle(font);
    m_editable = {{{0, 1}, CListCtrlEdit::kEditorDescribedList}};
    m_entries = {L"Red\tstop", L"Blue"};
    CWnd* pEditor = m_list.EditCell(0, 1);
    ASSERT_NE(pEditor, nullptr);
    auto* pCombo = dynamic_cast<CInPlaceCombobox*>(pEditor);
    ASSERT_NE(pCombo, nullptr);
    EXPECT_EQ(pCombo->GetCount(), 3) << "the cell's text was added";
    EXPECT_EQ(pCombo->GetCurSel(), 2);

    CPixelCanvas canvas(200, 24, ::GetSysColor(COLOR_WINDOW));
    CSelectObject selected(canvas.GetDC(), font.Get());
    DRAWITEMSTRUCT request = DrawItemRequest(pCombo->m_hWnd, canvas.GetDC(), CRect(0, 0, 200, 24), ODT_COMBOBOX, 0, 0);
    pCombo->DrawItem(&request);
    SIZE red{};
    ::GetTextExtentPoint32W(canvas.GetDC(), L"Red", 3, &red);
    const COLORREF grey = ::GetSysColor(COLOR_GRAYTEXT);
    EXPECT_FALSE(canvas.AnyPixelOf(grey, CRect(0, 0, 2 + red.cx, 24))) << "the main text is not grey";
    EXPECT_TRUE(canvas.AnyPixelOf(::GetSysColor(COLOR_WINDOWTEXT), CRect(0, 0, 2 + red.cx, 24)));
    EXPECT_GT(canvas.CountPixels(grey, CRect(2 + red.cx, 0, 200, 24)), 10) << "\" - stop\" in grey after it";

    pCombo->ShowDropDown(TRUE);
    PressKey(*pCombo, VK_DOWN); // from the added entry, the last, round to the first
    PumpUntilIdle();
    EXPECT_EQ(pCombo->GetCurSel(), 0) << "Down wraps";
    PressKey(*pCombo, VK_UP);
    PumpUntilIdle();
    EXPECT_EQ(pCombo->GetCurSel(), 2) << "Up wraps";
    PressKey(*pCombo, VK_DOWN);
    PressKey(*pCombo, VK_RETURN); // closes the list
    PumpUntilIdle();
    EXPECT_FALSE(pCombo->GetDroppedState());
    ASSERT_TRUE(m_list.IsEditing());
    PressKey(*pCombo, VK_RETURN); // ends the edit
    PumpUntilIdle();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(m_ends[0].newText, L"Red");
    EXPECT_EQ(Text(m_list, 0, 1), L"Red");
}

TEST_F(ListCtrlEditTest, SelectOrAddFindsAnEntryByItsMainTextOrAddsIt)
{
    m_editable = {{{0, 1}, CListCtrlEdit::kEditorDescribedList}};
    m_entries = {L"Red\tstop", L"Blue\tgo"};
    auto* pCombo = dynamic_cast<CInPlaceCombobox*>(m_list.EditCell(0, 1));
    ASSERT_NE(pCombo, nullptr);
    struct Case
    {
        const wchar_t* text;
        int selected;
        int count;
    };
    const Case cases[] = {{L"BLUE", 1, 3}, {L"red", 0, 3}, {L"Green", 3, 4}, {L"Red\tstop", 4, 5}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.text);
        pCombo->SelectOrAdd(c.text);
        EXPECT_EQ(pCombo->GetCurSel(), c.selected);
        EXPECT_EQ(pCombo->GetCount(), c.count);
        EXPECT_EQ(::GetFocus(), pCombo->m_hWnd);
    }
    PressKey(*pCombo, VK_ESCAPE);
    PumpUntilIdle();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(m_ends[0].newText, L"r0c1") << "Esc reports nothing";
}

TEST_F(ListCtrlEditTest, TypingInAnEditableComboReportsNothingUntilTheEnd)
{
    m_editable = {{{1, 2}, CListCtrlEdit::kEditorDescribedCombo}};
    m_entries = {L"one", L"two"};
    auto* pCombo = dynamic_cast<CInPlaceCombobox*>(m_list.EditCell(1, 2));
    ASSERT_NE(pCombo, nullptr);
    const HWND hEdit = ::GetWindow(pCombo->m_hWnd, GW_CHILD);
    ASSERT_NE(hEdit, nullptr);
    ::SendMessageW(hEdit, EM_SETSEL, 0, -1);
    for (wchar_t ch : std::wstring(L"six"))
        ::PostMessageW(hEdit, WM_CHAR, ch, 1);
    PumpUntilIdle();
    EXPECT_TRUE(m_changes.empty());
    FocusList();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(m_ends[0].newText, L"six");
}

TEST_F(ListCtrlEditTest, APlainComboIsFilledByTheParentAndReportsTheEntryChosen)
{
    m_editable = {{{1, 1}, CListCtrlEdit::kEditorCombo}};
    m_entries = {L"A", L"r1c1", L"B"};
    CWnd* pEditor = m_list.EditCell(1, 1);
    ASSERT_NE(pEditor, nullptr);
    EXPECT_EQ(m_filledCombo, pEditor->m_hWnd) << "the request carried the combo";
    auto* pCombo = static_cast<CComboBox*>(pEditor);
    EXPECT_EQ(pCombo->GetDlgCtrlID(), static_cast<int>(CListCtrlEdit::kComboId));
    EXPECT_EQ(pCombo->GetCurSel(), 1) << "the entry that equals the cell's text";
    EXPECT_TRUE(pCombo->IsWindowVisible());
    EXPECT_TRUE(pCombo->GetDroppedState());
    EXPECT_EQ(::GetFocus(), pCombo->m_hWnd);
    CRect label;
    ASSERT_TRUE(m_list.GetCellRect(1, 1, LVIR_LABEL, label));
    EXPECT_EQ(ChildRectInParent(pCombo->m_hWnd).Width(), label.Width());

    PressKey(*pCombo, VK_DOWN);
    PressKey(*pCombo, VK_RETURN);
    PumpUntilIdle();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(m_ends[0].comboSel, 2);
    EXPECT_EQ(m_ends[0].newText, L"B");
    EXPECT_EQ(Text(m_list, 1, 1), L"B");
    EXPECT_EQ(CListEditCounters::s_nEditors, 0) << "the watcher freed the combo";
}

TEST_F(ListCtrlEditTest, APlainComboCancelledGoesBackToTheCellsEntry)
{
    m_editable = {{{1, 1}, CListCtrlEdit::kEditorCombo}};
    m_entries = {L"A", L"r1c1", L"B"};
    CWnd* pEditor = m_list.EditCell(1, 1);
    ASSERT_NE(pEditor, nullptr);
    PressKey(*pEditor, VK_DOWN);
    PumpUntilIdle();
    EXPECT_EQ(static_cast<CComboBox*>(pEditor)->GetCurSel(), 2);
    PressKey(*pEditor, VK_ESCAPE);
    PumpUntilIdle();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(m_ends[0].comboSel, 1);
    EXPECT_EQ(m_ends[0].newText, L"r1c1");
    EXPECT_EQ(Text(m_list, 1, 1), L"r1c1");
}

TEST_F(ListCtrlEditTest, TheQuerysSelectionChoosesThePlainCombosEntry)
{
    m_editable = {{{1, 1}, CListCtrlEdit::kEditorCombo}};
    m_entries = {L"A", L"r1c1", L"B"};
    m_queryComboSel = 0;
    CWnd* pEditor = m_list.EditCell(1, 1);
    ASSERT_NE(pEditor, nullptr);
    EXPECT_EQ(static_cast<CComboBox*>(pEditor)->GetCurSel(), 0);
    FocusList();
}

TEST_F(ListCtrlEditTest, TheHostsFindComboIsTargetedFilledAndEndsTheEditItself)
{
    m_list.SetFindComboFactory([] { return std::make_unique<CFakeFindCombo>(); });
    m_editable = {{{2, 2}, CListCtrlEdit::kEditorFindCombo}};
    m_entries = {L"x", L"y"};
    CWnd* pEditor = m_list.EditCell(2, 2);
    ASSERT_NE(pEditor, nullptr);
    CFakeFindCombo* pFind = CFakeFindCombo::s_pLast;
    ASSERT_NE(pFind, nullptr);
    EXPECT_EQ(pEditor, static_cast<CWnd*>(pFind));
    EXPECT_EQ(pFind->m_hTarget, m_dialog.m_hWnd);
    EXPECT_EQ(pFind->m_nItem, 2);
    EXPECT_EQ(pFind->m_nColumn, 2);
    EXPECT_EQ(pFind->m_dwStyle & CBS_DROPDOWNLIST, static_cast<DWORD>(CBS_DROPDOWNLIST));
    EXPECT_EQ(pFind->GetDlgCtrlID(), static_cast<int>(CListCtrlEdit::kComboId));
    EXPECT_EQ(pFind->GetFontHandle(), m_list.GetFontHandle());
    EXPECT_EQ(m_filledCombo, pFind->m_hWnd);
    EXPECT_EQ(pFind->GetCount(), 2);
    EXPECT_EQ(pFind->m_strStart, L"r2c2");
    EXPECT_TRUE(pFind->IsWindowVisible());
    EXPECT_TRUE(pFind->GetDroppedState());
    EXPECT_EQ(::GetFocus(), pFind->m_hWnd);
    FocusList();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(m_ends[0].newText, L"found");
    EXPECT_EQ(Text(m_list, 2, 2), L"found");
    EXPECT_EQ(CFakeFindCombo::s_nLive, 0) << "the find combo deleted itself";
}

// ---- 6. pickers ------------------------------------------------------------------------------

TEST_F(ListCtrlEditTest, PickersShowTheirFormatAndEndLikeEnterOnEsc)
{
    struct Case
    {
        int type;
        COleDateTime value;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {CListCtrlEdit::kEditorDate, COleDateTime(2024, 3, 7, 0, 0, 0), L"7/03/2024"},
        {CListCtrlEdit::kEditorTime, COleDateTime(2024, 3, 7, 9, 5, 0), L"9:05"},
        {CListCtrlEdit::kEditorDateTime, COleDateTime(2024, 11, 17, 14, 30, 0), L"17/11/2024 14:30"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.type);
        m_editable = {{{0, 2}, c.type}};
        m_queryDate = c.value;
        m_ends.clear();
        CWnd* pEditor = m_list.EditCell(0, 2);
        ASSERT_NE(pEditor, nullptr);
        ASSERT_EQ(pEditor->m_hWnd, Editor(CListCtrlEdit::kPickerId));
        auto* pPicker = static_cast<CDateTimeCtrl*>(pEditor);
        COleDateTime read;
        ASSERT_TRUE(pPicker->GetTime(read));
        EXPECT_EQ(read.GetYear(), c.value.GetYear());
        EXPECT_EQ(read.GetMonth(), c.value.GetMonth());
        EXPECT_EQ(read.GetDay(), c.value.GetDay());
        EXPECT_EQ(WindowText(pPicker->m_hWnd), c.shown) << "the fixed format";
        EXPECT_TRUE(pPicker->GetStyle() & DTS_UPDOWN);
        EXPECT_NE(::FindWindowExW(pPicker->m_hWnd, nullptr, UPDOWN_CLASSW, nullptr), nullptr) << "spin buttons";
        CRect label;
        ASSERT_TRUE(m_list.GetCellRect(0, 2, LVIR_LABEL, label));
        EXPECT_EQ(ChildRectInParent(pPicker->m_hWnd).Height(), label.Height() + 1);
        EXPECT_EQ(::GetFocus(), pPicker->m_hWnd);
        EXPECT_EQ(CListEditCounters::s_nWatchers, 1);

        PressKey(*pPicker, VK_ESCAPE);
        PumpUntilIdle();
        ASSERT_EQ(m_ends.size(), 1u) << "Esc typed ends the edit";
        EXPECT_EQ(m_ends[0].editorId, CListCtrlEdit::kPickerId);
        EXPECT_EQ(m_ends[0].dateTime.GetStatus(), COleDateTime::valid);
        EXPECT_EQ(m_ends[0].dateTime.GetDay(), c.value.GetDay());
        EXPECT_EQ(m_ends[0].dateTime.GetHour(), c.value.GetHour());
        EXPECT_EQ(m_ends[0].dateTime.GetMinute(), c.value.GetMinute());
        EXPECT_EQ(m_ends[0].newText, c.shown);
        EXPECT_EQ(Text(m_list, 0, 2), c.shown);
        EXPECT_EQ(CListEditCounters::s_nDateValues, 0) << "the heap value was freed";
        EXPECT_EQ(CListEditCounters::s_nWatchers, 0);
        EXPECT_EQ(CListEditCounters::s_nEditors, 0);
        EXPECT_EQ(Editor(CListCtrlEdit::kPickerId), nullptr);
    }
}

TEST_F(ListCtrlEditTest, EnterTypedInAPickerEndsTheEdit)
{
    m_editable = {{{1, 0}, CListCtrlEdit::kEditorDate}};
    m_queryDate = COleDateTime(2023, 12, 31, 0, 0, 0);
    CWnd* pEditor = m_list.EditCell(1, 0);
    ASSERT_NE(pEditor, nullptr);
    PressKey(*pEditor, VK_RETURN);
    PumpUntilIdle();
    ASSERT_EQ(m_ends.size(), 1u);
    EXPECT_EQ(m_ends[0].dateTime.GetYear(), 2023);
    EXPECT_EQ(Text(m_list, 1, 0), L"31/12/2023");
    for (const auto& seen : m_dialog.Seen())
        EXPECT_FALSE(seen.message == WM_COMMAND && seen.id == IDOK) << "the dialog did not take the Enter";
}

TEST_F(ListCtrlEditTest, APendingReopenIsFreedWhenTheListIsDestroyed)
{
    m_editable = {{{0, 0}, CListCtrlEdit::kEditorEdit}};
    m_nRejections = 1;
    CWnd* pEdit = m_list.EditCell(0, 0);
    ASSERT_NE(pEdit, nullptr);
    TypeChar(*pEdit, L'x');
    PumpUntilIdle();
    m_list.SetFocus(); // ends the edit; the parent rejects it
    EXPECT_EQ(CListEditCounters::s_nReopens, 1);
    m_list.DestroyWindow();
    EXPECT_EQ(CListEditCounters::s_nReopens, 0);
}
} // namespace
