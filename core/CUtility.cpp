#include "core/CUtility.h"

namespace
{
// Puts the thread's priority back however the slide ends
class CThreadPriorityRaise
{
public:
    CThreadPriorityRaise() : m_nOld(GetThreadPriority(GetCurrentThread()))
    {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    }
    CThreadPriorityRaise(const CThreadPriorityRaise&) = delete;
    CThreadPriorityRaise& operator=(const CThreadPriorityRaise&) = delete;
    ~CThreadPriorityRaise()
    {
        if (m_nOld != THREAD_PRIORITY_ERROR_RETURN) SetThreadPriority(GetCurrentThread(), m_nOld);
    }

private:
    int m_nOld;
};

constexpr UINT kPlaceFlags = SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER;
} // namespace

CUtility::CUtility() : m_nShrinkDurationMs(400), m_nGrowDurationMs(200) {}

BOOL CUtility::AnimateWindowRect(HWND hWnd, const RECT& rcTarget)
{
    const int cx = rcTarget.right - rcTarget.left, cy = rcTarget.bottom - rcTarget.top;
    RECT rcCurrent;
    if (m_nShrinkDurationMs > 0 && m_nGrowDurationMs > 0 && GetWindowRect(hWnd, &rcCurrent))
    {
        const bool bGrowing = cy > rcCurrent.bottom - rcCurrent.top || cx > rcCurrent.right - rcCurrent.left;
        // Twice the distance between the centres: a bar slides until its far edge meets the target's
        const int dx = rcTarget.left + rcTarget.right - rcCurrent.left - rcCurrent.right;
        const int dy = rcTarget.top + rcTarget.bottom - rcCurrent.top - rcCurrent.bottom;
        POINT start{rcCurrent.left, rcCurrent.top};
        ULONGLONG nDuration = static_cast<ULONGLONG>(m_nShrinkDurationMs);
        if (bGrowing)
        {
            start = POINT{rcTarget.left - dx, rcTarget.top - dy};
            SetWindowPos(hWnd, nullptr, start.x, start.y, cx, cy, kPlaceFlags);
            nDuration = static_cast<ULONGLONG>(m_nGrowDurationMs);
        }
        CThreadPriorityRaise raise;
        const ULONGLONG nStart = GetTickCount64();
        for (ULONGLONG nElapsed; (nElapsed = GetTickCount64() - nStart) < nDuration;)
        {
            const int x =
                start.x + static_cast<int>(dx * static_cast<LONGLONG>(nElapsed) / static_cast<LONGLONG>(nDuration));
            const int y =
                start.y + static_cast<int>(dy * static_cast<LONGLONG>(nElapsed) / static_cast<LONGLONG>(nDuration));
            SetWindowPos(hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            // What the window uncovers must be painted now, not after the slide
            RedrawWindow(bGrowing ? hWnd : GetDesktopWindow(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
    }
    return SetWindowPos(hWnd, nullptr, rcTarget.left, rcTarget.top, cx, cy, kPlaceFlags);
}
