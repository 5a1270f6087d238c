#include "sessions/CJexUpdateStream.h"
#include "sessions/CJexSocket.h"
#include "sessions/IMessageBoxSink.h"
#include "sessions/CJexWorkFolder.h"
#include "sessions/ILumoAppHost.h"
#include "sessions/IUpdateServiceClient.h"
#include "sessions/IUpdateWindowSink.h"
#include "core/CStaticTools.h"
#include "framework/CFileException.h"
#include "framework/CFile.h"
#include <algorithm>

namespace
{
constexpr wchar_t kEscapedBlank = L'\x0C';
} // namespace

void CJexUpdateStream::HandleUPDATE(const CString& strParameters, int nLineLength, BOOL& bIncomplete)
{
    const int nBlank = strParameters.Find(L' ');
    CString strArguments = nBlank < 0 ? strParameters : strParameters.Left(nBlank);
    const CString strSize = nBlank < 0 ? CString() : strParameters.Mid(nBlank + 1);
    strArguments.Replace(kEscapedBlank, L' ');
    unsigned long nSize = 0;
    if (!CStaticTools::EstULong(strSize.GetString(), nSize) || nSize == 0)
    {
        m_link.ConsumeReceived(nLineLength);
        FailUpdate();
        return;
    }
    // A stream we did not ask for is read to its end, so that the lines behind it are understood,
    // but nothing of it is written or run.
    if (!m_link.IsUpdateInProgress() && !m_bUpdateDropped && m_nUpdateReceived == 0)
    {
        m_link.TraceReceived(L"UPDATE without a request: the stream is dropped");
        m_bUpdateDropped = true;
    }

    // Only the program's own bytes: whatever follows them is the next line.
    const int nAvailable = static_cast<int>(std::min<unsigned long>(
        static_cast<unsigned long>(m_link.GetCountAfterLine(nLineLength)), nSize - m_nUpdateReceived));
    const bool bCompletes = m_nUpdateReceived + static_cast<unsigned long>(nAvailable) == nSize;
    if (nAvailable == 0 && !bCompletes)
    {
        bIncomplete = TRUE;
        return;
    }
    if (m_bUpdateDropped)
    {
        m_link.ConsumeAfterLine(nLineLength, nAvailable);
    }
    else
    {
        IUpdateWindowSink* pConnection = m_link.ConnectionDialog();
        if (pConnection)
            pConnection->ShowUpdateProgress(static_cast<long>(m_nUpdateReceived + nAvailable),
                                            static_cast<long>(nSize));
        // Few large writes rather than one per network read; the bytes wait where they arrived.
        if (nAvailable < kUpdateChunkBytes && !bCompletes)
        {
            bIncomplete = TRUE;
            return;
        }
        if (!WriteUpdateChunk(m_link.GetReceivedData() + nLineLength + m_link.GetCharSize(), nAvailable))
        {
            m_bUpdateDropped = true; // the rest of the stream goes as it comes, not into memory
            FailUpdate();
        }
        m_link.ConsumeAfterLine(nLineLength, nAvailable);
    }
    m_nUpdateReceived += static_cast<unsigned long>(nAvailable);
    if (m_nUpdateReceived < nSize)
    {
        bIncomplete = TRUE;
        return;
    }
    m_link.ConsumeReceived(nLineLength);
    const bool bRun = !m_bUpdateDropped;
    m_nUpdateReceived = 0;
    m_bUpdateDropped = false;
    if (bRun) FinishUpdate(strArguments);
}

BOOL CJexUpdateStream::WriteUpdateChunk(const BYTE* pBytes, int nCount)
{
    if (m_strUpdateFilePath.IsEmpty())
    {
        m_strUpdateFilePath = CJexWorkFolder(m_app.GetWorkFolder()).UpdateProgramPath();
        ::DeleteFileW(m_strUpdateFilePath.GetString());
    }
    CFile file;
    if (!file.Open(m_strUpdateFilePath.GetString(),
                   CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive))
        return FALSE;
    try
    {
        // The file holds exactly what this stream gave so far, whatever an old one that could not
        // be deleted left in it.
        file.SetLength(m_nUpdateReceived);
        file.Write(pBytes, static_cast<UINT>(nCount));
        file.Flush();
        file.Close();
    }
    catch (CFileException* pException)
    {
        pException->Delete();
        file.Abort();
        return FALSE;
    }
    return TRUE;
}

void CJexUpdateStream::FinishUpdate(const CString& strArguments)
{
    if (IUpdateWindowSink* pConnection = m_link.ConnectionDialog()) pConnection->ShowUpdateDone();
    CString strError;
    IJexConnection* pJex = m_link.Served<IJexConnection>(__func__);
    IUpdateServiceClient* pService = pJex ? pJex->GetUpdateService() : nullptr;
    if (!pService || !pService->RunUpdate(m_strUpdateFilePath, strArguments, strError, TRUE, TRUE))
    {
        CString strText;
        strText.Format(L"Update failed!\nError: '%s'.", strError.GetString());
        m_boxes.ShowMessage(strText, MB_OK | MB_ICONERROR);
    }
    m_app.QuitApplication();
}

// Without its program the update cannot go on, and the desktop cannot go on without the update.
void CJexUpdateStream::FailUpdate()
{
    m_boxes.ShowMessage(L"An unexpected error occurred while retrieving the update.", MB_OK | MB_ICONERROR);
    m_app.QuitApplication();
}
