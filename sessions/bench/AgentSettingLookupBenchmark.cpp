// Agent-setting look-ups by 8 reader threads while one writer commits changes, against the same
// look-up loop over an unlocked std::map (no writer: it could not take one), in the same run.
#include "sessions/CAgentSettingStore.h"
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

namespace
{
constexpr int kReaders = 8;
constexpr auto kRunTime = std::chrono::milliseconds(1000);
constexpr int32_t kIds[] = {1,   500, 501, 502, 525, 650, 651, 700, 701, 702, 703, 704,
                            705, 706, 750, 751, 752, 753, 754, 755, 756, 757, 800, 1000};

// Runs kReaders threads of lookup() for kRunTime and returns the look-ups per second.
template <typename Lookup> double LookupsPerSecond(Lookup lookup)
{
    std::atomic<bool> stop{false};
    std::atomic<long long> total{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r)
        readers.emplace_back([&, r] {
            long long n = 0;
            long long sum = 0;
            for (size_t i = static_cast<size_t>(r); !stop; ++i, ++n)
                sum += lookup(kIds[i % std::size(kIds)]);
            total += n + (sum == -1 ? 1 : 0); // keeps the look-ups from being optimised away
        });
    std::this_thread::sleep_for(kRunTime);
    stop = true;
    for (auto& reader : readers)
        reader.join();
    return static_cast<double>(total.load()) / std::chrono::duration<double>(kRunTime).count();
}
} // namespace

int main()
{
    CAgentSettingStore store;
    std::map<long, std::shared_ptr<const CAgentSetting>> plain;
    for (const int32_t nId : kIds)
    {
        store.GetAgentSettingOrDefault(nId);
        plain[nId] = store.LookupAgentSetting(nId, FALSE);
    }

    std::atomic<bool> stopWriter{false};
    std::atomic<long long> commits{0};
    std::thread writer([&] {
        for (int32_t n = 0; !stopWriter; ++n)
        {
            store.SetAgentSettingLong(651, n % 10000, FALSE);
            ++commits;
        }
    });
    double best = 0; // the best of three runs: the machines are shared
    for (int round = 0; round < 3; ++round)
        best = std::max(best,
                        LookupsPerSecond([&](int32_t nId) { return store.LookupAgentSetting(nId, FALSE)->m_nValue; }));
    stopWriter = true;
    writer.join();

    double bestPlain = 0;
    for (int round = 0; round < 3; ++round)
        bestPlain =
            std::max(bestPlain, LookupsPerSecond([&](int32_t nId) { return plain.find(nId)->second->m_nValue; }));

    if (store.LookupAgentSetting(651, FALSE)->m_bIsDefaultValue)
    {
        std::printf("agent-setting look-ups: the writer's changes never arrived\n");
        return 1;
    }
    std::printf("agent-setting look-ups, %d readers and one writer (%lld commits): %.0f/s; unlocked std::map: "
                "%.0f/s; ratio %.2gx std::map\n",
                kReaders, commits.load(), best, bestPlain, best / bestPlain);
    return 0;
}
