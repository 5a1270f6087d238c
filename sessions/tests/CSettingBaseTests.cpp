// Jex objects and the setting base: copies, equality, typed values with defaults and limits, the
// time texts, the half-second date tolerance and the property-text form, plus the agent table.
#include "core/CPropertyList.h"
#include "core/CTimeTools.h"
#include "framework/CStringArray.h"
#include "sessions/CAgentSetting.h"
#include "sessions/CSettingBase.h"
#include <gtest/gtest.h>
#include <limits>
#include <map>

namespace
{
// A setting family of our own, so that every value type of the text form can be tried: the id is
// the type, except 77, which is a number with limits 0..100.
class CTestSetting : public CSettingBase
{
public:
    explicit CTestSetting(int32_t nId = -1) : CSettingBase(5, nId)
    {
        if (nId != -1) InitDefaults();
    }
    BOOL InitDefaults() override
    {
        m_bInitialising = true;
        m_bFlag2 = false;
        if (m_nId == 77)
        {
            m_strName = L"Limited";
            m_nType = typeNumber;
            m_nMaximum = 100;
        }
        else if (m_nId >= 1 && m_nId <= 8)
        {
            m_strName.Format(L"Type%d", static_cast<int>(m_nId));
            m_nType = m_nId;
        }
        else
        {
            m_nType = typeUnknown;
            m_bInitialising = false;
            return FALSE;
        }
        m_bInitialising = false;
        return TRUE;
    }
};

std::map<CString, CString> EntriesOf(const CString& strText)
{
    const CPropertyList list(strText, false);
    CStringArray names, values;
    list.GetNamesAndValues(names, values);
    std::map<CString, CString> entries;
    for (INT_PTR i = 0; i < names.GetSize(); ++i)
        entries[names[i]] = values[i];
    return entries;
}

COleDateTime NullDate()
{
    COleDateTime date;
    date.SetStatus(COleDateTime::null);
    return date;
}
} // namespace

TEST(JexObject, CopyKeepsOwnerAndFlagAndEqualityIgnoresDates)
{
    CJexObject a(7);
    a.m_nId = 3;
    a.m_strName = L"Alpha";
    a.m_strText2 = L"second";
    a.m_bDeleted = true;
    a.m_pAttachment = std::make_shared<CJexObject>();
    a.SetState();
    EXPECT_EQ(a.m_dtCreated.GetStatus(), COleDateTime::valid) << "the owner constructor stamps the time";

    CJexObject b(9);
    b.m_nFlag = 4;
    b = a;
    EXPECT_EQ(b.m_nOwner, 9) << "assignment leaves the owner";
    EXPECT_EQ(b.m_nFlag, 4);
    EXPECT_EQ(b.m_nId, 3);
    EXPECT_EQ(b.m_strName, L"Alpha");
    EXPECT_TRUE(b.m_bDeleted);
    EXPECT_EQ(b.GetState(), 1);
    EXPECT_EQ(b.m_pAttachment, a.m_pAttachment) << "the attachment is shared, not copied";
    EXPECT_FALSE(b.IsEqual(a)) << "owners differ";

    const CJexObject c(a);
    EXPECT_EQ(c.m_nOwner, 7) << "the copy constructor takes the owner";
    EXPECT_TRUE(c.IsEqual(a));
    CJexObject d(c);
    d.m_dtModified = COleDateTime(2020, 1, 1, 0, 0, 0);
    EXPECT_TRUE(d.IsEqual(a)) << "dates are not compared";
    d.m_strName = L"alpha";
    EXPECT_FALSE(d.IsEqual(a)) << "names compare with case";

    const CJexObject fresh;
    EXPECT_EQ(fresh.m_nOwner, -1);
    EXPECT_EQ(fresh.m_nId, -1);
    EXPECT_EQ(fresh.m_nFlag, 1);
    EXPECT_EQ(fresh.m_dtCreated.GetStatus(), COleDateTime::null);
    EXPECT_EQ(fresh.GetProperties(), L"");
}

TEST(JexObject, DeleteAllEmptiesTheArrayAndCreateObjectBuildsOne)
{
    CObArray objects;
    objects.Add(new CJexObject(1));
    objects.Add(new CAgentSetting(501)); // deleted through the virtual destructor
    CJexObject::DeleteAll(objects);
    EXPECT_EQ(objects.GetSize(), 0);

    CObject* pCreated = RUNTIME_CLASS(CAgentSetting)->CreateObject();
    ASSERT_NE(pCreated, nullptr);
    EXPECT_TRUE(pCreated->IsKindOf(RUNTIME_CLASS(CSettingBase)));
    delete pCreated;

    EXPECT_FALSE(CJexObject::GetClassFlag());
    CJexObject::SetClassFlag();
    EXPECT_TRUE(CJexObject::GetClassFlag());
}

TEST(SettingBase, SetValueLimitsNumbersButWidensTypeSeven)
{
    struct Case
    {
        int32_t nId;
        int32_t nValue, nStored, nMinimum, nMaximum;
        const char* why;
    };
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
    const Case cases[] = {
        {77, 150, 100, 0, 100, "above the maximum gives the maximum"},
        {77, -5, 0, 0, 100, "below the minimum gives the minimum"},
        {77, 42, 42, 0, 100, "inside the limits is kept"},
        {7, 150, 150, kMin, kMax, "type 7 stores unchanged and widens its limits"},
        {7, -5, -5, kMin, kMax, "also below zero"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CTestSetting setting(c.nId);
        if (c.nId == 7) setting.m_nMaximum = 100;
        setting.SetValue(c.nValue);
        EXPECT_EQ(setting.m_nValue, c.nStored);
        EXPECT_EQ(setting.m_nMinimum, c.nMinimum);
        EXPECT_EQ(setting.m_nMaximum, c.nMaximum);
        EXPECT_FALSE(setting.m_bIsDefaultValue);
    }
}

TEST(SettingBase, TimeTextsAreReadAndRefused)
{
    struct Case
    {
        const wchar_t* text;
        bool accepted;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {L"7:05", true, L"07:05"},  {L"07:05", true, L"07:05"},  {L"23:59", true, L"23:59"}, {L"0:00", true, L"00:00"},
        {L"24:00", false, nullptr}, {L"7:60", false, nullptr},   {L"705", false, nullptr},   {L"7:", false, nullptr},
        {L":05", false, nullptr},   {L"123:05", false, nullptr}, {L"a7:05", false, nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(CStringA(c.text).GetString());
        CTestSetting setting(4);
        const COleDateTime before = setting.m_dtValue;
        EXPECT_EQ(setting.SetTimeText(c.text) != FALSE, c.accepted);
        if (c.accepted)
        {
            EXPECT_FALSE(setting.m_bIsDefaultValue);
            EXPECT_EQ(setting.GetTimeText(FALSE), c.shown) << "stored in UTC, shown in local time";
            const COleDateTime local = CTimeTools::DateTimeUTCToLocal(setting.m_dtValue, false);
            EXPECT_EQ(CTimeTools::GetDatePart(local), CTimeTools::GetDatePart(CTimeTools::GetCurrentTimeLocal()))
                << "the time is taken as today's";
        }
        else
        {
            EXPECT_TRUE(setting.m_bIsDefaultValue) << "a refused text leaves the setting unchanged";
            EXPECT_EQ(setting.m_dtValue, before);
        }
    }
}

TEST(SettingBase, TimeTextOfDatesThatAreNotValid)
{
    CTestSetting setting(4);
    setting.m_dtDefault = NullDate();
    EXPECT_EQ(setting.GetTimeText(FALSE), L"-01:-01") << "IsDefaultValue makes it read the default";
    setting.m_bIsDefaultValue = false;
    setting.m_dtValue.SetStatus(COleDateTime::invalid);
    EXPECT_EQ(setting.GetTimeText(FALSE), L"-01:-01");
    EXPECT_EQ(setting.GetTimeText(TRUE), L"-01:-01");
}

TEST(SettingBase, DatesWithinHalfASecondAreEqual)
{
    const COleDateTime base(2026, 12, 10, 12, 0, 0);
    const double second = 1.0 / 86400.0;
    COleDateTime invalid;
    invalid.SetStatus(COleDateTime::invalid);
    struct Case
    {
        COleDateTime a, b;
        bool equal;
        const char* why;
    };
    const Case cases[] = {
        {base, COleDateTime(base.m_dt + 0.4 * second), true, "0.4 s apart"},
        {base, COleDateTime(base.m_dt - 0.4 * second), true, "0.4 s before"},
        {base, COleDateTime(base.m_dt + 0.6 * second), false, "0.6 s apart"},
        {NullDate(), NullDate(), true, "two null dates"},
        {invalid, invalid, false, "invalid dates are never equal"},
        {base, NullDate(), false, "different status"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CSettingBase::AreDatesEqual(c.a, c.b), c.equal);
        CTestSetting x(4), y(4);
        x.m_dtValue = c.a;
        y.m_dtValue = c.b;
        EXPECT_EQ(x.IsEqual(y) != FALSE, c.equal) << "settings compare their dates by the same rule";
    }
}

TEST(SettingBase, EqualityLooksAtEveryMember)
{
    const CTestSetting base(3);
    const std::function<void(CTestSetting&)> changes[] = {
        [](CTestSetting& s) { s.m_nValue = 1; },
        [](CTestSetting& s) { s.m_nDefaultValue = 1; },
        [](CTestSetting& s) { s.m_nMinimum = -1; },
        [](CTestSetting& s) { s.m_strValue = L"x"; },
        [](CTestSetting& s) { s.m_strDefault = L"X"; },
        [](CTestSetting& s) { s.m_bRestart = true; },
        [](CTestSetting& s) { s.m_bIsDefaultValue = false; },
        [](CTestSetting& s) { s.m_bFlag3 = false; },
        [](CTestSetting& s) { s.m_intList.push_back(1); },
        [](CTestSetting& s) { s.m_uintList.push_back(1); },
        [](CTestSetting& s) { s.m_strName = L"type3"; },
        [](CTestSetting& s) { s.m_dtDefault = COleDateTime(2000, 1, 1, 0, 0, 0); },
    };
    int n = 0;
    for (const auto& change : changes)
    {
        SCOPED_TRACE(n++);
        CTestSetting other(base);
        EXPECT_TRUE(other.IsEqual(base));
        change(other);
        EXPECT_FALSE(other.IsEqual(base));
        CTestSetting copy(5);
        copy.CopySetting(other);
        EXPECT_TRUE(copy.IsEqual(other)) << "CopySetting carries the member";
    }
}

TEST(SettingBase, PropertiesOfAYesNoSettingHoldExactlyItsEntries)
{
    CAgentSetting setting(500);
    setting.m_nValue = 0;
    setting.m_bIsDefaultValue = false;
    const std::map<CString, CString> expected = {
        {L"Id", L"500"}, {L"Name", L"Options_MDISnapActive"}, {L"Type", L"1"}, {L"Value", L"0"}};
    EXPECT_EQ(EntriesOf(setting.GetProperties()), expected);

    setting.m_bDeleted = true;
    setting.m_bRestart = true;
    setting.m_bIsDefaultValue = true;
    const auto entries = EntriesOf(setting.GetProperties());
    EXPECT_EQ(entries.at(L"Del"), L"1");
    EXPECT_EQ(entries.at(L"Restart"), L"1");
    EXPECT_EQ(entries.at(L"IsDefaultValue"), L"1");
}

TEST(SettingBase, PropertyTextsRoundTripForEveryType)
{
    for (int32_t nType = 1; nType <= 8; ++nType)
    {
        SCOPED_TRACE(nType);
        CTestSetting sent(nType);
        sent.m_bIsDefaultValue = false;
        sent.m_bRestart = nType % 2 == 0;
        switch (nType)
        {
        case 1:
            sent.m_nValue = 1;
            break;
        case 2:
        case 6:
            sent.m_nValue = -12345;
            break; // read back unlimited
        case 3:
            sent.m_strValue = L"a \"quoted\" text\r\nwith a line";
            break;
        case 4:
        case 8:
            sent.m_dtValue = COleDateTime(2026, 12, 10, 18, 30, 15);
            break;
        case 7:
            sent.SetValue(-7);
            sent.m_strValue = L"seven";
            break;
        default:
            break;
        }
        const CString text = sent.GetProperties();
        CTestSetting received;
        received.SetProperties(text);
        EXPECT_EQ(received.m_nId, nType);
        EXPECT_EQ(received.m_nType, nType);
        EXPECT_FALSE(received.m_bInitialising);
        EXPECT_TRUE(received.IsEqual(sent)) << CStringA(text).GetString();
        EXPECT_EQ(EntriesOf(text).count(L"Value") != 0, nType != 5 && nType != 7);
    }
}

TEST(SettingBase, PropertiesWithoutIsDefaultValueMakeReadersTakeTheValue)
{
    CTestSetting setting(2);
    ASSERT_TRUE(setting.m_bIsDefaultValue);
    setting.m_bDeleted = true;
    setting.m_strName = L"old";
    setting.SetProperties(L"Id = \"2\" Value = \"9\" ");
    EXPECT_FALSE(setting.m_bIsDefaultValue);
    EXPECT_FALSE(setting.m_bDeleted) << "an absent Del clears the mark";
    EXPECT_EQ(setting.m_nValue, 9);
    EXPECT_EQ(setting.m_strName, L"Type2") << "a known id replaces the name with its key";

    setting.SetProperties(L"Id = \"2\" Type = \"3\" Value = \"text\" ");
    EXPECT_EQ(setting.m_nType, 2) << "the text's own Type is not read";
    EXPECT_EQ(setting.m_nValue, 9) << "a value that is no number leaves the number";
}

TEST(AgentSetting, TableOfIdsKeysTypesDefaultsAndLimits)
{
    struct Row
    {
        int32_t nId;
        const wchar_t* key;
        int32_t nType, nDefault, nMaximum;
    };
    const Row rows[] = {
        {1, L"SettingsImportedInDB", 1, 0, 0},
        {500, L"Options_MDISnapActive", 1, 1, 0},
        {501, L"Options_MDISnapWidth", 2, 15, 100},
        {502, L"Options_MDISnapOnByDefault", 1, 1, 0},
        {525, L"Alarms_ShowTrayIcon", 1, 1, 0},
        {650, L"MessagesView_ViewTop", 1, 1, 0},
        {651, L"MessagesView_ViewLimit", 2, 100, 10000},
        {700, L"OverviewColor_InboundGroup", 2, 0xFF80FF, 16777216},
        {701, L"OverviewColor_ExternalNumber", 2, 0x808040, 16777216},
        {702, L"OverviewColor_Project", 2, 0x80FF80, 16777216},
        {703, L"OverviewColor_Agent", 2, 0x80FFFF, 16777216},
        {704, L"OverviewColor_Location", 2, 0x0080FF, 16777216},
        {705, L"OverviewColor_Exit", 2, 0x2040FF, 16777216},
        {706, L"OverviewColor_NotAllowedToView", 2, 0x20392F, 16777216},
        {750, L"QueueChartColor_Available", 2, 0x00C000, 16777216},
        {751, L"QueueChartColor_Pause", 2, 0x00FFFF, 16777216},
        {752, L"QueueChartColor_Busy", 2, 0x0000FF, 16777216},
        {753, L"QueueChartColor_Othergroup", 2, 0x3399FF, 16777216},
        {754, L"QueueChartColor_Outbound", 2, 0xFF0000, 16777216},
        {755, L"QueueChartColor_Inactive", 2, 0xC0C0C0, 16777216},
        {756, L"QueueChartColor_Occupied", 2, 0x0000FF, 16777216},
        {757, L"QueueChartColor_Empty", 2, 0xE1E1E1, 16777216},
        {800, L"Settings_AppointmentSpan", 2, 30, 10000000},
        {1000, L"Settings_ToolbarOnTop", 1, 0, 0},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.nId);
        const CAgentSetting setting(row.nId);
        EXPECT_EQ(setting.m_strName, row.key);
        EXPECT_EQ(setting.m_nType, row.nType);
        EXPECT_EQ(setting.m_nDefaultValue, row.nDefault);
        EXPECT_EQ(setting.m_nMaximum, row.nMaximum);
        EXPECT_EQ(setting.m_nMinimum, 0);
        EXPECT_EQ(setting.m_nValue, 0);
        EXPECT_TRUE(setting.m_bIsDefaultValue);
        EXPECT_EQ(setting.m_nOwner, -1);
        EXPECT_EQ(setting.m_nFlag, 0);
        EXPECT_FALSE(setting.m_bInitialising);
    }
}

TEST(AgentSetting, UnknownIdKeepsTheReceivedNameAndCarriesNoValue)
{
    CAgentSetting setting;
    setting.SetProperties(L"Id = \"999\" Name = \"Custom\" Type = \"2\" Value = \"5\" ");
    EXPECT_EQ(setting.m_nId, 999);
    EXPECT_EQ(setting.m_strName, L"Custom");
    EXPECT_EQ(setting.m_nType, 0);
    EXPECT_EQ(setting.m_nValue, 0);
    const auto entries = EntriesOf(setting.GetProperties());
    EXPECT_EQ(entries.count(L"Value"), 0u);
    EXPECT_EQ(entries.at(L"Type"), L"0");
    EXPECT_EQ(entries.at(L"Name"), L"Custom");
}

TEST(AgentSetting, AssignCopiesOnlyFromAgentSettings)
{
    CAgentSetting target(501);
    CTestSetting foreign(2);
    foreign.m_nValue = 55;
    target.Assign(foreign);
    EXPECT_EQ(target.m_nValue, 0) << "another family of settings is not taken over";

    CAgentSetting source(651);
    source.SetValue(777);
    target.Assign(source);
    EXPECT_EQ(target.m_nId, 651);
    EXPECT_EQ(target.m_nValue, 777);
    EXPECT_TRUE(target.IsEqual(static_cast<const CAgentSettingBase&>(source)));

    CAgentSetting assigned;
    assigned = source;
    EXPECT_TRUE(assigned.IsEqual(static_cast<const CAgentSettingBase&>(source)));
}
