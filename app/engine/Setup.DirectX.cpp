#include "app/engine/Setup.DirectX.h"

#include "app/core/System.Application.Extended.h"
#include "app/engine/Setup.Installation.h"
#include "app/ui/ui.window.main.h"
#include "net/Setup.Source.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"

namespace {
// The window that owns what the setup starts and asks: the wizard window, when there is one.
HWND OwnerWindow() {
    return MainWindow ? MainWindow->Handle() : nullptr;
}

// Called on a thread of the system's wait pool when the process has ended: the pump step that is waiting
// for the next message returns, and the loop sees the end at once.
void CALLBACK WakeOnProcessEnd(void*, BOOLEAN) {
    Application->WakeMainThread();
}
} // namespace

std::wstring GetSystemDir() {
    wchar_t buffer[255] = {};
    UINT n = GetSystemDirectoryW(buffer, 255);
    if (n >= 255) n = 0;
    return std::wstring(buffer, n);
}

bool ShellExecuteOpen(const std::wstring& FileName, SHELLEXECUTEINFOW& Info) {
    Info = {};
    Info.cbSize = sizeof(Info);
    Info.fMask = SEE_MASK_NOCLOSEPROCESS;
    Info.hwnd = OwnerWindow();
    Info.lpVerb = L"open";
    Info.lpFile = FileName.c_str();
    Info.lpParameters = L"/Q";
    Info.lpDirectory = nullptr;
    Info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&Info);
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
    if (!TApplicationHelper::AskYesNo(OwnerWindow(), MainWindow->IS(10), MainWindow->IS(20), MB_ICONQUESTION))
        return;
    if (AsyncRequest(L"dxwebsetup.exe"))
        RunAndWait(Source->baseTemp + L"dxwebsetup.exe");
    else if (!Aborted)
        // A closed window is no failed download: nobody is left to ask.
        TApplicationHelper::AskYesNo(OwnerWindow(), MainWindow->IS(22), MainWindow->IS(21), MB_ICONQUESTION);
}
