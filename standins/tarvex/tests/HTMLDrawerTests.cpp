#include "framework/CDC.h"
#include "framework/testing/CPixelCanvas.h"
#include "standins/tarvex/CHTMLDrawer.h"
#include "standins/tarvex/CPolice.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
// Each line as its runs joined by '|', a run written "<styles>:<text>" when it has a style.
std::vector<std::wstring> Describe(const std::vector<CHTMLDrawer::CLine>& lines)
{
    std::vector<std::wstring> described;
    for (const auto& line : lines)
    {
        std::wstring text;
        for (const auto& run : line.m_runs)
        {
            if (!text.empty()) text += L"|";
            std::wstring styles =
                std::wstring(run.m_bBold ? L"b" : L"") + (run.m_bItalic ? L"i" : L"") + (run.m_bUnderline ? L"u" : L"");
            text += (styles.empty() ? L"" : styles + L":") + run.m_strText.GetString();
        }
        described.push_back(text);
    }
    return described;
}

class HTMLDrawerTest : public ::testing::Test
{
protected:
    HTMLDrawerTest() { m_dc.Attach(m_canvas.GetDC()); }
    ~HTMLDrawerTest() override { m_dc.Detach(); } // the canvas owns its DC
    CPixelCanvas m_canvas{400, 200};
    CDC m_dc;
    CPolice m_font;
    CHTMLDrawer m_drawer;
};

struct LayoutCase
{
    const wchar_t* pszText;
    std::vector<std::wstring> lines;
    const char* pszWhy;
};
const LayoutCase kLayouts[] = {
    {L"plain text", {L"plain|text"}, "words"},
    {L"<b>bold</b> <i>it</i> <u>under</u>", {L"b:bold|i:it|u:under"}, "the three styles"},
    {L"<B><i>both</I></b> no", {L"bi:both|no"}, "nested, in any case"},
    {L"a<b>b</b>c", {L"a|b:b|c"}, "a style change inside a word"},
    {L"a<br>b<br/>c<BR />", {L"a", L"b", L"c", L""}, "line breaks"},
    {L"&lt;b&gt; &amp; &quot;x&quot; &nbsp;", {L"<b>|&|\"x\"|&nbsp;"}, "the four entities, others stay"},
    {L"x <font color=red>y</font> 1 < 2", {L"x|y|1|<|2"}, "other tags left out, a lone < kept"},
    {L"  lots   of\r\n blanks ", {L"lots|of|blanks"}, "blanks and line ends are one blank"},
    {L"", {L""}, "no text is one empty line"},
};
} // namespace

TEST_F(HTMLDrawerTest, LaysOutStylesBreaksAndEntities)
{
    for (const LayoutCase& c : kLayouts)
    {
        SCOPED_TRACE(c.pszWhy);
        EXPECT_EQ(Describe(m_drawer.LayOut(&m_dc, c.pszText, m_font, 400, 0)), c.lines);
    }
}

TEST_F(HTMLDrawerTest, WrapsAtTheBoxWidth)
{
    const CString strText = L"one two three four five six seven eight nine ten";
    const auto wide = m_drawer.LayOut(&m_dc, strText, m_font, 2000, 0);
    ASSERT_EQ(wide.size(), 1u);
    const int nWidth = wide[0].m_runs.back().m_nLeft + wide[0].m_runs.back().m_nWidth;
    const auto narrow = m_drawer.LayOut(&m_dc, strText, m_font, nWidth / 3, 0);
    ASSERT_GE(narrow.size(), 3u);
    int nWords = 0;
    for (const auto& line : narrow)
    {
        ASSERT_FALSE(line.m_runs.empty());
        EXPECT_LE(line.m_runs.back().m_nLeft + line.m_runs.back().m_nWidth, nWidth / 3);
        EXPECT_EQ(line.m_runs.front().m_nLeft, 0);
        nWords += static_cast<int>(line.m_runs.size());
    }
    EXPECT_EQ(nWords, 10);
    EXPECT_EQ(m_drawer.FindHeight(&m_dc, strText, m_font, CRect(0, 0, nWidth / 3, 10)),
              narrow.back().m_nTop + narrow.back().m_nHeight);
    EXPECT_EQ(narrow[1].m_nTop, narrow[0].m_nHeight);

    const auto alone = m_drawer.LayOut(&m_dc, L"a incomprehensibilities b", m_font, 5, 0);
    EXPECT_EQ(Describe(alone), (std::vector<std::wstring>{L"a", L"incomprehensibilities", L"b"}))
        << "a word wider than the box stays whole on its own line";
}

TEST_F(HTMLDrawerTest, AlignsCentreAndRight)
{
    const auto left = m_drawer.LayOut(&m_dc, L"word", m_font, 300, 0);
    const auto centre = m_drawer.LayOut(&m_dc, L"word", m_font, 300, 1);
    const auto right = m_drawer.LayOut(&m_dc, L"word", m_font, 300, 2);
    const int nWord = left[0].m_runs[0].m_nWidth;
    EXPECT_EQ(left[0].m_runs[0].m_nLeft, 0);
    EXPECT_EQ(centre[0].m_runs[0].m_nLeft, (300 - nWord) / 2);
    EXPECT_EQ(right[0].m_runs[0].m_nLeft, 300 - nWord);
}

TEST_F(HTMLDrawerTest, DrawsInsideTheBoxOnlyAndRestoresTheDC)
{
    const COLORREF kInk = RGB(200, 0, 0);
    m_dc.SetTextColor(RGB(0, 0, 255));
    const CRect box(20, 20, 120, 40);
    const int nHeight = m_drawer.DrawHTMLText(&m_dc, L"<b>WWWWW WWWWW WWWWW WWWWW</b><br>MMMM", m_font, kInk, box, 0);
    EXPECT_GT(nHeight, box.Height()) << "the text needs more than the box";
    EXPECT_TRUE(m_canvas.AnyPixelOtherThan(RGB(255, 255, 255), box));
    EXPECT_EQ(m_canvas.CountPixels(RGB(255, 255, 255), CRect(0, 0, 400, 20)), 400 * 20) << "nothing above the box";
    EXPECT_EQ(m_canvas.CountPixels(RGB(255, 255, 255), CRect(0, 40, 400, 200)), 400 * 160) << "nothing below it";
    EXPECT_EQ(m_canvas.CountPixels(RGB(255, 255, 255), CRect(120, 0, 400, 200)), 280 * 200) << "nothing right of it";
    EXPECT_EQ(m_dc.GetTextColor(), RGB(0, 0, 255));
    RECT clip = {};
    EXPECT_NE(GetClipBox(m_dc.GetSafeHdc(), &clip), ERROR);
    EXPECT_EQ(CRect(clip), CRect(0, 0, 400, 200)) << "the clip goes back";
}
