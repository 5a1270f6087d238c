#include "uikit/CCaptionRect.h"

CCaptionRect::CCaptionRect(const CWnd* pWnd)
{
    const bool thick = (pWnd->GetStyle() & WS_THICKFRAME) != 0;
    const int frameX = ::GetSystemMetrics(thick ? SM_CXFRAME : SM_CXDLGFRAME);
    const int frameY = ::GetSystemMetrics(thick ? SM_CYFRAME : SM_CYDLGFRAME);
    pWnd->GetWindowRect(this);
    OffsetRect(-left, -top);
    left += frameX;
    right -= frameX;
    top += frameY;
    bottom = top + ::GetSystemMetrics(SM_CYCAPTION) - ::GetSystemMetrics(SM_CYBORDER);
}
