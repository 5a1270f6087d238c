#pragma once
#include <atomic>
#include <cstddef>
#include <thread>
// The peak working set of the process while it lives, sampled every millisecond from a thread of its
// own. Its thread takes time from what it watches: benchmarks sample a round that is not timed.
class CPeakSampler
{
public:
    CPeakSampler();
    ~CPeakSampler();
    CPeakSampler(const CPeakSampler&) = delete;
    CPeakSampler& operator=(const CPeakSampler&) = delete;
    // Bytes of the peak above the working set at construction.
    size_t Added() const;

    static size_t WorkingSet();

private:
    void Run();

    size_t m_nBaseline;
    std::atomic<size_t> m_nPeak{0};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
