#include "app/engine/Setup.InstallWorker.h"

#include <windows.h>

#include <objbase.h>

#include "app/Setup.Application.h"
#include "app/Tlv.Code.Components.VirtualStringList.h"
#include "app/core/System.Application.Extended.h"
#include "app/engine/Setup.InstallRollback.h"
#include "app/engine/Setup.Installation.h"
#include "app/engine/Setup.StepLog.h"
#include "app/engine/Setup.PackageCheck.h"
#include "app/engine/Setup.Worker.h"
#include "app/ui/ui.window.main.h"
#include "net/Setup.Servers.h"
#include "net/Setup.Source.h"
#include "runtime/Files.h"
#include "runtime/Streams.h"
#include "runtime/SysUtils.h"
#include "runtime/gui/Application.h"
#include "xml/ExSimpleXMLUnit.h"
#include "zip/Common.ZipIO.h"

namespace {

// The package's names and folders go to the ZIP component in the system ANSI code page.
AnsiString ToAnsi(const std::wstring& S) {
    if (S.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, S.data(), (int)S.size(), nullptr, 0, nullptr, nullptr);
    AnsiString out(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, S.data(), (int)S.size(), out.data(), n, nullptr, nullptr);
    return out;
}

void Log(const TInstallJob& Job, const char* Line, bool First = false) {
    WriteStepLog(Job.FInstallLog, Line, First);
}

void Unzip(const TInstallJob& Job) {
    TOxZip zip(nullptr);
    zip.Open(ToAnsi(Job.PackageFile));
    // The component opens a file that is no archive without complaint and stays closed: that is a broken
    // package, not an installation with nothing in it.
    if (!zip.IsZipFile()) throw Exception(L"\"" + Job.PackageFile + L"\" is not a ZIP archive");
    CheckPackage(zip, Job.U(vsInstallPath), Job.U(vsRunExe));
    zip.SetCancelFlag(Job.Cancelled.get());
    zip.SetOverwriteAction(oaOverwriteAll);
    zip.ExtractAll(ToAnsi(Job.U(vsInstallPath)));
    zip.Close();
}

// The caption of link Index as a file name. The captions come from a language file that may have been
// downloaded: one that is missing raises the list's index error like any other read of the list, and one
// that is not a plain file name (a path, or a name Windows refuses) makes no link, so no link can be
// written outside its folder.
bool LinkName(const TInstallJob& Job, int Index, std::wstring& Name) {
    if (Index >= (int)Job.Shortcuts.size())
        throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
    Name = Job.Shortcuts[Index];
    if (Name.empty()) return false;
    for (wchar_t c : Name)
        if (c < L' ' || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
    return true;
}

// A file the installation replaces may carry the read-only attribute (a package entry, or a file made so by
// hand): Windows then refuses to overwrite or delete it, and every later installation would fail as well.
void MakeWritable(const std::wstring& FileName) {
    const DWORD attributes = GetFileAttributesW(FileName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(FileName.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// No real "Core.xml" comes near this; a bigger one would cost memory in proportion when parsed.
constexpr int64_t MaxCoreXmlSize = 4 << 20;

// Nothing but a byte-order mark and white space, if that.
bool IsBlank(const std::wstring& FileName) {
    TMemoryStream data;
    data.LoadFromFile(FileName);
    const auto* p = static_cast<const uint8_t*>(data.Memory());
    const size_t n = (size_t)data.Size();
    size_t i = 0;
    bool wide = false;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        i = 3;
    else if (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF)))
        i = 2, wide = true;
    for (; i < n; ++i)
        if (!(p[i] == ' ' || p[i] == '\t' || p[i] == '\r' || p[i] == '\n' || (wide && p[i] == 0)))
            return false;
    return true;
}

// A loaded file with no element is empty when it holds only a header and comments, or nothing at all.
bool HoldsNoSettings(TExSimpleXML& Xml, const std::wstring& FileName) {
    if (Xml.Root()->ItemCount() > 0 || Xml.Root()->PropertyCount() > 0) return false;
    for (TKitSimpleXMLElem* node : *Xml.Prolog())
        if (!dynamic_cast<TKitSimpleXMLElemHeader*>(node) && !dynamic_cast<TKitSimpleXMLElemComment*>(node))
            return false;
    // With no node at all, the text may also have decoded to nothing: only the bytes tell.
    return Xml.Prolog()->Count() > 0 || IsBlank(FileName);
}

void StopWhenCancelled(const TInstallJob& Job) {
    if (*Job.Cancelled) throw EAbort();
}

void MakeGroupLink(const TInstallJob& Job, int Index, const std::wstring& Target, const std::wstring& Param) {
    std::wstring name;
    if (LinkName(Job, Index, name))
        CSetupCore::CreateLink(Target, Job.U(vsProgramsGroup) + name + L".lnk", L"", Param);
}

} // namespace

void TInstallJob::SetPaths(const CStringManager& CStr) {
    for (int i = 0; i < (int)Paths.size(); ++i) Paths[i] = CStr.U(TVersionString(i));
}

bool CInstallation::Install() {
    TInstallJob job;
    job.SetPaths(*CStr);
    job.PackageFile = Source->baseTemp + L"zrxsetup.zip";
    job.LangID = LangID;
    job.Options = Options;
    job.KeyValueName = IsBetaStream ? L"key-beta" : L"key";
    job.ProductSite = ZrxServers::ProductSite;
    for (int i = 0; i < MainWindow->Shortcuts->Lines()->Count(); ++i)
        job.Shortcuts.push_back((*MainWindow->Shortcuts->Lines())[i]);
    job.LInstallerExeName = Application->ExeName();
    job.gReleaseNumber = GetBuildNumber();
    job.FInstallLog = StepLogPath();
    if (FileExists(job.FInstallLog)) TFile::Delete(job.FInstallLog);
    // The worker gets its own copy of the job: it may outlive this engine when the window is closed.
    const auto record = StartWorker(L"Installing", [job] { return InstallWorker(job); });
    const bool installed = WaitForWorker(*record, wwStopOnTerminate);
    if (Aborted && !record->done) {
        // The window is gone. The worker stops within a block of data and takes back what it made; the run
        // waits for that (bounded) so that the package is closed when the working folder goes.
        *job.Cancelled = true;
        WaitForWorkerEnd(*record, 60000);
    }
    return installed;
}

namespace {

void InstallSteps(const TInstallJob& Job) {
    Log(Job, "ForceDirectories");
    ForceDirectories(Job.U(vsInstallPath));
    ForceDirectories(Job.U(vsConfigPath));
    StopWhenCancelled(Job);

    Log(Job, "Unzip");
    Unzip(Job);
    Log(Job, "Unzip - Done");
    StopWhenCancelled(Job);

    Log(Job, "Copy uninstall");
    MakeWritable(Job.U(vsUninstallTool));
    if (FileExists(Job.U(vsUninstallTool))) TFile::Delete(Job.U(vsUninstallTool));
    TFile::Copy(Job.LInstallerExeName, Job.U(vsUninstallTool), true);
    StopWhenCancelled(Job);

    Log(Job, "Make Core XML");
    MakeCoreXML(Job, Job.U(vsAppCoreXML), Job.U(vsInstallPath), Job.gReleaseNumber);
    Sleep(0);
    StopWhenCancelled(Job);

    Log(Job, "Make Config XML");
    MakeConfigXML(Job, Job.U(vsAppConfigXML), Job.U(vsInstallPath));
    Sleep(0);
    StopWhenCancelled(Job);

    Log(Job, "Create Links");
    CreateProgramsGroupLinks(Job);
    CreateDesktopLink(Job);
    PinToTaskbar(Job);

    Log(Job, "Done");
}

} // namespace

bool InstallWorker(const TInstallJob& Job) {
    Log(Job, "Initialize", true);
    TComScope com; // for the shell links, as long as the worker runs (also when a step raises)
    // Noted before anything is made: a failed first installation leaves nothing that looks installed.
    const TInstallRollback rollback(Job);
    try {
        InstallSteps(Job);
    } catch (...) {
        rollback.Undo();
        throw;
    }
    return true;
}

std::wstring MakeCoreXML(const TInstallJob& Job, const std::wstring& FileName,
                         const std::wstring& InstallPath, int64_t ReleaseNumber) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(FileName.c_str(), GetFileExInfoStandard, &data) &&
        ((int64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow) > MaxCoreXmlSize)
        throw Exception(L"\"" + FileName + L"\" is too large");
    TExSimpleXML xml;
    if (xml.LoadXMLFile(FileName) && xml.Root()->Name().empty()) {
        // A file that yields no element, in an encoding that cannot be decoded or as no XML at all, would be
        // saved as its header and the number alone: the tool's settings would be lost and the installation
        // reported done. An empty one (white space at most, or only a header and comments) holds no settings
        // to lose: it gets the document of a package that brings none.
        if (!HoldsNoSettings(xml, FileName)) throw Exception(L"\"" + FileName + L"\" cannot be read");
        xml.Prolog()->Clear();
        xml.Prolog()->SetEncoding(L"UTF-8");
        xml.SetEncoding(seUTF8);
    }
    MakeWritable(FileName);
    XMLSetProp(xml.Root(), L"path", InstallPath);
    const std::wstring key = WriteInstallKey(Job);
    XMLSetProp(xml.Root(), L"key", key);
    xml.WriteValue(L"number", {}, ReleaseNumber);
    xml.SaveXMLFile(seAuto);
    return key;
}

void MakeConfigXML(const TInstallJob& Job, const std::wstring& FileName, const std::wstring& InstallPath) {
    TExSimpleXML xml;
    xml.Root()->SetName(L"zrx");
    XMLSetProp(xml.Root(), L"path", InstallPath);
    xml.WriteValue(L"lang", {L"global"}, Job.LangID);
    xml.WriteValue(L"workmode", {L"global"}, L"1");
    xml.WriteValue(L"eula", {L"global"}, L"True");
    MakeWritable(FileName);
    xml.SaveToFile(FileName, seAuto, 0);
}

std::wstring WriteInstallKey(const TInstallJob& Job) {
    GUID guid;
    HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr)) RaiseLastOSError(hr);
    const std::wstring key = GUIDToString(guid);
    HKEY reg = nullptr;
    LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TlvCorp\\zrx", 0, nullptr, 0, KEY_SET_VALUE,
                                 nullptr, &reg, nullptr);
    // A key that cannot be opened must not send the value anywhere else: the installation stops here.
    if (rc != ERROR_SUCCESS) throw ERegistryException(L"Failed to create key Software\\TlvCorp\\zrx");
    rc = RegSetValueExW(reg, Job.KeyValueName.c_str(), 0, REG_SZ, (const BYTE*)key.c_str(),
                        DWORD((key.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(reg);
    if (rc != ERROR_SUCCESS) throw ERegistryException(L"Failed to set data for '" + Job.KeyValueName + L"'");
    return key;
}

void CreateProgramsGroupLinks(const TInstallJob& Job) {
    ForceDirectories(Job.U(vsProgramsGroup));
    MakeGroupLink(Job, 0, Job.U(vsRunExe), L"");
    MakeGroupLink(Job, 1, Job.U(vsUninstallTool), L"-uninstall");
    MakeGroupLink(Job, 2, Job.ProductSite, L"");
    MakeGroupLink(Job, 3, Job.U(vsCommandLineTxt), L"");
}

void CreateDesktopLink(const TInstallJob& Job) {
    if (Job.Options.CreateDesktopIcon)
        CSetupCore::CreateLink(Job.U(vsRunExe), Job.U(vsDesktopLink), L"", L"");
}

void PinToTaskbar(const TInstallJob&) {}
