#include "runtime/Files.h"

#include <windows.h>

#include "runtime/SysUtils.h"

static DWORD Attributes(const std::wstring& Name) {
    return GetFileAttributesW(Name.c_str());
}

bool FileExists(const std::wstring& FileName) {
    DWORD a = Attributes(FileName);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& Directory) {
    DWORD a = Attributes(Directory);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
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
    const std::wstring dir = ExcludeTrailingPathDelimiter(Dir);
    if (dir.empty()) return false;
    if (DirectoryExists(dir)) return true;
    const std::wstring parent = ExcludeTrailingPathDelimiter(ExtractFilePath(dir));
    if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
    // Another process may have made it in the meantime.
    return CreateDir(dir) || DirectoryExists(dir);
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

// Deletes what it can below Dir; what is left makes the folder's own removal fail.
static void DeleteContent(const std::wstring& Dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h =
        FindFirstFileExW((Dir + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = Dir + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(path.c_str(), fd.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) DeleteContent(path);
            RemoveDirectoryW(path.c_str());
        } else
            DeleteFileW(path.c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
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
