#pragma once
#include "framework/CException.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include <cstring>
#include <cwchar>
#include <type_traits>
#include <utility>
#include <vector>

// Hash of a map key. Texts hash by content (a CString key looked up by LPCWSTR finds the same
// bucket); numbers, handles and pointers by value.
inline UINT HashText(const wchar_t* p)
{
    UINT h = 0;
    if (p)
        while (*p)
            h = (h << 5) + h + static_cast<UINT>(*p++);
    return h;
}
inline UINT HashText(const char* p)
{
    UINT h = 0;
    if (p)
        while (*p)
            h = (h << 5) + h + static_cast<unsigned char>(*p++);
    return h;
}
inline UINT HashKey(const wchar_t* key)
{
    return HashText(key);
}
inline UINT HashKey(const char* key)
{
    return HashText(key);
}
inline UINT HashKey(const CStringW& key)
{
    return HashText(key.GetString());
}
inline UINT HashKey(const CStringA& key)
{
    return HashText(key.GetString());
}
template <typename K>
concept TextPointer = std::is_pointer_v<K> &&(std::is_same_v<std::remove_cv_t<std::remove_pointer_t<K>>, wchar_t> ||
                                              std::is_same_v<std::remove_cv_t<std::remove_pointer_t<K>>, char>);
template <typename K>
requires((std::is_integral_v<K> || std::is_enum_v<K> || std::is_pointer_v<K>)&&!TextPointer<K>) UINT HashKey(K key)
{
    UINT64 v;
    if constexpr (std::is_pointer_v<K>)
        v = reinterpret_cast<UINT_PTR>(key) >> 4; // heap pointers are aligned
    else
        v = static_cast<UINT64>(key);
    return static_cast<UINT>(v ^ (v >> 32));
}

// Key equality: texts by content, everything else by ==.
template <typename KEY, typename ARG_KEY> bool CompareElements(const KEY& a, const ARG_KEY& b)
{
    if constexpr (TextPointer<KEY> && std::is_same_v<std::remove_cv_t<std::remove_pointer_t<KEY>>, wchar_t>)
        return std::wcscmp(a ? a : L"", b ? b : L"") == 0;
    else if constexpr (TextPointer<KEY>)
        return std::strcmp(a ? a : "", b ? b : "") == 0;
    else
        return a == b;
}

// The framework's hash map. The table has a fixed number of buckets (17 unless InitHashTable chose
// another number while the map was empty); entries are walked with GetStartPosition / GetNextAssoc
// in an unspecified order. Adding during a walk is not supported; removing the entry just returned is.
template <typename KEY, typename ARG_KEY, typename VALUE, typename ARG_VALUE> class CMap : public CObject
{
public:
    struct CPair
    {
        const KEY key;
        VALUE value;
    };

private:
    struct Assoc : CPair
    {
        Assoc(ARG_KEY k, UINT h) : CPair{KEY(k), VALUE()}, nHash(h) {}
        Assoc* pNext = nullptr;
        UINT nHash;
    };

public:
    explicit CMap(INT_PTR /*nBlockSize*/ = 10) {}
    CMap(const CMap& other) : CObject() { CopyFrom(other); }
    CMap& operator=(const CMap& other)
    {
        if (this != &other)
        {
            RemoveAll();
            CopyFrom(other);
        }
        return *this;
    }
    ~CMap() override { RemoveAll(); }

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }
    UINT GetHashTableSize() const { return m_nHashTableSize; }

    // Takes effect only while the map is empty, as it always did; later calls are ignored.
    void InitHashTable(UINT nHashSize, BOOL bAllocNow = TRUE)
    {
        if (m_nCount != 0 || nHashSize == 0) return;
        m_buckets.clear();
        m_nHashTableSize = nHashSize;
        if (bAllocNow) m_buckets.assign(m_nHashTableSize, nullptr);
    }

    BOOL Lookup(ARG_KEY key, VALUE& rValue) const
    {
        const Assoc* a = Find(key);
        if (!a) return FALSE;
        rValue = a->value;
        return TRUE;
    }
    const CPair* PLookup(ARG_KEY key) const { return Find(key); }
    CPair* PLookup(ARG_KEY key) { return Find(key); }

    VALUE& operator[](ARG_KEY key) { return FindOrAdd(key)->value; }
    void SetAt(ARG_KEY key, ARG_VALUE newValue) { FindOrAdd(key)->value = newValue; }

    BOOL RemoveKey(ARG_KEY key)
    {
        if (m_buckets.empty()) return FALSE;
        const UINT hash = HashKey(key);
        for (Assoc** link = &m_buckets[hash % m_nHashTableSize]; *link; link = &(*link)->pNext)
            if ((*link)->nHash == hash && CompareElements((*link)->key, key))
            {
                Assoc* gone = *link;
                *link = gone->pNext;
                delete gone;
                --m_nCount;
                return TRUE;
            }
        return FALSE;
    }
    void RemoveAll()
    {
        for (Assoc*& head : m_buckets)
            for (Assoc* a = head; a;)
            {
                Assoc* next = a->pNext;
                delete a;
                a = next;
            }
        m_buckets.clear();
        m_nCount = 0;
    }

    POSITION GetStartPosition() const { return m_nCount == 0 ? nullptr : reinterpret_cast<POSITION>(First()); }
    void GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const
    {
        const Assoc* a = reinterpret_cast<const Assoc*>(rNextPosition);
        if (!a) AfxThrowInvalidArgException();
        rKey = a->key;
        rValue = a->value;
        rNextPosition = reinterpret_cast<POSITION>(After(a));
    }
    const CPair* PGetFirstAssoc() const { return First(); }
    CPair* PGetFirstAssoc() { return First(); }
    const CPair* PGetNextAssoc(const CPair* pPair) const { return After(static_cast<const Assoc*>(pPair)); }
    CPair* PGetNextAssoc(const CPair* pPair) { return After(static_cast<const Assoc*>(pPair)); }

private:
    Assoc* Find(ARG_KEY key) const
    {
        if (m_buckets.empty()) return nullptr;
        const UINT hash = HashKey(key);
        for (Assoc* a = m_buckets[hash % m_nHashTableSize]; a; a = a->pNext)
            if (a->nHash == hash && CompareElements(a->key, key)) return a;
        return nullptr;
    }
    Assoc* FindOrAdd(ARG_KEY key)
    {
        if (Assoc* a = Find(key)) return a;
        if (m_buckets.empty()) m_buckets.assign(m_nHashTableSize, nullptr);
        const UINT hash = HashKey(key);
        Assoc* a = new Assoc(key, hash);
        Assoc*& head = m_buckets[hash % m_nHashTableSize];
        a->pNext = head;
        head = a;
        ++m_nCount;
        return a;
    }
    Assoc* First() const
    {
        for (Assoc* head : m_buckets)
            if (head) return head;
        return nullptr;
    }
    Assoc* After(const Assoc* a) const
    {
        if (a->pNext) return a->pNext;
        for (size_t b = a->nHash % m_nHashTableSize + 1; b < m_buckets.size(); ++b)
            if (m_buckets[b]) return m_buckets[b];
        return nullptr;
    }
    void CopyFrom(const CMap& other)
    {
        InitHashTable(other.m_nHashTableSize, FALSE);
        for (const Assoc* a = other.First(); a; a = other.After(a))
            FindOrAdd(a->key)->value = a->value;
    }

    std::vector<Assoc*> m_buckets; // empty until the first entry
    UINT m_nHashTableSize = 17;
    INT_PTR m_nCount = 0;
};
