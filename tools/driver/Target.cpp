#include "Driver.h"

#include <tlhelp32.h>

#include <algorithm>

namespace {
std::vector<PROCESSENTRY32W> Processes() {
    std::vector<PROCESSENTRY32W> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        list.push_back(entry);
    CloseHandle(snapshot);
    return list;
}
} // namespace

std::vector<DWORD> ProcessesNamed(const std::wstring& Exe) {
    std::vector<DWORD> pids;
    for (auto& p : Processes())
        if (lstrcmpiW(p.szExeFile, Exe.c_str()) == 0) pids.push_back(p.th32ProcessID);
    return pids;
}

void PrintProcesses() {
    for (auto& p : Processes())
        WriteLine({std::to_wstring(p.th32ProcessID), std::to_wstring(p.th32ParentProcessID), p.szExeFile});
}

bool ProcessAlive(DWORD Pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, Pid);
    if (!process) return false;
    DWORD code = 0;
    bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return alive;
}

std::vector<DWORD> TargetProcesses(const TTarget& Target) {
    if (Target.Wnd) return {WindowProcess(Target.Wnd)};
    if (Target.Pid) return {Target.Pid};
    if (!Target.Exe.empty()) return ProcessesNamed(Target.Exe);
    return {};
}

namespace {
struct TSearch {
    const TTarget* Target;
    std::vector<DWORD> Pids;
    std::vector<HWND> Found;
    std::vector<std::wstring> Seen; // every visible top-level window, for the error message
};

BOOL CALLBACK CollectTopLevel(HWND Wnd, LPARAM Param) {
    auto* search = (TSearch*)Param;
    if (!IsWindowVisible(Wnd)) return TRUE;
    const DWORD pid = WindowProcess(Wnd);
    const std::wstring cls = WindowClass(Wnd), caption = WindowText(Wnd);
    search->Seen.push_back(L"'" + caption + L"' (" + cls + L", process " + std::to_wstring(pid) + L")");
    // Dialogs (message boxes, the folder dialog) are answered by their own commands, not driven as the
    // window.
    if (cls == L"#32770") return TRUE;
    const TTarget& t = *search->Target;
    if (!search->Pids.empty() &&
        std::find(search->Pids.begin(), search->Pids.end(), pid) == search->Pids.end())
        return TRUE;
    if (search->Pids.empty() && (t.Pid || !t.Exe.empty())) return TRUE;
    if (!t.Caption.empty() && caption != t.Caption) return TRUE;
    search->Found.push_back(Wnd);
    return TRUE;
}

std::wstring Describe(const TTarget& Target) {
    std::wstring what = L"the main window";
    if (Target.Pid) what += L" of process " + std::to_wstring(Target.Pid);
    if (!Target.Exe.empty()) what += L" of a process named '" + Target.Exe + L"'";
    if (!Target.Caption.empty()) what += L" with the caption '" + Target.Caption + L"'";
    return what;
}
} // namespace

namespace {
// Among several, the one that names its component is the program's own form.
HWND Choose(const std::vector<HWND>& Found) {
    for (HWND w : Found)
        if (GetPropW(w, L"ComponentName")) return w;
    return Found.empty() ? nullptr : Found.front();
}
} // namespace

HWND FindMainWindow(const TTarget& Target) {
    TSearch search{&Target, TargetProcesses(Target), {}, {}};
    EnumWindows(CollectTopLevel, (LPARAM)&search);
    return Choose(search.Found);
}

HWND WaitMainWindow(TTarget& Target) {
    if (Target.Wnd) {
        if (!IsWindow(Target.Wnd))
            throw TDriverError{L"the window " + std::to_wstring((uintptr_t)Target.Wnd) +
                               L" no longer exists"};
        return Target.Wnd;
    }
    if (!Target.Pid && Target.Exe.empty() && Target.Caption.empty())
        throw TDriverError{L"no target: give --pid, --exe, --caption or --hwnd"};
    TSearch search{&Target, {}, {}, {}};
    const bool found = WaitFor(Target.TimeoutMs, [&] {
        search = TSearch{&Target, TargetProcesses(Target), {}, {}};
        EnumWindows(CollectTopLevel, (LPARAM)&search);
        return !search.Found.empty();
    });
    if (!found) {
        std::wstring msg =
            L"timed out after " + Seconds(Target.TimeoutMs) + L" waiting for " + Describe(Target) + L"; ";
        if (Target.Pid && !ProcessAlive(Target.Pid)) msg += L"the process has ended; ";
        msg += L"visible top-level windows:";
        for (auto& s : search.Seen) msg += L"\n  " + s;
        if (search.Seen.empty()) msg += L" none";
        throw TDriverError{msg};
    }
    return Target.Wnd = Choose(search.Found);
}
