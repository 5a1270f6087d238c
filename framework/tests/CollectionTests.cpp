// Arrays, lists and maps of the framework: contents, positions, and the exceptions of bad indexes.
#include "framework/CArray.h"
#include "framework/CList.h"
#include "framework/CMap.h"
#include "framework/CStringArray.h"
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace
{
// What a catch (CException* e) receives from an action: the class name, or "" when nothing was thrown.
template <typename F> std::string CaughtClass(F action)
{
    try
    {
        action();
    }
    catch (CException* e)
    {
        std::string name = e->GetRuntimeClass()->m_lpszClassName;
        e->Delete();
        return name;
    }
    return "";
}

template <typename A> auto Contents(A& a)
{
    std::vector<std::remove_cvref_t<decltype(a[0])>> v;
    for (INT_PTR i = 0; i < a.GetSize(); ++i)
        v.push_back(a[i]);
    return v;
}

class CRecord : public CObject
{
public:
    explicit CRecord(int n) : m_n(n) {}
    int m_n;
};

TEST(CArray, AddsInsertsRemovesAndGrows)
{
    CArray<int, int> a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.Add(1), 0);
    EXPECT_EQ(a.Add(3), 1);
    a.InsertAt(1, 2);
    a.InsertAt(0, 0, 2);
    EXPECT_EQ(Contents(a), (std::vector<int>{0, 0, 1, 2, 3}));
    a.RemoveAt(0);
    a.RemoveAt(2, 2);
    EXPECT_EQ(Contents(a), (std::vector<int>{0, 1}));
    a.SetAtGrow(4, 9);
    EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 0, 0, 9})) << "the gap is filled with zeros";
    EXPECT_EQ(a.GetUpperBound(), 4);
    a.SetSize(2);
    EXPECT_EQ(Contents(a), (std::vector<int>{0, 1}));
    a.SetSize(0, 100);
    a.Add(5);
    EXPECT_EQ(Contents(a), (std::vector<int>{5}));
    a.ElementAt(0) = 6;
    a[0] += 1;
    EXPECT_EQ(a.GetAt(0), 7);
    EXPECT_EQ(*a.GetData(), 7);

    CArray<int, int> b;
    b.Add(8);
    EXPECT_EQ(a.Append(b), 1) << "Append answers the index of the first new element";
    a.Append(a);
    EXPECT_EQ(Contents(a), (std::vector<int>{7, 8, 7, 8})) << "appending an array to itself doubles it";
    b.Copy(a);
    EXPECT_EQ(Contents(b), Contents(a));
    a.InsertAt(1, &b);
    EXPECT_EQ(a.GetSize(), 8);
    a.RemoveAll();
    EXPECT_EQ(a.GetSize(), 0);
}

TEST(CArray, AddOfItsOwnElementSurvivesTheMove)
{
    CStringArray a;
    a.Add(L"first, long enough to live on the heap of the string");
    for (int i = 0; i < 100; ++i)
        a.Add(a[0]); // every Add may move the elements
    EXPECT_EQ(a.GetSize(), 101);
    EXPECT_EQ(a[100], a[0]);
    a.SetAtGrow(300, a[0]);
    EXPECT_EQ(a[300], a[0]);
    a.InsertAt(0, a[300], 3);
    EXPECT_EQ(a[2], a[303]);
}

TEST(CArray, OutOfRangeAccessThrowsInvalidArgumentCaughtAsCException)
{
    CArray<int, int> a;
    a.SetSize(3);
    const CArray<int, int>& ca = a;
    CStringArray strings;
    strings.Add(L"a");
    const struct
    {
        std::function<void()> action;
        const char* why;
    } cases[] = {
        {[&] { (void)a.GetAt(3); }, "GetAt one past the end"},
        {[&] { (void)a.GetAt(-1); }, "GetAt of -1"},
        {[&] { (void)a.ElementAt(3); }, "ElementAt past the end"},
        {[&] { (void)a[3]; }, "operator[] past the end"},
        {[&] { (void)ca[5]; }, "const operator[] past the end"},
        {[&] { a.SetAt(3, 1); }, "SetAt past the end"},
        {[&] { a.RemoveAt(2, 2); }, "RemoveAt beyond the elements"},
        {[&] { a.InsertAt(-1, 1); }, "InsertAt before the start"},
        {[&] { a.SetSize(-1); }, "a negative size"},
        {[&] { (void)strings[1]; }, "CStringArray past the end"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CaughtClass(c.action), "CInvalidArgException");
    }
    EXPECT_EQ(CaughtClass([&] { (void)a[2]; }), "") << "the last element is in range";
    EXPECT_EQ(a.GetSize(), 3) << "failed calls leave the array as it was";
}

TEST(CArray, NamedArraysHoldTheirTypes)
{
    CByteArray bytes;
    bytes.Add(0xFF);
    CWordArray words;
    words.Add(0xFFFF);
    CDWordArray dwords;
    dwords.Add(0xFFFFFFFF);
    CUIntArray uints;
    uints.SetSize(2);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(words[0], 0xFFFF);
    EXPECT_EQ(dwords[0], 0xFFFFFFFFu);
    EXPECT_EQ(uints[1], 0u);

    CRecord one(1), two(2);
    CTypedPtrArray<CObArray, CRecord*> records;
    records.Add(&one);
    records.Add(&two);
    EXPECT_EQ(records[1]->m_n, 2);
    records.ElementAt(0) = &two;
    EXPECT_EQ(records.GetAt(0), &two);
    CObArray& base = records;
    EXPECT_EQ(base[0], static_cast<CObject*>(&two));
    CPtrArray pointers;
    pointers.Add(&one);
    EXPECT_EQ(pointers[0], &one);
}

TEST(CList, WalksForwardAndBackwardByPosition)
{
    CList<CString, const CString&> list;
    list.AddTail(CString(L"b"));
    list.AddTail(CString(L"c"));
    list.AddHead(CString(L"a"));
    std::vector<std::wstring> forward, backward;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        forward.push_back(list.GetNext(pos).GetString());
    for (POSITION pos = list.GetTailPosition(); pos;)
        backward.push_back(list.GetPrev(pos).GetString());
    EXPECT_EQ(forward, (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(backward, (std::vector<std::wstring>{L"c", L"b", L"a"}));

    POSITION b = list.Find(CString(L"b"));
    ASSERT_NE(b, nullptr);
    list.InsertBefore(b, CString(L"a2"));
    list.InsertAfter(b, CString(L"b2"));
    list.SetAt(b, CString(L"B"));
    EXPECT_EQ(list.GetAt(list.FindIndex(2)), CString(L"B"));
    EXPECT_EQ(list.FindIndex(5), nullptr);
    EXPECT_EQ(list.Find(CString(L"x")), nullptr);
    list.RemoveAt(b);
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.RemoveHead(), CString(L"a"));
    EXPECT_EQ(list.RemoveTail(), CString(L"c"));
    EXPECT_EQ(list.GetHead(), CString(L"a2"));
    EXPECT_EQ(list.GetTail(), CString(L"b2"));

    CList<CString, const CString&> copy(list);
    list.AddTail(&list);
    EXPECT_EQ(list.GetCount(), 4) << "a list appended to itself doubles";
    EXPECT_EQ(copy.GetCount(), 2);
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

TEST(CList, EmptyListAndNullPositionThrow)
{
    CList<long, long> list;
    EXPECT_EQ(CaughtClass([&] { (void)list.GetHead(); }), "CInvalidArgException");
    EXPECT_EQ(CaughtClass([&] { (void)list.RemoveTail(); }), "CInvalidArgException");
    POSITION pos = nullptr;
    EXPECT_EQ(CaughtClass([&] { (void)list.GetNext(pos); }), "CInvalidArgException");
    EXPECT_EQ(CaughtClass([&] { list.RemoveAt(nullptr); }), "CInvalidArgException");
}

TEST(CList, TypedPointerListsHandOutTheirType)
{
    CRecord one(1), two(2);
    CTypedPtrList<CObList, CRecord*> records;
    records.AddTail(&one);
    records.AddHead(&two);
    std::vector<int> seen;
    for (POSITION pos = records.GetHeadPosition(); pos;)
        seen.push_back(records.GetNext(pos)->m_n);
    EXPECT_EQ(seen, (std::vector<int>{2, 1}));
    EXPECT_EQ(records.RemoveHead(), &two);
    CPtrList pointers;
    pointers.AddTail(&one);
    EXPECT_EQ(pointers.Find(&one), pointers.GetHeadPosition());
    CStringList names;
    names.AddTail(L"x");
    EXPECT_EQ(names.GetHead(), CString(L"x"));
}

TEST(CMap, StoresLooksUpAndRemovesTextKeysByContent)
{
    CMap<CString, LPCWSTR, int, int> map;
    map.InitHashTable(17);
    map.SetAt(L"one", 1);
    map[L"two"] = 2;
    wchar_t lookupKey[] = L"one"; // a different pointer with the same text
    int value = 0;
    EXPECT_TRUE(map.Lookup(lookupKey, value));
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(map.Lookup(L"ONE", value)) << "keys compare with case";
    map.SetAt(L"one", 11);
    EXPECT_EQ(map.GetCount(), 2) << "SetAt of a present key replaces its value";
    EXPECT_EQ(map[L"one"], 11);
    EXPECT_TRUE(map.RemoveKey(L"one"));
    EXPECT_FALSE(map.RemoveKey(L"one"));
    EXPECT_EQ(map.GetCount(), 1);
    EXPECT_EQ(map.PLookup(L"two")->value, 2);
    EXPECT_EQ(map.PLookup(L"one"), nullptr);
}

TEST(CMap, WalksEveryEntryOnce)
{
    CMap<int, int, CString, const CString&> map;
    std::map<int, std::wstring> expected;
    for (int i = -50; i < 150; ++i) // many entries per bucket
    {
        CString text;
        text.Format(L"v%d", i);
        map.SetAt(i, text);
        expected[i] = text.GetString();
    }
    map.InitHashTable(101); // ignored: the map is not empty
    EXPECT_EQ(map.GetHashTableSize(), 17u);
    std::map<int, std::wstring> seen;
    POSITION pos = map.GetStartPosition();
    while (pos)
    {
        int key = 0;
        CString text;
        map.GetNextAssoc(pos, key, text);
        EXPECT_TRUE(seen.emplace(key, text.GetString()).second) << "key " << key << " seen twice";
    }
    EXPECT_EQ(seen, expected);

    CMap<int, int, CString, const CString&> copy(map);
    EXPECT_EQ(copy.GetCount(), 200);
    map.RemoveAll();
    EXPECT_EQ(map.GetStartPosition(), nullptr);
    CString text;
    EXPECT_TRUE(copy.Lookup(149, text));
    EXPECT_EQ(text, CString(L"v149"));
}

TEST(CMap, KeysOfHandlesAndPointersAndReferenceValues)
{
    int a = 0, b = 0;
    CMap<void*, void*, int, int> pointers;
    pointers[&a] = 1;
    pointers[&b] = 2;
    int v = 0;
    EXPECT_TRUE(pointers.Lookup(&b, v));
    EXPECT_EQ(v, 2);

    CMap<HWND, HWND, UINT, UINT> windows;
    windows.SetAt(reinterpret_cast<HWND>(0x1234), 7u);
    UINT message = 0;
    EXPECT_TRUE(windows.Lookup(reinterpret_cast<HWND>(0x1234), message));
    EXPECT_FALSE(windows.Lookup(reinterpret_cast<HWND>(0x1235), message));

    // The command map's shape: CString keys looked up by text, values passed by reference.
    struct Command
    {
        int mode;
    } cmd{3};
    CMap<CString, LPCWSTR, Command*, Command*&> commands;
    Command* p = &cmd;
    commands.SetAt(L"CNPROP", p);
    Command* found = nullptr;
    ASSERT_TRUE(commands.Lookup(CString(L"CNPROP"), found));
    EXPECT_EQ(found->mode, 3);
    CMap<CString, LPCWSTR, Command*, Command*&> copy(commands);
    EXPECT_TRUE(copy.Lookup(L"CNPROP", found));
}

TEST(CMap, EntryJustWalkedMayBeRemoved)
{
    CMap<UINT, UINT, int, int> map;
    for (UINT i = 0; i < 60; ++i)
        map[i * 17] = 1; // all in one bucket
    for (UINT i = 0; i < 40; ++i)
        map[i] += 1;
    int visited = 0;
    for (POSITION pos = map.GetStartPosition(); pos;)
    {
        UINT key = 0;
        int value = 0;
        map.GetNextAssoc(pos, key, value);
        ++visited;
        EXPECT_TRUE(map.RemoveKey(key));
    }
    EXPECT_EQ(visited, 97); // 60 + 40 keys, 3 of them shared (0, 17, 34)
    EXPECT_TRUE(map.IsEmpty());
}

TEST(CMap, NextAssocOnNullPositionThrows)
{
    CMap<int, int, int, int> map;
    POSITION pos = nullptr;
    int k = 0, v = 0;
    EXPECT_EQ(CaughtClass([&] { map.GetNextAssoc(pos, k, v); }), "CInvalidArgException");
}
} // namespace
