#pragma once
#include <cstdarg>
#include <string>

// The printf engine behind CString::Format. It follows the Microsoft C runtime's rules, which the
// system's format texts were written for, not C99's: in a wide format %s and %c take wide arguments
// and %S, %hs, %hc take narrow ones; %ld is 32 bits; %I64d, %I32d and %Id exist; exponents have at
// least two digits; %p is the pointer's full width in upper-case hex. MinGW's printf family follows
// other rules, so nothing here goes through it.
class CStringFormatter
{
public:
    // Appends the formatted text to out. Narrow text arguments of a wide format (and wide ones of a
    // narrow format) are converted with the thread's ANSI code page.
    static void AppendV(std::wstring& out, const wchar_t* pszFormat, va_list args);
    static void AppendV(std::string& out, const char* pszFormat, va_list args);
};
