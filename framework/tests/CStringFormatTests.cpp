// CString::Format against fixed texts: the Microsoft runtime's rules the system's formats rely on.
#include "framework/CString.h"
#include <gtest/gtest.h>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <limits>

namespace
{
template <typename... Args> CString Fmt(const wchar_t* format, Args... args)
{
    CString s;
    s.Format(format, args...);
    return s;
}
template <typename... Args> CStringA FmtA(const char* format, Args... args)
{
    CStringA s;
    s.Format(format, args...);
    return s;
}

struct FormatCase
{
    const wchar_t* expected;
    CString actual;
    const char* why;
};

TEST(CStringFormat, WideFormatFollowsMicrosoftRules)
{
    const wchar_t* nullWide = nullptr;
    int local = 0;
    const FormatCase cases[] = {
        {L"abc", Fmt(L"%s", L"abc"), "%s takes a wide text in a wide format"},
        {L"abc", Fmt(L"%ls", L"abc"), "%ls is wide"},
        {L"abc", Fmt(L"%ws", L"abc"), "%ws is wide"},
        {L"narrow", Fmt(L"%hs", "narrow"), "%hs takes a narrow text"},
        {L"narrow", Fmt(L"%S", "narrow"), "%S takes the other width: narrow in a wide format"},
        {L"(null)", Fmt(L"%s", nullWide), "a null text prints (null)"},
        {L"(nu", Fmt(L"%.3s", nullWide), "(null) obeys the precision"},
        {L"ab   |", Fmt(L"%-5s|", L"ab"), "left-aligned text"},
        {L"   ab|", Fmt(L"%5s|", L"ab"), "right-aligned text"},
        {L"abc", Fmt(L"%.3s", L"abcdef"), "precision cuts text"},
        {L"x", Fmt(L"%c", L'x'), "%c is wide"},
        {L"\x20AC", Fmt(L"%c", 0x20AC), "%c keeps a character beyond Latin-1"},
        {L"y", Fmt(L"%hc", 'y'), "%hc is narrow"},
        {L"z", Fmt(L"%C", 'z'), "%C is narrow in a wide format"},
        {L"-42", Fmt(L"%d", -42), "%d"},
        {L"42", Fmt(L"%i", 42), "%i"},
        {L"4294967295", Fmt(L"%u", 0xFFFFFFFFu), "%u"},
        {L"-2147483648", Fmt(L"%ld", static_cast<long>(-2147483647 - 1)), "%ld is 32 bits"},
        {L"4294967295", Fmt(L"%lu", 0xFFFFFFFFul), "%lu"},
        {L"-1", Fmt(L"%hd", 0xFFFF), "%hd narrows to short"},
        {L"65535", Fmt(L"%hu", -1), "%hu narrows to unsigned short"},
        {L"05", Fmt(L"%.2hu", 5), "%.2hu pads to two digits"},
        {L"-9223372036854775808", Fmt(L"%lld", std::numeric_limits<long long>::min()), "%lld"},
        {L"9223372036854775807", Fmt(L"%I64d", std::numeric_limits<long long>::max()), "%I64d"},
        {L"18446744073709551615", Fmt(L"%I64u", ~0ull), "%I64u"},
        {L"7", Fmt(L"%I32d", 7), "%I32d"},
        {L"ff FF", Fmt(L"%x %X", 255, 255), "%x and %X"},
        {L"0x1f 0X1F", Fmt(L"%#x %#X", 31, 31), "# adds the hex prefix"},
        {L"0", Fmt(L"%#x", 0), "no prefix for 0"},
        {L"00ab", Fmt(L"%04x", 0xAB), "%04x"},
        {L"17", Fmt(L"%o", 15), "%o"},
        {L"017", Fmt(L"%#o", 15), "# gives octal a leading zero"},
        {L"-05", Fmt(L"%+03ld", -5L), "%+03ld of -5"},
        {L"+03600", Fmt(L"%+06d", 3600), "%+06d of 3600"},
        {L"+7", Fmt(L"%+d", 7), "+ flag"},
        {L" 7", Fmt(L"% d", 7), "space flag"},
        {L"7", Fmt(L"%+u", 7u), "+ does not apply to unsigned"},
        {L"0000000042", Fmt(L"%010lu", 42ul), "%010lu"},
        {L"42   |", Fmt(L"%-05d|", 42), "- wins over 0"},
        {L"  042", Fmt(L"%05.3d", 42), "a precision switches zero padding off"},
        {L"", Fmt(L"%.0d", 0), "precision 0 prints nothing for 0"},
        {L"   42", Fmt(L"%*d", 5, 42), "* width"},
        {L"42   |", Fmt(L"%*d|", -5, 42), "negative * width aligns left"},
        {L"00042", Fmt(L"%.*d", 5, 42), "* precision"},
        {L"00042", Fmt(L"%0*d", 5, 42), "%0*d"},
        {L"1e+20", Fmt(L"%.15g", 1e20), "%.15g of 1e20 has a two-digit exponent"},
        {L"1e-05", Fmt(L"%g", 0.00001), "%g of 1e-5"},
        {L"0.0001", Fmt(L"%g", 0.0001), "%g stays fixed down to 1e-4"},
        {L"123457", Fmt(L"%g", 123456.7), "%g rounds to six digits"},
        {L"1.23457e+06", Fmt(L"%g", 1234567.0), "%g turns scientific at the precision"},
        {L"0.1", Fmt(L"%.15g", 0.1), "%.15g of 0.1"},
        {L"0.30000000000000004", Fmt(L"%.17g", 0.1 + 0.2), "%.17g shows the binary value"},
        {L"3.14159265358979", Fmt(L"%.15g", 3.14159265358979), "%.15g of pi"},
        {L"100", Fmt(L"%g", 100.0), "%g drops the point"},
        {L"100.000", Fmt(L"%#g", 100.0), "%#g keeps the zeros"},
        {L"1.5E+300", Fmt(L"%G", 1.5e300), "%G"},
        {L"1.000000e+20", Fmt(L"%e", 1e20), "%e"},
        {L"1.234560E-05", Fmt(L"%E", 1.23456e-5), "%E"},
        {L"1.0e+100", Fmt(L"%.1e", 1e100), "three-digit exponents only when needed"},
        {L"3.141593", Fmt(L"%f", 3.14159265), "%f"},
        {L"2.50", Fmt(L"%.2f", 2.499), "%.2f rounds"},
        {L"3.", Fmt(L"%#.0f", 3.0), "%#.0f keeps the point"},
        {L"-0.000000", Fmt(L"%f", -0.0), "negative zero keeps its sign"},
        {L"+1.50", Fmt(L"%+.2f", 1.5), "+ flag on floats"},
        {L"-001.50", Fmt(L"%07.2f", -1.5), "zero padding after the sign"},
        {L"  1.5|", Fmt(L"%5.1f|", 1.5), "width on floats"},
        {L"2.500000", Fmt(L"%lf", 2.5), "%lf is double"},
        {L"1.25", Fmt(L"%.*lf", 2, 1.25), "%.*lf"},
        {L"inf -inf", Fmt(L"%f %f", HUGE_VAL, -HUGE_VAL), "infinities"},
        {L"0x1.8000000000000p+1", Fmt(L"%a", 3.0), "%a"},
        {L"-0X001.8P+1", Fmt(L"%011.1A", -3.0), "%A pads with zeros after its prefix"},
        {L"000ab", Fmt(L"%05s", L"ab"), "the Microsoft runtime pads text with zeros too"},
        {L"  x", Fmt(L"%3c", L'x'), "width on a character"},
        {L"1.00", Fmt(L"%#.3g", 1.0), "%#g keeps the precision's digits"},
        {L"0", Fmt(L"%g", 0.0), "%g of zero"},
        {L"1e+04", Fmt(L"%.0e", 12345.0), "%.0e has no point"},
        {L" 0042", Fmt(L"% 05d", 42), "space sign before zero padding"},
        {L"0x002a", Fmt(L"%#06x", 42), "zeros go after the hex prefix"},
        {L"100%", Fmt(L"%d%%", 100), "%%"},
        {L"0000000000000000", Fmt(L"%p", static_cast<void*>(nullptr)), "%p of null: full width, no 0x"},
        {L"00000000DEADBEEF", Fmt(L"%p", reinterpret_cast<void*>(0xDEADBEEFull)), "%p is upper-case hex"},
        {L"a: 1, b: x, c: 2.5", Fmt(L"a: %d, b: %s, c: %.1f", 1, L"x", 2.5), "mixed directives"},
        {L"%y", Fmt(L"%y"), "an unknown directive is written as it stands"},
        {L"end %", Fmt(L"end %"), "a lone % at the end"},
        {L"", Fmt(L"%n", &local), "%n writes nothing"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_STREQ(c.actual.GetString(), c.expected);
    }
    EXPECT_EQ(local, 0) << "%n must not write through its pointer";
}

TEST(CStringFormat, NarrowFormatTakesNarrowTextBySAndWideByUpperS)
{
    const struct
    {
        const char* expected;
        CStringA actual;
        const char* why;
    } cases[] = {
        {"abc", FmtA("%s", "abc"), "%s is narrow in a narrow format"},
        {"wide", FmtA("%S", L"wide"), "%S is wide in a narrow format"},
        {"wide", FmtA("%ls", L"wide"), "%ls is wide"},
        {"abc", FmtA("%hs", "abc"), "%hs is narrow"},
        {"-05", FmtA("%+03ld", -5L), "%+03ld"},
        {"1e+20", FmtA("%.15g", 1e20), "%.15g"},
        {"x", FmtA("%c", 'x'), "%c"},
        {"w", FmtA("%C", L'w'), "%C is wide"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_STREQ(c.actual.GetString(), c.expected);
    }
}

// Sets the C runtime's locale for one test and puts the "C" locale back.
class CrtLocale
{
public:
    explicit CrtLocale(const char* name) { m_ok = std::setlocale(LC_ALL, name) != nullptr; }
    ~CrtLocale() { std::setlocale(LC_ALL, "C"); }
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

TEST(CStringFormat, DecimalPointIsTheRuntimeLocales)
{
    EXPECT_STREQ(Fmt(L"%.1f", 1.5), L"1.5") << "the C locale writes a point";
    CrtLocale german("German_Germany.1252");
    ASSERT_TRUE(german.ok()) << "the runtime knows the German locale";
    EXPECT_STREQ(Fmt(L"%.1f %g %.2e %d", 1.5, 1234.5, 0.25, 1234), L"1,5 1234,5 2,50e-01 1234")
        << "floats take the locale's decimal comma, as under the Microsoft runtime; integers are never grouped";
    EXPECT_STREQ(FmtA("%.15g", 0.1), "0,1");
}

TEST(CStringFormat, AppendFormatAddsAndArgumentsMayBeTheStringItself)
{
    CString s(L"n=");
    s.AppendFormat(L"%d;", 5);
    EXPECT_STREQ(s, L"n=5;");
    s.AppendFormat(L"%s", s.GetString());
    EXPECT_STREQ(s, L"n=5;n=5;") << "formatting from the string into itself must see the old text";
    s.Format(L"[%s]", s.GetString());
    EXPECT_STREQ(s, L"[n=5;n=5;]");
}

TEST(CStringFormat, LongResultsAreComplete)
{
    CString big(L'x', 5000);
    CString s;
    s.Format(L"<%s>%.100f", big.GetString(), 1.0);
    EXPECT_EQ(s.GetLength(), 5002 + 102);
    EXPECT_EQ(s.Left(2), CString(L"<x"));
    EXPECT_EQ(s.Right(3), CString(L"000"));
}

// The check that keeps string objects out of "...": these must stay uncompilable.
template <typename S, typename... Args>
concept CanFormat = requires(S s, Args... args)
{
    s.Format(L"%s", args...);
};
static_assert(CanFormat<CString, const wchar_t*>);
static_assert(CanFormat<CString, int, double, void*>);
static_assert(!CanFormat<CString, CString>, "a CString object must not pass through ...");
static_assert(!CanFormat<CString, CStringA>, "nor a CStringA object");
static_assert(!CanFormat<CString, std::wstring>, "nor any other class");
static_assert(!CanFormat<CString, long double>, "long double is not the double the formats expect");
} // namespace

namespace
{
// The shape of the socket layer's SendCommandV: a format and a va_list handed on.
CString FormatThroughVaList(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    CString s;
    s.FormatV(format, args);
    va_end(args);
    return s;
}

TEST(CStringFormat, FormatVTakesArgumentsFromAVaList)
{
    EXPECT_STREQ(FormatThroughVaList(L"CNPROP %s %ld %hs\r", L"a", 7L, "b"), L"CNPROP a 7 b\r");
    const CString wide = FormatThroughVaList(L"%99999999999999d|", 1);
    EXPECT_EQ(wide.GetLength(), 1000001) << "a huge width stops at a million instead of overflowing";
    EXPECT_STREQ(wide.Right(2), L"1|");
}
} // namespace
