#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>
#include <windows.h>

#include "runtime/Threads.h"

namespace {
// Pumps the calling (main) thread's messages until Done is set; False after the timeout.
bool PumpUntil(const std::atomic<bool>& Done, int TimeoutMs = 20000) {
    const DWORD start = GetTickCount();
    while (!Done) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (Done) break;
        if (GetTickCount() - start > (DWORD)TimeoutMs) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return true;
}

template <class F> bool WaitFor(F Condition, int TimeoutMs = 20000) {
    for (int waited = 0; !Condition(); waited += 5) {
        if (waited > TimeoutMs) return false;
        Sleep(5);
    }
    return true;
}
} // namespace

TEST(TThread, AnonymousThreadRunsAfterStartAndFreesItself) {
    auto token = std::make_shared<int>(0);
    std::atomic<bool> ran{false};
    std::atomic<TThread*> seenSelf{nullptr};
    TThread* thread = TThread::CreateAnonymousThread([token, &ran, &seenSelf] {
        seenSelf = TThread::CurrentThread();
        ran = true;
    });
    Sleep(50);
    EXPECT_FALSE(ran);
    EXPECT_EQ(token.use_count(), 2);
    thread->Start();
    // The thread's closure goes with the thread object once the work has ended.
    EXPECT_TRUE(WaitFor([&] { return token.use_count() == 1; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(seenSelf.load(), thread);
}

TEST(TThread, FailedWorkEndsTheThreadQuietly) {
    auto token = std::make_shared<int>(0);
    TThread::CreateAnonymousThread([token] { throw Exception(L"worker failed"); })->Start();
    EXPECT_TRUE(WaitFor([&] { return token.use_count() == 1; }));
}

TEST(TThread, TerminateIsSeenByTheWorker) {
    std::atomic<bool> started{false}, stopped{false};
    TThread* thread = TThread::CreateAnonymousThread([&] {
        started = true;
        while (!TThread::CheckTerminated()) Sleep(1);
        stopped = true;
    });
    thread->Start();
    ASSERT_TRUE(WaitFor([&] { return started.load(); }));
    Sleep(20);
    EXPECT_FALSE(stopped);
    thread->Terminate();
    EXPECT_TRUE(WaitFor([&] { return stopped.load(); }));

    // A thread made elsewhere (here the main thread) has an object of its own that nobody terminates.
    TThread* main = TThread::CurrentThread();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main, TThread::CurrentThread());
    EXPECT_EQ(main->ThreadID(), GetCurrentThreadId());
    EXPECT_FALSE(TThread::CheckTerminated());
    EXPECT_TRUE(TThread::IsMainThread());
}

TEST(Synchronize, OnTheMainThreadRunsAtOnce) {
    int calls = 0;
    TThread::Synchronize([&] { ++calls; });
    TThread::Synchronize(TThread::CurrentThread(), [&] { ++calls; });
    EXPECT_EQ(calls, 2);
    EXPECT_THROW(TThread::Synchronize([] { throw EAbort(); }), EAbort);
    EXPECT_FALSE(CheckSynchronize()); // nothing queued
}

TEST(Synchronize, ManyCallsFromTwoWorkersRunOnTheMainThreadInOrder) {
    const DWORD mainId = GetCurrentThreadId();
    const int perWorker = 500;
    std::vector<int> order[2]; // touched on the main thread only
    std::atomic<int> offMain{0}, finished{0};
    std::atomic<bool> allDone{false};
    for (int w = 0; w < 2; ++w)
        TThread::CreateAnonymousThread([&, w] {
            for (int i = 0; i < perWorker; ++i)
                TThread::Synchronize(TThread::CurrentThread(), [&, w, i] {
                    if (GetCurrentThreadId() != mainId) ++offMain;
                    order[w].push_back(i);
                });
            // The last call of the last worker ends the main thread's pumping.
            TThread::Synchronize([&] { allDone = ++finished == 2; });
        })->Start();
    ASSERT_TRUE(PumpUntil(allDone));
    EXPECT_EQ(offMain, 0);
    for (auto& o : order) {
        ASSERT_EQ((int)o.size(), perWorker);
        for (int i = 0; i < perWorker; ++i) ASSERT_EQ(o[i], i);
    }
}

TEST(Synchronize, ExceptionIsRaisedAgainInTheWorker) {
    std::atomic<bool> done{false};
    std::wstring message, className;
    TThread::CreateAnonymousThread([&] {
        try {
            TThread::Synchronize([] { throw EConvertError(L"bad value"); });
        } catch (const Exception& e) {
            message = e.Message();
            className = e.ClassName();
        }
        TThread::Synchronize([&] { done = true; });
    })->Start();
    ASSERT_TRUE(PumpUntil(done));
    EXPECT_EQ(message, L"bad value");
    EXPECT_EQ(className, L"EConvertError");
}

TEST(Synchronize, RunsInsideAModalLoop) {
    static const wchar_t* title = L"Synchronize test box";
    std::atomic<bool> ranInside{false}, workerDone{false}, testOver{false};
    auto closeBox = [] {
        if (HWND box = FindWindowW(L"#32770", title)) PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
    TThread::CreateAnonymousThread([&] {
        // Wait until the box is up, then ask the main thread, now inside the box's own loop, to close it.
        while (!FindWindowW(L"#32770", title) && !testOver) Sleep(10);
        TThread::Synchronize([&] {
            ranInside = true;
            closeBox();
        });
        workerDone = true;
    })->Start();
    // Should the call never run inside the box, close it anyway so that the test ends.
    std::thread watchdog([&] {
        for (int i = 0; i < 2000 && !ranInside && !testOver; ++i) Sleep(10);
        while (!testOver) {
            closeBox();
            Sleep(100);
        }
    });
    MessageBoxW(nullptr, L"Closed by a synchronized call", title, MB_OK);
    testOver = true;
    watchdog.join();
    EXPECT_TRUE(ranInside);
    std::atomic<bool> pumped{false};
    TThread::CreateAnonymousThread([&] {
        WaitFor([&] { return workerDone.load(); });
        TThread::Synchronize([&] { pumped = true; });
    })->Start();
    EXPECT_TRUE(PumpUntil(pumped));
}

TEST(Synchronize, CheckSynchronizeOffTheMainThreadDoesNothing) {
    std::atomic<int> result{-1};
    TThread::CreateAnonymousThread([&] { result = CheckSynchronize() ? 1 : 0; })->Start();
    EXPECT_TRUE(WaitFor([&] { return result >= 0; }));
    EXPECT_EQ(result, 0);
}
