// The time tools under an installed zone and a test clock: shift, current times, conversions,
// texts and the windows and threads told of a new shift.
#include "core/CTimeTools.h"
#include "core/CStaticTools.h"
#include "core/tests/DateTestValues.h"
#include "core/tests/TimeZoneFixtures.h"
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>

using namespace DateTestValues;
using namespace TimeFixtures;
namespace pt = boost::posix_time;

namespace
{
constexpr UINT WM_APP_SHIFT = WM_APP + 7; // what the listeners ask to be sent

// A message-only window that counts the shift messages it receives.
class ShiftWindow
{
public:
    ShiftWindow()
    {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"LumoShiftListenerTest";
            return RegisterClassW(&wc);
        }();
        (void)atom;
        m_hWnd = CreateWindowExW(0, L"LumoShiftListenerTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    ~ShiftWindow() { Destroy(); }
    void Destroy()
    {
        if (m_hWnd) DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
    HWND Handle() const { return m_hWnd; }
    int TakeMessages() // how many shift messages are waiting, with zero parameters
    {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, m_hWnd, WM_APP_SHIFT, WM_APP_SHIFT, PM_REMOVE))
            if (msg.wParam == 0 && msg.lParam == 0) ++n;
        return n;
    }

private:
    HWND m_hWnd = nullptr;
};

class TimeToolsTest : public ::testing::Test
{
protected:
    ScopedTime m_time{Utc(), At(2020, 1, 22, 10, 0, 5, 400)};
};
} // namespace

// ---- Server clock shift ----

TEST_F(TimeToolsTest, ServerTimeShiftRoundsHalvesAwayFromZero)
{
    struct Case
    {
        pt::ptime own;
        int32_t shift;
        const char* why;
    };
    const Case cases[] = {
        {At(2020, 1, 22, 10, 0, 5, 400), 5, "5.4 s ahead"},
        {At(2020, 1, 22, 10, 0, 5, 500), 6, "5.5 s ahead rounds up"},
        {At(2020, 1, 22, 9, 59, 54, 500), -6, "5.5 s behind rounds away from zero"},
        {At(2020, 1, 22, 9, 59, 54, 600), -5, "5.4 s behind"},
        {At(2020, 1, 22, 10, 0, 0, 0), 0, "same clock"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        m_time.Set(c.own);
        CTimeTools::SetServerTime(L"2020-01-22T10:00:00");
        EXPECT_TRUE(CTimeTools::m_bUTCShiftSet);
        EXPECT_EQ(CTimeTools::m_nUTCShift_sec.load(), c.shift);
    }
}

TEST_F(TimeToolsTest, ServerTimeReadsOnlyTheFixedPositions)
{
    const wchar_t* texts[] = {L"2020-01-22T10:00:00", L"2020-01-22 10:00:00", L"2020-01-22T10:00:00+03600",
                              L"2020/01/22-10.00.00 and more"};
    for (const wchar_t* text : texts)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        CTimeTools::m_nUTCShift_sec = 99;
        CTimeTools::SetServerTime(text);
        EXPECT_EQ(CTimeTools::m_nUTCShift_sec.load(), 5);
    }
}

TEST_F(TimeToolsTest, ServerTimeIgnoresTextsThatGiveNoShift)
{
    struct Case
    {
        const wchar_t* text;
        const char* why;
    };
    const Case cases[] = {
        {L"2020-01-22T10:00:0", "18 characters"},
        {L"", "empty"},
        {L"2020-02-30T10:00:00", "no such day"},
        {L"2020-01-22T24:00:00", "no such hour"},
        {L"XXXX-01-22T10:00:00", "a year that is no number reads as 0"},
        {L"9999-12-31T23:59:59", "a shift beyond 32 bits"},
        {L"1900-01-01T00:00:00", "a shift beyond 32 bits the other way"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CTimeTools::SetServerTime(c.text);
        EXPECT_FALSE(CTimeTools::m_bUTCShiftSet) << "the flag stays clear";
        EXPECT_EQ(CTimeTools::m_nUTCShift_sec.load(), 0);
    }
}

TEST_F(TimeToolsTest, ShiftOfFiveSecondsShowsInCurrentTimesAndOffsets)
{
    m_time.Set(At(2020, 1, 22, 10, 0, 5));
    const COleDateTime before = CTimeTools::GetCurrentTimeUTC();
    const int32_t offsetBefore = CTimeTools::GetCurrentUTCOffsetLocal();
    CTimeTools::SetServerTime(L"2020-01-22T10:00:00");
    ASSERT_EQ(CTimeTools::m_nUTCShift_sec.load(), 5);

    EXPECT_EQ(Iso((CTimeTools::GetCurrentTimeUTC())), L"2020-01-22T10:00:00.000");
    EXPECT_EQ(Iso((before)), L"2020-01-22T10:00:05.000");
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetLocal(), offsetBefore + 5);
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetSystem(), offsetBefore) << "the system offset has no shift";
    SYSTEMTIME st{};
    CTimeTools::GetCurrentSystemTimeUTC(st);
    EXPECT_EQ(st.wSecond, 0) << "10:00:05 on the machine is 10:00:00 on the server";
    EXPECT_EQ(W(CTimeTools::FormatCurrentTimeUTC(true)), L"2020-01-22 10:00:00.000");
    EXPECT_EQ(W(CTimeTools::FormatCurrentTimeLocal(false)), L"10:00:00.000+0:00:05");

    const COleDateTime utc = Date(2020, 6, 1, 12, 0, 0);
    const COleDateTime local = CTimeTools::DateTimeUTCToLocal(utc);
    EXPECT_EQ(Iso((local)), L"2020-06-01T12:00:05.000") << "server UTC to the machine's clock";
    EXPECT_EQ(Iso((CTimeTools::DateTimeLocalToUTC(local))), L"2020-06-01T12:00:00.000");
}

static_assert(std::is_same_v<decltype(CTimeTools::m_nUTCShift_sec), std::atomic<int32_t>>,
              "threads other than the link's read the shift");

TEST_F(TimeToolsTest, CurrentTimeUsesOneShiftWhileAnotherThreadChangesIt)
{
    m_time.Set(At(2020, 1, 22, 10, 0, 5));
    CTimeTools::SetServerTime(L"2020-01-22T10:00:00");
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i)
            CTimeTools::SetServerTime(i % 2 ? L"2020-01-22T10:00:00" : L"2020-01-21T10:00:05");
    });
    int other = 0;
    for (int i = 0; i < 5000; ++i)
    {
        const std::wstring now = Iso(CTimeTools::GetCurrentTimeUTC());
        if (now != L"2020-01-22T10:00:00.000" && now != L"2020-01-21T10:00:05.000") ++other;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(other, 0) << "always the clock minus one whole shift (5 s or one day)";
}

// ---- Listeners ----

TEST_F(TimeToolsTest, ListenersHearOfANewShiftOnceAndNotOfTheSameOne)
{
    ShiftWindow window;
    ASSERT_TRUE(window.Handle());
    CTimeTools::RegisterUTCShiftListener(window.Handle(), 0, WM_APP_SHIFT);
    std::atomic<DWORD> threadId{0};
    std::atomic<int> threadMessages{0};
    std::thread listener([&] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // gives the thread its queue
        threadId = GetCurrentThreadId();
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            if (msg.message == WM_APP_SHIFT) ++threadMessages;
    });
    while (!threadId)
        Sleep(1);
    CTimeTools::RegisterUTCShiftListener(nullptr, threadId, WM_APP_SHIFT);

    CTimeTools::SetServerTime(L"2020-01-22T10:00:00"); // shift 5: new
    EXPECT_EQ(window.TakeMessages(), 1);
    CTimeTools::SetServerTime(L"2020-01-22T10:00:00"); // shift 5 again
    EXPECT_EQ(window.TakeMessages(), 0) << "the same shift tells nobody";
    m_time.Set(At(2020, 1, 22, 10, 0, 7));
    CTimeTools::SetServerTime(L"2020-01-22T10:00:00"); // shift 7
    EXPECT_EQ(window.TakeMessages(), 1);

    PostThreadMessageW(threadId, WM_QUIT, 0, 0); // after the shift messages in the same queue
    listener.join();
    EXPECT_EQ(threadMessages.load(), 2) << "the thread heard both changes";

    CTimeTools::RegisterUTCShiftListener(window.Handle(), 0, 0);
    CTimeTools::RegisterUTCShiftListener(nullptr, threadId, 0);
    EXPECT_EQ(CTimeTools::GetUTCShiftListenerCountForTest(), 0u);
}

TEST_F(TimeToolsTest, NotificationDropsWindowsAndThreadsThatAreGone)
{
    ShiftWindow alive, gone;
    CTimeTools::RegisterUTCShiftListener(alive.Handle(), 0, WM_APP_SHIFT);
    CTimeTools::RegisterUTCShiftListener(gone.Handle(), 0, WM_APP_SHIFT);
    DWORD endedThread = 0;
    std::thread([&] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        endedThread = GetCurrentThreadId();
    }).join();
    CTimeTools::RegisterUTCShiftListener(nullptr, endedThread, WM_APP_SHIFT);
    ASSERT_EQ(CTimeTools::GetUTCShiftListenerCountForTest(), 3u);

    gone.Destroy();
    CTimeTools::NotifyUTCShiftListeners();
    EXPECT_EQ(CTimeTools::GetUTCShiftListenerCountForTest(), 1u) << "only the live window stays";
    EXPECT_EQ(alive.TakeMessages(), 1);
    CTimeTools::RegisterUTCShiftListener(alive.Handle(), 0, 0);
    EXPECT_EQ(CTimeTools::GetUTCShiftListenerCountForTest(), 0u);
}

TEST_F(TimeToolsTest, RegistrationRefusesDeadWindowsAndMessageZero)
{
    ShiftWindow window;
    HWND dead = window.Handle();
    window.Destroy();
    CTimeTools::RegisterUTCShiftListener(dead, 0, WM_APP_SHIFT);
    EXPECT_EQ(CTimeTools::GetUTCShiftListenerCountForTest(), 0u) << "not a window any more";
    CTimeTools::RegisterUTCShiftListener(nullptr, GetCurrentThreadId(), 0);
    EXPECT_EQ(CTimeTools::GetUTCShiftListenerCountForTest(), 0u) << "message 0 enters nothing";
    CTimeTools::RegisterUTCShiftListener(nullptr, GetCurrentThreadId(), WM_APP_SHIFT);
    EXPECT_EQ(CTimeTools::GetUTCShiftListenerCountForTest(), 1u);
    CTimeTools::RegisterUTCShiftListener(nullptr, GetCurrentThreadId(), 0);
    EXPECT_EQ(CTimeTools::GetUTCShiftListenerCountForTest(), 0u);
}

// ---- Zone data and offsets ----

TEST(TimeToolsZone, CurrentBiasFollowsTheZoneAndItsDaylightTime)
{
    struct Case
    {
        DYNAMIC_TIME_ZONE_INFORMATION zone;
        pt::ptime now;
        DWORD state;
        int32_t offset;
        const wchar_t* tail;
        const char* why;
    };
    const Case cases[] = {
        {India(), At(2020, 7, 1, 12, 0, 0), TIME_ZONE_ID_UNKNOWN, 19800, L"+5:30:00",
         "no daylight time: the zone's bias, not 0"},
        {CentralEurope(), At(2020, 1, 15, 12, 0, 0), TIME_ZONE_ID_STANDARD, 3600, L"+1:00:00", "winter"},
        {CentralEurope(), At(2020, 7, 1, 12, 0, 0), TIME_ZONE_ID_DAYLIGHT, 7200, L"+2:00:00", "summer"},
        {UsEastern(), At(2020, 1, 15, 12, 0, 0), TIME_ZONE_ID_STANDARD, -18000, L"-5:00:00", "west of Greenwich"},
        {HalfHourWest(), At(2020, 1, 15, 12, 0, 0), TIME_ZONE_ID_UNKNOWN, -1800, L"-0:30:00",
         "under one hour keeps its sign"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        ScopedTime time(c.zone, c.now);
        EXPECT_EQ(CTimeTools::UpdateTimeZoneInfo(), c.state);
        EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetSystem(), c.offset);
        const std::wstring text = W(CTimeTools::FormatCurrentTimeLocal(false));
        EXPECT_TRUE(text.ends_with(c.tail)) << testing::PrintToString(text);
    }
}

TEST(TimeToolsZone, SavedZoneIsTheInstalledOne)
{
    ScopedTime time(UsEastern(), At(2020, 7, 1, 12, 0, 0));
    DYNAMIC_TIME_ZONE_INFORMATION dynamic{};
    EXPECT_EQ(CTimeTools::GetSavedDynamicZoneInformation(dynamic), static_cast<DWORD>(TIME_ZONE_ID_DAYLIGHT));
    EXPECT_EQ(std::wstring(dynamic.TimeZoneKeyName), L"Eastern Standard Time");
    TIME_ZONE_INFORMATION zone{};
    CTimeTools::GetSavedZoneInformation(zone);
    EXPECT_EQ(zone.Bias, 300);
    EXPECT_EQ(zone.DaylightDate.wMonth, 3);
}

TEST(TimeToolsZone, OffsetWestOfGreenwichSurvivesTwoClockReadings)
{
    ScopedTime time(Colombia(), At(2020, 1, 15, 12, 0, 0));
    TestClock::stepPerReading = pt::microseconds(7); // the local reading comes a little later
    EXPECT_EQ(CTimeTools::GetCurrentUTCOffsetSystem(), -18000) << "not -17999";
}

TEST(TimeToolsZone, ConversionsUseTheRulesAtTheConvertedDate)
{
    ScopedTime time(CentralEurope(), At(2020, 1, 15, 12, 0, 0)); // winter now
    struct Case
    {
        COleDateTime local;
        const wchar_t* utc;
        const char* why;
    };
    const Case cases[] = {
        {Date(2020, 7, 1, 12, 0, 0), L"2020-07-01T10:00:00.000", "summer date while it is winter now"},
        {Date(2020, 1, 1, 12, 0, 0), L"2020-01-01T11:00:00.000", "winter date"},
        {Date(2020, 3, 29, 1, 30, 0), L"2020-03-29T00:30:00.000", "just before the change to summer time"},
        {Date(2020, 3, 29, 3, 30, 0), L"2020-03-29T01:30:00.000", "just after it"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const COleDateTime utc = CTimeTools::DateTimeLocalToUTC(c.local, false);
        EXPECT_EQ(Iso(utc), c.utc);
        EXPECT_EQ(Iso(CTimeTools::DateTimeUTCToLocal(utc, false)), Iso(c.local)) << "and back";
    }
}

TEST(TimeToolsZone, ConversionsKeepNullAndReportInvalidAsAsked)
{
    ScopedTime time(CentralEurope(), At(2020, 1, 15, 12, 0, 0));
    const COleDateTime null = WithStatus(COleDateTime::null), invalid = WithStatus(COleDateTime::invalid);
    for (bool shifted : {false, true})
    {
        SCOPED_TRACE(shifted ? "with a shift" : "without a shift");
        CTimeTools::m_bUTCShiftSet = shifted;
        EXPECT_EQ(CTimeTools::DateTimeLocalToUTC(null, false).GetStatus(), COleDateTime::null);
        EXPECT_EQ(CTimeTools::DateTimeUTCToLocal(null, false).GetStatus(), COleDateTime::null);
        EXPECT_EQ(CTimeTools::DateTimeLocalToUTC(invalid, true).GetStatus(), COleDateTime::invalid);
        EXPECT_EQ(CTimeTools::DateTimeUTCToLocal(invalid, false).GetStatus(), COleDateTime::invalid);
        EXPECT_EQ(CTimeTools::DateTimeLocalToUTC(null).GetStatus(), COleDateTime::null);
    }
}

TEST(TimeToolsText, TimeSyncTextCarriesTheOffsetInSeconds)
{
    struct Case
    {
        DYNAMIC_TIME_ZONE_INFORMATION zone;
        const wchar_t* text;
    };
    const Case cases[] = {
        {WestAfrica(), L"2020-01-22T09:30:07+03600"},
        {Colombia(), L"2020-01-22T09:30:07-18000"},
        {Utc(), L"2020-01-22T09:30:07+00000"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        ScopedTime time(c.zone, At(2020, 1, 22, 9, 30, 7));
        EXPECT_EQ(W(CTimeTools::GetTimeSyncText()), c.text);
    }
}

TEST(TimeToolsText, FormatDateTimeIsoFormAndOffsets)
{
    ScopedTime time(Utc(), At(2021, 5, 5, 8, 0, 0));
    const COleDateTime value = Date(2020, 1, 22, 10, 30, 15, 250);
    struct Case
    {
        int32_t offset;
        DWORD flags;
        const wchar_t* text;
        const char* why;
    };
    const Case cases[] = {
        {0, 0x10, L"2020-01-22T10:30:15.250", "ISO without an offset when it is 0"},
        {0, 0x18, L"2020-01-22T10:30:15.250+00:00", "0x08 always appends it"},
        {-12600, 0x10, L"2020-01-22T07:00:15.250-03:30", "minutes without a sign of their own"},
        {3600, 0x10, L"2020-01-22T11:30:15.250+01:00", "east"},
        {-1800, 0x10, L"2020-01-22T10:00:15.250-00:30", "under one hour keeps its sign"},
        {45, 0x10, L"2020-01-22T10:31:00.250", "under one minute: moved, but no offset written"},
        {0, 0x16, L"2020-01-22T10:30:15.250", "0x02 and 0x04 are not used with 0x10"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(W(CTimeTools::FormatDateTime(value, c.offset, c.flags)), c.text);
    }
}

TEST(TimeToolsText, FormatDateTimeStatusTexts)
{
    const COleDateTime null = WithStatus(COleDateTime::null), invalid = WithStatus(COleDateTime::invalid);
    struct Case
    {
        COleDateTime value;
        DWORD flags;
        const wchar_t* text;
    };
    const Case cases[] = {
        {null, 0x40 | 0x08, L"(null)"}, {null, 0x80 | 0x16, L""}, {invalid, 0x80 | 0x08, L"(error)"},
        {invalid, 0x40 | 0x16, L""},    {null, 0xC0, L"(null)"},  {invalid, 0xC0, L"(error)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(W(CTimeTools::FormatDateTime(c.value, 3600, c.flags)), c.text);
    }
}

TEST(TimeToolsText, FormatDateTimeLocaleFormsFollowTheFlags)
{
    ScopedTime time(Utc(), At(2020, 1, 22, 8, 0, 0));
    const COleDateTime today = Date(2020, 1, 22, 14, 5, 9), other = Date(2019, 12, 31, 23, 59, 30);
    // What the user's locale makes of these fields, asked of the system directly.
    auto date = [](const COleDateTime& dt, DWORD form) {
        SYSTEMTIME st{};
        dt.GetAsSystemTime(st);
        wchar_t text[80] = L"";
        GetDateFormatW(LOCALE_USER_DEFAULT, form, &st, nullptr, text, 80);
        return std::wstring(text);
    };
    auto timeOf = [](const COleDateTime& dt, DWORD form) {
        SYSTEMTIME st{};
        dt.GetAsSystemTime(st);
        wchar_t text[80] = L"";
        GetTimeFormatW(LOCALE_USER_DEFAULT, form, &st, nullptr, text, 80);
        return std::wstring(text);
    };
    struct Case
    {
        COleDateTime value;
        int32_t offset;
        DWORD flags;
        std::wstring text;
        const char* why;
    };
    const Case cases[] = {
        {other, 0, 0x02, date(other, DATE_SHORTDATE), "short date"},
        {other, 0, 0x03, date(other, DATE_LONGDATE), "long date"},
        {other, 0, 0x04, timeOf(other, TIME_NOSECONDS), "time without seconds"},
        {other, 0, 0x05, timeOf(other, 0), "time with seconds"},
        {other, 0, 0x06, date(other, DATE_SHORTDATE) + L" " + timeOf(other, TIME_NOSECONDS), "date, blank, time"},
        {other, 3600, 0x0E,
         date(Date(2020, 1, 1, 0, 59, 30), DATE_SHORTDATE) + L" " +
             timeOf(Date(2020, 1, 1, 0, 59, 30), TIME_NOSECONDS) + L"+01:00",
         "the offset moves the value into the next year and is appended"},
        {other, -5400, 0x0F,
         date(Date(2019, 12, 31, 22, 29, 30), DATE_LONGDATE) + L" " + timeOf(Date(2019, 12, 31, 22, 29, 30), 0) +
             L" (UTC -01:30)",
         "long form with date: the offset in words"},
        {today, 0, 0x26, timeOf(today, TIME_NOSECONDS), "today's date left out"},
        {other, 0, 0x26, date(other, DATE_SHORTDATE) + L" " + timeOf(other, TIME_NOSECONDS), "another day keeps it"},
        {today, 0, 0x2F, timeOf(today, 0) + L"+00:00", "without the date the offset is short"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(W(CTimeTools::FormatDateTime(c.value, c.offset, c.flags)), c.text);
    }
}

TEST(TimeToolsText, PosixZoneText)
{
    EXPECT_EQ(W(CTimeTools::FormatPosixTimeZone(India())), L"") << "no daylight month";
    DYNAMIC_TIME_ZONE_INFORMATION noKey = CentralEurope();
    noKey.TimeZoneKeyName[0] = L'\0';
    EXPECT_EQ(W(CTimeTools::FormatPosixTimeZone(noKey)), L"") << "no key name";
    EXPECT_EQ(W(CTimeTools::FormatPosixTimeZone(CentralEurope())),
              L"W. Europe Standard Time1:0Summer1:0,M3.5.0/02:00:00,M10.5.0/03:00:00");
    DYNAMIC_TIME_ZONE_INFORMATION newfoundland = Zone(L"NST", 210, -60, Rule(3, 0, 2, 2), Rule(11, 0, 1, 2));
    EXPECT_EQ(W(CTimeTools::FormatPosixTimeZone(newfoundland)), L"NST-3:30Summer1:0,M3.2.0/02:00:00,M11.1.0/02:00:00");
}

// ---- Date values ----

TEST(TimeToolsDates, RoundingCarriesIntoLargerFields)
{
    struct Case
    {
        COleDateTime value;
        int level;
        const wchar_t* text;
        const char* why;
    };
    const Case cases[] = {
        {Date(2020, 1, 22, 23, 59, 59, 600), 3, L"2020-01-23T00:00:00.000", "a second carries into the next day"},
        {Date(2020, 1, 31, 12, 0, 0), 0, L"2020-02-01T00:00:00.000", "noon rounds up into the next month"},
        {Date(2020, 1, 31, 11, 59, 59, 999), 0, L"2020-01-31T00:00:00.000", "before noon rounds down"},
        {Date(2020, 1, 22, 12, 29, 59, 600), 1, L"2020-01-22T12:00:00.000", "minute 29 decides, not the carry"},
        {Date(2020, 1, 22, 12, 30, 0), 1, L"2020-01-22T13:00:00.000", "minute 30 rounds up"},
        {Date(2020, 1, 22, 12, 59, 59, 600), 1, L"2020-01-22T13:00:00.000", "a carry never counts twice"},
        {Date(2020, 1, 22, 10, 4, 30), 2, L"2020-01-22T10:05:00.000", "second 30 rounds the minute up"},
        {Date(2020, 1, 22, 10, 4, 29, 999), 2, L"2020-01-22T10:04:00.000", "second 29 rounds it down"},
        {Date(2020, 1, 22, 10, 4, 5, 499), 3, L"2020-01-22T10:04:05.000", "499 ms"},
        {Date(2020, 1, 22, 10, 4, 5, 500), 3, L"2020-01-22T10:04:06.000", "500 ms"},
        {Date(2020, 12, 31, 23, 59, 59, 500), 3, L"2021-01-01T00:00:00.000", "into the next year"},
        {Date(2020, 1, 22, 10, 4, 5, 123), 4, L"2020-01-22T10:04:05.123", "millisecond level keeps them"},
        {Date(1899, 12, 29, 18, 0, 0), 0, L"1899-12-30T00:00:00.000", "before 1899-12-30 the next day too"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const COleDateTime rounded = CTimeTools::RoundDateTime(c.value, c.level);
        EXPECT_EQ(rounded.GetStatus(), COleDateTime::valid);
        EXPECT_EQ(Iso(rounded), c.text);
    }
}

TEST(TimeToolsDates, PartsKeepTheSignOfTheDay)
{
    const COleDateTime day(-3.75), time(2.25);
    EXPECT_DOUBLE_EQ(CTimeTools::CombineDateTimeParts(day, time).m_dt, -3.25) << "away from zero";
    EXPECT_DOUBLE_EQ(CTimeTools::CombineDateTimeParts(COleDateTime(5.9), time).m_dt, 5.25);
    EXPECT_DOUBLE_EQ(CTimeTools::CombineDateTimeParts(COleDateTime(7.0), COleDateTime(-1.5)).m_dt, 7.5);
    EXPECT_DOUBLE_EQ(CTimeTools::GetDatePart(day).m_dt, -3.0);
    EXPECT_DOUBLE_EQ(CTimeTools::GetTimePart(day).m_dt, 0.75);
    EXPECT_DOUBLE_EQ(CTimeTools::GetDatePart(COleDateTime(43852.6)).m_dt, 43852.0);
}

TEST(TimeToolsDates, AddingSecondsRespectsStatusAndFlag)
{
    const COleDateTime null = WithStatus(COleDateTime::null);
    COleDateTime invalid = WithStatus(COleDateTime::invalid);
    invalid.m_dt = 12.5;
    EXPECT_EQ(CTimeTools::DateTimeAddSeconds(null, 10, false).GetStatus(), COleDateTime::null);
    const COleDateTime kept = CTimeTools::DateTimeAddSeconds(invalid, 10, true);
    EXPECT_EQ(kept.GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(kept.m_dt, 12.5) << "the input itself";
    EXPECT_EQ(CTimeTools::DateTimeSubtractSeconds(invalid, 10, false).m_dt, 0.0) << "the invalid value";
    EXPECT_EQ(Iso(CTimeTools::DateTimeAddSeconds(Date(2020, 1, 22, 23, 59, 50), 15, false)),
              L"2020-01-23T00:00:05.000");
    EXPECT_EQ(Iso(CTimeTools::DateTimeSubtractSeconds(Date(2020, 1, 1, 0, 0, 5), 10, false)),
              L"2019-12-31T23:59:55.000");
    EXPECT_EQ(Iso(CTimeTools::DateTimeAddSeconds(Date(1899, 12, 29, 23, 0, 0), 7200, false)),
              L"1899-12-30T01:00:00.000");
}

TEST(TimeToolsDates, CalendarFieldsCarryMilliseconds)
{
    SYSTEMTIME st{};
    ASSERT_TRUE(CTimeTools::DateTimeToSystemTime(Date(2020, 1, 22, 10, 30, 5, 250), st));
    EXPECT_EQ(st.wSecond, 5);
    EXPECT_EQ(st.wMilliseconds, 250);
    ASSERT_TRUE(CTimeTools::DateTimeToSystemTime(Date(2020, 1, 22, 23, 59, 59, 1000), st));
    EXPECT_EQ(st.wDay, 23) << "a full second carries into the next day";
    EXPECT_EQ(st.wMilliseconds, 0);
    EXPECT_FALSE(CTimeTools::DateTimeToSystemTime(WithStatus(COleDateTime::invalid), st));

    SYSTEMTIME in{2020, 1, 3, 22, 10, 30, 5, 250};
    COleDateTime dt;
    EXPECT_TRUE(CTimeTools::SystemTimeToDateTime(in, dt));
    EXPECT_EQ(Iso(dt), L"2020-01-22T10:30:05.250");
    SYSTEMTIME bad{2020, 13, 0, 1, 10, 0, 0, 0};
    EXPECT_FALSE(CTimeTools::SystemTimeToDateTime(bad, dt));
}

TEST(TimeToolsDates, InstantsAndDateValuesConvertBothWays)
{
    SYSTEMTIME st{2020, 1, 3, 22, 10, 30, 5, 250};
    const pt::ptime t = CTimeTools::SystemTimeToPtime(st);
    EXPECT_EQ(t, At(2020, 1, 22, 10, 30, 5) + pt::microseconds(250000)) << "250 ms past the whole second";
    EXPECT_EQ(Iso(CTimeTools::PtimeToDateTime(t)), L"2020-01-22T10:30:05.250");
    EXPECT_EQ(CTimeTools::DateTimeToPtime(Date(2020, 1, 22, 10, 30, 5, 250)), t);

    SYSTEMTIME back{};
    back.wDayOfWeek = 6;
    CTimeTools::PtimeToSystemTime(t, back);
    EXPECT_EQ(back.wMilliseconds, 250);
    EXPECT_EQ(back.wDayOfWeek, 6) << "left as it was";

    EXPECT_TRUE(CTimeTools::DateTimeToPtime(WithStatus(COleDateTime::invalid)).is_not_a_date_time());
    EXPECT_TRUE(CTimeTools::DateTimeToPtime(Date(1200, 1, 1)).is_not_a_date_time()) << "before boost's calendar";
    EXPECT_EQ(CTimeTools::PtimeToDateTime(pt::ptime(pt::not_a_date_time)).GetStatus(), COleDateTime::invalid);
    EXPECT_FALSE(W(CTimeTools::PtimeToText(t)).empty());
}
