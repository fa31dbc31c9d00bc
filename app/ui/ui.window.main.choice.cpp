// The choice page: install here or make a local installation, and the install confirmation.
#include "app/ui/ui.window.main.h"

#include <windows.h>
#include <shlobj.h>

#include "app/core/System.Application.Extended.h"
#include "net/Setup.Servers.h"
#include "net/Setup.Source.h"
#include "runtime/Files.h"
#include "runtime/SysUtils.h"
#include "xml/ExSimpleXMLUnit.h"

namespace {

template <class T> T* NewControl(TMainWindow* Owner, const wchar_t* Name, int Left, int Top) {
    auto* control = Owner->AddControl<T>(Name);
    control->SetLeft(Left);
    control->SetTop(Top);
    return control;
}

} // namespace

void TMainWindow::page_FirstChoose(bool bIsLocalInstallation) {
    const int width = ClientWidth() - 92;
    // The button's caption stays English whatever the window language.
    ShowPageFrame(0, L"Next", IS(6));
    btnNext->OnClick = [this](TObject* Sender) { FirstChooseNextClick(Sender); };
    auto onChoice = [this](TObject* Sender) { ChoiceRadioClick(Sender); };

    auto* install = NewControl<TRadioButton>(this, L"rbInstall", 46, 96);
    install->SetWidth(width);
    install->SetCaption(IS(7));
    install->SetChecked(true); // before its handler, so that building the page runs none
    install->OnClick = onChoice;

    NewControl<TLabel>(this, L"lb_installOptions", 76, 120)->SetCaption(IS(9));
    const struct {
        const wchar_t* Name;
        int Top;
        int Text;
        bool Checked;
    } options[] = {{L"cbDesktopLink", 138, 24, false},
                   {L"cbTaskbarPin", 168, 25, false},
                   {L"cbRunAfterInstall", 198, 26, true}};
    for (const auto& option : options) {
        auto* box = NewControl<TCheckBox>(this, option.Name, 76, option.Top);
        box->SetWidth(300);
        box->SetCaption(IS(option.Text));
        box->SetChecked(option.Checked);
    }

    auto* download = NewControl<TRadioButton>(this, L"rbDownload", 46, 240);
    download->SetWidth(width);
    download->SetCaption(IS(8));
    download->OnClick = onChoice;
    download->SetEnabled(!bIsLocalInstallation);

    NewControl<TLabel>(this, L"lb_donwloadPath", 76, 264)->SetCaption(IS(18));
    auto* path = NewControl<TEdit>(this, L"eLocalPath", 76, 282);
    path->SetWidth(400);
    path->SetText(TApplicationHelper::GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY));
    path->SetReadOnly(true);
    path->SetEnabled(false);

    auto* browse = NewControl<TButton>(this, L"btnBrowsePath", 482, 280);
    browse->SetCaption(IS(33));
    browse->SetEnabled(false);
    browse->OnClick = [this](TObject* Sender) { BrowsePathClick(Sender); };
}

void TMainWindow::ChoiceRadioClick(TObject*) {
    const bool install = FindControl<TRadioButton>(L"rbInstall")->Checked();
    for (const wchar_t* name : {L"cbDesktopLink", L"cbTaskbarPin", L"cbRunAfterInstall"})
        FindControl<TCheckBox>(name)->SetEnabled(install);
    FindControl<TEdit>(L"eLocalPath")->SetEnabled(!install);
    FindControl<TButton>(L"btnBrowsePath")->SetEnabled(!install);
}

void TMainWindow::BrowsePathClick(TObject*) {
    auto* path = FindControl<TEdit>(L"eLocalPath");
    std::wstring folder = path->Text();
    if (TApplicationHelper::BrowseForFolder(DialogIS(32), folder, L"", L"", nullptr)) path->SetText(folder);
    btnNext->SetEnabled(DirectoryExists(path->Text()));
}

void TMainWindow::FirstChooseNextClick(TObject* Sender) {
    if (FindControl<TRadioButton>(L"rbInstall")->Checked())
        ConfirmInstallClick(Sender);
    else
        MakeInstallNowClick(Sender);
}

void TMainWindow::ConfirmInstallClick(TObject*) {
    if (Source->RealSource == stLocal) {
        PageChoice = L"CustomizedInstall";
        PageDone = true;
        return;
    }
    // A manifest that cannot be read or parsed is as good as a missing one.
    TExSimpleXML xml;
    if (!xml.TryLoadXMLFile(Source->baseTemp + L"system.xml")) {
        TApplicationHelper::MessageBox(Handle(), DialogIS(35),
                                       DialogIS(36) + L"\r\n" + ZrxServers::ProductSite, MB_ICONERROR);
        PageChoice = L"Terminate";
        PageDone = true;
        return;
    }
    const std::wstring size = SizeText(XMLGetChildValue(xml.Root(), L"size", L"7.1"));
    if (TApplicationHelper::AskYesNo(Handle(), DialogIS(10), FormatIS(11, {size}), MB_ICONQUESTION)) {
        PageChoice = L"CustomizedInstall";
        PageDone = true;
    }
}

std::wstring TMainWindow::SizeText(const std::wstring& Size) {
    if (Size.size() <= MaxSizeText) return Size;
    // A pair of surrogates stays whole or goes whole.
    size_t n = MaxSizeText;
    if (Size[n - 1] >= 0xD800 && Size[n - 1] <= 0xDBFF) --n;
    return Size.substr(0, n);
}

void TMainWindow::MakeInstallNowClick(TObject*) {
    PageChoice = L"MakeInstallNow";
    PageDone = true;
}

void TMainWindow::ReadInstallOptions(TInstallationOptions& Options) {
    Options.CreateDesktopIcon = FindControl<TCheckBox>(L"cbDesktopLink")->Checked();
    Options.PinInTaskBar = FindControl<TCheckBox>(L"cbTaskbarPin")->Checked();
    Options.RunAfterInstall = FindControl<TCheckBox>(L"cbRunAfterInstall")->Checked();
}
