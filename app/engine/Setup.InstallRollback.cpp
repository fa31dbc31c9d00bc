#include "app/engine/Setup.InstallRollback.h"

#include <windows.h>

#include "app/engine/Setup.InstallWorker.h"
#include "runtime/Files.h"
#include "runtime/SysUtils.h"

namespace {

const wchar_t* const KeyPath = L"Software\\TlvCorp\\zrx";

bool KeyValueExists(const std::wstring& Name) {
    return RegGetValueW(HKEY_CURRENT_USER, KeyPath, Name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

} // namespace

TInstallRollback::TInstallRollback(const TInstallJob& Job) {
    FFresh = !DirectoryExists(Job.U(vsInstallPath));
    if (!FFresh) return;
    for (TVersionString folder : {vsInstallPath, vsConfigPath, vsProgramsGroup})
        if (!DirectoryExists(Job.U(folder))) FFolders.push_back(Missing(Job.U(folder)));
    if (!KeyValueExists(Job.KeyValueName)) FKeyValueName = Job.KeyValueName;
}

TInstallRollback::TMadeFolder TInstallRollback::Missing(const std::wstring& Folder) {
    TMadeFolder made{ExcludeTrailingPathDelimiter(Folder), {}};
    // Bounded by the path's length: each level is shorter than the one before.
    for (std::wstring level = made.Folder;;) {
        const std::wstring parent = ExcludeTrailingPathDelimiter(ExtractFilePath(level));
        if (parent.empty() || parent.size() >= level.size() || DirectoryExists(parent)) break;
        made.Parents.push_back(parent);
        level = parent;
    }
    return made;
}

void TInstallRollback::Remove(const TMadeFolder& Made) noexcept {
    try {
        TDirectory::Delete(Made.Folder, true);
    } catch (...) {
        // A file in use keeps its folder; the rest is gone.
    }
    // A parent goes only when nothing else is in it: another stream may have made its own folder there
    // meanwhile.
    for (const std::wstring& parent : Made.Parents) RemoveDirectoryW(parent.c_str());
}

void TInstallRollback::Undo() const noexcept {
    for (const TMadeFolder& made : FFolders) Remove(made);
    if (FKeyValueName.empty()) return;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, FKeyValueName.c_str());
    RegCloseKey(key);
}
