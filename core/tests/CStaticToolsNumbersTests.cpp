#include "core/CStaticTools.h"
#include <gtest/gtest.h>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{

std::wstring W(const CString& str)
{
    return str.Str();
}

std::vector<std::wstring> Items(const CStringArray& arr)
{
    std::vector<std::wstring> items;
    for (INT_PTR i = 0; i < arr.GetSize(); ++i)
        items.push_back(arr[i].Str());
    return items;
}

template <class T, class TArray> std::vector<T> Values(const TArray& arr)
{
    std::vector<T> values;
    for (INT_PTR i = 0; i < arr.GetSize(); ++i)
        values.push_back(static_cast<T>(arr[i]));
    return values;
}

template <class T, class TList> std::vector<T> ListValues(const TList& list)
{
    std::vector<T> values;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        values.push_back(list.GetNext(pos));
    return values;
}

// ---- whole numbers ----

struct LongCase
{
    const wchar_t* text;
    bool accepted;
    long value;
    const char* why;
};
const LongCase kLongCases[] = {
    {L" 42\t", true, 42, "blanks and tabs around the number"},
    {L"+7", true, 7, "a plus sign"},
    {L"-12", true, -12, "a minus sign"},
    {L"42x", false, 0, "trailing letter"},
    {L"4 2", false, 0, "blank inside"},
    {L"0x10", false, 0, "no hexadecimal"},
    {L"", false, 0, "empty text"},
    {L"0", true, 0, "zero"},
    {L"000", true, 0, "zeros"},
    {L"0 ", true, 0, "zero and a blank"},
    {L"-0", false, 0, "minus zero is no number"},
    {L"+0", false, 0, "plus zero is no number"},
    {L"2147483647", true, 2147483647L, "upper limit"},
    {L"-2147483648", true, -2147483647L - 1, "lower limit"},
    {L"2147483648", false, 0, "above the limit"},
    {L" \n5", true, 5, "a line feed after the leading blanks"},
    {L"5\n", false, 0, "a line feed after the number"},
};

TEST(StaticToolsNumbers, EstLongAcceptsExactlyTheWireRules)
{
    for (const auto& c : kLongCases)
    {
        SCOPED_TRACE(c.why);
        long n = -99;
        EXPECT_EQ(CStaticTools::EstLong(c.text, n), c.accepted)
            << "text '" << std::string(c.text, c.text + wcslen(c.text)) << "'";
        EXPECT_EQ(n, c.accepted ? c.value : -99) << "a rejected text leaves the output untouched";
        EXPECT_EQ(CStaticTools::ToLong(c.text), c.accepted ? c.value : 0);
        EXPECT_EQ(CStaticTools::ToLongValue(c.text), c.accepted ? c.value : 0);
    }
    long n = -99;
    EXPECT_FALSE(CStaticTools::EstLong(nullptr, n));
    EXPECT_EQ(CStaticTools::ToLong(nullptr), 0);
}

TEST(StaticToolsNumbers, LimitPassesRightAfterAnOverflow)
{
    long n = 0;
    EXPECT_FALSE(CStaticTools::EstLong(L"99999999999", n));
    EXPECT_TRUE(CStaticTools::EstLong(L"2147483647", n));
    EXPECT_EQ(n, 2147483647L);
    EXPECT_FALSE(CStaticTools::EstLong(L"99999999999", n));
    EXPECT_FALSE(CStaticTools::EstLong(L"2147483648", n)) << "an earlier overflow must not decide";
}

TEST(StaticToolsNumbers, OtherWidths)
{
    unsigned long u = 0;
    EXPECT_TRUE(CStaticTools::EstULong(L"4294967295", u));
    EXPECT_EQ(u, 4294967295UL);
    EXPECT_FALSE(CStaticTools::EstULong(L"4294967296", u));
    EXPECT_TRUE(CStaticTools::EstULong(L"-1", u));
    EXPECT_EQ(u, 4294967295UL) << "the unsigned reader takes a minus as two's complement";
    EXPECT_EQ(CStaticTools::ToULong(L"-5"), 4294967291UL);

    short s = 11;
    EXPECT_TRUE(CStaticTools::IsShort(L"32767", s));
    EXPECT_EQ(s, 32767);
    s = 11;
    EXPECT_FALSE(CStaticTools::IsShort(L"32768", s));
    EXPECT_EQ(s, 11) << "out of range leaves the output untouched";
    EXPECT_TRUE(CStaticTools::IsShort(L"-32768", s));
    EXPECT_EQ(CStaticTools::ToShort(L"40000"), 0);

    int i = 0;
    EXPECT_TRUE(CStaticTools::IsInt(L" -17 ", i));
    EXPECT_EQ(i, -17);
    EXPECT_EQ(CStaticTools::ToInt(L"x"), 0);

    __int64 n64 = 0;
    EXPECT_TRUE(CStaticTools::EstInt64(L"9223372036854775807", n64));
    EXPECT_EQ(n64, std::numeric_limits<__int64>::max());
    EXPECT_TRUE(CStaticTools::EstInt64(L"-9223372036854775808", n64));
    EXPECT_EQ(n64, std::numeric_limits<__int64>::min());
    EXPECT_FALSE(CStaticTools::EstInt64(L"9223372036854775808", n64));
    EXPECT_EQ(CStaticTools::ToInt64(L"12345678901"), 12345678901LL);
}

// ---- floating point and flags ----

struct DoubleCase
{
    const wchar_t* text;
    bool accepted;
    double value; // also what is stored when rejected but converted
    const char* why;
};
const DoubleCase kDoubleCases[] = {
    {L"1e3", true, 1000, "exponent"},
    {L"0.5", true, 0.5, "leading zero"},
    {L".5", true, 0.5, "no leading zero"},
    {L"0", true, 0, "zero"},
    {L"0.0", true, 0, "zero with a point"},
    {L"-0", true, 0, "minus zero"},
    {L"-0.0", true, 0, "minus zero with a point"},
    {L"1.5 ", true, 1.5, "a trailing blank"},
    {L"  \t2.25", true, 2.25, "leading white space"},
    {L"1.5x", false, 1.5, "trailing letter: rejected, but the value is stored"},
};

TEST(StaticToolsNumbers, EstDoubleAcceptsAndStores)
{
    for (const auto& c : kDoubleCases)
    {
        SCOPED_TRACE(c.why);
        double d = -99;
        EXPECT_EQ(CStaticTools::EstDouble(c.text, d, false), c.accepted);
        EXPECT_EQ(d, c.value);
        EXPECT_EQ(CStaticTools::ToDouble(c.text, false), c.accepted ? c.value : 0);
    }
    for (const wchar_t* psz : {L".0", L"+0", L"", L"   ", L"abc"})
    {
        double d = 0;
        EXPECT_FALSE(CStaticTools::EstDouble(psz, d, false))
            << "'" << std::string(psz, psz + wcslen(psz)) << "' is no number";
    }
    double d = -99;
    EXPECT_FALSE(CStaticTools::EstDouble(L"", d, false));
    EXPECT_EQ(d, -99) << "an empty text is not converted";
    EXPECT_TRUE(CStaticTools::EstDouble(L"2.5", d, true)) << "the point reads in the C locale with the flag too";
    EXPECT_EQ(d, 2.5);
}

TEST(StaticToolsNumbers, OnlyTheTextZeroIsFalse)
{
    EXPECT_FALSE(CStaticTools::ToBool(L"0"));
    for (const wchar_t* psz : {L"", L"1", L"false", L"00", L" 0"})
        EXPECT_TRUE(CStaticTools::ToBool(psz)) << std::string(psz, psz + wcslen(psz));
    EXPECT_TRUE(CStaticTools::ToBool(nullptr)) << "a null text is not the text 0";
    bool b = false;
    EXPECT_TRUE(CStaticTools::EstBool(L"0", b)) << "EstBool always succeeds";
    EXPECT_FALSE(b);
}

// ---- number texts ----

TEST(StaticToolsNumbers, NumberTexts)
{
    EXPECT_EQ(W(CStaticTools::ToString(-5)), L"-5");
    EXPECT_EQ(W(CStaticTools::ToString(7L)), L"7");
    EXPECT_EQ(W(CStaticTools::ToString(0.1, false)), L"0.1");
    EXPECT_EQ(W(CStaticTools::ToString(1e20, true)), L"1e+20");
    EXPECT_EQ(W(CStaticTools::ToStringForPrint(0.1, false)), L"0.1") << "precision 15 reads back";
    EXPECT_EQ(W(CStaticTools::ToStringForPrint(1.0 / 3.0, false)), L"0.3333333333333333") << "precision 16";
    EXPECT_EQ(W(CStaticTools::ToStringForPrint(0.1 + 0.2, true)), L"0.30000000000000004") << "precision 17";
    EXPECT_EQ(W(CStaticTools::FormatDouble(L"%.2f", 3.14159)), L"3.14");
    EXPECT_EQ(W(CStaticTools::NormalizeNumber(L" 1.50")), L"1.5");
    EXPECT_EQ(W(CStaticTools::NormalizeNumber(L"1.5x")), L"1.5x") << "not a number: unchanged";
    EXPECT_EQ(W(CStaticTools::NormalizeNumber(L"")), L"");
    EXPECT_EQ(W(CStaticTools::FormatByteSize(532)), L"532 bytes");
}

TEST(StaticToolsNumbers, DoubleToLocale)
{
    double d = 0;
    EXPECT_EQ(W(CStaticTools::DoubleToLocale(L"", 0x0407, &d)), L"");
    EXPECT_EQ(W(CStaticTools::DoubleToLocale(L"abc", 0x0407, &d)), L"abc") << "no number: unchanged";
    EXPECT_EQ(d, 0) << "and the output not written";
    EXPECT_EQ(W(CStaticTools::DoubleToLocale(L"1.25", 0x0407, &d)), L"1,25") << "German decimal comma";
    EXPECT_EQ(d, 1.25);
    EXPECT_EQ(W(CStaticTools::DoubleToLocale(L"1.25", 0x0409, nullptr)), L"1.25") << "US English keeps the point";
    EXPECT_EQ(W(CStaticTools::DoubleToLocale(L"1.50", 0, nullptr)), L"1.5") << "no locale: %.15g";
    EXPECT_EQ(W(CStaticTools::DoubleToLocale(L"1.25", 0x7F7E, nullptr)), L"1.25") << "unknown locale: the input";
}

struct HexCase
{
    const wchar_t* text;
    int value;
    const char* why;
};
const HexCase kHexCases[] = {
    {L"1F", 31, "upper case"},
    {L"0x1F", 31, "a prefix is a non-digit that only takes its place"},
    {L"G1", 1, "a non-digit adds nothing"},
    {L"  ff \t", 255, "trimmed"},
    {L"FFFFFFFF", -1, "all 32 bits"},
    {L"123456789", 0x23456789, "only the last eight characters count"},
    {L"", 0, "empty"},
};

TEST(StaticToolsNumbers, HexToLong)
{
    for (const auto& c : kHexCases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CStaticTools::HexToLong(c.text), c.value);
    }
}

// ---- readers ----

struct PiecesCase
{
    const wchar_t* text;
    std::vector<std::wstring> kept;    // LireChaineSeparateurString
    std::vector<std::wstring> dropped; // ReadStringSeparatorString
    const char* why;
};
const PiecesCase kPiecesCases[] = {
    {L"a;;b;", {L"a", L"", L"b"}, {L"a", L"b"}, "an empty piece and a trailing separator"},
    {L";a", {L"", L"a"}, {L"a"}, "leading separator"},
    {L"a;", {L"a"}, {L"a"}, "trailing separator"},
    {L"a;;", {L"a", L""}, {L"a"}, "two trailing separators"},
    {L";", {L""}, {}, "only a separator"},
    {L"", {}, {}, "empty text"},
    {L" x ; y ", {L" x ", L" y "}, {L" x ", L" y "}, "pieces are not trimmed"},
};

TEST(StaticToolsSeparators, StringReaders)
{
    for (const auto& c : kPiecesCases)
    {
        SCOPED_TRACE(c.why);
        CStringArray arr;
        arr.Add(L"old");
        CStaticTools::LireChaineSeparateurString(c.text, L';', arr);
        EXPECT_EQ(Items(arr), c.kept);
        arr.Add(L"old");
        CStaticTools::ReadStringSeparatorString(c.text, L';', arr);
        EXPECT_EQ(Items(arr), c.dropped);
        CList<CString, LPCWSTR> list;
        list.AddTail(L"old");
        CStaticTools::ReadStringSeparatorListString(c.text, L';', list);
        std::vector<std::wstring> listed;
        for (POSITION pos = list.GetHeadPosition(); pos;)
            listed.push_back(list.GetNext(pos).Str());
        EXPECT_EQ(listed, c.dropped);
    }
}

TEST(StaticToolsSeparators, NumberReadersSkipWhatIsNoNumber)
{
    const CString text = L"1,x,,3, -4 ,4294967295";
    CArray<long, long> arrLong;
    CStaticTools::ReadStringSeparatorArrayLong(text, L',', arrLong);
    EXPECT_EQ((Values<long>(arrLong)), (std::vector<long>{1, 3, -4}));
    CArray<int, int> arrInt;
    CStaticTools::ReadStringSeparatorArrayInt(text, L',', arrInt);
    EXPECT_EQ((Values<int>(arrInt)), (std::vector<int>{1, 3, -4}));
    CList<long, long> listLong;
    CStaticTools::ReadStringSeparatorListLong(text, L',', listLong);
    EXPECT_EQ((ListValues<long>(listLong)), (std::vector<long>{1, 3, -4}));
    CDWordArray arrDw;
    CStaticTools::ReadStringSeparatorDWordArray(text, L',', arrDw);
    EXPECT_EQ((Values<DWORD>(arrDw)), (std::vector<DWORD>{1, 3, 4294967292UL, 4294967295UL}));
    CStaticTools::ReadStringSeparatorDWordArraySigned(text, L',', arrDw);
    EXPECT_EQ((Values<DWORD>(arrDw)), (std::vector<DWORD>{1, 3, 4294967292UL})) << "4294967295 is no long";
    std::vector<long> vecLong{99};
    CStaticTools::ReadStringSeparatorVectorLong(text, L',', vecLong);
    EXPECT_EQ(vecLong, (std::vector<long>{1, 3, -4}));
    std::vector<int> vecInt;
    CStaticTools::ReadStringSeparatorVectorInt(text, L',', vecInt);
    EXPECT_EQ(vecInt, (std::vector<int>{1, 3, -4}));
    std::set<long> setLong;
    CStaticTools::ReadStringSeparatorSetLong(L"5;1;5;x;3", L';', setLong);
    EXPECT_EQ(setLong, (std::set<long>{1, 3, 5}));
    std::vector<double> vecDouble;
    CStaticTools::ReadStringSeparatorVectorDouble(L"1.5;x;.25;-0", L';', vecDouble, false);
    EXPECT_EQ(vecDouble, (std::vector<double>{1.5, 0.25, 0.0}));
    CArray<double, double> arrDouble;
    CStaticTools::ReadStringSeparatorArrayDouble(L"2.5;;1e1", L';', arrDouble, true);
    EXPECT_EQ((Values<double>(arrDouble)), (std::vector<double>{2.5, 10.0}));
}

// ---- writers ----

TEST(StaticToolsSeparators, Writers)
{
    CStringArray arr;
    arr.Add(L"a;b");
    arr.Add(L"c");
    CString out = L"old";
    CStaticTools::WriteStringSeparatorString(out, L';', arr);
    EXPECT_EQ(W(out), L"ab;c;");
    CStaticTools::JoinString(out, L';', arr);
    EXPECT_EQ(W(out), L"ab;c");
    CStaticTools::JoinString(out, L';', CStringArray());
    EXPECT_EQ(W(out), L"");

    CList<long, long> list;
    CStaticTools::WriteStringSeparatorListLong(out, L',', list, true);
    EXPECT_EQ(W(out), L"") << "empty list with the drop-last flag";
    list.AddTail(1);
    list.AddTail(2);
    CStaticTools::WriteStringSeparatorListLong(out, L',', list, true);
    EXPECT_EQ(W(out), L"1,2");
    CStaticTools::WriteStringSeparatorListLong(out, L',', list, false);
    EXPECT_EQ(W(out), L"1,2,");

    CArray<long, long> arrLong;
    arrLong.Add(-1);
    arrLong.Add(7);
    CStaticTools::WriteStringSeparatorArrayLong(out, L'|', arrLong);
    EXPECT_EQ(W(out), L"-1|7|");
    CStaticTools::WriteStringSeparatorVectorLong(out, L'|', {3, 4});
    EXPECT_EQ(W(out), L"3|4|");
    CStaticTools::JoinVectorLong(out, L'|', {3, 4});
    EXPECT_EQ(W(out), L"3|4");
    CStaticTools::JoinVectorInt(out, L'|', {-3});
    EXPECT_EQ(W(out), L"-3");
    CStaticTools::JoinSetLong(out, L',', {9, -2, 4});
    EXPECT_EQ(W(out), L"-2,4,9");
    CDWordArray arrDw;
    arrDw.Add(4294967295UL);
    arrDw.Add(0);
    CStaticTools::JoinDWordArray(out, L',', arrDw);
    EXPECT_EQ(W(out), L"4294967295,0");
}

// ---- containers and comparisons ----

TEST(StaticToolsSeparators, ContainerConversions)
{
    CDWordArray arrDw;
    arrDw.Add(5);
    arrDw.Add(4294967295UL);
    std::vector<long> vec{42};
    CStaticTools::CDWordArrayToVectorLong(arrDw, vec);
    EXPECT_EQ(vec, (std::vector<long>{5, -1}));
    CStaticTools::VectorLongToCDWordArray({7}, arrDw);
    EXPECT_EQ((Values<DWORD>(arrDw)), (std::vector<DWORD>{5, 4294967295UL, 7})) << "appends without emptying";

    CStringArray arrText;
    arrText.Add(L"12");
    arrText.Add(L"x");
    CArray<long, long> arrLong;
    CStaticTools::StringArrayToArrayLong(arrText, arrLong);
    EXPECT_EQ((Values<long>(arrLong)), (std::vector<long>{12, 2147483647L}));

    CDWordArray arrSort;
    for (DWORD n : {3UL, 4294967295UL, 1UL, 3UL})
        arrSort.Add(n);
    CStaticTools::SortUniqueDWordArray(arrSort, arrSort);
    EXPECT_EQ((Values<DWORD>(arrSort)), (std::vector<DWORD>{1, 3, 4294967295UL})) << "in place, unsigned order";

    CList<long, long> list1;
    CList<long, long> list2;
    for (long n : {1L, 2L, 2L})
        list1.AddTail(n);
    for (long n : {2L, 1L, 3L})
        list2.AddTail(n);
    EXPECT_TRUE(CStaticTools::CompareListLong(list1, list2)) << "same count, every value of the first found";
    list2.RemoveTail();
    EXPECT_FALSE(CStaticTools::CompareListLong(list1, list2)) << "counts differ";
}

struct VersionCase
{
    const wchar_t* a;
    const wchar_t* b;
    bool lenient;
    int result;
    const char* why;
};
const VersionCase kVersionCases[] = {
    {L"5.4.9.6", L"5.4.10.0", false, 1, "a is lower, compared as numbers"},
    {L"5.4.10.0", L"5.4.9.6", false, -1, "a is higher"},
    {L"5.4.9.6", L"5.4.9.6", false, 0, "equal"},
    {L"5.4", L"5.4.1", false, -2, "different counts"},
    {L"5.4", L"5.4.1", true, 0, "lenient: one more component is not compared"},
    {L"5", L"5.4.1", true, -2, "lenient, two more components"},
    {L"5.4.9.6", L"5.4.9.7", true, 0, "lenient: the last component is not compared"},
    {L"5.4.9.6", L"5.4.9.7", false, 1, "strict: the last component counts"},
    {L"5.x.4", L"5.4", false, 0, "a component that is no number is dropped"},
    {L"4294967295.0", L"1.0", false, -2, "4294967295 is no long: dropped, so the counts differ"},
};

TEST(StaticToolsComparisons, CompareVersion)
{
    for (const auto& c : kVersionCases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CStaticTools::CompareVersion(c.a, c.b, c.lenient), c.result);
    }
    EXPECT_EQ(CStaticTools::CompareVersion(L"-1.0", L"2.0", false), -1) << "-1 is 4294967295 unsigned";
}

TEST(StaticToolsComparisons, AlmostEqual)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(CStaticTools::AlmostEqual(0.1 + 0.2, 0.3));
    EXPECT_TRUE(CStaticTools::AlmostEqual(0.0, -0.0));
    EXPECT_FALSE(CStaticTools::AlmostEqual(nan, nan)) << "a NaN is never equal, not even to itself";
    EXPECT_FALSE(CStaticTools::AlmostEqual(nan, 1.0));
    double d = 1.0;
    for (int i = 0; i < 4; ++i)
        d = std::nextafter(d, 2.0);
    EXPECT_TRUE(CStaticTools::AlmostEqual(1.0, d)) << "four units in the last place";
    EXPECT_FALSE(CStaticTools::AlmostEqual(1.0, std::nextafter(d, 2.0))) << "five units";
    const double tiny = std::numeric_limits<double>::denorm_min();
    EXPECT_TRUE(CStaticTools::AlmostEqual(tiny, -tiny)) << "across zero: two units apart";
    EXPECT_FALSE(CStaticTools::AlmostEqual(1.0, -1.0));
}

struct RangeCase
{
    const wchar_t* text;
    bool read;
    double first;
    double second;
    const char* why;
};
const RangeCase kRangeCases[] = {
    {L"between 1.5 and 20", true, 1.5, 20, "two numbers in text"},
    {L"7", true, 7, 7, "one digit that ends the text"},
    {L"age 7", true, 7, 7, "one digit at the end after text"},
    {L"1-2", true, 1, 2, "a dash joining two numbers is no sign"},
    {L"-5 to -2", true, -5, -2, "leading signs"},
    {L"+3", true, 3, 3, "a plus sign"},
    {L"1,5", false, 0, 0, "a decimal comma fails the first number"},
    {L"3 and 1,5", true, 3, 3, "a second number that fails: second is the first"},
    {L"none", false, 0, 0, "no number"},
    {L"", false, 0, 0, "empty"},
};

TEST(StaticToolsComparisons, ReadNumberRange)
{
    for (const auto& c : kRangeCases)
    {
        SCOPED_TRACE(c.why);
        double first = -99;
        double second = -99;
        EXPECT_EQ(CStaticTools::ReadNumberRange(c.text, first, second), c.read);
        if (c.read)
        {
            EXPECT_EQ(first, c.first);
            EXPECT_EQ(second, c.second);
        }
    }
    int nPos = 0;
    EXPECT_TRUE(CStaticTools::FindNumberStart(L"ab9", nPos));
    EXPECT_EQ(nPos, 2) << "the last character is looked at";
    nPos = 0;
    EXPECT_FALSE(CStaticTools::FindNumberStart(L"a-b", nPos)) << "a sign alone is no number";
    nPos = 1;
    CStaticTools::SkipNumberChars(L"x1,2.3y", nPos);
    EXPECT_EQ(nPos, 6);
    EXPECT_TRUE(CStaticTools::IsNumberChar(L','));
    EXPECT_FALSE(CStaticTools::IsNumberChar(L'-'));
}

} // namespace
