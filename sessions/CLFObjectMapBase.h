#pragma once
#include "framework/CList.h"
#include "framework/CString.h"
#include <memory>

// What every object map offers its readers and writers: look-ups that hand out immutable versions,
// and writes that store or exchange whole objects.
template <class T> class CLFObjectMapBase
{
public:
    using ObjectList = CList<std::shared_ptr<const T>>;
    using IdList = CList<long, long>;

    CLFObjectMapBase() = default;
    CLFObjectMapBase(const CLFObjectMapBase&) = delete;
    CLFObjectMapBase& operator=(const CLFObjectMapBase&) = delete;
    virtual ~CLFObjectMapBase() = default;

    virtual INT_PTR GetCount() const = 0;
    virtual BOOL IsEmpty() const = 0;
    virtual std::shared_ptr<const T> Lookup(long nId) const = 0;
    virtual std::shared_ptr<const T> LookupByName(const CString& strName) const = 0;
    virtual BOOL Exists(long nId) const = 0;
    virtual BOOL ExistsActive(long nId) const = 0;
    virtual BOOL IsIdFree(long nId) const = 0;
    virtual CString GetName(long nId, BOOL bEmptyIfDeleted) const = 0;
    virtual BOOL IsNameUsedByOther(const CString& strName, long nId) const = 0;
    virtual BOOL IsNameUsed(const CString& strName) const = 0;
    virtual CString MakeUniqueName(const CString& strBaseName) const = 0;
    virtual BOOL Insert(std::shared_ptr<T> pObject, BOOL bMark) = 0;
    virtual BOOL CompareExchange(std::shared_ptr<const T> pExpected, std::shared_ptr<T> pDesired) = 0;
    virtual void GetIds(IdList& ids, BOOL bAll) const = 0;
    virtual void GetObjects(ObjectList& objects, BOOL bAll) const = 0;
};
