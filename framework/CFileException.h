#pragma once
#include "framework/CException.h"
#include "framework/CString.h"

// A file operation failed: why (m_cause, one of the values below), the system's error number when
// there is one (m_lOsError, -1 otherwise) and the file's name when known.
class CFileException : public CException
{
    DECLARE_DYNAMIC(CFileException)

public:
    enum
    {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    explicit CFileException(int cause = none, LONG lOsError = -1, LPCWSTR lpszFileName = nullptr);

    BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

    // The cause that fits a Windows error number (GetLastError()); genericException for the rest.
    static int OsErrorToException(LONG lOsError);
    // Throws the fitting CFileException*; an error number of 0 throws nothing.
    static void ThrowOsError(LONG lOsError, LPCWSTR lpszFileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

[[noreturn]] void AfxThrowFileException(int cause, LONG lOsError = -1, LPCWSTR lpszFileName = nullptr);
