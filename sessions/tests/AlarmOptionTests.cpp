// Alarm options: reading Jex's text, the defaults and the text form.
#include "sessions/CAlarmOption.h"
#include "sessions/tests/RecordsTestText.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <vector>

namespace
{
// Switches 801 to 807, then limits 808 to 812.
struct AlarmState
{
    std::vector<bool> switches;
    std::vector<short> limits;
    bool operator==(const AlarmState&) const = default;
    friend void PrintTo(const AlarmState& s, std::ostream* os)
    {
        *os << testing::PrintToString(s.switches) << " " << testing::PrintToString(s.limits);
    }
};

AlarmState StateOf(const CAlarmOption& options)
{
    AlarmState state;
    for (int id = 801; id <= 807; ++id)
        state.switches.push_back(options.IsOn(id));
    for (int id = 808; id <= 812; ++id)
        state.limits.push_back(options.GetLimit(id));
    return state;
}

struct AlarmCase
{
    LPCWSTR text;
    AlarmState state; // read into options that had every switch on and limits 7, 7, 7, 7, 7
    const char* why;
};
const std::vector<bool> kAllOff(7, false);
const AlarmCase kAlarmTexts[] = {
    {L"801:0;807:0;808:250;812:-5",
     {{true, false, false, false, false, false, true}, {250, 7, 7, 7, -5}},
     "named switches on, others off; named limits set, others kept"},
    {L"801:1", {{true, false, false, false, false, false, false}, {7, 7, 7, 7, 7}}, "any value turns a switch on"},
    {L"801", {kAllOff, {7, 7, 7, 7, 7}}, "an item without a value is ignored"},
    {L"801:x;x:1;801:1:2", {kAllOff, {7, 7, 7, 7, 7}}, "non-numbers and three parts are ignored"},
    {L"", {kAllOff, {7, 7, 7, 7, 7}}, "an empty text turns every switch off and keeps the limits"},
    {L"809:40000;810:-32768;811: 12 ", {kAllOff, {7, 0, -32768, 12, 7}}, "a limit outside 16 bits is 0"},
    {L"800:1;813:5;;", {kAllOff, {7, 7, 7, 7, 7}}, "other ids and empty items are ignored"},
};

TEST(AlarmOption, SetFromTextReplacesSwitchesAndUpdatesNamedLimits)
{
    for (const auto& c : kAlarmTexts)
    {
        SCOPED_TRACE(c.why);
        CAlarmOption options;
        std::fill(std::begin(options.m_bSwitches), std::end(options.m_bSwitches), true);
        std::fill(std::begin(options.m_nLimits), std::end(options.m_nLimits), static_cast<short>(7));
        options.SetFromText(c.text);
        EXPECT_EQ(StateOf(options), c.state);
    }
}

TEST(AlarmOption, DefaultsAndTextForm)
{
    CAlarmOption options;
    EXPECT_EQ(StateOf(options), (AlarmState{kAllOff, {1, 100, 30, 40, 80}}));
    EXPECT_EQ(W(options.GetText()), L"") << "nothing is on";
    options.m_bSwitches[6] = true;
    EXPECT_EQ(W(options.GetText()), L"807:0;808:1;809:100;810:30;811:40;812:80;");
    options.m_bSwitches[6] = false;
    options.m_bSwitches[1] = true;
    options.m_nLimits[0] = 99;
    EXPECT_EQ(W(options.GetText()), L"802:0;") << "limits only while 807 is on";
}

TEST(AlarmOption, TextRoundTripsAndAssignCopies)
{
    CAlarmOption sent;
    sent.SetFromText(L"803:0;807:0;808:-3;809:250;812:32767");
    const CString strText = sent.GetText();
    EXPECT_EQ(W(strText), L"803:0;807:0;808:-3;809:250;810:30;811:40;812:32767;");
    CAlarmOption received;
    received.SetFromText(strText.GetString());
    EXPECT_EQ(StateOf(received), StateOf(sent));

    CAlarmOption assigned;
    EXPECT_EQ(&assigned.Assign(sent), &assigned);
    EXPECT_EQ(StateOf(assigned), StateOf(sent));
    EXPECT_EQ(StateOf(assigned.Assign(assigned)), StateOf(sent)) << "assigning itself changes nothing";
    const CAlarmOption copy(sent);
    EXPECT_EQ(StateOf(copy), StateOf(sent));
}
} // namespace
