// A test build of the setup's start: the real start-up, reporting what it decided to the folder that
// ZRX_PROBE_DIR names (a file per program name). Mode 1 then runs its real road; modes 0 and 2 stop before
// the wizard window, which other tests drive.
#include <windows.h>

#include <string>

#include "app/Setup.Application.h"
#include "app/core/System.Application.Extended.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"

namespace {
BOOL CALLBACK CountOwnWindow(HWND Wnd, LPARAM Count) {
    DWORD pid = 0;
    GetWindowThreadProcessId(Wnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(Wnd)) ++*(int*)Count;
    return TRUE;
}

// Visible top-level windows of this process.
int OwnWindows() {
    int count = 0;
    EnumWindows(CountOwnWindow, (LPARAM)&count);
    return count;
}

void Report(const std::wstring& Line) {
    wchar_t dir[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"ZRX_PROBE_DIR", dir, MAX_PATH)) return;
    const std::wstring file = std::wstring(dir) + ExtractFileName(Application->ExeName()) + L".txt";
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::wstring text = Line + L"\n";
    std::string utf8(text.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), utf8.data(), (int)utf8.size(),
                                    nullptr, nullptr));
    DWORD written;
    WriteFile(h, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
    CloseHandle(h);
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return RunProgram([] {
        CSetup::Initialize();
        const std::wstring work = TApplicationHelper::GetTempDir(true);
        Report(L"start\tmode=" + std::to_wstring(SetupRunMode) + L"\tbeta=" + std::to_wstring(IsBetaStream) +
               L"\ttitle=" + Application->Title() + L"\tlang=" + UILanguage + L"\twork=" + work + L"\texe=" +
               Application->ExeName() + L"\tcmd=" + GetCommandLineW());
        if (SetupRunMode != 1) {
            Report(L"end");
            return;
        }
        CSetup::Main();
        Report(L"end\tworkExists=" + std::to_wstring(DirectoryExists(work)) + L"\twindows=" +
               std::to_wstring(OwnWindows()));
    });
}
