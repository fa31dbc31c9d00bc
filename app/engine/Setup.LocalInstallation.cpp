#include "app/engine/Setup.LocalInstallation.h"

#include <memory>

#include "app/Setup.Application.h"
#include "app/engine/Setup.DirectX.h"
#include "app/engine/Setup.Installation.h"
#include "app/engine/Setup.Worker.h"
#include "app/ui/ui.window.main.h"
#include "net/Setup.Source.h"
#include "runtime/Files.h"
#include "runtime/Streams.h"
#include "runtime/gui/Application.h"
#include "xml/ExSimpleXMLUnit.h"

namespace {
std::wstring Quoted(const std::wstring& Path) {
    return L"\"" + Path + L"\"";
}

void StopWhenCancelled(const TLocalInstallationJob& Job) {
    if (Job.Cancelled) throw EAbort();
}
} // namespace

void RunUpxDecompress(const std::wstring& UpxPath, const std::wstring& QuotedFile, SHELLEXECUTEINFOW& Info) {
    const std::wstring parameters = L"-d -q " + QuotedFile;
    StartProcess(UpxPath, parameters, SW_HIDE, Info);
    // The strings go with this call; only the process handle is used afterwards.
    Info.lpFile = Info.lpParameters = nullptr;
}

void RunUpxAndWait(const std::wstring& UpxPath, const std::wstring& QuotedFile) {
    SHELLEXECUTEINFOW info;
    RunUpxDecompress(UpxPath, QuotedFile, info);
    Sleep(5000);
    DWORD code;
    while (GetExitCodeProcess(info.hProcess, &code) && code == STILL_ACTIVE) Sleep(1000);
    if (info.hProcess) CloseHandle(info.hProcess);
}

void AddFileAsResource(HANDLE Update, const std::wstring& FileName, int ResId) {
    TMemoryStream data;
    data.LoadFromFile(FileName);
    data.SetPosition(0);
    // A resource holds at most 4 GB; a larger file must not be cut short silently.
    if (data.Size() > MAXDWORD) RaiseLastOSError(ERROR_FILE_TOO_LARGE);
    if (!UpdateResourceW(Update, RT_RCDATA, MAKEINTRESOURCEW(ResId), 0, data.Memory(), (DWORD)data.Size()))
        RaiseLastOSError();
}

void EmbedSetupResources(const std::wstring& SetupFile, const std::wstring& ZipFile,
                         const std::wstring& ManifestFile) {
    HANDLE update = BeginUpdateResourceW(SetupFile.c_str(), FALSE);
    try {
        AddFileAsResource(update, ZipFile, PackageResourceId);
        AddFileAsResource(update, ManifestFile, ManifestResourceId);
    } catch (...) {
        if (update) EndUpdateResourceW(update, TRUE);
        throw;
    }
    // A setup whose resources were not written would look finished but could not install.
    if (!EndUpdateResourceW(update, FALSE)) RaiseLastOSError();
}

void MakeLocalInstallationWorker(const TLocalInstallationJob& Job) {
    const std::wstring target = Job.WorkPath + LocalSetupName;
    // A file in use raises here, before anything of ours is written, and stays as it is.
    TFile::Delete(target);
    try {
        TFile::Copy(Job.CurrentExe, target, true);
        StopWhenCancelled(Job);
        RunUpxAndWait(Job.UpxPath, Quoted(target));
        StopWhenCancelled(Job);
        EmbedSetupResources(target, Job.CurrentZip, Job.SystemXML);
    } catch (...) {
        // Half a setup would look like a whole one on the other computer.
        RemoveFile(target);
        throw;
    }
}

void CInstallation::MakeLocalInstallation() {
    auto job = std::make_shared<TLocalInstallationJob>();
    TProgressProc onWorkBegin, onWork;
    TProgressEndProc onWorkEnd;
    job->WorkPath = MainWindow->page_MakeLocalInstallation2(onWorkBegin, onWork, onWorkEnd);
    job->CurrentExe = Application->ExeName();
    // The run ends as a failed installation does: the progress page had disabled the button that now leaves
    // the final page.
    auto failed = [] {
        MainWindow->HidePage();
        MainWindow->page_final(false);
        MainWindow->btnNext->SetEnabled(true);
        WaitForUser();
    };
    const bool arrived = AsyncRequest(L"zrxsetup.zip", onWorkBegin, onWork, onWorkEnd) && !Aborted &&
                         AsyncRequest(L"upx.exe", onWorkBegin, onWork, onWorkEnd);
    if (Aborted) return;
    if (!arrived) return failed();
    job->CurrentZip = Source->baseTemp + L"zrxsetup.zip";
    job->UpxPath = Source->baseTemp + L"upx.exe";
    job->SystemXML = Source->baseTemp + L"system.xml";

    auto record = StartWorker(L"Making", [job] {
        MakeLocalInstallationWorker(*job);
        return true;
    });
    if (!WaitForWorker(*record, wwStopOnTerminate)) {
        if (Aborted) {
            // The window is gone. The worker stops at its next step and removes its half-made file; the
            // process waits for that (bounded, should the unpacker hang) before the working folder goes.
            job->Cancelled = true;
            WaitForWorkerEnd(*record, 60000);
            return;
        }
        // The worker failed.
        return failed();
    }
    MainWindow->page_MakeLocalInstallation3();
    WaitForUser();
    const std::wstring parameters = L"/e, /select, " + Quoted(job->WorkPath + LocalSetupName);
    ShellExecuteW(nullptr, L"Open", L"EXPLORER.EXE", parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

int CInstallation::GetBuildNumber() {
    const std::wstring manifest = Source->baseTemp + L"system.xml";
    const bool local = IsLocalInstallation();
    if (local) Source->RequestResource2(L"system.xml", ManifestResourceId);
    int number;
    {
        TExSimpleXML xml;
        xml.TryLoadXMLFile(manifest);
        number = XMLGetChildInt(xml.Root(), L"number", 0);
    }
    if (local) TFile::Delete(manifest);
    return number;
}
