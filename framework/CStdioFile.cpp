#include "framework/CStdioFile.h"
#include "framework/CFileException.h"
#include <fcntl.h>
#include <io.h>
#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>

IMPLEMENT_DYNAMIC(CStdioFile, CFile)

CStdioFile::CStdioFile(FILE* pOpenStream) noexcept : m_pStream(pOpenStream)
{
    if (pOpenStream) m_hFile = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(pOpenStream)));
}

CStdioFile::CStdioFile(LPCWSTR lpszFileName, UINT nOpenFlags)
{
    CFileException error;
    if (!Open(lpszFileName, nOpenFlags, &error))
        AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName.GetString());
}

CStdioFile::~CStdioFile()
{
    if (m_pStream && m_bCloseOnDelete) Abort();
}

void CStdioFile::ThrowStreamError(int cause) const
{
    const unsigned long osError = _doserrno;
    AfxThrowFileException(cause, osError ? static_cast<LONG>(osError) : -1, m_strFileName.GetString());
}

BOOL CStdioFile::Open(LPCWSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    if (!CFile::Open(lpszFileName, nOpenFlags & ~(typeText | typeBinary | typeUnicode), pError)) return FALSE;

    // The stream's mode follows the file's: a write-only file appends unless it was just created.
    std::wstring mode;
    if (nOpenFlags & modeCreate)
        mode = (nOpenFlags & modeNoTruncate) ? L"a" : L"w";
    else if (nOpenFlags & modeWrite)
        mode = L"a";
    else
        mode = L"r";
    if ((mode == L"r" && (nOpenFlags & modeReadWrite)) || (mode != L"r" && !(nOpenFlags & modeWrite))) mode += L'+';
    int handleFlags = (nOpenFlags & (modeWrite | modeReadWrite)) ? 0 : _O_RDONLY;
    if (nOpenFlags & typeBinary)
    {
        mode += L'b';
        handleFlags |= _O_BINARY;
    }
    else
    {
        mode += L't';
        handleFlags |= _O_TEXT;
    }

    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(m_hFile), handleFlags);
    if (descriptor != -1) m_pStream = _wfdopen(descriptor, mode.c_str());
    if (!m_pStream)
    {
        const unsigned long osError = _doserrno;
        if (pError)
        {
            pError->m_lOsError = osError ? static_cast<LONG>(osError) : -1;
            pError->m_cause = osError ? CFileException::OsErrorToException(static_cast<LONG>(osError))
                                      : CFileException::genericException;
        }
        if (descriptor != -1)
        {
            _close(descriptor); // closes the handle with it
            m_hFile = hFileNull;
        }
        CFile::Abort();
        return FALSE;
    }
    return TRUE;
}

void CStdioFile::WriteString(LPCWSTR lpsz)
{
    if (!lpsz) AfxThrowInvalidArgException();
    const CStringA text(lpsz);
    if (text.GetLength() && fputs(text.GetString(), m_pStream) == EOF) ThrowStreamError(CFileException::diskFull);
}

LPWSTR CStdioFile::ReadString(LPWSTR lpsz, UINT nMax)
{
    if (!lpsz || nMax == 0) AfxThrowInvalidArgException();
    std::string bytes;
    int ch = 0;
    while (bytes.size() + 1 < nMax && (ch = fgetc(m_pStream)) != EOF)
    {
        bytes.push_back(static_cast<char>(ch));
        if (ch == '\n') break;
    }
    if (ferror(m_pStream))
    {
        clearerr(m_pStream);
        ThrowStreamError(CFileException::genericException);
    }
    if (bytes.empty())
    {
        *lpsz = L'\0';
        return nullptr;
    }
    const CString text(CStringA(bytes.c_str(), static_cast<int>(bytes.size())));
    const UINT count = std::min<UINT>(static_cast<UINT>(text.GetLength()), nMax - 1);
    wmemcpy(lpsz, text.GetString(), count);
    lpsz[count] = L'\0';
    return lpsz;
}

BOOL CStdioFile::ReadString(CString& rString)
{
    rString.Empty();
    std::string line;
    int ch = 0;
    while ((ch = fgetc(m_pStream)) != EOF)
    {
        if (ch == '\n') break;
        line.push_back(static_cast<char>(ch));
    }
    if (ferror(m_pStream))
    {
        clearerr(m_pStream);
        ThrowStreamError(CFileException::genericException);
    }
    if (ch == EOF && line.empty()) return FALSE;
    rString = CString(CStringA(line.c_str(), static_cast<int>(line.size())));
    return TRUE;
}

UINT CStdioFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0) return 0;
    const size_t read = fread(lpBuf, 1, nCount, m_pStream);
    if (read == 0 && ferror(m_pStream))
    {
        clearerr(m_pStream);
        ThrowStreamError(CFileException::genericException);
    }
    return static_cast<UINT>(read);
}

void CStdioFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0) return;
    if (fwrite(lpBuf, 1, nCount, m_pStream) != nCount) ThrowStreamError(CFileException::genericException);
}

ULONGLONG CStdioFile::Seek(LONGLONG lOff, UINT nFrom)
{
    const int origin = nFrom == end ? SEEK_END : nFrom == current ? SEEK_CUR : SEEK_SET;
    if (!m_pStream || _fseeki64(m_pStream, lOff, origin) != 0) ThrowStreamError(CFileException::badSeek);
    return GetPosition();
}

ULONGLONG CStdioFile::GetPosition() const
{
    const __int64 position = m_pStream ? _ftelli64(m_pStream) : -1;
    if (position < 0) ThrowStreamError(CFileException::invalidFile);
    return static_cast<ULONGLONG>(position);
}

ULONGLONG CStdioFile::GetLength() const
{
    const ULONGLONG position = GetPosition();
    if (_fseeki64(m_pStream, 0, SEEK_END) != 0) ThrowStreamError(CFileException::badSeek);
    const ULONGLONG length = GetPosition();
    if (_fseeki64(m_pStream, static_cast<__int64>(position), SEEK_SET) != 0) ThrowStreamError(CFileException::badSeek);
    return length;
}

void CStdioFile::Flush()
{
    if (m_pStream && fflush(m_pStream) != 0) ThrowStreamError(CFileException::diskFull);
}

void CStdioFile::Close()
{
    int result = 0;
    if (m_pStream) result = fclose(m_pStream); // closes the handle with the stream
    m_pStream = nullptr;
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    if (result != 0) ThrowStreamError(CFileException::diskFull);
    m_strFileName.Empty();
}

void CStdioFile::Abort()
{
    if (m_pStream && m_bCloseOnDelete) fclose(m_pStream);
    m_pStream = nullptr;
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
}

CFile* CStdioFile::Duplicate() const
{
    AfxThrowNotSupportedException();
}

void CStdioFile::LockRange(ULONGLONG, ULONGLONG)
{
    AfxThrowNotSupportedException();
}

void CStdioFile::UnlockRange(ULONGLONG, ULONGLONG)
{
    AfxThrowNotSupportedException();
}
