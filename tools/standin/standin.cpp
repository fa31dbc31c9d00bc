// standin.exe: a tiny program that stands in for the tool and the helpers that the setup starts. It records
// each start as one line in the temporary folder's zrx-standin.log (its file name, command line and whether
// it was asked to start hidden) and opens no window. Named dxwebsetup.exe it stays alive for two seconds,
// so that a waiting caller can be seen waiting.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    const bool hidden = (si.dwFlags & STARTF_USESHOWWINDOW) && si.wShowWindow == SW_HIDE;

    std::wstring line = name + L"\t" + GetCommandLineW() + L"\t" + (hidden ? L"hidden" : L"shown") + L"\r\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), (int)line.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), (int)line.size(), bytes.data(), n, nullptr, nullptr);

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring log = std::wstring(temp) + L"zrx-standin.log";
    // Several stand-ins may start at once: each appends its line whole.
    for (int attempt = 0; attempt < 50; ++attempt) {
        HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
            CloseHandle(file);
            break;
        }
        Sleep(20);
    }
    if (lstrcmpiW(name.c_str(), L"dxwebsetup.exe") == 0) Sleep(2000);
    return 0;
}
