// Making a local installation: a copy of the running setup, unpacked by the UPX packer, that carries the
// package and the manifest as resources, so that a computer without Internet can be set up from it.
#pragma once
#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <string>

// The name of the local setup in the folder that the user chose.
inline constexpr wchar_t LocalSetupName[] = L"ZorvexSetup.exe";
// The resource ids of the embedded package and manifest (RCDATA, language neutral).
inline constexpr int PackageResourceId = 100;
inline constexpr int ManifestResourceId = 200;

// What the worker that makes the local setup works on; shared by the main thread and the worker.
struct TLocalInstallationJob {
    std::wstring WorkPath;   // the target folder, ending with a backslash
    std::wstring CurrentExe; // the running setup
    std::wstring CurrentZip; // the downloaded package
    std::wstring UpxPath;    // the downloaded unpacker
    std::wstring SystemXML;  // the downloaded manifest
    // Set by the main thread when the window was closed: the worker stops at its next step.
    std::atomic<bool> Cancelled{false};
};

// Writes WorkPath + LocalSetupName: the running setup copied, unpacked and given the package and the
// manifest. An earlier file of that name is replaced. Raises on any failure (also when cancelled), after
// removing what it had begun to write; a file that could not be deleted beforehand is left as it was.
void MakeLocalInstallationWorker(const TLocalInstallationJob& Job);

// Starts the unpacker hidden on QuotedFile (a path in double quotes) with "-d -q", keeping its process
// handle in Info (empty when it did not start).
void RunUpxDecompress(const std::wstring& UpxPath, const std::wstring& QuotedFile, SHELLEXECUTEINFOW& Info);
// Starts the unpacker, gives it five seconds, then looks every second until it has ended. Its exit code is
// not looked at: a file that was not packed stays as it is.
void RunUpxAndWait(const std::wstring& UpxPath, const std::wstring& QuotedFile);
// Adds the package as RCDATA 100 and the manifest as RCDATA 200 to SetupFile; its other resources remain.
// Raises EOSError when the file cannot be updated.
void EmbedSetupResources(const std::wstring& SetupFile, const std::wstring& ZipFile,
                         const std::wstring& ManifestFile);
// One RCDATA resource ResId (language neutral) holding the bytes of FileName, in a pending resource update.
void AddFileAsResource(HANDLE Update, const std::wstring& FileName, int ResId);
