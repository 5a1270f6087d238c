#include "framework/testing/CLoopStep.h"

CLoopStep::CLoopStep(std::function<bool()> step) : m_step(std::move(step))
{
    s_pCurrent = this;
    m_nTimer = ::SetTimer(nullptr, 0, 10, &CLoopStep::Tick);
}

CLoopStep::~CLoopStep()
{
    ::KillTimer(nullptr, m_nTimer);
    s_pCurrent = nullptr;
}

void CALLBACK CLoopStep::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    CLoopStep* p = s_pCurrent;
    if (!p || p->m_bDone || p->m_bRunning) return;
    p->m_bRunning = true;
    p->m_bDone = p->m_step();
    p->m_bRunning = false;
}
