// Shows one page of the wizard window for a while, as the engines would: for screenshots of each page.
// Usage: window_pages prepare|nointernet|final-ok|final-cancel [milliseconds] [-stream:beta]
#include <windows.h>

#include "app/Setup.Application.h"
#include "app/core/Setup.Core.h"
#include "app/ui/ui.window.main.h"
#include "runtime/gui/Application.h"

int wmain(int argc, wchar_t** argv) {
    std::wstring page = argc > 1 ? argv[1] : L"prepare";
    DWORD ms = argc > 2 ? (DWORD)_wtoi(argv[2]) : 3000;
    return RunProgram([&] {
        CSetup::Initialize();
        Application->CreateForm(MainWindow);
        MainWindow->Show();
        if (page == L"prepare") {
            // The preparation page stands while the manifest downloads, with the indicator on.
            MainWindow->ControlNetworkImage(true);
        } else {
            MainWindow->HidePage();
            if (page == L"nointernet")
                MainWindow->page_NoInternet();
            else
                MainWindow->page_final(page == L"final-ok");
        }
        DWORD end = GetTickCount() + ms;
        SetTimer(nullptr, 0, 50, nullptr);
        while ((int)(end - GetTickCount()) > 0 && !Application->Terminated()) CSetupCore::ProcessMessages();
    });
}
