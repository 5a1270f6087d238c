// What CTickTime and CTickSpan share: the status rules of their operators, the archive form, the
// formatting into a caller's buffer, and ReplaceInBuffer.
#include "screens/CTickTime.h"
#include "framework/CArchive.h"
#include "framework/CArchiveException.h"
#include "framework/CMemFile.h"
#include "framework/testing/ArchiveBytes.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <climits>
#include <cwchar>
#include <string>
#include <type_traits>
#include <vector>

namespace
{
using Status = CTickValue::TickStatus;
const Status kStatuses[] = {CTickValue::null, CTickValue::invalid, CTickValue::valid};

// Null wins over invalid, invalid over valid.
Status Expected(Status a, Status b)
{
    if (a == CTickValue::null || b == CTickValue::null) return CTickValue::null;
    if (a == CTickValue::invalid || b == CTickValue::invalid) return CTickValue::invalid;
    return CTickValue::valid;
}
} // namespace

// A time and a span share their fields, but neither may be assigned the other, not even through the base.
static_assert(!std::is_assignable_v<CTickValue&, const CTickSpan&>);
static_assert(!std::is_assignable_v<CTickTime&, const CTickSpan&>);
static_assert(std::is_copy_assignable_v<CTickTime> && std::is_copy_assignable_v<CTickSpan>);

TEST(TickValue, OperatorsCombineTheStatusOfEveryPair)
{
    constexpr LONGLONG a = 5000000000000LL;
    constexpr LONGLONG b = 1234567;
    for (const Status left : kStatuses)
    {
        for (const Status right : kStatuses)
        {
            SCOPED_TRACE(testing::Message() << "left " << left << ", right " << right);
            const Status want = Expected(left, right);
            const CTickValue* results[5] = {};
            const CTickSpan timeMinusTime = CTickTime(a, left) - CTickTime(b, right);
            const CTickTime timeMinusSpan = CTickTime(a, left) - CTickSpan(b, right);
            const CTickTime timePlusSpan = CTickTime(a, left) + CTickSpan(b, right);
            const CTickSpan spanMinusSpan = CTickSpan(a, left) - CTickSpan(b, right);
            const CTickSpan spanPlusSpan = CTickSpan(a, left) + CTickSpan(b, right);
            const LONGLONG sums[5] = {a - b, a - b, a + b, a - b, a + b};
            results[0] = &timeMinusTime;
            results[1] = &timeMinusSpan;
            results[2] = &timePlusSpan;
            results[3] = &spanMinusSpan;
            results[4] = &spanPlusSpan;
            for (int i = 0; i < 5; ++i)
            {
                EXPECT_EQ(results[i]->GetStatus(), want) << "operator " << i;
                if (want == CTickValue::valid)
                {
                    EXPECT_EQ(results[i]->GetTicks(), sums[i]) << "operator " << i;
                }
            }
        }
    }
}

TEST(TickValue, OperatorsLeavingTheTickRangeGiveInvalid)
{
    EXPECT_EQ((CTickTime(LLONG_MAX) + CTickSpan(1)).GetStatus(), CTickValue::invalid);
    EXPECT_EQ((CTickTime(LLONG_MIN) - CTickSpan(1)).GetStatus(), CTickValue::invalid);
    EXPECT_EQ((CTickTime(LLONG_MIN) - CTickTime(1)).GetStatus(), CTickValue::invalid);
    EXPECT_EQ((CTickSpan(LLONG_MAX) + CTickSpan(1)).GetStatus(), CTickValue::invalid);
    EXPECT_EQ((CTickSpan(0) - CTickSpan(LLONG_MIN)).GetStatus(), CTickValue::invalid);
    const CTickSpan edge = CTickSpan(LLONG_MAX - 1) + CTickSpan(1);
    EXPECT_EQ(edge.GetStatus(), CTickValue::valid);
    EXPECT_EQ(edge.GetTicks(), LLONG_MAX);
}

// ---- archive ----

namespace
{
using Bytes = std::vector<BYTE>;

template <typename T> T Loaded(Bytes bytes)
{
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    T value(777, CTickValue::null);
    ar >> value;
    return value;
}

} // namespace

TEST(TickValue, ArchiveStoresStatusHighAndLowHalf)
{
    const LONGLONG ticks = 0x0000000380000001LL; // the low half has its top bit set
    const Bytes expected = {0x01, 0, 0, 0, 0x03, 0, 0, 0, 0x01, 0, 0, 0x80};
    const CTickTime time(ticks, CTickValue::invalid);
    EXPECT_EQ(StoredBytes([&](CArchive& ar) { ar << time; }), expected);

    const CTickTime loaded = Loaded<CTickTime>(expected);
    EXPECT_EQ(loaded.GetStatus(), CTickValue::invalid);
    EXPECT_EQ(loaded.GetTicks(), ticks);

    const CTickSpan negative(-ticks);
    const CTickSpan back = Loaded<CTickSpan>(StoredBytes([&](CArchive& ar) { ar << negative; }));
    EXPECT_EQ(back.GetStatus(), CTickValue::valid);
    EXPECT_EQ(back.GetTicks(), -ticks);
}

TEST(TickValue, ArchiveLoadsAnUnknownStatusAsInvalid)
{
    const CTickSpan span = Loaded<CTickSpan>({0x07, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0});
    EXPECT_EQ(span.GetStatus(), CTickValue::invalid);
    EXPECT_EQ(span.GetTicks(), 16);
}

TEST(TickValue, ArchiveOfTheWrongDirectionThrows)
{
    EXPECT_EQ(ArchiveExceptionCause([] {
                  StoredBytes([](CArchive& ar) {
                      CTickTime time;
                      ar >> time;
                  });
              }),
              CArchiveException::writeOnly);
    Bytes bytes(12, 0);
    EXPECT_EQ(ArchiveExceptionCause([&] {
                  CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
                  CArchive ar(&file, CArchive::load);
                  ar << CTickSpan(5);
              }),
              CArchiveException::readOnly);
}

// ---- formatting into a caller's buffer ----

namespace
{
CTickTime SampleTime()
{
    CTickTime time;
    time.SetDateTime(2020, 5, 6, 7, 8, 9, 10, 11, 200);
    return time;
}

CTickSpan SampleSpan()
{
    CTickSpan span;
    span.SetSpan(0, 0, 1, 23, 500, 0, 0);
    return span;
}

constexpr wchar_t kUntouched[] = L"untouched";

// Formats into a 32-character buffer that starts as kUntouched and reports the pointer and the text.
struct BufferResult
{
    bool returnedBuffer;
    bool returnedNull;
    std::wstring text;
};

template <typename T> BufferResult FormatIntoBuffer(const T& value, int size, LPCWSTR format)
{
    wchar_t buffer[32];
    wmemcpy(buffer, kUntouched, std::size(kUntouched));
    const LPWSTR result = value.Format(buffer, size, format);
    return {result == buffer, result == nullptr, buffer};
}
} // namespace

TEST(TickValue, BufferFormsRefuseWhatTheyCannotUse)
{
    EXPECT_EQ(SampleTime().Format(nullptr, 32, L"%Y"), nullptr);
    EXPECT_EQ(SampleSpan().Format(nullptr, 32, L"%H"), nullptr);
    const struct
    {
        BufferResult result;
        const char* why;
    } cases[] = {
        {FormatIntoBuffer(SampleTime(), 0, L"%Y"), "time, size 0"},
        {FormatIntoBuffer(SampleSpan(), 0, L"%H"), "span, size 0"},
        {FormatIntoBuffer(SampleTime(), -1, L"%Y"), "time, negative size"},
        {FormatIntoBuffer(SampleTime(), 32, nullptr), "time, null format"},
        {FormatIntoBuffer(SampleSpan(), 32, nullptr), "span, null format"},
        {FormatIntoBuffer(CTickTime(0, CTickValue::null), 32, L"%Y"), "null time"},
        {FormatIntoBuffer(CTickSpan(0, CTickValue::null), 32, L"%H"), "null span"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_TRUE(c.result.returnedNull);
        EXPECT_EQ(c.result.text, kUntouched);
    }
}

TEST(TickValue, BufferFormsWriteTheResultOrFailEmpty)
{
    const struct
    {
        BufferResult result;
        bool succeeds;
        const wchar_t* text;
        const char* why;
    } cases[] = {
        {FormatIntoBuffer(SampleTime(), 32, L"%H:%M:%S.%s"), true, L"07:08:09.010", "a time"},
        {FormatIntoBuffer(SampleSpan(), 32, L"%M:%S.%s"), true, L"01:23.500", "a span"},
        {FormatIntoBuffer(SampleSpan(), 10, L"%M:%S.%s"), true, L"01:23.500", "an exact fit"},
        {FormatIntoBuffer(SampleSpan(), 9, L"%M:%S.%s"), false, L"", "%s has no room: no wcsftime on codes left"},
        {FormatIntoBuffer(SampleSpan(), 8, L"%M:%S.%s"), false, L"", "the format itself is cut"},
        {FormatIntoBuffer(SampleTime(), 11, L"%Y-%m-%d"), true, L"2020-05-06", "the result fits exactly"},
        {FormatIntoBuffer(SampleTime(), 10, L"%Y-%m-%d"), false, L"", "the result is one too long"},
        {FormatIntoBuffer(CTickTime(0, CTickValue::invalid), 32, L"%Y"), true, L"Invalid datetime", "invalid"},
        {FormatIntoBuffer(CTickSpan(0, CTickValue::invalid), 8, L"%H"), true, L"Invalid", "invalid, cut"},
        {FormatIntoBuffer(CTickSpan(0, CTickValue::invalid), 1, L"%H"), true, L"", "invalid, no room at all"},
        {FormatIntoBuffer(SampleTime(), 32, L""), true, L"", "an empty format"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.result.returnedBuffer, c.succeeds);
        EXPECT_EQ(c.result.returnedNull, !c.succeeds);
        EXPECT_EQ(c.result.text, c.text);
    }
}

TEST(TickValue, TextFormsTakeResultsUpTo127Characters)
{
    const CTickTime time = SampleTime();
    std::wstring format; // 31 years of four digits, then three or four letters
    for (int i = 0; i < 31; ++i)
        format += L"%Y";
    EXPECT_EQ(std::wstring(time.Format((format + L"abc").c_str()).GetString()).size(), 127u);
    EXPECT_EQ(std::wstring(time.Format((format + L"abcd").c_str()).GetString()), L"")
        << "128 characters do not fit with their terminator";
}

// ---- ReplaceInBuffer ----

TEST(ReplaceInBuffer, ReplacesAllOrNothing)
{
    const struct
    {
        const wchar_t* text;
        int size;
        const wchar_t* pattern;
        const wchar_t* replacement;
        int count;
        const wchar_t* result;
        const char* why;
    } cases[] = {
        {L"x%sy", 6, L"%s", L"500", 1, L"x500y", "an exact fit: five characters and the terminator"},
        {L"x%sy", 5, L"%s", L"500", 0, L"x%sy", "one character too many"},
        {L"%s-%s", 8, L"%s", L"500", 2, L"500-500", "every occurrence"},
        {L"%s-%s", 7, L"%s", L"500", 0, L"%s-%s", "both or none"},
        {L"aaa", 8, L"aa", L"b", 2, L"ba", "overlapping occurrences are counted, replaced left to right"},
        {L"aaaa", 4, L"aa", L"bb", 0, L"aaaa", "an unterminated buffer is left alone"},
        {L"%H:%M", 16, L"%s", L"500", 0, L"%H:%M", "no occurrence"},
        {L"%#s", 16, L"%s", L"500", 0, L"%#s", "%#s does not contain %s"},
        {L"abc", 16, L"", L"x", 0, L"abc", "an empty pattern"},
        {L"a%sb", 16, L"%s", L"", 1, L"ab", "an empty replacement"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        wchar_t buffer[16] = {};
        wmemcpy(buffer, c.text, std::min<size_t>(wcslen(c.text), 15));
        EXPECT_EQ(ReplaceInBuffer(buffer, c.size, c.pattern, c.replacement), c.count);
        EXPECT_EQ(std::wstring(buffer), c.result);
    }
    EXPECT_EQ(ReplaceInBuffer(nullptr, 16, L"%s", L"5"), 0);
}
