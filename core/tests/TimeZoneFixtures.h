#pragma once
// Zones and a settable clock for tests of the time tools: nothing here depends on the machine's
// own zone or clock.
#include "core/CTimeTools.h"
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <cwchar>

namespace TimeFixtures
{
inline SYSTEMTIME Rule(WORD month, WORD dayOfWeek, WORD week, WORD hour)
{
    SYSTEMTIME st{};
    st.wMonth = month;
    st.wDayOfWeek = dayOfWeek;
    st.wDay = week; // 5 means the last one of the month
    st.wHour = hour;
    return st;
}

inline DYNAMIC_TIME_ZONE_INFORMATION Zone(const wchar_t* key, LONG bias, LONG daylightBias = 0,
                                          SYSTEMTIME daylight = {}, SYSTEMTIME standard = {})
{
    DYNAMIC_TIME_ZONE_INFORMATION z{};
    wcsncpy(z.TimeZoneKeyName, key, 127);
    wcsncpy(z.StandardName, key, 31);
    wcsncpy(z.DaylightName, daylight.wMonth ? L"Summer" : L"", 31);
    z.Bias = bias;
    z.DaylightBias = daylightBias;
    z.DaylightDate = daylight;
    z.StandardDate = standard;
    return z;
}

// Central Europe: UTC+1, summer UTC+2 from the last Sunday of March 02:00 to the last Sunday of October 03:00.
inline DYNAMIC_TIME_ZONE_INFORMATION CentralEurope()
{
    return Zone(L"W. Europe Standard Time", -60, -60, Rule(3, 0, 5, 2), Rule(10, 0, 5, 3));
}
// US East: UTC-5, summer UTC-4 from the second Sunday of March to the first Sunday of November.
inline DYNAMIC_TIME_ZONE_INFORMATION UsEastern()
{
    return Zone(L"Eastern Standard Time", 300, -60, Rule(3, 0, 2, 2), Rule(11, 0, 1, 2));
}
inline DYNAMIC_TIME_ZONE_INFORMATION India()
{
    return Zone(L"India Standard Time", -330);
}
inline DYNAMIC_TIME_ZONE_INFORMATION WestAfrica()
{
    return Zone(L"W. Central Africa Standard Time", -60);
}
inline DYNAMIC_TIME_ZONE_INFORMATION Colombia()
{
    return Zone(L"SA Pacific Standard Time", 300);
}
inline DYNAMIC_TIME_ZONE_INFORMATION Utc()
{
    return Zone(L"UTC", 0);
}
inline DYNAMIC_TIME_ZONE_INFORMATION HalfHourWest()
{
    return Zone(L"Half Hour West", 30);
}

// The clock the time tools read while a test runs; each reading may advance it.
struct TestClock
{
    static inline boost::posix_time::ptime now;
    static inline boost::posix_time::time_duration stepPerReading;
    static boost::posix_time::ptime Read()
    {
        const auto t = now;
        now += stepPerReading;
        return t;
    }
};

inline boost::posix_time::ptime At(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return boost::posix_time::ptime(boost::gregorian::date(y, mo, d),
                                    boost::posix_time::hours(h) + boost::posix_time::minutes(mi) +
                                        boost::posix_time::seconds(s) + boost::posix_time::milliseconds(ms));
}

// Installs a zone and the test clock, starts without a shift; puts the machine's back afterwards.
class ScopedTime
{
public:
    ScopedTime(const DYNAMIC_TIME_ZONE_INFORMATION& zone, boost::posix_time::ptime utcNow)
    {
        TestClock::now = utcNow;
        TestClock::stepPerReading = boost::posix_time::time_duration();
        CTimeTools::m_bUTCShiftSet = false;
        CTimeTools::m_nUTCShift_sec = 0;
        CTimeTools::SetClockForTest(&TestClock::Read);
        CTimeTools::SetTimeZoneForTest(&zone);
    }
    ScopedTime(const ScopedTime&) = delete;
    ScopedTime& operator=(const ScopedTime&) = delete;
    ~ScopedTime()
    {
        CTimeTools::SetClockForTest(nullptr);
        CTimeTools::SetTimeZoneForTest(nullptr);
        CTimeTools::m_bUTCShiftSet = false;
        CTimeTools::m_nUTCShift_sec = 0;
        CTimeTools::UpdateTimeZoneInfo();
    }
    void Set(boost::posix_time::ptime utcNow) { TestClock::now = utcNow; }
};
} // namespace TimeFixtures
