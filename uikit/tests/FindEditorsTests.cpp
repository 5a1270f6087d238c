// The list find editors: values handed to fake owners while the user selects and types, hiding on
// focus loss, a null owner and an owner that throws.
#include "framework/CException.h"
#include "framework/testing/CSuiteParentTest.h"
#include "framework/testing/MessagePump.h"
#include "framework/testing/UserInput.h"
#include "uikit/CLumoListFindCombo.h"
#include "uikit/CLumoListFindText.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
constexpr UINT kComboId = 61, kTextId = 62, kOtherId = 63;

class CFakeOwner : public IEditedValueSink, public IEditedNumberSink
{
public:
    std::vector<std::wstring> m_values, m_numbers;
    bool m_throw = false;
    void SetEditedValue(LPCWSTR lpszValue) override
    {
        m_values.push_back(lpszValue);
        if (m_throw) AfxThrowInvalidArgException(); // the dialog edits no valid field
    }
    void SetEditedNumber(LPCWSTR lpszNumber) override { m_numbers.push_back(lpszNumber); }
};

class FindEditorsTest : public CSuiteParentTestOf<CRecordingParent, 300, 200>
{
protected:
    void SetUp() override
    {
        CSuiteParentTestOf::SetUp();
        ASSERT_TRUE(m_combo.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, CRect(10, 10, 150, 150),
                                   s_parent, kComboId));
        for (LPCWSTR entry : {L"", L"a", L"b", L"c"})
            m_combo.AddString(entry);
        ASSERT_TRUE(
            m_text.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, CRect(10, 50, 150, 70), s_parent, kTextId));
        ASSERT_TRUE(m_other.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, CRect(10, 90, 150, 110), s_parent,
                                   kOtherId));
        PumpUntilIdle();
    }
    CLumoListFindCombo m_combo;
    CLumoListFindText m_text;
    CEdit m_other;
    CFakeOwner m_owner;
};

TEST_F(FindEditorsTest, ComboHandsTheEntryByItsPosition)
{
    m_combo.m_pFindDlg = &m_owner;
    m_combo.SetFocus();
    for (int i = 0; i < 4; ++i)
    {
        PressKey(m_combo, VK_DOWN);
        ASSERT_TRUE(PumpUntil([&] { return m_owner.m_values.size() == static_cast<size_t>(i + 1); }, 2000));
    }
    EXPECT_EQ(m_owner.m_values, (std::vector<std::wstring>{L"", L"-1", L"0", L"1"}));
    m_other.SetFocus();
    PumpUntilIdle();
    EXPECT_FALSE(m_combo.IsWindowVisible()) << "focus loss hides the combo";
    EXPECT_EQ(m_owner.m_values.back(), L"1") << "the last value stays with the owner";
}

TEST_F(FindEditorsTest, ComboWithoutOwnerHandsNothing)
{
    m_combo.SetFocus();
    PressKey(m_combo, VK_DOWN);
    PressKey(m_combo, VK_DOWN);
    PumpUntilIdle();
    EXPECT_EQ(m_combo.SendMessage(CB_GETCURSEL), 1) << "the selection still moved";
    EXPECT_TRUE(m_owner.m_values.empty());
}

TEST_F(FindEditorsTest, TextHandsTheWholeTextToBothOwnersAfterEveryKey)
{
    m_text.m_pFindDlg = &m_owner;
    m_text.m_pChangeDlg = &m_owner;
    m_text.SetFocus();
    TypeChar(m_text, L'a');
    TypeChar(m_text, L'b');
    PressKey(m_text, VK_BACK);
    PressKey(m_text, VK_BACK);
    ASSERT_TRUE(PumpUntil([&] { return m_owner.m_values.size() >= 4; }, 2000));
    PumpUntilIdle();
    const std::vector<std::wstring> expected{L"a", L"ab", L"a", L""};
    EXPECT_EQ(m_owner.m_values, expected);
    EXPECT_EQ(m_owner.m_numbers, expected);
    m_other.SetFocus();
    PumpUntilIdle();
    EXPECT_FALSE(m_text.IsWindowVisible());
    EXPECT_EQ(m_owner.m_numbers.back(), L"");
}

TEST_F(FindEditorsTest, AThrowingOwnerLeavesTheEditorWorking)
{
    m_text.m_pFindDlg = &m_owner;
    m_owner.m_throw = true;
    m_text.SetFocus();
    TypeChar(m_text, L'x');
    TypeChar(m_text, L'y');
    ASSERT_TRUE(PumpUntil([&] { return m_owner.m_values.size() >= 2; }, 2000));
    EXPECT_EQ(m_owner.m_values, (std::vector<std::wstring>{L"x", L"xy"}));
    CString text;
    m_text.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()), L"xy");
}
} // namespace
