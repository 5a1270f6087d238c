#include "core/CMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/CException.h"
#include "framework/CFile.h"
#include "framework/CMemFile.h"
#include <cmath>
#include <memory>
#include <new>
#include <vector>

namespace
{
constexpr wchar_t kListSeparator = 0xA7;
constexpr double kHalfSecond = 0.5 / 86400.0;

void AbortAndDelete(CFile*& pFile)
{
    if (!pFile) return;
    pFile->Abort();
    delete pFile;
    pFile = nullptr;
}

// A new memory file with a copy of the bytes of pSource, read from its start; its position is kept.
CFile* CopyMemoryFile(CMemFile& source)
{
    const ULONGLONG nPosition = source.GetPosition();
    const UINT nLength = static_cast<UINT>(source.GetLength());
    std::vector<BYTE> bytes(nLength);
    source.SeekToBegin();
    const UINT nRead = nLength ? source.Read(bytes.data(), nLength) : 0;
    source.Seek(static_cast<LONGLONG>(nPosition), CFile::begin);
    auto pCopy = std::make_unique<CMemFile>();
    if (nRead) pCopy->Write(bytes.data(), nRead);
    pCopy->SeekToBegin();
    return pCopy.release();
}

CString Key(LPCWSTR pszFormat, long n)
{
    CString key;
    key.Format(pszFormat, n);
    return key;
}
} // namespace

// ---- CMessageAttachment ----

CMessage::CMessageAttachment::~CMessageAttachment()
{
    AbortAndDelete(m_pFile);
}

bool CMessage::CMessageAttachment::IsEqual(const CMessageAttachment& other) const
{
    return m_strName == other.m_strName && m_strLocalPath == other.m_strLocalPath && m_nSize == other.m_nSize;
}

// ---- CMessage ----

CMessage::CMessage() : m_lstRecipients(10)
{
    m_dtTime.SetStatus(COleDateTime::null);
}

CMessage::CMessage(const CMessage& other, bool bCopyData)
    : CObject(other), m_nID(other.m_nID), m_strText(other.m_strText), m_dtTime(other.m_dtTime),
      m_nUTCOffset(other.m_nUTCOffset), m_nSenderID(other.m_nSenderID), m_lstRecipients(10),
      m_strSubject(other.m_strSubject), m_bReply(other.m_bReply)
{
    m_lstRecipients.AddTail(&other.m_lstRecipients);
    for (INT_PTR i = 0; i < other.m_arrAttachments.GetSize(); ++i)
    {
        const CMessageAttachment* pSource = other.m_arrAttachments[i];
        if (!pSource)
        {
            m_arrAttachments.Add(nullptr);
            continue;
        }
        auto pCopy = std::make_unique<CMessageAttachment>();
        pCopy->m_strName = pSource->m_strName;
        pCopy->m_strLocalPath = pSource->m_strLocalPath;
        pCopy->m_nSize = pSource->m_nSize;
        if (bCopyData && pSource->m_pFile)
        {
            if (auto* pMemory = dynamic_cast<CMemFile*>(pSource->m_pFile))
                pCopy->m_pFile = CopyMemoryFile(*pMemory);
            else
            {
                try
                {
                    pCopy->m_pFile = pSource->m_pFile->Duplicate();
                }
                catch (CException* e)
                {
                    e->Delete(); // the copy simply has no file object
                }
            }
        }
        m_arrAttachments.Add(pCopy.release());
    }
}

CMessage::~CMessage()
{
    for (CMessageAttachment* pAttachment : m_arrAttachments.Items())
        delete pAttachment;
    m_arrAttachments.RemoveAll();
}

void CMessage::RemoveRecipient(long nId)
{
    if (POSITION pos = m_lstRecipients.Find(nId)) m_lstRecipients.RemoveAt(pos);
}

void CMessage::SetTimeNow()
{
    m_dtTime = CTimeTools::GetCurrentTimeUTC();
    m_nUTCOffset = CTimeTools::GetCurrentUTCOffsetLocal();
}

void CMessage::AddAttachment(CFile* pFile, LPCWSTR pszName)
{
    if (!pFile) return;
    auto pAttachment = std::make_unique<CMessageAttachment>();
    pAttachment->m_strName = pszName && *pszName ? CString(pszName) : pFile->GetFileName();
    pAttachment->m_nSize = static_cast<long>(pFile->GetLength());
    pAttachment->m_pFile = pFile;
    if (!dynamic_cast<CMemFile*>(pFile)) pAttachment->m_strLocalPath = pFile->GetFilePath();
    m_arrAttachments.Add(pAttachment.release());
}

void CMessage::AddAttachment(CMessageAttachment* pAttachment)
{
    if (pAttachment) m_arrAttachments.Add(pAttachment);
}

void CMessage::DeleteAttachments()
{
    for (CMessageAttachment*& pAttachment : m_arrAttachments.Items())
    {
        if (!pAttachment) continue;
        // Closed first: Windows does not delete a file that is still open without delete sharing.
        AbortAndDelete(pAttachment->m_pFile);
        if (!pAttachment->m_strLocalPath.IsEmpty())
        {
            DeleteFileW(pAttachment->m_strLocalPath);
            pAttachment->m_strLocalPath.Empty();
        }
        delete pAttachment;
        pAttachment = nullptr;
    }
    m_arrAttachments.RemoveAll();
}

bool CMessage::AttachPayload(BYTE*& pCursor, DWORD& nRemaining)
{
    for (CMessageAttachment* pAttachment : m_arrAttachments.Items())
    {
        if (!pAttachment) return false;
        // A negative size would move the cursor backwards over bytes already handed out.
        if (pAttachment->m_nSize < 0 || static_cast<DWORD>(pAttachment->m_nSize) > nRemaining) return false;
        const DWORD nSize = static_cast<DWORD>(pAttachment->m_nSize);
        // No grow bytes: the file is exactly the slice and never frees or moves the caller's buffer.
        CMemFile* pMemory = new (std::nothrow) CMemFile(pCursor, nSize);
        if (!pMemory) return false;
        AbortAndDelete(pAttachment->m_pFile);
        pAttachment->m_pFile = pMemory;
        pAttachment->m_strLocalPath.Empty();
        pCursor += nSize;
        nRemaining -= nSize;
    }
    return true;
}

bool CMessage::IsEqual(const CMessage& other) const
{
    if (m_nID != other.m_nID || m_strText != other.m_strText || m_dtTime.GetStatus() != other.m_dtTime.GetStatus())
        return false;
    if (m_dtTime.GetStatus() == COleDateTime::valid &&
        std::fabs(COleDateTime::DoubleFromDate(m_dtTime.m_dt) - COleDateTime::DoubleFromDate(other.m_dtTime.m_dt)) >=
            kHalfSecond)
        return false;
    if (m_nUTCOffset != other.m_nUTCOffset || m_nSenderID != other.m_nSenderID || m_bReply != other.m_bReply ||
        m_strSubject != other.m_strSubject)
        return false;
    for (POSITION pos = other.m_lstRecipients.GetHeadPosition(); pos;)
        if (!m_lstRecipients.Find(other.m_lstRecipients.GetNext(pos))) return false;

    const INT_PTR nCount = m_arrAttachments.GetSize();
    if (nCount != other.m_arrAttachments.GetSize()) return false;
    for (INT_PTR i = nCount - 1; i >= 0; --i)
    {
        const CMessageAttachment* pOther = other.m_arrAttachments[i];
        if (!pOther) return false;
        bool bFound = false;
        for (INT_PTR j = i; j >= 0 && !bFound; --j)
        {
            const CMessageAttachment* pOwn = m_arrAttachments[j];
            if (!pOwn) return false;
            bFound = pOwn->IsEqual(*pOther);
        }
        if (!bFound) return false;
    }
    return true;
}

void CMessage::GetText(CString& strText, bool bWithAttachments) const
{
    CPropertyList list;
    Save(list, bWithAttachments);
    strText = list.GetString();
}

void CMessage::SetText(LPCWSTR pszText, bool bWithAttachments)
{
    const CPropertyList list(pszText, false);
    Load(list, bWithAttachments);
}

void CMessage::Save(CPropertyList& list, bool bWithAttachments) const
{
    list.SetProperty(L"id", m_nID);
    list.SetProperty(L"text", m_strText);
    list.SetProperty(L"time", m_dtTime, false);
    list.SetProperty(L"off", m_nUTCOffset);
    list.SetProperty(L"sid", m_nSenderID);
    list.SetProperty(L"rep", m_bReply != 0);
    if (!m_strSubject.IsEmpty()) list.SetProperty(L"sub", m_strSubject);
    if (!m_lstRecipients.IsEmpty())
    {
        CString strRecipients;
        CStaticTools::WriteStringSeparatorListLong(strRecipients, kListSeparator, m_lstRecipients, false);
        list.SetProperty(L"rcpts", strRecipients);
    }
    if (!bWithAttachments) return;
    list.SetProperty(L"attcnt", static_cast<int>(m_arrAttachments.GetSize()));
    for (INT_PTR n = 0; n < m_arrAttachments.GetSize(); ++n)
    {
        const CMessageAttachment* pAttachment = m_arrAttachments[n];
        if (!pAttachment) continue;
        list.SetProperty(Key(L"attfn%ld", static_cast<long>(n)), pAttachment->m_strName);
        list.SetProperty(Key(L"attsz%ld", static_cast<long>(n)), pAttachment->m_nSize);
    }
}

void CMessage::Load(const CPropertyList& list, bool bWithAttachments)
{
    list.GetProperty(L"id", m_nID);
    list.GetProperty(L"sid", m_nSenderID);
    int nOffset = 0;
    if (list.GetProperty(L"off", nOffset)) m_nUTCOffset = nOffset;
    m_strText = list.GetPropertyString(L"text", L"");
    m_strSubject = list.GetPropertyString(L"sub", L"");
    m_dtTime = list.GetPropertyDateTime(L"time");
    long nReply = 0;
    if (list.GetProperty(L"rep", nReply)) m_bReply = nReply != 0;
    m_lstRecipients.RemoveAll();
    CString strRecipients;
    if (list.GetProperty(L"rcpts", strRecipients))
        CStaticTools::ReadStringSeparatorListLong(strRecipients, kListSeparator, m_lstRecipients);
    if (!bWithAttachments) return;
    // Every attachment of an honest text has its entries in the list, so a larger count is hostile.
    long nCount = list.GetPropertyLong(L"attcnt", 0L);
    if (nCount < 0) nCount = 0;
    if (nCount > list.GetCount()) nCount = list.GetCount();
    for (long n = 0; n < nCount; ++n)
    {
        auto pAttachment = std::make_unique<CMessageAttachment>();
        pAttachment->m_strName = list.GetPropertyString(Key(L"attfn%ld", n), L"");
        pAttachment->m_nSize = list.GetPropertyLong(Key(L"attsz%ld", n), 0L);
        m_arrAttachments.Add(pAttachment.release());
    }
}
