// Checksum, variants, HTML, base64, URL escapes, UTF-8 and password masking of CStaticTools.
#include "core/CStaticTools.h"
#include "framework/CArray.h"
#include "framework/COleDateTime.h"
#include "framework/COleVariant.h"
#include <gtest/gtest.h>
#include <clocale>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
// The runtime locale is pinned to one whose decimal separator is a comma before any test runs: the
// point and locale flags then make a visible difference, and EstDouble keeps that separator for the
// whole process.
class CommaLocale : public ::testing::Environment
{
public:
    void SetUp() override
    {
        ASSERT_NE(std::setlocale(LC_NUMERIC, "German_Germany.1252"), nullptr) << "a comma locale is needed";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }
};
const auto* const kCommaLocale = ::testing::AddGlobalTestEnvironment(new CommaLocale);

std::wstring W(const CString& s)
{
    return s.Str();
}

COleVariant Make(VARTYPE vt, auto fill)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    fill(v);
    COleVariant result(v);
    VariantClear(&v);
    return result;
}

TEST(GetChecksumForMemory, IsTheCrc32OfTheBytes)
{
    const char digits[] = "123456789";
    EXPECT_EQ(CStaticTools::GetChecksumForMemory(reinterpret_cast<const BYTE*>(digits), 9), 0xCBF43926UL);
    EXPECT_EQ(CStaticTools::GetChecksumForMemory(reinterpret_cast<const BYTE*>("abc"), 3), 0x352441C2UL);
    EXPECT_EQ(CStaticTools::GetChecksumForMemory(nullptr, 0), 0UL);
}

// ---- Variants ----

TEST(VariantToString, WritesEachTypeAsItsTable)
{
    DECIMAL whole{};
    ASSERT_EQ(VarDecFromI4(12345, &whole), S_OK);
    char ansi[] = "caf\x65 au lait";
    struct Case
    {
        COleVariant value;
        bool bPoint;
        const wchar_t* text;
        const char* why;
    };
    const Case cases[] = {
        {Make(VT_I2, [](VARIANT& v) { v.iVal = -5; }), false, L"-5", "a signed 16-bit value"},
        {Make(VT_I4, [](VARIANT& v) { v.lVal = -2147483647 - 1; }), false, L"-2147483648", "the smallest long"},
        {Make(VT_INT, [](VARIANT& v) { v.intVal = 77; }), false, L"77", "an int"},
        {Make(VT_I8, [](VARIANT& v) { v.llVal = -9000000000LL; }), false, L"-9000000000", "a 64-bit value"},
        {Make(VT_R8, [](VARIANT& v) { v.dblVal = 1.5; }), true, L"1.5", "the point flag writes a point"},
        {Make(VT_R8, [](VARIANT& v) { v.dblVal = 1.5; }), false, L"1,5", "without it the runtime locale's comma"},
        {Make(VT_R8, [](VARIANT& v) { v.dblVal = 0.1; }), true, L"0.1", "15 significant digits"},
        {Make(VT_R4, [](VARIANT& v) { v.fltVal = 0.25f; }), true, L"0.25", "a float as a double"},
        {Make(VT_DATE, [](VARIANT& v) { v.date = 45000.5; }), true, L"45000.5", "a date as its OLE number"},
        {Make(VT_BSTR, [](VARIANT& v) { v.bstrVal = SysAllocString(L"a\"b"); }), false, L"a\"b", "the string"},
        {Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), false, L"1", "true is 1"},
        {Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; }), false, L"0", "false is 0"},
        {Make(VT_DECIMAL,
              [&](VARIANT& v) {
                  v.decVal = whole;
                  v.vt = VT_DECIMAL;
              }),
         false, L"12345", "a decimal through the system's change of type"},
        {Make(VT_BYREF | VT_UI1, [&](VARIANT& v) { v.pbVal = reinterpret_cast<BYTE*>(ansi); }), false, L"cafe au lait",
         "bytes behind a pointer as ANSI text"},
        {Make(VT_UI4, [](VARIANT& v) { v.ulVal = 5; }), false, L"", "an unsupported type gives nothing"},
        {Make(VT_EMPTY, [](VARIANT&) {}), false, L"", "empty gives nothing"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(W(CStaticTools::VariantToString(c.value, c.bPoint)), c.text);
    }
}

TEST(VariantToString, WritesFractionalDecimalsWithTheUserLocaleSeparator)
{
    DECIMAL dec{};
    ASSERT_EQ(VarDecFromR8(1.5, &dec), S_OK);
    wchar_t sep[8] = {};
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8), 0);
    const COleVariant value = Make(VT_DECIMAL, [&](VARIANT& v) {
        v.decVal = dec;
        v.vt = VT_DECIMAL;
    });
    EXPECT_EQ(W(CStaticTools::VariantToString(value, true)), std::wstring(L"1") + sep + L"5");
}

struct EstCase
{
    const wchar_t* text;
    bool bLocale;
    VARTYPE vt;
    bool ok;
    double value; // compared as the type's value when ok
    const char* why;
};

double NumberOf(const VARIANT& v)
{
    switch (v.vt)
    {
    case VT_I2:
        return v.iVal;
    case VT_I4:
        return v.lVal;
    case VT_INT:
        return v.intVal;
    case VT_R4:
        return v.fltVal;
    case VT_R8:
        return v.dblVal;
    case VT_DATE:
        return v.date;
    case VT_BOOL:
        return v.boolVal;
    case VT_I8:
        return static_cast<double>(v.llVal);
    default:
        return 0;
    }
}

TEST(EstVariant, ReadsTextAsTheRequestedType)
{
    const double jan22 = COleDateTime(2020, 1, 22, 10, 0, 0).m_dt;
    const EstCase cases[] = {
        {L"", false, VT_EMPTY, true, 0, "empty always succeeds"},
        {L"x", false, VT_NULL, true, 0, "null always succeeds"},
        {L"32767", false, VT_I2, true, 32767, "the largest short"},
        {L"32768", false, VT_I2, false, 0, "beyond a short"},
        {L" 42\t", false, VT_I4, true, 42, "blanks and tabs around a long"},
        {L"42x", false, VT_I4, false, 0, "a long followed by a letter"},
        {L"-7", false, VT_INT, true, -7, "an int"},
        {L"0", false, VT_R4, true, 0, "zero as float"},
        {L"-1,5", false, VT_R4, true, -1.5, "a float in the runtime locale"},
        {L"-1.5", true, VT_R4, true, -1.5, "a float with a point and the locale flag"},
        {L"1e39", false, VT_R4, false, 0, "beyond a float"},
        {L"-1e39", false, VT_R4, false, 0, "below a float"},
        {L"1.5", true, VT_R8, true, 1.5, "the locale flag reads a point"},
        {L"1.5", false, VT_R8, false, 0, "without it a point ends the number"},
        {L"45000.25", true, VT_DATE, true, 45000.25, "a date as its OLE number"},
        {L"45000,25", false, VT_DATE, true, 45000.25, "a date number in the runtime locale"},
        {L"2020-01-22T10:00:00Z", false, VT_DATE, true, jan22, "an ISO date"},
        {L"2021-02-30", false, VT_DATE, false, 0, "an ISO text that is no date"},
        {L"yesterday", false, VT_DATE, false, 0, "neither number nor ISO text"},
        {L"0", false, VT_BOOL, true, VARIANT_FALSE, "0 is false"},
        {L"", false, VT_BOOL, true, VARIANT_TRUE, "anything else is true"},
        {L"5", false, VT_UI4, false, 0, "an unsupported type"},
        {L"5", false, 23, false, 0, "a type above 22"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        VARIANT v;
        VariantInit(&v);
        EXPECT_EQ(CStaticTools::EstVariant(c.text, c.bLocale, c.vt, v), c.ok);
        EXPECT_EQ(v.vt, c.vt) << "the output keeps the requested type";
        if (c.ok)
        {
            EXPECT_DOUBLE_EQ(NumberOf(v), c.value);
        }
        VariantClear(&v);
    }
}

TEST(EstVariant, TakesANullTextAsEmpty)
{
    VARIANT v;
    VariantInit(&v);
    EXPECT_FALSE(CStaticTools::EstVariant(nullptr, true, VT_R8, v));
    EXPECT_TRUE(CStaticTools::EstVariant(nullptr, false, VT_BSTR, v));
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(SysStringLen(v.bstrVal), 0u);
    VariantClear(&v);
    EXPECT_EQ(CStaticTools::ToVariant(nullptr, VT_I4, false).lVal, 0);
    EXPECT_EQ(CStaticTools::ToVariant(nullptr, VT_I8, false).llVal, 0);
}

TEST(EstVariant, KeepsATextAsItIs)
{
    VARIANT v;
    VariantInit(&v);
    ASSERT_TRUE(CStaticTools::EstVariant(L" a \"b\" ", false, VT_BSTR, v));
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(v.bstrVal), L" a \"b\" ");
    VariantClear(&v);
}

// A refused type keeps its type tag, so the caller's VariantClear must find no pointer left over
// from the value the output held before (or from VariantInit's untouched union).
TEST(EstVariant, LeavesNoStalePointerBehindARefusedPointerType)
{
    const VARTYPE pointerTypes[] = {VT_UNKNOWN, VT_DISPATCH, VT_ARRAY | VT_UI1};
    for (const VARTYPE vt : pointerTypes)
    {
        SCOPED_TRACE(testing::Message() << "type " << vt);
        VARIANT v;
        VariantInit(&v);
        ASSERT_TRUE(CStaticTools::EstVariant(L"old text", false, VT_BSTR, v));
        EXPECT_FALSE(CStaticTools::EstVariant(L"x", false, vt, v));
        EXPECT_EQ(v.vt, vt);
        ASSERT_EQ(v.byref, nullptr) << "clearing the output must release nothing";
        VariantClear(&v);
    }
}

TEST(ToVariant, FillsTheRequestedTypeAndNeverFails)
{
    const EstCase cases[] = {
        {L"70000", false, VT_I2, true, 4464, "the low 16 bits of the long"},
        {L"-5", false, VT_I4, true, -5, "a long"},
        {L"x", false, VT_I4, true, 0, "not a number gives 0"},
        {L"12", false, VT_INT, true, 12, "an int"},
        {L"2.5", true, VT_R4, true, 2.5, "a float with the locale flag"},
        {L"2.5", true, VT_R8, true, 2.5, "a double with the locale flag"},
        {L"45000.5", true, VT_DATE, true, 45000.5, "a date only as its number"},
        {L"0", false, VT_BOOL, true, VARIANT_FALSE, "0 is false"},
        {L"yes", false, VT_BOOL, true, VARIANT_TRUE, "anything else is -1"},
        {L" \t123\t ", false, VT_I8, true, 123, "a 64-bit number between blanks and tabs"},
        {L"-9000000000", false, VT_I8, true, -9000000000.0, "beyond 32 bits"},
        {L"12x", false, VT_I8, true, 0, "trailing characters give 0"},
        {L"\n12", false, VT_I8, true, 0, "only blanks and tabs may lead"},
        {L"\t\r12", false, VT_I8, true, 0, "a carriage return after a tab is no blank"},
        {L"", false, VT_I8, true, 0, "nothing gives 0"},
        {L"99999999999999999999", false, VT_I8, true, 9223372036854775807.0, "the upper limit"},
        {L"-99999999999999999999", false, VT_I8, true, -9223372036854775807.0 - 1, "the lower limit"},
        {L"7", false, VT_UI4, true, 0, "another type is its zero"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const COleVariant v = CStaticTools::ToVariant(c.text, c.vt, c.bLocale);
        EXPECT_EQ(v.vt, c.vt);
        EXPECT_DOUBLE_EQ(NumberOf(v), c.value);
        if (c.vt == VT_UI4)
        {
            EXPECT_EQ(v.ulVal, 0u);
        }
    }
    const COleVariant limit = CStaticTools::ToVariant(L"99999999999999999999", VT_I8, false);
    EXPECT_EQ(limit.llVal, INT64_MAX);
    const COleVariant text = CStaticTools::ToVariant(L"a b", VT_BSTR, false);
    ASSERT_EQ(text.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(text.bstrVal), L"a b");
}

TEST(GetVariantSize, CountsTheValueBytes)
{
    struct Case
    {
        VARTYPE vt;
        int size;
    };
    const Case cases[] = {{VT_I2, 2}, {VT_BOOL, 2},  {VT_UI1, 2}, {VT_I4, 4},   {VT_ERROR, 4},
                          {VT_R4, 8}, {VT_R8, 8},    {VT_CY, 8},  {VT_DATE, 8}, {VT_DECIMAL, 8},
                          {VT_I8, 8}, {VT_EMPTY, 0}, {VT_UI4, 0}, {VT_INT, 0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.vt);
        VARIANT v;
        VariantInit(&v);
        v.vt = c.vt;
        EXPECT_EQ(CStaticTools::GetVariantSize(v), c.size);
    }
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"abcde");
    EXPECT_EQ(CStaticTools::GetVariantSize(text), 10) << "two bytes a character";
    VariantClear(&text);
}

TEST(ByteArrays, TravelAsAByteSafeArrayWithLowerBoundZero)
{
    CByteArray bytes;
    const BYTE data[] = {0, 1, 0xFF, 7};
    for (BYTE b : data)
        bytes.Add(b);
    VARIANT v;
    CStaticTools::ByteArrayToVariant(bytes, v, false);
    ASSERT_EQ(v.vt, VT_ARRAY | VT_UI1);
    ASSERT_NE(v.parray, nullptr);
    EXPECT_EQ(SafeArrayGetDim(v.parray), 1u);
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(v.parray, 1, &lower);
    SafeArrayGetUBound(v.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 3);

    CByteArray back;
    back.Add(99); // emptied first
    CStaticTools::VariantToByteArray(v, back);
    ASSERT_EQ(back.GetSize(), 4);
    EXPECT_EQ(std::memcmp(back.GetData(), data, sizeof(data)), 0);
    VariantClear(&v);
}

TEST(ByteArrays, EmptyArraysAndOtherVariants)
{
    CByteArray empty;
    VARIANT v;
    CStaticTools::ByteArrayToVariant(empty, v, false);
    EXPECT_EQ(v.vt, VT_EMPTY) << "an empty array is no value unless asked for";
    CStaticTools::ByteArrayToVariant(empty, v, true);
    ASSERT_EQ(v.vt, VT_ARRAY | VT_UI1);
    ASSERT_NE(v.parray, nullptr);
    EXPECT_EQ(v.parray->rgsabound[0].cElements, 0u);
    CByteArray back;
    back.Add(1);
    CStaticTools::VariantToByteArray(v, back);
    EXPECT_EQ(back.GetSize(), 0);
    VariantClear(&v);

    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"abc");
    back.Add(1);
    CStaticTools::VariantToByteArray(text, back);
    EXPECT_EQ(back.GetSize(), 0) << "a text is no byte array";
    VariantClear(&text);

    VARIANT noArray;
    VariantInit(&noArray);
    noArray.vt = VT_ARRAY | VT_UI1;
    back.Add(1);
    CStaticTools::VariantToByteArray(noArray, back);
    EXPECT_EQ(back.GetSize(), 0) << "the array type without an array";
}

// ---- HTML ----

TEST(EncodeHtmlEntities, ReplacesTheListedCharactersOnly)
{
    EXPECT_EQ(W(CStaticTools::EncodeHtmlEntities(L"a<b & \"c\"")), L"a&lt;b &amp; &quot;c&quot;");
    EXPECT_EQ(W(CStaticTools::EncodeHtmlEntities(L"\u00E9")), L"&eacute;");
    EXPECT_EQ(W(CStaticTools::EncodeHtmlEntities(L"&lt;")), L"&amp;lt;") << "an ampersand is escaped first";
    EXPECT_EQ(W(CStaticTools::EncodeHtmlEntities(L"\u00EE\u00E1\u00F1'x")), L"\u00EE\u00E1\u00F1'x");
    const struct
    {
        wchar_t ch;
        const wchar_t* entity;
    } all[] = {
        {L'>', L"&gt;"},     {0xE0, L"&agrave;"}, {0xC0, L"&Agrave;"}, {0xE2, L"&acirc;"},  {0xC2, L"&Acirc;"},
        {0xE4, L"&auml;"},   {0xC4, L"&Auml;"},   {0xE5, L"&aring;"},  {0xC5, L"&Aring;"},  {0xE6, L"&aelig;"},
        {0xC6, L"&AElig;"},  {0xE7, L"&ccedil;"}, {0xC7, L"&Ccedil;"}, {0xC9, L"&Eacute;"}, {0xE8, L"&egrave;"},
        {0xC8, L"&Egrave;"}, {0xEA, L"&ecirc;"},  {0xCA, L"&Ecirc;"},  {0xEB, L"&euml;"},   {0xCB, L"&Euml;"},
        {0xEF, L"&iuml;"},   {0xCF, L"&Iuml;"},   {0xF4, L"&ocirc;"},  {0xD4, L"&Ocirc;"},  {0xF6, L"&ouml;"},
        {0xD6, L"&Ouml;"},   {0xF8, L"&oslash;"}, {0xD8, L"&Oslash;"}, {0xDF, L"&szlig;"},  {0xF9, L"&ugrave;"},
        {0xD9, L"&Ugrave;"}, {0xFB, L"&ucirc;"},  {0xDB, L"&Ucirc;"},  {0xFC, L"&uuml;"},   {0xDC, L"&Uuml;"},
        {0xAE, L"&reg;"},    {0xA9, L"&copy;"},   {0x20AC, L"&euro;"},
    };
    for (const auto& e : all)
    {
        SCOPED_TRACE(static_cast<int>(e.ch));
        EXPECT_EQ(W(CStaticTools::EncodeHtmlEntities(CString(e.ch))), e.entity);
    }
}

TEST(DecodeHtmlEntities, DecodesSevenEntitiesInOrder)
{
    CString text(L"&gt;&lt;&amp;&quot;&copy;&reg;&nbsp;&eacute;");
    CStaticTools::DecodeHtmlEntities(text);
    EXPECT_EQ(W(text), L"><&\"\u00A9\u00AE &eacute;");
    CString twice(L"&amp;lt;");
    CStaticTools::DecodeHtmlEntities(twice);
    EXPECT_EQ(W(twice), L"&lt;") << "decoded once only";
}

TEST(DecodeNumericEntities, ReplacesDecimalReferencesOnly)
{
    struct Case
    {
        const wchar_t* text;
        std::wstring decoded;
        const char* why;
    };
    const Case cases[] = {
        {L"A&#66;C", L"ABC", "a decimal reference"},
        {L"&#233;t&#233;", L"\u00E9t\u00E9", "two references"},
        {L"&#x41;", L"&#x41;", "hexadecimal stays"},
        {L"&#0;x", L"&#0;x", "zero stays instead of cutting the text"},
        {L"&#abc;x", L"&#abc;x", "letters stay"},
        {L"&#-65;", L"&#-65;", "a sign stays"},
        {L"&#128512;", L"\xD83D\xDE00", "beyond 0xFFFF a surrogate pair"},
        {L"&#1114111;", L"\xDBFF\xDFFF", "the last code point"},
        {L"&#1114112;", L"&#1114112;", "beyond Unicode stays"},
        {L"&#99999999999999999999;", L"&#99999999999999999999;", "a huge number stays"},
        {L"a&#65", L"a&#65", "no semicolon: the rest is copied"},
        {L"&#65;&#66", L"A&#66", "scanning stops at the first reference without a semicolon"},
        {L"&#&#65;", L"&#A", "an unchanged reference is scanned past its start only"},
        {L"", L"", "empty"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(W(CStaticTools::DecodeNumericEntities(c.text)), c.decoded);
    }
}

TEST(HtmlToText, KeepsTheBodyTextAndLinkTargets)
{
    struct Case
    {
        const wchar_t* html;
        const wchar_t* text;
        const char* why;
    };
    const Case cases[] = {
        {L"<html><head><title>T</title></head><body><p>See <a href=\"x.htm\">this</a></p></body></html>",
         L"See this [x.htm]", "a link keeps its target"},
        {L"<HTML><BODY bgcolor=1>\n  Hello &amp; bye </BODY>tail", L"Hello & bye", "body found without case"},
        {L"<b>bold</b> and <i>it</i>", L"bold and it", "no body: the whole text"},
        {L"a > b < c", L"a  b < c", "a lone > goes, a lone < stays"},
        {L"&lt;b&gt;", L"<b>", "entities are decoded after the tags went"},
        {L"<a href=\"1\">one</a> <a name=x>two</a>", L"one [1] two [1]", "a link without a target keeps the last"},
        {L"<body>x", L"x", "no closing body: to the end"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(W(CStaticTools::HtmlToText(c.html)), c.text);
    }
}

TEST(HtmlToText, EndsOnHostileLinks)
{
    const CString text = CStaticTools::HtmlToText(L"<a href=\"<a\"></a>x> <a <a <a></a></a>");
    EXPECT_EQ(text.Find(L'>'), -1) << "every > is consumed";
}

TEST(MakeHtmlPage, CompletesOrWrapsTheBody)
{
    struct Case
    {
        const wchar_t* body;
        const wchar_t* page;
        const char* why;
    };
    const Case cases[] = {
        {L"Hi\nthere", L"<html>\n<head>\n\t<title>T</title>\n</head>\n<body>\n\tHi\n\tthere\n</body>\n</html>",
         "plain text is wrapped and indented"},
        {L"<body>x</body>", L"<html>\n<head>\n\t<title>T</title>\n</head>\n<body>x\n</body>\n</html>",
         "a body without a head gets one"},
        {L"<head><style/>", L"<html>\n<head><style/>\n</head>\n<body>\n</body>\n</html>", "a head without a body"},
        {L"<head>h<BODY>b</BODY></HEAD>", L"<html>\n\t<head>h</head>\n<body>b</body>\n</html>",
         "head and body are separated"},
        {L"<HTML><body>x", L"<HTML><body>x\n\t</body>\n</html>", "a page is only closed"},
        {L"<html>x</html>", L"<html>x</html>", "a complete page stays"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(W(CStaticTools::MakeHtmlPage(c.body, L"T")), c.page);
    }
}

// ---- base64 ----

std::wstring Encode(const std::string& bytes)
{
    CString out(L"stale");
    CStaticTools::EncodeBase64(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<int>(bytes.size()), out);
    return W(out);
}

std::string Decode(const CString& text)
{
    BYTE* p = reinterpret_cast<BYTE*>(1);
    int n = -1;
    CStaticTools::DecodeBase64(text, p, n);
    EXPECT_NE(p, nullptr) << "always a new buffer";
    std::string result(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
    delete[] p;
    return result;
}

TEST(Base64, EncodesWithALineFeedEvery72CharactersAndAtTheEnd)
{
    EXPECT_EQ(Encode("abc"), L"YWJj\n");
    EXPECT_EQ(Encode("a"), L"YQ==\n");
    EXPECT_EQ(Encode("ab"), L"YWI=\n");
    EXPECT_EQ(Encode(""), L"\n");
    const std::wstring line(72, L'Y');
    const std::wstring full = Encode(std::string(54, 'a'));
    EXPECT_EQ(full.size(), 74u);
    EXPECT_EQ(full.substr(72), L"\n\n") << "72 characters, their line feed, then the closing one";
    const std::wstring longer = Encode(std::string(55, 'a'));
    EXPECT_EQ(longer.substr(72), L"\nYQ==\n");
}

TEST(Base64, DecodesSkippingWhatIsNotBase64)
{
    EXPECT_EQ(Decode(L"YWJj"), "abc");
    EXPECT_EQ(Decode(L"Y\nW J\r\nj\n"), "abc");
    EXPECT_EQ(Decode(L"YQ=="), "a");
    EXPECT_EQ(Decode(L"YQ"), "a") << "two characters give one byte";
    EXPECT_EQ(Decode(L"YWI"), "ab") << "three characters give two bytes";
    EXPECT_EQ(Decode(L""), "");
    EXPECT_EQ(Decode(L"\u0159\u0157"), Decode(L"YW")) << "each character counts with its low byte";
    EXPECT_EQ(Decode(L"\u00FF\u0080YWJj"), "abc") << "high bytes are skipped";
}

TEST(Base64, RoundTripsSeventeenMebibytes)
{
    std::string data(17u * 1024 * 1024 + 1, '\0');
    std::mt19937 random(17);
    for (char& c : data)
        c = static_cast<char>(random());
    CString text;
    CStaticTools::EncodeBase64(reinterpret_cast<const BYTE*>(data.data()), static_cast<int>(data.size()), text);
    const std::wstring& s = text.Str();
    ASSERT_EQ(s.back(), L'\n');
    size_t nLongest = 0, nStart = 0;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == L'\n')
        {
            if (i + 1 < s.size())
            {
                EXPECT_EQ(i - nStart, 72u) << "every line but the last is 72 long, at " << i;
            }
            nLongest = std::max(nLongest, i - nStart);
            nStart = i + 1;
            if (HasFailure()) break;
        }
    EXPECT_EQ(nLongest, 72u);
    EXPECT_TRUE(Decode(text) == data) << "the bytes come back unchanged across the 16 MiB pieces";
}

// ---- URLs, UTF-8, masking ----

TEST(UrlDecode, DecodesPercentEscapes)
{
    EXPECT_EQ(std::string(CStaticTools::UrlDecode("a%20b%").GetString()), "a b%");
    EXPECT_EQ(std::string(CStaticTools::UrlDecode("%41%4a%4A+").GetString()), "AJJ+");
    EXPECT_EQ(std::string(CStaticTools::UrlDecode("%zz%4").GetString()), "%zz%4") << "no hex digits: copied";
    EXPECT_EQ(std::string(CStaticTools::UrlDecode("%").GetString()), "%");
    EXPECT_EQ(std::string(CStaticTools::UrlDecode(static_cast<const char*>(nullptr)).GetString()), "");
    EXPECT_EQ(W(CStaticTools::UrlDecode(CString(L"%E9t%C3%A9"))), L"\u00E9t\u00C3\u00A9") << "bytes become characters";
    EXPECT_EQ(W(CStaticTools::UrlDecode(CString(L"%g0%"))), L"%g0%");
}

TEST(HexPairToByte, ReadsTwoHexDigits)
{
    EXPECT_EQ(CStaticTools::HexPairToByte(L'4', L'1'), 'A');
    EXPECT_EQ(static_cast<unsigned char>(CStaticTools::HexPairToByte(L'f', L'F')), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(CStaticTools::HexPairToByte(L'0', L'a')), 0x0A);
}

TEST(Utf8, ConvertsBothWays)
{
    const CString text(L"\u00E9\u20AC a\U0001F600");
    const CStringA utf8 = CStaticTools::ToUTF8(text);
    EXPECT_EQ(std::string(utf8.GetString()), "\xC3\xA9\xE2\x82\xAC a\xF0\x9F\x98\x80");
    EXPECT_EQ(W(CStaticTools::FromUTF8(utf8)), W(text));
    EXPECT_EQ(std::string(CStaticTools::ToUTF8(CString()).GetString()), "");
    EXPECT_EQ(W(CStaticTools::FromUTF8(CStringA())), L"");
    EXPECT_EQ(W(CStaticTools::FromUTF8(CStringA("plain"))), L"plain");
}

TEST(Utf8, TakesTextWithoutMultiByteSequencesAsAnsi)
{
    const char latin[] = "caf\xE9";
    wchar_t expected[8] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, latin, -1, expected, 8), 0);
    EXPECT_EQ(W(CStaticTools::FromUTF8(CStringA(latin))), expected);
}

TEST(MaskPassword, HidesThePasswordOfTheFirstPwdItem)
{
    struct Case
    {
        const wchar_t* text;
        const wchar_t* masked;
        const char* why;
    };
    const Case cases[] = {
        {L"DSN=crm;UID=sa;PWD=secret;Timeout=5", L"DSN=crm;UID=sa;PWD=*****;Timeout=5", "the further item stays"},
        {L"DSN=crm;PWD=x", L"DSN=crm;PWD=*****", "to the end without a semicolon"},
        {L"PWD=", L"PWD=*****", "an empty password too"},
        {L"PWD=a;PWD=b", L"PWD=*****;PWD=b", "only the first"},
        {L"DSN=crm;pwd=secret", L"DSN=crm;pwd=secret", "other spellings stay"},
        {L"", L"", "empty"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(W(CStaticTools::MaskPassword(c.text)), c.masked);
    }
}
} // namespace
