// Download throughput of CNetwork.SyncDownload: one file over loopback on a worker thread, every progress
// callback handed over to the main thread, which pumps messages meanwhile, as the setup's install page does.
// Usage: bench_download URL TARGET-FILE EXPECTED-SIZE
// Prints: "<bytes> bytes in <seconds> s = <MB/s> MB/s, <n> progress calls".
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>

#include "net/Setup.Network.h"
#include "runtime/Threads.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fwprintf(stderr, L"usage: bench_download URL TARGET-FILE EXPECTED-SIZE\n");
        return 2;
    }
    const std::wstring url = argv[1], target = argv[2];
    const int64_t expected = _wtoi64(argv[3]);

    int64_t announced = -1, last = 0, calls = 0;
    bool ordered = true, ended = false;
    std::atomic<bool> done{false};
    bool result = false;
    const DWORD mainThread = GetCurrentThreadId();

    LARGE_INTEGER frequency, start, stop;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    TThread::CreateAnonymousThread([&] {
        CNetwork network(
            [&](int64_t Max) {
                announced = Max;
                ++calls;
            },
            [&](int64_t Count) {
                ordered = ordered && Count > last && GetCurrentThreadId() == mainThread;
                last = Count;
                ++calls;
            },
            [&] {
                ended = true;
                ++calls;
            });
        result = network.SyncDownload(url, target);
        done = true;
        PostThreadMessageW(mainThread, WM_NULL, 0, 0);
    })->Start();
    while (!done) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        CheckSynchronize();
        if (!done) MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
    }
    QueryPerformanceCounter(&stop);

    const double seconds = double(stop.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    if (!result || !ordered || !ended || announced != expected || last != expected) {
        std::fwprintf(stderr, L"download failed or progress wrong: result %d, announced %lld, last %lld\n",
                      result, (long long)announced, (long long)last);
        return 1;
    }
    std::wprintf(L"%lld bytes in %.3f s = %.1f MB/s, %lld progress calls\n", (long long)last, seconds,
                 double(last) / 1e6 / seconds, (long long)calls);
    return 0;
}
