#include "app/core/System.Application.Extended.h"

#include <shlobj.h>

#include <vector>

#include "runtime/Exceptions.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"

namespace {
// Filled on first use and kept for the run (main thread only).
std::wstring CachedExeDir;
std::wstring CachedTempPath;

// The program's arguments after its own name: split at white space (any character up to the blank), double
// quotes grouping and removed. No argument is ever empty.
std::vector<std::wstring> Arguments() {
    const wchar_t* p = GetCommandLineW();
    std::vector<std::wstring> args;
    for (;;) {
        while (*p && *p <= L' ') ++p;
        if (!*p) break;
        std::wstring arg;
        while (*p > L' ') {
            if (*p == L'"') {
                ++p;
                while (*p && *p != L'"') arg += *p++;
                if (*p) ++p;
            } else
                arg += *p++;
        }
        if (!arg.empty()) args.push_back(std::move(arg));
    }
    if (!args.empty()) args.erase(args.begin()); // the program itself
    return args;
}

// A name as the switch comparison sees it: ASCII letters lower-cased, then in the system ANSI code page.
std::string SwitchKey(const std::wstring& Name) {
    std::wstring lower = Name;
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z') c += L'a' - L'A';
    if (lower.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, lower.data(), (int)lower.size(), nullptr, 0, nullptr, nullptr);
    std::string ansi(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, lower.data(), (int)lower.size(), ansi.data(), n, nullptr, nullptr);
    return ansi;
}

// The first switch whose name (cut at Separator) is Name; its rest after the separator goes to Value.
bool FindSwitch(const std::wstring& Name, wchar_t Separator, std::wstring* Value) {
    const std::string key = SwitchKey(Name);
    for (const std::wstring& arg : Arguments()) {
        if (arg[0] != L'-' && arg[0] != L'/') continue;
        std::wstring rest = arg.substr(1);
        size_t cut = rest.find(Separator);
        if (SwitchKey(rest.substr(0, cut)) != key) continue;
        if (Value) *Value = cut == std::wstring::npos ? std::wstring() : rest.substr(cut + 1);
        return true;
    }
    return false;
}

std::wstring BrowseMemoryKey() {
    std::wstring exe = Application->ExeName();
    return L"Software\\Shell\\" + exe.substr(exe.find_last_of(L"\\/:") + 1) + L"\\BrowseForFolder\\";
}

std::wstring ReadRememberedFolder(const std::wstring& DialogId) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, BrowseMemoryKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    DWORD type = 0, size = 0;
    LSTATUS rc = RegQueryValueExW(key, DialogId.c_str(), nullptr, &type, nullptr, &size);
    std::wstring value;
    if (rc == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) {
        RegCloseKey(key);
        throw ERegistryException(L"Invalid data type for '" + DialogId + L"'");
    }
    if (rc == ERROR_SUCCESS && size >= sizeof(wchar_t)) {
        value.resize(size / sizeof(wchar_t));
        rc = RegQueryValueExW(key, DialogId.c_str(), nullptr, &type, (BYTE*)value.data(), &size);
        value.resize(rc == ERROR_SUCCESS ? wcsnlen(value.c_str(), size / sizeof(wchar_t)) : 0);
    }
    RegCloseKey(key);
    return value;
}

void RememberFolder(const std::wstring& DialogId, const std::wstring& Folder) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, BrowseMemoryKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    LSTATUS rc = RegSetValueExW(key, DialogId.c_str(), 0, REG_SZ, (const BYTE*)Folder.c_str(),
                                DWORD((Folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) throw ERegistryException(L"Failed to set data for '" + DialogId + L"'");
}

int CALLBACK BrowseCallback(HWND Dialog, UINT Msg, LPARAM, LPARAM Data) {
    if (Msg == BFFM_INITIALIZED && Data) SendMessageW(Dialog, BFFM_SETSELECTIONW, TRUE, Data);
    return 0;
}

// The item list of a folder's display name, parsed by the desktop folder; none when it cannot be parsed.
PIDLIST_ABSOLUTE ParseFolder(const std::wstring& Path) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
    PIDLIST_RELATIVE item = nullptr;
    std::wstring name = Path;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &item, nullptr)))
        item = nullptr;
    desktop->Release();
    return (PIDLIST_ABSOLUTE)item;
}
} // namespace

std::wstring TApplicationHelper::GetSystemTempPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n = GetTempPathW((DWORD)buffer.size(), buffer.data());
    if (n > buffer.size()) { // longer than the buffer: the call reports the size it needs
        buffer.resize(n);
        n = GetTempPathW((DWORD)buffer.size(), buffer.data());
    }
    buffer.resize(n <= buffer.size() ? n : 0);
    return buffer;
}

bool TApplicationHelper::CanWriteInto(const std::wstring& Folder) {
    const HANDLE f =
        CreateFileW((Folder + L"~write-test.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    const char byte = 0;
    DWORD written = 0;
    const bool result = WriteFile(f, &byte, 1, &written, nullptr) && written == 1 && FlushFileBuffers(f);
    CloseHandle(f);
    return result;
}

std::wstring TApplicationHelper::GetTempDir(bool CreateSubDir) {
    if (CachedTempPath.empty()) {
        // The working folder in it is deleted with all its content at the end: a path that is not a full one
        // (none at all, when the system finds the folder's path too long) would name a folder wherever the
        // program happens to stand.
        const std::wstring path = GetSystemTempPath();
        const bool full = path.size() >= 3 && path.back() == L'\\' &&
                          ((path[1] == L':' && path[2] == L'\\') || (path[0] == L'\\' && path[1] == L'\\'));
        if (!full)
            throw ETempFolderError(
                L"The setup cannot work without a temporary folder, and Windows reports none "
                L"that it can use" +
                (path.empty() ? std::wstring(L".") : L": \"" + path + L"\"."));
        CachedTempPath = path;
    }
    if (!CreateSubDir) return CachedTempPath;
    std::wstring dir = CachedTempPath + Application->Title() + L"\\";
    ForceDirectories(dir);
    return dir;
}

std::wstring TApplicationHelper::GetExeDir() {
    if (CachedExeDir.empty()) {
        std::wstring exe = Application->ExeName();
        CachedExeDir = exe.substr(0, exe.find_last_of(L"\\:") + 1);
    }
    return CachedExeDir;
}

std::wstring TApplicationHelper::GetSpecialFolderPath(int CSIDL) {
    wchar_t buffer[MAX_PATH + 1] = {};
    SHGetSpecialFolderPathW(Application->Handle(), buffer, CSIDL, FALSE);
    return std::wstring(buffer) + L"\\";
}

bool TApplicationHelper::HasSwitch(const std::wstring& Name) {
    return FindSwitch(Name, L'=', nullptr);
}

bool TApplicationHelper::GetSwitchValue(const std::wstring& Name, std::wstring& Value) {
    Value.clear();
    return FindSwitch(Name, L':', &Value);
}

// The owner of a dialog: the one given, else the application's window, so that the dialog stays in front of
// the wizard and keeps it from taking clicks meanwhile.
static HWND OwnerOrApplication(HWND Owner) {
    return Owner ? Owner : Application->Handle();
}

void TApplicationHelper::MessageBox(HWND Owner, const std::wstring& Caption, const std::wstring& Text,
                                    UINT Flags) {
    ::MessageBoxW(OwnerOrApplication(Owner), Text.c_str(), Caption.c_str(), Flags);
}

bool TApplicationHelper::AskYesNo(HWND Owner, const std::wstring& Caption, const std::wstring& Text,
                                  UINT Flags) {
    return ::MessageBoxW(OwnerOrApplication(Owner), Text.c_str(), Caption.c_str(), Flags | MB_YESNO) == IDYES;
}

bool TApplicationHelper::BrowseForFolder(const std::wstring& Title, std::wstring& Folder,
                                         const std::wstring& Root, const std::wstring& DialogId,
                                         HWND OwnerWnd) {
    Folder.clear();
    Application->InitializeOle();
    const std::wstring remembered = ReadRememberedFolder(DialogId);
    PIDLIST_ABSOLUTE root = ParseFolder(Root);
    wchar_t displayName[MAX_PATH + 1] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = OwnerOrApplication(OwnerWnd);
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = Title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_UAHINT;
    info.lpfn = BrowseCallback;
    info.lParam = remembered.empty() ? 0 : (LPARAM)remembered.c_str();
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    CoTaskMemFree(root);
    if (!item) return false;

    wchar_t path[MAX_PATH + 1] = {};
    if (SHGetPathFromIDListW(item, path)) Folder = path;
    CoTaskMemFree(item);
    RememberFolder(DialogId, Folder);
    if (!Folder.empty() && Folder.back() != L'\\') Folder += L'\\';
    return true;
}
