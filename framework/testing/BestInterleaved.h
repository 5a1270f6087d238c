#pragma once
#include <algorithm>
#include <functional>
#include <vector>

// The best time of each measurement over nRounds rounds, the rounds interleaved so that every
// figure and its reference meet the same load of the (shared) machine. A run returns its seconds,
// or a negative number when it failed; a measurement with any failed round is -1.
inline std::vector<double> BestInterleaved(const std::vector<std::function<double()>>& runs, int nRounds)
{
    std::vector<double> best(runs.size(), 1e30);
    for (int i = 0; i < nRounds; ++i)
        for (size_t k = 0; k < runs.size(); ++k)
        {
            const double seconds = best[k] < 0 ? -1 : runs[k]();
            best[k] = seconds < 0 ? -1 : std::min(best[k], seconds);
        }
    return best;
}
