#pragma once
#include "framework/CCmdTarget.h"
#include <oleauto.h>
#include <cstddef>
#include <utility>
// The event-sink map of a window that hosts ActiveX controls: which handler hears which event of
// which control (by control id and DISPID), and the VARIANT types its parameters are received as.
// Arguments are coerced to those types before the handler runs; an event without an entry is
// ignored, and so is one whose arguments do not fit the entry.
//
//     BEGIN_EVENTSINK_MAP(CMainDlg, CDialog)
//     ON_EVENT(CMainDlg, IDC_PHONE, 9, &CMainDlg::OnPhoneError, VTS_I2 VTS_BSTR)
//     END_EVENTSINK_MAP()
//
// The handler's parameter types follow the codes: VTS_I2 short, VTS_I4 long, VTS_BOOL BOOL or bool,
// VTS_BSTR LPCWSTR, VTS_R8 double, VTS_UI2 unsigned short, VTS_UI4 ULONG, VTS_DISPATCH IDispatch*,
// VTS_UNKNOWN IUnknown*, VTS_VARIANT const VARIANT&, and the by-reference codes (VTS_PVARIANT
// VARIANT*, VTS_PI4 long*, ...) the pointer itself. Pointers are valid only during the call.

// One code per parameter; a code with 0x40 set stands for the type by reference.
#define VTS_NONE ""
#define VTS_I2 "\x02"
#define VTS_I4 "\x03"
#define VTS_R4 "\x04"
#define VTS_R8 "\x05"
#define VTS_BSTR "\x08"
#define VTS_DISPATCH "\x09"
#define VTS_BOOL "\x0B"
#define VTS_VARIANT "\x0C"
#define VTS_UNKNOWN "\x0D"
#define VTS_UI1 "\x11"
#define VTS_UI2 "\x12"
#define VTS_UI4 "\x13"
#define VTS_PI2 "\x42"
#define VTS_PI4 "\x43"
#define VTS_PBSTR "\x48"
#define VTS_PBOOL "\x4B"
#define VTS_PVARIANT "\x4C"
constexpr BYTE VTS_BYREF_FLAG = 0x40;

// args: the event's arguments first to last, already of the entry's types.
using AFX_PEVENT_THUNK = void (*)(CCmdTarget* target, VARIANT* args);

struct AFX_EVENTSINKMAP_ENTRY
{
    UINT nCtlID;
    DISPID dispid;
    const char* pbParams; // the VTS_ codes; null ends the table
    AFX_PEVENT_THUNK pfn;
};

struct AFX_EVENTSINKMAP
{
    const AFX_EVENTSINKMAP* (*pfnGetBaseMap)(); // null for the root map
    const AFX_EVENTSINKMAP_ENTRY* lpEntries;
};

// The handler's view of one coerced argument.
template <class T> struct AfxEventArg;
template <> struct AfxEventArg<short>
{
    static short Get(VARIANT& v) { return v.iVal; }
};
template <> struct AfxEventArg<long>
{
    static long Get(VARIANT& v) { return v.lVal; }
};
template <> struct AfxEventArg<int> // BOOL, or a plain number
{
    static int Get(VARIANT& v)
    {
        if (v.vt == VT_BOOL) return v.boolVal != VARIANT_FALSE ? TRUE : FALSE;
        if (v.vt == VT_I2) return v.iVal;
        return static_cast<int>(v.lVal);
    }
};
template <> struct AfxEventArg<bool>
{
    static bool Get(VARIANT& v) { return v.boolVal != VARIANT_FALSE; }
};
template <> struct AfxEventArg<unsigned short>
{
    static unsigned short Get(VARIANT& v) { return v.uiVal; }
};
template <> struct AfxEventArg<unsigned long>
{
    static unsigned long Get(VARIANT& v) { return v.ulVal; }
};
template <> struct AfxEventArg<unsigned char>
{
    static unsigned char Get(VARIANT& v) { return v.bVal; }
};
template <> struct AfxEventArg<float>
{
    static float Get(VARIANT& v) { return v.fltVal; }
};
template <> struct AfxEventArg<double>
{
    static double Get(VARIANT& v) { return v.dblVal; }
};
template <> struct AfxEventArg<LPCWSTR>
{
    static LPCWSTR Get(VARIANT& v) { return v.bstrVal ? v.bstrVal : L""; }
};
template <> struct AfxEventArg<IDispatch*>
{
    static IDispatch* Get(VARIANT& v) { return v.pdispVal; }
};
template <> struct AfxEventArg<IUnknown*>
{
    static IUnknown* Get(VARIANT& v) { return v.punkVal; }
};
template <> struct AfxEventArg<const VARIANT&>
{
    static const VARIANT& Get(VARIANT& v) { return v; }
};
template <> struct AfxEventArg<VARIANT*>
{
    static VARIANT* Get(VARIANT& v) { return v.pvarVal; }
};
template <> struct AfxEventArg<short*>
{
    static short* Get(VARIANT& v) { return v.piVal; }
};
template <> struct AfxEventArg<long*>
{
    static long* Get(VARIANT& v) { return v.plVal; }
};
template <> struct AfxEventArg<BSTR*>
{
    static BSTR* Get(VARIANT& v) { return v.pbstrVal; }
};

template <class C, class R, class... P> constexpr std::size_t AfxEventArity(R (C::*)(P...))
{
    return sizeof...(P);
}

template <class C, class R, class... P, std::size_t... I>
void AfxCallEventHandler(C* pTarget, R (C::*pfn)(P...), VARIANT* args, std::index_sequence<I...>)
{
    (pTarget->*pfn)(AfxEventArg<P>::Get(args[I])...);
}
template <class C, class R, class... P> void AfxCallEventHandler(C* pTarget, R (C::*pfn)(P...), VARIANT* args)
{
    AfxCallEventHandler(pTarget, pfn, args, std::index_sequence_for<P...>{});
}

// In the class declaration (leaves the access at protected).
#define DECLARE_EVENTSINK_MAP()                                                                                        \
protected:                                                                                                             \
    static const AFX_EVENTSINKMAP* GetThisEventSinkMap();                                                              \
    const AFX_EVENTSINKMAP* GetEventSinkMap() const override;

// The base class is a window with a map of its own (DECLARE_EVENTSINK_MAP) or CWnd itself.
#define BEGIN_EVENTSINK_MAP(theClass, baseClass)                                                                       \
    const AFX_EVENTSINKMAP* theClass::GetEventSinkMap() const                                                          \
    {                                                                                                                  \
        return GetThisEventSinkMap();                                                                                  \
    }                                                                                                                  \
    const AFX_EVENTSINKMAP* theClass::GetThisEventSinkMap()                                                            \
    {                                                                                                                  \
        using ThisClass [[maybe_unused]] = theClass;                                                                   \
        using TheBaseClass = baseClass;                                                                                \
        static const AFX_EVENTSINKMAP_ENTRY eventEntries_[] = {

// The number of codes must match the handler's parameters: a mismatch is a compile error.
#define ON_EVENT(theClass, id, dispid, memberFxn, vtsParams)                                                           \
    {static_cast<UINT>(id), static_cast<DISPID>(dispid), vtsParams, [](CCmdTarget* t_, VARIANT* a_) {                  \
         static_assert(sizeof(vtsParams) - 1 == AfxEventArity(memberFxn), "VTS codes and handler parameters differ");  \
         AfxCallEventHandler(static_cast<theClass*>(t_), memberFxn, a_);                                               \
     }},

#define END_EVENTSINK_MAP()                                                                                            \
    {                                                                                                                  \
        0, 0, nullptr, nullptr                                                                                         \
    }                                                                                                                  \
    }                                                                                                                  \
    ;                                                                                                                  \
    static const AFX_EVENTSINKMAP eventSinkMap_ = {&TheBaseClass::GetThisEventSinkMap, eventEntries_};                 \
    return &eventSinkMap_;                                                                                             \
    }
