// Helpers for tests that run real windows: pumping the message queue for a while.
#pragma once
#include <windows.h>

inline void PumpMessages(DWORD Milliseconds) {
    DWORD end = GetTickCount() + Milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while ((int)(end - GetTickCount()) > 0);
}

// A Linux path of the source tree as Wine sees it (drive Z: is the root).
inline std::wstring SourcePath(const std::wstring& Relative) {
    std::wstring p = L"Z:" + std::wstring(ZRX_SOURCE_DIR) + L"/" + Relative;
    for (auto& c : p)
        if (c == L'/') c = L'\\';
    return p;
}
