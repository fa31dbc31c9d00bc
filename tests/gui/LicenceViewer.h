// The licence viewer on a window, as the licence page has it, for tests that show files in it.
#pragma once
#include <windows.h>
#include <psapi.h>
#include <richedit.h>

#include <cstdio>
#include <string>

#include "runtime/gui/Forms.h"
#include "runtime/gui/WebBrowser.h"

struct TViewer {
    TForm Form{nullptr};
    TWebBrowser* Web = new TWebBrowser(&Form);
    TViewer() {
        Form.SetClientWidth(610);
        Form.SetClientHeight(472);
        Web->SetParent(&Form);
        Web->SetBounds(46, 138, 518, 274);
        Form.Show();
    }
    // Shows Bytes as a file and prints the time taken and the peak memory so far.
    std::wstring Show(const char* Case, const std::string& Bytes) {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        const std::wstring path = std::wstring(dir) + L"zrx-hostile-licence.html";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, Bytes.data(), (DWORD)Bytes.size(), &written, nullptr);
        CloseHandle(file);
        const ULONGLONG start = GetTickCount64();
        Web->Navigate(path);
        const double seconds = (GetTickCount64() - start) / 1000.0;
        DeleteFileW(path.c_str());
        PROCESS_MEMORY_COUNTERS mem{};
        GetProcessMemoryInfo(GetCurrentProcess(), &mem, sizeof(mem));
        std::wstring text = Web->PlainText();
        printf("%-40s %9zu bytes: %8zu characters shown in %5.1f s, peak %4zu MB so far\n", Case,
               Bytes.size(), text.size(), seconds, mem.PeakWorkingSetSize >> 20);
        fflush(stdout);
        return text;
    }
    // Whether the character at Pos of the text shown is bold.
    bool Bold(size_t Pos) {
        SendMessageW(Web->Handle(), EM_SETSEL, Pos, Pos + 1);
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof(cf);
        SendMessageW(Web->Handle(), EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&cf);
        return cf.dwEffects & CFE_BOLD;
    }
};

inline std::string Utf8(const std::wstring& Text) {
    std::string s(
        (size_t)WideCharToMultiByte(CP_UTF8, 0, Text.data(), (int)Text.size(), nullptr, 0, nullptr, nullptr),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text.data(), (int)Text.size(), s.data(), (int)s.size(), nullptr, nullptr);
    return s;
}
