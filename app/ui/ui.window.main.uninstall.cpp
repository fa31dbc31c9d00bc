// The three pages of the uninstaller: the choice of the installation to remove, the removal, the end.
#include <windows.h>

#include "app/ui/ui.window.main.h"
#include "runtime/SysUtils.h"
#include "runtime/gui/ComCtrls.h"

void TMainWindow::page_UninstallFirstPage(bool bCanUninstall, bool bShowBetaButton) {
    ShowPageFrame(0, US(1), US(2));
    btnNext->OnClick = [this](TObject* Sender) { ExitClick(Sender); };

    // The product names are the program's own, not the translated placeholder.
    auto* uninstall = AddControl<TButton>(L"btnUninstall");
    uninstall->SetBounds(234, 156, 151, 55);
    uninstall->SetCaption(FormatUS(3, {L"Zorvex"}));
    uninstall->Font()->SetSize(12);
    uninstall->SetEnabled(bCanUninstall);
    uninstall->OnClick = [this](TObject* Sender) { UninstallClick(Sender); };

    if (!bShowBetaButton) return;
    auto* beta = AddControl<TButton>(L"btnUninstallBeta");
    beta->SetBounds(234, 219, 151, 42);
    beta->SetCaption(FormatUS(3, {L"Zorvex BETA"}));
    beta->Font()->SetSize(10);
    beta->OnClick = [this](TObject* Sender) { UninstallBetaClick(Sender); };
}

void TMainWindow::page_UninstallProgress() {
    const int CW = ClientWidth();
    ShowPageFrame(2, L"", L"");

    // A marquee moves by itself, and its steps keep messages coming to the wait for the removal. It is one
    // from the moment it shows.
    auto* bar = new TProgressBar(this);
    bar->SetStyle(pbstMarquee);
    bar->SetBounds(46, 260, CW - 92, bar->Height());
    bar->SetName(L"PB");
    bar->SetParent(this);

    auto* text = AddControl<TLabel>(L"lbText4");
    const int H = text->Height();
    text->SetBounds(46, 260 - (H + 2), CW - 92, H);
    text->SetCaption(US(4));
}

void TMainWindow::page_UninstallDone() {
    ShowPageFrame(0, US(1), L"");
    btnNext->OnClick = [this](TObject* Sender) { NextClick(Sender); };

    auto* sad = AddControl<TLabel>(L"lbSad");
    sad->SetBounds(46, 0, 79, 202);
    sad->SetCaption(L":(");
    SetOwnLabelFont(sad, 114);

    auto* sadText = AddControl<TLabel>(L"lbSadText");
    sadText->SetBounds(46, 208, 293, 45);
    sadText->SetCaption(US(5));
    SetOwnLabelFont(sadText, 24);
}
