#pragma once
#include "framework/CComEnum.h"
#include "framework/IConnectionPointLocator.h"
#include <ocidl.h>
#include <olectl.h>
#include <vector>
// The connection-point container of T: T lists its points (bases IConnectionPointImpl<T, &iid>)
// in a connection point map:
//
//     BEGIN_CONNECTION_POINT_MAP(CMyControl)
//     CONNECTION_POINT_ENTRY(DIID__IMyEvents)
//     END_CONNECTION_POINT_MAP()
template <class T> class IConnectionPointContainerImpl : public IConnectionPointContainer
{
public:
    struct CMapEntry
    {
        const IID* piid; // null ends the map
        IConnectionPoint* (*pfnLocate)(T* pThis) noexcept;
    };

    STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** ppEnum) override
    {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        std::vector<IConnectionPoint*> points;
        try
        {
            for (const CMapEntry* p = T::GetConnMap(); p->piid; ++p)
                points.push_back(p->pfnLocate(Self()));
        }
        catch (...)
        {
            return E_OUTOFMEMORY;
        }
        return CComEnum<IEnumConnectionPoints, &IID_IEnumConnectionPoints, IConnectionPoint*>::Create(
            points.data(), points.data() + points.size(), ppEnum);
    }
    STDMETHOD(FindConnectionPoint)(REFIID riid, IConnectionPoint** ppCP) override
    {
        if (!ppCP) return E_POINTER;
        *ppCP = nullptr;
        for (const CMapEntry* p = T::GetConnMap(); p->piid; ++p)
        {
            if (!::InlineIsEqualGUID(riid, *p->piid)) continue;
            *ppCP = p->pfnLocate(Self());
            (*ppCP)->AddRef();
            return S_OK;
        }
        return CONNECT_E_NOCONNECTION;
    }

private:
    T* Self() noexcept { return static_cast<T*>(this); }
};

#define BEGIN_CONNECTION_POINT_MAP(x)                                                                                  \
    using _CPMapClass = x;                                                                                             \
    static const typename IConnectionPointContainerImpl<x>::CMapEntry* GetConnMap() noexcept                           \
    {                                                                                                                  \
        static const typename IConnectionPointContainerImpl<x>::CMapEntry map[] = {
#define CONNECTION_POINT_ENTRY(iid)                                                                                    \
    {&iid, [](_CPMapClass* pThis) noexcept -> IConnectionPoint* {                                                      \
         return static_cast<IConnectionPointLocator<&iid>*>(pThis)->LocateConnectionPoint();                           \
     }},
#define END_CONNECTION_POINT_MAP()                                                                                     \
    {                                                                                                                  \
        nullptr, nullptr                                                                                               \
    }                                                                                                                  \
    }                                                                                                                  \
    ;                                                                                                                  \
    return map;                                                                                                        \
    }
