// LumoClient's data objects created from LumoClient.ocx without registration, as a client creates
// them, and driven through IDispatch by their published DISPIDs.
#include "DataObjectTestSupport.h"
#include "framework/CComBSTR.h"
#include "framework/CComQIPtr.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/DispatchInvoke.h"
#include "framework/testing/ModuleExport.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <ocidl.h>
#include <optional>

namespace
{
// The published class ids (the IDL's header is the library's, not the client's).
const CLSID kMap = {0x93A9AE2D, 0xBC59, 0x4B3F, {0xAB, 0xFC, 0x80, 0x62, 0x1F, 0xC3, 0xF7, 0xB6}};
const CLSID kStrings = {0xC5515502, 0xBACC, 0x429E, {0x84, 0x83, 0x72, 0x26, 0x06, 0x7A, 0x51, 0x4B}};
const CLSID kMessage = {0x5C056C68, 0xB178, 0x4637, {0x93, 0xAD, 0xE9, 0x0A, 0xB7, 0xA3, 0x91, 0x19}};
const CLSID kEmail = {0xEA0DF7A5, 0x8ECA, 0x449D, {0xAA, 0xC4, 0x68, 0x7E, 0xD7, 0x56, 0xFC, 0xA8}};
const CLSID kCall = {0xA106549A, 0x9D2E, 0x449C, {0xBB, 0x25, 0xA4, 0xD9, 0xB9, 0x67, 0x5B, 0x49}};
const CLSID kCalls = {0xD863B0C4, 0x52AF, 0x417C, {0x94, 0x16, 0x64, 0xA8, 0x58, 0x5C, 0xF7, 0x0C}};
const CLSID kCtrl = {0x1A733E11, 0x6AAE, 0x4E30, {0x80, 0x34, 0xF4, 0x4B, 0x2B, 0x2B, 0xF6, 0x6D}};

struct DataClass
{
    const wchar_t* name;
    const CLSID* clsid;
};
const DataClass kDataClasses[] = {
    {L"LumoClientMap", &kMap},         {L"LumoClientStringCollection", &kStrings},
    {L"LumoClientMessage", &kMessage}, {L"LumoClientEmail", &kEmail},
    {L"LumoClientCall", &kCall},       {L"LumoClientCallCollection", &kCalls},
};

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kMethod = DISPATCH_METHOD;

class DataObjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(m_apartment.Result()));
        ASSERT_TRUE(m_context.IsActive()) << m_context.Error();
    }
    CComPtr<IDispatch> New(const CLSID& clsid)
    {
        CComPtr<IDispatch> object;
        EXPECT_EQ(object.CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER), S_OK);
        return object;
    }
    CComVariant NewValue(const CLSID& clsid) { return CComVariant(static_cast<IDispatch*>(New(clsid))); }

    CComApartment m_apartment;
    CActivationContextScope m_context{PathBesideProgram(L"LumoClient.manifest")};
};

// One member call of a table case: what it gives back (HRESULT, and the result rendered when given).
struct Step
{
    DISPID id;
    WORD flags;
    std::vector<CComVariant> args;
    HRESULT hr;
    std::optional<std::wstring> result;
};
struct EdgeCase
{
    const char* why;
    const CLSID* clsid;
    std::vector<Step> steps;
};

CComVariant Text(const wchar_t* text, UINT length)
{
    CComVariant value;
    value.vt = VT_BSTR;
    value.bstrVal = ::SysAllocStringLen(text, length);
    return value;
}
} // namespace

TEST(DataObjectActivation, ClassesAreUnknownWithoutTheManifest)
{
    CComApartment apartment;
    CComPtr<IDispatch> object;
    EXPECT_EQ(object.CoCreateInstance(kMap, nullptr, CLSCTX_INPROC_SERVER), REGDB_E_CLASSNOTREG)
        << "LumoClient is registered in this prefix; the registration-free tests would prove nothing";
}

TEST_F(DataObjectTest, EveryClassIsCreatedByClassIdAndBothProgIds)
{
    for (const auto& c : kDataClasses)
    {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + std::wcslen(c.name)));
        const std::wstring progId = std::wstring(L"LumoClientLib.") + c.name;
        for (const std::wstring& name : {progId, progId + L".1"})
        {
            CLSID clsid{};
            ASSERT_EQ(::CLSIDFromProgID(name.c_str(), &clsid), S_OK);
            CComPtr<IDispatch> object;
            EXPECT_EQ(object.CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER), S_OK);
        }
        CComPtr<IDispatch> object = New(*c.clsid);
        ASSERT_TRUE(object);
        CComPtr<ITypeInfo> info;
        ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
        CComBSTR interfaceName;
        info->GetDocumentation(MEMBERID_NIL, &interfaceName, nullptr, nullptr, nullptr);
        EXPECT_EQ(std::wstring(interfaceName), std::wstring(L"I") + c.name) << "answers its own dual interface";
        CComQIPtr<IProvideClassInfo2> classInfo(object.p);
        EXPECT_EQ(classInfo != nullptr, c.clsid == &kCall) << "only the call describes its class";
    }
}

TEST_F(DataObjectTest, EdgeCasesThroughDispatch)
{
    // The user locale's decimal point, in which GetValues writes a date.
    wchar_t point[8] = L".";
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, point, 8);
    const std::wstring date = std::wstring(L"45000") + point + L"25";
    using namespace DispId;
    const EdgeCase cases[] = {
        {"adding a key twice fails and keeps the first value",
         &kMap,
         {{kAdd, kMethod, {CComVariant(L"a"), CComVariant(1L)}, S_OK, {}},
          {kAdd, kMethod, {CComVariant(L"a"), CComVariant(2L)}, E_FAIL, {}},
          {kItem, kGet, {CComVariant(L"a")}, S_OK, L"I4:1"},
          {kCount, kGet, {}, S_OK, L"I4:1"}}},
        {"a number as key is stored as its text, found as number and as text",
         &kMap,
         {{kAdd, kMethod, {CComVariant(7L), CComVariant(L"seven")}, S_OK, {}},
          {kItem, kGet, {CComVariant(L"7")}, S_OK, L"BSTR:seven"},
          {kItem, kGet, {CComVariant(7L)}, S_OK, L"BSTR:seven"},
          {kContainsKey, kMethod, {CComVariant(7L)}, S_OK, L"BOOL:-1"},
          {kContainsKey, kMethod, {CComVariant(L"8")}, S_OK, L"BOOL:0"},
          {kGetKeys, kMethod, {}, S_OK, L"TEXTS:7"}}},
        {"a missing key, a removed key and a cleared map",
         &kMap,
         {{kItem, kGet, {CComVariant(L"x")}, E_FAIL, {}},
          {kAdd, kMethod, {CComVariant(L"x"), CComVariant(1L)}, S_OK, {}},
          {kAdd, kMethod, {CComVariant(L"y"), CComVariant(2L)}, S_OK, {}},
          {kRemove, kMethod, {CComVariant(L"x")}, S_OK, {}},
          {kRemove, kMethod, {CComVariant(L"x")}, E_FAIL, {}},
          {kGetKeys, kMethod, {}, S_OK, L"TEXTS:y"},
          {kClear, kMethod, {}, S_OK, {}},
          {kCount, kGet, {}, S_OK, L"I4:0"}}},
        {"values as texts: an object has none, numbers in the locale's form, a flag as 1",
         &kMap,
         {{kAdd, kMethod, {CComVariant(L"1 list"), NewValue(kStrings)}, S_OK, {}},
          {kAdd, kMethod, {CComVariant(L"2 number"), CComVariant(42L)}, S_OK, {}},
          {kAdd, kMethod, {CComVariant(L"3 date"), CComVariant(45000.25, VT_DATE)}, S_OK, {}},
          {kAdd, kMethod, {CComVariant(L"4 flag"), CComVariant(true)}, S_OK, {}},
          {kAdd, kMethod, {CComVariant(L"5 big"), CComVariant(LONGLONG(5))}, S_OK, {}},
          {kGetValues, kMethod, {}, S_OK, L"TEXTS:|42|" + date + L"|1|"}}},
        {"string collection: Item 0 of an empty one, Item -1, and an index given as text",
         &kStrings,
         {{kItem, kGet, {CComVariant(0L)}, E_FAIL, {}},
          {kItem, kGet, {CComVariant(-1L)}, E_INVALIDARG, {}},
          {kItem, kGet, {CComVariant(L"zero")}, E_FAIL, {}},
          {kAdd, kMethod, {CComVariant(L"first")}, S_OK, {}},
          {kAdd, kMethod, {CComVariant(L"second")}, S_OK, {}},
          {kItem, kGet, {CComVariant(L"1")}, S_OK, L"BSTR:second"},
          {kItem, kGet, {CComVariant(2L)}, E_FAIL, {}}}},
        {"string collection: Remove at Count removes nothing, Remove 0 the first",
         &kStrings,
         {{kAdd, kMethod, {CComVariant(L"a")}, S_OK, {}},
          {kAdd, kMethod, {CComVariant(L"b")}, S_OK, {}},
          {kRemove, kMethod, {CComVariant(2L)}, E_INVALIDARG, {}},
          {kRemove, kMethod, {CComVariant(-1L)}, E_INVALIDARG, {}},
          {kRemove, kMethod, {CComVariant(L"x")}, E_FAIL, {}},
          {kCount, kGet, {}, S_OK, L"I4:2"},
          {kRemove, kMethod, {CComVariant(0L)}, S_OK, {}},
          {kItem, kGet, {CComVariant(0L)}, S_OK, L"BSTR:b"},
          {kClear, kMethod, {}, S_OK, {}},
          {kCount, kGet, {}, S_OK, L"I4:0"}}},
        {"string collection: a number is refused, a text is kept up to its first NUL",
         &kStrings,
         {{kAdd, kMethod, {CComVariant(5L)}, E_FAIL, {}},
          {kAdd, kMethod, {Text(L"ab\0cd", 5)}, S_OK, {}},
          {kCount, kGet, {}, S_OK, L"I4:1"},
          {kItem, kGet, {CComVariant(0L)}, S_OK, L"BSTR:ab"}}},
        {"a client's call collection is empty: Item 0 is Count",
         &kCalls,
         {{kCount, kGet, {}, S_OK, L"I4:0"},
          {kItem, kGet, {CComVariant(0L)}, E_FAIL, {}},
          {kItem, kGet, {CComVariant(-1L)}, E_FAIL, {}}}},
        {"a new message: From 0, To 0, empty texts, an empty attachments map; the fields keep what is put",
         &kMessage,
         {{1, kGet, {}, S_OK, L"I4:0"},
          {2, kGet, {}, S_OK, L"I4:0"},
          {3, kGet, {}, S_OK, L"BSTR:"},
          {5, kGet, {}, S_OK, L"TEXTS:"},
          {2, kPut, {CComVariant(17L)}, S_OK, {}},
          {4, kPut, {CComVariant(L"hello")}, S_OK, {}},
          {2, kGet, {}, S_OK, L"I4:17"},
          {4, kGet, {}, S_OK, L"BSTR:hello"}}},
        {"a new e-mail: MailType 0 and empty lists; any MailType is kept",
         &kEmail,
         {{6, kGet, {}, S_OK, L"I4:0"},
          {1, kGet, {}, S_OK, L"TEXTS:"},
          {8, kGet, {}, S_OK, L"TEXTS:"},
          {6, kPut, {CComVariant(7L)}, S_OK, {}},
          {6, kGet, {}, S_OK, L"I4:7"},
          {5, kPut, {CComVariant(L"me@example.org")}, S_OK, {}},
          {5, kGet, {}, S_OK, L"BSTR:me@example.org"}}},
        {"a client-created call holds an empty record",
         &kCall,
         {{1, kGet, {}, S_OK, L"I4:0"},
          {2, kGet, {}, S_OK, L"BSTR:"},
          {3, kGet, {}, S_OK, L"DATE:0"},
          {7, kGet, {}, S_OK, L"I4:0"},
          {10, kGet, {}, S_OK, L"DATE:0"}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CComPtr<IDispatch> object = New(*c.clsid);
        ASSERT_TRUE(object);
        for (size_t i = 0; i < c.steps.size(); ++i)
        {
            const Step& s = c.steps[i];
            SCOPED_TRACE(testing::Message() << "step " << i << ", DISPID " << s.id);
            CComVariant result;
            EXPECT_EQ(InvokeMember(object, s.id, s.flags, s.args, s.flags == kPut ? nullptr : &result), s.hr);
            if (s.result)
            {
                const std::wstring rendered = Render(result);
                EXPECT_EQ(std::string(rendered.begin(), rendered.end()),
                          std::string(s.result->begin(), s.result->end()));
            }
        }
    }
}

TEST_F(DataObjectTest, EmailKeepsAddressesAddedThroughAReleasedCollection)
{
    CComPtr<IDispatch> mail = New(kEmail);
    {
        CComVariant to;
        ASSERT_EQ(InvokeMember(mail, 1, kGet, {}, &to), S_OK);
        ASSERT_EQ(to.vt, VT_DISPATCH);
        EXPECT_EQ(InvokeMember(to.pdispVal, DispId::kAdd, kMethod, {CComVariant(L"a@example.org")}), S_OK);
        EXPECT_EQ(InvokeMember(to.pdispVal, DispId::kAdd, kMethod, {CComVariant(L"b@example.org")}), S_OK);
    } // the client's reference goes
    CComVariant to;
    ASSERT_EQ(InvokeMember(mail, 1, kGet, {}, &to), S_OK);
    EXPECT_EQ(Render(to), L"TEXTS:a@example.org|b@example.org");
    CComVariant cc;
    ASSERT_EQ(InvokeMember(mail, 2, kGet, {}, &cc), S_OK);
    EXPECT_EQ(Render(cc), L"TEXTS:") << "each list is its own";
}

// Keys collate as the user's locale does, case-sensitively: a and A are two keys.
TEST_F(DataObjectTest, KeysComeBackInTheUserLocalesCollation)
{
    CComPtr<IDispatch> map = New(kMap);
    for (const wchar_t* key : {L"b", L"A", L"a"})
        ASSERT_EQ(InvokeMember(map, DispId::kAdd, kMethod, {CComVariant(key), CComVariant(key)}), S_OK);
    std::vector<std::wstring> expected = {L"b", L"A", L"a"};
    std::sort(expected.begin(), expected.end(), [](const std::wstring& x, const std::wstring& y) {
        return ::CompareStringW(LOCALE_USER_DEFAULT, 0, x.c_str(), -1, y.c_str(), -1) == CSTR_LESS_THAN;
    });
    CComVariant keys;
    ASSERT_EQ(InvokeMember(map, DispId::kGetKeys, kMethod, {}, &keys), S_OK);
    EXPECT_EQ(Render(keys), L"TEXTS:" + expected[0] + L"|" + expected[1] + L"|" + expected[2]);
    EXPECT_EQ(expected, (std::vector<std::wstring>{L"a", L"A", L"b"})) << "Wine's collation differs from Windows'";
    CComPtr<IEnumVARIANT> values = EnumeratorOf(map);
    ASSERT_TRUE(values);
    EXPECT_EQ(Drain(values),
              (std::vector<std::wstring>{L"BSTR:" + expected[0], L"BSTR:" + expected[1], L"BSTR:" + expected[2]}))
        << "the enumerator gives the values in key order";
}

TEST_F(DataObjectTest, MapEnumeratesASnapshotAndTheStringCollectionItsLiveList)
{
    CComPtr<IDispatch> map = New(kMap);
    CComPtr<IDispatch> texts = New(kStrings);
    for (const wchar_t* text : {L"1", L"2", L"3"})
    {
        ASSERT_EQ(InvokeMember(map, DispId::kAdd, kMethod, {CComVariant(text), CComVariant(text)}), S_OK);
        ASSERT_EQ(InvokeMember(texts, DispId::kAdd, kMethod, {CComVariant(text)}), S_OK);
    }
    CComPtr<IEnumVARIANT> mapItems = EnumeratorOf(map);
    CComPtr<IEnumVARIANT> textItems = EnumeratorOf(texts);
    ASSERT_TRUE(mapItems && textItems);
    ASSERT_EQ(InvokeMember(map, DispId::kAdd, kMethod, {CComVariant(L"4"), CComVariant(L"4")}), S_OK);
    ASSERT_EQ(InvokeMember(texts, DispId::kAdd, kMethod, {CComVariant(L"4")}), S_OK);
    map.Release(); // the enumerators keep what they read alive
    texts.Release();

    for (IEnumVARIANT* items : {mapItems.p, textItems.p})
    {
        const bool live = items == textItems.p;
        SCOPED_TRACE(live ? "string collection" : "map");
        const ULONG total = live ? 4 : 3;
        VARIANT batch[8];
        ULONG fetched = 99;
        EXPECT_EQ(items->Next(8, batch, &fetched), S_FALSE) << "more asked than remain";
        EXPECT_EQ(fetched, total);
        for (ULONG i = 0; i < fetched; ++i)
            ::VariantClear(&batch[i]);
        EXPECT_EQ(items->Reset(), S_OK);
        EXPECT_EQ(items->Skip(1), S_OK);
        CComPtr<IEnumVARIANT> clone;
        ASSERT_EQ(items->Clone(&clone), S_OK);
        std::vector<std::wstring> rest = {L"BSTR:2", L"BSTR:3"};
        if (live) rest.push_back(L"BSTR:4");
        EXPECT_EQ(Drain(clone), rest) << "a clone starts where its original stands";
        EXPECT_EQ(Drain(items), rest);
        EXPECT_EQ(items->Skip(1), S_FALSE) << "skipping past the end";
    }
}

namespace
{
// An outer object that aggregates one LumoClient object and counts its own references.
class CTestOuter : public IUnknown
{
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override
    {
        if (::IsEqualGUID(iid, IID_IUnknown))
        {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_inner ? m_inner->QueryInterface(iid, ppv) : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_nRefs; }
    STDMETHOD_(ULONG, Release)() override { return --m_nRefs; } // lives on the test's stack
    ULONG m_nRefs = 1;
    CComPtr<IUnknown> m_inner;
};
} // namespace

TEST_F(DataObjectTest, EveryClassCanBeAggregated)
{
    for (const auto& c : kDataClasses)
    {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + std::wcslen(c.name)));
        CTestOuter outer;
        ASSERT_EQ(::CoCreateInstance(*c.clsid, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&outer.m_inner)),
                  S_OK);
        EXPECT_EQ(outer.m_nRefs, 1u) << "the inner object holds no reference on its outer";
        CComPtr<IDispatch> dispatch;
        ASSERT_EQ(outer.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
        EXPECT_EQ(outer.m_nRefs, 2u) << "an interface of the inner object counts on the outer";
        CComPtr<IUnknown> identity;
        ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
        EXPECT_EQ(identity.p, static_cast<IUnknown*>(&outer)) << "the identity is the outer object";
        identity.Release();
        CComVariant count;
        if (c.clsid == &kMap || c.clsid == &kStrings || c.clsid == &kCalls)
        {
            EXPECT_EQ(InvokeMember(dispatch, DispId::kCount, kGet, {}, &count), S_OK);
            EXPECT_EQ(Render(count), L"I4:0");
        }
        dispatch.Release();
        EXPECT_EQ(outer.m_nRefs, 1u);
        outer.m_inner.Release();
    }
}

// The control as the seventh class: made inside a test outer, it keeps the library loaded while it lives.
TEST_F(DataObjectTest, TheControlCanBeAggregatedAndKeepsTheLibraryWhileItLives)
{
    CTestOuter outer;
    ASSERT_EQ(
        ::CoCreateInstance(kCtrl, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&outer.m_inner)),
        S_OK);
    HMODULE hLibrary = ::GetModuleHandleW(L"LumoClient.ocx");
    ASSERT_NE(hLibrary, nullptr);
    auto canUnloadNow = ModuleExport<HRESULT(STDAPICALLTYPE*)()>(hLibrary, "DllCanUnloadNow");
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    EXPECT_EQ(outer.m_nRefs, 1u) << "the inner control holds no reference on its outer";
    CComPtr<IDispatch> dispatch;
    ASSERT_EQ(outer.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    CComPtr<IUnknown> identity;
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity.p, static_cast<IUnknown*>(&outer)) << "the identity is the outer object";
    identity.Release();
    CComVariant state;
    EXPECT_EQ(InvokeMember(dispatch, 5, kGet, {}, &state), S_OK); // LumoConnectionState
    EXPECT_EQ(Render(state), L"I4:0");
    dispatch.Release();
    EXPECT_EQ(outer.m_nRefs, 1u);
    outer.m_inner.Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(DataObjectTest, LibraryCannotUnloadWhileAnyObjectLives)
{
    for (const auto& c : kDataClasses)
    {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + std::wcslen(c.name)));
        CComPtr<IDispatch> object = New(*c.clsid);
        HMODULE hLibrary = ::GetModuleHandleW(L"LumoClient.ocx");
        ASSERT_NE(hLibrary, nullptr);
        auto canUnloadNow = ModuleExport<HRESULT(STDAPICALLTYPE*)()>(hLibrary, "DllCanUnloadNow");
        ASSERT_NE(canUnloadNow, nullptr);
        EXPECT_EQ(canUnloadNow(), S_FALSE);
        object.Release();
        EXPECT_EQ(canUnloadNow(), S_OK);
    }
}
