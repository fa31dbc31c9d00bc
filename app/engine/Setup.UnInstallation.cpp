#include "app/engine/Setup.UnInstallation.h"

#include <windows.h>

#include <shellapi.h>

#include "app/core/System.Application.Extended.h"
#include "app/engine/Setup.Worker.h"
#include "app/ui/ui.window.main.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"

void CUnInstallation::CopyUninstallAndRun() {
    const std::wstring folder = TApplicationHelper::GetTempDir(false), target = folder + L"zrx-uninstall.exe";
    try {
        TFile::Copy(Application->ExeName(), target, true);
    } catch (const EInOutError&) {
        // A temporary folder that takes no file (read-only, full) is said in the user's language, and the run
        // ends: the window, made only for its texts, is never shown. Any other failure (an earlier copy still
        // running holds the file) is the error it is.
        if (TApplicationHelper::CanWriteInto(folder)) throw;
        Application->CreateForm(MainWindow);
        TApplicationHelper::MessageBox(nullptr, MainWindow->US(0),
                                       MainWindow->FormatIS(40, {ExcludeTrailingPathDelimiter(folder)}),
                                       MB_ICONERROR);
        return;
    }
    ShellExecuteW(nullptr, L"Open", target.c_str(), L"-uninstallnow", nullptr, SW_SHOWNORMAL);
}

void CUnInstallation::Run() {
    CUnInstallation engine;
    engine.Main();
}

CBaseUnInstallation::~CBaseUnInstallation() = default;

CUnInstallation::CUnInstallation() {
    MainWindow->SetCaption(MainWindow->US(0));
}

bool CUnInstallation::IsStableInstalled() {
    return DirectoryExists(CStringManager::InstalledExePath(false));
}

bool CUnInstallation::IsBetaInstalled() {
    return DirectoryExists(CStringManager::InstalledExePath(true));
}

void CUnInstallation::Main() {
    MainWindow->HidePage();
    MainWindow->page_UninstallFirstPage(IsStableInstalled(), IsBetaInstalled());
    WaitForUser();
    if (PageChoice != L"Uninstall" && PageChoice != L"Uninstall-Beta") return;
    MainWindow->HidePage();
    MainWindow->page_UninstallProgress();
    IsBetaUninstall = PageChoice == L"Uninstall-Beta";
    uninstall();
    MainWindow->HidePage();
    MainWindow->page_UninstallDone();
    WaitForUser();
}

void CUnInstallation::uninstall() {
    CStr = std::make_unique<CStringManager>(IsBetaUninstall);
    // The engine outlives the worker: this wait ends only when the worker has ended, closed window or not.
    RunWorker(
        L"",
        [this] {
            void (CBaseUnInstallation::*const steps[])() = {
                &CBaseUnInstallation::DeleteInstallKey, &CBaseUnInstallation::DeleteDesktopLink,
                &CBaseUnInstallation::UnpinFromTaskbar, &CBaseUnInstallation::DeleteProgramsGroup,
                &CBaseUnInstallation::DeleteInstallFolders};
            for (auto step : steps) {
                // One step that fails must neither hang the wait nor spare what the later steps remove.
                try {
                    (this->*step)();
                } catch (...) {
                }
                Sleep(500);
            }
            return true;
        },
        wwUntilDone);
}

void CBaseUnInstallation::DeleteInstallKey() {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TlvCorp\\zrx", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, IsBetaUninstall ? L"key-beta" : L"key");
    RegCloseKey(key);
}

void CBaseUnInstallation::DeleteDesktopLink() {
    const std::wstring link = CStr->U(vsDesktopLink);
    if (FileExists(link)) RemoveFile(link);
}

void CBaseUnInstallation::UnpinFromTaskbar() {}

// A folder with all its content; what cannot be removed (the tool still running, say) stays.
static void DeleteFolder(const std::wstring& Folder) {
    try {
        TDirectory::Delete(Folder, true);
    } catch (const EInOutError&) {
    }
}

void CBaseUnInstallation::DeleteProgramsGroup() {
    DeleteFolder(CStr->U(vsProgramsGroup));
}

void CBaseUnInstallation::DeleteInstallFolders() {
    DeleteFolder(CStr->U(vsInstallPath));
    DeleteFolder(CStr->U(vsConfigPath));
}
