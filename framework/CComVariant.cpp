#include "framework/CComVariant.h"
#include "framework/CComBSTR.h"
#include "framework/CException.h"
#include <cwchar>

namespace
{
// A copy that fails leaves VT_ERROR with the reason instead of a half-made value.
void CopyOrMarkError(VARIANT* dest, const VARIANT* src) noexcept
{
    const HRESULT hr = ::VariantCopy(dest, const_cast<VARIANT*>(src));
    if (FAILED(hr))
    {
        dest->vt = VT_ERROR;
        dest->scode = hr;
    }
}
} // namespace

CComVariant::CComVariant(const VARIANT& varSrc)
{
    ::VariantInit(this);
    CopyOrMarkError(this, &varSrc);
}

CComVariant::CComVariant(const CComVariant& varSrc) : tagVARIANT()
{
    ::VariantInit(this);
    CopyOrMarkError(this, &varSrc);
}

CComVariant::CComVariant(CComVariant&& varSrc) noexcept : tagVARIANT(varSrc)
{
    varSrc.vt = VT_EMPTY;
}

CComVariant::CComVariant(LPCOLESTR lpszSrc)
{
    ::VariantInit(this);
    *this = lpszSrc;
}

CComVariant::CComVariant(LPCSTR lpszSrc)
{
    ::VariantInit(this);
    CComBSTR text(lpszSrc);
    vt = VT_BSTR;
    bstrVal = text.Detach();
    if (!bstrVal && lpszSrc)
    {
        vt = VT_ERROR;
        scode = E_OUTOFMEMORY;
    }
}

CComVariant::CComVariant(const CComBSTR& bstrSrc)
{
    ::VariantInit(this);
    vt = VT_BSTR;
    bstrVal = bstrSrc.Copy();
}

CComVariant::CComVariant(bool bSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_BOOL;
    boolVal = bSrc ? VARIANT_TRUE : VARIANT_FALSE;
}

CComVariant::CComVariant(int nSrc, VARTYPE vtSrc) noexcept
{
    ::VariantInit(this);
    vt = vtSrc == VT_INT ? VT_INT : VT_I4;
    intVal = nSrc;
}

CComVariant::CComVariant(BYTE nSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UI1;
    bVal = nSrc;
}

CComVariant::CComVariant(short nSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_I2;
    iVal = nSrc;
}

CComVariant::CComVariant(long nSrc, VARTYPE vtSrc) noexcept
{
    ::VariantInit(this);
    vt = vtSrc == VT_ERROR ? VT_ERROR : VT_I4;
    lVal = nSrc;
}

CComVariant::CComVariant(float fltSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_R4;
    fltVal = fltSrc;
}

CComVariant::CComVariant(double dblSrc, VARTYPE vtSrc) noexcept
{
    ::VariantInit(this);
    vt = vtSrc == VT_DATE ? VT_DATE : VT_R8;
    dblVal = dblSrc;
}

CComVariant::CComVariant(LONGLONG nSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_I8;
    llVal = nSrc;
}

CComVariant::CComVariant(ULONGLONG nSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UI8;
    ullVal = nSrc;
}

CComVariant::CComVariant(unsigned int nSrc, VARTYPE vtSrc) noexcept
{
    ::VariantInit(this);
    vt = vtSrc == VT_UINT ? VT_UINT : VT_UI4;
    uintVal = nSrc;
}

CComVariant::CComVariant(unsigned long nSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UI4;
    ulVal = nSrc;
}

CComVariant::CComVariant(IDispatch* pSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_DISPATCH;
    pdispVal = pSrc;
    if (pSrc) pSrc->AddRef();
}

CComVariant::CComVariant(IUnknown* pSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UNKNOWN;
    punkVal = pSrc;
    if (pSrc) pSrc->AddRef();
}

CComVariant::CComVariant(const SAFEARRAY* pSrc)
{
    ::VariantInit(this);
    if (!pSrc)
    {
        vt = VT_ERROR;
        scode = E_INVALIDARG;
        return;
    }
    VARTYPE elementType = VT_EMPTY;
    SAFEARRAY* copy = nullptr;
    HRESULT hr = ::SafeArrayGetVartype(const_cast<SAFEARRAY*>(pSrc), &elementType);
    if (SUCCEEDED(hr)) hr = ::SafeArrayCopy(const_cast<SAFEARRAY*>(pSrc), &copy);
    if (FAILED(hr))
    {
        vt = VT_ERROR;
        scode = hr;
        return;
    }
    vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    parray = copy;
}

CComVariant& CComVariant::operator=(const CComVariant& varSrc)
{
    if (this != &varSrc) Copy(&varSrc);
    return *this;
}

CComVariant& CComVariant::operator=(CComVariant&& varSrc) noexcept
{
    if (this != &varSrc)
    {
        ::VariantClear(this);
        static_cast<tagVARIANT&>(*this) = varSrc;
        varSrc.vt = VT_EMPTY;
    }
    return *this;
}

CComVariant& CComVariant::operator=(const VARIANT& varSrc)
{
    if (static_cast<const VARIANT*>(this) != &varSrc) Copy(&varSrc);
    return *this;
}

CComVariant& CComVariant::operator=(LPCOLESTR lpszSrc)
{
    BSTR copy = lpszSrc ? ::SysAllocString(lpszSrc) : nullptr;
    ::VariantClear(this);
    vt = VT_BSTR;
    bstrVal = copy;
    if (!copy && lpszSrc)
    {
        vt = VT_ERROR;
        scode = E_OUTOFMEMORY;
    }
    return *this;
}

HRESULT CComVariant::Copy(const VARIANT* pSrc) noexcept
{
    if (!pSrc) return E_POINTER;
    if (pSrc == this) return S_OK;
    ::VariantClear(this);
    const HRESULT hr = ::VariantCopy(this, const_cast<VARIANT*>(pSrc));
    if (FAILED(hr))
    {
        vt = VT_ERROR;
        scode = hr;
    }
    return hr;
}

HRESULT CComVariant::CopyTo(BSTR* pstrDest) const noexcept
{
    if (!pstrDest) return E_POINTER;
    *pstrDest = nullptr;
    if (vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    *pstrDest = ::SysAllocStringByteLen(reinterpret_cast<LPCSTR>(bstrVal), ::SysStringByteLen(bstrVal));
    return *pstrDest || !bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT CComVariant::Attach(VARIANT* pSrc) noexcept
{
    if (!pSrc) return E_INVALIDARG;
    if (pSrc == this) return S_OK;
    const HRESULT hr = ::VariantClear(this);
    if (FAILED(hr)) return hr;
    static_cast<tagVARIANT&>(*this) = *pSrc; // a plain move of the bits: nothing is copied or freed
    pSrc->vt = VT_EMPTY;
    return S_OK;
}

HRESULT CComVariant::Detach(VARIANT* pDest) noexcept
{
    if (!pDest) return E_POINTER;
    const HRESULT hr = ::VariantClear(pDest);
    if (FAILED(hr)) return hr;
    *pDest = *this;
    vt = VT_EMPTY;
    return S_OK;
}

HRESULT CComVariant::ChangeType(VARTYPE vtNew, const VARIANT* pSrc) noexcept
{
    VARIANT* source = const_cast<VARIANT*>(pSrc ? pSrc : this);
    return ::VariantChangeType(this, source, 0, vtNew);
}

bool CComVariant::operator==(const VARIANT& varSrc) const noexcept
{
    if (vt == VT_NULL && varSrc.vt == VT_NULL) return true;
    if (vt != varSrc.vt) return false;
    return ::VarCmp(const_cast<CComVariant*>(this), const_cast<VARIANT*>(&varSrc), LOCALE_USER_DEFAULT, 0) ==
           static_cast<HRESULT>(VARCMP_EQ);
}

bool CComVariant::operator<(const VARIANT& varSrc) const noexcept
{
    if (vt == VT_NULL && varSrc.vt == VT_NULL) return false;
    return ::VarCmp(const_cast<CComVariant*>(this), const_cast<VARIANT*>(&varSrc), LOCALE_USER_DEFAULT, 0) ==
           static_cast<HRESULT>(VARCMP_LT);
}

bool CComVariant::operator>(const VARIANT& varSrc) const noexcept
{
    if (vt == VT_NULL && varSrc.vt == VT_NULL) return false;
    return ::VarCmp(const_cast<CComVariant*>(this), const_cast<VARIANT*>(&varSrc), LOCALE_USER_DEFAULT, 0) ==
           static_cast<HRESULT>(VARCMP_GT);
}
