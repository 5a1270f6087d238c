// Property lists: text forms, typed getters, dates, merging, comparison, copying and hostile texts.
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"
#include "framework/CStringArray.h"
#include "framework/CException.h"
#include "framework/COleDateTime.h"
#include "framework/COleVariant.h"
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{
std::wstring W(const CString& s)
{
    return s.Str();
}

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

Entries EntriesOf(const CPropertyList& list)
{
    CStringArray names, values;
    list.GetNamesAndValues(names, values);
    Entries entries;
    for (INT_PTR i = 0; i < names.GetSize(); ++i)
        entries.emplace_back(W(names[i]), W(values[i]));
    return entries;
}

TEST(PropertyListText, WritesTheMainFormInNameOrder)
{
    CPropertyList list;
    EXPECT_EQ(W(list.GetString()), L"") << "an empty list writes nothing";
    list.SetProperty(L"b", L"x");
    list.SetProperty(L"a", L"q\"\\\n\r");
    list.SetProperty(L"n", 42);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 7;
    list.SetVariant(L"v", v);
    EXPECT_EQ(W(list.GetString()), L"a = \"q\\\"\\\\\\n\\r\" b = \"x\" n = \"42\" v = \"7\" v[T] = \"3\" ");
}

TEST(PropertyListText, ReadsBackWhatItWrites)
{
    CPropertyList list;
    list.SetProperty(L"special", L"\"quoted\" back\\slash\nline\rreturn \\n");
    list.SetProperty(L"empty", L"");
    list.SetProperty(L"name with blanks", L" edge ");
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = 2.5;
    list.SetVariant(L"d", v);
    const CPropertyList back(list.GetString(), false);
    EXPECT_EQ(EntriesOf(back), EntriesOf(list));
    VARTYPE vt = 0;
    EXPECT_TRUE(back.GetPropertyType(L"d", vt));
    EXPECT_EQ(vt, VT_R8);
    EXPECT_TRUE(back == list);
}

TEST(PropertyListText, ReadsTheMainFormByItsRules)
{
    struct Case
    {
        const wchar_t* text;
        Entries entries;
        const char* why;
    };
    const Case cases[] = {
        {L"", {}, "the empty text"},
        {L"  a   =   \"1\"b=\"2\"", {{L"a", L"1"}, {L"b", L"2"}}, "names are trimmed, blanks skipped"},
        {L"a = \"x\\ty\" ", {{L"a", L"xy"}}, "an unknown escape drops both characters"},
        {L"a = \"1\" b = 2 c = \"3\" ", {{L"a", L"1"}}, "an unquoted value stops the reading"},
        {L"a = \"1\" b = \"open", {{L"a", L"1"}}, "a value without its closing quote is dropped"},
        {L"a = \"1\" b = \"", {{L"a", L"1"}}, "a quote as the last character stops"},
        {L"a = \"1\" a = \"2\" ", {{L"a", L"2"}}, "a later entry replaces an earlier one"},
        {L"x = \"1\" x[T] = \"3\" ", {{L"x", L"1"}}, "a type entry for a named value"},
        {L"x[T] = \"3\" ", {{L"x[T]", L"3"}}, "a type entry alone is a value"},
        {L"a = \"=\\\"\" ", {{L"a", L"=\""}}, "equals signs and quotes inside values"},
        {L"\n a\t= \"1\"", {{L"a", L"1"}}, "white space around names"},
        {L"no equals sign", {}, "nothing to read"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const CPropertyList list(c.text, false);
        EXPECT_EQ(EntriesOf(list), c.entries);
    }
    const CPropertyList typed(L"x = \"1\" x[T] = \"3\" ", false);
    VARTYPE vt = 0;
    EXPECT_TRUE(typed.GetPropertyType(L"x", vt));
    EXPECT_EQ(vt, 3);
    const CPropertyList notNumber(L"x = \"1\" x[T] = \"abc\" ", false);
    EXPECT_TRUE(notNumber.GetPropertyType(L"x", vt));
    EXPECT_EQ(vt, 0) << "a type that is not a number is 0";
}

TEST(PropertyListText, ReadsTheCompactForm)
{
    const CPropertyList list(L"a\x01"
                             L"1\x02"
                             L"b = \"\x01x\x03y\x02"
                             L" c \x01=\"\x02",
                             false);
    EXPECT_EQ(EntriesOf(list), (Entries{{L" c ", L"=\""}, {L"a", L"1"}, {L"b = \"", L"x\ry"}}))
        << "a text ending in 0x02 is compact even with equals signs and quotes; nothing is trimmed";
    const CPropertyList typed(L"v\x01"
                              L"5\x02v[T]\x01"
                              L"3\x02",
                              false);
    VARTYPE vt = 0;
    EXPECT_TRUE(typed.GetPropertyType(L"v", vt));
    EXPECT_EQ(vt, 3);
}

TEST(PropertyListText, ReadingKeepsTypesNotNamedAgain)
{
    CPropertyList list(L"a = \"1\" a[T] = \"3\" b = \"2\" b[T] = \"8\" ", false);
    list.SetString(L"a = \"5\" a[T] = \"2\" ");
    EXPECT_EQ(EntriesOf(list), (Entries{{L"a", L"5"}}));
    VARTYPE vt = 0;
    EXPECT_TRUE(list.GetPropertyType(L"a", vt));
    EXPECT_EQ(vt, 2);
    EXPECT_TRUE(list.GetPropertyType(L"b", vt)) << "a type without a value stays";
    EXPECT_EQ(vt, 8);
}

TEST(PropertyListText, CaseFlagMergesNamesThatDifferInCase)
{
    const wchar_t* text = L"X = \"1\" x = \"2\" ";
    EXPECT_EQ(CPropertyList(text, true).GetCount(), 1);
    EXPECT_EQ(CPropertyList(text, false).GetCount(), 2);
    const CPropertyList noCase(text, true);
    EXPECT_TRUE(noCase.HasProperty(L"X"));
    EXPECT_TRUE(noCase.HasProperty(L"x"));
    EXPECT_FALSE(CPropertyList(text, false).HasProperty(L"Y"));
}

TEST(PropertyListJson, WritesNumbersAndFlagsBare)
{
    CPropertyList list;
    list.SetProperty(L"a", L"007");
    list.SetProperty(L"b", L"true");
    list.SetProperty(L"c", L"7a");
    list.SetProperty(L"d", L"say \"hi\"\n");
    list.SetProperty(L"e", L" -3 ");
    list.SetProperty(L"f", L"False");
    EXPECT_EQ(W(list.GetJsonString()), L"a:7,b:true,c:\"7a\",d:\"say \\\"hi\\\"\\n\",e:-3,f:\"False\"");
    EXPECT_EQ(W(CPropertyList().GetJsonString()), L"");
}

TEST(PropertyListJson, ReadsCommaSeparatedEntries)
{
    struct Case
    {
        const wchar_t* text;
        Entries entries;
        const char* why;
    };
    const Case cases[] = {
        {L"a:7,b:true,c:\"7a\"", {{L"a", L"7"}, {L"b", L"true"}, {L"c", L"7a"}}, "what the writer writes"},
        {L" a : 1 2 , b:  \"x,y\\\"z\" , c:", {{L"a", L"1 2"}, {L"b", L"x,y\"z"}, {L"c", L""}}, "trimmed and quoted"},
        {L"a:1,b:\"open", {{L"a", L"1"}}, "an unclosed quote stops"},
        {L"a:1,a:2", {{L"a", L"2"}}, "a later entry replaces"},
        {L"a:\"1\"x,b:2", {{L"a", L"1"}, {L"b", L"2"}}, "text after a quoted value is skipped to the comma"},
        {L"", {}, "empty"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CPropertyList list(L"old = \"1\" ", false);
        list.SetJsonString(c.text);
        EXPECT_EQ(EntriesOf(list), c.entries);
    }
}

TEST(PropertyListGetters, ReadTypedValues)
{
    CPropertyList list;
    list.SetProperty(L"n", L"40000");
    list.SetProperty(L"neg", L"-1");
    list.SetProperty(L"two", L"2");
    list.SetProperty(L"one", L"1");
    list.SetProperty(L"x", L"abc");
    list.SetProperty(L"d", L"2.5");

    short s = 1;
    EXPECT_TRUE(list.GetProperty(L"n", s));
    EXPECT_EQ(s, -25536) << "the low 16 bits";
    EXPECT_EQ(list.GetPropertyShort(L"n", 9), 9) << "out of range gives the default";
    EXPECT_EQ(list.GetPropertyShort(L"two", 9), 2);

    BYTE b = 1;
    EXPECT_TRUE(list.GetProperty(L"neg", b));
    EXPECT_EQ(b, 0xFF);
    b = 1;
    EXPECT_FALSE(list.GetProperty(L"x", b));
    EXPECT_EQ(b, 0) << "output 0 first";

    unsigned long ul = 5;
    EXPECT_TRUE(list.GetProperty(L"neg", ul));
    EXPECT_EQ(ul, 4294967295UL);
    ul = 5;
    EXPECT_FALSE(list.GetProperty(L"missing", ul));
    EXPECT_EQ(ul, 0UL);
    EXPECT_EQ(list.GetPropertyULong(L"x", 8UL), 8UL);

    long long ll = 5;
    EXPECT_TRUE(list.GetProperty(L"neg", ll));
    EXPECT_EQ(ll, -1) << "sign-extended";
    ll = 5;
    EXPECT_FALSE(list.GetProperty(L"x", ll));
    EXPECT_EQ(ll, 0);

    long l = 5;
    EXPECT_FALSE(list.GetProperty(L"x", l));
    EXPECT_EQ(l, 5) << "a failed long read leaves the output";
    int i = 0;
    EXPECT_TRUE(list.GetProperty(L"n", i));
    EXPECT_EQ(i, 40000);
    EXPECT_EQ(list.GetPropertyLong(L"x", 3L), 3L);
    EXPECT_EQ(list.GetPropertyLong(L"n", 3), 40000);

    bool f = false;
    EXPECT_TRUE(list.GetProperty(L"two", f));
    EXPECT_TRUE(f) << "any number but 0 is true";
    EXPECT_FALSE(list.GetPropertyBool(L"two", false)) << "2 gives the default";
    EXPECT_TRUE(list.GetPropertyBool(L"two", true));
    EXPECT_TRUE(list.GetPropertyBool(L"one", false));
    EXPECT_TRUE(list.GetPropertyBool(L"missing", true));

    double d = 0;
    EXPECT_TRUE(list.GetProperty(L"d", d));
    EXPECT_DOUBLE_EQ(d, 2.5);
    EXPECT_DOUBLE_EQ(list.GetPropertyDouble(L"x", -1.0), -1.0);

    CString text(L"stale");
    EXPECT_FALSE(list.GetProperty(L"missing", text));
    EXPECT_EQ(W(text), L"") << "emptied";
    EXPECT_EQ(W(list.GetPropertyString(L"missing", L"def")), L"def");
    EXPECT_EQ(W(list.GetPropertyString(L"x", L"def")), L"abc");
}

TEST(PropertyListGetters, WriteTypedValues)
{
    CPropertyList list;
    list.SetProperty(L"i", -5);
    list.SetProperty(L"l", 2147483647L);
    list.SetProperty(L"u", 4294967295UL);
    list.SetProperty(L"d", 0.1);
    list.SetProperty(L"t", true);
    list.SetProperty(L"f", false);
    EXPECT_EQ(
        EntriesOf(list),
        (Entries{
            {L"d", L"0.1"}, {L"f", L"0"}, {L"i", L"-5"}, {L"l", L"2147483647"}, {L"t", L"1"}, {L"u", L"4294967295"}}));
}

TEST(PropertyListGetters, VariantsNeedATypeAndAValue)
{
    CPropertyList list;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = 1.25;
    list.SetVariant(L"r", v);
    EXPECT_EQ(W(list.GetPropertyString(L"r", L"")), L"1.25") << "written with a point";
    COleVariant out;
    EXPECT_TRUE(list.GetProperty(L"r", out));
    EXPECT_EQ(out.vt, VT_R8);
    EXPECT_DOUBLE_EQ(out.dblVal, 1.25);

    list.SetProperty(L"plain", L"5");
    EXPECT_FALSE(list.GetProperty(L"plain", out)) << "no type";
    EXPECT_EQ(out.vt, VT_EMPTY);
    CPropertyList typeOnly(L"a = \"1\" a[T] = \"3\" ", false);
    typeOnly.RemoveProperty(L"a");
    VARTYPE vt = 99;
    EXPECT_FALSE(typeOnly.GetPropertyType(L"a", vt)) << "removing a name removes its type";
    EXPECT_EQ(vt, 0);

    VARIANT fallback;
    VariantInit(&fallback);
    fallback.vt = VT_I4;
    fallback.lVal = 9;
    const COleVariant def(fallback);
    EXPECT_EQ(list.GetPropertyVariant(L"plain", def).lVal, 9);
    EXPECT_DOUBLE_EQ(list.GetPropertyVariant(L"r", def).dblVal, 1.25);
}

TEST(PropertyListDates, WritesTheFourteenCharacterForm)
{
    CPropertyList list;
    list.SetProperty(L"d", COleDateTime(2020, 1, 22, 9, 5, 7), false);
    COleDateTime nullDate;
    nullDate.SetStatus(COleDateTime::null);
    list.SetProperty(L"n", nullDate, false);
    list.SetProperty(L"z", COleDateTime(0.0), false);
    COleDateTime bad;
    bad.SetStatus(COleDateTime::invalid);
    list.SetProperty(L"i", bad, false);
    EXPECT_EQ(EntriesOf(list), (Entries{{L"d", L"22012020090507"}, {L"i", L"i"}, {L"n", L"0"}, {L"z", L"0"}}));
}

TEST(PropertyListDates, ReadsTheDateForms)
{
    struct Case
    {
        const wchar_t* text;
        BOOL ok;
        COleDateTime::DateTimeStatus status;
        COleDateTime date; // compared when valid
        const char* why;
    };
    const Case cases[] = {
        {L"22012020090507", TRUE, COleDateTime::valid, COleDateTime(2020, 1, 22, 9, 5, 7), "14 characters"},
        {L"220120200905", TRUE, COleDateTime::valid, COleDateTime(2020, 1, 22, 9, 5, 0), "12 without seconds"},
        {L"31022020000000", TRUE, COleDateTime::invalid, {}, "31 February is invalid"},
        {L"22012020250000", TRUE, COleDateTime::invalid, {}, "hour 25 is invalid"},
        {L"xx012020000000", TRUE, COleDateTime::invalid, {}, "a field that is no number is 0"},
        {L"0", TRUE, COleDateTime::null, {}, "0 is the null date"},
        {L"i", TRUE, COleDateTime::invalid, {}, "i is the invalid date"},
        {L"2020-01-22", FALSE, COleDateTime::invalid, {}, "any other text"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CPropertyList list;
        list.SetProperty(L"d", c.text);
        COleDateTime date(12345.0);
        EXPECT_EQ(list.GetProperty(L"d", date, false), c.ok);
        EXPECT_EQ(date.GetStatus(), c.status);
        if (c.status == COleDateTime::valid)
        {
            EXPECT_DOUBLE_EQ(date.m_dt, c.date.m_dt);
        }
    }
    CPropertyList empty;
    COleDateTime date(12345.0);
    EXPECT_FALSE(empty.GetProperty(L"d", date, false));
    EXPECT_EQ(date.m_dt, 0.0) << "the date 0 first";
    EXPECT_EQ(empty.GetPropertyDateTime(L"d").GetStatus(), COleDateTime::null);
    EXPECT_EQ(empty.GetPropertyDateTime(L"d", COleDateTime(2.0)).m_dt, 2.0);
}

TEST(PropertyListDates, ConvertBetweenLocalTimeAndUtc)
{
    const COleDateTime local(2020, 7, 1, 12, 0, 0);
    const COleDateTime utc = CStaticTools::LocalToUtc(local);
    ASSERT_EQ(utc.GetStatus(), COleDateTime::valid);
    CPropertyList list;
    list.SetProperty(L"d", local, true);
    CPropertyList expected;
    expected.SetProperty(L"d", utc, false);
    EXPECT_EQ(W(list.GetPropertyString(L"d", L"")), W(expected.GetPropertyString(L"d", L"")));
    COleDateTime back;
    EXPECT_TRUE(list.GetProperty(L"d", back, true));
    EXPECT_DOUBLE_EQ(back.m_dt, CStaticTools::UtcToLocal(utc).m_dt);
    COleDateTime nullDate;
    nullDate.SetStatus(COleDateTime::null);
    list.SetProperty(L"n", nullDate, true);
    EXPECT_TRUE(list.GetProperty(L"n", back, true));
    EXPECT_EQ(back.GetStatus(), COleDateTime::null) << "null stays null";
}

TEST(PropertyListWhole, MergesValuesAndTypes)
{
    CPropertyList mine(L"a = \"1\" b = \"2\" ", false);
    const CPropertyList other(L"a = \"A\" b = \"\" c = \"C\" c[T] = \"8\" b[T] = \"3\" ", false);
    CPropertyList onlyKnown(mine);
    onlyKnown.Merge(other, false, false);
    EXPECT_EQ(EntriesOf(onlyKnown), (Entries{{L"a", L"A"}, {L"b", L"2"}}));
    VARTYPE vt = 0;
    EXPECT_TRUE(onlyKnown.GetPropertyType(L"c", vt)) << "the type is taken also when the value is not";
    EXPECT_FALSE(onlyKnown.GetPropertyType(L"b", vt)) << "a skipped empty value takes no type";
    mine.Merge(other, true, true);
    EXPECT_EQ(EntriesOf(mine), (Entries{{L"a", L"A"}, {L"b", L""}, {L"c", L"C"}}));
    EXPECT_TRUE(mine.GetPropertyType(L"b", vt));
    EXPECT_EQ(vt, 3);
}

TEST(PropertyListWhole, ComparesValuesAndTypesWithCase)
{
    const CPropertyList a(L"x = \"1\" y = \"2\" ", false);
    EXPECT_TRUE(a == CPropertyList(L"y = \"2\" x = \"1\" ", false));
    EXPECT_TRUE(a != CPropertyList(L"x = \"1\" y = \"2 \" ", false));
    EXPECT_TRUE(a != CPropertyList(L"X = \"1\" y = \"2\" ", false)) << "names compare with case";
    EXPECT_TRUE(a != CPropertyList(L"X = \"1\" y = \"2\" ", true)) << "also against a list without case";
    EXPECT_TRUE(a == CPropertyList(L"x = \"1\" y = \"2\" ", true));
    EXPECT_TRUE(a != CPropertyList(L"x = \"1\" x[T] = \"3\" y = \"2\" ", false)) << "types count";
    EXPECT_TRUE(CPropertyList(L"X = \"1\" ", true) != CPropertyList(L"x = \"1\" ", true));
}

TEST(PropertyListWhole, CopiesKeepEveryNameAndType)
{
    CPropertyList source;
    source.SetProperty(L" edge ", L"1");
    source.SetProperty(L"a=b", L"2");
    source.SetProperty(L"q\"", L"3");
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    source.SetVariant(L"flag", v);
    const CPropertyList copy(source);
    EXPECT_TRUE(copy == source);
    EXPECT_EQ(EntriesOf(copy), EntriesOf(source));
    CPropertyList assigned(L"flag = \"0\" flag[T] = \"2\" other = \"x\" other[T] = \"8\" ", true);
    assigned = source;
    EXPECT_FALSE(assigned.IsNoCase()) << "the case flag is copied";
    EXPECT_EQ(EntriesOf(assigned), EntriesOf(source));
    VARTYPE vt = 0;
    EXPECT_TRUE(assigned.GetPropertyType(L"flag", vt));
    EXPECT_EQ(vt, VT_BOOL) << "the assigned type wins";
    EXPECT_TRUE(assigned.GetPropertyType(L"other", vt)) << "a type not named again stays";
    EXPECT_EQ(vt, 8);
}

TEST(PropertyListWhole, AssignmentRebuildsTypesUnderTheNewCaseFlag)
{
    CPropertyList target(L"a = \"1\" a[T] = \"3\" B = \"1\" B[T] = \"4\" ", false);
    const CPropertyList noCase(L"A = \"x\" ", true);
    target = noCase;
    EXPECT_TRUE(target.IsNoCase());
    VARTYPE vt = 0;
    EXPECT_TRUE(target.GetPropertyType(L"b", vt)) << "the kept types are found without case now";
    EXPECT_EQ(vt, 4);
    EXPECT_TRUE(target.GetPropertyType(L"A", vt));
    EXPECT_EQ(vt, 3);
    EXPECT_EQ(W(target.GetPropertyString(L"a", L"")), L"x");
}

TEST(PropertyListWhole, SetAllAndSizes)
{
    CStringArray names, values;
    names.Add(L"b");
    names.Add(L"a");
    values.Add(L"2");
    values.Add(L"1");
    CPropertyList list(L"old = \"x\" old[T] = \"3\" ", false);
    list.SetAll(names, values);
    EXPECT_EQ(EntriesOf(list), (Entries{{L"a", L"1"}, {L"b", L"2"}}));
    VARTYPE vt = 0;
    EXPECT_TRUE(list.GetPropertyType(L"old", vt)) << "types stay";
    EXPECT_EQ(list.GetDataSize(), 32u + 2 * 2 + 2 * 2 + (2 * 3 + 4));

    values.Add(L"3");
    bool bThrown = false;
    try
    {
        list.SetAll(names, values);
    }
    catch (CInvalidArgException* e)
    {
        bThrown = true;
        e->Delete();
    }
    EXPECT_TRUE(bThrown) << "fewer names than values";
    EXPECT_EQ(list.GetCount(), 2) << "the pairs before the missing name are stored";

    list.SetAll(std::map<CString, CString>{{CString(L"k"), CString(L"v")}});
    EXPECT_EQ(EntriesOf(list), (Entries{{L"k", L"v"}}));
    EXPECT_FALSE(list.GetPropertyType(L"old", vt)) << "the map form removes types";
    EXPECT_GE(list.GetAllocatedSize(false), list.GetAllocatedSize(true) + 32);
}

// Random and mutated texts: reading never throws or crashes, and what a main-form text gave
// is what its own written form gives again.
TEST(PropertyListFuzz, MalformedTextsNeverThrow)
{
    std::mt19937 random(20261210);
    const std::wstring alphabet = L"ab =\"\\\\nrt[T]:,\x01\x02\x03 \t\n\r\u00E9";
    CPropertyList sample;
    sample.SetProperty(L"name", L"va\"l\\ue\n");
    sample.SetProperty(L"x", 5);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 5;
    sample.SetVariant(L"x", v);
    const std::wstring seeds[] = {sample.GetString().Str(), sample.GetJsonString().Str(),
                                  L"a\x01"
                                  L"b\x02"};
    for (int n = 0; n < 10000; ++n)
    {
        std::wstring text;
        if (n % 2)
        {
            const size_t length = random() % 40;
            for (size_t i = 0; i < length; ++i)
                text.push_back(alphabet[random() % alphabet.size()]);
        }
        else
        {
            text = seeds[random() % 3];
            for (int m = 1 + static_cast<int>(random() % 4); m > 0 && !text.empty(); --m)
            {
                const size_t at = random() % text.size();
                switch (random() % 3)
                {
                case 0:
                    text.erase(at, 1);
                    break;
                case 1:
                    text.insert(at, 1, alphabet[random() % alphabet.size()]);
                    break;
                default:
                    text[at] = alphabet[random() % alphabet.size()];
                    break;
                }
            }
        }
        SCOPED_TRACE(testing::Message() << "text " << n);
        try
        {
            CPropertyList list(text.c_str(), n % 3 == 0);
            if (text.empty() || text.back() != L'\x02')
            {
                const CPropertyList again(list.GetString(), n % 3 == 0);
                ASSERT_TRUE(again == list) << "written form of a main-form text reads back the same";
            }
            list.SetJsonString(text.c_str());
            CPropertyList json(L"", false);
            json.SetJsonString(list.GetJsonString());
            COleDateTime date;
            list.GetProperty(L"a", date, false);
            COleVariant value;
            list.GetProperty(L"x", value);
        }
        catch (...)
        {
            FAIL() << "reading threw";
        }
    }
}
} // namespace
