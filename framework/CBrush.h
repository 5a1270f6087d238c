#pragma once
#include "framework/CGdiObject.h"
class CBitmap;
// A brush it owns. The constructor that creates leaves the object empty when the system refuses.
class CBrush : public CGdiObject
{
    DECLARE_DYNAMIC(CBrush)

public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor);

    BOOL CreateSolidBrush(COLORREF crColor);
    BOOL CreateHatchBrush(int nIndex, COLORREF crColor);
    BOOL CreatePatternBrush(CBitmap* pBitmap);
    BOOL CreateBrushIndirect(const LOGBRUSH* lpLogBrush);
    // System colour brushes are the system's: DeleteObject on them does nothing, so owning one is harmless.
    BOOL CreateSysColorBrush(int nIndex);
    int GetLogBrush(LOGBRUSH* pLogBrush) const { return GetObject(sizeof(LOGBRUSH), pLogBrush); }
    operator HBRUSH() const noexcept { return static_cast<HBRUSH>(GetSafeHandle()); }

    static CBrush* FromHandle(HBRUSH hBrush) { return FromHandleOf<CBrush>(hBrush); }
};
