#include "app/core/StartupMarks.h"

#include <windows.h>

#include <string>

namespace {

struct TMark {
    const wchar_t* Name;
    LARGE_INTEGER Counter;
};

TMark Marks[16];
int MarkCount = 0;
int Enabled = -1; // unknown until the first mark

void NTAPI MarkLoaded(PVOID, DWORD Reason, PVOID) {
    if (Reason == DLL_PROCESS_ATTACH) StartupMark(L"loaded");
}

} // namespace

// The loader calls the callbacks of this section of the TLS directory before the program's entry point.
extern "C" {
__attribute__((section(".CRT$XLE"), used)) PIMAGE_TLS_CALLBACK ZrxMarkLoaded = MarkLoaded;
}

void StartupMark(const wchar_t* Name) {
    if (Enabled < 0) Enabled = GetEnvironmentVariableW(L"ZRX_STARTUP_MARKS", nullptr, 0) > 0;
    if (!Enabled || MarkCount == (int)(sizeof Marks / sizeof Marks[0])) return;
    QueryPerformanceCounter(&Marks[MarkCount].Counter);
    Marks[MarkCount++].Name = Name;
}

void WriteStartupMarks() {
    if (Enabled <= 0) return;
    Enabled = 0;
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ZRX_STARTUP_MARKS", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::string text;
    for (int i = 0; i < MarkCount; ++i) {
        for (const wchar_t* c = Marks[i].Name; *c; ++c) text += (char)*c;
        text += '\t' + std::to_string(Marks[i].Counter.QuadPart) + '\t' + std::to_string(frequency.QuadPart) +
                '\n';
    }
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
}
