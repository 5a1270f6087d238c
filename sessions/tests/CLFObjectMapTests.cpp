// The object map: look-ups, names, ids, compare-and-exchange, snapshots, and concurrent writers and
// readers that must only ever see whole versions.
#include "sessions/CJexObject.h"
#include "sessions/CLFObjectMap.h"
#include "sessions/CLFObjectMapClass.h"
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{
// A stored object whose fields must always agree: b is twice a, and the name spells a.
class CPairObject : public CJexObject, public CLFObjectMapClass<CPairObject>
{
public:
    CPairObject(long nId, const wchar_t* pszName, bool bDeleted = false)
    {
        m_nId = nId;
        m_strName = pszName;
        m_bDeleted = bDeleted;
    }
    void SetA(long nA)
    {
        m_nA = nA;
        m_strName.Format(L"%ld", nA);
        m_nB = 2 * nA;
    }
    bool IsWhole() const
    {
        CString strA;
        strA.Format(L"%ld", m_nA);
        return m_nB == 2 * m_nA && m_strName == strA;
    }
    long m_nA = 0;
    long m_nB = 0;
};

using CPairMap = CLFObjectMap<CPairObject>;

std::shared_ptr<CPairObject> Make(long nId, const wchar_t* pszName, bool bDeleted = false)
{
    return std::make_shared<CPairObject>(nId, pszName, bDeleted);
}

std::vector<long> IdsOf(const CPairMap& map, BOOL bAll)
{
    CPairMap::IdList ids;
    map.GetIds(ids, bAll);
    std::vector<long> out;
    for (POSITION pos = ids.GetHeadPosition(); pos;)
        out.push_back(ids.GetNext(pos));
    return out;
}
} // namespace

TEST(LFObjectMap, InsertReplacesAndMarksOnlyWhenAsked)
{
    CPairMap map;
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_FALSE(map.Insert(nullptr, TRUE));
    auto first = Make(4, L"Four");
    ASSERT_TRUE(map.Insert(first, FALSE));
    EXPECT_EQ(first->GetState(), 0);
    auto second = Make(4, L"Vier");
    ASSERT_TRUE(map.Insert(second, TRUE));
    EXPECT_EQ(second->GetState(), 1);
    EXPECT_EQ(map.Lookup(4), second);
    EXPECT_EQ(map.GetCount(), 1);
    EXPECT_EQ(map.GetName(4, FALSE), L"Vier");
    EXPECT_EQ(map.Lookup(5), nullptr);
    EXPECT_EQ(map.GetName(5, FALSE), L"");
}

TEST(LFObjectMap, CompareExchangeWithAStaleVersionChangesNothing)
{
    CPairMap map;
    auto v1 = Make(1, L"one");
    map.Insert(v1, FALSE);
    auto v2 = Make(1, L"two");
    ASSERT_TRUE(map.CompareExchange(v1, v2));
    EXPECT_EQ(map.Lookup(1), v2);

    // A copy with the same contents is not the same version.
    auto lookAlike = std::make_shared<CPairObject>(*v2);
    EXPECT_FALSE(map.CompareExchange(lookAlike, Make(1, L"three")));
    EXPECT_FALSE(map.CompareExchange(v1, Make(1, L"three"))) << "v1 is stale";
    EXPECT_EQ(map.Lookup(1), v2);
    EXPECT_FALSE(map.CompareExchange(v2, nullptr));
    EXPECT_EQ(map.Lookup(1), v2);
}

TEST(LFObjectMap, NullExpectedVersionMeansAbsentOrNull)
{
    CPairMap map;
    auto first = Make(8, L"first");
    EXPECT_TRUE(map.CompareExchange(nullptr, first)) << "the first version of an id goes in";
    EXPECT_EQ(map.Lookup(8), first);
    EXPECT_FALSE(map.CompareExchange(nullptr, Make(8, L"late"))) << "a version is there now";
    EXPECT_EQ(map.Lookup(8), first);
}

TEST(LFObjectMap, EntriesHoldingNullCountForIdsButNotForObjects)
{
    CPairMap map;
    map.Insert(Make(2, L"two"), FALSE);
    map.Insert(Make(3, L"three", true), FALSE);
    // Exchanging against a version of an id that is not stored leaves an entry holding null.
    EXPECT_FALSE(map.CompareExchange(Make(9, L"ghost"), Make(9, L"nine")));
    EXPECT_EQ(map.GetCount(), 3);
    EXPECT_FALSE(map.IsIdFree(9)) << "an entry holding null is not free";
    EXPECT_TRUE(map.IsIdFree(10));
    EXPECT_FALSE(map.Exists(9));
    EXPECT_TRUE(map.Exists(3));
    EXPECT_FALSE(map.ExistsActive(3));
    EXPECT_TRUE(map.ExistsActive(2));
    EXPECT_EQ(IdsOf(map, TRUE), (std::vector<long>{2, 3, 9}));
    EXPECT_EQ(IdsOf(map, FALSE), (std::vector<long>{2}));

    CPairMap::ObjectList all, active;
    map.GetObjects(all, TRUE);
    map.GetObjects(active, FALSE);
    EXPECT_EQ(all.GetCount(), 2);
    EXPECT_EQ(active.GetCount(), 1);
    EXPECT_EQ(map.GetName(3, FALSE), L"three");
    EXPECT_EQ(map.GetName(3, TRUE), L"") << "a deleted object's name is hidden on request";
}

TEST(LFObjectMap, LookupByNamePrefersTheActiveObjectWhateverTheCase)
{
    CPairMap map;
    map.Insert(Make(3, L"Sales", true), FALSE);
    map.Insert(Make(7, L"SALES"), FALSE);
    map.Insert(Make(9, L"sales", true), FALSE);
    auto found = map.LookupByName(L"sAlEs");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->m_nId, 7);
    EXPECT_EQ(map.LookupByName(L""), nullptr);

    map.Insert(Make(7, L"Other"), FALSE);
    found = map.LookupByName(L"sales");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->m_nId, 9) << "only deleted ones match: the last in key order";
}

TEST(LFObjectMap, NamesInUseAndUniqueNames)
{
    CPairMap map;
    map.Insert(Make(1, L"Group"), FALSE);
    map.Insert(Make(2, L"Group (2)", true), FALSE);
    EXPECT_EQ(map.MakeUniqueName(L"Group"), L"Group (3)") << "deleted objects keep their names taken";
    EXPECT_EQ(map.MakeUniqueName(L"Team"), L"Team");
    EXPECT_TRUE(map.IsNameUsed(L"Group (2)"));
    EXPECT_FALSE(map.IsNameUsed(L"group")) << "with regard to case";
    EXPECT_TRUE(map.IsNameUsedByOther(L"Group", 5));
    EXPECT_FALSE(map.IsNameUsedByOther(L"Group", 1)) << "its own name";
    EXPECT_FALSE(map.IsNameUsedByOther(L"Group (2)", 5)) << "deleted objects do not count";
}

TEST(LFObjectMap, LoopWalksASnapshotAndRemovedObjectsLiveOn)
{
    CPairMap map;
    map.Insert(Make(5, L"five"), FALSE);
    map.Insert(Make(1, L"one"), FALSE);
    map.Insert(Make(3, L"three", true), FALSE);
    CPairObject::Loop loop(map, FALSE);
    map.RemoveAll(); // the snapshot does not change
    std::vector<long> seen;
    while (loop.HasNext())
        seen.push_back(loop.GetNext()->m_nId);
    EXPECT_EQ(seen, (std::vector<long>{1, 5}));
    EXPECT_EQ(loop.GetNext(), nullptr);
    EXPECT_TRUE(map.IsEmpty());

    auto kept = Make(2, L"two");
    map.Insert(kept, FALSE);
    const std::shared_ptr<const CPairObject> reader = map.Lookup(2);
    kept.reset();
    EXPECT_TRUE(map.RemoveKey(2));
    EXPECT_FALSE(map.RemoveKey(2));
    EXPECT_TRUE(map.Remove(2)) << "Remove answers TRUE whatever it found";
    EXPECT_EQ(reader->m_strName, L"two") << "the reader's version outlives its entry";
    map.Insert(Make(4, L"four"), FALSE);
    map.Clear();
    EXPECT_EQ(map.GetCount(), 0);
}

TEST(LFObjectMap, StdMapWalksInKeyOrder)
{
    CStdMap<long, long, CString, const CString&> map;
    map.SetAt(30, L"c");
    map[10] = L"a";
    map.SetAt(20, L"b");
    CString value;
    EXPECT_TRUE(map.Lookup(20, value));
    EXPECT_EQ(value, L"b");
    EXPECT_FALSE(map.Lookup(40, value));
    std::vector<long> keys;
    CString joined;
    for (POSITION pos = map.GetStartPosition(); pos;)
    {
        long key = 0;
        map.GetNextAssoc(pos, key, value);
        keys.push_back(key);
        joined += value;
    }
    EXPECT_EQ(keys, (std::vector<long>{10, 20, 30}));
    EXPECT_EQ(joined, L"abc");
    EXPECT_TRUE(map.RemoveKey(20));
    EXPECT_EQ(map.GetCount(), 2);
}

// Two writers each add to the same object many times by copy, edit and exchange; readers check every
// version they see while the writers run.
TEST(LFObjectMap, ConcurrentWritersAreBothAppliedAndReadersSeeWholeVersions)
{
    constexpr int kAddsPerWriter = 20000;
    CPairMap map;
    map.Insert(Make(1, L"0"), FALSE);
    std::atomic<bool> writersDone{false};
    std::atomic<long> retries{0}, broken{0}, reads{0};

    auto writer = [&] {
        for (int i = 0; i < kAddsPerWriter; ++i)
        {
            for (int round = 0;; ++round)
            {
                const std::shared_ptr<const CPairObject> base = map.Lookup(1);
                auto copy = std::make_shared<CPairObject>(*base);
                copy->SetA(base->m_nA + 1);
                if (map.CompareExchange(base, copy)) break;
                ++retries;
            }
        }
    };
    auto reader = [&] {
        while (!writersDone)
        {
            const auto version = map.Lookup(1);
            if (!version || !version->IsWhole()) ++broken;
            ++reads;
        }
    };
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back(reader);
    std::thread w1(writer), w2(writer);
    w1.join();
    w2.join();
    writersDone = true;
    for (auto& r : readers)
        r.join();

    const auto last = map.Lookup(1);
    EXPECT_EQ(last->m_nA, 2 * kAddsPerWriter) << "every change of both writers is in";
    EXPECT_TRUE(last->IsWhole());
    EXPECT_EQ(broken, 0);
    EXPECT_GT(reads, 0);
    std::printf("exchanges repeated after losing to the other writer: %ld\n", retries.load());
}
