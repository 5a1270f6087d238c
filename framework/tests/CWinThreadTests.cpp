// Worker and user-interface threads: start, thread messages through the thread's own loop, exit
// codes, self-deletion. No windows, no display.
#include "framework/CException.h"
#include "framework/CHandleOwner.h"
#include "framework/CWinApp.h"
#include "framework/CWinThread.h"
#include "framework/CWnd.h"
#include "framework/testing/CGuardedPages.h"
#include <gtest/gtest.h>
#include <atomic>
#include <stdexcept>
#include <malloc.h>
#include <memory>
#include <new>
#include <vector>

namespace
{
constexpr UINT WM_APP_WORK = WM_APP + 20;    // wParam: a number to record
constexpr UINT WM_APP_SWALLOW = WM_APP + 21; // PreTranslateMessage consumes it
constexpr UINT WM_APP_FAIL = WM_APP + 22;    // the handler throws
constexpr UINT WM_APP_PREFAIL = WM_APP + 23; // PreTranslateMessage throws (wParam 0 framework, 1 standard)

// What the user-interface thread saw; reset by each test.
struct ThreadRecord
{
    std::atomic<DWORD> initThread{0};
    std::atomic<int> exitCalls{0};
    std::atomic<int> destroyed{0};
    std::atomic<int> pretranslated{0};
    std::atomic<int> exceptions{0};
    std::vector<WPARAM> work; // written by the thread, read after it ended
    BOOL initResult = TRUE;
};
ThreadRecord* g_record = nullptr;

class CWorkThread : public CWinThread
{
    DECLARE_DYNCREATE(CWorkThread)

public:
    BOOL InitInstance() override
    {
        g_record->initThread = ::GetCurrentThreadId();
        return g_record->initResult;
    }
    int ExitInstance() override
    {
        ++g_record->exitCalls;
        return CWinThread::ExitInstance() + 100; // the WM_QUIT code, marked as ours
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        ++g_record->pretranslated;
        if (pMsg->message == WM_APP_SWALLOW) return TRUE;
        if (pMsg->message == WM_APP_PREFAIL)
        {
            if (pMsg->wParam) throw std::runtime_error("work done in PreTranslateMessage failed");
            throw new CInvalidArgException;
        }
        return CWinThread::PreTranslateMessage(pMsg);
    }
    LRESULT ProcessWndProcException(CException* e, const MSG* pMsg) override
    {
        ++g_record->exceptions;
        return CWinThread::ProcessWndProcException(e, pMsg);
    }
    ~CWorkThread() override { ++g_record->destroyed; }

protected:
    void OnWork(WPARAM wParam, LPARAM) { g_record->work.push_back(wParam); }
    void OnFail(WPARAM, LPARAM) { throw new CInvalidArgException; }
    DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNCREATE(CWorkThread, CWinThread)

BEGIN_MESSAGE_MAP(CWorkThread, CWinThread)
ON_THREAD_MESSAGE(WM_APP_WORK, &CWorkThread::OnWork)
ON_THREAD_MESSAGE(WM_APP_SWALLOW, &CWorkThread::OnWork)
ON_THREAD_MESSAGE(WM_APP_FAIL, &CWorkThread::OnFail)
END_MESSAGE_MAP()

class ThreadTest : public ::testing::Test
{
protected:
    void SetUp() override { g_record = &m_record; }
    void TearDown() override { g_record = nullptr; }
    // A handle of our own: an auto-deleting thread closes its object's handle when it ends.
    static CKernelHandle KeepHandle(CWinThread* pThread)
    {
        HANDLE h = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), pThread->m_hThread, ::GetCurrentProcess(), &h, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
        return CKernelHandle(h);
    }
    static DWORD ExitCodeOf(HANDLE h)
    {
        DWORD code = 0;
        ::GetExitCodeThread(h, &code);
        return code;
    }
    ThreadRecord m_record;
};

UINT __cdecl Worker(LPVOID pParam)
{
    auto* seen = static_cast<std::atomic<DWORD>*>(pParam);
    *seen = ::GetCurrentThreadId();
    return 42;
}

TEST_F(ThreadTest, WorkerRunsItsFunctionOnItsThreadAndEndsWithItsResult)
{
    std::atomic<DWORD> ranOn{0};
    CWinThread* thread = AfxBeginThread(Worker, &ranOn, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE; // safe: it has not run yet
    EXPECT_EQ(ranOn.load(), 0u) << "a suspended thread has not started";
    thread->ResumeThread();
    ASSERT_EQ(::WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ranOn.load(), thread->m_nThreadID);
    EXPECT_EQ(ExitCodeOf(thread->m_hThread), 42u);
    delete thread;
}

// A framework exception that escapes a thread is thrown as a heap pointer; the thread's end frees it.
class CCountedException : public CUserException
{
public:
    explicit CCountedException(std::atomic<int>& freed) : m_freed(freed) {}
    ~CCountedException() override { ++m_freed; }

private:
    std::atomic<int>& m_freed;
};

UINT __cdecl ThrowingWorker(LPVOID pParam)
{
    throw new CCountedException(*static_cast<std::atomic<int>*>(pParam));
}

TEST_F(ThreadTest, FrameworkExceptionEscapingAThreadIsFreedAndEndsIt)
{
    std::atomic<int> freed{0};
    CWinThread* thread = AfxBeginThread(ThrowingWorker, &freed, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE; // safe: it has not run yet
    thread->ResumeThread();
    ASSERT_EQ(::WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(thread->m_hThread), static_cast<DWORD>(-1)) << "the thread ends with -1";
    EXPECT_EQ(freed.load(), 1) << "the exception object is deleted once";
    delete thread;
}

TEST_F(ThreadTest, UserInterfaceThreadRunsItsLoopTakesThreadMessagesAndEndsOnQuit)
{
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CWorkThread));
    ASSERT_NE(thread, nullptr);
    CKernelHandle handle = KeepHandle(thread);
    const DWORD id = thread->m_nThreadID;
    // The queue exists as soon as AfxBeginThread returns: nothing posted here is lost.
    ASSERT_TRUE(::PostThreadMessageW(id, WM_APP_WORK, 1, 0));
    ASSERT_TRUE(::PostThreadMessageW(id, WM_APP_SWALLOW, 2, 0));
    ASSERT_TRUE(::PostThreadMessageW(id, WM_APP_FAIL, 0, 0));
    ASSERT_TRUE(::PostThreadMessageW(id, WM_APP_WORK, 3, 0));
    ASSERT_TRUE(::PostThreadMessageW(id, WM_QUIT, 5, 0));
    ASSERT_EQ(::WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);

    EXPECT_EQ(m_record.initThread.load(), id) << "InitInstance ran on the new thread";
    EXPECT_EQ(m_record.work, (std::vector<WPARAM>{1, 3})) << "the swallowed message never reached its handler";
    EXPECT_EQ(m_record.pretranslated.load(), 4) << "every thread message passed PreTranslateMessage";
    EXPECT_EQ(m_record.exceptions.load(), 1) << "the handler's exception was reported and the loop went on";
    EXPECT_EQ(m_record.exitCalls.load(), 1);
    EXPECT_EQ(ExitCodeOf(handle), 105u) << "ExitInstance's result, from WM_QUIT's code";
    EXPECT_EQ(m_record.destroyed.load(), 1) << "the thread deleted its object";
}

TEST_F(ThreadTest, ExceptionFromPreTranslateMessageIsReportedAndTheLoopGoesOn)
{
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CWorkThread));
    ASSERT_NE(thread, nullptr);
    CKernelHandle handle = KeepHandle(thread);
    const DWORD id = thread->m_nThreadID;
    ASSERT_TRUE(::PostThreadMessageW(id, WM_APP_PREFAIL, 0, 0));
    ASSERT_TRUE(::PostThreadMessageW(id, WM_APP_PREFAIL, 1, 0));
    ASSERT_TRUE(::PostThreadMessageW(id, WM_APP_WORK, 7, 0));
    ASSERT_TRUE(::PostThreadMessageW(id, WM_QUIT, 1, 0));
    ASSERT_EQ(::WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(m_record.exceptions.load(), 2) << "both exceptions reached the thread's hook";
    EXPECT_EQ(m_record.work, std::vector<WPARAM>{7}) << "the loop went on to the next message";
    EXPECT_EQ(ExitCodeOf(handle), 101u) << "the thread ended through WM_QUIT and ExitInstance";
}

TEST_F(ThreadTest, FailedInitInstanceEndsTheThreadThroughExitInstance)
{
    m_record.initResult = FALSE;
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CWorkThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    CKernelHandle handle = KeepHandle(thread);
    thread->ResumeThread();
    ASSERT_EQ(::WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(m_record.exitCalls.load(), 1);
    EXPECT_EQ(ExitCodeOf(handle), 100u);
    EXPECT_EQ(m_record.destroyed.load(), 1);
}

TEST_F(ThreadTest, ThreadKeptByItsCreatorIsNotDeleted)
{
    auto* thread = new CWorkThread;
    thread->m_bAutoDelete = FALSE;
    ASSERT_TRUE(thread->CreateThread());
    ASSERT_TRUE(thread->PostThreadMessage(WM_QUIT, 0, 0));
    ASSERT_EQ(::WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(m_record.destroyed.load(), 0);
    delete thread;
    EXPECT_EQ(m_record.destroyed.load(), 1);
}

UINT __cdecl ReportMainWnd(LPVOID pParam)
{
    *static_cast<std::atomic<HWND>*>(pParam) = AfxGetSafeHwnd(AfxGetMainWnd());
    return 0;
}

struct MainWndCase
{
    bool appHasMainWnd;
    const char* why;
};
const MainWndCase kMainWndCases[] = {
    {true, "the application's main window is the new thread's main window"},
    {false, "no main window: none on the new thread either"},
};

TEST_F(ThreadTest, NewThreadSeesTheApplicationsMainWindow)
{
    CWinApp app(L"ThreadTest");
    CWnd main; // message-only: no display needed
    ASSERT_TRUE(main.CreateEx(0, nullptr, L"main", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr));
    for (const auto& c : kMainWndCases)
    {
        SCOPED_TRACE(c.why);
        app.m_pMainWnd = c.appHasMainWnd ? &main : nullptr;
        std::atomic<HWND> seen{reinterpret_cast<HWND>(1)};
        // Suspended until the handle is ours: the thread deletes its object as it ends.
        CWinThread* thread = AfxBeginThread(ReportMainWnd, &seen, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_NE(thread, nullptr);
        CKernelHandle handle = KeepHandle(thread);
        thread->ResumeThread();
        ASSERT_EQ(::WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
        EXPECT_EQ(seen.load(), c.appHasMainWnd ? main.m_hWnd : nullptr);
        EXPECT_TRUE(::IsWindow(main.m_hWnd)) << "the thread only borrowed the window";
        EXPECT_EQ(app.m_pMainWnd, c.appHasMainWnd ? &main : nullptr) << "the application's stays as it was";
    }
    app.m_pMainWnd = nullptr; // destroying the main window would end this thread's loop
    main.DestroyWindow();
}

// ---- many short auto-deleting threads -------------------------------------------------------

// One started thread: what it did, and a handle of its own to wait for its very end (the
// object's handle goes with the object).
struct StressSlot
{
    std::atomic<int> runs{0};
    HANDLE hSelf = nullptr; // written by the thread before it counts its run
};

void RecordRun(StressSlot& slot)
{
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &slot.hSelf, SYNCHRONIZE,
                      FALSE, 0);
    auto scratch = std::make_unique<char[]>(64 + (reinterpret_cast<uintptr_t>(&slot) >> 4) % 512);
    scratch[0] = 1;
    ++slot.runs;
}

UINT __cdecl StressWorker(LPVOID pParam)
{
    RecordRun(*static_cast<StressSlot*>(pParam));
    return 0;
}

// Guarded pages: a creator that touches an auto-deleted thread object after its thread has ended
// faults at once.
class CGuardedThread : public CWinThread, public CGuardedPages
{
};

// A user-interface thread that ends at once, half of them through InitInstance's failure.
class CQuickThread : public CGuardedThread
{
public:
    CQuickThread(StressSlot& slot, bool bRunLoop) : m_slot(slot), m_bRunLoop(bRunLoop) {}
    BOOL InitInstance() override
    {
        RecordRun(m_slot);
        if (m_bRunLoop) ::PostQuitMessage(0);
        return m_bRunLoop;
    }

private:
    StressSlot& m_slot;
    bool m_bRunLoop;
};

// The creator keeps allocating while its threads end and delete their objects.
void ChurnHeap(std::vector<std::unique_ptr<char[]>>& keep, int round)
{
    for (int i = 0; i < 8; ++i)
    {
        const size_t size = 16 + static_cast<size_t>((round * 37 + i * 101) % 2048);
        auto block = std::make_unique<char[]>(size);
        block[size - 1] = static_cast<char>(i);
        keep[static_cast<size_t>(round * 8 + i) % keep.size()] = std::move(block);
    }
}

bool IsEveryHeapValid()
{
    HANDLE heaps[64];
    const DWORD count = ::GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i)
        if (!::HeapValidate(heaps[i], 0, nullptr)) return false;
    return count > 0;
}

TEST(ThreadStress, ManyAutoDeletingThreadsEachRunOnceAndLeaveTheHeapIntact)
{
    constexpr int kThreads = 2000;
    auto slots = std::make_unique<StressSlot[]>(kThreads);
    std::vector<std::unique_ptr<char[]>> keep(97);
    for (int i = 0; i < kThreads; ++i)
    {
        StressSlot& slot = slots[static_cast<size_t>(i)];
        CWinThread* thread = nullptr;
        switch (i % 4)
        {
        case 0:
            thread = AfxBeginThread(StressWorker, &slot);
            break;
        case 1:
            thread = AfxBeginThread(StressWorker, &slot, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
            if (thread) thread->ResumeThread();
            break;
        default:
            thread = AfxBeginThread(new CQuickThread(slot, i % 4 == 3));
            break;
        }
        ASSERT_NE(thread, nullptr) << "thread " << i << " did not start (error " << ::GetLastError() << ")";
        ChurnHeap(keep, i);
    }
    // Every thread has counted its run before it ends; then wait for each one's very end.
    for (int waited = 0; waited < 30000; waited += 10)
    {
        int ran = 0;
        for (int i = 0; i < kThreads; ++i)
            ran += slots[static_cast<size_t>(i)].runs.load() > 0;
        if (ran == kThreads) break;
        ::Sleep(10);
    }
    int ranOnce = 0;
    for (int i = 0; i < kThreads; ++i)
    {
        StressSlot& slot = slots[static_cast<size_t>(i)];
        EXPECT_EQ(slot.runs.load(), 1) << "thread " << i << " should have run exactly once";
        if (slot.runs.load() != 1) continue;
        ++ranOnce;
        ASSERT_NE(slot.hSelf, nullptr);
        EXPECT_EQ(::WaitForSingleObject(slot.hSelf, 10000), WAIT_OBJECT_0) << "thread " << i << " never ended";
        ::CloseHandle(slot.hSelf);
    }
    EXPECT_EQ(ranOnce, kThreads);
    if (ranOnce == kThreads) CGuardedThread::ReleaseAll(); // else a thread may still use its object
    keep.clear();
    EXPECT_TRUE(IsEveryHeapValid()) << "every heap of the process should pass HeapValidate";
    EXPECT_EQ(_heapchk(), _HEAPOK) << "the C runtime's heap should be intact";
}

TEST(ThreadClass, BeginThreadRefusesAClassThatIsNotAThread)
{
    EXPECT_EQ(AfxBeginThread(static_cast<const CRuntimeClass*>(nullptr)), nullptr);
    EXPECT_EQ(AfxBeginThread(RUNTIME_CLASS(CException)), nullptr) << "not creatable";
}
} // namespace
