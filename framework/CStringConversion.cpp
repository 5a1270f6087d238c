#include "framework/CStringConversion.h"
#include <cwchar>
#include <cstring>
#include <limits>

std::wstring WidenText(const char* psz, int nLength, UINT nCodePage)
{
    if (!psz) return {};
    const size_t length = nLength < 0 ? std::strlen(psz) : static_cast<size_t>(nLength);
    if (length == 0) return {};
    if (length > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
    const int needed = MultiByteToWideChar(nCodePage, 0, psz, static_cast<int>(length), nullptr, 0);
    if (needed <= 0) return {};
    std::wstring out(static_cast<size_t>(needed), L'\0');
    const int written = MultiByteToWideChar(nCodePage, 0, psz, static_cast<int>(length), out.data(), needed);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

std::string NarrowText(const wchar_t* psz, int nLength, UINT nCodePage)
{
    if (!psz) return {};
    const size_t length = nLength < 0 ? std::wcslen(psz) : static_cast<size_t>(nLength);
    if (length == 0) return {};
    if (length > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
    const int needed = WideCharToMultiByte(nCodePage, 0, psz, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    const int written =
        WideCharToMultiByte(nCodePage, 0, psz, static_cast<int>(length), out.data(), needed, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}
