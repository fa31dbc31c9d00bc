#include "runtime/Threads.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <memory>
#include <vector>
#include <windows.h>

#include "runtime/Exceptions.h"

namespace {
// One call waiting for the main thread; it lives on the waiting worker's stack.
struct TSyncRequest {
    const TThread::TProc* Method;
    std::exception_ptr Error;
    bool Done = false;
};

SRWLOCK gLock = SRWLOCK_INIT; // guards the queue and every request's Done
CONDITION_VARIABLE gDone = CONDITION_VARIABLE_INIT;
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

// The program's start runs on the main thread. Its window waits until that thread starts a worker (making
// one costs the start a millisecond); until then a call wakes the pump with a thread message.
const bool gMainThreadRecorded = (gMainThreadId = GetCurrentThreadId(), true);

void MakeSyncWindowOnMainThread() {
    if (TThread::IsMainThread() && !gSyncWindow) gSyncWindow = CreateSyncWindow();
}

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
    MakeSyncWindowOnMainThread();
    auto start = [](void* Self) -> DWORD {
        Execute(static_cast<TThread*>(Self));
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, start, this, 0, nullptr);
    if (!thread) RaiseLastOSError();
    CloseHandle(thread);
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
    AcquireSRWLockExclusive(&gLock);
    gQueue.push_back(&request);
    ReleaseSRWLockExclusive(&gLock);
    // Wake the main thread; without its window a thread message still ends its wait, and its next idle
    // pass runs the call.
    HWND window = gSyncWindow;
    if (!window || !PostMessageW(window, WM_SYNCHRONIZE, 0, 0))
        PostThreadMessageW(gMainThreadId, WM_NULL, 0, 0);
    AcquireSRWLockExclusive(&gLock);
    while (!request.Done) SleepConditionVariableSRW(&gDone, &gLock, INFINITE, 0);
    ReleaseSRWLockExclusive(&gLock);
    if (request.Error) std::rethrow_exception(request.Error);
}

bool CheckSynchronize() {
    if (!TThread::IsMainThread()) return false;
    bool ran = false;
    for (;;) {
        AcquireSRWLockExclusive(&gLock);
        if (gQueue.empty()) {
            ReleaseSRWLockExclusive(&gLock);
            return ran;
        }
        TSyncRequest* request = gQueue.front();
        gQueue.pop_front();
        ReleaseSRWLockExclusive(&gLock);
        // A call may pump messages (a message box): calls queued meanwhile run inside it, in order.
        try {
            (*request->Method)();
        } catch (...) {
            request->Error = std::current_exception();
        }
        AcquireSRWLockExclusive(&gLock);
        request->Done = true;
        ReleaseSRWLockExclusive(&gLock);
        WakeAllConditionVariable(&gDone);
        ran = true;
    }
}

namespace {
struct TParallelRun {
    const std::function<void(int)>* Work;
    int Index;
};

DWORD WINAPI RunOne(void* Parameter) {
    auto* run = static_cast<TParallelRun*>(Parameter);
    (*run->Work)(run->Index);
    return 0;
}
} // namespace

void RunOnThreads(int Count, const std::function<void(int)>& Work) {
    std::vector<TParallelRun> runs;
    for (int i = 1; i < Count; ++i) runs.push_back({&Work, i});
    std::vector<HANDLE> threads;
    for (TParallelRun& run : runs)
        if (HANDLE thread = CreateThread(nullptr, 0, RunOne, &run, 0, nullptr)) threads.push_back(thread);
    std::exception_ptr error;
    try {
        Work(0);
    } catch (...) {
        error = std::current_exception();
    }
    for (size_t i = 0; i < threads.size(); i += MAXIMUM_WAIT_OBJECTS)
        WaitForMultipleObjects(DWORD(std::min<size_t>(threads.size() - i, MAXIMUM_WAIT_OBJECTS)), &threads[i],
                               TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    if (error) std::rethrow_exception(error);
}

static_assert(sizeof(void*) == sizeof(SRWLOCK));

void TSlimLock::lock() {
    AcquireSRWLockExclusive(reinterpret_cast<SRWLOCK*>(&FLock));
}

void TSlimLock::unlock() {
    ReleaseSRWLockExclusive(reinterpret_cast<SRWLOCK*>(&FLock));
}

int ProcessorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors ? (int)info.dwNumberOfProcessors : 1;
}
