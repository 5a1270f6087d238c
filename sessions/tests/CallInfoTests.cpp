// The call record: its states, its call-information texts for both application ports, the relay of
// Jex's call information, and its counted lifetime across threads.
#include "sessions/CCallInfo.h"
#include "sessions/CSmartObjectPtr.h"
#include "sessions/tests/RecordsTestText.h"
#include "framework/CStringArray.h"
#include "framework/testing/CGuardedPages.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{
CCallInfo& FillCall(CCallInfo& call)
{
    call.m_nCallId = 4711;
    call.m_strGroupName = L"Sales";
    call.m_nTotalTime = 95;
    call.m_nQueueTime = 12;
    call.m_strSender = L"+33 1 23";
    call.m_strDestination = L"200";
    call.m_nCallType = 1;
    call.m_nCallKind = 3;
    call.m_bRecording = 1;
    call.SetCallState(33);
    return call;
}

TEST(CallInfo, StartsWithoutCallInformation)
{
    const CCallInfo call(FALSE);
    EXPECT_EQ(call.m_nCallId, -1);
    EXPECT_EQ(call.m_nCallType, -1) << "no call-information text is sent for it at a registration";
    EXPECT_EQ(call.m_nCallKind, -1);
    EXPECT_EQ(call.m_nApplicationId, -1);
    EXPECT_EQ(call.m_nCallState, 0);
    EXPECT_EQ(call.m_nReportedState, 0);
    EXPECT_EQ(call.m_bInformation, 0);
    EXPECT_EQ(call.m_pHeldData, nullptr);
    EXPECT_EQ(call.GetRefCount(), 0);
    EXPECT_EQ(CCallInfo(TRUE).m_bInformation, 1) << "the flag comes from the constructor";
}

TEST(CallInfo, OnlyReportedStatesBecomeTheReportedState)
{
    const long kReported[] = {1, 2, 4, 5, 13, 14, 15, 16, 19, 20, 23, 26, 30, 33, 34, 37, 39, 40};
    for (long nState = -1; nState <= 42; ++nState)
    {
        SCOPED_TRACE(nState);
        CCallInfo call(FALSE);
        call.SetCallState(33);
        call.SetCallState(nState);
        EXPECT_EQ(call.m_nCallState, nState);
        const bool bReported = std::find(std::begin(kReported), std::end(kReported), nState) != std::end(kReported);
        EXPECT_EQ(call.m_nReportedState, bReported ? nState : 33);
    }
}

TEST(CallInfo, InboundAreKindsOneAndThree)
{
    const std::pair<long, bool> kKinds[] = {{-1, false}, {1, true}, {2, false}, {3, true}, {4, false}};
    for (const auto& [nKind, bInbound] : kKinds)
    {
        CCallInfo call(FALSE);
        call.m_nCallKind = nKind;
        EXPECT_EQ(call.IsInbound(), bInbound) << "kind " << nKind;
    }
}

TEST(CallInfo, TextsForBothPortsShowEveryField)
{
    CCallInfo call(FALSE);
    FillCall(call).SetCallState(6); // a passing state: the text keeps showing 33
    EXPECT_EQ(call.m_nCallState, 6);
    EXPECT_EQ(W(call.Format()), L"4711:Sales:95:12:+33 1 23:200:1:33:1:1");
    EXPECT_EQ(W(call.FormatOldDialect(L"Voice", L"Connected")), L"4711:Sales:95:12:+33 1 23:200:Voice:Connected:1:1");
    call.m_nCallKind = 2;
    call.m_bRecording = 0;
    EXPECT_EQ(W(call.Format()), L"4711:Sales:95:12:+33 1 23:200:1:33:0:0") << "outbound, not recording";
    EXPECT_EQ(W(CCallInfo(FALSE).Format()), L"-1::0:0:::-1:0:0:0");
}

struct JexCallInfoCase
{
    LPCWSTR text;
    BOOL bAccepted;
    LPCWSTR current, old; // relayed texts; the old port gets "T" and "S" as display texts
    long nTotal, nQueue, nType, nState;
    LPCWSTR group, sender, destination;
    const char* why;
};
const JexCallInfoCase kJexCallInfos[] = {
    {L"4711:Sales:95:12:0612:200:1:1:33:0:1", TRUE, L"4711:Sales:95:12:0612:200:1:33:1:0",
     L"4711:Sales:95:12:0612:200:T:S:1:0", 95, 12, 1, 33, L"Sales", L"0612", L"200", "all eleven fields"},
    {L"8:::: :x:2: 1 :6:1", TRUE, L"8:::: :x:2:6: 1 :1", L"8:::: :x:T:S: 1 :1", 0, 0, 2, 6, L"", L" ", L"x",
     "ten fields; empty ones stay empty, inbound and recording as received"},
    {L"8:G:a:b:s:d:t:1:u:0:0", TRUE, L"8:G:a:b:s:d:0:0:1:0", L"8:G:a:b:s:d:T:S:1:0", 0, 0, 0, 0, L"G", L"s", L"d",
     "numbers that are none read as 0"},
    {L"8:G:1:2:s:d:1:1:33", FALSE, L"", L"", 0, 0, -1, 0, L"", L"", L"", "too few fields change nothing"},
};

TEST(CallInfo, JexCallInformationIsStoredAndRelayedFieldByField)
{
    for (const auto& c : kJexCallInfos)
    {
        SCOPED_TRACE(c.why);
        CStringArray fields;
        EXPECT_EQ(CCallInfo::SplitJexCallInfo(c.text, fields), c.bAccepted);
        EXPECT_EQ(W(CCallInfo::FormatRelayText(fields)), c.current);
        EXPECT_EQ(W(CCallInfo::FormatOldRelayText(fields, L"T", L"S")), c.old);
        CCallInfo call(FALSE);
        call.ApplyJexCallInfo(fields);
        EXPECT_EQ(call.m_nTotalTime, c.nTotal);
        EXPECT_EQ(call.m_nQueueTime, c.nQueue);
        EXPECT_EQ(call.m_nCallType, c.nType);
        EXPECT_EQ(call.m_nCallState, c.nState);
        EXPECT_EQ(W(call.m_strGroupName), c.group);
        EXPECT_EQ(W(call.m_strSender), c.sender);
        EXPECT_EQ(W(call.m_strDestination), c.destination);
        EXPECT_EQ(call.m_nCallId, -1) << "the call id is the main window's to set";
    }
}

// Counts destructions. Its guarded pages make any use after the last release, and a second
// deletion, fault at once.
class CGuardedCallInfo : public CCallInfo, public CGuardedPages
{
public:
    CGuardedCallInfo() : CCallInfo(FALSE) {}
    ~CGuardedCallInfo() override { ++s_nDestroyed; }

    static inline std::atomic<int> s_nDestroyed{0};
};

TEST(CallInfo, LastReleaseDestroysTheRecordAndItsHeldData)
{
    CGuardedCallInfo::s_nDestroyed = 0;
    {
        CSmartObjectPtr<CCallInfo> map(new CGuardedCallInfo);
        map->m_nHeldDataLength = 3;
        map->m_pHeldData.reset(new BYTE[3]{1, 2, 3});
        CSmartObjectPtr<CCallInfo> found = map;
        EXPECT_EQ(map->GetRefCount(), 2);
        map.Reset();
        EXPECT_EQ(CGuardedCallInfo::s_nDestroyed, 0) << "a holder is left";
        EXPECT_EQ(found->m_pHeldData[2], 3);
    }
    EXPECT_EQ(CGuardedCallInfo::s_nDestroyed, 1);
    SmartObjectPtrAddRef(nullptr);
    SmartObjectPtrRelease(nullptr); // null is allowed and ignored
    CGuardedCallInfo::ReleaseAll();
}

// Two holders per record, one on each thread. The worker drops its reference as soon as it has read
// the record, while the main thread still reads it; whichever lets go last deletes it.
TEST(CallInfo, ReferencesDroppedOnTwoThreadsFreeEachRecordOnce)
{
    constexpr int kRecords = 2000;
    CGuardedCallInfo::s_nDestroyed = 0;
    std::atomic<CCallInfo*> handOver{nullptr};
    std::atomic<int> workerMismatches{0};
    std::atomic<bool> workerLate{false};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);

    std::thread worker([&] {
        for (int i = 0; i < kRecords; ++i)
        {
            CCallInfo* call = nullptr;
            while (!(call = handOver.exchange(nullptr)))
            {
                if (std::chrono::steady_clock::now() > deadline) return workerLate.store(true);
                std::this_thread::yield();
            }
            if (call->m_nCallId != i || call->Format().IsEmpty()) ++workerMismatches;
            SmartObjectPtrRelease(call);
        }
    });

    int nMismatches = 0;
    for (int i = 0; i < kRecords && !workerLate; ++i)
    {
        CCallInfo* call = new CGuardedCallInfo;
        call->m_nCallId = i;
        call->m_strGroupName = L"a group name long enough to live on the heap";
        SmartObjectPtrAddRef(call); // the main thread's
        SmartObjectPtrAddRef(call); // the worker's
        handOver.store(call);
        for (int nRead = 0; nRead < i % 7; ++nRead) // uneven, so either side may be last
            if (call->Format().Find(L"a group name") < 0) ++nMismatches;
        SmartObjectPtrRelease(call);
        while (handOver.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }
    worker.join();

    ASSERT_FALSE(workerLate) << "the worker waited in vain";
    EXPECT_EQ(nMismatches, 0);
    EXPECT_EQ(workerMismatches, 0);
    EXPECT_EQ(CGuardedCallInfo::s_nDestroyed, kRecords) << "each record destroyed exactly once";
    CGuardedCallInfo::ReleaseAll();
}
} // namespace
