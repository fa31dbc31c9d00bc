#include "runtime/gui/Application.h"

#include <windows.h>

#include <ole2.h>

#include "runtime/Threads.h"
#include "runtime/gui/Forms.h"

namespace {
TApplication TheApplication;

// The text of the exception being handled, and its class name.
void DescribeCurrentException(std::wstring& ClassName, std::wstring& Message, bool& Silent) {
    Silent = false;
    try {
        throw;
    } catch (const EAbort&) {
        Silent = true;
    } catch (const Exception& E) {
        ClassName = E.ClassName();
        Message = E.Message();
    } catch (const std::exception& E) {
        ClassName = L"std::exception";
        const char* what = E.what();
        int n = MultiByteToWideChar(CP_UTF8, 0, what, -1, nullptr, 0);
        Message.assign(n > 0 ? n - 1 : 0, L'\0');
        if (n > 1) MultiByteToWideChar(CP_UTF8, 0, what, -1, Message.data(), n);
    } catch (...) {
        ClassName = L"unknown exception";
        Message = L"Unknown exception";
    }
}
} // namespace

TApplication* const Application = &TheApplication;

TApplication::TApplication() : TComponent(nullptr), FMainThreadId(GetCurrentThreadId()) {
    wchar_t name[MAX_PATH];
    std::wstring exe = ExeName();
    _wsplitpath_s(exe.c_str(), nullptr, 0, nullptr, 0, name, MAX_PATH, nullptr, 0);
    FTitle = name;
}

TApplication::~TApplication() {
    DestroyComponents();
    if (FComInitialized) OleUninitialize();
}

void TApplication::DestroyComponents() {
    while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
    FMainForm = nullptr;
}

void TApplication::Initialize() {
    FMainThreadId = GetCurrentThreadId();
    // Make sure the thread has a message queue before a worker posts to it.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

void TApplication::InitializeOle() {
    if (!FComInitialized) FComInitialized = SUCCEEDED(OleInitialize(nullptr));
}

void TApplication::Run() {
    if (!FMainForm) return;
    while (!FTerminated) HandleMessage();
}

void TApplication::HandleMessage() {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            FTerminated = true;
            return;
        }
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST)
            if (TCustomForm* form = Screen->FormOfWindow(msg.hwnd); form && form->DialogKey(msg)) return;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        return;
    }
    // The page shown may have changed: the focus goes where the keyboard can use it.
    if (TCustomForm* form = Screen->FormOfWindow(GetActiveWindow())) form->EnsureFocus();
    // Idle: run what workers queued, then sleep until input comes. Unlike WaitMessage, this also returns for
    // input that an earlier look at the queue has already seen. A terminating application waits for no user,
    // so its waits end without a message; it only naps, so that loops still waiting for a worker do not spin.
    CheckSynchronize();
    MsgWaitForMultipleObjectsEx(0, nullptr, FTerminated ? 50 : INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void TApplication::HandleException(TObject* Sender) {
    (void)Sender;
    std::wstring className, message;
    bool silent;
    DescribeCurrentException(className, message, silent);
    if (silent) return;
    if (!message.empty() && message.back() > L'.') message += L'.';
    MessageBoxW(GetActiveWindow(), message.c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP);
}

void TApplication::Terminate() {
    FTerminated = true;
    WakeMainThread();
}

void TApplication::WakeMainThread() const {
    PostThreadMessageW(FMainThreadId, WM_NULL, 0, 0);
}

HWND TApplication::Handle() const {
    return FMainForm && FMainForm->HandleAllocated() ? FMainForm->Handle() : nullptr;
}

std::wstring TApplication::ExeName() const {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, name.data(), (DWORD)name.size());
        if (n < name.size()) {
            name.resize(n);
            return name;
        }
        name.resize(name.size() * 2);
    }
}

int RunProgram(const std::function<void()>& Body) {
    // The forms go while the rest of the program still stands, not among the static destructors.
    struct FormsGuard {
        ~FormsGuard() { Application->DestroyComponents(); }
    } guard;
    try {
        Body();
        return 0;
    } catch (...) {
        std::wstring className, message;
        bool silent;
        DescribeCurrentException(className, message, silent);
        if (silent) className = L"EAbort", message = L"Operation aborted";
        std::wstring module = Application->ExeName();
        module = module.substr(module.find_last_of(L"\\/:") + 1);
        std::wstring text = L"Exception " + className + L" in module " + module + L".\r\n" + message;
        if (!message.empty() && message.back() > L'.') text += L'.';
        // The run is over: its windows go first, so that the box is all that is left to close, rather than
        // standing beside a window that it disables and that can then no longer be closed.
        Application->DestroyComponents();
        MessageBoxW(nullptr, text.c_str(), L"Application Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
        return 1;
    }
}
