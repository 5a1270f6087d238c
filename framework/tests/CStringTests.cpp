// CString and CStringA: editing, searching, comparing, buffers, conversions, resources and BSTRs.
#include "framework/CString.h"
#include "framework/CException.h"
#include "framework/CStringConversion.h"
#include "StringTestResources.h"
#include <gtest/gtest.h>
#include <oleauto.h>
#include <string>
#include <unordered_set>
#include <vector>

namespace
{
// Pins the thread's ANSI code page for one test, and puts the old locale back.
class ThreadLocale
{
public:
    explicit ThreadLocale(LCID lcid) : m_old(GetThreadLocale()) { m_ok = SetThreadLocale(lcid) != FALSE; }
    ~ThreadLocale() { SetThreadLocale(m_old); }
    bool ok() const { return m_ok; }

private:
    LCID m_old;
    bool m_ok = false;
};

// Runs an action that must throw the framework's invalid-argument exception.
template <typename F> bool ThrowsInvalidArg(F action)
{
    try
    {
        action();
    }
    catch (CException* e)
    {
        const bool right = e->IsKindOf(RUNTIME_CLASS(CInvalidArgException)) != FALSE;
        e->Delete();
        return right;
    }
    return false;
}

TEST(CString, FindsCharactersAndTexts)
{
    const CString s(L"abcabc");
    const struct
    {
        int expected;
        int actual;
        const char* why;
    } cases[] = {
        {1, s.Find(L'b'), "first b"},
        {4, s.Find(L'b', 2), "b from 2"},
        {-1, s.Find(L'b', 5), "no b from 5"},
        {-1, s.Find(L'a', -1), "negative start finds nothing"},
        {-1, s.Find(L'a', 6), "start at the end finds nothing"},
        {3, s.Find(L"abc", 1), "text from 1"},
        {-1, s.Find(L"abd"), "absent text"},
        {2, s.Find(L"", 2), "empty text is found at the start"},
        {-1, s.Find(L"a", 7), "start beyond the end"},
        {4, s.ReverseFind(L'b'), "last b"},
        {-1, s.ReverseFind(L'z'), "no z"},
        {2, s.FindOneOf(L"xc"), "first of a set"},
        {-1, s.FindOneOf(L"xyz"), "none of a set"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(CString, ReplacesAndRemovesAndCountsThem)
{
    const struct
    {
        const wchar_t* text;
        const wchar_t* oldText;
        const wchar_t* newText;
        const wchar_t* expected;
        int count;
    } cases[] = {
        {L"a.b.c", L".", L"--", L"a--b--c", 2},
        {L"aaaa", L"aa", L"a", L"aa", 2},
        {L"abc", L"", L"x", L"abc", 0},
        {L"abc", L"b", L"", L"ac", 1},
        {L"abc", L"b", nullptr, L"ac", 1},
        {L"abc", L"x", L"y", L"abc", 0},
        {L"", L"a", L"b", L"", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "replace in " << testing::PrintToString(std::wstring(c.text)));
        CString s(c.text);
        EXPECT_EQ(s.Replace(c.oldText, c.newText), c.count);
        EXPECT_STREQ(s, c.expected);
    }
    CString s(L"a b c");
    EXPECT_EQ(s.Replace(L' ', L'_'), 2);
    EXPECT_STREQ(s, L"a_b_c");
    EXPECT_EQ(s.Remove(L'_'), 2);
    EXPECT_STREQ(s, L"abc");
}

TEST(CString, InsertsAndDeletesWithClampedPositions)
{
    CString s(L"ace");
    EXPECT_EQ(s.Insert(1, L'b'), 4);
    EXPECT_EQ(s.Insert(3, L"d"), 5);
    EXPECT_STREQ(s, L"abcde");
    EXPECT_EQ(s.Insert(99, L"!"), 6) << "beyond the end inserts at the end";
    EXPECT_EQ(s.Insert(-3, L'>'), 7) << "before the start inserts at the start";
    EXPECT_STREQ(s, L">abcde!");
    EXPECT_EQ(s.Delete(0), 6);
    EXPECT_EQ(s.Delete(4, 99), 4) << "a count past the end deletes to the end";
    EXPECT_EQ(s.Delete(10, 1), 4) << "an index past the end deletes nothing";
    EXPECT_EQ(s.Delete(1, 0), 4);
    EXPECT_STREQ(s, L"abcd");
}

TEST(CString, CutsLeftMidRightWithinTheText)
{
    const CString s(L"abcdef");
    const struct
    {
        CString actual;
        const wchar_t* expected;
        const char* why;
    } cases[] = {
        {s.Left(2), L"ab", "left 2"},
        {s.Left(-1), L"", "left of a negative count"},
        {s.Left(99), L"abcdef", "left beyond the end"},
        {s.Mid(2), L"cdef", "mid to the end"},
        {s.Mid(2, 2), L"cd", "mid 2 of 2"},
        {s.Mid(-1, 2), L"ab", "mid from a negative index"},
        {s.Mid(5, 10), L"f", "mid past the end"},
        {s.Mid(9), L"", "mid beyond the end"},
        {s.Right(2), L"ef", "right 2"},
        {s.Right(99), L"abcdef", "right beyond the start"},
        {s.SpanIncluding(L"ba"), L"ab", "span of a set"},
        {s.SpanExcluding(L"dc"), L"ab", "span until a set"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        EXPECT_STREQ(c.actual, c.expected);
    }
}

TEST(CString, TrimsWhiteSpaceAndChosenCharacters)
{
    const struct
    {
        const wchar_t* text;
        int how; // 0 Trim(), 1 TrimLeft(), 2 TrimRight(), 3 Trim(L'x'), 4 Trim(L"xy"), 5 TrimLeft(L"xy"), 6
                 // TrimRight(L'x')
        const wchar_t* expected;
    } cases[] = {
        {L" \t\r\n a b \v\f", 0, L"a b"},
        {L"  a  ", 1, L"a  "},
        {L"  a  ", 2, L"  a"},
        {L"xxaxx", 3, L"a"},
        {L"xyaxy", 4, L"a"},
        {L"xyaxy", 5, L"axy"},
        {L"xxaxx", 6, L"xxa"},
        {L"   ", 0, L""},
        {L"", 0, L""},
        {L"\x00A0"
         L"a",
         0,
         L"\x00A0"
         L"a"}, // only the C runtime's white space
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "how " << c.how << " on " << testing::PrintToString(std::wstring(c.text)));
        CString s(c.text);
        switch (c.how)
        {
        case 0:
            s.Trim();
            break;
        case 1:
            s.TrimLeft();
            break;
        case 2:
            s.TrimRight();
            break;
        case 3:
            s.Trim(L'x');
            break;
        case 4:
            s.Trim(L"xy");
            break;
        case 5:
            s.TrimLeft(L"xy");
            break;
        case 6:
            s.TrimRight(L'x');
            break;
        }
        EXPECT_STREQ(s, c.expected);
    }
}

TEST(CString, TokenizeSkipsRunsOfDelimitersAndEndsWithMinusOne)
{
    const struct
    {
        const wchar_t* text;
        const wchar_t* delimiters;
        std::vector<std::wstring> tokens;
    } cases[] = {
        {L"a,b,,c", L",", {L"a", L"b", L"c"}},
        {L",,a;b,", L",;", {L"a", L"b"}},
        {L"", L",", {}},
        {L",,,", L",", {}},
        {L"abc", L"", {L"abc"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        const CString s(c.text);
        std::vector<std::wstring> tokens;
        int pos = 0;
        for (int guard = 0; guard < 10; ++guard)
        {
            CString token = s.Tokenize(c.delimiters, pos);
            if (pos == -1)
            {
                EXPECT_TRUE(token.IsEmpty()) << "the end comes with an empty token";
                break;
            }
            tokens.push_back(token.GetString());
        }
        EXPECT_EQ(pos, -1) << "the walk must end";
        EXPECT_EQ(tokens, c.tokens);
    }
}

TEST(CString, ComparesOrdinallyAndFoldsOnlyAsciiLetters)
{
    const struct
    {
        const wchar_t* a;
        const wchar_t* b;
        int compare;
        int noCase;
    } cases[] = {
        {L"abc", L"abc", 0, 0},
        {L"abc", L"abd", -1, -1},
        {L"abc", L"ab", 1, 1},
        {L"ABC", L"abc", -1, 0},
        {L"A_b", L"Ab", -1, -1},        // '_' sorts before letters folded to lower case
        {L"\x00C9", L"\x00E9", -1, -1}, // no folding beyond ASCII, as in the "C" locale
        {L"\xFFFF", L"a", 1, 1},        // code units compare unsigned
        {L"", L"", 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.a) + L" vs " + c.b));
        const CString a(c.a);
        EXPECT_EQ((a.Compare(c.b) > 0) - (a.Compare(c.b) < 0), c.compare);
        EXPECT_EQ((a.CompareNoCase(c.b) > 0) - (a.CompareNoCase(c.b) < 0), c.noCase);
    }
    EXPECT_TRUE(CString(L"a") == L"a");
    EXPECT_TRUE(L"a" == CString(L"a"));
    EXPECT_TRUE(CString(L"a") != CString(L"b"));
    EXPECT_TRUE(CString(L"a") < CString(L"b"));
    EXPECT_EQ(CString(L"Mixed 1é").MakeUpper(), CString(L"MIXED 1é"));
    EXPECT_EQ(CString(L"Mixed 1É").MakeLower(), CString(L"mixed 1É"));
}

TEST(CString, ConcatenatesAndIndexes)
{
    CString s = CString(L"ab") + L"cd" + L'e';
    s += CString(L"f");
    s += L'g';
    s += "h"; // narrow text through the thread code page
    EXPECT_STREQ(s, L"abcdefgh");
    EXPECT_EQ(s.GetLength(), 8);
    EXPECT_EQ(s[0], L'a');
    EXPECT_EQ(s[size_t{7}], L'h');
    EXPECT_EQ(s.GetAt(8), L'\0') << "the terminator may be read";
    s.SetAt(0, L'A');
    EXPECT_EQ(s.GetAt(0), L'A');
    EXPECT_TRUE(ThrowsInvalidArg([&] { (void)s.GetAt(9); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { (void)s[-1]; }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { s.SetAt(8, L'x'); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] {
        int pos = -1;
        (void)s.Tokenize(L",", pos);
    }));
}

TEST(CString, GetBufferAndReleaseBufferWithAndWithoutLength)
{
    CString s(L"old text");
    wchar_t* p = s.GetBuffer(32);
    wcscpy(p, L"new");
    s.ReleaseBuffer();
    EXPECT_STREQ(s, L"new");
    EXPECT_EQ(s.GetLength(), 3) << "without a length the text ends at its terminator";

    p = s.GetBuffer(10);
    wmemcpy(p, L"0123456789", 10); // no terminator written: all ten characters count
    s.ReleaseBuffer();
    EXPECT_STREQ(s, L"0123456789");

    p = s.GetBuffer(10);
    p[4] = L'X';
    s.ReleaseBuffer(5);
    EXPECT_STREQ(s, L"0123X") << "an explicit length cuts the text there";

    p = s.GetBufferSetLength(2);
    EXPECT_EQ(p[0], L'0');
    s.ReleaseBuffer();
    EXPECT_STREQ(s, L"01");

    const DWORD written = GetEnvironmentVariableW(L"SystemRoot", s.GetBuffer(MAX_PATH), MAX_PATH);
    s.ReleaseBuffer();
    EXPECT_GT(written, 0u);
    EXPECT_EQ(s.GetLength(), static_cast<int>(written)) << "a Win32 call writing into the buffer";
    EXPECT_TRUE(ThrowsInvalidArg([&] {
        CString t(L"ab");
        t.GetBuffer(4);
        t.ReleaseBuffer(5);
    })) << "a length beyond the buffer is refused";
}

TEST(CString, ConvertsThroughTheThreadCodePage)
{
    ThreadLocale russian(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT));
    ASSERT_TRUE(russian.ok());
    const char cyrillic[] = "\xC6\xE0"; // "Жа" in code page 1251
    const CString wide(cyrillic);
    EXPECT_STREQ(wide, L"\x0416\x0430") << "narrow text is read in the thread's code page";
    const CStringA back(wide);
    EXPECT_STREQ(back, cyrillic);
    CString formatted;
    formatted.Format(L"%hs", cyrillic);
    EXPECT_STREQ(formatted, L"\x0416\x0430") << "%hs converts in the thread's code page too";

    ThreadLocale english(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    EXPECT_STREQ(CString(cyrillic), L"\x00C6\x00E0") << "the same bytes in code page 1252";
}

TEST(CString, ConvertsUtf8AndSurvivesInvalidBytes)
{
    EXPECT_STREQ(CA2W("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC", CP_UTF8), L"gr\x00FC\x00DF \x20AC");
    EXPECT_STREQ(CW2A(L"\x20AC\xD83D\xDE00", CP_UTF8), "\xE2\x82\xAC\xF0\x9F\x98\x80");
    const struct
    {
        const char* bytes;
        int length;
        const char* why;
    } invalid[] = {
        {"a\xFF"
         "b",
         3, "a byte that never starts a sequence"},
        {"a\xC3", 2, "a sequence cut at the end"},
        {"\xE2\x82", 2, "only a sequence's start"},
        {"\xC0\x80", 2, "an over-long form"},
        {"\xED\xA0\x80", 3, "an encoded surrogate"},
    };
    for (const auto& c : invalid)
    {
        SCOPED_TRACE(c.why);
        const std::wstring text = WidenText(c.bytes, c.length, CP_UTF8);
        EXPECT_NE(text.find(L'\xFFFD'), std::wstring::npos) << "an invalid byte becomes U+FFFD";
    }
    // A buffer without terminator followed by readable garbage: only the given bytes are used.
    const char unterminated[8] = {'a', 'b', '\xE2', 'x', 'y', 'z', 'w', 'v'};
    EXPECT_EQ(WidenText(unterminated, 3, CP_UTF8), std::wstring(L"ab\xFFFD"));
    EXPECT_STREQ(CString(unterminated, 2), L"ab");
    EXPECT_EQ(WidenText(nullptr, 5, CP_UTF8), std::wstring());
    const wchar_t loneSurrogate[] = {L'a', 0xD800, L'b', 0};
    EXPECT_EQ(NarrowText(loneSurrogate, -1, CP_UTF8), std::string("a\xEF\xBF\xBD"
                                                                  "b"))
        << "an unpaired surrogate becomes U+FFFD in UTF-8";
}

TEST(CString, LoadsFromTheStringTableOfItsModule)
{
    CString s;
    EXPECT_TRUE(s.LoadString(IDS_TEST_GREETING));
    EXPECT_STREQ(s, L"Hello, \x00E9t\x00E9");
    EXPECT_STREQ(CString(MAKEINTRESOURCEW(IDS_TEST_GREETING)), L"Hello, \x00E9t\x00E9")
        << "a resource id in place of a text";
    EXPECT_FALSE(s.LoadString(IDS_TEST_MISSING));
    EXPECT_TRUE(s.IsEmpty());
    CString formatted;
    formatted.Format(IDS_TEST_FORMAT, 3, L"x");
    EXPECT_STREQ(formatted, L"3 times x");
}

TEST(CString, MakesAndRefillsBstrs)
{
    const CString s(L"a\0b", 3);
    BSTR b = s.AllocSysString();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u) << "embedded zero characters are kept";
    EXPECT_EQ(b[2], L'b');
    CString(L"longer text").SetSysString(&b);
    EXPECT_STREQ(b, L"longer text");
    SysFreeString(b);
    BSTR fromNarrow = CStringA("abc").AllocSysString();
    EXPECT_STREQ(fromNarrow, L"abc");
    SysFreeString(fromNarrow);
}

TEST(CString, WorksAsKeyOfStandardContainers)
{
    std::unordered_set<CString> set{CString(L"a"), CString(L"b"), CString(L"a")};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_TRUE(set.count(CString(L"b")));
    EXPECT_EQ(std::hash<CString>()(CString(L"key")), std::hash<CString>()(CString(L"key")));
}

TEST(CString, NarrowStringsEditLikeWideOnes)
{
    CStringA s("  a,b  ");
    s.Trim();
    EXPECT_STREQ(s, "a,b");
    EXPECT_EQ(s.Find(','), 1);
    EXPECT_EQ(s.Replace(",", ";;"), 1);
    EXPECT_STREQ(s.MakeUpper(), "A;;B");
    EXPECT_EQ(s.CompareNoCase("a;;b"), 0);
}
} // namespace
