#include "framework/testing/MessagePump.h"
#include "framework/CWnd.h"

namespace
{
// Dispatches what is queued now; false when WM_QUIT came (it is posted again for the caller's loop).
bool PumpPending(bool* pAny) { return AfxPumpPendingMessages(0, 0, pAny) != FALSE; }

DWORD Remaining(ULONGLONG deadline)
{
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}
} // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;)
    {
        if (done()) return true;
        if (!PumpPending(nullptr)) return done();
        if (done()) return true;
        const DWORD left = Remaining(deadline);
        if (!left) return false;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, left < 20 ? left : 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool PumpUntilIdle(DWORD quietMs, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    ULONGLONG quietSince = ::GetTickCount64();
    for (;;)
    {
        bool any = false;
        if (!PumpPending(&any)) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (any) quietSince = now;
        if (now - quietSince >= quietMs) return true;
        const DWORD left = Remaining(deadline);
        if (!left) return false;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, left < 10 ? left : 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void PumpFor(DWORD durationMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + durationMs;
    while (PumpPending(nullptr))
    {
        const DWORD left = Remaining(deadline);
        if (!left) return;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}
