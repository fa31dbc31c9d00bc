// Extracts an archive into a folder the way the setup does (overwrite all, extract all) and reports the
// time the extraction took and the process's peak memory. Usage: bench_unzip ARCHIVE FOLDER
// With FOLDER "-" the entries are only tested (read, inflated and checked), which separates decoding from
// file creation.
#include <chrono>
#include <cstdio>
#include <windows.h>
#include <psapi.h>

#include "zip/Common.ZipIO.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fwprintf(stderr, L"usage: bench_unzip ARCHIVE FOLDER\n");
        return 2;
    }
    auto ansi = [](const wchar_t* s) {
        char buffer[MAX_PATH * 2];
        int n = WideCharToMultiByte(CP_ACP, 0, s, -1, buffer, sizeof buffer, nullptr, nullptr);
        return std::string(buffer, n > 0 ? n - 1 : 0);
    };
    const auto start = std::chrono::steady_clock::now();
    try {
        TOxZip zip(nullptr);
        zip.Open(ansi(argv[1]));
        if (!zip.IsZipFile()) {
            fwprintf(stderr, L"not an archive: %ls\n", argv[1]);
            return 1;
        }
        if (wcscmp(argv[2], L"-") == 0) {
            for (int i = 0; i < zip.Entries()->Count(); ++i)
                if (!zip.Entries()->Items(i)->Test()) fwprintf(stderr, L"entry %d fails its test\n", i);
        } else {
            zip.SetOverwriteAction(oaOverwriteAll);
            zip.ExtractAll(ansi(argv[2]));
        }
        zip.Close();
    } catch (const Exception& e) {
        fwprintf(stderr, L"%ls\n", e.Message().c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    printf("extract_seconds %.3f peak_working_set_kb %llu peak_private_kb %llu\n", seconds,
           (unsigned long long)counters.PeakWorkingSetSize / 1024,
           (unsigned long long)counters.PeakPagefileUsage / 1024);
    return 0;
}
