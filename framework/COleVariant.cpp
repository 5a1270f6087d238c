#include "framework/COleVariant.h"
#include "framework/CArray.h"
#include "framework/CHandleOwner.h"
#include "framework/COleDateTime.h"
#include "framework/COleException.h"
#include <cstring>

namespace
{
bool AreArraysEqual(SAFEARRAY* a, SAFEARRAY* b, VARTYPE vt)
{
    if (a == b) return true;
    if (!a || !b) return false;
    const UINT dims = ::SafeArrayGetDim(a);
    if (dims != ::SafeArrayGetDim(b) || ::SafeArrayGetElemsize(a) != ::SafeArrayGetElemsize(b)) return false;
    ULONGLONG count = 1;
    for (UINT i = 0; i < dims; ++i)
    {
        if (a->rgsabound[i].cElements != b->rgsabound[i].cElements ||
            a->rgsabound[i].lLbound != b->rgsabound[i].lLbound)
            return false;
        count *= a->rgsabound[i].cElements;
    }
    const VARTYPE element = static_cast<VARTYPE>(vt & VT_TYPEMASK);
    if (element == VT_BSTR || element == VT_VARIANT || element == VT_UNKNOWN || element == VT_DISPATCH)
        return false; // elements that hold pointers are not compared
    void* dataA = nullptr;
    void* dataB = nullptr;
    bool equal = false;
    if (SUCCEEDED(::SafeArrayAccessData(a, &dataA)))
    {
        const CSafeArrayAccess accessA(a);
        if (SUCCEEDED(::SafeArrayAccessData(b, &dataB)))
        {
            const CSafeArrayAccess accessB(b);
            equal = std::memcmp(dataA, dataB, static_cast<size_t>(count * ::SafeArrayGetElemsize(a))) == 0;
        }
    }
    return equal;
}
} // namespace

COleVariant::COleVariant(const VARIANT& varSrc)
{
    ::VariantInit(this);
    AfxCheckError(::VariantCopy(this, const_cast<VARIANT*>(&varSrc)));
}

COleVariant::COleVariant(LPCVARIANT pSrc)
{
    ::VariantInit(this);
    if (pSrc) AfxCheckError(::VariantCopy(this, const_cast<VARIANT*>(pSrc)));
}

COleVariant::COleVariant(const COleVariant& varSrc) : tagVARIANT()
{
    ::VariantInit(this);
    AfxCheckError(::VariantCopy(this, const_cast<COleVariant*>(&varSrc)));
}

COleVariant::COleVariant(COleVariant&& varSrc) noexcept : tagVARIANT(varSrc)
{
    varSrc.vt = VT_EMPTY;
}

COleVariant::COleVariant(LPCWSTR lpszSrc)
{
    ::VariantInit(this);
    *this = lpszSrc;
}

COleVariant::COleVariant(LPCWSTR lpszSrc, VARTYPE vtSrc)
{
    ::VariantInit(this);
    SetString(lpszSrc, vtSrc);
}

COleVariant::COleVariant(LPCSTR lpszSrc)
{
    ::VariantInit(this);
    if (lpszSrc)
        *this = CString(lpszSrc);
    else
        *this = static_cast<LPCWSTR>(nullptr);
}

COleVariant::COleVariant(const CString& strSrc)
{
    ::VariantInit(this);
    vt = VT_BSTR;
    bstrVal = strSrc.AllocSysString();
}

COleVariant::COleVariant(bool bSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_BOOL;
    boolVal = bSrc ? VARIANT_TRUE : VARIANT_FALSE;
}

COleVariant::COleVariant(BYTE nSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UI1;
    bVal = nSrc;
}

COleVariant::COleVariant(short nSrc, VARTYPE vtSrc) noexcept
{
    ::VariantInit(this);
    if (vtSrc == VT_BOOL)
    {
        vt = VT_BOOL;
        boolVal = nSrc ? VARIANT_TRUE : VARIANT_FALSE;
    }
    else
    {
        vt = VT_I2;
        iVal = nSrc;
    }
}

COleVariant::COleVariant(int nSrc, VARTYPE vtSrc) noexcept
{
    ::VariantInit(this);
    if (vtSrc == VT_INT)
    {
        vt = VT_INT;
        intVal = nSrc;
    }
    else
        *this = COleVariant(static_cast<long>(nSrc), vtSrc);
}

COleVariant::COleVariant(long lSrc, VARTYPE vtSrc) noexcept
{
    ::VariantInit(this);
    if (vtSrc == VT_BOOL)
    {
        vt = VT_BOOL;
        boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
    }
    else if (vtSrc == VT_ERROR)
    {
        vt = VT_ERROR;
        scode = lSrc;
    }
    else
    {
        vt = VT_I4;
        lVal = lSrc;
    }
}

COleVariant::COleVariant(LONGLONG nSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_I8;
    llVal = nSrc;
}

COleVariant::COleVariant(ULONGLONG nSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_UI8;
    ullVal = nSrc;
}

COleVariant::COleVariant(float fltSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_R4;
    fltVal = fltSrc;
}

COleVariant::COleVariant(double dblSrc, VARTYPE vtSrc) noexcept
{
    ::VariantInit(this);
    vt = vtSrc == VT_DATE ? VT_DATE : VT_R8;
    dblVal = dblSrc;
}

COleVariant::COleVariant(const COleDateTime& dateSrc) noexcept
{
    ::VariantInit(this);
    vt = VT_DATE;
    date = dateSrc.m_dt;
}

COleVariant::COleVariant(const CByteArray& arrSrc)
{
    ::VariantInit(this);
    *this = arrSrc;
}

COleVariant& COleVariant::operator=(const CByteArray& arrSrc)
{
    const INT_PTR size = arrSrc.GetSize();
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    if (!array) AfxThrowMemoryException();
    if (size)
    {
        void* data = nullptr;
        const HRESULT hr = ::SafeArrayAccessData(array, &data);
        if (FAILED(hr))
        {
            ::SafeArrayDestroy(array);
            AfxCheckError(hr);
        }
        const CSafeArrayAccess access(array);
        std::memcpy(data, arrSrc.GetData(), static_cast<size_t>(size));
    }
    Clear();
    vt = VT_ARRAY | VT_UI1;
    parray = array;
    return *this;
}

void COleVariant::GetByteArrayFromVariantArray(CByteArray& bytes) const
{
    if (vt != (VT_ARRAY | VT_UI1) || !parray) AfxThrowOleException(DISP_E_TYPEMISMATCH);
    ULONGLONG count = 1;
    for (UINT i = 0; i < ::SafeArrayGetDim(parray); ++i)
        count *= parray->rgsabound[i].cElements;
    bytes.SetSize(static_cast<INT_PTR>(count));
    if (!count) return;
    void* data = nullptr;
    AfxCheckError(::SafeArrayAccessData(parray, &data));
    const CSafeArrayAccess access(parray);
    std::memcpy(bytes.GetData(), data, static_cast<size_t>(count));
}

COleVariant& COleVariant::operator=(const COleVariant& varSrc)
{
    return *this = static_cast<const VARIANT&>(varSrc);
}

COleVariant& COleVariant::operator=(COleVariant&& varSrc) noexcept
{
    if (this != &varSrc)
    {
        ::VariantClear(this);
        static_cast<tagVARIANT&>(*this) = varSrc;
        varSrc.vt = VT_EMPTY;
    }
    return *this;
}

COleVariant& COleVariant::operator=(const VARIANT& varSrc)
{
    if (static_cast<const VARIANT*>(this) != &varSrc) AfxCheckError(::VariantCopy(this, const_cast<VARIANT*>(&varSrc)));
    return *this;
}

COleVariant& COleVariant::operator=(LPCVARIANT pSrc)
{
    if (!pSrc)
    {
        Clear();
        return *this;
    }
    return *this = *pSrc;
}

COleVariant& COleVariant::operator=(LPCWSTR lpszSrc)
{
    SetString(lpszSrc, VT_BSTR);
    return *this;
}

COleVariant& COleVariant::operator=(bool bSrc)
{
    Clear();
    vt = VT_BOOL;
    boolVal = bSrc ? VARIANT_TRUE : VARIANT_FALSE;
    return *this;
}

COleVariant& COleVariant::operator=(BYTE nSrc)
{
    if (vt != VT_UI1) Clear();
    vt = VT_UI1;
    bVal = nSrc;
    return *this;
}

COleVariant& COleVariant::operator=(short nSrc)
{
    if (vt == VT_BOOL)
        boolVal = nSrc ? VARIANT_TRUE : VARIANT_FALSE;
    else
    {
        if (vt != VT_I2) Clear();
        vt = VT_I2;
        iVal = nSrc;
    }
    return *this;
}

COleVariant& COleVariant::operator=(long lSrc)
{
    if (vt == VT_BOOL)
        boolVal = lSrc ? VARIANT_TRUE : VARIANT_FALSE;
    else if (vt == VT_ERROR)
        scode = lSrc;
    else
    {
        if (vt != VT_I4) Clear();
        vt = VT_I4;
        lVal = lSrc;
    }
    return *this;
}

COleVariant& COleVariant::operator=(LONGLONG nSrc)
{
    if (vt != VT_I8) Clear();
    vt = VT_I8;
    llVal = nSrc;
    return *this;
}

COleVariant& COleVariant::operator=(float fltSrc)
{
    if (vt != VT_R4) Clear();
    vt = VT_R4;
    fltVal = fltSrc;
    return *this;
}

COleVariant& COleVariant::operator=(double dblSrc)
{
    if (vt != VT_R8 && vt != VT_DATE)
    {
        Clear();
        vt = VT_R8;
    }
    dblVal = dblSrc; // date and dblVal share their storage
    return *this;
}

COleVariant& COleVariant::operator=(const COleDateTime& dateSrc)
{
    if (vt != VT_DATE) Clear();
    vt = VT_DATE;
    date = dateSrc.m_dt;
    return *this;
}

bool COleVariant::operator==(const VARIANT& varSrc) const noexcept
{
    if (static_cast<const VARIANT*>(this) == &varSrc) return true;
    if (vt != varSrc.vt) return false;
    if (vt & VT_BYREF) return byref == varSrc.byref;
    if (vt & VT_ARRAY) return AreArraysEqual(parray, varSrc.parray, vt);
    switch (vt)
    {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_BOOL:
        return boolVal == varSrc.boolVal;
    case VT_I1:
    case VT_UI1:
        return bVal == varSrc.bVal;
    case VT_I2:
    case VT_UI2:
        return iVal == varSrc.iVal;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
        return lVal == varSrc.lVal;
    case VT_R4:
        return fltVal == varSrc.fltVal;
    case VT_R8:
    case VT_DATE:
        return dblVal == varSrc.dblVal;
    case VT_I8:
    case VT_UI8:
    case VT_CY:
        return llVal == varSrc.llVal;
    case VT_DECIMAL:
        return std::memcmp(&decVal, &varSrc.decVal, sizeof(DECIMAL)) == 0;
    case VT_BSTR: {
        const UINT length = ::SysStringByteLen(bstrVal);
        return length == ::SysStringByteLen(varSrc.bstrVal) &&
               (length == 0 || std::memcmp(bstrVal, varSrc.bstrVal, length) == 0);
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return punkVal == varSrc.punkVal;
    default:
        return false;
    }
}

void COleVariant::Clear()
{
    AfxCheckError(::VariantClear(this));
}

void COleVariant::ChangeType(VARTYPE vartype, LPVARIANT pSrc)
{
    if (!pSrc) pSrc = this;
    if (pSrc != this || vartype != vt) AfxCheckError(::VariantChangeType(this, pSrc, 0, vartype));
}

void COleVariant::Attach(VARIANT& varSrc)
{
    if (&varSrc == this) return;
    Clear();
    static_cast<tagVARIANT&>(*this) = varSrc; // the bits move; nothing is copied or freed
    varSrc.vt = VT_EMPTY;
}

VARIANT COleVariant::Detach() noexcept
{
    VARIANT result = *this;
    vt = VT_EMPTY;
    return result;
}

void COleVariant::SetString(LPCWSTR lpszSrc, VARTYPE vtSrc)
{
    Clear();
    vt = VT_BSTR;
    bstrVal = nullptr;
    if (!lpszSrc) return;
    // In a Unicode program the ANSI form VT_BSTRT is VT_BSTR itself: every text is a wide BSTR.
    (void)vtSrc;
    bstrVal = ::SysAllocString(lpszSrc);
    if (!bstrVal)
    {
        vt = VT_EMPTY;
        AfxThrowMemoryException();
    }
}
