#pragma once
#include "framework/Platform.h"
#include <utility>
// CPoint, CSize and CRect: the Win32 geometry records with the framework's conveniences.
// They add no members to the records, so a CRect* can be passed where a RECT* is wanted.

class CSize : public SIZE
{
public:
    CSize() noexcept : SIZE{0, 0} {}
    CSize(int x, int y) noexcept : SIZE{x, y} {}
    CSize(SIZE s) noexcept : SIZE(s) {}
    bool operator==(const SIZE& s) const noexcept { return cx == s.cx && cy == s.cy; }
    bool operator!=(const SIZE& s) const noexcept { return !(*this == s); }
    CSize operator+(SIZE s) const noexcept { return CSize(cx + s.cx, cy + s.cy); }
    CSize operator-(SIZE s) const noexcept { return CSize(cx - s.cx, cy - s.cy); }
};

class CPoint : public POINT
{
public:
    CPoint() noexcept : POINT{0, 0} {}
    CPoint(int x_, int y_) noexcept : POINT{x_, y_} {}
    CPoint(POINT p) noexcept : POINT(p) {}
    // The packed coordinates of mouse messages and GetMessagePos (signed 16-bit each).
    explicit CPoint(LPARAM packed) noexcept
        : POINT{static_cast<short>(LOWORD(packed)), static_cast<short>(HIWORD(packed))}
    {
    }
    void Offset(int dx, int dy) noexcept
    {
        x += dx;
        y += dy;
    }
    bool operator==(const POINT& p) const noexcept { return x == p.x && y == p.y; }
    bool operator!=(const POINT& p) const noexcept { return !(*this == p); }
    CPoint operator+(SIZE s) const noexcept { return CPoint(x + s.cx, y + s.cy); }
    CPoint operator-(SIZE s) const noexcept { return CPoint(x - s.cx, y - s.cy); }
    CSize operator-(POINT p) const noexcept { return CSize(x - p.x, y - p.y); }
};

class CRect : public RECT
{
public:
    CRect() noexcept : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) noexcept : RECT{l, t, r, b} {}
    CRect(const RECT& r) noexcept : RECT(r) {}
    CRect(POINT topLeft, SIZE size) noexcept : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
    CRect(POINT topLeft, POINT bottomRight) noexcept : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    CSize Size() const noexcept { return CSize(Width(), Height()); }
    CPoint TopLeft() const noexcept { return CPoint(left, top); }
    CPoint BottomRight() const noexcept { return CPoint(right, bottom); }
    CPoint CenterPoint() const noexcept { return CPoint((left + right) / 2, (top + bottom) / 2); }
    BOOL IsRectEmpty() const noexcept { return ::IsRectEmpty(this); }
    BOOL IsRectNull() const noexcept { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    BOOL PtInRect(POINT p) const noexcept { return ::PtInRect(this, p); }
    void SetRect(int l, int t, int r, int b) noexcept { ::SetRect(this, l, t, r, b); }
    void SetRectEmpty() noexcept { ::SetRectEmpty(this); }
    void OffsetRect(int dx, int dy) noexcept { ::OffsetRect(this, dx, dy); }
    void OffsetRect(POINT p) noexcept { ::OffsetRect(this, p.x, p.y); }
    void OffsetRect(SIZE s) noexcept { ::OffsetRect(this, s.cx, s.cy); }
    void InflateRect(int dx, int dy) noexcept { ::InflateRect(this, dx, dy); }
    void DeflateRect(int dx, int dy) noexcept { ::InflateRect(this, -dx, -dy); }
    void NormalizeRect() noexcept
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
    }
    BOOL IntersectRect(const RECT* a, const RECT* b) noexcept { return ::IntersectRect(this, a, b); }
    BOOL UnionRect(const RECT* a, const RECT* b) noexcept { return ::UnionRect(this, a, b); }
    void MoveToXY(int x, int y) noexcept { OffsetRect(x - left, y - top); }

    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }
    bool operator==(const RECT& r) const noexcept { return ::EqualRect(this, &r) != FALSE; }
    bool operator!=(const RECT& r) const noexcept { return !(*this == r); }
};
