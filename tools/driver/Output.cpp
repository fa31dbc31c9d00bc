#include "Driver.h"

#include <cwchar>

std::wstring Escape(const std::wstring& Text) {
    std::wstring out;
    out.reserve(Text.size());
    for (wchar_t c : Text) {
        switch (c) {
        case L'\\':
            out += L"\\\\";
            break;
        case L'\t':
            out += L"\\t";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void WriteLine(const std::vector<std::wstring>& Fields) {
    std::wstring line;
    for (size_t i = 0; i < Fields.size(); ++i) line += (i ? L"\t" : L"") + Escape(Fields[i]);
    line += L"\n";
    // UTF-8 whatever the console code page: the reader is a script on the other side of a pipe.
    int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), (int)line.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), (int)line.size(), bytes.data(), n, nullptr, nullptr);
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), (DWORD)bytes.size(), &written, nullptr);
}

bool WaitFor(DWORD TimeoutMs, const std::function<bool()>& Condition) {
    const ULONGLONG end = GetTickCount64() + TimeoutMs;
    for (;;) {
        if (Condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}

std::wstring WindowText(HWND Wnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(Wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(Wnd, WM_GETTEXT, text.size(), (LPARAM)text.data(), SMTO_ABORTIFHUNG, 2000, &got))
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

std::wstring WindowClass(HWND Wnd) {
    wchar_t name[256] = {};
    GetClassNameW(Wnd, name, 256);
    return name;
}

bool HasCheckState(HWND Wnd) {
    if (lstrcmpiW(WindowClass(Wnd).c_str(), L"Button") != 0) return false;
    switch (GetWindowLongW(Wnd, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return true;
    }
    return false;
}

uintptr_t X11Window(HWND Wnd) {
    return (uintptr_t)GetPropW(Wnd, L"__wine_x11_whole_window");
}

DWORD WindowProcess(HWND Wnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(Wnd, &pid);
    return pid;
}

std::wstring AtomProperty(HWND Wnd, const wchar_t* Property) {
    ATOM atom = (ATOM)(uintptr_t)GetPropW(Wnd, Property);
    if (!atom) return {};
    wchar_t name[256] = {};
    UINT n = GlobalGetAtomNameW(atom, name, 256);
    return std::wstring(name, n);
}

std::wstring Seconds(DWORD Ms) {
    wchar_t text[32];
    swprintf(text, 32, L"%g s", Ms / 1000.0);
    return text;
}
