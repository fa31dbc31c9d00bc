// The yardstick for the setup's start-up: the least a Win32 program does to show a window with the
// preparation page's text, built and linked as the setup is and carrying its manifest (MinimalWindow.rc).
#include <windows.h>

static LRESULT CALLBACK WindowProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
    if (Msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(Wnd, Msg, W, L);
}

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE, PWSTR, int Show) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = Instance;
    wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = L"MinimalWindow";
    RegisterClassW(&wc);
    HWND wnd =
        CreateWindowExW(0, wc.lpszClassName, L"Minimal window", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                        CW_USEDEFAULT, CW_USEDEFAULT, 616, 500, nullptr, nullptr, Instance, nullptr);
    CreateWindowExW(0, L"STATIC", L"Please wait while setup prepares the necessary files.",
                    WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 220, 610, 50, wnd, nullptr, Instance, nullptr);
    ShowWindow(wnd, Show);
    UpdateWindow(wnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
