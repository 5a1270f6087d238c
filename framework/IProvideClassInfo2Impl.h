#pragma once
#include "framework/CComTypeInfoHolder.h"
#include <ocidl.h>
// IProvideClassInfo2 from the binary's own type library: the coclass's type information and the
// IID of its default source (event) interface.
template <const CLSID* pcoclsid, const IID* psrcid, const GUID* plibid = nullptr, WORD wMajor = 1, WORD wMinor = 0>
class IProvideClassInfo2Impl : public IProvideClassInfo2
{
public:
    STDMETHOD(GetClassInfo)(ITypeInfo** ppTI) override
    {
        static CComTypeInfoHolder coclass(*pcoclsid);
        return coclass.GetTypeInfo(0, LOCALE_USER_DEFAULT, ppTI);
    }
    STDMETHOD(GetGUID)(DWORD dwGuidKind, GUID* pGUID) override
    {
        if (!pGUID) return E_POINTER;
        if (dwGuidKind == GUIDKIND_DEFAULT_SOURCE_DISP_IID && psrcid)
        {
            *pGUID = *psrcid;
            return S_OK;
        }
        *pGUID = GUID_NULL;
        return E_INVALIDARG;
    }
};
