#include "core/CCpuUsage.h"
#include <gtest/gtest.h>

namespace
{
constexpr ULONGLONG kSecond = 10'000'000; // 100-ns units

// Clocks and counters the test moves by hand.
struct FakeTimes
{
    DWORD tick = 5000;
    ULONGLONG now = 130'000'000'000'000'000ull;
    ULONGLONG idle = 7 * kSecond, kernel = 20 * kSecond, user = 9 * kSecond;
    ULONGLONG procKernel = kSecond, procUser = 2 * kSecond;
    bool hasSystemTimes = true;
    int nSystemReads = 0;

    CCpuUsage::Sources Sources()
    {
        CCpuUsage::Sources s;
        s.tickCount = [this] { return tick; };
        s.systemTime = [this] { return now; };
        if (hasSystemTimes)
            s.systemTimes = [this](ULONGLONG& i, ULONGLONG& k, ULONGLONG& u) {
                ++nSystemReads;
                i = idle;
                k = kernel;
                u = user;
                return TRUE;
            };
        s.processTimes = [this](ULONGLONG& k, ULONGLONG& u) {
            k = procKernel;
            u = procUser;
            return TRUE;
        };
        return s;
    }

    // One second passes in which the system is busy for systemPercent of its processor time
    // (of 1 s kernel-plus-user) and the process uses processPercent of one second.
    void Second(int systemPercent, int processPercent)
    {
        tick += 1000;
        now += kSecond;
        const ULONGLONG idleNow = kSecond * (100 - systemPercent) / 100;
        idle += idleNow;
        kernel += idleNow + kSecond * systemPercent / 200; // the kernel time includes the idle time
        user += kSecond * systemPercent / 200;
        procKernel += kSecond * processPercent / 200;
        procUser += kSecond * processPercent / 200;
    }
};

struct Usage
{
    int process;
    int system;
    ULONGLONG total;
};

Usage Sample(CCpuUsage& cpu)
{
    Usage u{-1, -1, 0};
    u.process = cpu.GetUsage(&u.system, &u.total);
    return u;
}
} // namespace

TEST(CCpuUsage, FirstSampleGivesZeroLoads)
{
    FakeTimes t;
    CCpuUsage cpu(t.Sources());
    t.tick += 500;
    const Usage u = Sample(cpu);
    EXPECT_EQ(u.process, 0);
    EXPECT_EQ(u.system, 0);
    EXPECT_EQ(u.total, 29 * kSecond) << "the total is kernel plus user time";
    EXPECT_EQ(t.nSystemReads, 1);
}

TEST(CCpuUsage, LoadsComeFromTheDeltasAndAverageOverTheSamples)
{
    FakeTimes t;
    CCpuUsage cpu(t.Sources());
    t.tick += 500;
    Sample(cpu);
    t.Second(40, 50);
    Usage u = Sample(cpu);
    EXPECT_EQ(u.system, 40);
    EXPECT_EQ(u.process, 50);
    EXPECT_EQ(u.total, t.kernel + t.user);
    t.Second(80, 150); // several processors: the process may pass 100
    u = Sample(cpu);
    EXPECT_EQ(u.system, 60) << "(40 + 80) / 2";
    EXPECT_EQ(u.process, 100) << "(50 + 150) / 2";
    t.Second(5, 1);
    u = Sample(cpu);
    EXPECT_EQ(u.system, 41) << "125 / 3, integer division";
    EXPECT_EQ(u.process, 67) << "201 / 3, integer division";
}

TEST(CCpuUsage, AveragesTheLastFiveSamplesOnly)
{
    FakeTimes t;
    CCpuUsage cpu(t.Sources());
    t.tick += 500;
    Sample(cpu);
    Usage u{};
    for (int load : {10, 20, 30, 40, 50, 60, 70})
    {
        t.Second(load, load);
        u = Sample(cpu);
    }
    EXPECT_EQ(u.system, 50) << "30..70";
    EXPECT_EQ(u.process, 50);
}

TEST(CCpuUsage, CallsWithin200MsGetTheLastAnswerWithoutSampling)
{
    FakeTimes t;
    CCpuUsage cpu(t.Sources());
    t.tick += 500;
    Sample(cpu);
    t.Second(40, 50);
    const Usage first = Sample(cpu);
    const int nReads = t.nSystemReads;
    t.Second(90, 90);
    t.tick = t.tick - 1000 + 200; // the counters moved, but only 200 ms passed
    const Usage again = Sample(cpu);
    EXPECT_EQ(t.nSystemReads, nReads) << "no sample within 200 ms";
    EXPECT_EQ(again.process, first.process);
    EXPECT_EQ(again.system, first.system);
    EXPECT_EQ(again.total, first.total);
    t.tick += 1;
    Sample(cpu);
    EXPECT_EQ(t.nSystemReads, nReads + 1) << "201 ms later a sample is taken";
}

TEST(CCpuUsage, TickCountWrapStillSamples)
{
    FakeTimes t;
    t.tick = 0xFFFFFF00;
    CCpuUsage cpu(t.Sources());
    t.tick += 500; // wraps past 0
    Sample(cpu);
    t.Second(30, 20);
    const Usage u = Sample(cpu);
    EXPECT_EQ(t.nSystemReads, 2);
    EXPECT_EQ(u.system, 30);
    EXPECT_EQ(u.process, 20);
}

TEST(CCpuUsage, WithoutSystemTimesOnlyTheProcessLoadIsMeasured)
{
    FakeTimes t;
    t.hasSystemTimes = false;
    CCpuUsage cpu(t.Sources());
    t.tick += 500;
    Sample(cpu);
    t.Second(70, 25);
    const Usage u = Sample(cpu);
    EXPECT_EQ(u.system, 0);
    EXPECT_EQ(u.total, 0u);
    EXPECT_EQ(u.process, 25);
}

TEST(CCpuUsage, ClockSetBackKeepsTheLoadsAndMeasuresOnFromThere)
{
    struct ClockCase
    {
        long long shift;
        const char* why;
    };
    const ClockCase cases[] = {
        {-3600 * static_cast<long long>(kSecond), "the clock was set back an hour"},
        {0, "the clock did not move"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        FakeTimes t;
        CCpuUsage cpu(t.Sources());
        t.tick += 500;
        Sample(cpu);
        t.Second(40, 50);
        Sample(cpu);
        t.Second(90, 90);
        t.now = t.now - kSecond + c.shift;
        const Usage kept = Sample(cpu);
        EXPECT_EQ(kept.system, 40);
        EXPECT_EQ(kept.process, 50);
        t.Second(20, 30);
        const Usage next = Sample(cpu);
        EXPECT_EQ(next.system, 30) << "(40 + 20) / 2: the skipped interval counts for nothing";
        EXPECT_EQ(next.process, 40) << "(50 + 30) / 2";
    }
}

TEST(CCpuUsage, MeasuresTheRealSystem)
{
    CCpuUsage cpu;
    Sleep(250); // past the 200 ms after construction, so the first call samples
    Usage u = Sample(cpu);
    EXPECT_EQ(u.process, 0) << "the first sample";
    EXPECT_EQ(u.system, 0) << "the first sample";
    const DWORD start = GetTickCount();
    volatile unsigned long long spin = 0;
    while (GetTickCount() - start < 300) // keep a processor busy past the 200 ms pause
        spin = spin + 1;
    u = Sample(cpu);
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    EXPECT_GE(u.process, 0);
    EXPECT_LE(u.process, 100 * static_cast<int>(si.dwNumberOfProcessors) + 100);
    EXPECT_GE(u.system, 0);
    EXPECT_LE(u.system, 100);
    EXPECT_GT(u.total, 0u) << "GetSystemTimes is there, so the total of kernel and user time is known";
}
