// CStaticTools: dates, texts and files.
#include "core/CStaticTools.h"
#include "core/CTimeTools.h"
#include "framework/CArray.h"
#include "framework/CHandleOwner.h"
#include "framework/CStringArray.h"
#include <oleauto.h>
#include <algorithm>
#include <cmath>
#include <ctime>

namespace
{
constexpr double kMsPerDay = 86400000.0;
constexpr LONGLONG kMsPerDayInt = 86400000;

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Reads nDigits digits at szText[pos]; false when one is missing.
bool ReadDigits(LPCWSTR szText, size_t pos, int nDigits, int& nValue)
{
    int v = 0;
    for (int i = 0; i < nDigits; ++i)
    {
        const wchar_t c = szText[pos + i];
        if (!IsDigit(c)) return false;
        v = v * 10 + (c - L'0');
    }
    nValue = v;
    return true;
}

COleDateTime MakeStatus(COleDateTime::DateTimeStatus status)
{
    COleDateTime dt;
    dt.SetStatus(status);
    return dt;
}

// A date value plus days, in the linear form so that days before 1899-12-30 move the right way.
DATE AddDays(DATE date, double days)
{
    return COleDateTime::DateFromDouble(COleDateTime::DoubleFromDate(date) + days);
}

// Shared by the local/UTC conversions: fields in, fields out, rebuilt from whole seconds.
template <typename Convert> COleDateTime ConvertFields(const COleDateTime& dt, Convert convert)
{
    if (dt.GetStatus() != COleDateTime::valid) return dt;
    SYSTEMTIME from{}, to{};
    if (!dt.GetAsSystemTime(from)) return dt;
    TIME_ZONE_INFORMATION zone{};
    CTimeTools::GetSavedZoneInformation(zone);
    if (!convert(&zone, &from, &to)) return dt;
    return COleDateTime(to.wYear, to.wMonth, to.wDay, to.wHour, to.wMinute, to.wSecond);
}

CString FormatDayPart(const SYSTEMTIME& st)
{
    CString text;
    text.Format(L"%04d-%02d-%02d", st.wYear, st.wMonth, st.wDay);
    return text;
}
} // namespace

bool CStaticTools::ParseIsoDateTimeFields(LPCWSTR szText, int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute,
                                          int& nSecond, int& nMilliseconds, wchar_t& chZoneSign, int& nZoneHours,
                                          int& nZoneMinutes)
{
    if (!szText) return false;
    nYear = 0;
    nMonth = 1;
    nDay = 1;
    nHour = nMinute = nSecond = nMilliseconds = 0;
    chZoneSign = L'Z';
    nZoneHours = nZoneMinutes = 0;

    if (!ReadDigits(szText, 0, 4, nYear)) return false;
    // Each field: its separator, then two digits; the text may end before any separator.
    struct Field
    {
        size_t pos;
        wchar_t sep;
        int* value;
    };
    const Field fields[] = {
        {4, L'-', &nMonth}, {7, L'-', &nDay}, {10, L'T', &nHour}, {13, L':', &nMinute}, {16, L':', &nSecond},
    };
    for (const auto& f : fields)
    {
        if (szText[f.pos] == L'\0') return true;
        if (szText[f.pos] != f.sep || !ReadDigits(szText, f.pos + 1, 2, *f.value)) return false;
        if (f.value == &nMonth && (nMonth < 1 || nMonth > 12)) return false;
        if (f.value == &nDay && (nDay < 1 || nDay > 31)) return false;
    }
    size_t pos = 19;
    if (szText[pos] == L'\0' || szText[pos] == L'Z') return true;
    if (szText[pos] == L'.')
    {
        ++pos;
        int nDigits = 0;
        int ms = 0;
        for (; IsDigit(szText[pos]); ++pos, ++nDigits)
            if (nDigits < 3) ms = ms * 10 + (szText[pos] - L'0');
        for (int i = nDigits; i < 3 && nDigits > 0; ++i)
            ms *= 10;
        nMilliseconds = ms;
    }
    const wchar_t c = szText[pos];
    if (c == L'\0' || c == L'Z') return true;
    if (c != L'+' && c != L'-') return false;
    if (!ReadDigits(szText, pos + 1, 2, nZoneHours) || szText[pos + 3] != L':' ||
        !ReadDigits(szText, pos + 4, 2, nZoneMinutes))
        return false;
    chZoneSign = c;
    return true;
}

bool CStaticTools::ParseIsoDateTimeFields(LPCWSTR szText, int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute,
                                          int& nSecond, wchar_t& chZoneSign, int& nZoneHours, int& nZoneMinutes)
{
    int nMilliseconds = 0;
    return ParseIsoDateTimeFields(szText, nYear, nMonth, nDay, nHour, nMinute, nSecond, nMilliseconds, chZoneSign,
                                  nZoneHours, nZoneMinutes);
}

bool CStaticTools::ParseIsoDateTime(LPCWSTR szText, COleDateTime& dt)
{
    int y, mo, d, h, mi, s, ms, zh, zm;
    wchar_t sign;
    if (!ParseIsoDateTimeFields(szText, y, mo, d, h, mi, s, ms, sign, zh, zm)) return false;
    dt.SetDateTime(y, mo, d, h, mi, s); // invalid unless the fields convert back unchanged
    if (dt.GetStatus() != COleDateTime::valid) return true;
    const double zone = zh / 24.0 + zm / 1440.0;
    if (sign == L'+') dt.m_dt = AddDays(dt.m_dt, -zone);
    if (sign == L'-') dt.m_dt = AddDays(dt.m_dt, zone);
    dt.m_dt = AddDays(dt.m_dt, ms / kMsPerDay);
    return true;
}

COleDateTime CStaticTools::DateTimeFromIsoText(LPCWSTR szText)
{
    if (szText && wcscmp(szText, L"(null)") == 0) return MakeStatus(COleDateTime::null);
    COleDateTime dt;
    if (!ParseIsoDateTime(szText, dt)) return MakeStatus(COleDateTime::invalid);
    return dt;
}

CString CStaticTools::FormatIsoDateTime(const COleDateTime& dt, bool bWithMilliseconds)
{
    if (dt.GetStatus() == COleDateTime::null) return L"(null)";
    if (dt.GetStatus() != COleDateTime::valid) return L"(invalid)";
    CString text;
    if (!bWithMilliseconds)
    {
        SYSTEMTIME st{};
        if (!dt.GetAsSystemTime(st)) return L"(invalid)";
        text.Format(L"%04d-%02d-%02dT%02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
        return text;
    }
    // Rounded to whole milliseconds before the split: truncating each step would turn 10:00:05.000
    // into 10:00:04.999 for most stored values.
    double whole = std::trunc(dt.m_dt);
    LONGLONG ms = std::llround(std::fabs(dt.m_dt - whole) * kMsPerDay);
    if (ms >= kMsPerDayInt)
    {
        ms -= kMsPerDayInt;
        whole += 1; // the next calendar day, also before 1899-12-30
    }
    SYSTEMTIME st{};
    if (!COleDateTime(whole).GetAsSystemTime(st)) return L"(invalid)";
    text.Format(L"%04d-%02d-%02dT%02d:%02d:%02d.%03d", st.wYear, st.wMonth, st.wDay, static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
    return text;
}

CString CStaticTools::NormalizeDate(const CString& strDate)
{
    DATE date = 0;
    SYSTEMTIME st{};
    if (FAILED(
            VarDateFromStr(const_cast<LPOLESTR>(strDate.GetString()), LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, &date)) ||
        date <= 0 || !COleDateTime(date).GetAsSystemTime(st))
        return L"INVALID DATE";
    return FormatDayPart(st);
}

CString CStaticTools::DateToLocaleDate(const CString& strDate)
{
    DATE date = 0;
    BSTR text = nullptr;
    if (FAILED(
            VarDateFromStr(const_cast<LPOLESTR>(strDate.GetString()), LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, &date)) ||
        date <= 0 || FAILED(VarBstrFromDate(std::trunc(date), LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, &text)))
        return L"INVALID DATE";
    CString result(text);
    SysFreeString(text);
    return result;
}

COleDateTime CStaticTools::LocalToUtc(const COleDateTime& dt)
{
    return ConvertFields(dt, [](const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* from, SYSTEMTIME* to) {
        return TzSpecificLocalTimeToSystemTime(zone, from, to) != FALSE;
    });
}

COleDateTime CStaticTools::UtcToLocal(const COleDateTime& dt)
{
    return ConvertFields(dt, [](const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* from, SYSTEMTIME* to) {
        return SystemTimeToTzSpecificLocalTime(zone, from, to) != FALSE;
    });
}

__time64_t CStaticTools::OleDateTimeToTime(const COleDateTime& dt)
{
    SYSTEMTIME st{};
    if (dt.GetStatus() != COleDateTime::valid || dt.m_dt == 0 || !dt.GetAsSystemTime(st) || st.wYear < 1970) return 0;
    std::tm fields{};
    fields.tm_year = st.wYear - 1900;
    fields.tm_mon = st.wMonth - 1;
    fields.tm_mday = st.wDay;
    fields.tm_hour = st.wHour;
    fields.tm_min = st.wMinute;
    fields.tm_sec = st.wSecond;
    fields.tm_isdst = -1; // the runtime decides whether daylight time applies at that date
    const __time64_t t = _mktime64(&fields);
    return t == -1 ? 0 : t;
}

COleDateTime CStaticTools::TimeToOleDateTime(__time64_t tTime)
{
    if (tTime == 0 || tTime == -1) return MakeStatus(COleDateTime::null);
    return COleDateTime(tTime);
}

int CStaticTools::CompareOleDateTime(const COleDateTime& dtA, const COleDateTime& dtB)
{
    const bool aValid = dtA.GetStatus() == COleDateTime::valid;
    const bool bValid = dtB.GetStatus() == COleDateTime::valid;
    if (!aValid) return bValid ? -1 : 0;
    if (!bValid) return 1;
    if (dtA < dtB) return -1;
    return dtB < dtA ? 1 : 0;
}

double CStaticTools::GetTimeOfDayDifference(const COleDateTime& dtA, const COleDateTime& dtB)
{
    const double d = dtA.m_dt - dtB.m_dt;
    return (d - std::trunc(d)) * 86400.0;
}

COleDateTime CStaticTools::AddMilliseconds(const COleDateTime& dt, LONGLONG nMilliseconds)
{
    if (dt.GetStatus() != COleDateTime::valid) return dt;
    COleDateTime result(dt);
    result.m_dt = AddDays(dt.m_dt, static_cast<double>(nMilliseconds) / kMsPerDay);
    return result;
}

long CStaticTools::GetUtcOffsetMinutes()
{
    // Local minus UTC in seconds from the time tools' clock and zone; UTC minus local in minutes here.
    return -(CTimeTools::GetCurrentUTCOffsetSystem() / 60);
}

int CStaticTools::FindNoCase(const CString& strText, const CString& strFind)
{
    if (strFind.IsEmpty()) return -1;
    CString text(strText), find(strFind);
    return text.MakeLower().Find(find.MakeLower().GetString());
}

void CStaticTools::ReplaceNoCase(CString& strText, const CString& strOld, const CString& strNew)
{
    if (strOld.IsEmpty()) return;
    CString lowerText(strText), lowerOld(strOld);
    lowerText.MakeLower();
    lowerOld.MakeLower();
    CString result;
    int start = 0;
    for (int pos; (pos = lowerText.Find(lowerOld.GetString(), start)) >= 0; start = pos + strOld.GetLength())
    {
        result.Append(strText.GetString() + start, pos - start);
        result += strNew;
    }
    result.Append(strText.GetString() + start, strText.GetLength() - start);
    strText = result;
}

int CStaticTools::GetEditDistance(LPCWSTR szA, LPCWSTR szB)
{
    const std::wstring a = szA ? szA : L"", b = szB ? szB : L"";
    const size_t la = a.size(), lb = b.size();
    if (la == 0) return static_cast<int>(lb);
    if (lb == 0) return static_cast<int>(la);
    // Unrestricted Damerau-Levenshtein: a transposition may have edits between its two characters.
    const size_t maxCode = std::max(*std::max_element(a.begin(), a.end()), *std::max_element(b.begin(), b.end()));
    std::vector<size_t> lastRow(maxCode + 1, 0);
    const size_t cols = lb + 2;
    std::vector<size_t> h((la + 2) * cols);
    auto at = [&](size_t i, size_t j) -> size_t& { return h[i * cols + j]; };
    const size_t infinity = la + lb;
    at(0, 0) = infinity;
    for (size_t i = 0; i <= la; ++i)
    {
        at(i + 1, 0) = infinity;
        at(i + 1, 1) = i;
    }
    for (size_t j = 0; j <= lb; ++j)
    {
        at(0, j + 1) = infinity;
        at(1, j + 1) = j;
    }
    for (size_t i = 1; i <= la; ++i)
    {
        size_t lastMatchCol = 0;
        for (size_t j = 1; j <= lb; ++j)
        {
            const size_t i1 = lastRow[b[j - 1]];
            const size_t j1 = lastMatchCol;
            size_t cost = 1;
            if (a[i - 1] == b[j - 1])
            {
                cost = 0;
                lastMatchCol = j;
            }
            at(i + 1, j + 1) = std::min(
                {at(i, j) + cost, at(i + 1, j) + 1, at(i, j + 1) + 1, at(i1, j1) + (i - i1 - 1) + 1 + (j - j1 - 1)});
        }
        lastRow[a[i - 1]] = i;
    }
    return static_cast<int>(at(la + 1, lb + 1));
}

void CStaticTools::CleanFileName(CString& strName)
{
    for (const wchar_t c : {L'\\', L'/', L':', L'*', L'?', L'"', L'<', L'>', L'|', L';'})
        strName.Remove(c);
    for (;;)
    {
        const int before = strName.GetLength();
        strName.TrimRight(L'.');
        strName.TrimRight(L' ');
        if (strName.IsEmpty() || strName.GetLength() == before) break;
    }
}

CString CStaticTools::MakeValidFileName(const CString& strName)
{
    CString name(strName);
    CleanFileName(name);
    return name;
}

bool CStaticTools::RemoveExtension(const CString& strPath, CString& strOutput)
{
    const int dot = strPath.ReverseFind(L'.');
    strOutput = dot < 0 ? CString() : strPath.Left(dot);
    return !strOutput.IsEmpty();
}

bool CStaticTools::CreateFolderForFile(const CString& strPath)
{
    if (strPath.IsEmpty() || strPath.GetLength() > MAX_PATH - 1) return false;
    const int slash = std::max(strPath.ReverseFind(L'\\'), strPath.ReverseFind(L'/'));
    if (slash <= 0) return false;
    CString folder = strPath.Left(slash);
    if (folder[folder.GetLength() - 1] == L':') folder += L'\\'; // "C:" alone is the drive's current folder
    // An existing folder counts as success, and whether it exists decides, not the error code: for a
    // drive root Windows answers "access denied" rather than "already exists".
    CreateDirectoryW(folder.GetString(), nullptr);
    const DWORD attributes = GetFileAttributesW(folder.GetString());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CStaticTools::WriteBufferToFile(const CString& strPath, long nLength, const BYTE* pBytes)
{
    if (nLength <= 0 || !pBytes || !CreateFolderForFile(strPath)) return false;
    CFileHandle file(
        CreateFileW(strPath.GetString(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, pBytes, static_cast<DWORD>(nLength), &written, nullptr) &&
                    written == static_cast<DWORD>(nLength);
    return file.Release() && ok; // a failed close can mean the bytes never reached the disk
}

CString CStaticTools::FormatSystemError(DWORD dwError)
{
    CLocalMemory<LPWSTR> buffer;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, dwError, 0, reinterpret_cast<LPWSTR>(buffer.Receive()), 510, nullptr);
    CString text;
    if (length > 0 && buffer.IsValid()) text.SetString(buffer, static_cast<int>(length));
    return text;
}

size_t CStaticTools::GetMemorySize(const CString& str, bool bContentOnly)
{
    return 2 * static_cast<size_t>(str.GetAllocLength()) + (bContentOnly ? 0 : 4);
}

size_t CStaticTools::GetMemorySize(const std::map<long, long>& map, bool bContentOnly)
{
    return 24 * map.size() + (bContentOnly ? 0 : 8);
}

size_t CStaticTools::GetMemorySize(const std::map<CString, long>& map, bool bContentOnly)
{
    size_t size = bContentOnly ? 0 : 8;
    for (const auto& entry : map)
        size += 24 + 2 * static_cast<size_t>(entry.first.GetAllocLength());
    return size;
}

size_t CStaticTools::GetMemorySize(const std::vector<CString>& strings, bool bContentOnly)
{
    size_t size = (bContentOnly ? 4 : 16) + strings.capacity();
    for (const auto& s : strings)
        size += 2 * static_cast<size_t>(s.GetAllocLength());
    return size;
}

size_t CStaticTools::GetMemorySize(const CDWordArray& values, bool bContentOnly)
{
    return 4 * static_cast<size_t>(values.GetSize()) + (bContentOnly ? 0 : 20);
}

size_t CStaticTools::GetMemorySize(const CStringArray& strings, bool bContentOnly)
{
    size_t size = bContentOnly ? 0 : 20;
    for (INT_PTR i = 0; i < strings.GetSize(); ++i)
        size += 2 * static_cast<size_t>(strings[i].GetAllocLength()) + 4;
    return size;
}
