// driver.exe: plays the user of a running Windows program for end-to-end tests. One command per call; results
// on standard output as tab-separated lines; exit code 0 on success, else 1 with the reason on standard
// error.
#include "Driver.h"

#include <shlobj.h>

#include <cwchar>
#include <map>

namespace {
const wchar_t Usage[] = LR"(usage: driver COMMAND [ARGUMENTS] [TARGET] [--timeout SECONDS]
TARGET: --pid N | --exe FILE.exe | --caption TEXT | --hwnd H   (the program's main window)
commands:
  window                      wait for the main window; prints: window hwnd pid x11-window caption x y w h
                              visible enabled closable (a title bar with a close box)
  controls [--all]            prints one line per visible (or every) control:
                              name class parent x y w h visible enabled checked value text
  control NAME|CAPTION        prints the line of that control (no waiting)
  texts                       prints one line per visible label, check box, radio button and button:
                              name class w h needed-w needed-h font-face room text (measured in its own
                              font; room: from its left edge to its parent's right edge)
  wait NAME|CAPTION [--text T] [--contains T] [--enabled 0|1] [--visible 0|1] [--checked 0|1] [--exists]
                   [--gone]   waits until the control is visible (or as given; --exists: hidden or not, --gone:
                              missing or hidden); prints its line
  click NAME|CAPTION          waits until it is visible and enabled, then clicks it; prints its line
  keys CHORD...                types the keys into the window (or the box it waits on), brought to the
                              foreground, as real key presses: tab, shift+tab, return, space, escape, left,
                              right, up, down, home, end, pageup, pagedown, f4, a letter or digit, with
                              shift+, ctrl+, alt+
  focus                       prints the line of the control that has the keyboard focus (nothing when none)
  answer yes|no|ok|cancel     waits for a message box of the program, prints: caption text, presses the button
  dialog [--folder]           waits for a message box (or the folder dialog) and leaves it open; prints:
                              dialog hwnd pid x11-window caption text
  folder PATH | folder --cancel
                              waits for the folder dialog, prints: caption text; chooses PATH in its tree
                              and presses OK, or cancels
  close                       closes the main window as its close box does
  wait-exit                   waits until the target process ends; prints: exit code
  kill                        ends the target processes at once (exit code 255)
  processes                   prints: pid parent-pid file-name of every process
  folders                     prints: name path of the user's special folders
  link FILE.lnk               prints: target, arguments, workdir, description lines
Texts are escaped: \t \n \r \\.)";

struct TArgs {
    std::vector<std::wstring> Positional;
    std::map<std::wstring, std::wstring> Options; // "--name" -> value ("" for flags)
};

const wchar_t* const Flags[] = {L"--all", L"--gone", L"--exists", L"--cancel", L"--folder"};

TArgs Parse(int argc, wchar_t** argv) {
    TArgs a;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg.rfind(L"--", 0) != 0) {
            a.Positional.push_back(arg);
            continue;
        }
        bool flag = false;
        for (auto f : Flags) flag = flag || arg == f;
        if (flag) {
            a.Options[arg] = L"";
        } else {
            if (i + 1 >= argc) throw TDriverError{L"the option " + arg + L" needs a value"};
            a.Options[arg] = argv[++i];
        }
    }
    return a;
}

std::wstring Option(const TArgs& A, const wchar_t* Name, const std::wstring& Default = L"") {
    auto it = A.Options.find(Name);
    return it == A.Options.end() ? Default : it->second;
}

bool Has(const TArgs& A, const wchar_t* Name) {
    return A.Options.count(Name) != 0;
}

TTarget MakeTarget(const TArgs& A) {
    TTarget t;
    t.Pid = (DWORD)wcstoul(Option(A, L"--pid", L"0").c_str(), nullptr, 0);
    t.Exe = Option(A, L"--exe");
    t.Caption = Option(A, L"--caption");
    t.Wnd = (HWND)(uintptr_t)wcstoull(Option(A, L"--hwnd", L"0").c_str(), nullptr, 0);
    t.TimeoutMs = (DWORD)(_wtof(Option(A, L"--timeout", L"20").c_str()) * 1000);
    return t;
}

std::wstring Positional(const TArgs& A, size_t Index, const wchar_t* What) {
    if (A.Positional.size() <= Index) throw TDriverError{std::wstring(L"missing argument: ") + What};
    return A.Positional[Index];
}

void PrintWindow(HWND Wnd) {
    RECT r;
    GetWindowRect(Wnd, &r);
    WriteLine({L"window", std::to_wstring((uintptr_t)Wnd), std::to_wstring(WindowProcess(Wnd)),
               std::to_wstring(X11Window(Wnd)), WindowText(Wnd), std::to_wstring(r.left),
               std::to_wstring(r.top), std::to_wstring(r.right - r.left), std::to_wstring(r.bottom - r.top),
               IsWindowVisible(Wnd) ? L"1" : L"0", IsWindowEnabled(Wnd) ? L"1" : L"0",
               (GetWindowLongW(Wnd, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU)) == (WS_CAPTION | WS_SYSMENU)
                   ? L"1"
                   : L"0"});
}

// What a wait asks of a control, and whether the control meets it.
struct TExpectation {
    const TArgs& A;
    bool Met(const TControlInfo* C) const {
        if (Has(A, L"--gone")) return !C || !C->Visible;
        if (!C) return false;
        if (!Has(A, L"--exists") && C->Visible != (Option(A, L"--visible", L"1") == L"1")) return false;
        if (Has(A, L"--enabled") && C->Enabled != (Option(A, L"--enabled") == L"1")) return false;
        if (Has(A, L"--checked") && C->Checked != _wtoi(Option(A, L"--checked").c_str())) return false;
        if (Has(A, L"--text") && C->Text != Option(A, L"--text")) return false;
        if (Has(A, L"--contains") && C->Text.find(Option(A, L"--contains")) == std::wstring::npos)
            return false;
        return true;
    }
    std::wstring Describe(const std::wstring& Key) const {
        std::wstring s = L"the control '" + Key + L"'";
        if (Has(A, L"--gone")) return s + L" to be gone or hidden";
        if (Has(A, L"--exists"))
            s += L" to exist";
        else
            s += Option(A, L"--visible", L"1") == L"1" ? L" to be visible" : L" to exist hidden";
        if (Has(A, L"--enabled")) s += Option(A, L"--enabled") == L"1" ? L", enabled" : L", disabled";
        if (Has(A, L"--checked")) s += L", checked state " + Option(A, L"--checked");
        if (Has(A, L"--text")) s += L", with the text '" + Escape(Option(A, L"--text")) + L"'";
        if (Has(A, L"--contains"))
            s += L", with a text containing '" + Escape(Option(A, L"--contains")) + L"'";
        return s;
    }
};

// Waits until the control Key meets Expect; fails with what the window showed instead.
TControlInfo WaitControl(TTarget& Target, HWND Top, const std::wstring& Key, const TExpectation& Expect) {
    TControlInfo found;
    bool any = false;
    const bool met = WaitFor(Target.TimeoutMs, [&] {
        if (!IsWindow(Top)) return false;
        auto controls = ListControls(Top, true);
        const TControlInfo* c = FindControl(controls, Key);
        any = c != nullptr;
        if (c) found = *c;
        return Expect.Met(c);
    });
    if (!met) {
        std::wstring msg =
            L"timed out after " + Seconds(Target.TimeoutMs) + L" waiting for " + Expect.Describe(Key);
        if (any) {
            msg += L"; it is:";
            for (auto& f : ControlFields(found)) msg += L" " + (f.empty() ? L"''" : Escape(f));
        }
        const auto pids = TargetProcesses(Target);
        if (!pids.empty() && !ProcessAlive(pids.front())) msg += L"; the program has ended";
        throw TDriverError{msg + L"; " + DescribeWindow(Top)};
    }
    return found;
}

int WaitExit(TTarget& Target) {
    auto pids = TargetProcesses(Target);
    if (pids.empty()) throw TDriverError{L"no such process to wait for"};
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pids.front());
    if (!process) throw TDriverError{L"the process " + std::to_wstring(pids.front()) + L" has already ended"};
    const DWORD wait = WaitForSingleObject(process, Target.TimeoutMs);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (wait != WAIT_OBJECT_0) {
        std::wstring msg = L"timed out after " + Seconds(Target.TimeoutMs) + L" waiting for the process " +
                           std::to_wstring(pids.front()) + L" to end";
        if (Target.Wnd && IsWindow(Target.Wnd)) msg += L"; " + DescribeWindow(Target.Wnd);
        throw TDriverError{msg};
    }
    WriteLine({std::to_wstring(code)});
    return 0;
}

void PrintFolders() {
    const std::pair<const wchar_t*, int> folders[] = {
        {L"desktop", CSIDL_DESKTOPDIRECTORY},   {L"programs", CSIDL_PROGRAMS}, {L"appdata", CSIDL_APPDATA},
        {L"localappdata", CSIDL_LOCAL_APPDATA}, {L"system", CSIDL_SYSTEM},     {L"profile", CSIDL_PROFILE}};
    wchar_t path[MAX_PATH + 1];
    for (auto& [name, id] : folders) {
        path[0] = 0;
        SHGetSpecialFolderPathW(nullptr, path, id, TRUE);
        WriteLine({name, path});
    }
    path[0] = 0;
    GetTempPathW(MAX_PATH, path);
    WriteLine({L"temp", path});
}

int Run(const TArgs& A) {
    const std::wstring command = Positional(A, 0, L"command");
    TTarget target = MakeTarget(A);
    if (command == L"window") {
        PrintWindow(WaitMainWindow(target));
    } else if (command == L"controls") {
        for (auto& c : ListControls(WaitMainWindow(target), Has(A, L"--all"))) WriteLine(ControlFields(c));
    } else if (command == L"texts") {
        PrintTextExtents(WaitMainWindow(target));
    } else if (command == L"control") {
        HWND top = WaitMainWindow(target);
        auto controls = ListControls(top, true);
        const std::wstring key = Positional(A, 1, L"control name or caption");
        const TControlInfo* c = FindControl(controls, key);
        if (!c) throw TDriverError{L"no control '" + key + L"'; " + DescribeWindow(top)};
        WriteLine(ControlFields(*c));
    } else if (command == L"wait") {
        HWND top = WaitMainWindow(target);
        TExpectation expect{A};
        WriteLine(
            ControlFields(WaitControl(target, top, Positional(A, 1, L"control name or caption"), expect)));
    } else if (command == L"click") {
        HWND top = WaitMainWindow(target);
        TArgs enabled = A;
        enabled.Options[L"--enabled"] = L"1";
        TExpectation expect{enabled};
        TControlInfo c = WaitControl(target, top, Positional(A, 1, L"control name or caption"), expect);
        PostClick(c.Wnd);
        WriteLine(ControlFields(c));
    } else if (command == L"keys") {
        if (A.Positional.size() < 2) throw TDriverError{L"missing argument: key"};
        SendKeys(target, WaitMainWindow(target), {A.Positional.begin() + 1, A.Positional.end()});
    } else if (command == L"focus") {
        HWND top = WaitMainWindow(target);
        const HWND focus = FocusedWindow(top);
        for (auto& c : ListControls(top, true))
            if (focus && c.Wnd == focus) WriteLine(ControlFields(c));
    } else if (command == L"answer") {
        AnswerMessageBox(target, Positional(A, 1, L"yes, no, ok or cancel"));
    } else if (command == L"dialog") {
        PrintDialog(target, Has(A, L"--folder"));
    } else if (command == L"folder") {
        AnswerFolderDialog(target, Has(A, L"--cancel") ? L"" : Positional(A, 1, L"folder path or --cancel"));
    } else if (command == L"close") {
        PostMessageW(WaitMainWindow(target), WM_CLOSE, 0, 0);
    } else if (command == L"wait-exit") {
        return WaitExit(target);
    } else if (command == L"kill") {
        for (DWORD pid : TargetProcesses(target)) {
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
                TerminateProcess(process, 255);
                WaitForSingleObject(process, target.TimeoutMs);
                CloseHandle(process);
            }
        }
    } else if (command == L"processes") {
        PrintProcesses();
    } else if (command == L"folders") {
        PrintFolders();
    } else if (command == L"link") {
        PrintLink(Positional(A, 1, L"link file"));
    } else {
        throw TDriverError{L"unknown command '" + command + L"'\n" + Usage};
    }
    return 0;
}
} // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        if (argc < 2) throw TDriverError{Usage};
        return Run(Parse(argc, argv));
    } catch (const TDriverError& e) {
        std::wstring text = L"driver:";
        for (int i = 1; i < argc; ++i) text += std::wstring(L" ") + argv[i];
        text += L": " + e.Message + L"\n";
        int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
        std::string bytes((size_t)n, '\0');
        WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), bytes.data(), n, nullptr, nullptr);
        DWORD written;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), (DWORD)bytes.size(), &written, nullptr);
        return 1;
    }
}
