#pragma once
#include "framework/CComPtr.h"
#include "framework/CComVariant.h"
#include <ocidl.h>
#include <olectl.h>
#include <functional>
#include <vector>
// An event sink that records every IDispatch::Invoke it receives. It answers IUnknown,
// IDispatch and (unless made dispatch-only) the event interface. Each argument is kept as it
// arrived (rgvarg order: index 0 is the event's last argument); a by-reference VARIANT holding
// a byte array has its bytes copied during the call, since they are valid only then. A hook
// runs inside each call (to unadvise, fire again, ...) and gives the HRESULT the call returns.
class CRecordingSink : public IDispatch
{
public:
    struct Argument
    {
        VARTYPE vt;                 // as received
        CComVariant value;          // a copy, for arguments not by reference
        std::vector<BYTE> bytes;    // the byte array behind a VT_BYREF|VT_VARIANT argument
        VARTYPE innerVt = VT_EMPTY; // the type of the VARIANT such an argument points to
    };
    struct Call
    {
        DISPID dispId;
        std::vector<Argument> args;
        bool hadResult; // the caller passed a result VARIANT
    };

    // A new sink with one reference, the caller's.
    static CRecordingSink* Create(const IID& eventsIid, bool bAnswerEventsIid = true);

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** ppTInfo) override;
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // Connects to the source's point for the events interface; the HRESULT of Advise.
    HRESULT Advise(IUnknown* pSource);
    HRESULT Unadvise();
    DWORD Cookie() const noexcept { return m_cookie; }

    std::vector<Call> m_calls;
    std::function<HRESULT(const Call&)> m_onInvoke; // runs after the call is recorded; its result is returned

private:
    CRecordingSink(const IID& eventsIid, bool bAnswerEventsIid) : m_iid(eventsIid), m_bAnswerEvents(bAnswerEventsIid) {}
    virtual ~CRecordingSink() = default;

    IID m_iid;
    bool m_bAnswerEvents;
    LONG m_nRef = 1;
    CComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};
