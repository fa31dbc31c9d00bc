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
    SetClientWidth(BuiltInClientWidth);
    SetClientHeight(BuiltInClientHeight);
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

std::wstring TMainWindow::TextOrBuiltIn(int Which, int Index) const {
    // A list's count makes lines that hold their own numbers: such a line was never given by the file (one
    // made before the line existed).
    TStrings* lines = TextList(Which)->Lines();
    if (Index < lines->Count()) {
        std::wstring text = lines->Get(Index);
        if (text != IntToStr(Index)) return text;
    }
    return FBuiltIn[Which]->Get(Index);
}

std::wstring TMainWindow::FormatIS(int Index, std::initializer_list<TVarRec> Args) const {
    return FormatLangText(TextOrBuiltIn(0, Index), FBuiltIn[0]->Get(Index), Args);
}
std::wstring TMainWindow::FormatUS(int Index, std::initializer_list<TVarRec> Args) const {
    return FormatLangText(TextOrBuiltIn(1, Index), FBuiltIn[1]->Get(Index), Args);
}

std::wstring TMainWindow::DialogIS(int Index) const {
    std::wstring text = TextOrBuiltIn(0, Index);
    return text.size() <= MaxFormatText ? text : FBuiltIn[0]->Get(Index);
}

bool TMainWindow::HasAllTexts() const {
    for (int i = 0; i < 3; ++i)
        if (TextList(i)->Lines()->Count() < FBuiltIn[i]->Count()) return false;
    return true;
}

int TMainWindow::TranslateFromFile(const std::wstring& FileName) {
    // Numbered lines mark what the file leaves out, also in a list that it does not name at all.
    for (int i = 0; i < 3; ++i) TextList(i)->SetSetCount(FBuiltIn[i]->Count() - 1);
    CTranslator::Work(this, FileName, false);
    return TakeMissingTexts();
}

int TMainWindow::TakeMissingTexts() {
    int given = 0;
    for (int i = 0; i < 3; ++i) {
        TStrings* lines = TextList(i)->Lines();
        const TStringList& builtIn = *FBuiltIn[i];
        const int count = lines->Count(), shared = std::min(count, builtIn.Count());
        lines->BeginUpdate();
        for (int at = 0; at < shared; ++at) {
            if (lines->Get(at) != IntToStr(at))
                ++given;
            else
                lines->Put(at, builtIn.Get(at));
        }
        for (int at = count; at < builtIn.Count(); ++at) lines->Add(builtIn.Get(at));
        lines->EndUpdate();
    }
    return given;
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
        NetWork->Hide();
    }
    StartupMark(L"network image");

    btnNext = new TButton(this);
    btnNext->SetParent(this);
    btnNext->SetName(L"btnNext");
    btnNext->SetCaption(L"Action");
    btnNext->Hide();

    lbTitle = new TLabel(this);
    lbTitle->SetParent(this);
    lbTitle->SetName(L"lbTitle");
    lbTitle->SetCaption(L"Title");
    lbTitle->SetAutoSize(false);
    SetOwnLabelFont(lbTitle, 14);
    lbTitle->SetWordWrap(true);
    lbTitle->Hide();
    PlaceFrame();
    StartupMark(L"controls");

    page_Prepare();
    StartupMark(L"page");
}

void TMainWindow::PlaceFrame() {
    const int CW = ClientWidth(), CH = ClientHeight();
    if (NetWork) NetWork->SetBounds(CW - 22, 2, NetWork->Width(), NetWork->Height());
    if (btnNext) btnNext->SetBounds(CW - 103, CH - 40, 94, 29);
    if (lbTitle) lbTitle->SetBounds(46, 31, CW - 92, 48);
}

void TMainWindow::ApplyLanguageSize(int Width, int Height, int AClientWidth, int AClientHeight) {
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // The frame's share of the outer size, which the work area bounds.
    const int frameW = this->Width() - ClientWidth(), frameH = this->Height() - ClientHeight();
    auto pick = [](int Client, int Outer, int Frame, int Least, int Room) {
        const int64_t size = Client >= 0 ? Client : Outer >= 0 ? int64_t(Outer) - Frame : -1;
        return size >= Least && size + Frame <= Room ? (int)size : Least;
    };
    const int w = pick(AClientWidth, Width, frameW, BuiltInClientWidth, work.right - work.left);
    const int h = pick(AClientHeight, Height, frameH, BuiltInClientHeight, work.bottom - work.top);
    if (w == ClientWidth() && h == ClientHeight()) return;
    SetClientWidth(w);
    SetClientHeight(h);
    PlaceFrame();
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
        label->SetBounds(0, 220, ClientWidth(), 50);
        label->Show();
        label->SetCaption(IS(0));
        return;
    }
    auto* label = AddControl<TLabel>(L"lbPrepareText");
    label->SetCaption(IS(0));
    label->SetAutoSize(false);
    label->SetBounds(0, 220, ClientWidth(), 50);
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
