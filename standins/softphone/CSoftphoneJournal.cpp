#include "CSoftphoneJournal.h"
#include <algorithm>
#include <sstream>

namespace
{
std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text)
{
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// The value as the journal shows it: numbers in C's forms, flags as -1 / 0, texts as they are.
std::wstring ValueText(const VARIANT& value)
{
    wchar_t buffer[64] = L"";
    switch (value.vt)
    {
    case VT_EMPTY:
        return {};
    case VT_BSTR:
        return value.bstrVal ? std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal)) : std::wstring();
    case VT_BOOL:
        return std::to_wstring(value.boolVal);
    case VT_I2:
        return std::to_wstring(value.iVal);
    case VT_I4:
        return std::to_wstring(value.lVal);
    case VT_UI2:
        return std::to_wstring(value.uiVal);
    case VT_UI4:
        return std::to_wstring(value.ulVal);
    case VT_R8:
        swprintf(buffer, 64, L"%.17g", value.dblVal);
        return buffer;
    default:
        swprintf(buffer, 64, L"<vt %u>", static_cast<unsigned>(value.vt));
        return buffer;
    }
}
} // namespace

CSoftphoneJournal& CSoftphoneJournal::Get()
{
    static CSoftphoneJournal journal;
    return journal;
}

std::string CSoftphoneJournal::Escape(const std::wstring& text)
{
    std::string out;
    for (char c : Utf8(text))
        switch (c)
        {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    return out;
}

std::wstring CSoftphoneJournal::Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\' || i + 1 == text.size())
        {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return Wide(out);
}

void CSoftphoneJournal::Record(DISPID dispid, const char* kind, const VARIANT* pValue)
{
    std::string line = std::to_string(dispid) + '\t' + kind + '\t' +
                       std::to_string(pValue ? pValue->vt : static_cast<VARTYPE>(VT_EMPTY)) + '\t' +
                       std::to_string(::GetCurrentThreadId()) + '\t' +
                       (pValue ? Escape(ValueText(*pValue)) : std::string());
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.push_back(std::move(line));
}

std::vector<std::string> CSoftphoneJournal::Entries() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_entries;
}

bool CSoftphoneJournal::SetMode(const std::string& words)
{
    std::istringstream in(words);
    std::string name, argument;
    in >> name;
    std::getline(in >> std::ws, argument);
    if (name == "reset")
    {
        m_bFailCreate = false;
        m_throwOn = DISPID_UNKNOWN;
        m_nAutoconnectMs = 0;
        m_nHoldMs = 0;
        std::lock_guard<std::mutex> guard(m_lock);
        m_licenseKey.clear();
        return true;
    }
    if (name == "fail-create")
    {
        m_bFailCreate = argument != "off";
        return true;
    }
    if (name == "license")
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_licenseKey = Unescape(argument); // empty: no licence asked
        return true;
    }
    char* end = nullptr;
    const long number = std::strtol(argument.c_str(), &end, 10);
    if (argument.empty() || *end) return false;
    if (name == "throw-on")
        m_throwOn = static_cast<DISPID>(number);
    else if (name == "autoconnect" && number >= 0)
        m_nAutoconnectMs = static_cast<UINT>(number);
    else if (name == "hold" && number >= 0)
        m_nHoldMs = static_cast<UINT>(number);
    else
        return false;
    return true;
}

std::wstring CSoftphoneJournal::LicenseKey() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_licenseKey;
}

void CSoftphoneJournal::AddControlWindow(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_windows.push_back(hwnd);
}

void CSoftphoneJournal::RemoveControlWindow(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), hwnd), m_windows.end());
}

HWND CSoftphoneJournal::NewestControlWindow() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_windows.empty() ? nullptr : m_windows.back();
}
