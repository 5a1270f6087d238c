// The agent-settings store: readers with defaults, setters that copy, edit and exchange, settings
// received from Jex, racing writers, the give-up after too many lost exchanges, and the exit upload.
#include "core/CPropertyList.h"
#include "sessions/AppendBackslash.h"
#include "sessions/CAgentSettingStore.h"
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>

namespace
{
// A setting as UPDASE brings it: a default setting filled from its property text.
CAgentSetting Received(const wchar_t* pszText)
{
    CAgentSetting setting;
    setting.SetProperties(pszText);
    return setting;
}

class AgentSettingStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_store.SetTraceFunction([this](const CString& strLine) { m_traces.push_back(strLine); });
    }
    // Another writer publishes a new version of the id, as a second thread would between our copy
    // and our exchange.
    void PublishCompetingVersion(int32_t nId, int32_t nValue)
    {
        auto competitor = std::make_shared<CAgentSetting>(*m_store.LookupAgentSetting(nId, FALSE));
        competitor->m_nValue = nValue;
        competitor->m_bIsDefaultValue = false;
        m_store.InsertAgentSetting(competitor, TRUE);
    }

    CAgentSettingStore m_store;
    std::vector<CString> m_traces;
};
} // namespace

TEST_F(AgentSettingStoreTest, ReadingAMissingSettingStoresItsDefaults)
{
    EXPECT_EQ(m_store.GetAgentSettingLong(501, FALSE), 15);
    const auto stored = m_store.LookupAgentSetting(501, FALSE);
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(stored->m_bIsDefaultValue);
    EXPECT_EQ(stored->GetState(), 1) << "stored with the mark flag";
    EXPECT_EQ(m_store.GetAgentSettingOrDefault(501), stored) << "the second reader gets the same version";

    EXPECT_EQ(m_store.LookupAgentSetting(651, FALSE), nullptr);
    const auto created = m_store.LookupAgentSetting(651, TRUE);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->m_nId, 651);
    EXPECT_EQ(m_store.GetAgentSettingLong(651, FALSE), 100);
    EXPECT_FALSE(m_store.InsertAgentSetting(nullptr, TRUE));
}

TEST_F(AgentSettingStoreTest, ReceivedValueIsLimitedOnReadingAndDefaultsStayAtHand)
{
    m_store.StoreAgentSetting(Received(L"Id = \"501\" Value = \"250\" "));
    EXPECT_EQ(m_store.GetAgentSettingLong(501, FALSE), 100) << "limited to the maximum";
    EXPECT_EQ(m_store.GetAgentSettingLong(501, TRUE), 15);
    EXPECT_EQ(m_store.LookupAgentSetting(501, FALSE)->m_nValue, 250) << "stored as received";
}

TEST_F(AgentSettingStoreTest, FirstAndLaterUpdatesOfAnIdAreStored)
{
    // The first UPDASE of an id has no version to start from.
    m_store.StoreAgentSetting(Received(L"Id = \"1000\" Value = \"1\" "));
    auto stored = m_store.LookupAgentSetting(1000, FALSE);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->m_nValue, 1);
    EXPECT_EQ(stored->GetState(), 1);
    EXPECT_TRUE(m_store.GetToolbarOnTopSetting());

    m_store.StoreAgentSetting(Received(L"Id = \"1000\" Value = \"0\" "));
    EXPECT_NE(m_store.LookupAgentSetting(1000, FALSE), stored) << "a new version, never a change in place";
    EXPECT_EQ(stored->m_nValue, 1) << "the old version is untouched for whoever still holds it";
    EXPECT_FALSE(m_store.GetToolbarOnTopSetting());
    EXPECT_TRUE(m_traces.empty());
}

TEST_F(AgentSettingStoreTest, FirstVersionLosingToAnotherWriterIsRefreshedNotOverwritten)
{
    AgentSettingEdit edit(nullptr);
    EXPECT_EQ(edit.m_pCopy, nullptr);
    edit.m_pCopy = std::make_shared<CAgentSetting>(Received(L"Id = \"651\" Value = \"7\" "));
    // Meanwhile another writer stores the first version.
    auto other = CAgentSettingStore::MakeAgentSetting(651);
    other->m_strValue = L"theirs";
    m_store.InsertAgentSetting(other, TRUE);

    EXPECT_FALSE(m_store.CommitAgentSettingEdit(edit, TRUE));
    EXPECT_EQ(m_store.LookupAgentSetting(651, FALSE), other) << "their version was not overwritten";
    EXPECT_EQ(edit.m_pBase, other);
    ASSERT_NE(edit.m_pCopy, nullptr);
    EXPECT_EQ(edit.m_pCopy->m_strValue, L"theirs") << "the copy now starts from their version";

    edit.m_pCopy->SetValue(7);
    EXPECT_TRUE(m_store.CommitAgentSettingEdit(edit, TRUE));
    const auto stored = m_store.LookupAgentSetting(651, FALSE);
    EXPECT_EQ(stored->m_nValue, 7);
    EXPECT_EQ(stored->m_strValue, L"theirs") << "both changes are in";
    EXPECT_EQ(edit.m_pPrevious, other);
}

TEST_F(AgentSettingStoreTest, SettersChangeOnlyStoredSettings)
{
    m_store.SetAgentSettingLong(651, 20000, FALSE);
    EXPECT_EQ(m_store.LookupAgentSetting(651, FALSE), nullptr) << "a setter creates nothing";
    m_store.SetToolbarOnTopSetting(true);
    EXPECT_FALSE(m_store.GetToolbarOnTopSetting());

    m_store.StoreAgentSetting(Received(L"Id = \"651\" IsDefaultValue = \"1\" Del = \"1\" "));
    m_store.SetAgentSettingLong(651, 20000, FALSE);
    auto stored = m_store.LookupAgentSetting(651, FALSE);
    EXPECT_EQ(stored->m_nValue, 10000);
    EXPECT_FALSE(stored->m_bIsDefaultValue);
    EXPECT_FALSE(stored->m_bDeleted) << "a changed setting is live again";

    m_store.GetAgentSettingOrDefault(1000);
    EXPECT_FALSE(m_store.GetToolbarOnTopSetting()) << "stored with its default only";
    m_store.SetToolbarOnTopSetting(true);
    EXPECT_TRUE(m_store.GetToolbarOnTopSetting());
    m_store.SetAgentSettingBool(1000, false, FALSE);
    EXPECT_FALSE(m_store.GetToolbarOnTopSetting());

    EXPECT_FALSE(m_store.GetSettingsImportedInDB());
    m_store.GetAgentSettingOrDefault(1);
    m_store.SetSettingsImportedInDB(true);
    EXPECT_TRUE(m_store.GetSettingsImportedInDB());

    m_store.SetAgentSettingString(800, L"text", FALSE);
    EXPECT_EQ(m_store.GetAgentSettingString(800, FALSE), L"") << "800 is not stored";
    m_store.GetAgentSettingOrDefault(800);
    m_store.SetAgentSettingString(800, L"text", FALSE);
    EXPECT_EQ(m_store.GetAgentSettingString(800, FALSE), L"text");
    EXPECT_EQ(m_store.GetAgentSettingString(800, TRUE), L"");
    const COleDateTime when(2026, 12, 10, 8, 0, 0);
    m_store.SetAgentSettingDate(800, when, FALSE);
    EXPECT_EQ(m_store.GetAgentSettingDate(800, FALSE), when);
    EXPECT_EQ(m_store.GetAgentSettingDate(800, TRUE), COleDateTime());
}

TEST_F(AgentSettingStoreTest, CompareFlagLeavesAValueEqualToTheDefault)
{
    m_store.GetAgentSettingOrDefault(501);
    m_store.SetAgentSettingLong(501, 15, TRUE);
    EXPECT_TRUE(m_store.LookupAgentSetting(501, FALSE)->m_bIsDefaultValue);
    m_store.SetAgentSettingLong(501, 16, TRUE);
    EXPECT_EQ(m_store.GetAgentSettingLong(501, FALSE), 16);
}

TEST_F(AgentSettingStoreTest, DeletedSettingsStayButAreLeftOutOfTheUpload)
{
    m_store.StoreAgentSetting(Received(L"Id = \"651\" Value = \"50\" "));
    m_store.StoreAgentSetting(Received(L"Id = \"500\" Value = \"0\" "));
    m_store.StoreAgentSetting(Received(L"Id = \"1000\" Value = \"1\" "));
    m_store.DeleteAgentSetting(500);
    m_store.DeleteAgentSetting(4242); // not stored: nothing happens
    EXPECT_TRUE(m_store.LookupAgentSetting(500, FALSE)->m_bDeleted);
    EXPECT_EQ(m_store.LookupAgentSetting(4242, FALSE), nullptr);

    CStringArray texts;
    m_store.GetUploadTexts(texts);
    ASSERT_EQ(texts.GetSize(), 2);
    const CPropertyList first(texts[0]), second(texts[1]);
    EXPECT_EQ(first.GetPropertyLong(L"Id", 0L), 651L) << "in id order";
    EXPECT_EQ(first.GetPropertyLong(L"Value", 0L), 50L);
    EXPECT_EQ(second.GetPropertyLong(L"Id", 0L), 1000L);
    EXPECT_EQ(second.GetPropertyString(L"Name", L""), L"Settings_ToolbarOnTop");
}

TEST_F(AgentSettingStoreTest, EditGivesUpAfterMoreThanTwentyLostExchanges)
{
    m_store.StoreAgentSetting(Received(L"Id = \"651\" Value = \"1\" "));
    AgentSettingEdit edit(m_store.LookupAgentSetting(651, FALSE));
    int nRounds = 0;
    BOOL bDone = FALSE;
    while (!bDone && nRounds < 100)
    {
        ++nRounds;
        edit.m_pCopy->SetValue(9999); // our change
        PublishCompetingVersion(651, 1000 + nRounds);
        bDone = m_store.CommitAgentSettingEdit(edit, TRUE);
        if (!bDone)
        {
            EXPECT_TRUE(m_traces.empty()) << "no trace before the give-up";
        }
    }
    EXPECT_TRUE(bDone) << "callers stop on TRUE";
    EXPECT_EQ(nRounds, 21) << "twenty failures are retried, the twenty-first gives up";
    EXPECT_EQ(m_store.LookupAgentSetting(651, FALSE)->m_nValue, 1021) << "the change was lost";
    EXPECT_EQ(edit.m_pPrevious, edit.m_pBase);
    ASSERT_EQ(m_traces.size(), 1u) << "the lost change must be visible";
    EXPECT_NE(m_traces[0].Find(L"651"), -1) << CStringA(m_traces[0]).GetString();
    EXPECT_NE(m_traces[0].Find(L"21"), -1) << CStringA(m_traces[0]).GetString();
}

TEST_F(AgentSettingStoreTest, TwentyLostExchangesAndThenAWinAreNoGiveUp)
{
    m_store.StoreAgentSetting(Received(L"Id = \"651\" Value = \"1\" "));
    AgentSettingEdit edit(m_store.LookupAgentSetting(651, FALSE));
    for (int i = 0; i < 20; ++i)
    {
        edit.m_pCopy->SetValue(9999);
        PublishCompetingVersion(651, 1000 + i);
        ASSERT_FALSE(m_store.CommitAgentSettingEdit(edit, TRUE));
    }
    edit.m_pCopy->SetValue(9999);
    EXPECT_TRUE(m_store.CommitAgentSettingEdit(edit, TRUE));
    EXPECT_EQ(edit.m_nFailedTries, 0);
    EXPECT_EQ(m_store.LookupAgentSetting(651, FALSE)->m_nValue, 9999);
    EXPECT_TRUE(m_traces.empty());
}

// Two setters race on one id, each changing its own field: a lost update would bring back the
// other's older field, so both last values must be in the final version.
TEST_F(AgentSettingStoreTest, RacingSettersAreBothApplied)
{
    constexpr int kChanges = 5000;
    m_store.StoreAgentSetting(Received(L"Id = \"800\" Value = \"0\" "));
    std::thread numbers([&] {
        for (int i = 1; i <= kChanges; ++i)
            m_store.SetAgentSettingLong(800, i, FALSE);
    });
    std::thread texts([&] {
        CString text;
        for (int i = 1; i <= kChanges; ++i)
        {
            text.Format(L"text %d", i);
            m_store.SetAgentSettingString(800, text, FALSE);
        }
    });
    std::atomic<bool> stop{false};
    std::atomic<int> broken{0};
    std::thread reader([&] {
        int32_t nLastSeen = 0;
        while (!stop)
        {
            const int32_t nNow = m_store.GetAgentSettingLong(800, FALSE);
            if (nNow < nLastSeen) ++broken; // a lost update would step the number back
            nLastSeen = nNow;
        }
    });
    numbers.join();
    texts.join();
    stop = true;
    reader.join();
    const auto last = m_store.LookupAgentSetting(800, FALSE);
    EXPECT_EQ(last->m_nValue, kChanges);
    EXPECT_EQ(last->m_strValue, L"text 5000");
    EXPECT_EQ(broken, 0);
    // Losing every exchange twenty-one times in a row is not expected with two writers.
    EXPECT_TRUE(m_traces.empty());
}

TEST_F(AgentSettingStoreTest, RacingFirstUpdatesOfOneIdBothGoIn)
{
    // Each thread stores its own first-time ids and one id both share; none may crash or be lost.
    std::thread a([&] {
        for (int i = 0; i < 2000; ++i)
            m_store.StoreAgentSetting(Received(L"Id = \"501\" Value = \"10\" "));
    });
    std::thread b([&] {
        for (int i = 0; i < 2000; ++i)
        {
            m_store.GetMap().RemoveKey(501); // every round is a first version again
            m_store.StoreAgentSetting(Received(L"Id = \"501\" Value = \"20\" "));
        }
    });
    a.join();
    b.join();
    m_store.StoreAgentSetting(Received(L"Id = \"501\" Value = \"30\" "));
    EXPECT_EQ(m_store.GetAgentSettingLong(501, FALSE), 30);
}

TEST(AppendBackslash, AddsOnlyWhenMissing)
{
    const CString longPath = CString(L"C:\\") + CString(L'x', 300);
    struct Case
    {
        CString path, expected;
        const char* why;
    };
    const Case cases[] = {
        {L"", L"", "an empty path stays empty"},
        {L"C:\\Work", L"C:\\Work\\", "added"},
        {L"C:\\Work\\", L"C:\\Work\\", "already there"},
        {longPath, longPath + L"\\", "longer than the shell's buffer"},
        {longPath + L"\\", longPath + L"\\", "long and already there"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(AppendBackslash(c.path), c.expected);
    }
}
