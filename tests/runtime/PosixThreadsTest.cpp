// The C++ runtime's thread machinery on the program's own POSIX thread calls (runtime/PosixThreads.cpp):
// this program links them instead of the POSIX thread library, as the setup does. Threads are made with
// the Windows API, as std::thread would bring the library back.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <vector>
#include <windows.h>

namespace {

// Runs Work(i) on Count threads at once and waits for them.
void OnThreads(int Count, const std::function<void(int)>& Work) {
    struct TArgs {
        const std::function<void(int)>* Work;
        int Index;
    };
    std::vector<TArgs> args(Count);
    std::vector<HANDLE> threads;
    for (int i = 0; i < Count; ++i) {
        args[i] = {&Work, i};
        auto start = [](void* P) -> DWORD {
            auto* a = static_cast<TArgs*>(P);
            (*a->Work)(a->Index);
            return 0;
        };
        HANDLE h = CreateThread(nullptr, 0, start, &args[i], 0, nullptr);
        ASSERT_TRUE(h);
        threads.push_back(h);
    }
    WaitForMultipleObjects((DWORD)threads.size(), threads.data(), TRUE, INFINITE);
    for (HANDLE h : threads) CloseHandle(h);
}

std::atomic<int> InitialiserRuns{0};

int SlowlyInitialised() {
    static const int value = [] {
        ++InitialiserRuns;
        Sleep(50); // the other threads arrive meanwhile and must wait
        return 42;
    }();
    return value;
}

std::atomic<int> Destroyed{0};
struct TCounted {
    int Value = 0;
    ~TCounted() { ++Destroyed; }
};
thread_local TCounted tCounted;
thread_local int tPlain = 0;

} // namespace

TEST(PosixThreads, MutexAndConditionHandOverWorkBetweenThreads) {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> queue;
    int consumed = 0, sum = 0;
    constexpr int Producers = 4, Items = 500;
    OnThreads(Producers + 1, [&](int Index) {
        if (Index < Producers) {
            for (int i = 1; i <= Items; ++i) {
                std::lock_guard<std::mutex> guard(lock);
                queue.push_back(i);
                changed.notify_one();
            }
            return;
        }
        std::unique_lock<std::mutex> guard(lock);
        while (consumed < Producers * Items) {
            changed.wait(guard, [&] { return !queue.empty(); });
            sum += queue.back();
            queue.pop_back();
            ++consumed;
        }
    });
    EXPECT_EQ(sum, Producers * Items * (Items + 1) / 2);
    EXPECT_TRUE(queue.empty());
}

TEST(PosixThreads, StaticLocalIsInitialisedOnceWhileOthersWait) {
    std::atomic<int> seen{0};
    OnThreads(8, [&](int) { seen += SlowlyInitialised() == 42; });
    EXPECT_EQ(seen, 8);
    EXPECT_EQ(InitialiserRuns, 1);
}

TEST(PosixThreads, ThreadLocalsAreTheThreadsOwnAndDestroyedWhenItEnds) {
    tCounted.Value = -1;
    tPlain = -1;
    const int before = Destroyed;
    std::atomic<int> distinct{0};
    OnThreads(6, [&](int Index) {
        distinct += tCounted.Value == 0 && tPlain == 0;
        tCounted.Value = Index;
        tPlain = Index;
        Sleep(10);
        distinct += tCounted.Value == Index && tPlain == Index;
    });
    EXPECT_EQ(distinct, 12);
    EXPECT_EQ(Destroyed - before, 6);
    EXPECT_EQ(tCounted.Value, -1);
    EXPECT_EQ(tPlain, -1);
}

TEST(PosixThreads, ReadingAThreadLocalKeepsTheLastError) {
    OnThreads(1, [](int) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        tPlain = 5; // the first use on this thread makes its storage
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
        SetLastError(ERROR_ACCESS_DENIED);
        EXPECT_EQ(tPlain, 5);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    });
}

TEST(PosixThreads, KeyDestructorsRunForValuesOnlyAndNotOnDelete) {
    static std::atomic<int> calls{0};
    static std::atomic<void*> last{nullptr};
    pthread_key_t key;
    ASSERT_EQ(pthread_key_create(&key,
                                 [](void* V) {
                                     ++calls;
                                     last = V;
                                 }),
              0);
    int mark = 0;
    OnThreads(3, [&](int Index) {
        if (Index == 0) {
            EXPECT_EQ(pthread_setspecific(key, &mark), 0);
        }
        EXPECT_EQ(pthread_getspecific(key), Index == 0 ? &mark : nullptr);
    });
    EXPECT_EQ(calls, 1); // the two threads that left it null call nothing
    EXPECT_EQ(last, &mark);
    ASSERT_EQ(pthread_setspecific(key, &mark), 0);
    EXPECT_EQ(pthread_key_delete(key), 0);
    EXPECT_EQ(calls, 1);
}

TEST(PosixThreads, OnceRunsAgainAfterItsInitialiserRaised) {
    std::once_flag flag;
    int runs = 0;
    EXPECT_THROW(std::call_once(flag,
                                [&] {
                                    ++runs;
                                    throw std::runtime_error("first try fails");
                                }),
                 std::runtime_error);
    std::atomic<int> calls{0};
    OnThreads(4, [&](int) { std::call_once(flag, [&] { ++runs, ++calls; }); });
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(calls, 1);
}

TEST(PosixThreads, ExceptionsOnManyThreadsAtOnce) {
    std::atomic<int> caught{0};
    OnThreads(8, [&](int Index) {
        for (int i = 0; i < 200; ++i) {
            try {
                throw std::runtime_error(std::string(100, char('a' + Index)));
            } catch (const std::runtime_error& e) {
                caught += e.what()[99] == 'a' + Index;
            }
        }
    });
    EXPECT_EQ(caught, 1600);
}

TEST(PosixThreads, RecursiveMutexAndMisuse) {
    pthread_mutex_t recursive = PTHREAD_RECURSIVE_MUTEX_INITIALIZER;
    EXPECT_EQ(pthread_mutex_lock(&recursive), 0);
    EXPECT_EQ(pthread_mutex_lock(&recursive), 0);
    OnThreads(1, [&](int) {
        EXPECT_EQ(pthread_mutex_trylock(&recursive), EBUSY);
        EXPECT_EQ(pthread_mutex_unlock(&recursive), EPERM);
    });
    EXPECT_EQ(pthread_mutex_unlock(&recursive), 0);
    EXPECT_EQ(pthread_mutex_destroy(&recursive), EBUSY); // still held once
    EXPECT_EQ(pthread_mutex_unlock(&recursive), 0);
    EXPECT_EQ(pthread_mutex_destroy(&recursive), 0);

    pthread_mutex_t plain;
    ASSERT_EQ(pthread_mutex_init(&plain, nullptr), 0);
    EXPECT_EQ(pthread_mutex_lock(&plain), 0);
    EXPECT_EQ(pthread_mutex_lock(&plain), EDEADLK); // instead of waiting for ever
    EXPECT_EQ(pthread_mutex_unlock(&plain), 0);
    EXPECT_EQ(pthread_mutex_destroy(&plain), 0);
}

TEST(PosixThreads, ClocksAdvanceWithTheSystemTime) {
    const auto steady = std::chrono::steady_clock::now();
    const auto system = std::chrono::system_clock::now();
    Sleep(30);
    const auto waited = std::chrono::steady_clock::now() - steady;
    EXPECT_GE(waited, std::chrono::milliseconds(25));
    EXPECT_LT(waited, std::chrono::seconds(5));
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const int64_t unixSeconds =
        ((int64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) - 116444736000000000) / 10000000;
    const int64_t clockSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
    EXPECT_LE(std::abs(unixSeconds - clockSeconds), 2);
    timespec t;
    EXPECT_EQ(clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t), -1);
}
