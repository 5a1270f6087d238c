#pragma once
#include "framework/Platform.h"
#include "framework/COleDateTime.h"
#include "framework/CString.h"
#include "framework/CArray.h"
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

namespace boost::posix_time
{
class ptime;
}

// Clock time for the whole process: the server clock shift, current times in server time,
// local/UTC conversions with the system's zone, display texts, and the windows and threads told
// when the shift changes. Bad date values never throw: null stays null, and failures give the
// input or the invalid value as bReturnInputOnError asks.
class CTimeTools
{
public:
    virtual ~CTimeTools() = default;

    static constexpr int local_tz = 0;    // the system's own zone
    static constexpr int invalid_tz = -1; // no zone

    // Own UTC clock minus the peer's, whole seconds; written only by SetServerTime. Atomic so that
    // readers on every thread see a whole value.
    static std::atomic<int32_t> m_nUTCShift_sec;
    static std::atomic<bool> m_bUTCShiftSet; // never cleared once set

    // FormatDateTime flags
    enum : DWORD
    {
        fmtLong = 0x01, // long date form, time with seconds
        fmtDate = 0x02,
        fmtTime = 0x04,
        fmtOffset = 0x08,      // always append the offset
        fmtIso = 0x10,         // ISO form with milliseconds
        fmtNoDateToday = 0x20, // with fmtDate: no date when the value lies on today's date
        fmtNullText = 0x40,    // "(null)" for a null value
        fmtErrorText = 0x80,   // "(error)" for an invalid value
    };

    // Server clock and current time
    static void SetServerTime(const CString& strPeerClock);
    static COleDateTime GetCurrentTimeUTC();
    static COleDateTime GetCurrentTimeLocal();
    static void GetCurrentSystemTimeLocal(SYSTEMTIME& st);
    static void GetCurrentSystemTimeUTC(SYSTEMTIME& st);
    static int32_t GetCurrentUTCOffsetSystem(); // local minus UTC now, seconds
    static int32_t GetCurrentUTCOffsetLocal();  // the same plus the shift once one is set
    static DWORD UpdateTimeZoneInfo();          // 0 no daylight time, 1 standard, 2 daylight, ~0 failure
    static void GetSavedZoneInformation(TIME_ZONE_INFORMATION& tzi);
    // The system's zone with its key name, for the zone look-up; the result code of reading it.
    static DWORD GetSavedDynamicZoneInformation(DYNAMIC_TIME_ZONE_INFORMATION& dtzi);

    // Conversions of date values
    static COleDateTime DateTimeLocalToUTC(const COleDateTime& dt, bool bReturnInputOnError);
    static COleDateTime DateTimeUTCToLocal(const COleDateTime& dt, bool bReturnInputOnError);
    static COleDateTime DateTimeLocalToUTC(const COleDateTime& dt); // non-valid values unchanged
    static COleDateTime DateTimeUTCToLocal(const COleDateTime& dt);
    static COleDateTime CombineDateTimeParts(const COleDateTime& dtDate, const COleDateTime& dtTime);
    static COleDateTime GetDatePart(const COleDateTime& dt);
    static COleDateTime GetTimePart(const COleDateTime& dt);
    static COleDateTime DateTimeAddSeconds(const COleDateTime& dt, int32_t nSeconds, bool bReturnInputOnError);
    static COleDateTime DateTimeSubtractSeconds(const COleDateTime& dt, int32_t nSeconds, bool bReturnInputOnError);
    static COleDateTime RoundDateTime(const COleDateTime& dt, int nLevel);    // 0 day, 1 hour, 2 minute, 3 second
    static BOOL DateTimeToSystemTime(const COleDateTime& dt, SYSTEMTIME& st); // with milliseconds
    static INT SystemTimeToDateTime(const SYSTEMTIME& st, COleDateTime& dt);  // with milliseconds

    // Microsecond instants. A date value that is not valid gives not_a_date_time, and back.
    static boost::posix_time::ptime DateTimeToPtime(const COleDateTime& dt);
    static COleDateTime PtimeToDateTime(const boost::posix_time::ptime& t);
    static void PtimeToSystemTime(const boost::posix_time::ptime& t, SYSTEMTIME& st);
    static boost::posix_time::ptime SystemTimeToPtime(const SYSTEMTIME& st);
    static CString PtimeToText(const boost::posix_time::ptime& t);

    // Texts
    static CString GetTimeSyncText(); // "2020-01-22T09:30:07+03600": UTC on the server's clock, offset in seconds
    static CString FormatDateTime(const COleDateTime& dt, int32_t nOffsetSec, DWORD dwFlags);
    static CString FormatCurrentTimeLocal(bool bWithDate);
    static CString FormatCurrentTimeUTC(bool bWithDate);
    static CString FormatPosixTimeZone(const DYNAMIC_TIME_ZONE_INFORMATION& zone);

    // UTC-shift listeners: a window (when hWnd is given) or else a thread; message 0 removes.
    static void RegisterUTCShiftListener(HWND hWnd, DWORD dwThreadId, UINT nMsg);
    static void NotifyUTCShiftListeners();

    // Test seams, never used by the programs. A null clock or zone restores the real one; the
    // zone takes effect at once (the setter refreshes the saved zone data).
    using UtcClock = boost::posix_time::ptime (*)();
    static void SetClockForTest(UtcClock pfnUtcNow);
    static void SetTimeZoneForTest(const DYNAMIC_TIME_ZONE_INFORMATION* pZone);
    static size_t GetUTCShiftListenerCountForTest();

    // ---- Time-zone database ----
    // Zones of the shipped rule table, numbered from 1 in the table's order (0 is the system's
    // zone, -1 none). Until the tables are loaded every number other than 0 is unknown.

    // One piece of a period with a single UTC offset; the caller's array owns the pieces.
    struct ZonePeriod
    {
        COleDateTime m_dtStart;
        COleDateTime m_dtEnd;
        int32_t m_nUTCOffsetMin = 0;
    };

    // Extracts both tables from resource FILE 11018 into the folder (empty: the temporary
    // folder) and loads them. The zone-rule file is deleted again; the Windows table stays.
    static bool LoadTimeZonesFromResources(const CString& strFolder);
    // The two loaders. Loading the rules again replaces every table and the zone cache; a file
    // that the rule parser refuses leaves the loaded tables as they were and gives false.
    static bool LoadTimeZoneRulesFromFile(const CString& strPath);
    static bool LoadWindowsZonesFromFile(const CString& strPath); // lines: key, tab, region, tab, zone
    static int FindTimeZone(const CString& strName);              // case ignored; -1 when unknown
    static CString GetTimeZoneName(int nZone);                    // empty when unknown
    static std::map<int32_t, std::string> GetTimeZones();         // number to name as in the table
    static BOOL IsValidTimeZone(int nZone, bool bLocalIsValid);
    static int GetLocalTimeZone(); // by the system zone's key name and the user's region; -1 none
    static COleDateTime DateTimeFromTzToUTC(const COleDateTime& dt, int nZone, bool bReturnInputOnError);
    static COleDateTime DateTimeFromUTCToTz(const COleDateTime& dt, int nZone, bool bReturnInputOnError);
    static COleDateTime DateTimeFromTzToTz(const COleDateTime& dt, int nFromZone, int nToZone,
                                           bool bReturnInputOnError);
    static COleDateTime GetCurrentTimeTz(int nZone);
    static int32_t GetCurrentUTCOffsetTz(int nZone); // seconds
    static bool IsDaylightTime(int nZone);
    // Local times of the system zone; appends one piece per stretch of equal offset.
    static void SplitByUTCOffset(const COleDateTime& dtStart, const COleDateTime& dtEnd,
                                 CArray<ZonePeriod*, ZonePeriod*>& periods);

    // ---- Time-change notification (CTimeChangeWnd.cpp) ----
    // After the system's clock or zone changed and 500 ms passed without a further change, the
    // saved zone data are refreshed, the callback runs and the message is posted (both
    // parameters 0). Exactly one of window and thread; message 0 removes. FALSE: both or neither.
    static BOOL RegisterTimeChangeListener(HWND hWnd, DWORD dwThreadId, UINT nMsg);
    static BOOL SetTimeChangeCallback(void (*pfnCallback)()); // null removes it

private:
    // What the zone database needs of the clock and the system zone, without the shift.
    static boost::posix_time::ptime GetUniversalClockNow();
    static COleDateTime PlainDateTimeLocalToUTC(const COleDateTime& dt, bool bReturnInputOnError);
    static COleDateTime PlainDateTimeUTCToLocal(const COleDateTime& dt, bool bReturnInputOnError);
};
