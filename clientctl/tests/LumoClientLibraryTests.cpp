// LumoClient's classes and registration linked into this program, which stands in for the library
// (it carries the library's resources): what no client can reach through LumoClient.ocx, such as
// a call collection filled from records and a registration that fails half-way.
#include "DataObjectTestSupport.h"
#include "clientctl/CLumoClientCallCollection.h"
#include "clientctl/CLumoClientMap.h"
#include "clientctl/CLumoClientStringCollection.h"
#include "clientctl/module/CLumoClientLibModule.h"
#include "framework/CComQIPtr.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/CScratchRegistry.h"
#include "framework/testing/DispatchInvoke.h"
#include <gtest/gtest.h>
#include <vector>

namespace
{
// The library's module, watching each registry script's start: the thread locale it runs under,
// and a failure injected into the script of one call.
class CWatchedLibModule : public CLumoClientLibModule
{
public:
    HRESULT AddCommonRGSReplacements(CRegistrar* pRegistrar) noexcept override
    {
        m_locales.push_back(::GetThreadLocale());
        if (static_cast<int>(m_locales.size()) == m_nFailAt) return E_ACCESSDENIED;
        return CLumoClientLibModule::AddCommonRGSReplacements(pRegistrar);
    }
    std::vector<LCID> m_locales;
    int m_nFailAt = 0; // the script (1 = the module's own, counted over the whole run) that fails
};
CWatchedLibModule g_module;

constexpr const wchar_t* kScratch = L"Software\\LumoTests\\LumoClientLibrary";

DWORD SubkeyCount(HKEY key, const wchar_t* path)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExW(key, path, 0, KEY_READ, &h) != ERROR_SUCCESS) return 0;
    DWORD count = 0;
    ::RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    ::RegCloseKey(h);
    return count;
}

class LibraryRegistrationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_registry.IsRedirected()) << "RegOverridePredefKey did not redirect HKCR";
        g_module.m_locales.clear();
        g_module.m_nFailAt = 0;
    }
    void TearDown() override { g_module.DllUnregisterServer(); }
    CScratchRegistry m_registry{kScratch};
};
} // namespace

TEST_F(LibraryRegistrationTest, RunsUnderTheSystemLocaleAndGivesTheCallersBack)
{
    constexpr LCID kGerman = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    ASSERT_NE(::GetSystemDefaultLCID(), kGerman) << "the test needs a caller's locale other than the system's";
    const LCID before = ::GetThreadLocale();
    ASSERT_TRUE(::SetThreadLocale(kGerman));
    const HRESULT registered = g_module.DllRegisterServer();
    const LCID afterRegistering = ::GetThreadLocale();
    const HRESULT unregistered = g_module.DllUnregisterServer();
    const LCID afterUnregistering = ::GetThreadLocale();
    ::SetThreadLocale(before);

    EXPECT_EQ(registered, S_OK);
    EXPECT_EQ(unregistered, S_OK);
    EXPECT_EQ(afterRegistering, kGerman);
    EXPECT_EQ(afterUnregistering, kGerman);
    ASSERT_EQ(g_module.m_locales.size(), 16u) << "eight scripts each way: the module's and seven classes'";
    for (LCID lcid : g_module.m_locales)
        EXPECT_TRUE(lcid == LOCALE_SYSTEM_DEFAULT || lcid == ::GetSystemDefaultLCID()) << std::hex << lcid;
}

TEST_F(LibraryRegistrationTest, FailedScriptLeavesNothingWritten)
{
    for (int failAt : {1, 4, 7})
    {
        SCOPED_TRACE(failAt);
        g_module.m_locales.clear();
        g_module.m_nFailAt = failAt;
        EXPECT_EQ(g_module.DllInstall(TRUE, nullptr), E_ACCESSDENIED) << "the registration's own failure";
        EXPECT_GT(g_module.m_locales.size(), static_cast<size_t>(failAt)) << "the unregistration ran";
        const bool clsidKept = CScratchRegistry::KeyExists(m_registry.Classes(), L"CLSID");
        EXPECT_EQ(SubkeyCount(m_registry.Classes(), L""), clsidKept ? 1u : 0u) << "at most HKCR\\CLSID, never removed";
        EXPECT_EQ(SubkeyCount(m_registry.Classes(), L"CLSID"), 0u);
        EXPECT_FALSE(
            CScratchRegistry::KeyExists(m_registry.Classes(), L"TypeLib\\{2DB51A0F-E82B-4C20-87F1-9CABC29159D5}"));
    }
    g_module.m_nFailAt = 0;
    EXPECT_EQ(g_module.DllInstall(TRUE, nullptr), S_OK);
    EXPECT_EQ(SubkeyCount(m_registry.Classes(), L"CLSID"), 7u) << "the control and the six data classes";
}

namespace
{
CCall MakeCall(long nCallId, short nResult)
{
    CCall call;
    call.m_nCallId = nCallId;
    call.m_strTelephoneNumber = L"+4930123";
    call.m_nResult = nResult;
    call.m_nSubResult = -2;
    call.m_dtStartTimeUTC = COleDateTime(45000.5);
    return call;
}

class LibraryObjectTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(m_apartment.Result())); }
    CComApartment m_apartment;
};
} // namespace

TEST_F(LibraryObjectTest, CallCollectionFilledFromRecords)
{
    CComObject<CLumoClientCallCollection>* pCalls = nullptr;
    ASSERT_EQ(CComObject<CLumoClientCallCollection>::CreateInstance(&pCalls), S_OK);
    CComPtr<IDispatch> calls(static_cast<ILumoClientCallCollection*>(pCalls));
    CCallArray records;
    records.Add(MakeCall(11, -1));
    records.Add(MakeCall(12, 300));
    ASSERT_EQ(pCalls->AddCalls(records), S_OK);

    CComVariant count;
    EXPECT_EQ(InvokeMember(calls, DispId::kCount, DISPATCH_PROPERTYGET, {}, &count), S_OK);
    EXPECT_EQ(Render(count), L"I4:2");
    CComVariant first;
    ASSERT_EQ(InvokeMember(calls, DispId::kItem, DISPATCH_PROPERTYGET, {CComVariant(0L)}, &first), S_OK);
    EXPECT_EQ(Render(first), L"CALL:11") << "index 0 is the first record";
    CComVariant beyond(5L);
    EXPECT_EQ(InvokeMember(calls, DispId::kItem, DISPATCH_PROPERTYGET, {CComVariant(2L)}, &beyond), E_FAIL);

    struct FieldCase
    {
        DISPID id;
        const wchar_t* value;
    };
    const FieldCase fields[] = {
        {2, L"BSTR:+4930123"}, {3, L"DATE:45000.5"}, {7, L"I4:-1"}, {8, L"I4:-2"}, {10, L"DATE:0"}};
    for (const auto& f : fields)
    {
        SCOPED_TRACE(f.id);
        CComVariant value;
        EXPECT_EQ(InvokeMember(first.pdispVal, f.id, DISPATCH_PROPERTYGET, {}, &value), S_OK);
        EXPECT_EQ(Render(value), f.value);
    }
    CComQIPtr<IProvideClassInfo2> classInfo(first.pdispVal);
    ASSERT_TRUE(classInfo);
    GUID source{};
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), E_INVALIDARG) << "a call has no events";

    CComPtr<IEnumVARIANT> items = EnumeratorOf(calls);
    ASSERT_TRUE(items);
    EXPECT_EQ(Drain(items), (std::vector<std::wstring>{L"CALL:11", L"CALL:12"}));
}

// Early-bound, a failing Item still hands out a text, so a caller that ignores the result reads "".
TEST_F(LibraryObjectTest, StringCollectionItemOutsideGivesAnEmptyText)
{
    CComPtr<ILumoClientStringCollection> texts;
    ASSERT_EQ(CLumoClientStringCollection::CreateInstance(&texts), S_OK);
    const struct
    {
        long index;
        HRESULT hr;
    } cases[] = {{0, E_FAIL}, {-1, E_INVALIDARG}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.index);
        CComVariant item(42L);
        EXPECT_EQ(texts->get_Item(CComVariant(c.index), &item), c.hr);
        EXPECT_EQ(Render(item), L"BSTR:");
    }
}

// A script passes a variable by reference; the map must not keep a pointer into the caller's frame.
TEST_F(LibraryObjectTest, MapKeepsTheValueOfAVariableGivenByReference)
{
    CComPtr<ILumoClientMap> map;
    ASSERT_EQ(CLumoClientMap::CreateInstance(&map), S_OK);
    LONG variable = 5;
    VARIANT byReference;
    byReference.vt = VT_BYREF | VT_I4;
    byReference.plVal = &variable;
    ASSERT_EQ(map->Add(CComVariant(L"k"), byReference), S_OK);
    variable = 6;
    CComVariant value;
    ASSERT_EQ(map->get_Item(CComVariant(L"k"), &value), S_OK);
    EXPECT_EQ(Render(value), L"I4:5");
}
