#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "app/core/Setup.Core.h"
#include "app/engine/Setup.Worker.h"
#include "runtime/Threads.h"
#include "runtime/gui/Application.h"

TEST(Worker, ResultsCrossBackToTheWait) {
    EXPECT_TRUE(RunWorker(L"Request:system.xml", [] { return true; }));
    EXPECT_FALSE(RunWorker(L"getFile", [] { return false; }));
    DWORD bodyThread = 0;
    EXPECT_TRUE(RunWorker(L"", [&] {
        bodyThread = GetCurrentThreadId();
        return true;
    }));
    EXPECT_NE(bodyThread, GetCurrentThreadId());
}

TEST(Worker, AWorkerThatEndsWakesTheWaitWithoutOtherMessages) {
    // Nothing else posts a message while this runs: only the worker's own wake-up can end the wait in time.
    // A watchdog frees a wait that would otherwise last for ever, and the test then fails.
    const DWORD mainThread = GetCurrentThreadId();
    std::atomic<bool> finished{false}, rescued{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !finished; ++i) Sleep(100);
        if (!finished) {
            rescued = true;
            PostThreadMessageW(mainThread, WM_NULL, 0, 0);
        }
    });
    EXPECT_TRUE(RunWorker(L"Installing", [] {
        Sleep(300);
        return true;
    }));
    finished = true;
    watchdog.join();
    EXPECT_FALSE(rescued);
}

TEST(Worker, SynchronizedCallsRunInOrderOnTheMainThreadWhileTheWorkerWaits) {
    const DWORD mainThread = GetCurrentThreadId();
    std::vector<int> order;
    std::vector<DWORD> threads;
    bool sawEachCallReturn = true;
    EXPECT_TRUE(RunWorker(L"getFile", [&] {
        for (int i = 0; i < 200; ++i) {
            TThread::Synchronize(nullptr, [&, i] {
                order.push_back(i);
                threads.push_back(GetCurrentThreadId());
            });
            // Synchronize returns only after the call has run.
            if ((int)order.size() != i + 1) sawEachCallReturn = false;
        }
        return true;
    }));
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(threads[i], mainThread);
    }
    EXPECT_TRUE(sawEachCallReturn);
}

TEST(Worker, ARaisingBodyEndsItsWaitWithFalse) {
    Aborted = false;
    EXPECT_FALSE(RunWorker(L"Making", []() -> bool { throw EFCreateError(L"Cannot create file \"x\""); }));
    EXPECT_FALSE(RunWorker(L"Installing", []() -> bool { throw std::runtime_error("broken"); }));
    EXPECT_FALSE(Aborted);
}

// Termination lasts for the rest of the process, so these run in a child.
TEST(WorkerTerminating, DISABLED_AClosedWindowEndsTheWaitButNotTheWorker) {
    Aborted = false;
    TTestWindow window([] {});
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> finished{false};
    std::thread user([&] {
        Sleep(200);
        PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
    });
    auto record = StartWorker(L"Request:Langs.xml", [&] {
        WaitForSingleObject(release, INFINITE);
        finished = true;
        return true;
    });
    EXPECT_FALSE(WaitForWorker(*record, wwStopOnTerminate));
    user.join();
    EXPECT_TRUE(Aborted);
    EXPECT_FALSE(record->done);

    // The worker runs on against its own reference to the record.
    std::weak_ptr<TWorkerRecord> left = record;
    record.reset();
    SetEvent(release);
    while (!finished || !left.expired()) Sleep(10);

    // A wait without the termination test still waits for its worker, and gets its result.
    Aborted = false;
    EXPECT_TRUE(RunWorker(
        L"",
        [] {
            Sleep(200);
            return true;
        },
        wwUntilDone));
    EXPECT_FALSE(Aborted);
    CloseHandle(release);
}

TEST(WorkerTerminating, AClosedWindowEndsTheWaitButNotTheWorker) {
    EXPECT_TRUE(RunTestInChild(L"WorkerTerminating.DISABLED_AClosedWindowEndsTheWaitButNotTheWorker"));
}
