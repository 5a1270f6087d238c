#pragma once
#include "framework/CGdiObject.h"
#include "framework/CRect.h"
class CDC;
// A bitmap it owns: loaded from the resources, or created.
class CBitmap : public CGdiObject
{
    DECLARE_DYNAMIC(CBitmap)

public:
    CBitmap() = default;

    BOOL LoadBitmap(LPCWSTR lpszResourceName); // from AfxFindResourceHandle's module
    BOOL LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCEW(nIDResource)); }
    BOOL LoadOEMBitmap(UINT nIDBitmap);
    BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits);
    BOOL CreateBitmapIndirect(const BITMAP* lpBitmap);
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
    int GetBitmap(BITMAP* pBitMap) const { return GetObject(sizeof(BITMAP), pBitMap); }
    // The bitmap's size as the program describes it (0.1 mm units by convention); GDI ignores it.
    CSize SetBitmapDimension(int nWidth, int nHeight);
    CSize GetBitmapDimension() const;
    operator HBITMAP() const noexcept { return static_cast<HBITMAP>(GetSafeHandle()); }

    static CBitmap* FromHandle(HBITMAP hBitmap) { return FromHandleOf<CBitmap>(hBitmap); }
};
