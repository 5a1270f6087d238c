#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CException.h"
#include "framework/COleDateTime.h"
#include "framework/COleVariant.h"
#include "framework/CStringArray.h"
#include <cwchar>
#include <string>
#include <utility>

namespace
{
constexpr wchar_t kCompactName = 0x01; // ends a name in the compact form
constexpr wchar_t kCompactEnd = 0x02;  // ends a value; the compact form's last character
constexpr wchar_t kCompactCR = 0x03;   // a carriage return inside the compact form
constexpr wchar_t kTypeSuffix[] = L"[T]";
constexpr int kTypeSuffixLength = 3;

// Appends value with the four escapes the readers undo.
void AppendEscaped(std::wstring& out, const CString& value)
{
    for (const wchar_t ch : value.Str())
    {
        switch (ch)
        {
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'"':
            out += L"\\\"";
            break;
        case L'\\':
            out += L"\\\\";
            break;
        default:
            out.push_back(ch);
            break;
        }
    }
}

// Reads a quoted value whose opening quote is at text[nQuote]. Returns the index of the closing quote,
// or npos when the value has none. A backslash before anything but the four escapes drops both.
size_t ReadQuoted(const std::wstring& text, size_t nQuote, CString& value)
{
    std::wstring result;
    for (size_t i = nQuote + 1; i < text.size(); ++i)
    {
        const wchar_t ch = text[i];
        if (ch == L'"')
        {
            value = CString(result);
            return i;
        }
        if (ch != L'\\')
        {
            result.push_back(ch);
            continue;
        }
        if (++i >= text.size()) break;
        switch (text[i])
        {
        case L'"':
            result.push_back(L'"');
            break;
        case L'\\':
            result.push_back(L'\\');
            break;
        case L'n':
            result.push_back(L'\n');
            break;
        case L'r':
            result.push_back(L'\r');
            break;
        default:
            break;
        }
    }
    return std::wstring::npos;
}

CString Trimmed(const std::wstring& text, size_t nFirst, size_t nEnd)
{
    CString name(text.c_str() + nFirst, static_cast<int>(nEnd - nFirst));
    name.Trim();
    return name;
}

// The 14-character date form "%d%m%Y%H%M%S"; "i" for an invalid date, "0" for null and the date 0.
CString FormatDateField(const COleDateTime& date)
{
    if (date.GetStatus() != COleDateTime::valid && date.GetStatus() != COleDateTime::null) return CString(L"i");
    if (date.GetStatus() == COleDateTime::null || date.m_dt == 0.0) return CString(L"0");
    CString text;
    text.Format(L"%02d%02d%04d%02d%02d%02d", date.GetDay(), date.GetMonth(), date.GetYear(), date.GetHour(),
                date.GetMinute(), date.GetSecond());
    return text;
}

// Reads the date form into date; FALSE for a text that is none of its shapes.
BOOL ParseDateField(const CString& text, COleDateTime& date)
{
    date = COleDateTime();
    const int nLength = text.GetLength();
    if (nLength == 14 || nLength == 12)
    {
        auto field = [&](int nFirst, int nCount) { return CStaticTools::ToLong(text.Mid(nFirst, nCount)); };
        const int nDay = field(0, 2), nMonth = field(2, 2), nYear = field(4, 4);
        const int nHour = field(8, 2), nMinute = field(10, 2), nSecond = nLength == 14 ? field(12, 2) : 0;
        date.SetDateTime(nYear, nMonth, nDay, nHour, nMinute, nSecond);
        if (date.GetStatus() == COleDateTime::valid &&
            (date.GetYear() != nYear || date.GetMonth() != nMonth || date.GetDay() != nDay || date.GetHour() != nHour ||
             date.GetMinute() != nMinute || date.GetSecond() != nSecond))
            date.SetStatus(COleDateTime::invalid);
        return TRUE;
    }
    if (text == L"0")
    {
        date.SetStatus(COleDateTime::null);
        return TRUE;
    }
    if (text == L"i")
    {
        date.SetStatus(COleDateTime::invalid);
        return TRUE;
    }
    date.SetStatus(COleDateTime::invalid);
    return FALSE;
}
} // namespace

CPropertyList::CPropertyList() = default;

CPropertyList::CPropertyList(LPCWSTR pszText, bool bNoCase)
    : m_bNoCase(bNoCase), m_values(CNameLess{bNoCase}), m_types(CNameLess{bNoCase})
{
    SetString(pszText);
}

CPropertyList::CPropertyList(const CPropertyList& other)
    : m_bNoCase(other.m_bNoCase), m_values(other.m_values), m_types(other.m_types)
{
}

CPropertyList& CPropertyList::operator=(const CPropertyList& other)
{
    if (this == &other) return *this;
    if (m_bNoCase != other.m_bNoCase)
    {
        // The maps order by the flag they were built with: rebuild the kept types under the new one.
        m_bNoCase = other.m_bNoCase;
        CTypeMap types(CNameLess{m_bNoCase});
        for (const auto& [name, vt] : m_types)
            types.insert_or_assign(name, vt);
        m_types.swap(types);
    }
    m_values = other.m_values;
    for (const auto& [name, vt] : other.m_types)
        m_types.insert_or_assign(name, vt);
    return *this;
}

CPropertyList::~CPropertyList() = default;

bool CPropertyList::operator==(const CPropertyList& other) const
{
    // Looked up by the other list's ordering, then compared exactly: equal sizes make the match one to one.
    if (m_values.size() != other.m_values.size() || m_types.size() != other.m_types.size()) return false;
    for (const auto& [name, value] : m_values)
    {
        const auto it = other.m_values.find(name);
        if (it == other.m_values.end() || it->first != name || it->second != value) return false;
    }
    for (const auto& [name, vt] : m_types)
    {
        const auto it = other.m_types.find(name);
        if (it == other.m_types.end() || it->first != name || it->second != vt) return false;
    }
    return true;
}

CString CPropertyList::GetString() const
{
    std::wstring text;
    text.reserve(1024);
    for (const auto& [name, value] : m_values)
    {
        text += name.Str();
        text += L" = \"";
        AppendEscaped(text, value);
        text += L"\" ";
    }
    for (const auto& [name, vt] : m_types)
    {
        text += name.Str();
        text += kTypeSuffix;
        text += L" = \"";
        text += std::to_wstring(vt);
        text += L"\" ";
    }
    return CString(text);
}

void CPropertyList::SetString(LPCWSTR pszText)
{
    SetString(pszText, pszText ? std::wcslen(pszText) : 0);
}

void CPropertyList::SetString(const wchar_t* pchText, size_t nLength)
{
    RemoveAllValues();
    if (!pchText || nLength == 0) return;
    const std::wstring text(pchText, nLength);
    std::map<CString, CString> collected; // with case: a later entry replaces an earlier one

    if (text.back() == kCompactEnd)
    {
        std::wstring compact(text);
        for (wchar_t& ch : compact)
            if (ch == kCompactCR) ch = L'\r';
        size_t nStart = 0;
        for (;;)
        {
            const size_t nName = compact.find(kCompactName, nStart);
            if (nName == std::wstring::npos) break;
            const size_t nEnd = compact.find(kCompactEnd, nName + 1);
            if (nEnd == std::wstring::npos) break;
            collected[CString(compact.c_str() + nStart, static_cast<int>(nName - nStart))] =
                CString(compact.c_str() + nName + 1, static_cast<int>(nEnd - nName - 1));
            nStart = nEnd + 1;
        }
    }
    else
    {
        size_t nStart = 0;
        for (size_t nEquals = text.find(L'='); nEquals != std::wstring::npos; nEquals = text.find(L'=', nStart))
        {
            const CString name = Trimmed(text, nStart, nEquals);
            size_t nQuote = nEquals + 1;
            while (nQuote < text.size() && text[nQuote] == L' ')
                ++nQuote;
            if (nQuote + 1 >= text.size() || text[nQuote] != L'"') break;
            CString value;
            const size_t nClose = ReadQuoted(text, nQuote, value);
            if (nClose == std::wstring::npos) break;
            collected.insert_or_assign(name, std::move(value));
            nStart = nClose + 1;
        }
    }

    for (auto& [name, value] : collected)
    {
        const int nLength = name.GetLength();
        if (nLength >= kTypeSuffixLength && name.Right(kTypeSuffixLength) == kTypeSuffix)
        {
            const CString base = name.Left(nLength - kTypeSuffixLength);
            if (collected.count(base))
            {
                m_types.insert_or_assign(base, static_cast<long>(CStaticTools::ToInt(value)));
                continue;
            }
        }
        // Without the case flag both maps share one order, so the end is the right place at once.
        m_values.insert_or_assign(m_values.end(), name, std::move(value));
    }
}

CString CPropertyList::GetJsonString() const
{
    std::wstring text;
    text.reserve(1024);
    for (const auto& [name, value] : m_values)
    {
        if (!text.empty()) text.push_back(L',');
        text += name.Str();
        text.push_back(L':');
        long nNumber = 0;
        if (CStaticTools::EstLong(value, nNumber))
            text += std::to_wstring(nNumber);
        else if (value == L"true" || value == L"false")
            text += value.Str();
        else
        {
            text.push_back(L'"');
            AppendEscaped(text, value);
            text.push_back(L'"');
        }
    }
    return CString(text);
}

void CPropertyList::SetJsonString(LPCWSTR pszText)
{
    RemoveAllValues();
    if (!pszText || !*pszText) return;
    const std::wstring text(pszText);
    size_t nStart = 0;
    for (size_t nColon = text.find(L':'); nColon != std::wstring::npos; nColon = text.find(L':', nStart))
    {
        const CString name = Trimmed(text, nStart, nColon);
        size_t nValue = nColon + 1;
        while (nValue < text.size() && text[nValue] == L' ')
            ++nValue;
        CString value;
        size_t nEnd = 0;
        if (nValue < text.size() && text[nValue] == L'"')
        {
            const size_t nClose = ReadQuoted(text, nValue, value);
            if (nClose == std::wstring::npos) break;
            nEnd = nClose + 1;
        }
        else
        {
            const size_t nComma = text.find(L',', nValue);
            nEnd = nComma == std::wstring::npos ? text.size() : nComma;
            value = Trimmed(text, nValue, nEnd);
        }
        m_values.insert_or_assign(name, value);
        const size_t nComma = text.find(L',', nEnd);
        if (nComma == std::wstring::npos) break;
        nStart = nComma + 1;
    }
}

void CPropertyList::GetNamesAndValues(CStringArray& names, CStringArray& values) const
{
    names.RemoveAll();
    values.RemoveAll();
    for (const auto& [name, value] : m_values)
    {
        names.Add(name);
        values.Add(value);
    }
}

void CPropertyList::SetAll(const CStringArray& names, const CStringArray& values)
{
    RemoveAllValues();
    for (INT_PTR i = 0; i < values.GetSize(); ++i)
    {
        if (i >= names.GetSize()) AfxThrowInvalidArgException();
        m_values.insert_or_assign(names[i], values[i]);
    }
}

void CPropertyList::SetAll(const std::map<CString, CString>& entries)
{
    RemoveAllValues();
    m_types.clear();
    for (const auto& [name, value] : entries)
        m_values.insert_or_assign(name, value);
}

void CPropertyList::Merge(const CPropertyList& other, bool bAddNew, bool bAddEmpty)
{
    for (const auto& [name, value] : other.m_values)
    {
        if (value.IsEmpty() && !bAddEmpty) continue;
        const auto it = m_values.find(name);
        if (it != m_values.end())
            it->second = value;
        else if (bAddNew)
            m_values.emplace(name, value);
        const auto type = other.m_types.find(name);
        if (type != other.m_types.end()) m_types.insert_or_assign(name, type->second);
    }
}

size_t CPropertyList::GetAllocatedSize(bool bExcludeObject) const
{
    size_t nSize = bExcludeObject ? 0 : 32;
    for (const auto& [name, value] : m_values)
        nSize += 2 * static_cast<size_t>(name.GetAllocLength() + value.GetAllocLength()) + 16;
    for (const auto& entry : m_types)
        nSize += 2 * static_cast<size_t>(entry.first.GetAllocLength()) + 20;
    return nSize;
}

size_t CPropertyList::GetDataSize() const
{
    size_t nSize = 32;
    for (const auto& [name, value] : m_values)
        nSize += 2 * static_cast<size_t>(name.GetLength() + value.GetLength());
    for (const auto& entry : m_types)
        nSize += 2 * static_cast<size_t>(entry.first.GetLength()) + 4;
    return nSize;
}

// ---- Single entries ----

const CString* CPropertyList::FindValue(LPCWSTR pszName) const
{
    const auto it = m_values.find(CString(pszName ? pszName : L""));
    return it == m_values.end() ? nullptr : &it->second;
}

void CPropertyList::SetProperty(LPCWSTR pszName, const CString& strValue)
{
    m_values.insert_or_assign(CString(pszName ? pszName : L""), strValue);
}

void CPropertyList::SetProperty(LPCWSTR pszName, LPCWSTR pszValue)
{
    SetProperty(pszName, CString(pszValue ? pszValue : L""));
}

void CPropertyList::SetProperty(LPCWSTR pszName, int nValue)
{
    SetProperty(pszName, CString(std::to_wstring(nValue)));
}

void CPropertyList::SetProperty(LPCWSTR pszName, long nValue)
{
    SetProperty(pszName, CString(std::to_wstring(nValue)));
}

void CPropertyList::SetProperty(LPCWSTR pszName, unsigned long nValue)
{
    SetProperty(pszName, CString(std::to_wstring(nValue)));
}

void CPropertyList::SetProperty(LPCWSTR pszName, double dValue)
{
    SetProperty(pszName, CStaticTools::FormatDouble(L"%.15g", dValue));
}

void CPropertyList::SetProperty(LPCWSTR pszName, bool bValue)
{
    SetProperty(pszName, CString(bValue ? L"1" : L"0"));
}

void CPropertyList::SetProperty(LPCWSTR pszName, const COleDateTime& date, bool bToUtc)
{
    const bool bConvert = bToUtc && date.GetStatus() == COleDateTime::valid && date.m_dt != 0.0;
    SetProperty(pszName, FormatDateField(bConvert ? CStaticTools::LocalToUtc(date) : date));
}

void CPropertyList::SetVariant(LPCWSTR pszName, const VARIANT& value)
{
    SetProperty(pszName, CStaticTools::VariantToString(COleVariant(value), true));
    m_types.insert_or_assign(CString(pszName ? pszName : L""), static_cast<long>(value.vt));
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, CString& strValue) const
{
    const CString* pValue = FindValue(pszName);
    if (!pValue)
    {
        strValue.Empty();
        return FALSE;
    }
    strValue = *pValue;
    return TRUE;
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, int& nValue) const
{
    long nRead = 0;
    if (!GetProperty(pszName, nRead)) return FALSE;
    nValue = static_cast<int>(nRead);
    return TRUE;
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, long& nValue) const
{
    const CString* pValue = FindValue(pszName);
    return pValue && CStaticTools::EstLong(*pValue, nValue);
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, unsigned long& nValue) const
{
    nValue = 0;
    const CString* pValue = FindValue(pszName);
    return pValue && CStaticTools::EstULong(*pValue, nValue);
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, double& dValue) const
{
    const CString* pValue = FindValue(pszName);
    return pValue && CStaticTools::EstDouble(*pValue, dValue, true);
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, bool& bValue) const
{
    long nRead = 0;
    if (!GetProperty(pszName, nRead)) return FALSE;
    bValue = nRead != 0;
    return TRUE;
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, BYTE& nValue) const
{
    nValue = 0;
    long nRead = 0;
    if (!GetProperty(pszName, nRead)) return FALSE;
    nValue = static_cast<BYTE>(nRead & 0xFF);
    return TRUE;
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, short& nValue) const
{
    long nRead = 0;
    if (!GetProperty(pszName, nRead)) return FALSE;
    nValue = static_cast<short>(nRead & 0xFFFF);
    return TRUE;
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, long long& nValue) const
{
    nValue = 0;
    long nRead = 0;
    if (!GetProperty(pszName, nRead)) return FALSE;
    nValue = nRead;
    return TRUE;
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, COleDateTime& date, bool bToLocal) const
{
    date = COleDateTime();
    const CString* pValue = FindValue(pszName);
    if (!pValue) return FALSE;
    if (!ParseDateField(*pValue, date)) return FALSE;
    if (bToLocal && date.GetStatus() == COleDateTime::valid) date = CStaticTools::UtcToLocal(date);
    return TRUE;
}

BOOL CPropertyList::GetProperty(LPCWSTR pszName, COleVariant& value) const
{
    VARTYPE vt = VT_EMPTY;
    const CString* pValue = FindValue(pszName);
    if (!pValue || !GetPropertyType(pszName, vt))
    {
        value.Clear();
        return FALSE;
    }
    value = CStaticTools::ToVariant(*pValue, vt, true);
    return TRUE;
}

long CPropertyList::GetPropertyLong(LPCWSTR pszName, long nDefault) const
{
    long nValue = 0;
    return GetProperty(pszName, nValue) ? nValue : nDefault;
}

int CPropertyList::GetPropertyLong(LPCWSTR pszName, int nDefault) const
{
    return static_cast<int>(GetPropertyLong(pszName, static_cast<long>(nDefault)));
}

unsigned long CPropertyList::GetPropertyULong(LPCWSTR pszName, unsigned long nDefault) const
{
    unsigned long nValue = 0;
    return GetProperty(pszName, nValue) ? nValue : nDefault;
}

short CPropertyList::GetPropertyShort(LPCWSTR pszName, short nDefault) const
{
    long nValue = 0;
    if (!GetProperty(pszName, nValue) || nValue < -32768 || nValue > 32767) return nDefault;
    return static_cast<short>(nValue);
}

bool CPropertyList::GetPropertyBool(LPCWSTR pszName, bool bDefault) const
{
    const long nValue = GetPropertyLong(pszName, bDefault ? 1L : 0L);
    return nValue == 1 ? true : nValue == 0 ? false : bDefault;
}

double CPropertyList::GetPropertyDouble(LPCWSTR pszName, double dDefault) const
{
    double dValue = 0;
    return GetProperty(pszName, dValue) ? dValue : dDefault;
}

CString CPropertyList::GetPropertyString(LPCWSTR pszName, LPCWSTR pszDefault) const
{
    const CString* pValue = FindValue(pszName);
    return pValue ? *pValue : CString(pszDefault ? pszDefault : L"");
}

COleDateTime CPropertyList::GetPropertyDateTime(LPCWSTR pszName) const
{
    COleDateTime date;
    date.SetStatus(COleDateTime::null);
    return GetPropertyDateTime(pszName, date);
}

COleDateTime CPropertyList::GetPropertyDateTime(LPCWSTR pszName, const COleDateTime& dateDefault) const
{
    COleDateTime date;
    return GetProperty(pszName, date) ? date : dateDefault;
}

COleVariant CPropertyList::GetPropertyVariant(LPCWSTR pszName, const COleVariant& valueDefault) const
{
    COleVariant value;
    return GetProperty(pszName, value) ? value : valueDefault;
}

BOOL CPropertyList::HasProperty(LPCWSTR pszName) const
{
    return FindValue(pszName) != nullptr;
}

void CPropertyList::RemoveProperty(LPCWSTR pszName)
{
    const CString name(pszName ? pszName : L"");
    m_values.erase(name);
    m_types.erase(name);
}

BOOL CPropertyList::GetPropertyType(LPCWSTR pszName, VARTYPE& vt) const
{
    const auto it = m_types.find(CString(pszName ? pszName : L""));
    vt = it == m_types.end() ? static_cast<VARTYPE>(VT_EMPTY) : static_cast<VARTYPE>(it->second);
    return it != m_types.end();
}
