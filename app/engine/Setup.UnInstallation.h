// The uninstaller: the setup started with "-uninstall" copies itself into the temporary folder and starts the
// copy with "-uninstallnow", which removes an installation.
#pragma once

class CUnInstallation {
public:
    CUnInstallation() = delete;
    // Run mode 1: copies the running program to the temporary folder as "zrx-uninstall.exe" (replacing an
    // earlier copy) and starts it with "-uninstallnow". A failed copy raises; a failed start is not reported.
    static void CopyUninstallAndRun();
};
