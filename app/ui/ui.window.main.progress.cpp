// The progress pages: the install page and the two pages of a local installation.
#include "app/ui/ui.window.main.h"

// Placeholders until the progress pages land.
void TMainWindow::page_Install(TProgressProc& onWorkBegin, TProgressProc& onWork,
                               TProgressEndProc& onWorkEnd) {
    onWorkBegin = [](int64_t) {};
    onWork = [](int64_t) {};
    onWorkEnd = [] {};
}
std::wstring TMainWindow::page_MakeLocalInstallation2(TProgressProc& onWorkBegin, TProgressProc& onWork,
                                                      TProgressEndProc& onWorkEnd) {
    page_Install(onWorkBegin, onWork, onWorkEnd);
    return {};
}
void TMainWindow::page_MakeLocalInstallation3() {}
