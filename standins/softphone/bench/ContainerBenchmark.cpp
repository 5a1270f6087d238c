// The control container against the same work done by hand on the softphone stand-in, in the same
// run: make the control, put one property, let it go. By hand, the object is made through its class
// object, initialised, given the same child window the in-place control has, called by IDispatch and
// closed; the container adds the sites, the in-place activation, the event sink and its own window.
#include "framework/AfxEnableControlContainer.h"
#include "framework/CComPtr.h"
#include "framework/CWnd.h"
#include "framework/testing/CActivationContextScope.h"
#include "framework/testing/CComApartment.h"
#include "framework/testing/MessagePump.h"
#include <ocidl.h>
#include <chrono>
#include <cstdio>

namespace
{
constexpr int kCycles = 300;
constexpr UINT kSoftphoneId = 1261;
const CLSID kSoftphoneClsid = {0xAC666EF2, 0xBDD8, 0x46FD, {0x8D, 0x7D, 0xE1, 0xD2, 0x50, 0x87, 0xAE, 0x52}};
const RECT kPlace{0, 0, 20, 20};
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

HRESULT PutInstanceName(IDispatch* pDispatch)
{
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = ::SysAllocString(L"LumoSoftPhone");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    const HRESULT hr =
        pDispatch->Invoke(5, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    ::VariantClear(&value);
    return hr;
}

bool ByHand(HWND hwndParent)
{
    CComPtr<IClassFactory> factory;
    CComPtr<IDispatch> dispatch;
    CComPtr<IPersistStreamInit> persist;
    CComPtr<IOleObject> object;
    if (FAILED(::CoGetClassObject(kSoftphoneClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
        FAILED(dispatch->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist))) ||
        FAILED(persist->InitNew()) ||
        FAILED(dispatch->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object))))
        return false;
    CWindowHandle window(::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 20, 20, hwndParent,
                                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kSoftphoneId)), nullptr,
                                           nullptr));
    const bool ok = window.IsValid() && SUCCEEDED(PutInstanceName(dispatch));
    object->Close(OLECLOSE_NOSAVE);
    return ok;
}

bool ThroughTheContainer(CWnd& host)
{
    CWnd phone;
    if (!phone.CreateControl(kSoftphoneClsid, L"Tessaly_Opal", WS_CHILD, kPlace, &host, kSoftphoneId)) return false;
    phone.SetProperty(5, VT_BSTR, L"LumoSoftPhone");
    phone.DestroyWindow();
    AfxPumpPendingMessages(); // the container lets go of the control once the window's messages are over
    return true;
}
} // namespace

int main()
{
    CComApartment apartment;
    CActivationContextScope context(PathBesideProgram(L"Softphone.manifest"));
    if (FAILED(apartment.Result()) || !context.IsActive())
    {
        std::printf("container bench: no apartment or no context of Softphone.manifest\n");
        return 1;
    }
    AfxEnableControlContainer();
    CWnd host;
    if (!host.CreateEx(0, nullptr, L"bench host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr))
    {
        // Wine makes no window without an X display; the other benchmarks still run.
        std::printf("container bench: skipped, no window can be made here (run it with a DISPLAY)\n");
        return 0;
    }
    // Both roads once first: the library is loaded and its classes registered before the clocks run.
    if (!ByHand(host) || !ThroughTheContainer(host))
    {
        std::printf("container bench: the stand-in could not be made (is Tessaly_Opal.ocx beside the program?)\n");
        return 1;
    }
    auto start = Clock::now();
    for (int i = 0; i < kCycles; ++i)
        if (!ByHand(host)) return 1;
    const double tHand = Since(start);
    start = Clock::now();
    for (int i = 0; i < kCycles; ++i)
        if (!ThroughTheContainer(host)) return 1;
    const double tContainer = Since(start);
    host.DestroyWindow();

    std::printf("%d cycles of create, one property put and destroy of the softphone stand-in\n", kCycles);
    std::printf("  by hand          %7.3f s  %8.0f cycles/s\n", tHand, kCycles / tHand);
    std::printf("  the container    %7.3f s  %8.0f cycles/s  ratio %.2fx the hand's time (aim: within 2x)\n",
                tContainer, kCycles / tContainer, tContainer / tHand);
    return 0;
}
