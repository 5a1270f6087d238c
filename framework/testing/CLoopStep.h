#pragma once
#include "framework/Platform.h"
#include <functional>
// A step run from whatever message loop the thread is in (a modal dialog's, a box's), every 10 ms
// until it returns true: how a test drives a window that runs its own loop. A step that pumps
// itself (a box) is not entered again. One at a time per process.
class CLoopStep
{
public:
    explicit CLoopStep(std::function<bool()> step);
    ~CLoopStep();
    CLoopStep(const CLoopStep&) = delete;
    CLoopStep& operator=(const CLoopStep&) = delete;

    bool IsDone() const { return m_bDone; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static inline CLoopStep* s_pCurrent = nullptr;
    std::function<bool()> m_step;
    UINT_PTR m_nTimer = 0;
    bool m_bDone = false;
    bool m_bRunning = false;
};
