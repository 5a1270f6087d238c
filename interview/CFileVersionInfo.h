#pragma once
#include "framework/COleDateTime.h"
#include "framework/CString.h"

// The version resource of the program's own file: its texts in the first translation, the fixed
// numbers as texts, and the file's last write.
class CFileVersionInfo
{
public:
    virtual ~CFileVersionInfo() = default;

    // Reads the running program's file. FALSE, with the texts empty, when it has no readable version.
    bool Load();
    // The same for any file.
    bool LoadFrom(const CString& strPath);
    // The file's last write in local time; invalid when a conversion fails; unchanged when the
    // file cannot be opened.
    void ReadFileTime();

    CString m_strProductName;
    CString m_strProductVersion;
    COleDateTime m_dtFileTime;
    CString m_strLegalCopyRight;
    CString m_strFilePath;
    CString m_strCompanyName;
    CString m_strFileDescription;
    CString m_strFileVersion;
    CString m_strMajorVersion;
    CString m_strMinorVersion;
    CString m_strInternalName;
    CString m_strOriginalFileName;
    CString m_strVersion; // "major.minor.build.revision"
    CString m_strFileOS;
    CString m_strFileType;
    CString m_strReserved1;
    CString m_strReserved2;
    VS_FIXEDFILEINFO m_fixed{};
    WORD m_nLanguage = 0;
    WORD m_nCodePage = 0;

    static CString FileTypeText(DWORD dwFileType, DWORD dwFileSubtype);
    static CString FileOSText(DWORD dwFileOS);
};
