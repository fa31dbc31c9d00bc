// The uninstaller: the setup started with "-uninstall" copies itself into the temporary folder and starts the
// copy with "-uninstallnow", which lets the user choose an installation on the wizard window and removes it.
#pragma once
#include <memory>

#include "app/core/Setup.Core.h"

// The removal steps for the stream chosen.
class CBaseUnInstallation : public CSetupCore {
    ZRX_CLASS(CBaseUnInstallation, CSetupCore)
public:
    CBaseUnInstallation() = default;
    ~CBaseUnInstallation() override;
    CBaseUnInstallation(const CBaseUnInstallation&) = delete;
    CBaseUnInstallation& operator=(const CBaseUnInstallation&) = delete;

    // Each works on CStr; what is missing is skipped, what cannot be removed stays without a report.
    // Removes the stream's install key value; the key "Software\TlvCorp\zrx" itself stays (made if missing).
    virtual void DeleteInstallKey();
    virtual void DeleteDesktopLink();
    virtual void UnpinFromTaskbar();
    virtual void DeleteProgramsGroup();
    // The install folder, then the configuration folder, each with all its content.
    virtual void DeleteInstallFolders();

    // The beta installation is to be removed; False until the user has chosen.
    bool IsBetaUninstall = false;
    // Paths of the stream to remove; none until the removal starts.
    std::unique_ptr<CStringManager> CStr;
};

// The road through the uninstall pages.
class CUnInstallation : public CBaseUnInstallation {
    ZRX_CLASS(CUnInstallation, CBaseUnInstallation)
public:
    // Run mode 1: copies the running program to the temporary folder as "zrx-uninstall.exe" (replacing an
    // earlier copy) and starts it with "-uninstallnow". A temporary folder that takes no file is reported in
    // a box naming it; another failed copy raises; a failed start is not reported.
    static void CopyUninstallAndRun();
    // Run mode 2: creates the engine, walks the road, frees it.
    static void Run();

    // Captions the window with the uninstaller's title.
    CUnInstallation();
    // First page, then, unless the user left it without choosing a stream, the removal and the done page.
    void Main();
    static bool IsStableInstalled();
    static bool IsBetaInstalled();
    // Runs the removal steps on a worker thread, with a pause after each, and waits until they have ended,
    // however the window is treated meanwhile. A step that fails leaves the others to run.
    void uninstall();
};
