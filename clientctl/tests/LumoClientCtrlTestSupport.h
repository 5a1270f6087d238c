#pragma once
#include "clientctl/tests/LinkTestSupport.h"
#include "framework/CComPtr.h"
#include "framework/CComVariant.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/CRecordingSink.h"
#include "framework/testing/DispatchInvoke.h"
#include "framework/testing/MessagePump.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
// What the control's tests share: the published ids, a value and an event written as text, and a
// fixture holding LumoClientCtrl created from LumoClient.ocx with a recording sink advised.

// The published ids (the IDL's header is the library's, not the client's).
extern const CLSID kCtrl;
extern const IID kEvents;

namespace Id
{
constexpr DISPID kLumoAddress = 1, kPort = 2, kApplicationId = 3, kJexState = 4, kLumoState = 5, kPauseReasonId = 6,
                 kAgentState = 7, kLogMode = 8, kUtcShift = 10, kInit = 20, kVersion = 47, kUninit = 73;
}
namespace Ev
{
constexpr DISPID kLumo = 2, kJex = 3, kAgent = 4, kShift = 24, kError = 200;
}

// A value as a sink sees it: numbers and texts plainly with their type's mark (s I2, u UI4, b BOOL,
// quotes BSTR), maps as {key=value}, collections as [items], a message as msg(...).
std::wstring Text(const VARIANT& value);
// "bytes:<length>/<CRC-32>".
std::wstring BytesText(const std::vector<BYTE>& bytes);
// An event as "DISPID(arg,arg,...)", the arguments in declared order.
std::wstring EventText(const CRecordingSink::Call& call);
// A port on 127.0.0.1 where nobody listens.
USHORT FreePort();
// The scripted Lumo's generated payload of n bytes.
std::vector<BYTE> Pattern(size_t n);
// An out argument for IDispatch::Invoke: the caller's variable by reference.
CComVariant ByRef(LONG* p);
CComVariant ByRef(BSTR* p);
CComVariant ByRef(IDispatch** p);
// DllCanUnloadNow of the loaded LumoClient.ocx: S_OK once no object and no lock is left.
HRESULT LibraryCanUnload();

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
    HRESULT Put(DISPID id, const CComVariant& value) { return InvokeMember(m_ctrl, id, DISPATCH_PROPERTYPUT, {value}); }
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
    // SendInterview from an array the client frees as soon as the call returns; the member's result.
    CComVariant SendInterview(long nTaskId, long nCallId, const std::vector<BYTE>& bytes, ULONG nChecksum)
    {
        CComVariant data;
        data.vt = VT_ARRAY | VT_UI1;
        data.parray = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        EXPECT_TRUE(data.parray);
        if (!data.parray) return CComVariant();
        std::memcpy(data.parray->pvData, bytes.data(), bytes.size());
        CComVariant checksum;
        checksum.vt = VT_UI4;
        checksum.ulVal = nChecksum;
        CComVariant result;
        EXPECT_EQ(InvokeMember(m_ctrl, 46, DISPATCH_METHOD,
                               {CComVariant(nTaskId), CComVariant(nCallId), data, checksum}, &result),
                  S_OK);
        std::memset(data.parray->pvData, 0, bytes.size());
        return result;
    }
    // The client's last steps once Uninit returned: the sink goes, the control is released, and
    // the library must be free to unload.
    void ReleaseAndExpectUnload()
    {
        m_sink->Unadvise();
        m_sink->m_calls.clear(); // the maps the events carried
        m_ctrl.Release();
        EXPECT_TRUE(PumpUntil([] { return LibraryCanUnload() == S_OK; })) << "no object, lock or socket thread is left";
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
