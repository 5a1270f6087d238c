// Call-result settings: the wire texts both ways, result texts, merging, and the three process-wide
// sets built from the string table (CallResultStrings.rc) and Jex's overrides.
#include "sessions/CCallResultSettings.h"
#include "sessions/tests/RecordsTestText.h"
#include "core/CPropertyList.h"
#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include <gtest/gtest.h>
#include <chrono>
#include <tuple>
#include <vector>

namespace
{
using Result = CCallResultSettings::Result;
using CResultArray = CCallResultSettings::CResultArray;

// code, sub-code, text, visible, drop
using Row = std::tuple<int, int, std::wstring, bool, bool>;

std::vector<Row> Rows(const CResultArray& results)
{
    std::vector<Row> rows;
    for (const Result& r : results.Items())
        rows.emplace_back(r.m_nCode, r.m_nSubCode, W(r.m_strText), r.m_bVisible != 0, r.m_bDrop != 0);
    return rows;
}

std::vector<Row> Rows(const CCallResultSettings& settings)
{
    CResultArray results;
    settings.GetResults(results, FALSE);
    return Rows(results);
}

Result MakeResult(int nCode, int nSubCode, LPCWSTR pszText, bool bVisible = true, bool bDrop = false)
{
    Result r;
    r.m_nCode = nCode;
    r.m_nSubCode = nSubCode;
    r.m_strText = pszText;
    r.m_bVisible = bVisible;
    r.m_bDrop = bDrop;
    return r;
}

// The 32 defaults in key order, as the string table of the tests gives them.
const std::vector<Row> kDefaults = {
    {0, 0, L"Success", true, false},
    {1, 0, L"No tone", true, false},
    {2, 0, L"Busy", true, false},
    {3, 0, L"No answer", true, false},
    {4, 0, L"Hang up", true, false},
    {5, 0, L"Answering machine", true, false},
    {6, 0, L"Person absent", true, false},
    {7, 0, L"Refused", true, false},
    {8, 0, L"Wrong address", true, false},
    {9, 0, L"Appointment", true, false},
    {9, 1, L"Callback now", true, false},
    {9, 2, L"Lumo to web", true, false},
    {9, 3, L"Lumo to web (with mail)", true, false},
    {10, 0, L"Quota reached", false, false},
    {11, 0, L"Fax or modem", true, false},
    {12, 0, L"Duplicate", true, false},
    {13, 0, L"Not in target", true, false},
    {14, 0, L"Cannot communicate", false, false},
    {15, 0, L"Client disconnection", false, false},
    {16, 0, L"Undefined telco result", false, false},
    {17, 0, L"User defined 1", true, false},
    {18, 0, L"User defined 2", true, false},
    {19, 0, L"User defined 3", true, false},
    {20, 0, L"User defined 4", true, false},
    {21, 0, L"User defined 5", true, false},
    {22, 0, L"Abandoned by dialler", false, false},
    {23, 0, L"Nuisance call", false, false},
    {24, 0, L"Refused by agent", false, false},
    {25, 0, L"Agent Phone Unavailable", false, false},
    {26, 0, L"Phone Network Out Of Order", false, false},
    {27, 0, L"Phone Number Changed", false, false},
    {28, 0, L"Call Rejected", false, false},
};

// Every test starts from the sets as start-up leaves them, and leaves them so.
class CallResultSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { CCallResultSettings::BuildDefaults(std::make_shared<CCallResultSettings>()); }
    void TearDown() override { CCallResultSettings::BuildDefaults(std::make_shared<CCallResultSettings>()); }
};

TEST_F(CallResultSettingsTest, StartUpPublishesTheDefaultsFromTheStringTable)
{
    EXPECT_EQ(Rows(*CCallResultSettings::GetDefaults()), kDefaults);
    EXPECT_EQ(Rows(*CCallResultSettings::GetCurrent()), kDefaults);
    EXPECT_TRUE(Rows(*CCallResultSettings::GetOverrides()).empty()) << "nothing differs from the defaults";
    CCallResultSettings copy(*CCallResultSettings::GetCurrent());
    EXPECT_TRUE(copy.IsLoaded()) << "published with its texts";
    EXPECT_EQ(W(copy.GetHiddenText()), L"") << "hidden defaults are not selectable anyway";
    EXPECT_EQ(W(copy.GetResultsText()).substr(0, 52), L"0@Success;1@No tone;2@Busy;3@No answer;4@Hang up;5@A");
}

TEST_F(CallResultSettingsTest, ValidKeysAreExactlyTheDefaults)
{
    std::vector<std::pair<int, int>> valid;
    for (int nCode = -2; nCode <= 30; ++nCode)
        for (int nSubCode = -1; nSubCode <= 5; ++nSubCode)
            if (CCallResultSettings::IsValidKey(nCode, nSubCode)) valid.emplace_back(nCode, nSubCode);
    std::vector<std::pair<int, int>> defaults;
    for (const Row& row : kDefaults)
        defaults.emplace_back(std::get<0>(row), std::get<1>(row));
    EXPECT_EQ(valid, defaults);
}

TEST(CallResultCodes, SelectableTests)
{
    // code, IsSelectableCode, Result::IsSelectable, Result::IsSelectableFailure
    const std::tuple<int, BOOL, BOOL, BOOL> kCodes[] = {
        {-1, TRUE, TRUE, TRUE},   {0, TRUE, TRUE, FALSE}, {1, TRUE, TRUE, TRUE},     {9, TRUE, TRUE, TRUE},
        {10, FALSE, TRUE, FALSE}, {13, TRUE, TRUE, TRUE}, {14, FALSE, FALSE, FALSE}, {16, FALSE, FALSE, FALSE},
        {17, TRUE, TRUE, TRUE},   {21, TRUE, TRUE, TRUE}, {22, FALSE, FALSE, FALSE}, {28, FALSE, FALSE, FALSE},
        {29, TRUE, TRUE, TRUE},
    };
    for (const auto& [nCode, bCode, bSelectable, bFailure] : kCodes)
    {
        SCOPED_TRACE(nCode);
        EXPECT_EQ(CCallResultSettings::IsSelectableCode(nCode), bCode);
        EXPECT_EQ(MakeResult(nCode, 0, L"").IsSelectable(), bSelectable);
        EXPECT_EQ(MakeResult(nCode, 0, L"").IsSelectableFailure(), bFailure);
    }
}

struct ParseCase
{
    LPCWSTR results, hidden, drop;
    std::vector<Row> rows;
    const char* why;
};
const ParseCase kParseCases[] = {
    {L"9@Appointment|1@Callback now|0@x;2@Busy",
     L"",
     L"",
     {{2, 0, L"Busy", true, false}, {9, 0, L"Appointment", true, false}, {9, 1, L"Callback now", true, false}},
     "sorted; a sub-code item 0 is dropped"},
    {L"9@Appointment|1@Callback now|0@x;2@Busy",
     L"14:0;9:1;x;5",
     L"",
     {{2, 0, L"Busy", true, false},
      {9, 0, L"Appointment", true, false},
      {9, 1, L"Callback now", false, false},
      {14, 0, L"", false, false}},
     "hidden: a known key is hidden, an unknown one appended; x and 5 ignored"},
    {L"2@Busy",
     L"2:0",
     L"2:0;7:0;;3",
     {{2, 0, L"Busy", false, true}, {7, 0, L"", true, true}},
     "drop: appended ones stay visible"},
    {L" 12@ Spaced text |3@x",
     L"",
     L"",
     {{12, 0, L" Spaced text ", true, false}, {12, 3, L"x", true, false}},
     "blanks before a number are skipped, blanks of the text kept"},
    {L"5@A6@B;7;8@",
     L"",
     L"",
     {{5, 0, L"A6@B", true, false}, {7, 0, L"", true, false}, {8, 0, L"", true, false}},
     "a missing separator joins the texts; no text or no @ gives an empty text"},
    {L"", L"", L"", {{0, 0, L"", true, false}}, "an empty text is one empty item: code 0"},
    {L"@@|;;|x@",
     L"",
     L"",
     {{0, 0, L"", true, false}, {0, 0, L"", true, false}, {0, 0, L"", true, false}},
     "unreadable items keep their defaults; sub-code items that do not read are dropped"},
    {L"99999999999@Big;3@Ok|4294967297@Wrap|2@Two",
     L"1:99999999999;2:3;:;1:2:3",
     L"",
     {{0, 0, L"", true, false}, {2, 3, L"", false, false}, {3, 0, L"Ok", true, false}, {3, 2, L"Two", true, false}},
     "numbers out of range do not read"},
    {L"-4@Minus;+6@Plus", L"", L"", {{-4, 0, L"Minus", true, false}, {6, 0, L"Plus", true, false}}, "signs"},
};

TEST_F(CallResultSettingsTest, SetFromTextReadsTheWireForm)
{
    for (const auto& c : kParseCases)
    {
        SCOPED_TRACE(c.why);
        CCallResultSettings settings;
        settings.AddResult(MakeResult(1, 0, L"earlier")); // replaced, not kept
        settings.SetFromText(c.results, c.hidden, c.drop);
        EXPECT_EQ(Rows(settings), c.rows);
        EXPECT_TRUE(settings.IsLoaded());
        CString strResults, strHidden, strDrop;
        settings.GetTexts(strResults, strHidden, strDrop);
        EXPECT_EQ(W(strResults), c.results) << "the texts stay as given";
        EXPECT_EQ(W(strHidden), c.hidden);
        EXPECT_EQ(W(strDrop), c.drop);
    }
}

TEST_F(CallResultSettingsTest, HostileTextsParseInBoundedWork)
{
    CString strManySubCodes;
    for (int i = 0; i < 5120; ++i)
        strManySubCodes += L"9|";
    CString strManyKeys;
    for (int i = 0; i < 2500; ++i)
        strManyKeys.AppendFormat(L"%d:%d;", i % 40, i + 10); // none is (9, 9)
    const auto start = std::chrono::steady_clock::now();
    CCallResultSettings settings;
    settings.SetFromText(strManySubCodes.GetString(), strManyKeys.GetString(), strManyKeys.GetString());
    CResultArray merged;
    settings.GetResults(merged, TRUE);
    settings.AddResult(MakeResult(1, 0, L"x"));
    const CString strBuilt = settings.GetResultsText();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(settings.GetHiddenText().GetLength(), settings.GetDropText().GetLength());
    EXPECT_EQ(Rows(settings).size(), 1u + 5119u + 2500u + 1u) << "the code, its sub-codes, the keys, the one added";
    EXPECT_EQ(W(settings.GetResultText(9, 9)), L"Appointment") << "empty own texts fall back to the current set";
    EXPECT_EQ(W(strBuilt), L"1@x") << "only results with a text are written";
}

TEST_F(CallResultSettingsTest, TextsAreBuiltFromTheResults)
{
    CCallResultSettings settings;
    settings.AddResult(MakeResult(9, 1, L"Later", false));
    settings.AddResult(MakeResult(14, 0, L"", false));
    EXPECT_FALSE(settings.IsLoaded());
    EXPECT_EQ(W(settings.GetHiddenText()), L"9:1;") << "14 is not a selectable code";
    EXPECT_TRUE(settings.IsLoaded());

    CCallResultSettings built;
    built.SetResults([] {
        CResultArray results;
        for (const Result& r :
             {MakeResult(12, 1, L"Sub only"), MakeResult(2, 0, L"Busy", true, true), MakeResult(9, 2, L"Web", false),
              MakeResult(9, 0, L"Appointment"), MakeResult(9, 1, L"Callback now", true, true), MakeResult(5, 0, L"")})
            results.Add(r);
        return results;
    }());
    CString strResults, strHidden, strDrop;
    built.GetTexts(strResults, strHidden, strDrop);
    EXPECT_EQ(W(strResults), L"2@Busy;9@Appointment|1@Callback now|2@Web;12@|1@Sub only");
    EXPECT_EQ(W(strHidden), L"9:2;");
    EXPECT_EQ(W(strDrop), L"2:0;9:1;");

    CCallResultSettings back;
    back.SetFromText(strResults.GetString(), strHidden.GetString(), strDrop.GetString());
    std::vector<Row> expected = Rows(built);
    expected.erase(expected.begin() + 1);                                // (5, 0) has no text and no flag to carry it
    expected.insert(expected.begin() + 4, Row{12, 0, L"", true, false}); // the code its sub-result needs
    EXPECT_EQ(Rows(back), expected);
}

TEST_F(CallResultSettingsTest, AddResultReplacesTheSameKey)
{
    CCallResultSettings settings;
    settings.AddResult(MakeResult(3, 0, L"One"));
    settings.AddResult(MakeResult(1, 0, L"Two"));
    settings.AddResult(MakeResult(3, 0, L"Three", false));
    EXPECT_EQ(Rows(settings), (std::vector<Row>{{3, 0, L"Three", false, false}, {1, 0, L"Two", true, false}}));
    Result found;
    EXPECT_TRUE(settings.FindResult(1, 0, found));
    EXPECT_EQ(W(found.m_strText), L"Two");
    EXPECT_FALSE(settings.FindResult(1, 1, found));
    settings.Clear();
    EXPECT_TRUE(Rows(settings).empty());
    EXPECT_FALSE(settings.IsLoaded());
}

TEST_F(CallResultSettingsTest, ResultTextsComeFromOwnResultsThenTheCurrentSet)
{
    CCallResultSettings own;
    own.SetFromText(L"0@Mine;9@Meeting;4@|2@Partly", L"", L"");
    const std::tuple<int, int, LPCWSTR, LPCWSTR> kTexts[] = {
        {-1, 0, L"Not called", L"Not called"},
        {0, 5, L"Success", L"Success"},
        {9, 1, L"Appointment - Callback now", L"Meeting - Callback now"},
        {9, 0, L"Appointment", L"Meeting"},
        {9, 7, L"Appointment", L"Meeting"},
        {4, 2, L"Hang up", L"Hang up - Partly"},
        {99, 0, L"", L""},
    };
    const CCallResultSettings empty;
    for (const auto& [nCode, nSubCode, pszEmpty, pszOwn] : kTexts)
    {
        SCOPED_TRACE(testing::Message() << nCode << "/" << nSubCode);
        EXPECT_EQ(W(empty.GetResultText(nCode, nSubCode)), pszEmpty);
        EXPECT_EQ(W(own.GetResultText(nCode, nSubCode)), pszOwn);
    }
}

TEST_F(CallResultSettingsTest, MergeTakesOverrideTextsAndFlags)
{
    CResultArray base;
    base.Add(MakeResult(2, 0, L"Busy"));
    base.Add(MakeResult(5, 0, L"Machine"));
    CResultArray overrides;
    overrides.Add(MakeResult(5, 0, L"", false, true));
    overrides.Add(MakeResult(1, 0, L"New"));
    overrides.Add(MakeResult(2, 0, L"Engaged"));
    CResultArray out;
    CCallResultSettings::MergeResults(base, overrides, out);
    EXPECT_EQ(Rows(out),
              (std::vector<Row>{
                  {1, 0, L"New", true, false}, {2, 0, L"Engaged", true, false}, {5, 0, L"Machine", false, true}}));

    CCallResultSettings own;
    own.SetFromText(L"5@Machine", L"5:0", L"");
    CResultArray merged;
    own.GetResults(merged, TRUE);
    std::vector<Row> expected = kDefaults;
    expected[5] = {5, 0, L"Machine", false, false};
    EXPECT_EQ(Rows(merged), expected);
}

TEST_F(CallResultSettingsTest, JexOverridesChangeTheCurrentSetAndAreKeptAsDifferences)
{
    auto pJex = std::make_shared<CCallResultSettings>();
    pJex->SetFromText(L"3@Nobody home;5@Answering machine;9@Appointment|2@Lumo to web;30@Added by Jex", L"9:2;",
                      L"7:0;");
    const auto pHeld = CCallResultSettings::GetCurrent();
    CCallResultSettings::BuildDefaults(pJex);

    std::vector<Row> current = kDefaults;
    std::get<2>(current[3]) = L"Nobody home";
    std::get<3>(current[11]) = false;
    std::get<4>(current[7]) = true;
    EXPECT_EQ(Rows(*CCallResultSettings::GetCurrent()), current)
        << "a changed text and flags; a code outside the valid keys is not added; nothing is removed";
    EXPECT_EQ(
        Rows(*CCallResultSettings::GetOverrides()),
        (std::vector<Row>{{3, 0, L"Nobody home", true, false}, {7, 0, L"", true, true}, {9, 2, L"", false, false}}))
        << "results equal to the default go; texts equal to the default are emptied";
    EXPECT_EQ(Rows(*CCallResultSettings::GetDefaults()), kDefaults);
    EXPECT_EQ(Rows(*pHeld), kDefaults) << "a reader's set stays as it was loaded";

    CCallResultSettings fresh;
    EXPECT_EQ(W(fresh.GetResultText(3, 0)), L"Nobody home");
    EXPECT_EQ(W(fresh.GetHiddenText()), L"9:2;") << "texts are built over the overrides";
    EXPECT_EQ(W(fresh.GetDropText()), L"7:0;");
    EXPECT_EQ(W(fresh.GetResultsText()), L"3@Nobody home");

    CCallResultSettings::RebuildDefaults();
    EXPECT_EQ(Rows(*CCallResultSettings::GetCurrent()), kDefaults) << "rebuilt from the defaults alone";
    EXPECT_TRUE(Rows(*CCallResultSettings::GetOverrides()).empty());
}

TEST_F(CallResultSettingsTest, EqualityComparesTextsFlagAndResultsByKey)
{
    CCallResultSettings a;
    a.SetFromText(L"2@Busy;9@Appointment|1@Callback now", L"9:1", L"");
    CCallResultSettings b(a);
    EXPECT_TRUE(a.IsEqual(a));
    EXPECT_TRUE(a.IsEqual(b));
    b = a;
    EXPECT_TRUE(b.IsEqual(a));

    CCallResultSettings caseDiffers;
    caseDiffers.SetFromText(L"2@busy;9@Appointment|1@Callback now", L"9:1", L"");
    EXPECT_FALSE(a.IsEqual(caseDiffers)) << "texts compare with case";
    CCallResultSettings flagDiffers(a);
    flagDiffers.AddResult(MakeResult(2, 0, L"Busy")); // the same result, but the texts no longer count
    EXPECT_FALSE(a.IsEqual(flagDiffers));
    CCallResultSettings resultDiffers(a);
    resultDiffers.AddResult(MakeResult(2, 0, L"Busy", true, true));
    resultDiffers.GetResultsText();
    EXPECT_FALSE(a.IsEqual(resultDiffers));
}

TEST_F(CallResultSettingsTest, PropertyListsCarryTheThreeTexts)
{
    CPropertyList list;
    list.SetProperty(L"jexUDRC", L"2@Busy;9@Appointment");
    list.SetProperty(L"jexHide", L"9:0;");
    list.SetProperty(L"UDRC", L"7@Other");
    CCallResultSettings settings;
    settings.SetFromPropertyList(list, L"jex");
    EXPECT_EQ(Rows(settings), (std::vector<Row>{{2, 0, L"Busy", true, false}, {9, 0, L"Appointment", false, false}}));
    EXPECT_EQ(W(settings.GetDropText()), L"") << "an absent entry is empty";

    CPropertyList out;
    settings.AddToPropertyList(out, L"x");
    EXPECT_EQ(W(out.GetPropertyString(L"xUDRC", L"-")), L"2@Busy;9@Appointment");
    EXPECT_EQ(W(out.GetPropertyString(L"xHide", L"-")), L"9:0;");
    EXPECT_EQ(W(out.GetPropertyString(L"xDrop", L"-")), L"");

    CCallResultSettings back;
    back.SetFromPropertyText(settings.GetPropertyText().GetString());
    EXPECT_TRUE(back.IsEqual(settings));
    CCallResultSettings wrongCase;
    wrongCase.SetFromPropertyText(L"udrc = \"2@Busy\" ");
    EXPECT_EQ(Rows(wrongCase), (std::vector<Row>{{0, 0, L"", true, false}})) << "names compare with case";
}
TEST(CallResultArray, IsNotArchivedAsRawBytes)
{
    CResultArray results;
    results.Add(MakeResult(2, 0, L"Busy"));
    CMemFile file;
    CArchive ar(&file, CArchive::store | CArchive::bNoFlushOnDelete);
    bool bRefused = false;
    try
    {
        results.Serialize(ar);
    }
    catch (CNotSupportedException* e)
    {
        bRefused = true;
        e->Delete();
    }
    EXPECT_TRUE(bRefused) << "texts would be written as pointers";
    EXPECT_EQ(file.GetLength(), 0u);
}
} // namespace
