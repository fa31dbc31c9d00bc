// What the wizard window and the engines share: the wizard state, the install options, the setup's version,
// the installed tool's paths, and the base of both engines with the message pump, the wait for the user and
// shell links.
#pragma once
#include <string>

#include "runtime/Classes.h"

// What the user chose on the last page that set it ("CustomizedInstall", "MakeInstallNow", "Terminate",
// "Exit", "Uninstall", "Uninstall-Beta" or a language id).
extern std::wstring PageChoice;
// A page button has ended the current page.
extern bool PageDone;
// The run is to stop: the window was closed during a wait, or a step ended the installation.
extern bool Aborted;
// The setup's own version; a manifest version above it means a newer setup exists.
constexpr int SetupVersion = 10;

struct TInstallationOptions {
    bool CreateDesktopIcon;
    bool PinInTaskBar;
    bool RunAfterInstall;
};

// COM on the calling thread while it lives: CoInitialize, and its CoUninitialize when that succeeded.
class TComScope {
public:
    TComScope();
    ~TComScope();
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;

private:
    bool FInitialized;
};

// The base of the installation and uninstallation engines.
class CSetupCore : public TObject {
    ZRX_CLASS(CSetupCore, TObject)
public:
    // One step of the message pump; an exception raised meanwhile is shown and goes no further.
    static void ProcessMessages();
    // Pumps until a page button ends the current page, or the application terminates (then Aborted := True).
    static void WaitForUser();
    // Writes a shell link at PathLink to PathObj with the given description and arguments; True when it was
    // saved. The link's folder must exist.
    static bool CreateLink(const std::wstring& PathObj, const std::wstring& PathLink,
                           const std::wstring& Desc, const std::wstring& Param);
};

// Every path and file name of the installed tool.
enum TVersionString {
    vsDesktopLink,
    vsProgramsGroup,
    vsInstallPath,
    vsConfigPath,
    vsRunExe,
    vsUninstallTool,
    vsCommandLineTxt,
    vsAppCoreXML,
    vsAppConfigXML
};

// Answers each TVersionString for the main or the beta stream from the user's shell folders, read once.
class CStringManager : public TObject {
    ZRX_CLASS(CStringManager, TObject)
public:
    explicit CStringManager(bool UseBetaMode);
    std::wstring U(TVersionString Index) const;
    // The install folder of a stream (not the program file), from the local application-data folder read
    // anew.
    static std::wstring InstalledExePath(bool bBeta);

private:
    std::wstring FWindowsDesktopPath;
    std::wstring FWindowsProgramsMenuPath;
    std::wstring FUserRoamingAppDataPath;
    std::wstring FUserLocalAppDataPath;
    bool FBetaMode;
};
