#pragma once
#include "framework/CException.h"
#include "framework/CString.h"

// An archive could not do what was asked: reading past the end of the data (endOfFile), reading from
// an archive that stores (writeOnly) or storing into one that loads (readOnly).
class CArchiveException : public CException
{
    DECLARE_DYNAMIC(CArchiveException)

public:
    enum
    {
        none,
        genericException,
        readOnly,
        endOfFile,
        writeOnly,
        badIndex,
        badClass,
        badSchema,
        bufferFull,
    };

    explicit CArchiveException(int cause = none, LPCWSTR lpszArchiveName = nullptr);

    BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

    int m_cause;
    CString m_strFileName;
};

[[noreturn]] void AfxThrowArchiveException(int cause, LPCWSTR lpszArchiveName = nullptr);
