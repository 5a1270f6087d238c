#pragma once
// Slides a window to a new rectangle: the docked desktop bar uses it to hide itself to a strip
// at the screen edge and to come back.
#include "framework/Platform.h"

class CUtility
{
public:
    CUtility();
    virtual ~CUtility() = default;

    // Slides, then sets the window to rcTarget (screen coordinates); the result of that last
    // positioning. The calling thread runs at highest priority while the window slides.
    BOOL AnimateWindowRect(HWND hWnd, const RECT& rcTarget);

    int m_nShrinkDurationMs; // 0 or less: no slide
    int m_nGrowDurationMs;
};
