#include "sessions/CJexObject.h"
#include "core/CTimeTools.h"
#include <atomic>

IMPLEMENT_DYNCREATE(CJexObject, CObject)

namespace
{
std::atomic<bool> s_bClassFlag{false};
}

COleDateTime CJexObject::NullDate()
{
    COleDateTime date;
    date.SetStatus(COleDateTime::null);
    return date;
}

CJexObject::CJexObject() : m_dtCreated(NullDate()), m_dtModified(NullDate()) {}

CJexObject::CJexObject(int32_t nOwner)
    : m_nOwner(nOwner), m_dtCreated(CTimeTools::GetCurrentTimeUTC()), m_dtModified(m_dtCreated)
{
}

CJexObject::CJexObject(const CJexObject& other)
    : CObject(), CDummyStateManager(), m_nOwner(other.m_nOwner), m_nFlag(other.m_nFlag)
{
    Copy(other);
}

CJexObject& CJexObject::operator=(const CJexObject& other)
{
    Copy(other);
    return *this;
}

void CJexObject::Assign(const CJexObject& other)
{
    if (&other != this) Copy(other);
}

void CJexObject::SetProperties(const CString& /*strText*/) {}

CString CJexObject::GetProperties() const
{
    return CString();
}

void CJexObject::Copy(const CJexObject& other)
{
    if (&other == this) return;
    CopyState(other);
    m_nId = other.m_nId;
    m_bDeleted = other.m_bDeleted;
    m_strName = other.m_strName;
    m_strText2 = other.m_strText2;
    m_dtCreated = other.m_dtCreated;
    m_dtModified = other.m_dtModified;
    m_pAttachment = other.m_pAttachment;
}

BOOL CJexObject::IsEqual(const CJexObject& other) const
{
    if (&other == this) return TRUE;
    return m_nId == other.m_nId && m_bDeleted == other.m_bDeleted && m_nOwner == other.m_nOwner &&
           m_strText2 == other.m_strText2 && m_strName == other.m_strName;
}

BOOL CJexObject::GetClassFlag()
{
    return s_bClassFlag.load();
}

void CJexObject::SetClassFlag()
{
    s_bClassFlag = true;
}

void CJexObject::DeleteAll(CObArray& objects)
{
    for (INT_PTR i = objects.GetUpperBound(); i >= 0; --i)
        delete objects[i];
    objects.RemoveAll();
}
