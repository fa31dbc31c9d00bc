// The install worker: unpacks the package into the install folder and sets the tool up for the current user
// (uninstaller, "Core.xml", "Application.xml", install key, shortcuts), writing one log line per step.
#pragma once
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/core/Setup.Core.h"

// Everything the worker uses, copied on the main thread before it starts: a worker left running after the
// window was closed never reaches into an engine or a window that has been freed.
struct TInstallJob {
    // The installed tool's paths, indexed by TVersionString.
    std::array<std::wstring, vsAppConfigXML + 1> Paths;
    const std::wstring& U(TVersionString Index) const { return Paths[Index]; }

    std::wstring PackageFile;       // the downloaded "zrxsetup.zip"
    std::wstring LInstallerExeName; // the running setup, copied as the uninstaller
    std::wstring FInstallLog;       // the step log
    std::wstring LangID;
    std::wstring KeyValueName;           // the registry value of the install key: "key" or "key-beta"
    std::wstring ProductSite;            // target of the web-site link
    std::vector<std::wstring> Shortcuts; // the window's link captions, by index
    TInstallationOptions Options{false, false, true};
    int gReleaseNumber = 0;
    // Set by the main thread when the window was closed: the worker stops within a block of the unpacking, or
    // at its next step, and fails. Shared by every copy of the job.
    std::shared_ptr<std::atomic<bool>> Cancelled = std::make_shared<std::atomic<bool>>(false);

    // The paths of a stream's string manager.
    void SetPaths(const CStringManager& CStr);
};

// The worker's steps, in order; True when all ran. A failing step raises, and the log's last line names it.
// The package must hold the tool's program and fit on the drive before anything of it is unpacked. A run
// that fails where no installation of the stream was takes back what it made.
bool InstallWorker(const TInstallJob& Job);

// Sets "path", a new install key (stored in the registry too) and "number" in the package's "Core.xml";
// the rest of the file stays. Without the file, one is written with the number alone. Gives the key.
std::wstring MakeCoreXML(const TInstallJob& Job, const std::wstring& FileName,
                         const std::wstring& InstallPath, int64_t ReleaseNumber);
// Writes a new "Application.xml": root "zrx" with the install path, and the language, work mode and licence
// acceptance under "global".
void MakeConfigXML(const TInstallJob& Job, const std::wstring& FileName, const std::wstring& InstallPath);
// A new GUID in braced upper-case text, stored under HKCU\Software\TlvCorp\zrx as Job.KeyValueName.
std::wstring WriteInstallKey(const TInstallJob& Job);

// The four Start-menu links, in a group folder made first.
void CreateProgramsGroupLinks(const TInstallJob& Job);
// The desktop link, when chosen.
void CreateDesktopLink(const TInstallJob& Job);
// A step kept for the taskbar pin; it has no effect.
void PinToTaskbar(const TInstallJob& Job);
