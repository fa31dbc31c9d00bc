// Shows one page of the wizard window for a while, as the engines would: for screenshots of each page.
// Usage: window_pages PAGE [milliseconds] [-stream:beta]
// PAGE: prepare, nointernet, final-ok, final-cancel, language, licence, choice, download, confirm,
// nomanifest, install, local, local-done.
#include <windows.h>

#include <thread>

#include "app/Setup.Application.h"
#include "app/core/Setup.Core.h"
#include "app/ui/ui.window.main.h"
#include "net/Setup.Source.h"
#include "runtime/Streams.h"
#include "runtime/gui/Application.h"
#include "runtime/gui/StdCtrls.h"

namespace {

void WriteText(const std::wstring& FileName, const std::string& Text) {
    TFileStream f(FileName, fmCreate);
    f.WriteBuffer(Text.data(), (int32_t)Text.size());
}

// The pages of the install road, each as the engine leaves it for the user.
void ShowInstallPage(const std::wstring& Page, TSource& Source, DWORD Ms) {
    TMainWindow* w = MainWindow;
    w->Source = &Source;
    w->HidePage();
    TProgressProc begin, work;
    TProgressEndProc end;
    if (Page == L"language") {
        WriteText(Source.baseTemp + L"Langs.xml",
                  "<langs><lang id='en_GB'>2057</lang><lang id='ru_RU'>1049</lang>"
                  "<lang id='de_DE'>1031</lang><lang id='uk_UA'>1058</lang></langs>");
        w->page_SelectLang();
    } else if (Page == L"licence") {
        Source.RequestResource(L"EULA_" + UILanguage);
        w->page_EULA();
        w->FindControl<TCheckBox>(L"cbAcceptEULA")->SetChecked(true);
    } else if (Page == L"choice" || Page == L"download" || Page == L"confirm" || Page == L"nomanifest") {
        w->page_FirstChoose(false);
        w->FindControl<TCheckBox>(L"cbDesktopLink")->SetChecked(true);
        if (Page == L"download") w->FindControl<TRadioButton>(L"rbDownload")->SetChecked(true);
        if (Page == L"confirm") WriteText(Source.baseTemp + L"system.xml", "<zrx><size>12.4</size></zrx>");
        if (Page == L"confirm" || Page == L"nomanifest") {
            // The question is modal: answer it when the screenshot has been taken.
            std::thread([Ms] {
                Sleep(Ms);
                if (HWND dialog = FindWindowW(L"#32770", nullptr)) {
                    PostMessageW(dialog, WM_COMMAND, IDNO, 0);
                    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                }
            }).detach();
            w->btnNext->OnClick(w->btnNext);
        }
    } else if (Page == L"install") {
        w->page_Install(begin, work, end);
        begin(7444889);
        work(3722444);
    } else if (Page == L"local" || Page == L"local-done") {
        w->page_FirstChoose(false);
        w->FindControl<TRadioButton>(L"rbDownload")->SetChecked(true);
        w->page_MakeLocalInstallation2(begin, work, end);
        begin(7444889);
        work(5583666);
        if (Page == L"local-done") w->page_MakeLocalInstallation3();
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring page = argc > 1 ? argv[1] : L"prepare";
    DWORD ms = argc > 2 ? (DWORD)_wtoi(argv[2]) : 3000;
    return RunProgram([&] {
        CSetup::Initialize();
        Application->CreateForm(MainWindow);
        MainWindow->Show();
        TSource source;
        if (page == L"prepare") {
            // The preparation page stands while the manifest downloads, with the indicator on.
            MainWindow->ControlNetworkImage(true);
        } else if (page == L"nointernet") {
            MainWindow->HidePage();
            MainWindow->page_NoInternet();
        } else if (page == L"final-ok" || page == L"final-cancel") {
            MainWindow->HidePage();
            MainWindow->page_final(page == L"final-ok");
        } else {
            ShowInstallPage(page, source, ms);
        }
        DWORD end = GetTickCount() + ms;
        SetTimer(nullptr, 0, 50, nullptr);
        while ((int)(end - GetTickCount()) > 0 && !Application->Terminated()) CSetupCore::ProcessMessages();
        MainWindow->Source = nullptr;
    });
}
