#include "core/CCpuUsage.h"

namespace
{
ULONGLONG ToUInt64(const FILETIME& ft)
{
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

int Average(const std::array<int, 5>& ring, int nCount)
{
    long long sum = 0;
    for (int i = 0; i < nCount; ++i)
        sum += ring[i];
    return nCount ? static_cast<int>(sum / nCount) : 0;
}
} // namespace

CCpuUsage::CCpuUsage()
{
    m_sources.tickCount = [] { return GetTickCount(); };
    m_sources.systemTime = [] {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        return ToUInt64(ft);
    };
    m_sources.processTimes = [](ULONGLONG& kernel, ULONGLONG& user) {
        FILETIME created, exited, k, u;
        if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &k, &u)) return FALSE;
        kernel = ToUInt64(k);
        user = ToUInt64(u);
        return TRUE;
    };
    // Looked up by name: not every system the programs ran on had it.
    m_hKernel32.Attach(LoadLibraryW(L"kernel32.dll"));
    using GetSystemTimesFn = BOOL(WINAPI*)(FILETIME*, FILETIME*, FILETIME*);
    const auto pfn = m_hKernel32.IsValid() ? reinterpret_cast<GetSystemTimesFn>(reinterpret_cast<void (*)()>(
                                                 GetProcAddress(m_hKernel32, "GetSystemTimes")))
                                           : nullptr;
    if (pfn)
    {
        m_sources.systemTimes = [pfn](ULONGLONG& idle, ULONGLONG& kernel, ULONGLONG& user) {
            FILETIME i, k, u;
            if (!pfn(&i, &k, &u)) return FALSE;
            idle = ToUInt64(i);
            kernel = ToUInt64(k);
            user = ToUInt64(u);
            return TRUE;
        };
    }
    else
        m_hKernel32.Close();
    m_nLastTick = m_sources.tickCount();
}

CCpuUsage::CCpuUsage(Sources sources) : m_sources(std::move(sources))
{
    m_nLastTick = m_sources.tickCount();
}

CCpuUsage::~CCpuUsage()
{
    m_sources.systemTimes = nullptr; // it calls into the library, which m_hKernel32 then frees
}

void CCpuUsage::ReadTimes(ULONGLONG& idle, ULONGLONG& kernel, ULONGLONG& user, ULONGLONG& procKernel,
                          ULONGLONG& procUser)
{
    idle = kernel = user = procKernel = procUser = 0;
    if (!m_sources.systemTimes || !m_sources.systemTimes(idle, kernel, user)) idle = kernel = user = 0;
    if (!m_sources.processTimes(procKernel, procUser)) procKernel = procUser = 0;
}

int CCpuUsage::GetUsage(int* pnSystemLoad, ULONGLONG* pnTotalTime)
{
    int nSystemAverage, nProcessAverage;
    ULONGLONG nTotal;
    DWORD nLastTick;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        nSystemAverage = m_nSystemAverage;
        nProcessAverage = m_nProcessAverage;
        nTotal = m_nLastTotal;
        nLastTick = m_nLastTick;
    }
    const auto giveCached = [&] {
        if (pnSystemLoad) *pnSystemLoad = nSystemAverage;
        if (pnTotalTime) *pnTotalTime = nTotal;
        return nProcessAverage;
    };
    // Unsigned difference: right across the wrap of the tick count after 49.7 days.
    const DWORD nTick = m_sources.tickCount();
    if (nTick - nLastTick <= kMinIntervalMs) return giveCached();

    const ULONGLONG nNow = m_sources.systemTime();
    ULONGLONG idle, kernel, user, procKernel, procUser;
    ReadTimes(idle, kernel, user, procKernel, procUser);

    std::lock_guard<std::mutex> guard(m_lock);
    const bool bFirst = m_nLastSampleTime == 0;
    // A clock set back (or not moved) gives no interval to divide by: keep the loads and measure
    // the next sample from here.
    const bool bUsable = !bFirst && nNow > m_nLastSampleTime;
    if (bUsable)
    {
        const ULONGLONG elapsed = nNow - m_nLastSampleTime;
        const ULONGLONG dIdle = idle - m_nLastIdle;
        const ULONGLONG dBusyAndIdle = (kernel - m_nLastKernel) + (user - m_nLastUser); // kernel includes idle
        // Idle beyond the total only comes from inconsistent counters: no load rather than a wrapped one.
        const int nSystemLoad =
            dBusyAndIdle > dIdle ? static_cast<int>((dBusyAndIdle - dIdle) * 100 / dBusyAndIdle) : 0;
        const ULONGLONG dProcess = (procKernel - m_nLastProcKernel) + (procUser - m_nLastProcUser);
        const int nProcessLoad = static_cast<int>(dProcess * 100 / elapsed);
        m_systemLoads[m_nPos] = nSystemLoad;
        m_processLoads[m_nPos] = nProcessLoad;
        m_nPos = (m_nPos + 1) % kSamples;
        if (m_nCount < kSamples) ++m_nCount;
        m_nSystemAverage = Average(m_systemLoads, m_nCount);
        m_nProcessAverage = Average(m_processLoads, m_nCount);
    }
    else if (bFirst)
    {
        m_nSystemAverage = 0;
        m_nProcessAverage = 0;
    }
    m_nLastSampleTime = nNow ? nNow : 1; // 0 means "no sample yet"
    m_nLastIdle = idle;
    m_nLastKernel = kernel;
    m_nLastUser = user;
    m_nLastProcKernel = procKernel;
    m_nLastProcUser = procUser;
    m_nLastTotal = kernel + user;
    m_nLastTick = nTick;
    if (pnSystemLoad) *pnSystemLoad = m_nSystemAverage;
    if (pnTotalTime) *pnTotalTime = m_nLastTotal;
    return m_nProcessAverage;
}
