#pragma once
#include "framework/CObject.h"
#include <iterator>
#include <map>
#include <memory>

// The framework map's interface on an ordered std::map: entries are walked in key order. Each
// element keeps its key, its value and its own place in the tree, so a walk moves on in constant
// time; a POSITION stays valid until its element is removed.
template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE> class CStdMap
{
public:
    struct CAssoc;
    using Tree = std::map<KEY, std::unique_ptr<CAssoc>>;
    struct CAssoc
    {
        CAssoc(ARG_KEY k) : key(k) {}
        const KEY key;
        VALUE value{};
        typename Tree::iterator position;
    };

    explicit CStdMap(INT_PTR /*nBlockSize*/ = 10) {}
    CStdMap(const CStdMap&) = delete; // values may be atomic and cannot be copied
    CStdMap& operator=(const CStdMap&) = delete;
    virtual ~CStdMap() = default;

    INT_PTR GetCount() const { return static_cast<INT_PTR>(m_tree.size()); }
    BOOL IsEmpty() const { return m_tree.empty(); }

    CAssoc* PLookup(ARG_KEY key) const
    {
        const auto it = m_tree.find(key);
        return it == m_tree.end() ? nullptr : it->second.get();
    }
    BOOL Lookup(ARG_KEY key, VALUE& rValue) const
    {
        const CAssoc* pAssoc = PLookup(key);
        if (!pAssoc) return FALSE;
        rValue = pAssoc->value;
        return TRUE;
    }
    // A new key gets a default-built value.
    VALUE& operator[](ARG_KEY key) { return FindOrAdd(key)->value; }
    void SetAt(ARG_KEY key, ARG_VALUE newValue) { FindOrAdd(key)->value = newValue; }
    BOOL RemoveKey(ARG_KEY key) { return m_tree.erase(key) != 0; }
    void RemoveAll() { m_tree.clear(); }

    POSITION GetStartPosition() const { return ToPosition(PGetFirstAssoc()); }
    void GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const
    {
        const CAssoc* pAssoc = reinterpret_cast<const CAssoc*>(rNextPosition);
        rKey = pAssoc->key;
        rValue = pAssoc->value;
        rNextPosition = ToPosition(PGetNextAssoc(pAssoc));
    }
    CAssoc* PGetFirstAssoc() const { return m_tree.empty() ? nullptr : m_tree.begin()->second.get(); }
    CAssoc* PGetNextAssoc(const CAssoc* pAssoc) const
    {
        auto it = std::next(pAssoc->position);
        return it == m_tree.end() ? nullptr : it->second.get();
    }

private:
    static POSITION ToPosition(const CAssoc* pAssoc) { return reinterpret_cast<POSITION>(const_cast<CAssoc*>(pAssoc)); }
    CAssoc* FindOrAdd(ARG_KEY key)
    {
        auto it = m_tree.find(key);
        if (it != m_tree.end()) return it->second.get();
        it = m_tree.emplace(key, std::make_unique<CAssoc>(key)).first;
        it->second->position = it;
        return it->second.get();
    }

    Tree m_tree;
};
