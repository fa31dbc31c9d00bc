#include "app/Setup.Application.h"

#include <windows.h>

#include "app/core/StartupMarks.h"
#include "app/core/System.Application.Extended.h"
#include "app/engine/Setup.Installation.h"
#include "app/engine/Setup.UnInstallation.h"
#include "app/ui/ui.window.main.h"
#include "runtime/Files.h"
#include "runtime/Threads.h"
#include "runtime/gui/Application.h"

uint8_t SetupRunMode = 0;
std::wstring UILanguage;
bool IsBetaStream = false;

void CSetup::Initialize() {
    TThread::NameThreadForDebugging(L"Main");
    Application->Initialize();
    Application->MainFormOnTaskBar = true;
    std::wstring stream;
    IsBetaStream = TApplicationHelper::GetSwitchValue(L"stream", stream) && stream == L"beta";
    // The title names the working folder, so it comes before any use of that folder.
    Application->SetTitle(IsBetaStream ? L"Zorvex Setup [BETA]" : L"Zorvex Setup");
    switch (GetSystemDefaultLangID()) {
    case 1049: // Russian
    case 1058: // Ukrainian
    case 1059: // Belarusian
        UILanguage = L"ru_RU";
        break;
    default:
        UILanguage = L"en_GB";
    }
    SetupRunMode = ParseRunMode();
}

uint8_t CSetup::ParseRunMode() {
    if (TApplicationHelper::HasSwitch(L"uninstallnow")) return 2;
    if (TApplicationHelper::HasSwitch(L"uninstall")) return 1;
    std::wstring name = Application->ExeName();
    name.erase(0, name.find_last_of(L"\\/:") + 1);
    for (wchar_t& c : name)
        if (c >= L'A' && c <= L'Z') c += L'a' - L'A';
    return name.find(L"uninstall") != std::wstring::npos ? 1 : 0;
}

void CSetup::Main() {
    // No form exists yet, so this returns at once: from here on the waits of the engines pump the messages.
    Application->Run();
    if (SetupRunMode != 1) {
        // The window translates itself and shows its preparation page while it is made.
        Application->CreateForm(MainWindow);
        MainWindow->Show();
        StartupMark(L"shown");
        WriteStartupMarks();
    }
    // Before any shell call, but after the window: the window need not wait for OLE to load.
    Application->InitializeOle();
    if (SetupRunMode == 1)
        CUnInstallation::CopyUninstallAndRun();
    else if (SetupRunMode == 0)
        CInstallation::Run();
    else
        CUnInstallation::Run();
    DeleteTempFolder();
}

void CSetup::DeleteTempFolder() {
    try {
        TDirectory::Delete(TApplicationHelper::GetTempDir(true), true);
    } catch (const EInOutError&) {
        // What another program (or a download left running when the window was closed) still holds stays
        // behind; the run has ended all the same.
    }
}
