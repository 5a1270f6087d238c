#pragma once
#include "framework/CWnd.h"
// The rectangle of a window's caption bar in window coordinates (relative to the window's
// top-left corner), worked out from the frame kind and the system metrics at construction.
class CCaptionRect : public CRect
{
public:
    explicit CCaptionRect(const CWnd* pWnd);
    virtual ~CCaptionRect() = default;
};
