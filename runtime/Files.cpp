#include "runtime/Files.h"

#include <vector>
#include <windows.h>

#include "runtime/SysUtils.h"

static DWORD Attributes(const std::wstring& Name) {
    return GetFileAttributesW(Name.c_str());
}

static bool IsFolder(const wchar_t* Name) {
    const DWORD a = GetFileAttributesW(Name);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::wstring& FileName) {
    DWORD a = Attributes(FileName);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& Directory) {
    return IsFolder(Directory.c_str());
}

bool CreateDir(const std::wstring& Dir) {
    return CreateDirectoryW(Dir.c_str(), nullptr);
}
bool RemoveDir(const std::wstring& Dir) {
    return RemoveDirectoryW(Dir.c_str());
}
bool RemoveFile(const std::wstring& FileName) {
    return DeleteFileW(FileName.c_str());
}

bool ForceDirectories(std::wstring_view Dir) {
    std::wstring dir = ExcludeTrailingPathDelimiter(Dir);
    // Longer than any path Windows accepts: nothing to try, and the walk below stays short.
    if (dir.empty() || dir.size() > MaxPathLength) return false;
    if (DirectoryExists(dir)) return true;
    // Up to the deepest folder that exists, then down again making each one: a loop, not a call per level, so
    // a path of thousands of levels from an archive cannot exhaust the stack. Each level is tested in place
    // by cutting the name with a NUL.
    std::vector<size_t> missing{dir.size()}; // ends of the folders to make, deepest first
    for (size_t end = dir.size();;) {
        const size_t cut = dir.find_last_of(L"\\:", end - 1);
        if (cut == std::wstring::npos) break;
        const size_t parent = dir[cut] == L'\\' ? cut : cut + 1; // "C:" keeps its colon
        if (parent == 0 || parent >= end) break;
        const wchar_t kept = dir[parent];
        dir[parent] = L'\0';
        const bool exists = IsFolder(dir.c_str());
        dir[parent] = kept;
        if (exists) break;
        missing.push_back(end = parent);
    }
    for (auto end = missing.rbegin(); end != missing.rend(); ++end) {
        const wchar_t kept = dir[*end];
        dir[*end] = L'\0';
        // Another process may have made it in the meantime.
        const bool made = CreateDirectoryW(dir.c_str(), nullptr) || IsFolder(dir.c_str());
        dir[*end] = kept;
        if (!made) return false;
    }
    return true;
}

static size_t LastDelimiter(std::wstring_view S, std::wstring_view Delimiters) {
    return S.find_last_of(Delimiters);
}

std::wstring ExtractFilePath(std::wstring_view FileName) {
    size_t i = LastDelimiter(FileName, L"\\:");
    return std::wstring(i == std::wstring_view::npos ? std::wstring_view() : FileName.substr(0, i + 1));
}

std::wstring ExtractFileName(std::wstring_view FileName) {
    size_t i = LastDelimiter(FileName, L"\\:");
    return std::wstring(i == std::wstring_view::npos ? FileName : FileName.substr(i + 1));
}

std::wstring ExtractFileExt(std::wstring_view FileName) {
    size_t i = LastDelimiter(FileName, L".\\:");
    if (i == std::wstring_view::npos || FileName[i] != L'.') return {};
    return std::wstring(FileName.substr(i));
}

[[noreturn]] static void RaiseInOut(DWORD Error) {
    throw EInOutError(SysErrorMessage(Error));
}

void TFile::Copy(const std::wstring& Source, const std::wstring& Dest, bool Overwrite) {
    if (!CopyFileW(Source.c_str(), Dest.c_str(), !Overwrite)) RaiseInOut(GetLastError());
}

void TFile::Delete(const std::wstring& FileName) {
    if (DeleteFileW(FileName.c_str())) return;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) RaiseInOut(error);
}

// Deletes what it can below Dir; what is left makes the folder's own removal fail. A list of folders instead
// of a call per level: an archive can leave folders thousands of levels deep.
static void DeleteContent(const std::wstring& Dir) {
    std::vector<std::wstring> pending{Dir}, found; // a folder is found after its parent, so removed before it
    while (!pending.empty()) {
        const std::wstring dir = std::move(pending.back());
        pending.pop_back();
        WIN32_FIND_DATAW fd;
        HANDLE h =
            FindFirstFileExW((dir + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
        if (h == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesW(path.c_str(), fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(path.c_str());
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                RemoveDirectoryW(path.c_str()); // unlinked, never entered
            else {
                pending.push_back(path);
                found.push_back(std::move(path));
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    for (auto dir = found.rbegin(); dir != found.rend(); ++dir) RemoveDirectoryW(dir->c_str());
}

void TDirectory::Delete(const std::wstring& Path, bool Recursive) {
    const std::wstring dir = ExcludeTrailingPathDelimiter(Path);
    if (!DirectoryExists(dir)) return;
    if (Recursive) DeleteContent(dir);
    if (!RemoveDirectoryW(dir.c_str())) RaiseInOut(GetLastError());
}

#pragma push_macro("CreateDirectory")
#undef CreateDirectory
void TDirectory::CreateDirectory(const std::wstring& Path) {
    if (!ForceDirectories(Path)) throw EInOutError(L"Unable to create directory " + Path);
}
#pragma pop_macro("CreateDirectory")
