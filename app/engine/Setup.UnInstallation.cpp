#include "app/engine/Setup.UnInstallation.h"

#include <windows.h>

#include <shellapi.h>

#include "app/core/System.Application.Extended.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"

void CUnInstallation::CopyUninstallAndRun() {
    const std::wstring target = TApplicationHelper::GetTempDir(false) + L"zrx-uninstall.exe";
    TFile::Copy(Application->ExeName(), target, true);
    ShellExecuteW(nullptr, L"Open", target.c_str(), L"-uninstallnow", nullptr, SW_SHOWNORMAL);
}
