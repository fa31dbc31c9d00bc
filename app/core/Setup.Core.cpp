#include "app/core/Setup.Core.h"

#include <windows.h>

#include <shlobj.h>

#include "app/core/System.Application.Extended.h"
#include "runtime/gui/Application.h"

std::wstring PageChoice;
bool PageDone = false;
bool Aborted = false;

void CSetupCore::ProcessMessages() {
    try {
        Application->HandleMessage();
    } catch (...) {
        Application->HandleException(nullptr);
    }
}

void CSetupCore::WaitForUser() {
    PageDone = false;
    for (;;) {
        ProcessMessages();
        // A close and a button press handled in the same step count as a close.
        if (Application->Terminated()) {
            Aborted = true;
            return;
        }
        if (PageDone) return;
    }
}

TComScope::TComScope() : FInitialized(SUCCEEDED(CoInitialize(nullptr))) {}

TComScope::~TComScope() {
    if (FInitialized) CoUninitialize();
}

namespace {
// Releases a COM interface when it goes out of scope.
template <class T> struct ComRef {
    T* P = nullptr;
    ~ComRef() {
        if (P) P->Release();
    }
    T* operator->() const { return P; }
};
} // namespace

bool CSetupCore::CreateLink(const std::wstring& PathObj, const std::wstring& PathLink,
                            const std::wstring& Desc, const std::wstring& Param) {
    TComScope com; // on whichever thread calls (the main thread makes its apartment only when needed)
    ComRef<IShellLinkW> link;
    HRESULT hr =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link.P);
    if (FAILED(hr)) RaiseLastOSError(hr);
    ComRef<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, (void**)&file.P);
    if (FAILED(hr)) RaiseLastOSError(hr);
    link->SetArguments(Param.c_str());
    link->SetDescription(Desc.c_str());
    link->SetPath(PathObj.c_str());
    return SUCCEEDED(file->Save(PathLink.c_str(), FALSE));
}

CStringManager::CStringManager(bool UseBetaMode)
    : FWindowsDesktopPath(TApplicationHelper::GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY)),
      FWindowsProgramsMenuPath(TApplicationHelper::GetSpecialFolderPath(CSIDL_PROGRAMS)),
      FUserRoamingAppDataPath(TApplicationHelper::GetSpecialFolderPath(CSIDL_APPDATA)),
      FUserLocalAppDataPath(TApplicationHelper::GetSpecialFolderPath(CSIDL_LOCAL_APPDATA)),
      FBetaMode(UseBetaMode) {}

std::wstring CStringManager::U(TVersionString Index) const {
    const std::wstring product = FBetaMode ? L"Zorvex-beta\\" : L"Zorvex\\";
    const std::wstring installFolder = FUserLocalAppDataPath + L"Talvenor\\Apps\\" + product;
    const std::wstring configFolder = FUserRoamingAppDataPath + L"Talvenor\\" + product;
    switch (Index) {
    case vsDesktopLink:
        return FWindowsDesktopPath + (FBetaMode ? L"Zorvex BETA.lnk" : L"Zorvex.lnk");
    case vsProgramsGroup:
        return FWindowsProgramsMenuPath + (FBetaMode ? L"Zorvex BETA\\" : L"Zorvex\\");
    case vsInstallPath:
        return installFolder;
    case vsConfigPath:
        return configFolder;
    case vsRunExe:
        return installFolder + L"Zorvex.exe";
    case vsUninstallTool:
        return installFolder + L"uninstall.exe";
    case vsCommandLineTxt:
        return installFolder + L"command line.txt";
    case vsAppCoreXML:
        return installFolder + L"Core.xml";
    case vsAppConfigXML:
        return configFolder + L"Application.xml";
    }
    return {};
}

std::wstring CStringManager::InstalledExePath(bool bBeta) {
    return TApplicationHelper::GetSpecialFolderPath(CSIDL_LOCAL_APPDATA) + L"Talvenor\\Apps\\" +
           (bBeta ? L"Zorvex-beta\\" : L"Zorvex\\");
}
