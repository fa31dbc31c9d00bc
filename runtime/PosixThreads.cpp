// The POSIX thread calls that the C++ runtime itself makes, on the Windows API: its exception memory and
// static local initialisation lock with mutexes and wait on a condition, thread_local objects live under
// thread keys, std::call_once runs through pthread_once and the standard clocks read clock_gettime. With
// these defined in the program, no POSIX thread library is linked into it (some 28 KB).
//
// Only what the runtime calls is here. A program that also creates std::thread objects, or sets mutex
// attributes, pulls the library's own objects in and fails to link with duplicate definitions: it makes
// its threads with the Windows API instead (runtime/Threads.h).
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <pthread.h>

namespace {

// A mutex or condition variable word holds a record on the process heap; the static initialisers put a
// small negative value there instead, and the first use makes the record.
struct TMutex {
    SRWLOCK Lock;   // zero: unlocked
    DWORD Owner;    // the thread that holds the lock, 0 when free
    unsigned Depth; // locks held by the owner; above 1 only for a recursive mutex
    bool Recursive;
};

struct TCondition {
    CONDITION_VARIABLE Variable; // zero: no waiter
};

template <typename T> T* Allocate() {
    return static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(T)));
}

// What a static initialiser says of the record made for it.
void Prepare(TMutex* M, intptr_t Initialiser) {
    M->Recursive = Initialiser == PTHREAD_RECURSIVE_MUTEX_INITIALIZER;
}
void Prepare(TCondition*, intptr_t) {}

// The record of a word, made by the first caller when the word still holds a static initialiser (-1 to -3:
// normal, error-checking, recursive); null for a destroyed word or when the heap is exhausted.
template <typename T> T* RecordOf(intptr_t* Word) {
    intptr_t value = __atomic_load_n(Word, __ATOMIC_ACQUIRE);
    if (value > 0) return reinterpret_cast<T*>(value);
    if (value == 0 || value < -3) return nullptr;
    T* made = Allocate<T>();
    if (!made) return nullptr;
    Prepare(made, value);
    if (__atomic_compare_exchange_n(Word, &value, reinterpret_cast<intptr_t>(made), false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
        return made;
    HeapFree(GetProcessHeap(), 0, made); // another thread made it first
    return value > 0 ? reinterpret_cast<T*>(value) : nullptr;
}

template <typename T> void Release(intptr_t* Word) {
    intptr_t value = __atomic_exchange_n(Word, 0, __ATOMIC_ACQ_REL);
    if (value > 0) HeapFree(GetProcessHeap(), 0, reinterpret_cast<T*>(value));
}

DWORD OwnerOf(const TMutex* M) {
    return __atomic_load_n(&M->Owner, __ATOMIC_RELAXED);
}

// Thread keys are Windows TLS slots; their destructors run when a thread ends (the loader's TLS callback
// below), as POSIX has them: for each value that is not null, set to null first, in up to four rounds.
constexpr DWORD MaxKeys = TLS_MINIMUM_AVAILABLE + 1024; // every slot Windows can hand out
using TDestructor = void (*)(void*);
// MaxKeys entries on the heap, made with the first key: zero-filled data in the program takes room in its
// file when each variable has a section of its own.
TDestructor* Destructors = nullptr;
DWORD KeyLimit = 0; // one past the highest slot that ever had a destructor
constexpr int DestructorRounds = 4;

void NTAPI RunKeyDestructors(PVOID, DWORD Reason, PVOID) {
    if (Reason != DLL_THREAD_DETACH) return;
    const DWORD limit = __atomic_load_n(&KeyLimit, __ATOMIC_ACQUIRE);
    TDestructor* destructors = __atomic_load_n(&Destructors, __ATOMIC_ACQUIRE);
    if (!destructors) return;
    for (int round = 0; round < DestructorRounds; ++round) {
        bool ran = false;
        for (DWORD key = 0; key < limit; ++key) {
            TDestructor destructor = __atomic_load_n(&destructors[key], __ATOMIC_ACQUIRE);
            void* value = destructor ? TlsGetValue(key) : nullptr;
            if (!value) continue;
            TlsSetValue(key, nullptr);
            destructor(value);
            ran = true;
        }
        if (!ran) return;
    }
}

} // namespace

// The loader calls the callbacks in this section of the program's TLS directory when a thread starts or ends.
extern "C" {
__attribute__((section(".CRT$XLF"), used)) PIMAGE_TLS_CALLBACK ZrxRunKeyDestructors = RunKeyDestructors;
}

extern "C" {

int pthread_mutex_init(pthread_mutex_t* M, const pthread_mutexattr_t* Attributes) {
    const bool recursive = Attributes && (*Attributes & 3) == PTHREAD_MUTEX_RECURSIVE;
    *M = recursive ? PTHREAD_RECURSIVE_MUTEX_INITIALIZER : PTHREAD_MUTEX_INITIALIZER;
    return RecordOf<TMutex>(M) ? 0 : ENOMEM;
}

int pthread_mutex_destroy(pthread_mutex_t* M) {
    if (__atomic_load_n(M, __ATOMIC_ACQUIRE) > 0 && OwnerOf(reinterpret_cast<TMutex*>(*M))) return EBUSY;
    Release<TMutex>(M);
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* M) {
    TMutex* m = RecordOf<TMutex>(M);
    if (!m) return EINVAL;
    const DWORD self = GetCurrentThreadId();
    if (OwnerOf(m) == self) {
        if (!m->Recursive) return EDEADLK; // waiting would never end
        ++m->Depth;
        return 0;
    }
    AcquireSRWLockExclusive(&m->Lock);
    __atomic_store_n(&m->Owner, self, __ATOMIC_RELAXED);
    m->Depth = 1;
    return 0;
}

int pthread_mutex_trylock(pthread_mutex_t* M) {
    TMutex* m = RecordOf<TMutex>(M);
    if (!m) return EINVAL;
    const DWORD self = GetCurrentThreadId();
    if (OwnerOf(m) == self && m->Recursive) {
        ++m->Depth;
        return 0;
    }
    if (!TryAcquireSRWLockExclusive(&m->Lock)) return EBUSY;
    __atomic_store_n(&m->Owner, self, __ATOMIC_RELAXED);
    m->Depth = 1;
    return 0;
}

int pthread_mutex_unlock(pthread_mutex_t* M) {
    TMutex* m = RecordOf<TMutex>(M);
    if (!m) return EINVAL;
    if (OwnerOf(m) != GetCurrentThreadId()) return EPERM;
    if (--m->Depth) return 0;
    __atomic_store_n(&m->Owner, 0, __ATOMIC_RELAXED);
    ReleaseSRWLockExclusive(&m->Lock);
    return 0;
}

int pthread_cond_init(pthread_cond_t* C, const pthread_condattr_t*) {
    *C = PTHREAD_COND_INITIALIZER;
    return RecordOf<TCondition>(C) ? 0 : ENOMEM;
}

int pthread_cond_destroy(pthread_cond_t* C) {
    Release<TCondition>(C);
    return 0;
}

int pthread_cond_wait(pthread_cond_t* C, pthread_mutex_t* M) {
    TCondition* c = RecordOf<TCondition>(C);
    TMutex* m = RecordOf<TMutex>(M);
    if (!c || !m) return EINVAL;
    const DWORD self = GetCurrentThreadId();
    if (OwnerOf(m) != self) return EPERM;
    // A recursive mutex is let go of whole while waiting, and taken back as deep as it was held.
    const unsigned depth = m->Depth;
    __atomic_store_n(&m->Owner, 0, __ATOMIC_RELAXED);
    SleepConditionVariableSRW(&c->Variable, &m->Lock, INFINITE, 0);
    __atomic_store_n(&m->Owner, self, __ATOMIC_RELAXED);
    m->Depth = depth;
    return 0;
}

int pthread_cond_signal(pthread_cond_t* C) {
    TCondition* c = RecordOf<TCondition>(C);
    if (!c) return EINVAL;
    WakeConditionVariable(&c->Variable);
    return 0;
}

int pthread_cond_broadcast(pthread_cond_t* C) {
    TCondition* c = RecordOf<TCondition>(C);
    if (!c) return EINVAL;
    WakeAllConditionVariable(&c->Variable);
    return 0;
}

// 0: not run, 1: running, 2: done. An initialiser that raises leaves it not run, for the next caller to try.
int pthread_once(pthread_once_t* Once, void (*Init)(void)) {
    for (;;) {
        long state = __atomic_load_n(Once, __ATOMIC_ACQUIRE);
        if (state == 2) return 0;
        if (state == 0 &&
            __atomic_compare_exchange_n(Once, &state, 1, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
            try {
                Init();
            } catch (...) {
                __atomic_store_n(Once, 0, __ATOMIC_RELEASE);
                throw;
            }
            __atomic_store_n(Once, 2, __ATOMIC_RELEASE);
            return 0;
        }
        Sleep(1); // another thread runs it; such a wait is rare and short
    }
}

int pthread_key_create(pthread_key_t* Key, void (*Destructor)(void*)) {
    TDestructor* destructors = __atomic_load_n(&Destructors, __ATOMIC_ACQUIRE);
    if (!destructors) {
        TDestructor* made = static_cast<TDestructor*>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, MaxKeys * sizeof(TDestructor)));
        if (!made) return ENOMEM;
        if (__atomic_compare_exchange_n(&Destructors, &destructors, made, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE))
            destructors = made;
        else
            HeapFree(GetProcessHeap(), 0, made); // another thread made it first
    }
    const DWORD key = TlsAlloc();
    if (key == TLS_OUT_OF_INDEXES) return EAGAIN;
    if (key >= MaxKeys) {
        TlsFree(key);
        return EAGAIN;
    }
    __atomic_store_n(&destructors[key], Destructor, __ATOMIC_RELEASE);
    if (Destructor) {
        DWORD limit = __atomic_load_n(&KeyLimit, __ATOMIC_RELAXED);
        while (limit <= key && !__atomic_compare_exchange_n(&KeyLimit, &limit, key + 1, false,
                                                            __ATOMIC_ACQ_REL, __ATOMIC_RELAXED)) {
        }
    }
    *Key = key;
    return 0;
}

// As POSIX has it, deleting a key runs no destructors.
int pthread_key_delete(pthread_key_t Key) {
    TDestructor* destructors = __atomic_load_n(&Destructors, __ATOMIC_ACQUIRE);
    if (Key >= MaxKeys || !destructors) return EINVAL;
    __atomic_store_n(&destructors[Key], nullptr, __ATOMIC_RELEASE);
    return TlsFree(Key) ? 0 : EINVAL;
}

// The thread's last error survives: thread_local variables are read between a failing call and its
// GetLastError.
void* pthread_getspecific(pthread_key_t Key) {
    const DWORD error = GetLastError();
    void* value = TlsGetValue(Key);
    SetLastError(error);
    return value;
}

int pthread_setspecific(pthread_key_t Key, const void* Value) {
    const DWORD error = GetLastError();
    const BOOL done = TlsSetValue(Key, const_cast<void*>(Value));
    SetLastError(error);
    return done ? 0 : EINVAL;
}

int clock_gettime(clockid_t Clock, struct timespec* Time) {
    int64_t seconds, nanoseconds;
    if (Clock == CLOCK_MONOTONIC) {
        LARGE_INTEGER count, frequency;
        QueryPerformanceCounter(&count);
        QueryPerformanceFrequency(&frequency);
        seconds = count.QuadPart / frequency.QuadPart;
        nanoseconds = count.QuadPart % frequency.QuadPart * 1000000000 / frequency.QuadPart;
    } else if (Clock == CLOCK_REALTIME) {
        FILETIME now; // 100 ns units since 1601
        GetSystemTimeAsFileTime(&now);
        const int64_t units = (int64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime) - 116444736000000000;
        seconds = units / 10000000;
        nanoseconds = units % 10000000 * 100;
    } else {
        errno = EINVAL;
        return -1;
    }
    Time->tv_sec = seconds;
    Time->tv_nsec = (long)nanoseconds;
    return 0;
}

} // extern "C"
