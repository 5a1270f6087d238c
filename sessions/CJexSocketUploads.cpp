// CJexSocket, the bulk transfers: log files and recordings, over the data link while Jex has it
// logged in, else over the command link.
#include "sessions/CJexSocket.h"
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "core/CUtilities.h"
#include "framework/CFile.h"
#include <climits>
#include <memory>

namespace
{
constexpr int kRecordingOpenTries = 10;
constexpr DWORD kRecordingRetryMs = 200;
// What one line's payload can carry, with room for the archive's own headers.
constexpr ULONGLONG kMaxUploadBytes = INT_MAX - 4096;

// The bytes as a zip archive with the single entry "data"; false when that fails or gives nothing.
bool ZipForUpload(const BYTE* pBytes, DWORD nLength, std::unique_ptr<BYTE[]>& pArchive, DWORD& nArchive)
{
    // Not told to free it, ZipBuffer only reads the old buffer.
    BYTE* pZipped = const_cast<BYTE*>(pBytes);
    nArchive = nLength;
    if (!CUtilities::ZipBuffer(pZipped, nArchive, false, false)) return false;
    pArchive.reset(pZipped);
    return nArchive > 0 && nArchive <= kMaxUploadBytes;
}

// The recording, opened for us alone: a recorder may still be writing it, so a few tries.
bool OpenRecording(CFile& file, const CString& strPath)
{
    for (int nTry = 1; nTry <= kRecordingOpenTries; ++nTry)
    {
        if (file.Open(strPath.GetString(), CFile::modeRead | CFile::shareExclusive)) return true;
        if (nTry < kRecordingOpenTries) ::Sleep(kRecordingRetryMs);
    }
    return false;
}

// "%Y-%m-%dT%H:%M:%S" in UTC: when the recording was made, or now when the file cannot tell.
CString FormatRecordingTime(const CFile& file)
{
    CFileStatus status;
    const bool bKnown = file.GetStatus(status) != FALSE;
    COleDateTime dtCreated;
    if (bKnown) dtCreated = CTimeTools::DateTimeLocalToUTC(COleDateTime(status.m_ctime.GetTime()), false);
    if (!bKnown || dtCreated.GetStatus() != COleDateTime::valid) dtCreated = CTimeTools::GetCurrentTimeUTC();
    return CStaticTools::FormatIsoDateTime(dtCreated, false);
}

// The whole file; false when it is too long to send or gives fewer bytes than it claims.
bool ReadRecording(CFile& file, std::unique_ptr<BYTE[]>& pBytes, DWORD& nLength)
{
    const ULONGLONG nFileLength = file.GetLength();
    if (nFileLength > kMaxUploadBytes) return false;
    nLength = static_cast<DWORD>(nFileLength);
    pBytes.reset(new BYTE[nLength > 0 ? nLength : 1]);
    DWORD nRead = 0;
    while (nRead < nLength)
    {
        const UINT nHere = file.Read(pBytes.get() + nRead, nLength - nRead);
        if (nHere == 0) break;
        nRead += nHere;
    }
    return nRead == nLength;
}
} // namespace

// ---- routing ----

CJexSocketBase& CJexSocket::GetDataRoute()
{
    return m_dataLink.IsLoggedIn() ? static_cast<CJexSocketBase&>(m_dataLink) : *this;
}

// ---- the uploads ----

BOOL CJexSocket::SendLogFile(const CString& strFileName, const BYTE* pBytes, DWORD nLength)
{
    if (!IsLinkUp()) return FALSE;
    std::unique_ptr<BYTE[]> pArchive;
    DWORD nArchive = 0;
    if (!ZipForUpload(pBytes, nLength, pArchive, nArchive)) return FALSE;
    CString strLine;
    strLine.Format(L"SNDLOG %s %u\r", EscapeParameter(strFileName).GetString(), static_cast<unsigned>(nArchive));
    GetDataRoute().SendLineWithPayload(strLine, std::move(pArchive), static_cast<int>(nArchive));
    return TRUE;
}

BOOL CJexSocket::SendStereoRecording(long nFirstId, long nSecondId, const CString& strPath)
{
    if (!IsLinkUp()) return FALSE;
    CFile file;
    if (!OpenRecording(file, strPath)) return FALSE;
    const CString strTime = FormatRecordingTime(file);
    const CString strName = file.GetFileName();
    std::unique_ptr<BYTE[]> pBytes;
    DWORD nLength = 0;
    if (!ReadRecording(file, pBytes, nLength)) return FALSE;
    file.Abort(); // read only: nothing to lose in the close, and Jex may delete the file any moment now
    std::unique_ptr<BYTE[]> pArchive;
    DWORD nArchive = 0;
    if (!ZipForUpload(pBytes.get(), nLength, pArchive, nArchive)) return FALSE;
    pBytes.reset();
    const unsigned long nCrc = CStaticTools::GetChecksumForMemory(pArchive.get(), nArchive);
    CString strLine;
    strLine.Format(L"SNDSRE %ld %ld %s %s %lu %lu\r", nFirstId, nSecondId, EscapeParameter(strName).GetString(),
                   EscapeParameter(strTime).GetString(), static_cast<unsigned long>(nArchive), nCrc);
    GetDataRoute().SendLineWithPayload(strLine, std::move(pArchive), static_cast<int>(nArchive));
    return TRUE;
}
