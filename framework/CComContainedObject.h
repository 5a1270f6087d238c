#pragma once
#include <objbase.h>
// The inner object of an aggregate as its interfaces see it: every IUnknown call goes to the
// outer object, so each interface handed out carries the outer object's identity and count.
template <class Base> class CComContainedObject : public Base
{
public:
    explicit CComContainedObject(IUnknown* pOuterUnknown) noexcept { this->m_pOuterUnknown = pOuterUnknown; }
    STDMETHOD_(ULONG, AddRef)() override { return this->OuterAddRef(); }
    STDMETHOD_(ULONG, Release)() override { return this->OuterRelease(); }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppvObject) override
    {
        return this->OuterQueryInterface(iid, ppvObject);
    }
};
