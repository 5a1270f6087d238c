#include "sessions/CJexSocketBase.h"
#include "sessions/CJexWorkFolder.h"
#include "sessions/ILumoAppHost.h"
#include "core/CStaticTools.h"
#include "framework/CException.h"
#include "framework/CStdioFile.h"

CSocketCommandMap CJexSocketBase::s_mapJexBase;
CCriticalSection CJexSocketBase::s_csJexBase;

CJexSocketBase::CJexSocketBase(ILumoAppHost& app) : CAsyncSocketEx(false, false), m_app(app)
{
    m_strInputTrace = app.GetInputTracePath();
    m_strOutputTrace = app.GetOutputTracePath();
    SetInputTracePath(m_strInputTrace);
    SetOutputTracePath(m_strOutputTrace);
    m_bDeleteOnClose = false;
}

void CJexSocketBase::TraceReceived(const CString& strText)
{
    AppendTrace(m_strInputTrace, strText);
}

void CJexSocketBase::TraceSent(const CString& strText)
{
    AppendTrace(m_strOutputTrace, strText);
}

void CJexSocketBase::AppendTrace(const CString& strPath, const CString& strText)
{
    if (strPath.IsEmpty()) return;
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    CString strTime;
    strTime.Format(L"%02hu-%02hu-%04hu %02hu:%02hu:%02hu", now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute,
                   now.wSecond);
    CString strLine;
    strLine.Format(m_strTraceLineFormat.GetString(), strTime.GetString(), strText.Left(kMaxTraceChars).GetString());
    try
    {
        CStdioFile file;
        if (!file.Open(strPath, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareDenyWrite |
                                    CFile::typeText))
            return;
        // Counted in characters as the worst case of bytes: a wide character takes at most four.
        const ULONGLONG nLineBytes = static_cast<ULONGLONG>(strLine.GetLength()) * 4;
        if (file.GetLength() + nLineBytes > static_cast<ULONGLONG>(kMaxTraceFileBytes))
        {
            file.Close(); // opened again without keeping the contents: the file starts again
            if (!file.Open(strPath, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite | CFile::typeText))
                return;
        }
        file.SeekToEnd();
        file.WriteString(strLine);
        file.Close();
    }
    catch (CException* pError)
    {
        pError->Delete(); // a full disk loses the trace line, never the link
    }
}

CJexSocketBase::~CJexSocketBase() = default;

CSocketCommandMap* CJexSocketBase::GetCommandMap()
{
    return &s_mapJexBase;
}

void CJexSocketBase::InitCommandMap()
{
    InitDerivedCommandMap<CAsyncSocketEx>(this, s_mapJexBase, s_csJexBase, s_csCommandMap, [](CSocketCommandMap& map) {
        using C = CSocketCommand;
        map.Add(L"SNDSRE",
                new C(SocketHandler(&CJexSocketBase::HandleSNDSRE), C::modeFields, true, C::checkOneOf, 0, 3, -1));
    });
}

void CJexSocketBase::HandleSNDSRE(CStringArray& arrFields)
{
    const int nKind = CStaticTools::ToInt(arrFields[0].GetString());
    const CString& strFolder = arrFields[1];
    const CString& strName = arrFields[2];
    if (!CJexWorkFolder::IsRecordingKind(nKind)) return;
    const CString strPath = CJexWorkFolder(m_app.GetWorkFolder()).RecordingPath(nKind, strFolder, strName);
    if (strPath.IsEmpty())
    {
        TraceReceived(L"SNDSRE names no file of the work folder: " + strFolder + L" " + strName);
        return;
    }
    // A file that is gone already, or still held by a player, is no reason to lose the lines
    // behind this one.
    if (!::DeleteFileW(strPath.GetString())) TraceReceived(L"SNDSRE could not delete " + strPath);
}
