#include "app/ui/ui.window.main.h"

#include <windows.h>
#include <versionhelpers.h>

#include "app/Setup.Application.h"
#include "app/core/Setup.Core.h"
#include "app/core/StartupMarks.h"
#include "app/Tlv.Code.Components.VirtualStringList.h"
#include "app/engine/Setup.Translator.h"
#include "net/Setup.Servers.h"
#include "runtime/Streams.h"
#include "runtime/SysUtils.h"

TMainWindow* MainWindow = nullptr;

static TVirtualStringList* NewStringList(TComponent* Owner, const wchar_t* Name) {
    auto* list = new TVirtualStringList(Owner);
    list->SetName(Name);
    list->SetSetCount(0);
    return list;
}

// What the form declares; everything else is built by FormCreate.
TMainWindow::TMainWindow(TComponent* AOwner) : TForm(AOwner) {
    // A second window of the class gets "MainWindow_1" and so on; the language file names it "MainWindow".
    std::wstring name = L"MainWindow";
    for (int n = 1; AOwner && AOwner->FindComponent(name); ++n) name = L"MainWindow_" + IntToStr(n);
    SetName(name);
    SetCaption(L"&Setup - Zorvex (including Quellpack)");
    SetBorderStyle(bsSingle);
    SetBorderIcons((1u << biSystemMenu) | (1u << biMinimize));
    SetColor(clWhite);
    Font()->SetName(L"Tahoma");
    Font()->SetHeight(-11);
    Font()->SetColor(clWindowText);
    SetPosition(poScreenCenter);
    SetClientWidth(610);
    SetClientHeight(472);
    SetKeyPreview(true);
    OnPaint = [this](TObject* Sender) { FormPaint(Sender); };
    InstallStrings = NewStringList(this, L"InstallStrings");
    UninstallStrings = NewStringList(this, L"UninstallStrings");
    Shortcuts = NewStringList(this, L"Shortcuts");
    FormCreate(this);
}

std::wstring TMainWindow::IS(int Index) const {
    return InstallStrings->Lines()->Get(Index);
}
std::wstring TMainWindow::US(int Index) const {
    return UninstallStrings->Lines()->Get(Index);
}

TVirtualStringList* TMainWindow::TextList(int Which) const {
    TVirtualStringList* const lists[3] = {InstallStrings, UninstallStrings, Shortcuts};
    return lists[Which];
}

static std::wstring FormatLangText(const std::wstring& Text, const std::wstring& BuiltIn,
                                   std::initializer_list<TVarRec> Args) {
    try {
        if (Text.size() <= TMainWindow::MaxFormatText) {
            std::wstring s = Format(Text, Args);
            if (s.size() <= TMainWindow::MaxFormatText) return s;
        }
    } catch (const EConvertError&) {
        // The built-in line serves instead.
    }
    return Format(BuiltIn, Args);
}

std::wstring TMainWindow::FormatIS(int Index, std::initializer_list<TVarRec> Args) const {
    return FormatLangText(IS(Index), FBuiltIn[0]->Get(Index), Args);
}
std::wstring TMainWindow::FormatUS(int Index, std::initializer_list<TVarRec> Args) const {
    return FormatLangText(US(Index), FBuiltIn[1]->Get(Index), Args);
}

std::wstring TMainWindow::FormatNewIS(int Index, std::initializer_list<TVarRec> Args) const {
    const std::wstring text = IS(Index), builtIn = FBuiltIn[0]->Get(Index);
    return FormatLangText(text == IntToStr(Index) ? builtIn : text, builtIn, Args);
}

std::wstring TMainWindow::DialogIS(int Index) const {
    std::wstring text = IS(Index);
    return text.size() <= MaxFormatText ? text : FBuiltIn[0]->Get(Index);
}

bool TMainWindow::HasAllTexts() const {
    for (int i = 0; i < 3; ++i)
        if (TextList(i)->Lines()->Count() < FBuiltIn[i]->Count()) return false;
    return true;
}

void TMainWindow::SetOwnLabelFont(TLabel* Label, int Size) {
    Label->Font()->SetSize(Size);
    Label->Font()->SetQuality(fqClearTypeNatural);
    if (IsWindowsVistaOrGreater()) Label->Font()->SetName(L"Segoe UI");
}

std::unique_ptr<TGIFImage> LoadGifFromResource(const std::wstring& Name) {
    TResourceStream stream(HInstance(), Name, (const wchar_t*)RT_RCDATA);
    auto gif = std::make_unique<TGIFImage>();
    gif->LoadFromStream(stream);
    return gif;
}

void TMainWindow::FormCreate(TObject*) {
    StartupMark(L"form");
    const int CW = ClientWidth(), CH = ClientHeight();
    CTranslator::Work(this, L"Lang_" + UILanguage, true);
    for (int i = 0; i < 3; ++i) {
        FBuiltIn[i] = std::make_unique<TStringList>();
        FBuiltIn[i]->Assign(TextList(i)->Lines());
    }
    StartupMark(L"translated");

    {
        TPngImage png;
        TResourceStream stream(HInstance(), L"logo", (const wchar_t*)RT_RCDATA);
        png.LoadFromStream(stream);
        appLogo = new TImage(this);
        appLogo->SetParent(this);
        appLogo->SetName(L"appLogo");
        appLogo->Picture()->SetGraphic(&png);
        appLogo->SetAutoSize(true);
        appLogo->SetLeft(CW / 2 - appLogo->Width() / 2);
        appLogo->SetTop(CH / 2 - (appLogo->Height() + 20));
        appLogo->Hide();
    }
    StartupMark(L"logo");

    GIFImageDefaultAnimate = true;

    {
        std::unique_ptr<TGIFImage> gif = LoadGifFromResource(L"NETWORK");
        NetWork = new TImage(this);
        NetWork->SetParent(this);
        NetWork->SetName(L"NetWork");
        NetWork->Picture()->SetGraphic(gif.get());
        NetWork->SetAutoSize(true);
        NetWork->SetLeft(CW - 22);
        NetWork->SetTop(2);
        NetWork->Hide();
    }
    StartupMark(L"network image");

    btnNext = new TButton(this);
    btnNext->SetParent(this);
    btnNext->SetName(L"btnNext");
    btnNext->SetCaption(L"Action");
    btnNext->SetBounds(CW - 103, CH - 40, 94, 29);
    btnNext->Hide();

    lbTitle = new TLabel(this);
    lbTitle->SetParent(this);
    lbTitle->SetName(L"lbTitle");
    lbTitle->SetCaption(L"Title");
    lbTitle->SetAutoSize(false);
    lbTitle->SetBounds(46, 31, CW - 92, 48);
    SetOwnLabelFont(lbTitle, 14);
    lbTitle->SetWordWrap(true);
    lbTitle->Hide();
    StartupMark(L"controls");

    page_Prepare();
    StartupMark(L"page");
}

void TMainWindow::FormPaint(TObject*) {
    if (IsBetaStream) Canvas()->TextOut(ClientWidth() / 2, 2, L"Stream: BETA");
}

void TMainWindow::ControlNetworkImage(bool BVisible) {
    NetWork->SetVisible(BVisible);
}

void TMainWindow::HidePage() {
    Repaint();
    for (int i = 0; i < ControlCount(); ++i) Controls(i)->Hide();
}

void TMainWindow::ShowPageFrame(int LogoMode, const std::wstring& ButtonCaption, const std::wstring& Title) {
    Repaint();
    switch (LogoMode) {
    case 0:
        appLogo->Hide();
        break;
    case 1:
        appLogo->SetBounds(ClientWidth() / 2 - appLogo->Width() / 2, 20, appLogo->Width(), appLogo->Height());
        appLogo->Show();
        break;
    case 2:
        appLogo->SetBounds(16, 16, appLogo->Width(), appLogo->Height());
        appLogo->Show();
        break;
    }
    if (ButtonCaption.empty()) {
        btnNext->Hide();
    } else {
        btnNext->SetCaption(ButtonCaption);
        btnNext->Show();
    }
    if (Title.empty()) {
        lbTitle->Hide();
    } else {
        lbTitle->SetCaption(Title);
        lbTitle->Show();
    }
}

void TMainWindow::page_Prepare() {
    ShowPageFrame(1, L"", L"");
    if (auto* label = dynamic_cast<TLabel*>(FindComponent(L"lbPrepareText"))) {
        label->Show();
        label->SetCaption(IS(0));
        return;
    }
    auto* label = AddControl<TLabel>(L"lbPrepareText");
    label->SetCaption(IS(0));
    label->SetAutoSize(false);
    label->SetBounds(0, 220, 610, 50);
    label->SetAlignment(taCenter);
    SetOwnLabelFont(label, 12);
}

void TMainWindow::page_NoInternet() {
    const int CW = ClientWidth(), CH = ClientHeight();
    ShowPageFrame(2, IS(16), L"");
    btnNext->OnClick = [this](TObject* Sender) { NextClick(Sender); };
    auto* label = AddControl<TLabel>(L"lbText5");
    label->SetAutoSize(false);
    label->SetWordWrap(true);
    label->SetBounds(46, 146, CW - 92, CH - 200);
    label->SetCaption(IS(37) + L"\r\n\r\n\r\n" + ZrxServers::ProductSite);
}

void TMainWindow::page_final(bool IsSuccessfully) {
    ShowPageFrame(2, IS(16), L"");
    auto* label = AddControl<TLabel>(L"lbText5");
    label->SetBounds(46, 146, ClientWidth() - 92, label->Height());
    btnNext->OnClick = [this](TObject* Sender) { NextClick(Sender); };
    label->SetCaption(IsSuccessfully ? IS(17) : IS(15));
}

void TMainWindow::NextClick(TObject*) {
    PageDone = true;
}

void TMainWindow::ExitClick(TObject*) {
    PageChoice = L"Exit";
    PageDone = true;
}

void TMainWindow::UninstallClick(TObject*) {
    PageChoice = L"Uninstall";
    PageDone = true;
}

void TMainWindow::UninstallBetaClick(TObject*) {
    PageChoice = L"Uninstall-Beta";
    PageDone = true;
}
