#pragma once
#include "framework/CAtlModule.h"
#include "framework/CComAggObject.h"
#include "framework/CComCreator.h"
#include "framework/CComCreator2.h"
#include "framework/CComFailCreator.h"
#include "framework/CComObject.h"
// What makes a class creatable through its CLSID: the creator the object map uses (alone or
// aggregated unless the class says DECLARE_NOT_AGGREGATABLE), its registry script, description
// and OLE miscellaneous status.

#define DECLARE_AGGREGATABLE(x)                                                                                        \
public:                                                                                                                \
    using _CreatorClass = CComCreator2<CComCreator<CComObject<x>>, CComCreator<CComAggObject<x>>>;
#define DECLARE_NOT_AGGREGATABLE(x)                                                                                    \
public:                                                                                                                \
    using _CreatorClass = CComCreator2<CComCreator<CComObject<x>>, CComFailCreator<CLASS_E_NOAGGREGATION>>;
// The class's registry script: a resource of type REGISTRY; MODULE, the module's common
// replacements and OLEMISC (the class's miscellaneous status) are replaced in it.
#define DECLARE_REGISTRY_RESOURCEID(x)                                                                                 \
    static HRESULT WINAPI UpdateRegistry(BOOL bRegister)                                                               \
    {                                                                                                                  \
        CAtlModule* pModule = AtlGetModule();                                                                          \
        return pModule ? pModule->UpdateRegistryFromResource(x, bRegister, GetMiscStatus()) : E_UNEXPECTED;            \
    }
#define DECLARE_NO_REGISTRY()                                                                                          \
    static HRESULT WINAPI UpdateRegistry(BOOL)                                                                         \
    {                                                                                                                  \
        return S_OK;                                                                                                   \
    }
#define DECLARE_OLEMISC_STATUS(x)                                                                                      \
    static DWORD WINAPI GetMiscStatus()                                                                                \
    {                                                                                                                  \
        return x;                                                                                                      \
    }

template <class T, const CLSID* pclsid> class CComCoClass
{
public:
    DECLARE_AGGREGATABLE(T)
    static const CLSID& WINAPI GetObjectCLSID() { return *pclsid; }
    static LPCWSTR WINAPI GetObjectDescription() { return nullptr; }
    static DWORD WINAPI GetMiscStatus() { return 0; }
    // A new object of this class asked for Q.
    template <class Q> static HRESULT CreateInstance(Q** pp, IUnknown* pUnkOuter = nullptr)
    {
        return T::_CreatorClass::CreateInstance(pUnkOuter, __uuidof(Q), reinterpret_cast<void**>(pp));
    }
};
