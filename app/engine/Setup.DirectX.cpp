#include "app/engine/Setup.DirectX.h"

#include "app/core/System.Application.Extended.h"
#include "app/engine/Setup.Installation.h"
#include "app/ui/ui.window.main.h"
#include "net/Setup.Source.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"

namespace {
// Called on a thread of the system's wait pool when the process has ended: the pump step that is waiting
// for the next message returns, and the loop sees the end at once.
void CALLBACK WakeOnProcessEnd(void*, BOOLEAN) {
    Application->WakeMainThread();
}
} // namespace

HWND OwnerWindow() {
    // Never makes the window: the worker that starts the unpacker asks too.
    return MainWindow && MainWindow->HandleAllocated() ? MainWindow->Handle() : nullptr;
}

std::wstring GetSystemDir() {
    wchar_t buffer[255] = {};
    UINT n = GetSystemDirectoryW(buffer, 255);
    if (n >= 255) n = 0;
    return std::wstring(buffer, n);
}

bool StartProcess(const std::wstring& FileName, const std::wstring& Parameters, int Show,
                  SHELLEXECUTEINFOW& Info) {
    Info = {};
    Info.cbSize = sizeof(Info);
    Info.fMask = SEE_MASK_NOCLOSEPROCESS;
    Info.hwnd = OwnerWindow();
    Info.lpVerb = L"open";
    Info.lpFile = FileName.c_str();
    Info.lpParameters = Parameters.c_str();
    Info.nShow = Show;
    return ShellExecuteExW(&Info);
}

bool ShellExecuteOpen(const std::wstring& FileName, SHELLEXECUTEINFOW& Info) {
    static const std::wstring quiet = L"/Q";
    return StartProcess(FileName, quiet, SW_SHOWNORMAL, Info);
}

bool RunAndWait(const std::wstring& FileName) {
    SHELLEXECUTEINFOW info;
    if (!ShellExecuteOpen(FileName, info)) return false;
    HANDLE wait = nullptr;
    if (info.hProcess)
        RegisterWaitForSingleObject(&wait, info.hProcess, WakeOnProcessEnd, nullptr, INFINITE,
                                    WT_EXECUTEONLYONCE);
    DWORD code;
    while (GetExitCodeProcess(info.hProcess, &code) && code == STILL_ACTIVE) CSetupCore::ProcessMessages();
    // The wake-up must be gone before its handle is closed.
    if (wait) UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
    if (info.hProcess) CloseHandle(info.hProcess);
    return true;
}

void CInstallation::CheckDirectX() {
    if (FileExists(GetSystemDir() + L"\\d3dx9_33.dll")) return;
    if (!TApplicationHelper::AskYesNo(OwnerWindow(), MainWindow->DialogIS(10), MainWindow->DialogIS(20),
                                      MB_ICONQUESTION))
        return;
    if (AsyncRequest(L"dxwebsetup.exe"))
        RunAndWait(Source->baseTemp + L"dxwebsetup.exe");
    else if (!Aborted)
        // A closed window is no failed download: nobody is left to ask.
        TApplicationHelper::AskYesNo(OwnerWindow(), MainWindow->DialogIS(22), MainWindow->DialogIS(21),
                                     MB_ICONQUESTION);
}
