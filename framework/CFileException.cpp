#include "framework/CFileException.h"
#include <iterator>

IMPLEMENT_DYNAMIC(CFileException, CException)

CFileException::CFileException(int cause, LONG lOsError, LPCWSTR lpszFileName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszFileName)
{
}

BOOL CFileException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    static const wchar_t* const kCauses[] = {
        L"no error occurred",
        L"an unspecified error occurred",
        L"the file was not found",
        L"the path is invalid",
        L"too many files are open",
        L"access was denied",
        L"the file handle is invalid",
        L"the current folder cannot be removed",
        L"the folder is full",
        L"the file position is invalid",
        L"a hardware error occurred",
        L"the file is in use by another program",
        L"a region of the file is locked",
        L"the disk is full",
        L"the end of the file was reached",
    };
    const wchar_t* cause =
        (m_cause >= 0 && m_cause < static_cast<int>(std::size(kCauses))) ? kCauses[m_cause] : kCauses[genericException];
    CString text;
    if (m_strFileName.IsEmpty())
        text.Format(L"File error: %s.", cause);
    else
        text.Format(L"%s: %s.", m_strFileName.GetString(), cause);
    return CopyMessage(text.GetString(), lpszError, nMaxError, pnHelpContext);
}

int CFileException::OsErrorToException(LONG lOsError)
{
    switch (lOsError)
    {
    case NO_ERROR:
        return none;
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_INVALID_PASSWORD:
        return accessDenied;
    case ERROR_INVALID_HANDLE:
    case ERROR_INVALID_ACCESS:
        return invalidFile;
    case ERROR_CURRENT_DIRECTORY:
        return removeCurrentDir;
    case ERROR_CANNOT_MAKE:
        return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
        return badSeek;
    case ERROR_CRC:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_NOT_READY:
        return hardIO;
    case ERROR_SHARING_VIOLATION:
    case ERROR_SHARING_BUFFER_EXCEEDED:
        return sharingViolation;
    case ERROR_LOCK_VIOLATION:
    case ERROR_DRIVE_LOCKED:
    case ERROR_LOCK_FAILED:
        return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return diskFull;
    case ERROR_HANDLE_EOF:
        return endOfFile;
    default:
        return genericException;
    }
}

void CFileException::ThrowOsError(LONG lOsError, LPCWSTR lpszFileName)
{
    if (lOsError != 0) AfxThrowFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

void AfxThrowFileException(int cause, LONG lOsError, LPCWSTR lpszFileName)
{
    throw new CFileException(cause, lOsError, lpszFileName);
}
