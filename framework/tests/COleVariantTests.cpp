// Variants: the typed constructors, the system's type changes as the framework raises them, taking
// content over without copies, and the ATL-shaped CComVariant/CComBSTR.
#include "framework/COleVariant.h"
#include "framework/CArray.h"
#include "framework/CComBSTR.h"
#include "framework/CComVariant.h"
#include "framework/CHandleOwner.h"
#include "framework/COleDateTime.h"
#include "framework/COleException.h"
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace
{
SAFEARRAY* MakeByteArray(const std::vector<BYTE>& bytes)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    void* data = nullptr;
    if (array && SUCCEEDED(SafeArrayAccessData(array, &data)))
    {
        const CSafeArrayAccess access(array);
        if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
    }
    return array;
}

std::vector<BYTE> BytesOf(const VARIANT& v)
{
    std::vector<BYTE> bytes;
    if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray) return bytes;
    bytes.resize(v.parray->rgsabound[0].cElements);
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(v.parray, &data)))
    {
        const CSafeArrayAccess access(v.parray);
        if (!bytes.empty()) memcpy(bytes.data(), data, bytes.size());
    }
    return bytes;
}

std::wstring TextOf(const VARIANT& v)
{
    return v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal) : L"<not text>";
}

TEST(COleVariant, TypedConstructors)
{
    struct Case
    {
        COleVariant v;
        VARTYPE vt;
        const char* why;
    };
    const Case cases[] = {
        {COleVariant(), VT_EMPTY, "empty"},
        {COleVariant(L"text"), VT_BSTR, "wide text"},
        {COleVariant(CString(L"text")), VT_BSTR, "CString"},
        {COleVariant(true), VT_BOOL, "bool"},
        {COleVariant(static_cast<BYTE>(7)), VT_UI1, "byte"},
        {COleVariant(static_cast<short>(-2)), VT_I2, "short"},
        {COleVariant(static_cast<short>(5), VT_BOOL), VT_BOOL, "short as bool"},
        {COleVariant(42), VT_I4, "int"},
        {COleVariant(42L, VT_ERROR), VT_ERROR, "long as error"},
        {COleVariant(1.5), VT_R8, "double"},
        {COleVariant(1.5, VT_DATE), VT_DATE, "double as date"},
        {COleVariant(COleDateTime(2021, 2, 3, 0, 0, 0)), VT_DATE, "date"},
        {COleVariant(static_cast<LONGLONG>(1) << 40), VT_I8, "64-bit"},
        {COleVariant(2.5f), VT_R4, "float"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.v.vt, c.vt) << c.why;
    EXPECT_EQ(COleVariant(true).boolVal, VARIANT_TRUE) << "true is -1";
    EXPECT_EQ(COleVariant(static_cast<short>(5), VT_BOOL).boolVal, VARIANT_TRUE);
    EXPECT_EQ(COleVariant(false).boolVal, VARIANT_FALSE);
    EXPECT_EQ(COleVariant(COleDateTime(2021, 2, 3, 0, 0, 0)).date, 44230.0);
    EXPECT_EQ(TextOf(COleVariant(CString(L"abc"))), L"abc");
    EXPECT_EQ(TextOf(COleVariant("ansi")), L"ansi") << "narrow text is a BSTR too, not a bool";
    COleVariant assigned(1L);
    assigned = "narrow";
    EXPECT_EQ(TextOf(assigned), L"narrow");
    COleVariant source(2L);
    EXPECT_EQ(COleVariant(&source).lVal, 2) << "a pointer to a variant copies it";
    const COleVariant nullText(static_cast<LPCWSTR>(nullptr));
    EXPECT_EQ(nullText.vt, VT_BSTR);
    EXPECT_EQ(nullText.bstrVal, nullptr) << "a null pointer gives a null BSTR";
}

struct ChangeCase
{
    COleVariant from;
    VARTYPE to;
    COleVariant expected;
    const char* why;
};

TEST(COleVariant, ChangeTypeFollowsTheSystemRules)
{
    // Numbers in texts are read with the neutral user locale of the test process; these use no separators.
    const ChangeCase cases[] = {
        {COleVariant(static_cast<short>(-7)), VT_I4, COleVariant(-7L), "I2 to I4"},
        {COleVariant(70000L), VT_R8, COleVariant(70000.0), "I4 to R8"},
        {COleVariant(2.5), VT_I4, COleVariant(2L), "R8 to I4 rounds half to even"},
        {COleVariant(3.5), VT_I2, COleVariant(static_cast<short>(4)), "R8 to I2 rounds half to even"},
        {COleVariant(L"123"), VT_I4, COleVariant(123L), "BSTR to I4"},
        {COleVariant(L"-12"), VT_I2, COleVariant(static_cast<short>(-12)), "BSTR to I2"},
        {COleVariant(1234L), VT_BSTR, COleVariant(L"1234"), "I4 to BSTR"},
        {COleVariant(1L), VT_BOOL, COleVariant(true), "non-zero to BOOL is true"},
        {COleVariant(0L), VT_BOOL, COleVariant(false), "zero to BOOL is false"},
        {COleVariant(true), VT_I2, COleVariant(static_cast<short>(-1)), "BOOL true to I2 is -1"},
        {COleVariant(44230.5, VT_DATE), VT_R8, COleVariant(44230.5), "DATE to R8 keeps the number"},
        {COleVariant(-1.25), VT_DATE, COleVariant(-1.25, VT_DATE), "R8 to DATE keeps the number"},
        {COleVariant(static_cast<BYTE>(200)), VT_I2, COleVariant(static_cast<short>(200)), "UI1 to I2"},
        {COleVariant(200L), VT_UI1, COleVariant(static_cast<BYTE>(200)), "I4 to UI1"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        COleVariant v(c.from);
        ASSERT_NO_THROW(v.ChangeType(c.to));
        EXPECT_TRUE(v == c.expected) << "got type " << v.vt << ", expected " << c.expected.vt;
        COleVariant target;
        target.ChangeType(c.to, const_cast<COleVariant*>(&c.from));
        EXPECT_TRUE(target == c.expected) << "the changed copy of a source";
        EXPECT_TRUE(COleVariant(c.from) == c.from) << "the source is left alone";
    }
}

TEST(COleVariant, ChangeTypeOfDatesGoesThroughTheLocaleForm)
{
    // A date text follows the user's locale, so only the round trip is pinned here.
    COleVariant v(COleDateTime(2021, 2, 3, 10, 20, 30));
    v.ChangeType(VT_BSTR);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_FALSE(TextOf(v).empty());
    v.ChangeType(VT_DATE);
    ASSERT_EQ(v.vt, VT_DATE);
    EXPECT_NEAR(v.date, COleDateTime(2021, 2, 3, 10, 20, 30).m_dt, 1e-9);
}

TEST(COleVariant, ChangeTypeFailuresRaiseOleExceptions)
{
    struct Case
    {
        COleVariant from;
        VARTYPE to;
        SCODE sc;
        const char* why;
    };
    const Case cases[] = {
        {COleVariant(L"abc"), VT_I4, DISP_E_TYPEMISMATCH, "a text that is no number"},
        {COleVariant(70000L), VT_I2, DISP_E_OVERFLOW, "too large for 16 bits"},
        {COleVariant(300L), VT_UI1, DISP_E_OVERFLOW, "too large for a byte"},
        {COleVariant(1e300), VT_DATE, DISP_E_OVERFLOW, "beyond the last date"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        COleVariant v(c.from);
        SCODE caught = S_OK;
        try
        {
            v.ChangeType(c.to);
        }
        catch (CException* e)
        {
            caught = COleException::Process(e);
            e->Delete();
        }
        EXPECT_EQ(caught, c.sc);
    }
}

TEST(COleVariant, ByteArraysAndTextsConvert)
{
    // The system turns a byte array into a BSTR holding those bytes and back.
    COleVariant bytes;
    bytes.vt = VT_ARRAY | VT_UI1;
    bytes.parray = MakeByteArray({'a', 0, 'b', 0});
    COleVariant text;
    text.ChangeType(VT_BSTR, &bytes);
    ASSERT_EQ(text.vt, VT_BSTR);
    EXPECT_EQ(TextOf(text), L"ab");
    COleVariant back;
    back.ChangeType(VT_ARRAY | VT_UI1, &text);
    EXPECT_EQ(BytesOf(back), (std::vector<BYTE>{'a', 0, 'b', 0}));
    EXPECT_TRUE(back == bytes) << "arrays compare by their elements";
    back.ChangeType(VT_ARRAY | VT_UI1); // the same type: nothing to do
    EXPECT_TRUE(back == bytes);
}

TEST(COleVariant, ByteArraysFromAndToCByteArray)
{
    CByteArray bytes;
    bytes.Add(1);
    bytes.Add(0);
    bytes.Add(255);
    const COleVariant v(bytes);
    ASSERT_EQ(v.vt, VT_ARRAY | VT_UI1);
    ASSERT_EQ(SafeArrayGetDim(v.parray), 1u);
    LONG lower = -1;
    SafeArrayGetLBound(v.parray, 1, &lower);
    EXPECT_EQ(lower, 0) << "the array starts at 0";
    EXPECT_EQ(BytesOf(v), (std::vector<BYTE>{1, 0, 255}));

    CByteArray back;
    v.GetByteArrayFromVariantArray(back);
    ASSERT_EQ(back.GetSize(), 3);
    EXPECT_EQ(back[2], 255);

    const COleVariant empty{CByteArray()};
    EXPECT_EQ(empty.vt, VT_ARRAY | VT_UI1) << "an empty array is still an array";
    empty.GetByteArrayFromVariantArray(back);
    EXPECT_EQ(back.GetSize(), 0);

    SCODE caught = S_OK;
    try
    {
        COleVariant(L"text").GetByteArrayFromVariantArray(back);
    }
    catch (CException* e)
    {
        caught = COleException::Process(e);
        e->Delete();
    }
    EXPECT_EQ(caught, DISP_E_TYPEMISMATCH);
}

TEST(COleVariant, AttachAndDetachMoveTheContent)
{
    VARIANT raw;
    VariantInit(&raw);
    raw.vt = VT_BSTR;
    raw.bstrVal = SysAllocString(L"moved");
    const BSTR original = raw.bstrVal;
    COleVariant v(5L);
    v.Attach(raw);
    EXPECT_EQ(raw.vt, VT_EMPTY) << "the source gives its content up";
    EXPECT_EQ(v.bstrVal, original) << "the same BSTR, not a copy";
    VARIANT out = v.Detach();
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(out.bstrVal, original);
    VariantClear(&out);
}

TEST(COleVariant, ComparisonIsExactAndTyped)
{
    EXPECT_TRUE(COleVariant(L"a") == COleVariant(L"a"));
    EXPECT_FALSE(COleVariant(L"a") == COleVariant(L"A")) << "texts compare exactly";
    EXPECT_FALSE(COleVariant(1L) == COleVariant(static_cast<short>(1))) << "types must match";
    EXPECT_TRUE(COleVariant() == COleVariant());
    EXPECT_TRUE(COleVariant(1.5) != COleVariant(2.5));
    COleVariant copy(COleVariant(L"copy"));
    COleVariant other;
    other = copy;
    EXPECT_TRUE(other == copy);
    EXPECT_NE(other.bstrVal, copy.bstrVal) << "a copy owns its own BSTR";
}

TEST(COleVariant, AssignmentKeepsBoolErrorAndDateTypes)
{
    COleVariant flag(true);
    flag = 0L;
    EXPECT_EQ(flag.vt, VT_BOOL);
    EXPECT_EQ(flag.boolVal, VARIANT_FALSE);
    COleVariant when(1.0, VT_DATE);
    when = 2.5;
    EXPECT_EQ(when.vt, VT_DATE);
    EXPECT_EQ(when.date, 2.5);
    COleVariant text(L"x");
    text = 3L;
    EXPECT_EQ(text.vt, VT_I4);
    EXPECT_EQ(text.lVal, 3);
}

TEST(CComBSTR, OwnsAndComparesTexts)
{
    CComBSTR empty;
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_TRUE(!empty);
    CComBSTR a(L"abc");
    CComBSTR b(a);
    EXPECT_NE(static_cast<BSTR>(a), static_cast<BSTR>(b)) << "copies own their BSTR";
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == L"abc");
    EXPECT_FALSE(a == CComBSTR(L"ABC")) << "comparison keeps case";
    EXPECT_TRUE(CComBSTR(L"") == CComBSTR()) << "an empty text equals a null BSTR";
    EXPECT_TRUE(CComBSTR(L"a") < CComBSTR(L"b"));
    a.Append(L"de");
    a += CComBSTR(L"f");
    a.Append(L'g');
    EXPECT_TRUE(a == L"abcdefg");
    EXPECT_EQ(a.Length(), 7u);
    EXPECT_TRUE(CComBSTR("ansi") == L"ansi");
    CComBSTR sized(3, L"xyz-ignored");
    EXPECT_TRUE(sized == L"xyz");

    BSTR taken = a.Detach();
    EXPECT_EQ(static_cast<BSTR>(a), nullptr);
    CComBSTR owner;
    owner.Attach(taken);
    EXPECT_EQ(static_cast<BSTR>(owner), taken);

    BSTR out = nullptr;
    EXPECT_EQ(owner.CopyTo(&out), S_OK);
    EXPECT_STREQ(out, L"abcdefg");
    SysFreeString(out);
    owner.ToUpper();
    EXPECT_TRUE(owner == L"ABCDEFG");
}

TEST(CComBSTR, OrdersAMapOfKeys)
{
    std::map<CComBSTR, int> keys;
    keys[CComBSTR(L"b")] = 2;
    keys[CComBSTR(L"a")] = 1;
    keys[CComBSTR(L"c")] = 3;
    keys[CComBSTR(L"a")] = 4; // the same key again
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_TRUE(keys.begin()->first == L"a");
    EXPECT_EQ(keys.begin()->second, 4);
}

TEST(CComVariant, HoldsValuesAndReportsFailuresAsResults)
{
    CComVariant b(true);
    EXPECT_EQ(b.vt, VT_BOOL);
    EXPECT_EQ(b.boolVal, VARIANT_TRUE);
    CComVariant i(5);
    EXPECT_EQ(i.vt, VT_I4);
    CComVariant s(L"12");
    EXPECT_EQ(s.vt, VT_BSTR);
    EXPECT_EQ(s.ChangeType(VT_I4), S_OK);
    EXPECT_TRUE(s == CComVariant(12));
    CComVariant bad(L"x");
    EXPECT_EQ(bad.ChangeType(VT_I4), DISP_E_TYPEMISMATCH) << "no exception, a result";
    EXPECT_TRUE(CComVariant(1) < CComVariant(2));
    EXPECT_FALSE(CComVariant(1) == CComVariant(1.0)) << "types must match";

    CComVariant copy(s);
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(copy.Detach(&out), S_OK);
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(out.vt, VT_I4);
    CComVariant back;
    EXPECT_EQ(back.Attach(&out), S_OK);
    EXPECT_EQ(out.vt, VT_EMPTY);
    EXPECT_EQ(back.lVal, 12);

    SAFEARRAY* array = MakeByteArray({1, 2, 3});
    CComVariant arrayCopy(array);
    SafeArrayDestroy(array);
    EXPECT_EQ(arrayCopy.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(BytesOf(arrayCopy), (std::vector<BYTE>{1, 2, 3})) << "the array was copied";
}
} // namespace
