#pragma once
#include "framework/CComSingleThreadModel.h"
#include <objbase.h>
// The reference count, the outer unknown of an aggregated object and the table-driven
// QueryInterface every COM object of ours shares. The class lists its interfaces in a COM map
// (BEGIN_COM_MAP ... END_COM_MAP); QueryInterface answers them in that order, and IUnknown with
// the first entry, which is the object's identity. CComObject or CComAggObject wraps the class and
// supplies IUnknown itself.

// One interface of a COM map: its IID and where the interface's vtable sits inside the object.
struct CComInterfaceMapEntry
{
    const IID* piid; // null ends the map
    DWORD_PTR offset;
};

// The offset of base Itf inside T (never dereferenced: any aligned non-null address works).
#define LUMO_OFFSET_OF_BASE(Itf, T) (reinterpret_cast<DWORD_PTR>(static_cast<Itf*>(reinterpret_cast<T*>(8))) - 8)
// The offset of Itf reached through Through (for an interface two bases share, such as IDispatch).
#define LUMO_OFFSET_OF_BASE2(Itf, Through, T)                                                                          \
    (reinterpret_cast<DWORD_PTR>(static_cast<Itf*>(static_cast<Through*>(reinterpret_cast<T*>(8)))) - 8)

#define BEGIN_COM_MAP(x)                                                                                               \
public:                                                                                                                \
    using _ComMapClass = x;                                                                                            \
    IUnknown* GetUnknown() noexcept                                                                                    \
    {                                                                                                                  \
        return reinterpret_cast<IUnknown*>(reinterpret_cast<BYTE*>(this) + _GetEntries()[0].offset);                   \
    }                                                                                                                  \
    HRESULT _InternalQueryInterface(REFIID iid, void** ppvObject) noexcept                                             \
    {                                                                                                                  \
        return this->InternalQueryInterface(this, _GetEntries(), iid, ppvObject);                                      \
    }                                                                                                                  \
    static const CComInterfaceMapEntry* _GetEntries() noexcept                                                         \
    {                                                                                                                  \
        static const CComInterfaceMapEntry entries[] = {
#define COM_INTERFACE_ENTRY(itf) {&__uuidof(itf), LUMO_OFFSET_OF_BASE(itf, _ComMapClass)},
#define COM_INTERFACE_ENTRY_IID(iid, itf) {&iid, LUMO_OFFSET_OF_BASE(itf, _ComMapClass)},
#define COM_INTERFACE_ENTRY2(itf, through) {&__uuidof(itf), LUMO_OFFSET_OF_BASE2(itf, through, _ComMapClass)},
#define END_COM_MAP()                                                                                                  \
    {                                                                                                                  \
        nullptr, 0                                                                                                     \
    }                                                                                                                  \
    }                                                                                                                  \
    ;                                                                                                                  \
    return entries;                                                                                                    \
    }

class CComObjectRootBase
{
public:
    // Overridables of the class: a failing FinalConstruct makes the creation fail (the object is
    // destroyed without FinalRelease); FinalRelease runs once when the last reference goes.
    HRESULT FinalConstruct() noexcept { return S_OK; }
    void FinalRelease() noexcept {}
    // Brackets FinalConstruct so that a reference it hands out and takes back does not end the object.
    void InternalFinalConstructAddRef() noexcept {}
    void InternalFinalConstructRelease() noexcept {}

    static HRESULT InternalQueryInterface(void* pThis, const CComInterfaceMapEntry* pEntries, REFIID iid,
                                          void** ppvObject) noexcept
    {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        if (!pEntries || !pEntries->piid) return E_NOINTERFACE;
        IUnknown* pFound = nullptr;
        if (::InlineIsEqualGUID(iid, IID_IUnknown))
            pFound = reinterpret_cast<IUnknown*>(static_cast<BYTE*>(pThis) + pEntries->offset);
        for (; !pFound && pEntries->piid; ++pEntries)
            if (::InlineIsEqualGUID(iid, *pEntries->piid))
                pFound = reinterpret_cast<IUnknown*>(static_cast<BYTE*>(pThis) + pEntries->offset);
        if (!pFound) return E_NOINTERFACE;
        pFound->AddRef();
        *ppvObject = pFound;
        return S_OK;
    }

    // Used by an aggregated object's interfaces: everything goes to the outer object.
    ULONG OuterAddRef() noexcept { return m_pOuterUnknown->AddRef(); }
    ULONG OuterRelease() noexcept { return m_pOuterUnknown->Release(); }
    HRESULT OuterQueryInterface(REFIID iid, void** ppvObject) noexcept
    {
        return m_pOuterUnknown->QueryInterface(iid, ppvObject);
    }
    // The object's controlling unknown: the outer object when aggregated.
    IUnknown* GetControllingUnknownOuter() const noexcept { return m_pOuterUnknown; }

    LONG m_dwRef = 0;
    IUnknown* m_pOuterUnknown = nullptr; // borrowed: the outer object owns us
};

template <class ThreadModel> class CComObjectRootEx : public CComObjectRootBase
{
public:
    using _ThreadModel = ThreadModel;
    ULONG InternalAddRef() noexcept { return ThreadModel::Increment(&m_dwRef); }
    ULONG InternalRelease() noexcept { return ThreadModel::Decrement(&m_dwRef); }
};
