// The three pages of the uninstaller.
#include "app/ui/ui.window.main.h"

// Placeholders until the pages land.
void TMainWindow::page_UninstallFirstPage(bool, bool) {}
void TMainWindow::page_UninstallProgress() {}
void TMainWindow::page_UninstallDone() {}
