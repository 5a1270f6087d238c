#pragma once
#include "framework/Platform.h"
#include <string>

// Text between UTF-16 and bytes of a code page (CP_THREAD_ACP, CP_ACP, CP_UTF8 ...).
// nLength is in source units; -1 means "up to the terminator". Nothing past nLength is read, and
// bytes that are not valid in the code page become U+FFFD (or the code page's default character)
// instead of failing the whole text.
std::wstring WidenText(const char* psz, int nLength, UINT nCodePage = CP_THREAD_ACP);
std::string NarrowText(const wchar_t* psz, int nLength, UINT nCodePage = CP_THREAD_ACP);

// Temporary converters for calls that want the other character width:
// SendToPeer(CW2A(strName, CP_UTF8)). They own their text; do not keep the pointer beyond the statement.
class CA2W
{
public:
    explicit CA2W(const char* psz, UINT nCodePage = CP_THREAD_ACP) : m_text(psz ? WidenText(psz, -1, nCodePage) : L"")
    {
    }
    operator LPCWSTR() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }

private:
    std::wstring m_text;
};

class CW2A
{
public:
    explicit CW2A(const wchar_t* psz, UINT nCodePage = CP_THREAD_ACP)
        : m_text(psz ? NarrowText(psz, -1, nCodePage) : "")
    {
    }
    operator LPCSTR() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }

private:
    std::string m_text;
};

using CA2T = CA2W; // the program is built for Unicode: T is W
using CT2A = CW2A;
