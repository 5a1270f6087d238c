// LumoClientCtrl created from LumoClient.ocx without registration, as BrennClient creates it: driven
// by DISPID against the scripted Lumo, its events seen by recording sinks.
#include "clientctl/tests/LinkTestSupport.h"
#include "core/CStaticTools.h"
#include "framework/CComBSTR.h"
#include "framework/CComQIPtr.h"
#include "framework/CHandleOwner.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/CRecordingSink.h"
#include "framework/testing/DispatchInvoke.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <algorithm>
#include <cstring>
#include <winsock2.h>

namespace
{
// The published ids (the IDL's header is the library's, not the client's).
const CLSID kCtrl = {0x1A733E11, 0x6AAE, 0x4E30, {0x80, 0x34, 0xF4, 0x4B, 0x2B, 0x2B, 0xF6, 0x6D}};
const IID kEvents = {0x7AB3C932, 0x6BC6, 0x4128, {0xBB, 0xF3, 0xB3, 0xDB, 0xC3, 0xED, 0x98, 0xB3}};

namespace Id
{
constexpr DISPID kLumoAddress = 1, kPort = 2, kApplicationId = 3, kJexState = 4, kLumoState = 5, kPauseReasonId = 6,
                 kAgentState = 7, kLogMode = 8, kInit = 20, kVersion = 47, kUninit = 73;
}
namespace Ev
{
constexpr DISPID kLumo = 2, kJex = 3, kAgent = 4, kShift = 24, kError = 200;
}

std::wstring Number(long n)
{
    return std::to_wstring(n);
}

// A value as a sink sees it: numbers and texts plainly, flags as -1/0 with "b", objects by content.
std::wstring Text(const VARIANT& value);

std::wstring ObjectText(IDispatch* pObject)
{
    if (!pObject) return L"null";
    CComVariant keys;
    if (SUCCEEDED(InvokeMember(pObject, 13, DISPATCH_METHOD, {}, &keys)) && keys.vt == VT_DISPATCH)
    {
        // A map: key=value in the map's order.
        CComVariant count;
        InvokeMember(keys.pdispVal, 1, DISPATCH_PROPERTYGET, {}, &count);
        std::wstring text = L"{";
        for (long i = 0; count.vt == VT_I4 && i < count.lVal; ++i)
        {
            CComVariant key, item;
            InvokeMember(keys.pdispVal, DISPID_VALUE, DISPATCH_PROPERTYGET, {CComVariant(i)}, &key);
            InvokeMember(pObject, DISPID_VALUE, DISPATCH_PROPERTYGET, {key}, &item);
            text += (i ? L"," : L"") + Text(key) + L"=" + Text(item);
        }
        return text + L"}";
    }
    CComVariant attachments;
    if (SUCCEEDED(InvokeMember(pObject, 5, DISPATCH_PROPERTYGET, {}, &attachments)))
    {
        // A message: From, Subject, Message and its attachments.
        CComVariant from, subject, message;
        InvokeMember(pObject, 1, DISPATCH_PROPERTYGET, {}, &from);
        InvokeMember(pObject, 3, DISPATCH_PROPERTYGET, {}, &subject);
        InvokeMember(pObject, 4, DISPATCH_PROPERTYGET, {}, &message);
        return L"msg(" + Text(from) + L"," + Text(subject) + L"," + Text(message) + L"," + Text(attachments) + L")";
    }
    // A collection: its items in order.
    CComVariant count;
    if (FAILED(InvokeMember(pObject, 1, DISPATCH_PROPERTYGET, {}, &count)) || count.vt != VT_I4) return L"?";
    std::wstring text = L"[";
    for (long i = 0; i < count.lVal; ++i)
    {
        CComVariant item;
        InvokeMember(pObject, DISPID_VALUE, DISPATCH_PROPERTYGET, {CComVariant(i)}, &item);
        text += (i ? L"," : L"") + Text(item);
    }
    return text + L"]";
}

std::wstring BytesText(const std::vector<BYTE>& bytes)
{
    return L"bytes:" + std::to_wstring(bytes.size()) + L"/" +
           std::to_wstring(CStaticTools::GetChecksumForMemory(bytes.data(), static_cast<unsigned long>(bytes.size())));
}

std::wstring Text(const VARIANT& value)
{
    switch (value.vt)
    {
    case VT_I4:
        return Number(value.lVal);
    case VT_I2:
        return Number(value.iVal) + L"s";
    case VT_UI4:
        return std::to_wstring(value.ulVal) + L"u";
    case VT_BOOL:
        return Number(value.boolVal) + L"b";
    case VT_BSTR:
        return L"'" + std::wstring(value.bstrVal ? value.bstrVal : L"") + L"'";
    case VT_DISPATCH:
        return ObjectText(value.pdispVal);
    case VT_ARRAY | VT_UI1: {
        std::vector<BYTE> bytes(value.parray->rgsabound[0].cElements);
        if (!bytes.empty()) std::memcpy(bytes.data(), value.parray->pvData, bytes.size());
        return BytesText(bytes);
    }
    default:
        return L"vt" + Number(value.vt);
    }
}

// An event as "DISPID(arg,arg,...)", the arguments in declared order.
std::wstring EventText(const CRecordingSink::Call& call)
{
    std::wstring text = Number(call.dispId) + L"(";
    for (size_t i = call.args.size(); i-- > 0;)
    {
        const CRecordingSink::Argument& arg = call.args[i];
        text += arg.vt == (VT_BYREF | VT_VARIANT) ? BytesText(arg.bytes) : Text(arg.value);
        if (i) text += L",";
    }
    return text + L")";
}

// A port on 127.0.0.1 where nobody listens: bound once, then let go.
USHORT FreePort()
{
    CSocketHandle probe(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int nLength = sizeof(address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &nLength);
    return ntohs(address.sin_port);
}

class LumoClientCtrlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(m_apartment.Result()));
        ASSERT_TRUE(m_context.IsActive()) << m_context.Error();
        ASSERT_EQ(m_ctrl.CoCreateInstance(kCtrl, nullptr, CLSCTX_INPROC_SERVER), S_OK);
        m_sink = CRecordingSink::Create(kEvents);
        ASSERT_EQ(m_sink->Advise(m_ctrl), S_OK);
    }
    void TearDown() override
    {
        if (m_ctrl) Call(Id::kUninit);
        if (m_sink)
        {
            m_sink->Unadvise();
            m_sink->Release();
        }
        m_ctrl.Release();
    }

    CComVariant Get(DISPID id)
    {
        CComVariant value;
        EXPECT_EQ(InvokeMember(m_ctrl, id, DISPATCH_PROPERTYGET, {}, &value), S_OK) << id;
        return value;
    }
    HRESULT Put(DISPID id, const CComVariant& value)
    {
        return InvokeMember(m_ctrl, id, DISPATCH_PROPERTYPUT, {value});
    }
    CComVariant Call(DISPID id, HRESULT expected = S_OK)
    {
        CComVariant result;
        EXPECT_EQ(InvokeMember(m_ctrl, id, DISPATCH_METHOD, {}, &result), expected) << id;
        return result;
    }
    // Init against the scripted Lumo as application 7; the events it fired are cleared.
    void Connect(CScriptedLumo& lumo)
    {
        ASSERT_TRUE(lumo.IsStarted());
        Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port())));
        Put(Id::kApplicationId, CComVariant(7L));
        ASSERT_EQ(Text(Call(Id::kInit)), L"-1b");
        m_sink->m_calls.clear();
    }
    // The events recorded so far, without the clock's, which the link's handshake may bring at any time.
    std::vector<std::wstring> Events() const
    {
        std::vector<std::wstring> events;
        for (const CRecordingSink::Call& call : m_sink->m_calls)
            if (call.dispId != Ev::kShift) events.push_back(EventText(call));
        return events;
    }
    bool PumpUntilEvent(const std::wstring& text, DWORD timeoutMs = 10000)
    {
        return PumpUntil(
            [&] {
                const std::vector<std::wstring> events = Events();
                return std::find(events.begin(), events.end(), text) != events.end();
            },
            timeoutMs);
    }
    std::wstring States()
    {
        return Text(Get(Id::kLumoState)) + L"/" + Text(Get(Id::kJexState)) + L"/" + Text(Get(Id::kAgentState));
    }

    CComApartment m_apartment;
    CActivationContextScope m_context{PathBesideProgram(L"LumoClient.manifest")};
    CComPtr<IDispatch> m_ctrl;
    CRecordingSink* m_sink = nullptr;
};
} // namespace

TEST_F(LumoClientCtrlTest, DefaultsBeforeInit)
{
    EXPECT_EQ(Text(Get(Id::kLumoState)), L"0");
    EXPECT_EQ(Text(Get(Id::kJexState)), L"3");
    EXPECT_EQ(Text(Get(Id::kAgentState)), L"18");
    EXPECT_EQ(Text(Get(Id::kPauseReasonId)), L"-1");
    EXPECT_EQ(Text(Get(Id::kLogMode)), L"0");
    EXPECT_EQ(Text(Get(Id::kPort)), L"1905s");
    EXPECT_EQ(Text(Get(Id::kApplicationId)), L"1");
    EXPECT_EQ(Text(Get(Id::kLumoAddress)), L"'127.0.0.1'");
    EXPECT_EQ(Text(Call(Id::kVersion)), L"'5.4.9.3'");
    EXPECT_EQ(Text(Call(Id::kUninit)), L"0b");
    EXPECT_TRUE(Events().empty());
}

TEST_F(LumoClientCtrlTest, PortAboveTheShortRangeIsRefusedLateBoundAndOtherwiseKept)
{
    EXPECT_EQ(Put(Id::kPort, CComVariant(40000L)), DISP_E_OVERFLOW);
    EXPECT_EQ(Put(Id::kPort, CComVariant(static_cast<short>(-25536))), S_OK);
    EXPECT_EQ(Text(Get(Id::kPort)), L"-25536s");
    EXPECT_EQ(Put(Id::kLogMode, CComVariant(7L)), S_OK);
    EXPECT_EQ(Text(Get(Id::kLogMode)), L"7");
}

TEST_F(LumoClientCtrlTest, InitWithNobodyListeningFiresOnlyDisconnected)
{
    Put(Id::kPort, CComVariant(static_cast<short>(FreePort())));
    EXPECT_EQ(Text(Call(Id::kInit)), L"0b");
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"2(0)"});
    EXPECT_EQ(States(), L"0/3/18");
}

TEST_F(LumoClientCtrlTest, InitConnectsOnceUninitEndsSilentlyAndTheNextInitConnectsAnew)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + "silence 1\nwaitclose\n" + Accepted() +
                       "expect APLGIN 1 7 0\nline APLGIN 1 -1 0 1\nwaitclose\n");
    ASSERT_TRUE(lumo.IsStarted());
    Put(Id::kPort, CComVariant(static_cast<short>(lumo.Port())));
    Put(Id::kApplicationId, CComVariant(7L));
    EXPECT_EQ(Text(Call(Id::kInit)), L"-1b");
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"2(2)", L"3(1)", L"4(3)", L"2(1)"}));
    EXPECT_EQ(States(), L"1/1/3");
    m_sink->m_calls.clear();

    EXPECT_EQ(Text(Call(Id::kInit)), L"-1b") << "connected: at once, nothing sent";
    EXPECT_EQ(Text(Call(Id::kUninit)), L"-1b");
    EXPECT_EQ(States(), L"0/3/18");
    EXPECT_TRUE(Events().empty());

    EXPECT_EQ(Text(Call(Id::kInit)), L"-1b");
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"2(2)", L"3(0)", L"4(1)", L"2(1)"}));
    EXPECT_EQ(Text(Call(Id::kUninit)), L"-1b");
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}

TEST_F(LumoClientCtrlTest, LumoClosingFiresJexAgentAndLumoInThisOrder)
{
    CScriptedLumo lumo(Accepted() + LoggedIn(7, 3) + "close\n");
    Connect(lumo);
    ASSERT_TRUE(PumpUntilEvent(L"2(0)"));
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"3(3)", L"4(18)", L"2(0)"}));
    EXPECT_EQ(States(), L"0/3/18");
    EXPECT_EQ(Text(Call(Id::kUninit)), L"0b") << "the link is gone already";
    EXPECT_EQ(lumo.ExitCode(), 0) << lumo.Log();
}
