// Key presses as a person types them: real keyboard input (SendInput) to the program's window in the
// foreground, and which control the keyboard then reaches.
#include "Driver.h"

#include <cwctype>

namespace {
struct TKeyName {
    const wchar_t* Name;
    WORD Vk;
    bool Extended;
};

const TKeyName KeyNames[] = {
    {L"tab", VK_TAB, false},      {L"return", VK_RETURN, false}, {L"enter", VK_RETURN, false},
    {L"space", VK_SPACE, false},  {L"escape", VK_ESCAPE, false}, {L"left", VK_LEFT, true},
    {L"right", VK_RIGHT, true},   {L"up", VK_UP, true},          {L"down", VK_DOWN, true},
    {L"home", VK_HOME, true},     {L"end", VK_END, true},        {L"pageup", VK_PRIOR, true},
    {L"pagedown", VK_NEXT, true}, {L"f4", VK_F4, false},
};

const TKeyName Modifiers[] = {
    {L"shift", VK_SHIFT, false}, {L"ctrl", VK_CONTROL, false}, {L"alt", VK_MENU, false}};

INPUT KeyInput(const TKeyName& Key, bool Up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = Key.Vk;
    in.ki.wScan = (WORD)MapVirtualKeyW(Key.Vk, MAPVK_VK_TO_VSC);
    in.ki.dwFlags = (Key.Extended ? KEYEVENTF_EXTENDEDKEY : 0) | (Up ? KEYEVENTF_KEYUP : 0);
    return in;
}

// "shift+tab", "alt+a", "down": the modifiers held, then the key.
std::vector<TKeyName> ParseChord(const std::wstring& Chord) {
    std::vector<TKeyName> keys;
    size_t start = 0;
    for (;;) {
        const size_t plus = Chord.find(L'+', start);
        std::wstring part =
            Chord.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start);
        for (auto& c : part) c = (wchar_t)towlower(c);
        const bool last = plus == std::wstring::npos;
        const TKeyName* found = nullptr;
        const TKeyName* table = last ? KeyNames : Modifiers;
        const size_t count = last ? std::size(KeyNames) : std::size(Modifiers);
        for (size_t i = 0; i < count && !found; ++i)
            if (part == table[i].Name) found = &table[i];
        if (found) {
            keys.push_back(*found);
        } else if (last && part.size() == 1 && ((part[0] >= L'a' && part[0] <= L'z') || iswdigit(part[0]))) {
            keys.push_back({L"", (WORD)towupper(part[0]), false});
        } else {
            throw TDriverError{L"unknown key '" + part + L"' in '" + Chord + L"'"};
        }
        if (last) return keys;
        start = plus + 1;
    }
}

// The window that takes the keyboard now: the main window, or the box it waits on.
HWND KeyboardWindow(HWND Top) {
    if (IsWindowEnabled(Top)) return Top;
    struct TFind {
        HWND Owner, Found;
    } find{Top, nullptr};
    EnumWindows(
        [](HWND Wnd, LPARAM Param) -> BOOL {
            auto* f = (TFind*)Param;
            if (GetWindow(Wnd, GW_OWNER) == f->Owner && IsWindowVisible(Wnd) && IsWindowEnabled(Wnd)) {
                f->Found = Wnd;
                return FALSE;
            }
            return TRUE;
        },
        (LPARAM)&find);
    return find.Found ? find.Found : Top;
}
} // namespace

void SendKeys(TTarget& Target, HWND Top, const std::vector<std::wstring>& Chords) {
    std::vector<std::vector<TKeyName>> chords;
    for (auto& chord : Chords) chords.push_back(ParseChord(chord));
    const HWND to = KeyboardWindow(Top);
    if (!WaitFor(Target.TimeoutMs, [&] {
            if (GetForegroundWindow() == to) return true;
            SetForegroundWindow(to);
            return false;
        }))
        throw TDriverError{L"the window " + std::to_wstring((uintptr_t)to) +
                           L" does not come to the foreground"};
    for (auto& keys : chords) {
        std::vector<INPUT> inputs;
        for (auto& k : keys) inputs.push_back(KeyInput(k, false));
        for (auto k = keys.rbegin(); k != keys.rend(); ++k) inputs.push_back(KeyInput(*k, true));
        // One press at a time, with a typist's pause: the program reads each in turn.
        for (auto& in : inputs) {
            if (SendInput(1, &in, sizeof in) != 1) throw TDriverError{L"SendInput failed"};
            Sleep(20);
        }
        Sleep(100);
    }
}

HWND FocusedWindow(HWND Top) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(Top, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}
