#include "text/KitSynch.h"

#include <windows.h>

// The header reserves 40 bytes, 8-aligned, for the section.
static_assert(sizeof(CRITICAL_SECTION) <= 40 && alignof(CRITICAL_SECTION) <= 8);

namespace {
CRITICAL_SECTION* Section(unsigned char* Storage) {
    return reinterpret_cast<CRITICAL_SECTION*>(Storage);
}
} // namespace

TKitCriticalSection::TKitCriticalSection() {
    InitializeCriticalSection(Section(FCriticalSection));
}

TKitCriticalSection::~TKitCriticalSection() {
    DeleteCriticalSection(Section(FCriticalSection));
}

void TKitCriticalSection::Enter() {
    EnterCriticalSection(Section(FCriticalSection));
}

void TKitCriticalSection::Leave() {
    LeaveCriticalSection(Section(FCriticalSection));
}
