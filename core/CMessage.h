#pragma once
#include "framework/CObject.h"
#include "framework/CString.h"
#include "framework/CList.h"
#include "framework/COleDateTime.h"
#include "core/CStdArray.h"

class CFile;
class CPropertyList;

// A text message between agents and supervisors, with file attachments. It travels as property-list
// text; when it crosses a link the attachments' bytes follow the command line as one payload, in
// index order, each exactly its size long.
class CMessage : public CObject
{
public:
    class CMessageAttachment
    {
    public:
        CMessageAttachment() = default;
        CMessageAttachment(const CMessageAttachment&) = delete; // owns its file object
        CMessageAttachment& operator=(const CMessageAttachment&) = delete;
        virtual ~CMessageAttachment(); // aborts and deletes the file object
        // Name, local path and size; the bytes are not compared.
        virtual bool IsEqual(const CMessageAttachment& other) const;

        CString m_strName;
        CString m_strLocalPath; // empty when the bytes are held in memory
        long m_nSize = 0;
        CFile* m_pFile = nullptr; // a memory file over the bytes or a file on disk; may be null
    };

    CMessage();
    // With bCopyData, attachments get their own bytes (memory) or a duplicate file object (disk);
    // without it, the copies have no file object.
    CMessage(const CMessage& other, bool bCopyData = false);
    CMessage& operator=(const CMessage&) = delete;
    ~CMessage() override;

    virtual bool IsEqual(const CMessage& other) const;
    virtual void GetText(CString& strText, bool bWithAttachments) const;
    virtual void SetText(LPCWSTR pszText, bool bWithAttachments);
    virtual void Save(CPropertyList& list, bool bWithAttachments) const;
    virtual void Load(const CPropertyList& list, bool bWithAttachments);

    void SetTimeNow(); // server-corrected UTC now and the local offset
    void AddRecipient(long nId) { m_lstRecipients.AddTail(nId); }
    void RemoveRecipient(long nId);
    void ClearRecipients() { m_lstRecipients.RemoveAll(); }

    // Takes over pFile. An empty name takes the file's own.
    void AddAttachment(CFile* pFile, LPCWSTR pszName);
    void AddAttachment(CMessageAttachment* pAttachment); // takes it over; null is ignored
    // Frees every attachment; files on disk named by a local path are deleted (errors ignored).
    void DeleteAttachments();
    // Places memory files over the payload that followed the line, without copying: the message
    // must be used and destroyed before that buffer is. False at the first attachment that does
    // not fit what remains (also for a negative size); those before it keep their files.
    bool AttachPayload(BYTE*& pCursor, DWORD& nRemaining);

    long m_nID = -1;
    CString m_strText;
    COleDateTime m_dtTime; // null until set
    long m_nUTCOffset = 0; // seconds
    long m_nSenderID = -1;
    CList<long, long> m_lstRecipients;
    CString m_strSubject;
    BYTE m_bReply = 0;
    CStdArray<CMessageAttachment*> m_arrAttachments; // owned
};
