#pragma once
#include "framework/CHandleOwner.h"
#include "framework/Platform.h"
#include <array>
#include <functional>
#include <mutex>

// Processor load of the whole system and of the own process, each averaged over the last five
// samples. Samples are at least 200 ms apart: a call sooner than that gets the previous answer.
class CCpuUsage
{
public:
    // Where the times come from; tests give their own. Times are in 100-ns units.
    struct Sources
    {
        std::function<DWORD()> tickCount;
        std::function<ULONGLONG()> systemTime; // wall clock
        // Idle, kernel (idle included) and user time of all processors; empty when not available.
        std::function<BOOL(ULONGLONG& idle, ULONGLONG& kernel, ULONGLONG& user)> systemTimes;
        std::function<BOOL(ULONGLONG& kernel, ULONGLONG& user)> processTimes;
    };

    CCpuUsage(); // the system's clocks; GetSystemTimes bound at run time
    explicit CCpuUsage(Sources sources);
    virtual ~CCpuUsage();
    CCpuUsage(const CCpuUsage&) = delete; // holds a library reference
    CCpuUsage& operator=(const CCpuUsage&) = delete;

    // The own process's load in percent (above 100 is possible with several processors);
    // the system's load in percent and its total kernel-plus-user time through the outputs.
    int GetUsage(int* pnSystemLoad = nullptr, ULONGLONG* pnTotalTime = nullptr);

private:
    static constexpr int kSamples = 5;
    static constexpr DWORD kMinIntervalMs = 200;

    void ReadTimes(ULONGLONG& idle, ULONGLONG& kernel, ULONGLONG& user, ULONGLONG& procKernel, ULONGLONG& procUser);

    Sources m_sources;
    CLibraryHandle m_hKernel32; // held while m_sources uses its GetSystemTimes

    std::mutex m_lock;
    DWORD m_nLastTick = 0;
    ULONGLONG m_nLastSampleTime = 0; // 0 before the first sample
    ULONGLONG m_nLastIdle = 0, m_nLastKernel = 0, m_nLastUser = 0;
    ULONGLONG m_nLastProcKernel = 0, m_nLastProcUser = 0;
    std::array<int, kSamples> m_systemLoads{};
    std::array<int, kSamples> m_processLoads{};
    int m_nCount = 0;
    int m_nPos = 0;
    int m_nSystemAverage = 0;
    int m_nProcessAverage = 0;
    ULONGLONG m_nLastTotal = 0;
};
