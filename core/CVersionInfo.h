#pragma once
#include "framework/COleDateTime.h"
#include "framework/CString.h"

// The version resource of a module or file, as the About boxes show it and as a
// property-list text (GetText / SetFromText) that travels between programs.
class CVersionInfo
{
public:
    virtual ~CVersionInfo() = default;

    // Reads m_strFile, or the own executable when it is empty (its path is then
    // stored). TRUE when the file has a version resource with fixed information.
    BOOL Read();
    BOOL ReadFromModule(HMODULE hModule);
    BOOL ReadFromAddress(const void* pAddress); // any address inside a loaded module
    BOOL ReadFromFile(LPCWSTR pszPath);

    // "<product> version 1.2.3.4 (64-bit)", and for a test build "  -  BETA from
    // <file date>".
    CString GetDisplayText(LPCWSTR pszProductName) const;
    CString GetText() const;
    void SetFromText(LPCWSTR pszText);

    // TRUE for a PE32+ image: the bitness comes from the file, not from the
    // version resource.
    static bool IsPe64File(LPCWSTR pszPath);

    CString m_strFile;
    CString m_strVersion; // "%hu.%hu.%hu.%hu" of the file version
    int m_n64Bit = 0;     // 1 for a 64-bit build
    CString m_strLegalCopyright;
    int m_nTestBuild = 0; // 1 when the fourth part of the file version is 0
    DWORD m_dwFileFlags = 0;
    COleDateTime m_dtFileDate; // last write, local time; null when it cannot be read
};
