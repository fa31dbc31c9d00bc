#include "app/engine/Setup.Installation.h"

#include <windows.h>

#include <shellapi.h>

#include "app/Setup.Application.h"
#include "app/core/System.Application.Extended.h"
#include "app/engine/Setup.SelfUpdate.h"
#include "app/engine/Setup.StepLog.h"
#include "app/engine/Setup.Translator.h"
#include "app/engine/Setup.Worker.h"
#include "app/ui/ui.window.main.h"
#include "net/Setup.Servers.h"
#include "net/Setup.Source.h"
#include "runtime/SysUtils.h"
#include "runtime/Threads.h"
#include "runtime/gui/Application.h"
#include "xml/ExSimpleXMLUnit.h"

void CInstallation::Run() {
    // Before the source makes the working folder that the predecessor may still be removing.
    WaitForPredecessor();
    CInstallation engine;
    engine.Main();
}

CBaseInstallation::CBaseInstallation() : Source(std::make_shared<TSource>()), LangID(UILanguage) {
    Aborted = false;
    MainWindow->Source = Source.get();
}

CBaseInstallation::~CBaseInstallation() {
    MainWindow->Source = nullptr;
}

bool CBaseInstallation::RunRequest(const std::wstring& ThreadName, std::function<bool()> Body) {
    // The indicator shows while a request may reach a server, also while the first one is still choosing.
    if (Source->RealSource != stLocal) MainWindow->ControlNetworkImage(true);
    const auto record = StartWorker(ThreadName, std::move(Body));
    const bool result = WaitForWorker(*record, wwStopOnTerminate);
    if (!record->done) {
        // The window was closed: the transfer gives up and removes its file. The run waits for that, briefly,
        // so that the working folder goes with everything in it.
        Source->Cancel();
        WaitForWorkerEnd(*record, 10000);
    }
    MainWindow->ControlNetworkImage(false);
    return result;
}

bool CBaseInstallation::AsyncRequest(const std::wstring& fName) {
    // The worker holds the source, not the engine: one left running after the window was closed outlives
    // the engine.
    std::shared_ptr<TSource> source = Source;
    return RunRequest(L"Request:" + fName, [source, fName] {
        if (TThread::CheckTerminated()) return false;
        return source->Request(fName);
    });
}

bool CBaseInstallation::AsyncRequest(const std::wstring& fName, TProgressProc onWorkBegin,
                                     TProgressProc onWork, TProgressEndProc onWorkEnd) {
    // The callbacks draw on the window, and run on the main thread: once the window was closed, the end of a
    // download that is giving up no longer reaches the page.
    TProgressProc begin = [onWorkBegin](int64_t Count) {
        if (!Application->Terminated()) onWorkBegin(Count);
    };
    TProgressProc work = [onWork](int64_t Count) {
        if (!Application->Terminated()) onWork(Count);
    };
    TProgressEndProc end = [onWorkEnd] {
        if (!Application->Terminated()) onWorkEnd();
    };
    std::shared_ptr<TSource> source = Source;
    return RunRequest(L"getFile", [source, fName, begin, work, end] {
        if (TThread::CheckTerminated()) return false;
        return source->Request(fName, begin, work, end);
    });
}

bool CBaseInstallation::RequestXML(const std::wstring& fName) {
    if (!AsyncRequest(fName)) return false;
    TExSimpleXML xml;
    if (xml.TryLoadXMLFile(Source->baseTemp + fName)) return true;
    DeleteFileW((Source->baseTemp + fName).c_str());
    return false;
}

bool CInstallation::RequestLanguageList() {
    if (!AsyncRequest(L"Langs.xml")) return false;
    const std::wstring list = Source->baseTemp + L"Langs.xml";
    if (!TMainWindow::ReadLanguageList(list).empty()) return true;
    // A list that offers no language would leave a page whose Next can never be pressed.
    DeleteFileW(list.c_str());
    return false;
}

bool CBaseInstallation::IsLocalInstallation() const {
    return Source->RealSource == stLocal;
}

CInstallation::CInstallation() : CStr(std::make_shared<CStringManager>(IsBetaStream)) {}

CInstallation::~CInstallation() = default;

void CInstallation::Main() {
    // Every step puts files into the working folder: one that takes none stops the run before it starts.
    if (!Source->CanWrite()) ReportUnwritableWorkingFolder();
    if (!Aborted) CountAtBitLy();
    if (!Aborted) CheckSetup();
    if (!Aborted) LangID = RequestLanguageList() ? SelectLanguage() : UILanguage;
    if (!Aborted) {
        const std::wstring langFile = L"Lang_" + LangID + L".xml";
        if (AsyncRequest(langFile) && !Aborted) {
            TranslateWindow(Source->baseTemp + langFile);
            MainWindow->page_Prepare();
        }
    }
    if (!Aborted) {
        // After a closed window the abandoned download may still hold the file: no fallback is written then.
        if (!AsyncRequest(L"EULA_" + LangID) && !Aborted) {
            try {
                Source->RequestResource(LangID == L"ru_RU" ? L"EULA_ru_RU" : L"EULA_en_GB");
            } catch (const EStreamError&) {
                // The working folder filled up or was taken away since the run began.
                ReportUnwritableWorkingFolder();
            }
        }
        if (!Aborted) ShowEULA();
    }
    if (!Aborted && !IsLocalInstallation()) {
        MainWindow->page_Prepare();
        CheckDirectX();
    }
    if (!Aborted) {
        MainWindow->HidePage();
        MainWindow->page_FirstChoose(IsLocalInstallation());
        WaitForUser();
    }
    if (Aborted) return;
    if (PageChoice == L"CustomizedInstall") {
        MainWindow->ReadInstallOptions(Options);
        CustomizedInstall();
    } else if (PageChoice == L"MakeInstallNow") {
        MakeLocalInstallation();
    }
}

void CInstallation::TranslateWindow(const std::wstring& FileName) {
    // A language file that cannot be read or applied, or gives none of the texts, is treated as one that did
    // not arrive: the window goes back to its built-in language, also where the broken file had already
    // changed some texts. Lines a file leaves out keep their built-in text.
    try {
        if (MainWindow->TranslateFromFile(FileName) > 0) return;
    } catch (const std::exception&) {
    }
    CTranslator::Work(MainWindow, L"Lang_" + UILanguage, true);
}

void CInstallation::CountAtBitLy() {
    const std::wstring link = IsBetaStream ? ZrxServers::CounterBeta : ZrxServers::CounterMain;
    // Nobody waits for the count: the record is dropped at once and the thread ends by itself.
    StartWorker(L"BitLy", [link] {
        CNetwork::Get(link, nullptr);
        return true;
    });
}

void CInstallation::CheckSetup() {
    // The manifest chooses the source in any case; a setup that an update started does not update again.
    if (RequestXML(L"system.xml") && !StartedBySelfUpdate() && IsNewerSetupAvailable()) {
        UpdateSetup();
        Aborted = true;
    }
    // A closed window already ended the run; the source may still be choosing on the abandoned worker.
    if (Application->Terminated()) return;
    if (IsBetaStream && IsLocalInstallation()) {
        MainWindow->HidePage();
        MainWindow->page_final(false);
        TApplicationHelper::MessageBox(MainWindow->Handle(), L"Zorvex - setup",
                                       L"You can't use BETA setup in local mode.", MB_OK);
        WaitForUser();
        Aborted = true;
    }
    if (!Aborted && IsLocalInstallation() && !FindResourceW(nullptr, MAKEINTRESOURCEW(100), RT_RCDATA)) {
        MainWindow->HidePage();
        MainWindow->page_NoInternet();
        WaitForUser();
        Aborted = true;
    }
}

bool CInstallation::IsNewerSetupAvailable() {
    try {
        TExSimpleXML xml;
        if (!xml.TryLoadXMLFile(Source->baseTemp + L"system.xml")) return false;
        return XMLGetChildInt(xml.Root(), L"version", 0) > SetupVersion;
    } catch (const std::exception&) {
        // A manifest that cannot be read announces nothing.
        return false;
    }
}

void CInstallation::UpdateSetup() {
    MainWindow->HidePage();
    TProgressProc onWorkBegin, onWork;
    TProgressEndProc onWorkEnd;
    MainWindow->page_Install(onWorkBegin, onWork, onWorkEnd);
    const bool arrived = AsyncRequest(L"zrxsetup.exe", onWorkBegin, onWork, onWorkEnd);
    if (Aborted) return;
    // The run ends here whatever happens, so a successor that did not arrive, is no program (a web page, say)
    // or does not start is reported: the setup must not vanish without a word. The message says the files
    // are broken and where the setup can be downloaded.
    const std::wstring downloaded = Source->baseTemp + L"zrxsetup.exe";
    bool started = false;
    if (arrived && IsWindowsProgram(downloaded)) {
        // Into the temporary folder itself, since the working folder goes when this run ends;
        // "ddmmyyyhhmmss" gives day, month, four-digit year, hour, minutes and seconds.
        const std::wstring successor = TApplicationHelper::GetTempDir(false) + L"zrxsetup-" +
                                       FormatDateTime(L"ddmmyyyhhmmss", Now()) + L".exe";
        MoveFileW(downloaded.c_str(), successor.c_str());
        const std::wstring parameters = SelfUpdatedArgument();
        started = (INT_PTR)ShellExecuteW(nullptr, L"Open", successor.c_str(), parameters.c_str(), nullptr,
                                         SW_SHOWNORMAL) > 32;
    }
    if (!started)
        TApplicationHelper::MessageBox(MainWindow->Handle(), MainWindow->IS(35),
                                       MainWindow->IS(36) + L"\r\n" + ZrxServers::ProductSite, MB_ICONERROR);
}

std::wstring CInstallation::SelectLanguage() {
    std::wstring result = UILanguage;
    if (!Aborted) {
        MainWindow->HidePage();
        MainWindow->page_SelectLang();
        WaitForUser();
        result = PageChoice;
    }
    return result;
}

void CInstallation::ShowEULA() {
    MainWindow->HidePage();
    MainWindow->page_EULA();
    WaitForUser();
}

void CInstallation::ReportUnwritableWorkingFolder() {
    MainWindow->HidePage();
    MainWindow->page_final(false);
    TApplicationHelper::MessageBox(MainWindow->Handle(), MainWindow->DialogIS(35),
                                   MainWindow->FormatIS(40, {ExcludeTrailingPathDelimiter(Source->baseTemp)}),
                                   MB_ICONERROR);
    Aborted = true;
}

void CInstallation::CustomizedInstall() {
    MainWindow->HidePage();
    TProgressProc onWorkBegin, onWork;
    TProgressEndProc onWorkEnd;
    MainWindow->page_Install(onWorkBegin, onWork, onWorkEnd);
    // The step log names the package's step until the install worker begins its own log.
    bool havePackage = false;
    if (IsLocalInstallation()) {
        WriteStepLog(StepLogPath(), "Write package", true);
        try {
            Source->RequestResource2(L"zrxsetup.zip", 100);
            havePackage = true;
        } catch (const EStreamError&) {
            // No room in the working folder: the installation fails like one whose package did not arrive.
        }
    } else {
        WriteStepLog(StepLogPath(), "Download zrxsetup.zip", true);
        havePackage = AsyncRequest(L"zrxsetup.zip", onWorkBegin, onWork, onWorkEnd);
    }
    if (Aborted) return;

    const bool installed = havePackage && Install();
    if (Aborted) return;
    // A package that did not arrive, or a failed installation, says so on the cancelled form of the final
    // page rather than vanishing.
    MainWindow->HidePage();
    MainWindow->page_final(installed);
    WaitForUser();
    if (installed && Options.RunAfterInstall)
        ShellExecuteW(nullptr, L"Open", CStr->U(vsRunExe).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
