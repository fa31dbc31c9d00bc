#include "runtime/Threads.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <windows.h>

namespace {
// One call waiting for the main thread; it lives on the waiting worker's stack.
struct TSyncRequest {
    const TThread::TProc* Method;
    std::exception_ptr Error;
    bool Done = false;
};

std::mutex gLock; // guards the queue and every request's Done
std::condition_variable gDone;
std::deque<TSyncRequest*> gQueue;
std::atomic<DWORD> gMainThreadId{0};
std::atomic<HWND> gSyncWindow{nullptr};
constexpr UINT WM_SYNCHRONIZE = WM_APP + 0x3F00;

LRESULT CALLBACK SyncWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_SYNCHRONIZE) {
        CheckSynchronize();
        return 0;
    }
    return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

HWND CreateSyncWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = SyncWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TThreadSyncWindow";
    RegisterClassW(&wc); // fails harmlessly when a second main thread registers it again
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                           nullptr);
}

// The program's start runs on the main thread.
const bool gMainThreadRecorded = (InitMainThread(), true);

thread_local TThread* tCurrent = nullptr;
thread_local std::unique_ptr<TThread> tExternal;
} // namespace

void InitMainThread() {
    HWND old = gSyncWindow.exchange(nullptr);
    if (old && GetWindowThreadProcessId(old, nullptr) == GetCurrentThreadId()) DestroyWindow(old);
    gMainThreadId = GetCurrentThreadId();
    gSyncWindow = CreateSyncWindow();
}

bool TThread::IsMainThread() {
    return GetCurrentThreadId() == gMainThreadId;
}

TThread::TThread(TProc Proc, bool External) : FProc(std::move(Proc)), FExternal(External) {
    if (External) FThreadID = GetCurrentThreadId();
}

TThread::~TThread() = default;

TThread* TThread::CreateAnonymousThread(TProc Proc) {
    return new TThread(std::move(Proc), false);
}

void TThread::Start() {
    if (FExternal || FStarted)
        throw EInvalidOperation(L"Cannot call Start on a running or terminated thread");
    FStarted = true;
    std::thread(Execute, this).detach();
}

void TThread::Execute(TThread* Self) {
    std::unique_ptr<TThread> owned(Self); // frees itself when the work ends
    Self->FThreadID = GetCurrentThreadId();
    tCurrent = Self;
    try {
        Self->FProc();
    } catch (...) {
        // A failed anonymous thread ends quietly; its work reports through its own record.
    }
    tCurrent = nullptr;
}

TThread* TThread::CurrentThread() {
    if (tCurrent) return tCurrent;
    if (!tExternal) tExternal.reset(new TThread(nullptr, true));
    return tExternal.get();
}

void TThread::NameThreadForDebugging(const std::wstring& Name, uint32_t ThreadID) {
    using TSetThreadDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<TSetThreadDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (!setDescription) return;
    if (ThreadID == UINT32_MAX || ThreadID == GetCurrentThreadId()) {
        setDescription(GetCurrentThread(), Name.c_str());
        return;
    }
    if (HANDLE h = OpenThread(THREAD_SET_LIMITED_INFORMATION, FALSE, ThreadID)) {
        setDescription(h, Name.c_str());
        CloseHandle(h);
    }
}

void TThread::Synchronize(const TProc& Method) {
    if (IsMainThread()) {
        Method();
        return;
    }
    TSyncRequest request{&Method, nullptr};
    std::unique_lock<std::mutex> lock(gLock);
    gQueue.push_back(&request);
    lock.unlock();
    // Wake the main thread; without its window a thread message still ends its wait, and its next idle
    // pass runs the call.
    HWND window = gSyncWindow;
    if (!window || !PostMessageW(window, WM_SYNCHRONIZE, 0, 0))
        PostThreadMessageW(gMainThreadId, WM_NULL, 0, 0);
    lock.lock();
    gDone.wait(lock, [&] { return request.Done; });
    lock.unlock();
    if (request.Error) std::rethrow_exception(request.Error);
}

bool CheckSynchronize() {
    if (!TThread::IsMainThread()) return false;
    bool ran = false;
    for (;;) {
        std::unique_lock<std::mutex> lock(gLock);
        if (gQueue.empty()) return ran;
        TSyncRequest* request = gQueue.front();
        gQueue.pop_front();
        lock.unlock();
        // A call may pump messages (a message box): calls queued meanwhile run inside it, in order.
        try {
            (*request->Method)();
        } catch (...) {
            request->Error = std::current_exception();
        }
        lock.lock();
        request->Done = true;
        gDone.notify_all();
        ran = true;
    }
}
