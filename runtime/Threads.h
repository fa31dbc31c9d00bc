// Threads: anonymous self-freeing worker threads, thread names for debuggers, and calls carried to the main
// thread (Synchronize).
//
// The main thread is the one that runs the program's static initialisation (program start). The hidden
// message-only window that wakes it for queued calls, also inside a modal loop, is made when it first starts
// a worker. InitMainThread() makes the calling thread the main thread instead (and creates its window there).
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

#include "runtime/Classes.h"

class TThread : public TObject {
    ZRX_CLASS(TThread, TObject)
public:
    using TProc = std::function<void()>;
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // A thread, not yet running, that runs Proc after Start() and frees itself when Proc ends. An
    // exception that leaves Proc ends the thread quietly. Do not touch the object once Proc may have ended.
    static TThread* CreateAnonymousThread(TProc Proc);
    void Start();

    // The object of the calling thread; threads not made here get one of their own (never terminated).
    static TThread* CurrentThread();
    // Asks the thread to stop; its work looks at Terminated() or CheckTerminated().
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    // Whether the calling thread has been asked to stop.
    static bool CheckTerminated() { return CurrentThread()->Terminated(); }
    uint32_t ThreadID() const { return FThreadID; }

    // Names a thread for debuggers (the calling thread by default); harmless where the system cannot.
    static void NameThreadForDebugging(const std::wstring& Name, uint32_t ThreadID = UINT32_MAX);

    // Runs Method on the main thread and returns when it has run; an exception it raises is raised again
    // here. Calls from workers run in the order they came, from the main thread's message handling (also
    // inside modal loops such as message boxes). On the main thread Method runs at once.
    static void Synchronize(const TProc& Method);
    static void Synchronize(TThread* Thread, const TProc& Method) {
        (void)Thread;
        Synchronize(Method);
    }
    static bool IsMainThread();

private:
    TThread(TProc Proc, bool External);
    static void Execute(TThread* Self);
    TProc FProc;
    std::atomic<bool> FTerminated{false};
    uint32_t FThreadID = 0;
    bool FExternal;
    bool FStarted = false;
};

// Runs every queued Synchronize call (on the main thread only; elsewhere it does nothing). The result says
// whether any ran. The application's message handling calls it when idle.
bool CheckSynchronize();
// Makes the calling thread the main thread; see the top of this file.
void InitMainThread();

// A lock for short sections (a Windows slim lock, taken exclusively), for std::lock_guard.
class TSlimLock {
public:
    TSlimLock() = default;
    TSlimLock(const TSlimLock&) = delete;
    TSlimLock& operator=(const TSlimLock&) = delete;
    void lock();
    void unlock();

private:
    void* FLock = nullptr; // an SRWLOCK, kept opaque so that this header needs no windows.h
};

// Runs Work(0) on the calling thread and Work(1) ... Work(Count - 1) each on a thread of its own, and returns
// when all have ended. An index whose thread cannot be started is left out, so Work shares out its items
// itself. An exception from Work(0) is raised again once all have ended; on the other threads it would end
// the process, so Work keeps its failures itself.
void RunOnThreads(int Count, const std::function<void(int Index)>& Work);
// The processors the system has (at least 1).
int ProcessorCount();
