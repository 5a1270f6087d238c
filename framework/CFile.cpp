#include "framework/CFile.h"
#include "framework/CHandleOwner.h"
#include "framework/CFileException.h"
#include <algorithm>
#include <cwchar>

IMPLEMENT_DYNAMIC(CFile, CObject)

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

namespace
{
CString FullPathOf(LPCWSTR name)
{
    const DWORD needed = ::GetFullPathNameW(name, 0, nullptr, nullptr);
    if (!needed) return CString(name);
    CString path;
    const DWORD length = ::GetFullPathNameW(name, needed, path.GetBuffer(static_cast<int>(needed)), nullptr);
    path.ReleaseBuffer(length < needed ? static_cast<int>(length) : 0);
    return path.IsEmpty() ? CString(name) : path;
}

// The attribute bits of CFile::Attribute are the low bits of the Windows attributes.
BYTE AttributeBits(DWORD attributes)
{
    return static_cast<BYTE>(attributes & 0x3F);
}

// A file time of 0 means "not kept by this file system", shown as time 0 rather than 1601.
CTime TimeOf(const FILETIME& ft)
{
    return ft.dwLowDateTime || ft.dwHighDateTime ? CTime(ft) : CTime();
}
} // namespace

CFile::CFile(HANDLE hFile) noexcept : m_hFile(hFile) {}

CFile::CFile(LPCWSTR lpszFileName, UINT nOpenFlags)
{
    CFileException error;
    if (!Open(lpszFileName, nOpenFlags, &error))
        AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName.GetString());
}

CFile::~CFile()
{
    if (m_hFile != hFileNull && m_bCloseOnDelete)
    {
        CFileHandle(m_hFile).Close(); // a destructor never disturbs the error its owner is reporting
    }
}

void CFile::ThrowLastError() const
{
    const DWORD error = ::GetLastError();
    CFileException::ThrowOsError(static_cast<LONG>(error ? error : ERROR_GEN_FAILURE), m_strFileName.GetString());
    AfxThrowFileException(CFileException::genericException, -1, m_strFileName.GetString()); // not reached
}

BOOL CFile::Open(LPCWSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    if (pError)
    {
        pError->m_cause = CFileException::none;
        pError->m_lOsError = -1;
        pError->m_strFileName = lpszFileName;
    }
    if (m_hFile != hFileNull || !lpszFileName || !*lpszFileName)
    {
        ::SetLastError(m_hFile != hFileNull ? ERROR_ALREADY_EXISTS : ERROR_INVALID_NAME);
        if (pError)
        {
            pError->m_lOsError = static_cast<LONG>(::GetLastError());
            pError->m_cause = m_hFile != hFileNull ? CFileException::genericException : CFileException::badPath;
        }
        return FALSE;
    }

    DWORD access = GENERIC_READ;
    switch (nOpenFlags & 3)
    {
    case modeWrite:
        access = GENERIC_WRITE;
        break;
    case modeReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    default:
        break;
    }
    DWORD share = 0;
    switch (nOpenFlags & 0x70)
    {
    case shareDenyWrite:
        share = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        share = FILE_SHARE_WRITE;
        break;
    case shareDenyNone:
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    default:
        break; // compatibility mode and exclusive both share nothing
    }
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, (nOpenFlags & modeNoInherit) ? FALSE : TRUE};
    DWORD creation = OPEN_EXISTING;
    if (nOpenFlags & modeCreate) creation = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (nOpenFlags & osNoBuffer) flags |= FILE_FLAG_NO_BUFFERING;
    if (nOpenFlags & osWriteThrough) flags |= FILE_FLAG_WRITE_THROUGH;
    if (nOpenFlags & osRandomAccess) flags |= FILE_FLAG_RANDOM_ACCESS;
    if (nOpenFlags & osSequentialScan) flags |= FILE_FLAG_SEQUENTIAL_SCAN;

    const CString fullPath = FullPathOf(lpszFileName);
    const HANDLE file = ::CreateFileW(lpszFileName, access, share, &security, creation, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        if (pError)
        {
            const LONG error = static_cast<LONG>(::GetLastError());
            pError->m_lOsError = error;
            pError->m_cause = CFileException::OsErrorToException(error);
            pError->m_strFileName = fullPath;
        }
        return FALSE;
    }
    m_hFile = file;
    m_bCloseOnDelete = TRUE;
    m_strFileName = fullPath;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0) return 0;
    DWORD read = 0;
    if (!::ReadFile(m_hFile, lpBuf, nCount, &read, nullptr)) ThrowLastError();
    return read;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0) return;
    DWORD written = 0;
    if (!::WriteFile(m_hFile, lpBuf, nCount, &written, nullptr)) ThrowLastError();
    if (written != nCount) AfxThrowFileException(CFileException::diskFull, -1, m_strFileName.GetString());
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom)
{
    const DWORD method = nFrom == end ? FILE_END : nFrom == current ? FILE_CURRENT : FILE_BEGIN;
    LARGE_INTEGER distance{}, position{};
    distance.QuadPart = lOff;
    if (!::SetFilePointerEx(m_hFile, distance, &position, method)) ThrowLastError();
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetPosition() const
{
    LARGE_INTEGER zero{}, position{};
    if (!::SetFilePointerEx(m_hFile, zero, &position, FILE_CURRENT)) ThrowLastError();
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_hFile, &size)) ThrowLastError();
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::SetLength(ULONGLONG dwNewLen)
{
    Seek(static_cast<LONGLONG>(dwNewLen), begin);
    if (!::SetEndOfFile(m_hFile)) ThrowLastError();
}

void CFile::LockRange(ULONGLONG dwPos, ULONGLONG dwCount)
{
    if (!::LockFile(m_hFile, static_cast<DWORD>(dwPos), static_cast<DWORD>(dwPos >> 32), static_cast<DWORD>(dwCount),
                    static_cast<DWORD>(dwCount >> 32)))
        ThrowLastError();
}

void CFile::UnlockRange(ULONGLONG dwPos, ULONGLONG dwCount)
{
    if (!::UnlockFile(m_hFile, static_cast<DWORD>(dwPos), static_cast<DWORD>(dwPos >> 32), static_cast<DWORD>(dwCount),
                      static_cast<DWORD>(dwCount >> 32)))
        ThrowLastError();
}

void CFile::Flush()
{
    if (m_hFile == hFileNull) return;
    if (!::FlushFileBuffers(m_hFile)) ThrowLastError();
}

void CFile::Close()
{
    BOOL failed = FALSE;
    DWORD error = 0;
    if (m_hFile != hFileNull)
    {
        failed = !CFileHandle(m_hFile).Release();
        if (failed) error = ::GetLastError();
    }
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    const CString name = m_strFileName;
    m_strFileName.Empty();
    if (failed) CFileException::ThrowOsError(static_cast<LONG>(error), name.GetString());
}

void CFile::Abort()
{
    if (m_hFile != hFileNull) CFileHandle(m_hFile).Close();
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    m_strFileName.Empty();
}

CFile* CFile::Duplicate() const
{
    if (m_hFile == hFileNull) return nullptr;
    HANDLE copy = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, m_hFile, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) ThrowLastError();
    auto* file = new CFile(copy);
    file->m_bCloseOnDelete = TRUE; // the duplicate is its own handle, whoever owned the original
    file->m_strFileName = m_strFileName;
    return file;
}

CString CFile::GetFileName() const
{
    const int slash = std::max(m_strFileName.ReverseFind(L'\\'), m_strFileName.ReverseFind(L'/'));
    return m_strFileName.Mid(slash + 1);
}

CString CFile::GetFileTitle() const
{
    CString name = GetFileName();
    const int dot = name.ReverseFind(L'.');
    return dot >= 0 ? name.Left(dot) : name;
}

CString CFile::GetFilePath() const
{
    return m_strFileName;
}

void CFile::SetFilePath(LPCWSTR lpszNewName)
{
    if (!lpszNewName) AfxThrowInvalidArgException();
    m_strFileName = lpszNewName;
}

BOOL CFile::GetStatus(CFileStatus& rStatus) const
{
    rStatus = CFileStatus();
    if (m_strFileName.GetLength() < MAX_PATH) wcscpy_s(rStatus.m_szFullName, m_strFileName.GetString());
    if (m_hFile == hFileNull) return FALSE;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(m_hFile, &info)) return FALSE;
    rStatus.m_ctime = TimeOf(info.ftCreationTime);
    rStatus.m_atime = TimeOf(info.ftLastAccessTime);
    rStatus.m_mtime = TimeOf(info.ftLastWriteTime);
    rStatus.m_size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    rStatus.m_attribute = AttributeBits(info.dwFileAttributes);
    return TRUE;
}

BOOL CFile::GetStatus(LPCWSTR lpszFileName, CFileStatus& rStatus)
{
    rStatus = CFileStatus();
    if (!lpszFileName || !*lpszFileName) return FALSE;
    const CString fullPath = FullPathOf(lpszFileName);
    if (fullPath.GetLength() >= MAX_PATH) return FALSE;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(fullPath.GetString(), GetFileExInfoStandard, &data)) return FALSE;
    wcscpy_s(rStatus.m_szFullName, fullPath.GetString());
    rStatus.m_ctime = TimeOf(data.ftCreationTime);
    rStatus.m_atime = TimeOf(data.ftLastAccessTime);
    rStatus.m_mtime = TimeOf(data.ftLastWriteTime);
    rStatus.m_size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    rStatus.m_attribute = AttributeBits(data.dwFileAttributes);
    return TRUE;
}

void CFile::Rename(LPCWSTR lpszOldName, LPCWSTR lpszNewName)
{
    if (!::MoveFileW(lpszOldName, lpszNewName))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), lpszOldName);
}

void CFile::Remove(LPCWSTR lpszFileName)
{
    if (!::DeleteFileW(lpszFileName)) CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), lpszFileName);
}
