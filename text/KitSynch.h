// A Windows critical section as an object: the lock around one-time loads of shared tables.
#pragma once
#include "runtime/Classes.h"

class TKitCriticalSection : public TObject {
    ZRX_CLASS(TKitCriticalSection, TObject)
public:
    TKitCriticalSection();
    ~TKitCriticalSection() override;
    TKitCriticalSection(const TKitCriticalSection&) = delete;
    TKitCriticalSection& operator=(const TKitCriticalSection&) = delete;

    void Enter();
    void Leave();

private:
    // Storage for a CRITICAL_SECTION (40 bytes on x86-64), kept opaque so that this header needs
    // no windows.h.
    alignas(8) unsigned char FCriticalSection[40];
};
