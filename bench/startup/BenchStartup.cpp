// Start-up of the setup: the time from starting its process to its window showing the preparation page's
// text, against a yardstick program started the same way in the same Wine prefix. The two run in turn
// (one warm-up each first, then A B A B ...), each process ended once the text shows; the figures are
// medians, and the ratio is the setup's median over the yardstick's (and, steadier on a busy machine, the
// median of the ratios of each pair).
// Usage: bench_startup SETUP-EXE YARDSTICK-EXE [RUNS] [-- ARGUMENTS FOR THE SETUP]
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

// Milliseconds from CreateProcess to the visible text, or -1 when it never showed.
double TimeToText(const std::wstring& Exe, std::wstring CommandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    double start = Now();
    if (!CreateProcessW(Exe.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        fwprintf(stderr, L"cannot start %ls (%lu)\n", Exe.c_str(), GetLastError());
        return -1;
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
    return elapsed;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: bench_startup SETUP-EXE YARDSTICK-EXE [RUNS] [-- ARGUMENTS]\n");
        return 2;
    }
    const std::wstring exe[2] = {argv[1], argv[2]};
    int runs = argc > 3 && wcscmp(argv[3], L"--") != 0 ? _wtoi(argv[3]) : 9;
    if (runs < 1) runs = 9;
    std::wstring cmd[2] = {L"\"" + exe[0] + L"\"", L"\"" + exe[1] + L"\""};
    for (int i = 3; i < argc; ++i)
        if (wcscmp(argv[i], L"--") == 0)
            for (int j = i + 1; j < argc; ++j) cmd[0] += std::wstring(L" ") + argv[j];

    std::vector<double> times[2];
    for (int run = -1; run < runs; ++run) // run -1 is the warm-up
        for (int k = 0; k < 2; ++k) {
            double t = TimeToText(exe[k], cmd[k]);
            if (t < 0) {
                fwprintf(stderr, L"%ls: the preparation page's text never showed\n", exe[k].c_str());
                return 1;
            }
            if (run >= 0) times[k].push_back(t);
        }
    const wchar_t* names[2] = {L"setup", L"yardstick"};
    for (int k = 0; k < 2; ++k) {
        auto [lo, hi] = std::minmax_element(times[k].begin(), times[k].end());
        wprintf(L"%-9ls start to text over %d runs: median %6.1f ms (min %.1f, max %.1f)  %ls\n", names[k],
                runs, Median(times[k]), *lo, *hi, exe[k].c_str());
    }
    wprintf(L"ratio setup / yardstick (medians): %.2f\n", Median(times[0]) / Median(times[1]));
    // Each pair ran back to back, under much the same load of the machine: their ratios vary less.
    std::vector<double> pairs;
    for (int i = 0; i < runs; ++i) pairs.push_back(times[0][i] / times[1][i]);
    wprintf(L"median of the ratios of each pair: %.2f\n", Median(pairs));
    return 0;
}
