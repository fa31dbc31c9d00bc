// Files and folders by name: existence, creation, deletion, copying, and the parts of a path.
#pragma once
#include <string>
#include <string_view>

#include "runtime/Exceptions.h"

// A file (not a folder) of that name exists.
bool FileExists(const std::wstring& FileName);
bool DirectoryExists(const std::wstring& Directory);
// One folder whose parent exists; False when it cannot be made (or is there already).
bool CreateDir(const std::wstring& Dir);
// An empty folder.
bool RemoveDir(const std::wstring& Dir);
// One file (named so that it does not meet the system's DeleteFile macro).
bool RemoveFile(const std::wstring& FileName);
// The longest path, in UTF-16 code units, that Windows accepts.
constexpr size_t MaxPathLength = 32767;

// Makes the folder and every missing parent; True when the folder exists afterwards.
// An empty name, or one longer than MaxPathLength, gives False.
bool ForceDirectories(std::wstring_view Dir);

// Up to and including the last backslash or colon.
std::wstring ExtractFilePath(std::wstring_view FileName);
// What follows the last backslash or colon.
std::wstring ExtractFileName(std::wstring_view FileName);
// From the last dot of the name on ("" without one).
std::wstring ExtractFileExt(std::wstring_view FileName);

struct TFile {
    // Raises EInOutError with the system's reason, also when Dest exists and Overwrite is False.
    static void Copy(const std::wstring& Source, const std::wstring& Dest, bool Overwrite = false);
    // A missing file is no error; one that cannot be deleted (in use, say) raises EInOutError.
    static void Delete(const std::wstring& FileName);
    static bool Exists(const std::wstring& FileName) { return FileExists(FileName); }
};

struct TDirectory {
    // With Recursive, the content first: read-only files too; linked folders are unlinked, never entered.
    // A missing folder is no error; one that is left behind raises EInOutError with the system's reason.
    static void Delete(const std::wstring& Path, bool Recursive = false);
    static bool Exists(const std::wstring& Path) { return DirectoryExists(Path); }
    // The folder with every missing parent; raises EInOutError when it cannot be made.
    // Callable whether or not the system's CreateDirectory macro is in effect at the call.
#pragma push_macro("CreateDirectory")
#undef CreateDirectory
    static void CreateDirectory(const std::wstring& Path);
    static void CreateDirectoryW(const std::wstring& Path) {
        CreateDirectory(Path);
    }
#pragma pop_macro("CreateDirectory")
};
