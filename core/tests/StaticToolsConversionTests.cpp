// HTML, base64, URL escapes, UTF-8 and password masking of CStaticTools.
#include "core/CStaticTools.h"
#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
std::wstring W(const CString& s)
{
    return s.Str();
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
        {L'>', L"&gt;"},          {0xE0, L"&agrave;"}, {0xC0, L"&Agrave;"}, {0xE2, L"&acirc;"},  {0xC2, L"&Acirc;"},
        {0xE4, L"&auml;"},        {0xC4, L"&Auml;"},   {0xE5, L"&aring;"},  {0xC5, L"&Aring;"},  {0xE6, L"&aelig;"},
        {0xC6, L"&AElig;"},       {0xE7, L"&ccedil;"}, {0xC7, L"&Ccedil;"}, {0xC9, L"&Eacute;"}, {0xE8, L"&egrave;"},
        {0xC8, L"&Egrave;"},      {0xEA, L"&ecirc;"},  {0xCA, L"&Ecirc;"},  {0xEB, L"&euml;"},   {0xCB, L"&Euml;"},
        {0xEF, L"&iuml;"},        {0xCF, L"&Iuml;"},   {0xF4, L"&ocirc;"},  {0xD4, L"&Ocirc;"},  {0xF6, L"&ouml;"},
        {0xD6, L"&Ouml;"},        {0xF8, L"&oslash;"}, {0xD8, L"&Oslash;"}, {0xDF, L"&szlig;"},  {0xF9, L"&ugrave;"},
        {0xD9, L"&Ugrave;"},      {0xFB, L"&ucirc;"},  {0xDB, L"&Ucirc;"},  {0xFC, L"&uuml;"},   {0xDC, L"&Uuml;"},
        {0xAE, L"&reg;"},         {0xA9, L"&copy;"},   {0x20AC, L"&euro;"},
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
    for (char& c : data) c = static_cast<char>(random());
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
}  // namespace
