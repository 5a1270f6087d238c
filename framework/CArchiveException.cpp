#include "framework/CArchiveException.h"
#include <iterator>

IMPLEMENT_DYNAMIC(CArchiveException, CException)

CArchiveException::CArchiveException(int cause, LPCWSTR lpszArchiveName)
    : m_cause(cause), m_strFileName(lpszArchiveName)
{
}

BOOL CArchiveException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    static const wchar_t* const kCauses[] = {
        L"no error occurred",
        L"an unspecified error occurred",
        L"an attempt was made to write to an archive opened for loading",
        L"an attempt was made to read past the end of the data",
        L"an attempt was made to read from an archive opened for storing",
        L"the data contains an invalid object index",
        L"the data contains an unexpected object class",
        L"the data contains an unexpected object version",
        L"the archive buffer is full",
    };
    const wchar_t* cause =
        (m_cause >= 0 && m_cause < static_cast<int>(std::size(kCauses))) ? kCauses[m_cause] : kCauses[genericException];
    CString text;
    if (m_strFileName.IsEmpty())
        text.Format(L"Archive error: %s.", cause);
    else
        text.Format(L"%s: %s.", m_strFileName.GetString(), cause);
    return CopyMessage(text.GetString(), lpszError, nMaxError, pnHelpContext);
}

void AfxThrowArchiveException(int cause, LPCWSTR lpszArchiveName)
{
    throw new CArchiveException(cause, lpszArchiveName);
}
