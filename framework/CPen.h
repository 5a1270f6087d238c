#pragma once
#include "framework/CGdiObject.h"
// A pen it owns. The constructor that creates leaves the object empty (GetSafeHandle() null)
// when the system refuses.
class CPen : public CGdiObject
{
    DECLARE_DYNAMIC(CPen)

public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor);

    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);
    BOOL CreatePenIndirect(const LOGPEN* lpLogPen);
    int GetLogPen(LOGPEN* pLogPen) const { return GetObject(sizeof(LOGPEN), pLogPen); }
    operator HPEN() const noexcept { return static_cast<HPEN>(GetSafeHandle()); }

    static CPen* FromHandle(HPEN hPen) { return FromHandleOf<CPen>(hPen); }
};
