#include "sessions/CLockObject.h"

CLockObject CLockObject::s_instance;

BOOL CLockObject::IsLockedByCurrentThread(BOOL& bExclusive) const
{
    bExclusive = FALSE;
    if (!m_lock.IsHeldByCurrentThread()) return FALSE;
    DWORD dwWriter = 0;
    CDWordArray readers;
    m_lock.GetOwners(dwWriter, readers);
    const DWORD self = ::GetCurrentThreadId();
    for (INT_PTR i = 0; i < readers.GetSize(); ++i)
        if (readers[i] == self) return TRUE;
    if (dwWriter == self)
    {
        bExclusive = TRUE;
        return TRUE;
    }
    return FALSE;
}

BOOL CLockObject::IsReadLockedByCurrentThread() const
{
    BOOL bExclusive = FALSE;
    return IsLockedByCurrentThread(bExclusive) && !bExclusive;
}
