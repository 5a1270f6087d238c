#pragma once
// The library's stateless utility functions. The class is large, so its members live in three
// source files by theme: CStaticToolsNumbers.cpp, CStaticToolsConversions.cpp, CStaticToolsDates.cpp.
#include "framework/CString.h"
#include "framework/COleDateTime.h"
#include <map>
#include <vector>

class CDWordArray;
class CStringArray;

class CStaticTools
{
public:
    virtual ~CStaticTools() = default;

    // ---- Numbers, separators and tokenisers (CStaticToolsNumbers.cpp) ----

    // ---- end of numbers, separators and tokenisers ----

    // ---- Variants, HTML, base64, masking and the checksum of memory (CStaticToolsConversions.cpp) ----

    // ---- end of variants, HTML, base64, masking ----

    // ---- Dates, texts and files (CStaticToolsDates.cpp) ----

    // ISO 8601: "2020-01-22T10:30:00.5+01:00", any tail of the text after a complete field may be
    // missing. The zone sign is 'Z', '+' or '-'. No range checks of hour, minute and second here.
    static bool ParseIsoDateTimeFields(LPCWSTR szText, int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute,
                                       int& nSecond, int& nMilliseconds, wchar_t& chZoneSign, int& nZoneHours,
                                       int& nZoneMinutes);
    static bool ParseIsoDateTimeFields(LPCWSTR szText, int& nYear, int& nMonth, int& nDay, int& nHour, int& nMinute,
                                       int& nSecond, wchar_t& chZoneSign, int& nZoneHours, int& nZoneMinutes);
    // true when the fields were read; the value's status tells whether they form a date. A text with
    // a zone gives UTC.
    static bool ParseIsoDateTime(LPCWSTR szText, COleDateTime& dt);
    static COleDateTime DateTimeFromIsoText(LPCWSTR szText);  // also reads "(null)"; unreadable: invalid
    // "%Y-%m-%dT%H:%M:%S", with milliseconds ".%03d"; "(null)" or "(invalid)" for those statuses.
    static CString FormatIsoDateTime(const COleDateTime& dt, bool bWithMilliseconds = false);
    static CString NormalizeDate(const CString& strDate);    // "%Y-%m-%d" or "INVALID DATE"
    static CString DateToLocaleDate(const CString& strDate);  // the user's short date or "INVALID DATE"
    // Through the time tools' zone, with the rules in force at that date; whole seconds.
    static COleDateTime LocalToUtc(const COleDateTime& dt);
    static COleDateTime UtcToLocal(const COleDateTime& dt);
    static __time64_t OleDateTimeToTime(const COleDateTime& dt);  // 0 for non-valid, 0 and before 1970
    static COleDateTime TimeToOleDateTime(__time64_t tTime);      // 0 and -1 give a null value
    static int CompareOleDateTime(const COleDateTime& dtA, const COleDateTime& dtB);
    static double GetTimeOfDayDifference(const COleDateTime& dtA, const COleDateTime& dtB);  // seconds
    static COleDateTime AddMilliseconds(const COleDateTime& dt, LONGLONG nMilliseconds);
    static long GetUtcOffsetMinutes();  // UTC minus local now: -60 one hour east of Greenwich

    static int FindNoCase(const CString& strText, const CString& strFind);
    static void ReplaceNoCase(CString& strText, const CString& strOld, const CString& strNew);
    static int GetEditDistance(LPCWSTR szA, LPCWSTR szB);  // Damerau-Levenshtein, case matters
    static void CleanFileName(CString& strName);
    static CString MakeValidFileName(const CString& strName);
    static bool RemoveExtension(const CString& strPath, CString& strOutput);
    static bool CreateFolderForFile(const CString& strPath);
    static bool WriteBufferToFile(const CString& strPath, long nLength, const BYTE* pBytes);
    template <FormatArgument... Args> static CString FormatString(LPCWSTR szFormat, Args... args)
    {
        CString text;
        text.Format(szFormat, args...);
        return text;
    }
    template <FormatArgument... Args> static CString LoadAndFormat(UINT nID, Args... args)
    {
        CString format;
        if (!format.LoadString(nID)) return CString();
        return FormatString(format.GetString(), args...);
    }
    static CString FormatSystemError(DWORD dwError);  // with the system's line end; empty when unknown

    // Estimated bytes; the container's own share is left out with bContentOnly.
    static size_t GetMemorySize(const CString& str, bool bContentOnly = false);
    static size_t GetMemorySize(const std::map<long, long>& map, bool bContentOnly = false);
    static size_t GetMemorySize(const std::map<CString, long>& map, bool bContentOnly = false);
    static size_t GetMemorySize(const std::vector<CString>& strings, bool bContentOnly = false);
    static size_t GetMemorySize(const CDWordArray& values, bool bContentOnly = false);
    static size_t GetMemorySize(const CStringArray& strings, bool bContentOnly = false);

    // ---- end of dates, texts and files ----
};
