#include "uikit/ClassicButtonEdges.h"
#include "framework/CPen.h"

void DrawClassicButtonEdges(CDC* pDC, const CRect& rc)
{
    const int l = rc.left, t = rc.top, r = rc.right, b = rc.bottom;
    const struct
    {
        int color;
        POINT from, corner, to;
    } lines[] = {
        {COLOR_BTNHIGHLIGHT, {l, b - 1}, {l, t}, {r, t}},
        {COLOR_3DLIGHT, {l + 1, b - 1}, {l + 1, t + 1}, {r, t + 1}},
        {COLOR_3DDKSHADOW, {l, b - 1}, {r - 1, b - 1}, {r - 1, t - 1}},
        {COLOR_BTNSHADOW, {l + 1, b - 2}, {r - 2, b - 2}, {r - 2, t}},
    };
    for (const auto& line : lines)
    {
        CPen pen(PS_SOLID, 1, ::GetSysColor(line.color));
        CPen* pOld = pDC->SelectObject(&pen);
        pDC->MoveTo(line.from);
        pDC->LineTo(line.corner);
        pDC->LineTo(line.to);
        pDC->SelectObject(pOld);
    }
}
