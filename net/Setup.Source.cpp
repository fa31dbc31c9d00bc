#include "net/Setup.Source.h"

#include <windows.h>

#include "app/core/System.Application.Extended.h"
#include "net/Setup.Servers.h"
#include "runtime/Files.h"
#include "runtime/Streams.h"

TSource::TSource() {
    baseTemp = TApplicationHelper::GetTempDir(true);
    selfPath = TApplicationHelper::GetExeDir();
    std::wstring stream;
    bUseBetaStream = TApplicationHelper::GetSwitchValue(L"stream", stream) && stream == L"beta";
}

TSource::~TSource() {
    // A file still in use (a started program, say) keeps the folder; a destructor must not raise.
    try {
        TDirectory::Delete(TApplicationHelper::GetTempDir(true), true);
    } catch (const Exception&) {
    }
}

std::wstring TSource::MainServerBase() {
    return std::wstring(ZrxServers::MainServer) + L"/zrx/setup/";
}

std::wstring TSource::MirrorBase() {
    return std::wstring(ZrxServers::MirrorServer) + ZrxServers::MirrorPrefix + L"/zrx/setup/";
}

std::wstring TSource::MirrorBetaBase() {
    return std::wstring(ZrxServers::MirrorServer) + ZrxServers::MirrorPrefix + L"/zrx/setup-beta/";
}

bool TSource::Request(const std::wstring& fName) {
    topRequest = fName;
    topAddress.clear();
    const bool result = Choose(fName);
    if (result) topAddress = baseURL + fName;
    return result;
}

// One file from the source already chosen, or, on the first request, from the first source that has it.
bool TSource::Choose(const std::wstring& fName) {
    if (RealSource != stUnknown) return Fetch(fName);

    RealSource = stWebServer;
    bool result;
    if (bUseBetaStream) {
        baseURL = MirrorBetaBase();
        result = Fetch(fName);
    } else {
        baseURL = MainServerBase();
        result = Fetch(fName);
        if (!result) {
            baseURL = MirrorBase();
            result = Fetch(fName);
        }
    }
    if (!result) {
        RealSource = stLocal;
        baseURL = selfPath;
        result = Fetch(fName);
    }
    return result;
}

// One file from the source already chosen.
bool TSource::Fetch(const std::wstring& fName) {
    // A cancelled run tries no further source.
    if (FCancellation->Cancelled()) return false;
    const std::wstring target = baseTemp + fName;
    if (RealSource == stWebServer) return CNetwork::Download(baseURL + fName, target, FCancellation);

    // A file beside the program is taken on the terms of a download without progress: one larger than any
    // real manifest, language file or licence counts as missing, and never reaches a parser.
    const std::wstring local = baseURL + fName;
    WIN32_FILE_ATTRIBUTE_DATA data;
    bool result = GetFileAttributesExW(local.c_str(), GetFileExInfoStandard, &data) &&
                  !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                  ((int64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow) <= CNetwork::SmallFileMaximum &&
                  CopyFileW(local.c_str(), target.c_str(), FALSE);
    if (!result && FileExists(target)) TFile::Delete(target);
    return result;
}

bool TSource::Request(const std::wstring& fName, TProgressProc onWorkBegin, TProgressProc onWork,
                      TProgressEndProc onWorkEnd) {
    CNetwork network(std::move(onWorkBegin), std::move(onWork), std::move(onWorkEnd), FCancellation);
    return network.SyncDownload(baseURL + fName, baseTemp + fName);
}

bool TSource::CanWrite() const {
    return TApplicationHelper::CanWriteInto(baseTemp);
}

void TSource::RequestResource(const std::wstring& fName) {
    topRequest = fName;
    topAddress.clear();
    TResourceStream resource(HInstance(), fName, MAKEINTRESOURCEW(10));
    SaveResource(fName, resource);
}

void TSource::RequestResource2(const std::wstring& fName, int ResID) {
    topRequest = fName;
    topAddress.clear();
    TResourceStream resource(HInstance(), ResID, MAKEINTRESOURCEW(10));
    SaveResource(fName, resource);
}

void TSource::SaveResource(const std::wstring& fName, TResourceStream& Resource) {
    try {
        TFileStream file(baseTemp + fName, fmCreate);
        file.CopyFrom(&Resource, 0);
    } catch (const EStreamError&) {
        // A file cut short by a full disk is no file of that name.
        DeleteFileW((baseTemp + fName).c_str());
        throw;
    }
}
