// A private user profile for this test process, and installations laid out in it as the installer leaves
// them: the uninstaller's tests remove real folders, links and registry values without touching those of
// other test programs that share the Wine prefix.
#pragma once
#include <windows.h>

#include <string>

// For its lifetime, HKEY_CURRENT_USER of this process (every thread) is a fresh key of its own whose shell
// folders (desktop, programs menu, roaming and local application data) lie in a fresh scratch folder.
class TPrivateProfile {
public:
    TPrivateProfile();
    ~TPrivateProfile();
    TPrivateProfile(const TPrivateProfile&) = delete;
    TPrivateProfile& operator=(const TPrivateProfile&) = delete;

    // Each ends with a backslash.
    std::wstring Desktop, Programs, Roaming, Local;

private:
    std::wstring FRoot, FKeyName;
    HKEY FKey = nullptr;
};

// What of one stream's installation is in the profile.
struct TInstalledParts {
    bool InstallFolder, ConfigFolder, ProgramsGroup, DesktopLink, RegistryValue;
    bool All() const {
        return InstallFolder && ConfigFolder && ProgramsGroup && DesktopLink && RegistryValue;
    }
    bool None() const {
        return !InstallFolder && !ConfigFolder && !ProgramsGroup && !DesktopLink && !RegistryValue;
    }
};

// The install folder of a stream in the profile (with a backslash).
std::wstring InstallFolderOf(const TPrivateProfile& Profile, bool Beta);
// Lays out a stream's installation: the install folder with the tool's files (one read-only, one in a
// subfolder), the configuration folder, the Start-menu group with its four links, the desktop link and the
// install key value.
void LayOutInstallation(const TPrivateProfile& Profile, bool Beta);
TInstalledParts InstalledParts(const TPrivateProfile& Profile, bool Beta);
// The key "Software\TlvCorp\zrx" exists in the profile.
bool InstallKeyExists();
