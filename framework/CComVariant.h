#pragma once
#include "framework/Platform.h"
#include <oleauto.h>

class CComBSTR;

// A VARIANT that owns its content (cleared on destruction, deep-copied on copy). Failures are HRESULTs;
// a copy that fails leaves VT_ERROR with the failure code, as the ATL class does.
class CComVariant : public tagVARIANT
{
public:
    CComVariant() noexcept { ::VariantInit(this); }
    CComVariant(const VARIANT& varSrc);
    CComVariant(const CComVariant& varSrc);
    CComVariant(CComVariant&& varSrc) noexcept;
    CComVariant(LPCOLESTR lpszSrc);
    CComVariant(LPCSTR lpszSrc);
    CComVariant(const CComBSTR& bstrSrc);
    CComVariant(bool bSrc) noexcept;
    CComVariant(int nSrc, VARTYPE vtSrc = VT_I4) noexcept; // VT_I4 or VT_INT
    CComVariant(BYTE nSrc) noexcept;
    CComVariant(short nSrc) noexcept;
    CComVariant(long nSrc, VARTYPE vtSrc = VT_I4) noexcept; // VT_I4 or VT_ERROR
    CComVariant(float fltSrc) noexcept;
    CComVariant(double dblSrc, VARTYPE vtSrc = VT_R8) noexcept; // VT_R8 or VT_DATE
    CComVariant(LONGLONG nSrc) noexcept;
    CComVariant(ULONGLONG nSrc) noexcept;
    CComVariant(unsigned int nSrc, VARTYPE vtSrc = VT_UI4) noexcept; // VT_UI4 or VT_UINT
    CComVariant(unsigned long nSrc) noexcept;
    CComVariant(IDispatch* pSrc) noexcept; // AddRef'd
    CComVariant(IUnknown* pSrc) noexcept;  // AddRef'd
    CComVariant(const SAFEARRAY* pSrc);    // copied
    ~CComVariant() { ::VariantClear(this); }

    CComVariant& operator=(const CComVariant& varSrc);
    CComVariant& operator=(CComVariant&& varSrc) noexcept;
    CComVariant& operator=(const VARIANT& varSrc);
    CComVariant& operator=(LPCOLESTR lpszSrc);
    CComVariant& operator=(bool bSrc) { return *this = CComVariant(bSrc); }
    CComVariant& operator=(int nSrc) { return *this = CComVariant(nSrc); }
    CComVariant& operator=(long nSrc) { return *this = CComVariant(nSrc); }
    CComVariant& operator=(double dblSrc) { return *this = CComVariant(dblSrc); }

    HRESULT Clear() noexcept { return ::VariantClear(this); }
    HRESULT Copy(const VARIANT* pSrc) noexcept;
    HRESULT CopyTo(BSTR* pstrDest) const noexcept; // VT_BSTR only
    HRESULT Attach(VARIANT* pSrc) noexcept;        // takes the content over; pSrc becomes VT_EMPTY
    HRESULT Detach(VARIANT* pDest) noexcept;       // hands the content over; this becomes VT_EMPTY
    HRESULT ChangeType(VARTYPE vtNew, const VARIANT* pSrc = nullptr) noexcept;

    // Equal: same type and VarCmp (user locale) finds the values equal; two VT_NULL are equal.
    bool operator==(const VARIANT& varSrc) const noexcept;
    bool operator!=(const VARIANT& varSrc) const noexcept { return !(*this == varSrc); }
    bool operator<(const VARIANT& varSrc) const noexcept;
    bool operator>(const VARIANT& varSrc) const noexcept;
};
