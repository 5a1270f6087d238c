// LumoClientCtrl from LumoClient.ocx, created without registration as BrennClient creates it, against an
// answering Lumo in C++ (a core link on its own thread), in the same run: 16 MiB of task contents (UPDTSK)
// reaching an event sink, against the same line and payload reaching a core link's handler. Each receiver
// computes the CRC-32 of the bytes inside its call, as a sink that keeps them must touch them there.
// In a round of its own, untimed, the peak working set above the idle, connected control.
#include "clientctl/bench/CLumoThread.h"
#include "clientctl/bench/CWordLink.h"
#include "core/CAsyncSocketEx.h"
#include "core/CStaticTools.h"
#include "framework/CComPtr.h"
#include "framework/CComVariant.h"
#include "framework/CWinApp.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/CPeakSampler.h"
#include "framework/testing/DispatchInvoke.h"
#include "framework/testing/MessagePump.h"
#include <ocidl.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

CWinApp theApp(L"clientctl_ctrl_bench"); // the answering Lumo's thread and the core client are the framework's

namespace
{
constexpr int kBytes = 16 * 1024 * 1024;
constexpr int kRounds = 5;
constexpr UINT WM_APP_PUSH = WM_APP + 1; // to the answering Lumo's thread: push the task contents
constexpr DISPID kPort = 2, kApplicationId = 3, kInit = 20, kUninit = 73, kTaskContentsReceived = 12;
const CLSID kCtrl = {0x1A733E11, 0x6AAE, 0x4E30, {0x80, 0x34, 0xF4, 0x4B, 0x2B, 0x2B, 0xF6, 0x6D}};
const IID kEvents = {0x7AB3C932, 0x6BC6, 0x4128, {0xBB, 0xF3, 0xB3, 0xDB, 0xC3, 0xED, 0x98, 0xB3}};
using Clock = std::chrono::steady_clock;

std::vector<BYTE> g_task(kBytes);
unsigned long g_nCrc = 0;

// What a receiver saw of one push: when its call had the bytes checked, and whether they were whole.
struct CArrival
{
    Clock::time_point end;
    bool bSeen = false;
    bool bWhole = false;
    void Take(const BYTE* pData, unsigned long nLength, unsigned long nChecksum)
    {
        bWhole = nLength == static_cast<unsigned long>(kBytes) && nChecksum == g_nCrc &&
                 CStaticTools::GetChecksumForMemory(pData, nLength) == g_nCrc;
        end = Clock::now();
        bSeen = true;
    }
};

using C = CSocketCommand;

// Lumo's side of one application: greets and answers the registration.
class CAnsweringLink : public CWordLink<CAnsweringLink>
{
public:
    static void AddWords(CSocketCommandMap& map)
    {
        map.Add(L"APLGIN", new C(SocketHandler(&CAnsweringLink::OnAplgin), C::modeFields, false, C::checkNone, 0, -1));
    }
    void OnAplgin(CStringArray& arrFields) { SendCommand(L"APLGIN %s -1 1 3\r", arrFields[0].GetString()); }
};

// The answering Lumo's thread, which also pushes the task contents to the newest link when told,
// handing over the copy it was given as Lumo's own sends do.
class CPushingLumo : public CLumoThread<CAnsweringLink>
{
public:
    std::vector<BYTE> m_handed;

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->hwnd || pMsg->message != WM_APP_PUSH) return CLumoThread::PreTranslateMessage(pMsg);
        if (CAnsweringLink* pLink = NewestLink())
        {
            CSingleLock lock(&pLink->m_csSend, TRUE);
            pLink->SendCommand(L"UPDTSK -1 %d 11 %lu 12:100;13:200\r", static_cast<int>(m_handed.size()), g_nCrc);
            pLink->SendRaw(std::move(m_handed));
        }
        return TRUE;
    }
};

// The client side on a core link, used from the thread it lives on: the same line and payload to its handler.
class CCoreClient : public CWordLink<CCoreClient>
{
public:
    static void AddWords(CSocketCommandMap& map)
    {
        map.Add(L"STARTS", new C(SocketHandler(&CCoreClient::OnStarts), C::modeFields, false, C::checkNone, 0, -1));
        auto* pTask = new C(SocketHandler(&CCoreClient::OnTask), C::modeBinary, false, C::checkNone, 0, -1);
        pTask->m_nPayloadLengthField = 1;
        map.Add(L"UPDTSK", pTask);
    }
    void OnStarts(CStringArray&) { m_bGreeted = true; }
    void OnTask(CStringArray& arrFields, BYTE* pData, int nLength)
    {
        m_arrival.Take(pData, static_cast<unsigned long>(nLength),
                       arrFields.GetSize() > 3 ? CStaticTools::ToULong(arrFields[3].GetString()) : 0);
    }

    bool m_bGreeted = false;
    CArrival m_arrival;
};

// The container's event sink, as small as a sink can be: it takes TaskContentsReceived only.
class CTaskSink : public IDispatch
{
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        *ppv = iid == IID_IUnknown || iid == IID_IDispatch || iid == kEvents ? static_cast<IDispatch*>(this) : nullptr;
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_nRefs; }
    STDMETHOD_(ULONG, Release)() override { return --m_nRefs; } // lives on main's stack
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override
    {
        if (pctinfo) *pctinfo = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)
    (DISPID dispId, REFIID, LCID, WORD, DISPPARAMS* pParams, VARIANT*, EXCEPINFO*, UINT*) override
    {
        if (dispId != kTaskContentsReceived) return DISP_E_MEMBERNOTFOUND;
        // The arguments arrive last-first: the map, the checksum, the task bytes, the task id.
        if (!pParams || pParams->cArgs != 4) return DISP_E_BADPARAMCOUNT;
        const VARIANT& task = pParams->rgvarg[2];
        const VARIANT& checksum = pParams->rgvarg[1];
        if (task.vt != (VT_BYREF | VT_VARIANT) || !task.pvarVal || task.pvarVal->vt != (VT_ARRAY | VT_UI1) ||
            checksum.vt != VT_UI4)
            return DISP_E_TYPEMISMATCH;
        const SAFEARRAY* pArray = task.pvarVal->parray;
        m_arrival.Take(static_cast<const BYTE*>(pArray->pvData), pArray->rgsabound[0].cElements, checksum.ulVal);
        return S_OK;
    }

    CArrival m_arrival;

private:
    ULONG m_nRefs = 0;
};

// One push from the answering Lumo until the receiver's call has checked the bytes; negative on failure.
double TimePush(CPushingLumo& lumo, CArrival& arrival)
{
    lumo.m_handed = g_task; // Lumo's own copy, made before the clock starts
    arrival = CArrival{};
    const auto start = Clock::now();
    lumo.PostThreadMessage(WM_APP_PUSH, 0, 0);
    if (!PumpUntil([&] { return arrival.bSeen; }, 120000) || !arrival.bWhole) return -1;
    return std::chrono::duration<double>(arrival.end - start).count();
}

double Best(CPushingLumo& lumo, CArrival& arrival)
{
    double best = 1e30;
    for (int i = 0; i < kRounds; ++i)
    {
        const double t = TimePush(lumo, arrival);
        if (t < 0) return -1;
        best = std::min(best, t);
    }
    return best;
}

} // namespace

int main()
{
    if (!AfxSocketInit()) return 1;
    for (size_t i = 0; i < g_task.size(); ++i)
        g_task[i] = static_cast<BYTE>(i * 31 + 7);
    g_nCrc = CStaticTools::GetChecksumForMemory(g_task.data(), static_cast<unsigned long>(g_task.size()));
    auto* pLumo = new CPushingLumo;
    pLumo->m_bAutoDelete = FALSE;
    if (!AfxBeginThread(pLumo)) return 1;
    struct CEndLumo
    {
        CPushingLumo* pLumo;
        ~CEndLumo()
        {
            pLumo->PostThreadMessage(WM_QUIT, 0, 0);
            ::WaitForSingleObject(pLumo->m_hThread, 10000);
            delete pLumo;
        }
    } endLumo{pLumo};
    if (!PumpUntil([&] { return pLumo->m_nPort != 0; })) return 1;
    const UINT nPort = pLumo->m_nPort;

    double tControl = -1, tCore = -1;
    size_t nAdded = 0;
    {
        CComApartment apartment;
        CActivationContextScope context(PathBesideProgram(L"LumoClient.manifest"));
        CComPtr<IDispatch> ctrl;
        CTaskSink sink;
        CComPtr<IConnectionPointContainer> container;
        CComPtr<IConnectionPoint> point;
        DWORD nCookie = 0;
        CComVariant connected;
        if (FAILED(apartment.Result()) || !context.IsActive() ||
            FAILED(ctrl.CoCreateInstance(kCtrl, nullptr, CLSCTX_INPROC_SERVER)) ||
            FAILED(ctrl->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) ||
            FAILED(container->FindConnectionPoint(kEvents, &point)) || FAILED(point->Advise(&sink, &nCookie)) ||
            FAILED(InvokeMember(ctrl, kPort, DISPATCH_PROPERTYPUT, {CComVariant(static_cast<short>(nPort))})) ||
            FAILED(InvokeMember(ctrl, kApplicationId, DISPATCH_PROPERTYPUT, {CComVariant(7L)})) ||
            FAILED(InvokeMember(ctrl, kInit, DISPATCH_METHOD, {}, &connected)) || connected.vt != VT_BOOL ||
            connected.boolVal != VARIANT_TRUE)
        {
            std::printf("control bench: LumoClientCtrl was not made or did not connect\n");
            return 1;
        }
        PumpUntilIdle();
        tControl = Best(*pLumo, sink.m_arrival);
        {
            // Lumo's copy is made first, so that what the sampler sees is the receiving side's alone.
            CPeakSampler peak;
            if (TimePush(*pLumo, sink.m_arrival) < 0) tControl = -1;
            nAdded = peak.Added();
        }
        InvokeMember(ctrl, kUninit, DISPATCH_METHOD, {});
        point->Unadvise(nCookie);
    }

    CCoreClient client;
    if (!client.Create() || (!client.Connect(L"127.0.0.1", nPort) && CAsyncSocket::GetLastError() != WSAEWOULDBLOCK) ||
        !PumpUntil([&] { return client.m_bGreeted; }))
    {
        std::printf("control bench: the core link did not connect\n");
        return 1;
    }
    PumpUntilIdle();
    tCore = Best(*pLumo, client.m_arrival);
    client.Close();

    if (tControl < 0 || tCore < 0)
    {
        std::printf("control bench: a push did not arrive whole (control %s, core link %s)\n",
                    tControl < 0 ? "failed" : "ok", tCore < 0 ? "failed" : "ok");
        return 1;
    }
    std::printf("16 MiB task contents (UPDTSK), best of %d, each receiver checking the CRC-32 in its call\n", kRounds);
    std::printf("  core link's handler              %7.3f s\n", tCore);
    std::printf("  LumoClientCtrl's event sink      %7.3f s  ratio %.2fx the core link's time (aim: within 1.3x)\n",
                tControl, tControl / tCore);
    std::printf("  peak working set above the idle control: %.1f MiB, %.2fx the payload (aim: at most 3x)\n",
                static_cast<double>(nAdded) / (1024.0 * 1024.0), static_cast<double>(nAdded) / kBytes);
    return 0;
}
