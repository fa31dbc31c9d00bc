// The installation engine: walks one installation from the manifest to the last page, page by page on the
// wizard window, with every download and the unpacking on worker threads while the window stays alive.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "app/core/Setup.Core.h"
#include "net/Setup.Network.h"

class TSource;

class CBaseInstallation : public CSetupCore {
    ZRX_CLASS(CBaseInstallation, CSetupCore)
public:
    // LangID := UILanguage, Aborted := False, a new source, lent to the window.
    CBaseInstallation();
    // Takes the source back from the window and lets go of it (the working folder goes with it).
    ~CBaseInstallation() override;
    CBaseInstallation(const CBaseInstallation&) = delete;
    CBaseInstallation& operator=(const CBaseInstallation&) = delete;

    // Source->Request on a worker thread, the network indicator shown meanwhile; True when the file is in
    // the working folder. A closed window ends the wait with False and Aborted set.
    bool AsyncRequest(const std::wstring& fName);
    bool AsyncRequest(const std::wstring& fName, TProgressProc onWorkBegin, TProgressProc onWork,
                      TProgressEndProc onWorkEnd);
    // AsyncRequest for a small XML file: one that arrived but cannot be read or parsed counts as one that
    // did not arrive, and is removed so that no later reader takes it for sound.
    bool RequestXML(const std::wstring& fName);
    // No server answered the first request: files come from the program's folder and its resources.
    bool IsLocalInstallation() const;

    // Shared with the workers that use it: a worker left running after the window was closed never meets a
    // freed source.
    std::shared_ptr<TSource> Source;
    std::wstring LangID;

protected:
    // Runs a request body on a worker named ThreadName, the network indicator shown while a server may
    // answer; a closed window ends the wait with False and Aborted set.
    bool RunRequest(const std::wstring& ThreadName, std::function<bool()> Body);
};

class CInstallation : public CBaseInstallation {
    ZRX_CLASS(CInstallation, CBaseInstallation)
public:
    // Run mode 0: creates the engine, walks the road, frees it.
    static void Run();
    CInstallation();
    ~CInstallation() override;

    void Main();
    void CountAtBitLy();
    void CheckSetup();
    bool IsNewerSetupAvailable();
    void UpdateSetup();
    // AsyncRequest("Langs.xml"); a list that cannot be read or offers no language counts as missing.
    bool RequestLanguageList();
    std::wstring SelectLanguage();
    void ShowEULA();
    void CustomizedInstall();

    // Unpacks the package and sets the tool up on a worker thread; True when it finished.
    bool Install();
    // DirectX check before the choice page (online only).
    void CheckDirectX();
    // Makes "ZorvexSetup.exe" with the package and the manifest embedded, in the folder of the choice page.
    void MakeLocalInstallation();
    // The build number from the manifest: the embedded one in a local installation, else the downloaded one.
    int GetBuildNumber();

    TInstallationOptions Options{false, false, true};
    // Paths of the installed tool for the stream of the run; shared with the install worker.
    std::shared_ptr<CStringManager> CStr;

private:
    // The working folder takes no files: the cancelled final page and a message naming the folder; the run
    // ends.
    void ReportUnwritableWorkingFolder();
    // Translates the window from a downloaded language file; one that cannot be applied leaves the window
    // in its built-in language.
    void TranslateWindow(const std::wstring& FileName);
};
