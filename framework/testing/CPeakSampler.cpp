#include "framework/testing/CPeakSampler.h"
#include "framework/Platform.h"
#include <psapi.h>
#include <algorithm>

CPeakSampler::CPeakSampler() : m_nBaseline(WorkingSet()), m_thread([this] { Run(); }) {}

CPeakSampler::~CPeakSampler()
{
    m_bStop = true;
    m_thread.join();
}

size_t CPeakSampler::Added() const
{
    const size_t nPeak = m_nPeak.load();
    return nPeak > m_nBaseline ? nPeak - m_nBaseline : 0;
}

size_t CPeakSampler::WorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

void CPeakSampler::Run()
{
    while (!m_bStop)
    {
        m_nPeak = std::max(m_nPeak.load(), WorkingSet());
        Sleep(1);
    }
    m_nPeak = std::max(m_nPeak.load(), WorkingSet());
}
