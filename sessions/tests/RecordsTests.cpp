// Agent, location and outbound-group records: display names, the three list parsers and emptying
// record arrays.
#include "sessions/CAgent.h"
#include "sessions/CLocation.h"
#include "sessions/COutboundGroup.h"
#include "sessions/tests/RecordsTestText.h"
#include <gtest/gtest.h>
#include <chrono>
#include <vector>

namespace
{
struct DisplayNameCase
{
    LPCWSTR user, first, last, shown;
    const char* why;
};
const DisplayNameCase kDisplayNames[] = {
    {L"jdoe", L"Jane", L"Doe", L"jdoe", "the user name wins over both names"},
    {L"", L"Jane", L"Doe", L"Jane Doe", "first and last joined by one blank"},
    {L"", L"", L"Doe", L"Doe", "a last name alone"},
    {L"", L"Jane", L"", L"Jane", "a first name alone, no trailing blank"},
    {L"", L"", L"", L"", "no names"},
};

TEST(Agent, DisplayNamePrefersUserNameThenFirstAndLast)
{
    for (const auto& c : kDisplayNames)
    {
        SCOPED_TRACE(c.why);
        CAgent agent;
        agent.m_strUserName = c.user;
        agent.m_strFirstName = c.first;
        agent.m_strLastName = c.last;
        EXPECT_EQ(W(agent.GetDisplayName()), c.shown);
    }
}

TEST(Agent, StartsEmptyAndCopiesEveryField)
{
    const CAgent empty;
    EXPECT_EQ(empty.m_nId, -1);
    EXPECT_TRUE(empty.m_strUserName.IsEmpty() && empty.m_strPassword.IsEmpty());
    EXPECT_FALSE(empty.m_bSoftphoneLog);

    CAgent agent;
    agent.m_nId = 12;
    agent.m_strLastName = L"Doe";
    agent.m_strFirstName = L"Jane";
    agent.m_strUserName = L"jdoe";
    agent.m_strPassword = L"ABCD";
    agent.m_bSoftphoneLog = true;
    CAgent assigned;
    assigned = agent;
    const CAgent copied(agent);
    for (const CAgent* copy : {static_cast<const CAgent*>(&assigned), &copied})
    {
        EXPECT_EQ(copy->m_nId, 12);
        EXPECT_EQ(W(copy->m_strLastName), L"Doe");
        EXPECT_EQ(W(copy->m_strFirstName), L"Jane");
        EXPECT_EQ(W(copy->m_strUserName), L"jdoe");
        EXPECT_EQ(W(copy->m_strPassword), L"ABCD");
        EXPECT_TRUE(copy->m_bSoftphoneLog);
    }
}

// One parsed record, flattened for comparison.
struct Entry
{
    long id;
    std::wstring a, b, c;
    bool operator==(const Entry&) const = default;
    friend void PrintTo(const Entry& e, std::ostream* os)
    {
        *os << "{" << e.id << ", " << testing::PrintToString(e.a) << ", " << testing::PrintToString(e.b) << ", "
            << testing::PrintToString(e.c) << "}";
    }
};

std::vector<Entry> Agents(const CObArray& arr)
{
    std::vector<Entry> v;
    for (CObject* p : arr)
    {
        const auto* agent = static_cast<const CAgent*>(p);
        v.push_back({agent->m_nId, W(agent->m_strFirstName), W(agent->m_strLastName), W(agent->m_strUserName)});
    }
    return v;
}

std::vector<Entry> Locations(const CObArray& arr)
{
    std::vector<Entry> v;
    for (CObject* p : arr)
    {
        const auto* location = static_cast<const CLocation*>(p);
        v.push_back({location->m_nId, W(location->m_strName), W(location->m_strComputerName), L""});
    }
    return v;
}

std::vector<Entry> Groups(const CObArray& arr)
{
    std::vector<Entry> v;
    for (CObject* p : arr)
    {
        const auto* group = static_cast<const COutboundGroup*>(p);
        v.push_back({group->m_nId, W(group->m_strName), L"", L""});
    }
    return v;
}

struct ListCase
{
    LPCWSTR text;
    std::vector<Entry> records;
    const char* why;
};

const ListCase kAgentLists[] = {
    {L"ID1 = \"7\" FN1 = \"Jane\" LN1 = \"Doe\" UN1 = \"jdoe\" ID2 = \"8\" LN2 = \"Roe\" ",
     {{7, L"Jane", L"Doe", L"jdoe"}, {8, L"", L"Roe", L""}},
     "entries from 1 on; missing names are empty"},
    {L"ID1 = \"7\" ID3 = \"9\" ", {{7, L"", L"", L""}}, "the list ends at the first missing n"},
    {L"ID0 = \"5\" ID1 = \"7\" ", {{7, L"", L"", L""}}, "entry 0 is not part of an agent list"},
    {L"ID1 = \"7\" ID2 = \"0\" ID3 = \"9\" ", {{7, L"", L"", L""}}, "an id of 0 ends the list"},
    {L"ID1 = \"x\" ", {}, "an id that is not a number ends it too"},
    {L"", {}, "an empty text"},
};

TEST(AgentList, ReadsEntriesFromOneUpToTheFirstMissingId)
{
    for (const auto& c : kAgentLists)
    {
        SCOPED_TRACE(c.why);
        CObArray arr;
        arr.Add(new CAgent); // an earlier list: the parser empties the array first
        CAgent::ParseAgentList(arr, c.text);
        EXPECT_EQ(Agents(arr), c.records);
        DeleteObArray(arr);
    }
}

const ListCase kLocationLists[] = {
    {L"Count = \"2\" ID0 = \"3\" NM0 = \"Desk 3\" CNM0 = \"PC3\" ID1 = \"4\" NM1 = \"Desk 4\" CNM1 = \"PC4\" ",
     {{3, L"Desk 3", L"PC3", L""}, {4, L"Desk 4", L"PC4", L""}},
     "two whole entries"},
    {L"Count = \"2\" ID0 = \"3\" NM0 = \"Desk 3\" CNM0 = \"PC3\" ",
     {{3, L"Desk 3", L"PC3", L""}, {0, L"", L"", L""}},
     "a counted entry that is missing gives id 0 and empty names"},
    {L"ID0 = \"3\" ", {}, "no count, no locations"},
    {L"Count = \"-4\" ID0 = \"3\" ", {}, "a negative count gives none"},
    {L"Count = \"2000000000\" ID0 = \"3\" ID1 = \"4\" ID2 = \"5\" ",
     {{3, L"", L"", L""}, {4, L"", L"", L""}, {5, L"", L"", L""}},
     "a hostile count is capped at the entries the list holds"},
};

TEST(LocationList, ReadsCountEntriesFromZero)
{
    for (const auto& c : kLocationLists)
    {
        SCOPED_TRACE(c.why);
        CObArray arr;
        const auto start = std::chrono::steady_clock::now();
        CLocation::ParseLocationList(arr, c.text);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "bounded work";
        EXPECT_EQ(Locations(arr), c.records);
        DeleteObArray(arr);
    }
}

TEST(LocationList, AppendsToWhatTheArrayHolds)
{
    CObArray arr;
    auto* earlier = new CLocation;
    earlier->m_nId = 99;
    arr.Add(earlier);
    CLocation::ParseLocationList(arr, L"Count = \"1\" ID0 = \"3\" ");
    EXPECT_EQ(Locations(arr), (std::vector<Entry>{{99, L"", L"", L""}, {3, L"", L"", L""}}));
    DeleteObArray(arr);
}

const ListCase kGroupLists[] = {
    {L"12 = \"Sales\" 7 = \"Survey\" ",
     {{12, L"Sales", L"", L""}, {7, L"Survey", L"", L""}},
     "every entry, in the list's order"},
    {L"north = \"North\" ", {{0, L"North", L"", L""}}, "a name that is not a number gives id 0"},
    {L"", {}, "an empty text"},
};

TEST(OutboundGroupList, MakesOneGroupPerEntry)
{
    for (const auto& c : kGroupLists)
    {
        SCOPED_TRACE(c.why);
        CObArray arr;
        arr.Add(new COutboundGroup);
        COutboundGroup::ParseOutboundGroupList(arr, c.text);
        EXPECT_EQ(Groups(arr), c.records);
        DeleteObArray(arr);
    }
}

// Counts its lives, so that emptying an array shows every record deleted through the base.
class CCountedLocation : public CLocation
{
public:
    CCountedLocation() { ++s_nAlive; }
    ~CCountedLocation() override { --s_nAlive; }
    static inline int s_nAlive = 0;
};

TEST(DeleteObArray, DeletesEveryRecordAndSkipsNulls)
{
    CObArray arr;
    for (int i = 0; i < 5; ++i)
        arr.Add(new CCountedLocation);
    arr.Add(nullptr);
    arr.Add(new CCountedLocation);
    ASSERT_EQ(CCountedLocation::s_nAlive, 6);
    DeleteObArray(arr);
    EXPECT_EQ(CCountedLocation::s_nAlive, 0) << "every record freed through its virtual destructor";
    EXPECT_EQ(arr.GetSize(), 0);
    DeleteObArray(arr); // an empty array is fine
    EXPECT_EQ(arr.GetSize(), 0);
}
TEST(DeleteObArray, ListParsersFreeTheRecordsOfTheEarlierList)
{
    CObArray agents;
    CObArray groups;
    agents.Add(new CCountedLocation); // any record: the array is emptied through the base
    groups.Add(new CCountedLocation);
    CAgent::ParseAgentList(agents, L"ID1 = \"7\" ");
    COutboundGroup::ParseOutboundGroupList(groups, L"3 = \"Sales\" ");
    EXPECT_EQ(CCountedLocation::s_nAlive, 0);
    EXPECT_EQ(Agents(agents), (std::vector<Entry>{{7, L"", L"", L""}}));
    EXPECT_EQ(Groups(groups), (std::vector<Entry>{{3, L"Sales", L"", L""}}));
    DeleteObArray(agents);
    DeleteObArray(groups);
}
} // namespace
