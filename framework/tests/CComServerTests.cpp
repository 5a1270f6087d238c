// Drives the COM test server (ComTestServer.dll beside this program) the way a client does:
// through its exports, COM creation under the server's manifest, IDispatch and connection points.
#include "framework/CComBSTR.h"
#include "framework/CComPtr.h"
#include "framework/CComQIPtr.h"
#include "framework/CComVariant.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/CRecordingSink.h"
#include "framework/testing/DispatchInvoke.h"
#include "framework/testing/ModuleExport.h"
#include "ComTestServer.h"
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

namespace
{
constexpr const wchar_t* kServerDll = L"ComTestServer.dll";

using DllCanUnloadNowFunction = HRESULT(WINAPI*)();
using DllGetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using StartLockedThreadFunction = BOOL(WINAPI*)(HANDLE);

// A number the test server left in the environment; 0 when there is none.
DWORD EnvironmentNumber(const wchar_t* name)
{
    wchar_t value[16] = L"";
    if (!::GetEnvironmentVariableW(name, value, 16)) return 0;
    return static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done())
    {
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(10);
    }
    return true;
}
} // namespace

// First in the file: it needs a process in which nothing has loaded the server yet.
TEST(ComServerModule, CanUnloadOnlyWhenNothingHoldsItAndLoadsAgain)
{
    ASSERT_EQ(::GetModuleHandleW(kServerDll), nullptr) << "an earlier test left the server loaded";
    ::SetEnvironmentVariableW(L"COMTESTSERVER_INIT_THREAD", nullptr);
    ::SetEnvironmentVariableW(L"COMTESTSERVER_EXIT_THREAD", nullptr);
    const std::wstring path = PathBesideProgram(kServerDll);
    {
        CLibraryHandle server(::LoadLibraryW(path.c_str()));
        ASSERT_TRUE(server.IsValid()) << ::GetLastError();
        auto canUnload = ModuleExport<DllCanUnloadNowFunction>(server, "DllCanUnloadNow");
        auto getClassObject = ModuleExport<DllGetClassObjectFunction>(server, "DllGetClassObject");
        auto startLockedThread = ModuleExport<StartLockedThreadFunction>(server, "ComTestServerStartLockedThread");
        ASSERT_TRUE(canUnload && getClassObject && startLockedThread);
        EXPECT_EQ(canUnload(), S_OK);

        CComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_TestControl, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        EXPECT_EQ(canUnload(), S_FALSE) << "a class factory is alive";
        CComPtr<ITestControl> control;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITestControl, reinterpret_cast<void**>(&control)), S_OK);
        factory.Release();
        EXPECT_EQ(canUnload(), S_FALSE) << "an object is alive";
        // Neither registered nor under an activation context: the type information is the DLL's own.
        CComQIPtr<IDispatch> dispatch(control.p);
        ASSERT_TRUE(dispatch);
        EXPECT_EQ(DispIdOfName(dispatch, L"FirePing"), 4);
        dispatch.Release();
        control.Release();
        EXPECT_EQ(canUnload(), S_OK);

        ASSERT_EQ(getClassObject(CLSID_TestControl, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
        factory.Release();
        EXPECT_EQ(canUnload(), S_FALSE) << "the server is locked";
        ASSERT_EQ(getClassObject(CLSID_TestControl, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        EXPECT_EQ(factory->LockServer(FALSE), S_OK);
        factory.Release();
        EXPECT_EQ(canUnload(), S_OK);

        CComPtr<IUnknown> unknown;
        EXPECT_EQ(getClassObject(GUID_NULL, IID_IClassFactory, reinterpret_cast<void**>(&unknown)),
                  CLASS_E_CLASSNOTAVAILABLE);

        CKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(startLockedThread(release));
        EXPECT_EQ(canUnload(), S_FALSE) << "a thread of the server is running";
        ::SetEvent(release);
        EXPECT_TRUE(WaitUntil([&] { return canUnload() == S_OK; }));
    }
    // The thread's own reference goes with its last instruction; then the file is unmapped.
    EXPECT_TRUE(WaitUntil([] { return ::GetModuleHandleW(kServerDll) == nullptr; })) << "the server stayed loaded";
    EXPECT_EQ(EnvironmentNumber(L"COMTESTSERVER_INIT_THREAD"), ::GetCurrentThreadId())
        << "InitInstance not on the loading thread";
    EXPECT_NE(EnvironmentNumber(L"COMTESTSERVER_EXIT_THREAD"), 0u) << "ExitInstance did not run at unload";

    CLibraryHandle again(::LoadLibraryW(path.c_str()));
    ASSERT_TRUE(again.IsValid());
    auto getClassObject = ModuleExport<DllGetClassObjectFunction>(again, "DllGetClassObject");
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_TestControl, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    CComPtr<ITestControl> control;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ITestControl, reinterpret_cast<void**>(&control)), S_OK);
}

TEST(ComServerModule, RefusedInitInstanceFailsTheLoad)
{
    const std::wstring path = PathBesideProgram(kServerDll);
    ASSERT_TRUE(::SetEnvironmentVariableW(L"COMTESTSERVER_REFUSE_LOAD", L"1"));
    CLibraryHandle refused(::LoadLibraryW(path.c_str()));
    ::SetEnvironmentVariableW(L"COMTESTSERVER_REFUSE_LOAD", nullptr);
    EXPECT_FALSE(refused.IsValid()) << "InitInstance said FALSE, yet the server loaded";
    EXPECT_EQ(::GetModuleHandleW(kServerDll), nullptr);
    CLibraryHandle loaded(::LoadLibraryW(path.c_str()));
    EXPECT_TRUE(loaded.IsValid());
}

// Every other test works with the server's classes created registration-free.
class ComServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(m_apartment.Result()));
        ASSERT_TRUE(m_context.IsActive()) << m_context.Error();
        ASSERT_EQ(m_control.CoCreateInstance(CLSID_TestControl, nullptr, CLSCTX_INPROC_SERVER), S_OK);
    }
    void TearDown() override
    {
        for (CRecordingSink* sink : m_sinks)
        {
            sink->Unadvise();
            sink->Release();
        }
    }
    // A sink advised to the control; the fixture releases it.
    CRecordingSink* AdvisedSink(bool bAnswerEventsIid = true)
    {
        CRecordingSink* sink = CRecordingSink::Create(DIID__ITestEvents, bAnswerEventsIid);
        m_sinks.push_back(sink);
        EXPECT_EQ(sink->Advise(m_control), S_OK);
        return sink;
    }
    LONG Ping(LONG n)
    {
        LONG lastResult = -1;
        EXPECT_EQ(m_control->FirePing(n, &lastResult), S_OK);
        return lastResult;
    }

    CComApartment m_apartment;
    CActivationContextScope m_context{PathBesideProgram(L"ComTestServer.manifest")};
    CComPtr<ITestControl> m_control;
    std::vector<CRecordingSink*> m_sinks;
};

TEST(ComServerActivation, ClassesAreUnknownWithoutTheManifest)
{
    CComApartment apartment;
    CComPtr<ITestControl> control;
    EXPECT_EQ(control.CoCreateInstance(CLSID_TestControl, nullptr, CLSCTX_INPROC_SERVER), REGDB_E_CLASSNOTREG)
        << "the test server is registered in this prefix; the registration-free tests would prove nothing";
    CLSID clsid{};
    EXPECT_FALSE(SUCCEEDED(::CLSIDFromProgID(L"ComTestServer.TestControl.1", &clsid)));
}

// Under an activation context the ProgID may resolve to an alias of the CLSID that only the
// context knows (Wine makes one per class), so what counts is what the CLSID creates.
TEST_F(ComServerTest, CreatesByClassIdAndByProgIdUnderTheManifest)
{
    struct ProgIdCase
    {
        const wchar_t* progId;
        const IID& iid;
    };
    const ProgIdCase cases[] = {
        {L"ComTestServer.TestControl.1", IID_ITestControl},
        {L"ComTestServer.TestControl", IID_ITestControl},
        {L"ComTestServer.TestCollection.1", IID_ITestCollection},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.progId);
        CLSID clsid{};
        ASSERT_EQ(::CLSIDFromProgID(c.progId, &clsid), S_OK);
        CComPtr<IUnknown> object;
        ASSERT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, c.iid, reinterpret_cast<void**>(&object)),
                  S_OK);
    }
    CLSID clsid{};
    EXPECT_FALSE(SUCCEEDED(::CLSIDFromProgID(L"ComTestServer.NoSuchClass", &clsid)));
}

TEST_F(ComServerTest, QueryInterfaceAnswersTheMapAndKeepsIdentity)
{
    CComQIPtr<IDispatch> dispatch(m_control.p);
    CComQIPtr<IConnectionPointContainer> container(m_control.p);
    CComQIPtr<IProvideClassInfo2> classInfo(m_control.p);
    ASSERT_TRUE(dispatch && container && classInfo);
    CComQIPtr<IPersist> persist(m_control.p);
    EXPECT_FALSE(persist) << "no persistence interface";
    CComQIPtr<IUnknown> one(dispatch.p), two(container.p);
    EXPECT_EQ(one.p, two.p) << "every interface leads to one IUnknown";

    GUID guid{};
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
    EXPECT_TRUE(::IsEqualGUID(guid, DIID__ITestEvents));
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 1, &guid), E_INVALIDARG);
    EXPECT_TRUE(::IsEqualGUID(guid, GUID_NULL));
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr), E_POINTER);
    CComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(&coclass), S_OK);
    TYPEATTR* pAttr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&pAttr), S_OK);
    EXPECT_EQ(pAttr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(::IsEqualGUID(pAttr->guid, CLSID_TestControl));
    coclass->ReleaseTypeAttr(pAttr);
}

TEST_F(ComServerTest, DispatchFollowsTheTypeLibrary)
{
    CComQIPtr<IDispatch> dispatch(m_control.p);
    ASSERT_TRUE(dispatch);
    HRESULT hr = S_OK;
    EXPECT_EQ(DispIdOfName(dispatch, L"Add", &hr), 2);
    EXPECT_EQ(DispIdOfName(dispatch, L"NoSuchMember", &hr), DISPID_UNKNOWN);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(InvokeByDispId(dispatch, 99, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);

    struct AddCase
    {
        std::vector<CComVariant> args;
        LONG sum;
        const char* why;
    };
    const AddCase cases[] = {
        {{CComVariant(7L)}, 12, "the omitted optional argument arrives as its default, 5"},
        {{CComVariant(7L), CComVariant(1L)}, 8, "both given"},
        {{CComVariant(L"30"), CComVariant(short(2))}, 32, "a text and a short are coerced to LONG"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CComVariant result;
        ASSERT_EQ(InvokeByDispId(dispatch, 2, DISPATCH_METHOD, c.args, &result), S_OK);
        EXPECT_EQ(result.vt, VT_I4);
        EXPECT_EQ(result.lVal, c.sum);
    }
    UINT argErr = 99;
    EXPECT_EQ(InvokeByDispId(dispatch, 2, DISPATCH_METHOD, {CComVariant(L"not a number")}, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);

    // The property through IDispatch and through the vtable is one property.
    ASSERT_EQ(InvokeByDispId(dispatch, 1, DISPATCH_PROPERTYPUT, {CComVariant(L"from dispatch")}), S_OK);
    CComBSTR caption;
    ASSERT_EQ(m_control->get_Caption(&caption), S_OK);
    EXPECT_STREQ(caption, L"from dispatch");
    ASSERT_EQ(m_control->put_Caption(CComBSTR(L"from vtable")), S_OK);
    CComVariant got;
    ASSERT_EQ(InvokeByDispId(dispatch, 1, DISPATCH_PROPERTYGET, {}, &got), S_OK);
    ASSERT_EQ(got.vt, VT_BSTR);
    EXPECT_STREQ(got.bstrVal, L"from vtable");
    LONG sum = 0;
    EXPECT_EQ(m_control->Add(40, 2, &sum), S_OK);
    EXPECT_EQ(sum, 42);
}

TEST_F(ComServerTest, EventArgumentsArriveLastFirstWithTheirTypes)
{
    CRecordingSink* sink = AdvisedSink();
    ASSERT_EQ(m_control->FireEverything(), S_OK);
    ASSERT_EQ(sink->m_calls.size(), 1u);
    const auto& call = sink->m_calls[0];
    EXPECT_EQ(call.dispId, 1);
    EXPECT_FALSE(call.hadResult);
    ASSERT_EQ(call.args.size(), 7u);
    const auto& a = call.args;
    ASSERT_EQ(a[6].vt, VT_I2);
    EXPECT_EQ(a[6].value.iVal, -2);
    ASSERT_EQ(a[5].vt, VT_I4);
    EXPECT_EQ(a[5].value.lVal, -4);
    ASSERT_EQ(a[4].vt, VT_UI4);
    EXPECT_EQ(a[4].value.ulVal, 4000000000UL);
    ASSERT_EQ(a[3].vt, VT_BOOL);
    EXPECT_EQ(a[3].value.boolVal, VARIANT_TRUE);
    ASSERT_EQ(a[2].vt, VT_BSTR);
    EXPECT_STREQ(a[2].value.bstrVal, L"text");
    ASSERT_EQ(a[1].vt, VT_DISPATCH);
    CComQIPtr<ITestCollection> collection(a[1].value.pdispVal);
    ASSERT_TRUE(collection);
    LONG count = 0;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(a[0].vt, VT_BYREF | VT_VARIANT);
    EXPECT_EQ(a[0].innerVt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(a[0].bytes, (std::vector<BYTE>{1, 2, 3, 250}));
}

TEST_F(ComServerTest, FailingSinkStopsNoOtherAndTheLastResultIsKept)
{
    CRecordingSink* first = AdvisedSink();
    CRecordingSink* failing = AdvisedSink();
    CRecordingSink* last = AdvisedSink();
    failing->m_onInvoke = [](const CRecordingSink::Call&) { return E_FAIL; };
    last->m_onInvoke = [](const CRecordingSink::Call&) { return DISP_E_MEMBERNOTFOUND; };
    EXPECT_EQ(Ping(1), DISP_E_MEMBERNOTFOUND) << "the last sink's result";
    EXPECT_EQ(first->m_calls.size(), 1u);
    EXPECT_EQ(failing->m_calls.size(), 1u);
    EXPECT_EQ(last->m_calls.size(), 1u) << "the failing sink stopped the delivery";
    last->m_onInvoke = nullptr;
    EXPECT_EQ(Ping(2), S_OK);
}

TEST_F(ComServerTest, SinkUnadvisingItselfDuringAnEventIsSkippedAfterwards)
{
    CRecordingSink* first = AdvisedSink();
    CRecordingSink* leaving = AdvisedSink();
    CRecordingSink* after = AdvisedSink();
    leaving->m_onInvoke = [leaving](const CRecordingSink::Call&) { return leaving->Unadvise(); };
    Ping(1);
    EXPECT_EQ(leaving->m_calls.size(), 1u);
    EXPECT_EQ(after->m_calls.size(), 1u) << "a later sink missed the event its predecessor left in";
    Ping(2);
    EXPECT_EQ(first->m_calls.size(), 2u);
    EXPECT_EQ(leaving->m_calls.size(), 1u) << "the empty slot was called";
    EXPECT_EQ(after->m_calls.size(), 2u);

    CComQIPtr<IConnectionPointContainer> container(m_control.p);
    CComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(DIID__ITestEvents, &point), S_OK);
    CComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[4]{};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(4, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].dwCookie, first->Cookie());
    EXPECT_EQ(data[1].dwCookie, after->Cookie());
    for (ULONG i = 0; i < fetched; ++i)
        data[i].pUnk->Release();
}

TEST_F(ComServerTest, ConnectionPointRulesForSinksAndInterfaces)
{
    CRecordingSink* dispatchOnly = AdvisedSink(false);
    EXPECT_NE(dispatchOnly->Cookie(), 0u) << "a sink answering only IDispatch connects";
    Ping(7);
    ASSERT_EQ(dispatchOnly->m_calls.size(), 1u);
    EXPECT_EQ(dispatchOnly->m_calls[0].dispId, 2);

    CComQIPtr<IConnectionPointContainer> container(m_control.p);
    CComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(IID_ITestControl, &point), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(DIID__ITestEvents, &point), S_OK);
    IID iid{};
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(::IsEqualIID(iid, DIID__ITestEvents));
    CComPtr<IConnectionPointContainer> back;
    EXPECT_EQ(point->GetConnectionPointContainer(&back), S_OK);
    EXPECT_EQ(CComQIPtr<IUnknown>(back.p).p, CComQIPtr<IUnknown>(m_control.p).p);

    CComPtr<IEnumVARIANT> notASink; // answers neither the events interface nor IDispatch
    CComPtr<ITestCollection> collection;
    ASSERT_EQ(collection.CoCreateInstance(CLSID_TestCollection, nullptr, CLSCTX_INPROC_SERVER), S_OK);
    CComPtr<IUnknown> enumerator;
    ASSERT_EQ(collection->get__NewEnum(&enumerator), S_OK);
    DWORD cookie = 123;
    EXPECT_EQ(point->Advise(enumerator, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Unadvise(999), CONNECT_E_NOCONNECTION);

    CComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint* found[2]{};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, found, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(found[0], point.p);
    found[0]->Release();
}

TEST_F(ComServerTest, NoSinkFiresNothingAndSucceeds)
{
    EXPECT_EQ(Ping(1), S_OK);
    EXPECT_EQ(m_control->FireEverything(), S_OK);
}

namespace
{
// An outer object that aggregates the test control and hands out its interfaces as its own.
class COuterObject : public IUnknown
{
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (::IsEqualIID(iid, IID_IUnknown))
        {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_inner ? m_inner->QueryInterface(iid, ppv) : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++m_nRef); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--m_nRef); } // lives on the stack
    LONG m_nRef = 1;
    CComPtr<IUnknown> m_inner;
};
} // namespace

TEST_F(ComServerTest, AggregatedControlKeepsTheOuterIdentity)
{
    COuterObject outer;
    ASSERT_EQ(::CoCreateInstance(CLSID_TestControl, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&outer.m_inner)),
              S_OK);
    {
        CComPtr<ITestControl> control;
        ASSERT_EQ(outer.QueryInterface(IID_ITestControl, reinterpret_cast<void**>(&control)), S_OK);
        EXPECT_EQ(outer.m_nRef, 2) << "an inner interface counts on the outer object";
        IUnknown* identity = nullptr;
        ASSERT_EQ(control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
        EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
        identity->Release();
        LONG sum = 0;
        EXPECT_EQ(control->Add(1, 2, &sum), S_OK);
        EXPECT_EQ(sum, 3);
    }
    EXPECT_EQ(outer.m_nRef, 1);
    outer.m_inner.Release();

    CComPtr<ITestControl> refused;
    EXPECT_EQ(::CoCreateInstance(CLSID_TestControl, &outer, CLSCTX_INPROC_SERVER, IID_ITestControl,
                                 reinterpret_cast<void**>(&refused)),
              CLASS_E_NOAGGREGATION)
        << "an aggregate may only be asked for IUnknown";
    CComPtr<IUnknown> collection;
    EXPECT_EQ(::CoCreateInstance(CLSID_TestCollection, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&collection)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(outer.m_nRef, 1);
}

TEST_F(ComServerTest, CollectionIndexesFromZeroAndEnumeratesLive)
{
    CComPtr<ITestCollection> collection;
    ASSERT_EQ(collection.CoCreateInstance(CLSID_TestCollection, nullptr, CLSCTX_INPROC_SERVER), S_OK);
    ASSERT_EQ(collection->Add(CComBSTR(L"a")), S_OK);
    ASSERT_EQ(collection->Add(CComBSTR(L"b")), S_OK);
    CComVariant item;
    EXPECT_EQ(collection->get_Item(CComVariant(L"1"), &item), S_OK);
    EXPECT_STREQ(item.bstrVal, L"b");
    EXPECT_EQ(collection->get_Item(CComVariant(2L), &item), E_FAIL);
    EXPECT_EQ(collection->get_Item(CComVariant(-1L), &item), E_INVALIDARG);

    CComPtr<IUnknown> unknown;
    ASSERT_EQ(collection->get__NewEnum(&unknown), S_OK);
    CComQIPtr<IEnumVARIANT> items(unknown.p);
    ASSERT_TRUE(items);
    CComVariant got;
    ASSERT_EQ(items->Next(1, &got, nullptr), S_OK);
    EXPECT_STREQ(got.bstrVal, L"a");
    CComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(items->Clone(&clone), S_OK);
    ASSERT_EQ(collection->Add(CComBSTR(L"c")), S_OK); // after the enumerator was made
    VARIANT rest[3];
    ULONG fetched = 0;
    EXPECT_EQ(clone->Next(3, rest, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u) << "the clone starts where the original stood and sees the live sequence";
    EXPECT_STREQ(rest[0].bstrVal, L"b");
    EXPECT_STREQ(rest[1].bstrVal, L"c");
    for (ULONG i = 0; i < fetched; ++i)
        ::VariantClear(&rest[i]);
    collection.Release();
    EXPECT_EQ(items->Reset(), S_OK);
    got.Clear();
    EXPECT_EQ(items->Next(1, &got, nullptr), S_OK) << "the enumerator keeps its collection alive";
    EXPECT_STREQ(got.bstrVal, L"a");
}
