// Start-up of the setup: the time from starting its process to its window showing the preparation page's
// text, against a yardstick program started the same way in the same Wine prefix. The two run in turn
// (one warm-up each first, then A B A B ...), each process ended once the text shows; the figures are
// medians, and the ratio is the setup's median over the yardstick's (and, steadier on a busy machine, the
// median of the ratios of each pair). Where the setup's own time goes: its start-up marks (the file that
// ZRX_STARTUP_MARKS names, see app/core/StartupMarks.h), its first visible window, and the text.
// Usage: bench_startup SETUP-EXE YARDSTICK-EXE [RUNS] [-- ARGUMENTS FOR THE SETUP]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const wchar_t PrepareText[] = L"Please wait while setup prepares the necessary files.";

struct Search {
    DWORD Pid;
    bool Found = false;
    bool WindowSeen = false;
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
    if (pid == s->Pid && IsWindowVisible(Wnd)) {
        s->WindowSeen = true;
        EnumChildWindows(Wnd, FindPrepareLabel, Param);
    }
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

// One run of a program: milliseconds from CreateProcess to its first visible window and to the text (-1
// when it never showed), and the program's own marks, when it wrote any.
struct TRun {
    double Window = -1, Text = -1;
    std::vector<std::pair<std::string, double>> Marks;
};

// The marks file: "name<TAB>counter<TAB>frequency" lines, turned into milliseconds after Start.
std::vector<std::pair<std::string, double>> ReadMarks(const std::wstring& Path, double Start) {
    std::vector<std::pair<std::string, double>> marks;
    std::string text;
    HANDLE file =
        CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char buf[4096];
        DWORD n;
        while (ReadFile(file, buf, sizeof buf, &n, nullptr) && n) text.append(buf, n);
        CloseHandle(file);
    }
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        long long counter = 0, frequency = 0;
        if (std::getline(fields, name, '\t') && fields >> counter >> frequency && frequency > 0)
            marks.emplace_back(name, (double)counter * 1000.0 / (double)frequency - Start);
    }
    return marks;
}

std::wstring MarksPath() {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"zrx_startup_marks.txt";
}

TRun TimeToText(const std::wstring& Exe, std::wstring CommandLine, bool Marks) {
    TRun run;
    const std::wstring marksPath = MarksPath();
    DeleteFileW(marksPath.c_str());
    SetEnvironmentVariableW(L"ZRX_STARTUP_MARKS", Marks ? marksPath.c_str() : nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    double start = Now();
    if (!CreateProcessW(Exe.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        fwprintf(stderr, L"cannot start %ls (%lu)\n", Exe.c_str(), GetLastError());
        return run;
    }
    Search s{pi.dwProcessId};
    while (Now() - start < 20000) {
        EnumWindows(FindWindowOfProcess, (LPARAM)&s);
        if (s.WindowSeen && run.Window < 0) run.Window = Now() - start;
        if (s.Found) {
            run.Text = Now() - start;
            break;
        }
        if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
    }
    // The program writes its marks, in one piece, once its page shows: give it the moment it needs.
    for (double wait = Now(); Marks && run.Text >= 0 && Now() - wait < 3000;) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(marksPath.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow) break;
        Sleep(5);
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (Marks) run.Marks = ReadMarks(marksPath, start);
    return run;
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
    std::vector<TRun> setupRuns;
    for (int run = -1; run < runs; ++run) // run -1 is the warm-up
        for (int k = 0; k < 2; ++k) {
            TRun r = TimeToText(exe[k], cmd[k], k == 0);
            if (r.Text < 0) {
                fwprintf(stderr, L"%ls: the preparation page's text never showed\n", exe[k].c_str());
                return 1;
            }
            if (run < 0) continue;
            times[k].push_back(r.Text);
            if (k == 0) setupRuns.push_back(r);
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

    // The setup's phases: each mark's median time from the process start, and the median of each run's
    // time since the mark before it.
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> at, since;
    for (const TRun& r : setupRuns) {
        std::vector<std::pair<std::string, double>> points;
        for (const auto& m : r.Marks) points.push_back(m);
        points.emplace_back("window visible", r.Window);
        points.emplace_back("text visible", r.Text);
        double previous = 0;
        for (const auto& [name, t] : points) {
            if (!at.count(name)) order.push_back(name);
            at[name].push_back(t);
            since[name].push_back(t - previous);
            previous = t;
        }
    }
    wprintf(L"\nwhere the setup's time goes (medians over %d runs; the window is seen from outside):\n",
            runs);
    wprintf(L"  %-16ls %10ls %12ls\n", L"phase ends", L"at (ms)", L"phase (ms)");
    for (const std::string& name : order)
        wprintf(L"  %-16hs %10.1f %12.1f%ls\n", name.c_str(), Median(at[name]), Median(since[name]),
                at[name].size() < setupRuns.size() ? L"  (not in every run)" : L"");
    return 0;
}
