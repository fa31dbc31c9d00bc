#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "app/core/System.Application.Extended.h"
#include "app/engine/Setup.DirectX.h"
#include "runtime/Files.h"

namespace {
// The stand-in program records each start in the temporary folder's log; named "dxwebsetup.exe" it lives
// for two seconds.
std::wstring StandinLog() {
    return TApplicationHelper::GetSystemTempPath() + L"zrx-standin.log";
}
} // namespace

TEST(WebSetup, TheWaitEndsWhenTheProcessEndsWithoutOtherMessages) {
    const std::wstring folder = MakeScratchFolder(L"web setup");
    const std::wstring webSetup = folder + L"dxwebsetup.exe";
    TFile::Copy(TApplicationHelper::GetExeDir() + L"..\\..\\tools\\standin\\standin.exe", webSetup, true);

    // Nothing posts a message while the web setup runs: only the end of its process can end the wait. A
    // watchdog frees a wait that would otherwise last for ever, and the test then fails.
    const DWORD mainThread = GetCurrentThreadId();
    std::atomic<bool> finished{false}, rescued{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !finished; ++i) Sleep(100);
        if (!finished) {
            rescued = true;
            PostThreadMessageW(mainThread, WM_NULL, 0, 0);
        }
    });
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(RunAndWait(webSetup));
    const ULONGLONG waited = GetTickCount64() - start;
    finished = true;
    watchdog.join();
    EXPECT_FALSE(rescued);

    // The wait lasted as long as the web setup lives, and the web setup was given "/Q".
    EXPECT_GE(waited, 1900u);
    const std::wstring log = ReadTextFile(StandinLog());
    EXPECT_NE(log.find(L"\"" + webSetup + L"\" /Q\t"), std::wstring::npos) << log;
}
