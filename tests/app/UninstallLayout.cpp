#include "UninstallLayout.h"

#include <objbase.h>

#include <stdexcept>

#include "TestSupport.h"
#include "app/core/Setup.Core.h"
#include "runtime/Files.h"

namespace {
const wchar_t* const ShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

void WriteFile(const std::wstring& FileName, const std::string& Content) {
    HANDLE h = CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write a file of the layout");
    DWORD written;
    ::WriteFile(h, Content.data(), (DWORD)Content.size(), &written, nullptr);
    CloseHandle(h);
}

void Link(const std::wstring& Target, const std::wstring& LinkFile, const std::wstring& Param = L"") {
    if (!CSetupCore::CreateLink(Target, LinkFile, L"", Param))
        throw std::runtime_error("cannot write a link of the layout");
}

std::wstring ProductFolder(bool Beta) {
    return Beta ? L"Zorvex-beta\\" : L"Zorvex\\";
}
std::wstring Shown(bool Beta) {
    return Beta ? L"Zorvex BETA" : L"Zorvex";
}
const wchar_t* ValueName(bool Beta) {
    return Beta ? L"key-beta" : L"key";
}
} // namespace

TPrivateProfile::TPrivateProfile() {
    static int serial = 0;
    const std::wstring name =
        L"profile-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    FRoot = MakeScratchFolder(name);
    Desktop = FRoot + L"Desktop\\";
    Programs = FRoot + L"Start Menu\\Programs\\";
    Roaming = FRoot + L"AppData\\Roaming\\";
    Local = FRoot + L"AppData\\Local\\";
    for (const std::wstring* dir : {&Desktop, &Programs, &Roaming, &Local}) ForceDirectories(*dir);

    FKeyName = L"Software\\ZrxTests\\" + name;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, FKeyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey,
                        nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot make the profile's key");
    HKEY folders;
    RegCreateKeyExW(FKey, ShellFoldersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &folders, nullptr);
    auto set = [&](const wchar_t* Name, const std::wstring& Dir) {
        const std::wstring value = Dir.substr(0, Dir.size() - 1);
        RegSetValueExW(folders, Name, 0, REG_SZ, (const BYTE*)value.c_str(), DWORD((value.size() + 1) * 2));
    };
    set(L"Desktop", Desktop);
    set(L"Programs", Programs);
    set(L"AppData", Roaming);
    set(L"Local AppData", Local);
    RegCloseKey(folders);
    RegOverridePredefKey(HKEY_CURRENT_USER, FKey);
}

TPrivateProfile::~TPrivateProfile() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(FKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, FKeyName.c_str());
    try {
        TDirectory::Delete(FRoot, true);
    } catch (const EInOutError&) {
    }
}

std::wstring InstallFolderOf(const TPrivateProfile& Profile, bool Beta) {
    return Profile.Local + L"Talvenor\\Apps\\" + ProductFolder(Beta);
}

void LayOutInstallation(const TPrivateProfile& Profile, bool Beta) {
    CoInitialize(nullptr);
    const std::wstring install = InstallFolderOf(Profile, Beta);
    const std::wstring config = Profile.Roaming + L"Talvenor\\" + ProductFolder(Beta);
    const std::wstring group = Profile.Programs + Shown(Beta) + L"\\";
    ForceDirectories(install + L"data\\textures");
    ForceDirectories(config);
    ForceDirectories(group);

    WriteFile(install + L"Zorvex.exe", "MZ tool");
    WriteFile(install + L"uninstall.exe", "MZ setup");
    WriteFile(install + L"command line.txt", "-nosplash\r\n");
    WriteFile(install + L"Core.xml", "<?xml version=\"1.0\"?><core number=\"7\"/>\r\n");
    WriteFile(install + L"data\\textures\\stone.dds", std::string(70000, 'x'));
    // Packages carry read-only files; they go all the same.
    WriteFile(install + L"data\\license.txt", "terms");
    SetFileAttributesW((install + L"data\\license.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFile(config + L"Application.xml", "<zrx><global><lang>en_GB</lang></global></zrx>\r\n");

    Link(install + L"Zorvex.exe", group + L"Run " + Shown(Beta) + L".lnk");
    Link(install + L"uninstall.exe", group + L"Uninstall " + Shown(Beta) + L".lnk", L"-uninstall");
    Link(L"http://www.zorvex.example/", group + L"Go to " + Shown(Beta) + L" web site.lnk");
    Link(install + L"command line.txt", group + L"Command line documentation.lnk");
    Link(install + L"Zorvex.exe", Profile.Desktop + Shown(Beta) + L".lnk");

    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TlvCorp\\zrx\\", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    const std::wstring guid =
        Beta ? L"{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}" : L"{9A8B7C6D-5E4F-3021-1234-56789ABCDEF0}";
    RegSetValueExW(key, ValueName(Beta), 0, REG_SZ, (const BYTE*)guid.c_str(), DWORD((guid.size() + 1) * 2));
    RegCloseKey(key);
}

TInstalledParts InstalledParts(const TPrivateProfile& Profile, bool Beta) {
    TInstalledParts parts{};
    parts.InstallFolder = DirectoryExists(InstallFolderOf(Profile, Beta));
    parts.ConfigFolder = DirectoryExists(Profile.Roaming + L"Talvenor\\" + ProductFolder(Beta));
    parts.ProgramsGroup = DirectoryExists(Profile.Programs + Shown(Beta));
    parts.DesktopLink = FileExists(Profile.Desktop + Shown(Beta) + L".lnk");
    parts.RegistryValue = RegGetValueW(HKEY_CURRENT_USER, L"Software\\TlvCorp\\zrx", ValueName(Beta),
                                       RRF_RT_REG_SZ, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    return parts;
}

bool InstallKeyExists() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TlvCorp\\zrx", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
