#include "sessions/CJexAttachmentWriter.h"
#include "core/CMessage.h"
#include "framework/CException.h"
#include "framework/CFile.h"

void CJexAttachmentWriter::WriteAttachments(CMessage& message, const BYTE* pPayload, DWORD nTotal) const
{
    DWORD nRemaining = nTotal;
    for (CMessage::CMessageAttachment* pAttachment : message.m_arrAttachments.Items())
    {
        if (!pAttachment) continue;
        if (pAttachment->m_nSize < 0 || static_cast<DWORD>(pAttachment->m_nSize) > nRemaining) break;
        const DWORD nSize = static_cast<DWORD>(pAttachment->m_nSize);
        const CString strPath = m_folder.AttachmentPath(pAttachment->m_strName);
        try
        {
            CFile file(strPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
            if (nSize) file.Write(pPayload, nSize);
            file.Close();
            pAttachment->m_strLocalPath = strPath;
        }
        catch (CException* pError)
        {
            pError->Delete(); // the message still arrives, without this file
            ::DeleteFileW(strPath);
        }
        pPayload += nSize;
        nRemaining -= nSize;
    }
}
