#pragma once
#include "sessions/CLFObjectLoop.h"
#include "sessions/CLFObjectMapBase.h"
#include "sessions/CReadWriteLock.h"
#include "sessions/CReadWriteLockHold.h"
#include "sessions/CStdMap.h"
#include "sessions/atomic_shared_ptr.h"

// Jex objects by id, readable from any thread. A stored object is never changed: a writer copies it,
// edits the copy and exchanges it in with CompareExchange against the version it copied, so a reader's
// pointer always shows one whole version, which it may keep using after the lock is released. Readers
// hold the shared lock only for the look-up and the atomic load.
// T derives from CJexObject: the map uses its id (the key), name, deleted mark and state.
template <class T> class CLFObjectMap : public CLFObjectMapBase<T>
{
public:
    using typename CLFObjectMapBase<T>::ObjectList;
    using typename CLFObjectMapBase<T>::IdList;

    CLFObjectMap() = default;
    ~CLFObjectMap() override = default;

    INT_PTR GetCount() const override // entries holding null included
    {
        CReadWriteLockHold hold(m_lock, true);
        return m_map.GetCount();
    }
    BOOL IsEmpty() const override
    {
        CReadWriteLockHold hold(m_lock, true);
        return m_map.IsEmpty();
    }
    std::shared_ptr<const T> Lookup(long nId) const override
    {
        CReadWriteLockHold hold(m_lock, true);
        const auto* pAssoc = m_map.PLookup(nId);
        return pAssoc ? pAssoc->value.load() : nullptr;
    }
    // Names without regard to case; an active object wins over deleted ones of the same name.
    std::shared_ptr<const T> LookupByName(const CString& strName) const override
    {
        if (strName.IsEmpty()) return nullptr;
        std::shared_ptr<const T> pFound;
        CReadWriteLockHold hold(m_lock, true);
        for (const auto* pAssoc = m_map.PGetFirstAssoc(); pAssoc; pAssoc = m_map.PGetNextAssoc(pAssoc))
        {
            std::shared_ptr<const T> pObject = pAssoc->value.load();
            if (!pObject || pObject->m_strName.CompareNoCase(strName) != 0) continue;
            pFound = std::move(pObject);
            if (!pFound->m_bDeleted) break;
        }
        return pFound;
    }
    BOOL Exists(long nId) const override { return Lookup(nId) != nullptr; }
    BOOL ExistsActive(long nId) const override
    {
        const std::shared_ptr<const T> pObject = Lookup(nId);
        return pObject && !pObject->m_bDeleted;
    }
    BOOL IsIdFree(long nId) const override // an entry holding null is not free
    {
        CReadWriteLockHold hold(m_lock, true);
        return m_map.PLookup(nId) == nullptr;
    }
    CString GetName(long nId, BOOL bEmptyIfDeleted) const override
    {
        const std::shared_ptr<const T> pObject = Lookup(nId);
        if (!pObject || (bEmptyIfDeleted && pObject->m_bDeleted)) return CString();
        return pObject->m_strName;
    }
    // Names with regard to case, among the active objects.
    BOOL IsNameUsedByOther(const CString& strName, long nId) const override
    {
        CLFObjectLoop<T> loop(*this, FALSE);
        while (const std::shared_ptr<const T> pObject = loop.GetNext())
            if (pObject->m_nId != nId && pObject->m_strName == strName) return TRUE;
        return FALSE;
    }
    // Names with regard to case, deleted objects included.
    BOOL IsNameUsed(const CString& strName) const override
    {
        CReadWriteLockHold hold(m_lock, true);
        for (const auto* pAssoc = m_map.PGetFirstAssoc(); pAssoc; pAssoc = m_map.PGetNextAssoc(pAssoc))
        {
            const std::shared_ptr<const T> pObject = pAssoc->value.load();
            if (pObject && pObject->m_strName == strName) return TRUE;
        }
        return FALSE;
    }
    CString MakeUniqueName(const CString& strBaseName) const override
    {
        CString strName = strBaseName;
        for (long n = 2; IsNameUsed(strName); ++n)
            strName.Format(L"%s (%ld)", strBaseName.GetString(), n);
        return strName;
    }
    // Stores the object under its own id, replacing whatever the entry held.
    BOOL Insert(std::shared_ptr<T> pObject, BOOL bMark) override
    {
        if (!pObject) return FALSE;
        CReadWriteLockHold hold(m_lock, false);
        if (bMark) pObject->SetState();
        const long nId = pObject->m_nId;
        m_map[nId].store(std::move(pObject));
        return TRUE;
    }
    // TRUE when the entry still held the expected version and now holds the desired one. A null
    // expected version stands for "absent or null": the first version of an id is exchanged in
    // under the desired object's id.
    BOOL CompareExchange(std::shared_ptr<const T> pExpected, std::shared_ptr<T> pDesired) override
    {
        if (!pDesired) return FALSE;
        const long nId = pExpected ? pExpected->m_nId : pDesired->m_nId;
        std::shared_ptr<T> pCompared = std::const_pointer_cast<T>(std::move(pExpected));
        CReadWriteLockHold hold(m_lock, false);
        return m_map[nId].compare_exchange_strong(pCompared, std::move(pDesired));
    }
    void GetIds(IdList& ids, BOOL bAll) const override
    {
        ids.RemoveAll();
        CReadWriteLockHold hold(m_lock, true);
        for (const auto* pAssoc = m_map.PGetFirstAssoc(); pAssoc; pAssoc = m_map.PGetNextAssoc(pAssoc))
        {
            if (!bAll)
            {
                const std::shared_ptr<const T> pObject = pAssoc->value.load();
                if (!pObject || pObject->m_bDeleted) continue;
            }
            ids.AddTail(pAssoc->key);
        }
    }
    void GetObjects(ObjectList& objects, BOOL bAll) const override
    {
        objects.RemoveAll();
        CReadWriteLockHold hold(m_lock, true);
        for (const auto* pAssoc = m_map.PGetFirstAssoc(); pAssoc; pAssoc = m_map.PGetNextAssoc(pAssoc))
        {
            std::shared_ptr<const T> pObject = pAssoc->value.load();
            if (pObject && (bAll || !pObject->m_bDeleted)) objects.AddTail(std::move(pObject));
        }
    }

    // A removed object lives on while anyone still holds a pointer to it.
    virtual BOOL RemoveKey(long nId)
    {
        CReadWriteLockHold hold(m_lock, false);
        return m_map.RemoveKey(nId);
    }
    virtual void Clear()
    {
        CReadWriteLockHold hold(m_lock, false);
        m_map.RemoveAll();
    }
    virtual BOOL Remove(long nId)
    {
        RemoveKey(nId);
        return TRUE;
    }
    virtual void RemoveAll() { Clear(); }

private:
    mutable CReadWriteLock m_lock;
    CStdMap<long, long, atomic_shared_ptr<T>, const std::shared_ptr<T>&> m_map;
};
