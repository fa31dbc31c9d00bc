// Start-up of the setup: the size of the executable, and the time from starting its process to its window
// showing the preparation page, over several runs (each process is ended once the page shows). Usage:
// bench_startup EXE [RUNS] [-- ARGUMENTS FOR EXE]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t PrepareText[] = L"Please wait while setup prepares the necessary files.";

struct Search {
    DWORD Pid;
    bool Found = false;
};

BOOL CALLBACK FindPrepareLabel(HWND Wnd, LPARAM Param) {
    auto* s = (Search*)Param;
    wchar_t text[128] = {};
    if (IsWindowVisible(Wnd) && GetWindowTextW(Wnd, text, 128) && wcscmp(text, PrepareText) == 0)
        s->Found = true;
    return !s->Found;
}

BOOL CALLBACK FindWindowOfProcess(HWND Wnd, LPARAM Param) {
    auto* s = (Search*)Param;
    DWORD pid = 0;
    GetWindowThreadProcessId(Wnd, &pid);
    if (pid == s->Pid && IsWindowVisible(Wnd)) EnumChildWindows(Wnd, FindPrepareLabel, Param);
    return !s->Found;
}

double Now() {
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER q;
        QueryPerformanceFrequency(&q);
        return q;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fwprintf(stderr, L"usage: bench_startup EXE [RUNS] [-- ARGUMENTS]\n");
        return 2;
    }
    std::wstring exe = argv[1];
    int runs = argc > 2 && wcscmp(argv[2], L"--") != 0 ? _wtoi(argv[2]) : 7;
    std::wstring cmd = L"\"" + exe + L"\"";
    for (int i = 2; i < argc; ++i)
        if (wcscmp(argv[i], L"--") == 0)
            for (int j = i + 1; j < argc; ++j) cmd += std::wstring(L" ") + argv[j];

    WIN32_FILE_ATTRIBUTE_DATA fa;
    if (!GetFileAttributesExW(exe.c_str(), GetFileExInfoStandard, &fa)) {
        fwprintf(stderr, L"cannot find %ls\n", exe.c_str());
        return 2;
    }
    wprintf(L"size of %ls: %lu bytes\n", exe.c_str(), fa.nFileSizeLow);

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring line = cmd;
        double start = Now();
        if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi)) {
            fwprintf(stderr, L"cannot start %ls (%lu)\n", exe.c_str(), GetLastError());
            return 1;
        }
        Search s{pi.dwProcessId};
        double elapsed = -1;
        while (Now() - start < 20000) {
            EnumWindows(FindWindowOfProcess, (LPARAM)&s);
            if (s.Found) {
                elapsed = Now() - start;
                break;
            }
            if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
        }
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        if (elapsed < 0) {
            fwprintf(stderr, L"run %d: the preparation page never showed\n", run + 1);
            return 1;
        }
        wprintf(L"run %d: preparation page after %.1f ms\n", run + 1, elapsed);
        times.push_back(elapsed);
    }
    std::sort(times.begin(), times.end());
    wprintf(L"start to preparation page over %d runs: median %.1f ms, min %.1f ms, max %.1f ms\n", runs,
            times[times.size() / 2], times.front(), times.back());
    return 0;
}
