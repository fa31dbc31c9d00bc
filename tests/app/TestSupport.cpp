#include "TestSupport.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <vector>

#include "runtime/Files.h"
#include "runtime/gui/Application.h"

namespace {
// Scratch folders of this process, so that test programs run side by side do not meet.
std::wstring ScratchRoot() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"zrx-app-tests\\" + std::to_wstring(GetCurrentProcessId()) + L"\\";
}

// Every test runs on a main thread prepared as the setup's own start prepares it.
struct TApplicationEnvironment : testing::Environment {
    void SetUp() override { Application->Initialize(); }
    void TearDown() override { TDirectory::Delete(ScratchRoot(), true); }
};
testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TApplicationEnvironment);
} // namespace

std::wstring MakeScratchFolder(const std::wstring& Name) {
    std::wstring dir = ScratchRoot() + Name + L"\\";
    TDirectory::Delete(dir, true);
    ForceDirectories(dir);
    return dir;
}

std::wstring ReadTextFile(const std::wstring& FileName) {
    HANDLE h = CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[4096];
    DWORD n;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    CloseHandle(h);
    std::wstring text(bytes.size(), L'\0');
    text.resize(
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), text.data(), (int)text.size()));
    return text;
}

namespace {
// The current environment with Env's entries in place of those of the same name.
std::vector<wchar_t> MakeEnvironment(const std::map<std::wstring, std::wstring>& Env) {
    std::map<std::wstring, std::wstring> vars;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        size_t eq = entry.find(L'=', 1);
        if (eq != std::wstring::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsW(block);
    for (auto& [name, value] : Env) vars[name] = value;
    std::vector<wchar_t> result;
    for (auto& [name, value] : vars) {
        std::wstring entry = name + L"=" + value;
        result.insert(result.end(), entry.begin(), entry.end());
        result.push_back(0);
    }
    result.push_back(0);
    return result;
}
} // namespace

TProcessResult RunProcess(const std::wstring& CommandLine, const std::map<std::wstring, std::wstring>& Env,
                          DWORD TimeoutMs) {
    TProcessResult result;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readPipe, writePipe;
    CreatePipe(&readPipe, &writePipe, &sa, 0);
    SetHandleInformation(readPipe, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writePipe;
    si.hStdError = writePipe;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = CommandLine;
    std::vector<wchar_t> env = MakeEnvironment(Env);
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, env.data(),
                        nullptr, &si, &pi)) {
        CloseHandle(readPipe);
        CloseHandle(writePipe);
        result.ExitCode = (DWORD)-1;
        return result;
    }
    CloseHandle(writePipe);
    std::thread reader([&] {
        char buffer[4096];
        DWORD n;
        while (ReadFile(readPipe, buffer, sizeof buffer, &n, nullptr) && n) result.Output.append(buffer, n);
    });
    if (WaitForSingleObject(pi.hProcess, TimeoutMs) != WAIT_OBJECT_0) {
        result.TimedOut = true;
        TerminateProcess(pi.hProcess, 255);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &result.ExitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    reader.join();
    CloseHandle(readPipe);
    return result;
}

bool RunTestInChild(const std::wstring& Name) {
    std::wstring exe = Application->ExeName();
    TProcessResult r = RunProcess(L"\"" + exe + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + Name);
    if (r.ExitCode != 0 || r.Output.find("[  PASSED  ] 1 test") == std::string::npos) {
        fprintf(stderr, "child %ls:\n%s\n", Name.c_str(), r.Output.c_str());
        return false;
    }
    return true;
}

bool IsChildProcess(DWORD Pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool child = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !child;
         more = Process32NextW(snapshot, &entry))
        child = entry.th32ProcessID == Pid && entry.th32ParentProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return child;
}

namespace {
struct FindDialog {
    DWORD Pid; // 0: a process this one started
    HWND Found = nullptr;
};

BOOL CALLBACK FindDialogProc(HWND Wnd, LPARAM Param) {
    auto* find = (FindDialog*)Param;
    DWORD pid = 0;
    GetWindowThreadProcessId(Wnd, &pid);
    wchar_t cls[64];
    if (IsWindowVisible(Wnd) && GetClassNameW(Wnd, cls, 64) && wcscmp(cls, L"#32770") == 0 &&
        (find->Pid ? pid == find->Pid : IsChildProcess(pid))) {
        find->Found = Wnd;
        return FALSE;
    }
    return TRUE;
}

std::wstring WindowText(HWND Wnd) {
    wchar_t text[1024] = {};
    // WM_GETTEXT reaches controls of other processes too.
    SendMessageTimeoutW(Wnd, WM_GETTEXT, 1024, (LPARAM)text, SMTO_BLOCK, 2000, nullptr);
    return text;
}

BOOL CALLBACK CollectTexts(HWND Wnd, LPARAM Param) {
    std::wstring text = WindowText(Wnd);
    if (!text.empty()) *(std::wstring*)Param += text + L"\n";
    return TRUE;
}
} // namespace

TDialogDriver::TDialogDriver(int ButtonId, std::function<void(HWND)> Prepare, bool AnyProcess,
                             DWORD TimeoutMs) {
    const DWORD Pid = AnyProcess ? 0 : GetCurrentProcessId();
    FThread = std::thread([=, this] {
        FindDialog find{Pid};
        for (DWORD waited = 0; !find.Found && waited < TimeoutMs; waited += 50) {
            Sleep(50);
            EnumWindows(FindDialogProc, (LPARAM)&find);
        }
        if (!find.Found) return;
        Sleep(300); // let the dialog finish its start-up, as a user's eye would
        FTexts = WindowText(find.Found) + L"\n";
        EnumChildWindows(find.Found, CollectTexts, (LPARAM)&FTexts);
        if (Prepare) Prepare(find.Found);
        HWND button = GetDlgItem(find.Found, ButtonId);
        if (!button) return;
        // A click posted while a loaded machine is still settling the dialog can be lost: click again until
        // the dialog is gone, as a user would.
        for (int attempt = 0; attempt < 5 && IsWindow(find.Found); ++attempt) {
            PostClick(button);
            for (int waited = 0; waited < 2000 && IsWindow(find.Found); waited += 20) Sleep(20);
        }
        FDone = true;
    });
}

TDialogDriver::~TDialogDriver() {
    Finish();
}

bool TDialogDriver::Finish() {
    if (!FJoined) {
        FThread.join();
        FJoined = true;
    }
    return FDone;
}

void PostClick(HWND Button) {
    // One message: a press and a release posted apart can be split by another program's window taking the
    // mouse in between.
    PostMessageW(Button, BM_CLICK, 0, 0);
}

TTestWindow::TTestWindow(std::function<void()> OnClick) : FOnClick(std::move(OnClick)) {
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZrxTestWindow";
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        return RegisterClassW(&wc);
    }();
    (void)atom;
    FHandle = CreateWindowExW(0, L"ZrxTestWindow", L"Test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300,
                              200, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    FButton = CreateWindowExW(0, L"BUTTON", L"Next", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 100, 30,
                              FHandle, (HMENU)100, GetModuleHandleW(nullptr), nullptr);
}

TTestWindow::~TTestWindow() {
    DestroyWindow(FHandle);
}

LRESULT CALLBACK TTestWindow::WndProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_NCCREATE)
        SetWindowLongPtrW(Wnd, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTW*)L)->lpCreateParams);
    auto* self = (TTestWindow*)GetWindowLongPtrW(Wnd, GWLP_USERDATA);
    try {
        if (Msg == WM_COMMAND && LOWORD(W) == 100 && self && self->FOnClick) {
            self->FOnClick();
            return 0;
        }
        if (Msg == WM_CLOSE) {
            Application->Terminate();
            return 0; // the window stays, as the wizard window does
        }
    } catch (...) {
        Application->HandleException(nullptr);
        return 0;
    }
    return DefWindowProcW(Wnd, Msg, W, L);
}
