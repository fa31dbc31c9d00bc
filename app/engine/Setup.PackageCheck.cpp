#include "app/engine/Setup.PackageCheck.h"

#include <windows.h>

#include <algorithm>

#include "runtime/Files.h"
#include "runtime/SysUtils.h"
#include "zip/Common.ZipIO.h"

namespace {

constexpr int64_t Cluster = 4096;
constexpr int64_t FixedMargin = 16 << 20;

} // namespace

int64_t PackageSpaceNeeded(TOxZip& Zip) {
    int64_t total = 0;
    TOxZipEntries* entries = Zip.Entries();
    for (int i = 0; i < entries->Count(); ++i) {
        // Folders take a directory entry, files their declared size in whole clusters; an entry may not be
        // trusted to be as small as its data.
        const int64_t size = entries->Items(i)->IsFolder() ? 0 : entries->Items(i)->SizeUncompressed();
        total += (size + Cluster - 1) / Cluster * Cluster;
    }
    return total + total / 32 + FixedMargin;
}

int64_t FreeSpaceAt(const std::wstring& Folder) {
    // The install folder does not exist before a first installation: its drive is that of the nearest
    // parent that does.
    std::wstring existing = Folder;
    while (!DirectoryExists(existing)) {
        const std::wstring parent = ExtractFilePath(ExcludeTrailingPathDelimiter(existing));
        // Each round is shorter, and a path with no parent left ends the search.
        if (parent.empty() || parent.size() >= existing.size()) return -1;
        existing = parent;
    }
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(existing.c_str(), &available, nullptr, nullptr)) return -1;
    return (int64_t)std::min<ULONGLONG>(available.QuadPart, INT64_MAX);
}

void CheckPackage(TOxZip& Zip, const std::wstring& InstallPath, const std::wstring& RunExe) {
    // The tool's path below the install folder, as the package names its files (backslashes).
    if (RunExe.size() > InstallPath.size() && SameText(RunExe.substr(0, InstallPath.size()), InstallPath)) {
        const std::wstring tool = RunExe.substr(InstallPath.size());
        TStringList* names = Zip.FileNames();
        bool found = false;
        for (int i = 0; i < names->Count() && !found; ++i)
            found = !Zip.Entries()->Items(i)->IsFolder() && SameText(names->Get(i), tool);
        if (!found) throw Exception(L"The package holds no \"" + tool + L"\"");
    }
    const int64_t free = FreeSpaceAt(InstallPath);
    // A drive that cannot tell its free space is given the benefit of the doubt: writing still fails cleanly.
    if (free >= 0 && PackageSpaceNeeded(Zip) > free) RaiseLastOSError(ERROR_DISK_FULL);
}
