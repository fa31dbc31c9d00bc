// The language page and the licence page.
#include "app/ui/ui.window.main.h"

// Placeholders until the pages land.
void TMainWindow::page_SelectLang() {}
void TMainWindow::FillLanguageList(TListBox*) {}
void TMainWindow::LangRadioClick(TObject*) {}
void TMainWindow::SelectLangNextClick(TObject*) {}
void TMainWindow::page_EULA() {}
void TMainWindow::AcceptEULAClick(TObject*) {}
void TMainWindow::EULANextClick(TObject*) {}
