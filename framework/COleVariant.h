#pragma once
#include "framework/CString.h"
#include <oleauto.h>

class COleDateTime;
class CByteArray;
using LPCVARIANT = const VARIANT*;

// A VARIANT that owns its content. Failures of the system's variant calls raise COleException*
// (CMemoryException* when memory runs out), as the framework does.
class COleVariant : public tagVARIANT
{
public:
    COleVariant() noexcept { ::VariantInit(this); }
    COleVariant(const VARIANT& varSrc);
    COleVariant(LPCVARIANT pSrc);
    COleVariant(const COleVariant& varSrc);
    COleVariant(COleVariant&& varSrc) noexcept;
    COleVariant(LPCWSTR lpszSrc);                // VT_BSTR; a null pointer gives a null BSTR
    COleVariant(LPCWSTR lpszSrc, VARTYPE vtSrc); // VT_BSTR (VT_BSTRT of a Unicode program)
    COleVariant(const CString& strSrc);
    COleVariant(bool bSrc) noexcept;                            // VT_BOOL
    COleVariant(BYTE nSrc) noexcept;                            // VT_UI1
    COleVariant(short nSrc, VARTYPE vtSrc = VT_I2) noexcept;    // VT_I2 or VT_BOOL
    COleVariant(int nSrc, VARTYPE vtSrc = VT_I4) noexcept;      // VT_I4, VT_INT, VT_ERROR or VT_BOOL
    COleVariant(long lSrc, VARTYPE vtSrc = VT_I4) noexcept;     // VT_I4, VT_ERROR or VT_BOOL
    COleVariant(LONGLONG nSrc) noexcept;                        // VT_I8
    COleVariant(ULONGLONG nSrc) noexcept;                       // VT_UI8
    COleVariant(float fltSrc) noexcept;                         // VT_R4
    COleVariant(double dblSrc, VARTYPE vtSrc = VT_R8) noexcept; // VT_R8 or VT_DATE
    COleVariant(const COleDateTime& dateSrc) noexcept;          // VT_DATE
    COleVariant(const CByteArray& arrSrc); // VT_ARRAY | VT_UI1: a one-dimensional byte array from 0
    ~COleVariant() { ::VariantClear(this); }

    COleVariant& operator=(const COleVariant& varSrc);
    COleVariant& operator=(COleVariant&& varSrc) noexcept;
    COleVariant& operator=(const VARIANT& varSrc);
    COleVariant& operator=(LPCVARIANT pSrc);
    COleVariant& operator=(LPCWSTR lpszSrc);
    COleVariant& operator=(const CString& strSrc) { return *this = strSrc.GetString(); }
    COleVariant& operator=(bool bSrc);
    COleVariant& operator=(BYTE nSrc);
    COleVariant& operator=(short nSrc); // keeps VT_BOOL when the variant is one
    COleVariant& operator=(long lSrc);  // keeps VT_ERROR and VT_BOOL when the variant is one
    COleVariant& operator=(int nSrc) { return *this = static_cast<long>(nSrc); }
    COleVariant& operator=(LONGLONG nSrc);
    COleVariant& operator=(float fltSrc);
    COleVariant& operator=(double dblSrc); // keeps VT_DATE when the variant is one
    COleVariant& operator=(const COleDateTime& dateSrc);
    COleVariant& operator=(const CByteArray& arrSrc);

    // Same type and same value, compared exactly (texts by their bytes, arrays element by element).
    bool operator==(const VARIANT& varSrc) const noexcept;
    bool operator==(LPCVARIANT pSrc) const noexcept { return pSrc && *this == *pSrc; }
    bool operator==(const COleVariant& varSrc) const noexcept { return *this == static_cast<const VARIANT&>(varSrc); }
    bool operator!=(const COleVariant& varSrc) const noexcept { return !(*this == varSrc); }
    bool operator!=(const VARIANT& varSrc) const noexcept { return !(*this == varSrc); }
    bool operator!=(LPCVARIANT pSrc) const noexcept { return !(*this == pSrc); }

    void Clear();
    // Changes this variant (or puts a changed copy of pSrc into it) to vartype with the system's rules.
    void ChangeType(VARTYPE vartype, LPVARIANT pSrc = nullptr);
    void Attach(VARIANT& varSrc); // takes the content over; varSrc becomes VT_EMPTY
    VARIANT Detach() noexcept;    // hands the content over; this becomes VT_EMPTY
    void SetString(LPCWSTR lpszSrc, VARTYPE vtSrc);
    // The bytes of a VT_ARRAY | VT_UI1 variant (of any dimensions); anything else raises a type mismatch.
    void GetByteArrayFromVariantArray(CByteArray& bytes) const;

    operator LPVARIANT() noexcept { return this; }
    operator LPCVARIANT() const noexcept { return this; }
};
