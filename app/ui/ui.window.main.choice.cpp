// The choice page: install here or make a local installation, and the install confirmation.
#include "app/ui/ui.window.main.h"

// Placeholders until the page lands.
void TMainWindow::page_FirstChoose(bool) {}
void TMainWindow::ChoiceRadioClick(TObject*) {}
void TMainWindow::BrowsePathClick(TObject*) {}
void TMainWindow::FirstChooseNextClick(TObject*) {}
void TMainWindow::ConfirmInstallClick(TObject*) {}
void TMainWindow::MakeInstallNowClick(TObject*) {}
void TMainWindow::ReadInstallOptions(TInstallationOptions&) {}
