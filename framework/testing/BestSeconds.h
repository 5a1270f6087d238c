#pragma once
// The benchmarks' timing: the best of several rounds, since these machines are shared and noisy.
#include <algorithm>
#include <chrono>

template <typename F> double BestSeconds(F&& run, int rounds)
{
    double best = 1e30;
    for (int i = 0; i < rounds; ++i)
    {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        best = std::min(best, d.count());
    }
    return best;
}
