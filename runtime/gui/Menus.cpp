#include "runtime/gui/Menus.h"

#include <windows.h>

#include "runtime/SysUtils.h"

namespace {

struct KeyName {
    const wchar_t* Name;
    uint16_t Key;
};

const KeyName KeyNames[] = {
    {L"BkSp", VK_BACK},   {L"Tab", VK_TAB},    {L"Enter", VK_RETURN}, {L"Esc", VK_ESCAPE},
    {L"Space", VK_SPACE}, {L"PgUp", VK_PRIOR}, {L"PgDn", VK_NEXT},    {L"End", VK_END},
    {L"Home", VK_HOME},   {L"Left", VK_LEFT},  {L"Up", VK_UP},        {L"Right", VK_RIGHT},
    {L"Down", VK_DOWN},   {L"Ins", VK_INSERT}, {L"Del", VK_DELETE},
};

bool StartsWithText(const std::wstring& s, size_t at, const wchar_t* prefix) {
    size_t n = wcslen(prefix);
    return s.size() - at >= n && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, s.data() + at, (int)n,
                                                prefix, (int)n) == CSTR_EQUAL;
}

bool SameText(const std::wstring& a, const wchar_t* b) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), (int)a.size(), b, -1) == CSTR_EQUAL;
}

std::wstring KeyToText(uint16_t key) {
    if ((key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9')) return std::wstring(1, (wchar_t)key);
    if (key >= VK_F1 && key <= VK_F12) return L"F" + IntToStr(key - VK_F1 + 1);
    for (const KeyName& k : KeyNames)
        if (k.Key == key) return k.Name;
    return L"";
}

} // namespace

TShortCut TextToShortCut(const std::wstring& Text) {
    TShortCut shift = 0;
    size_t at = 0;
    for (bool more = true; more;) {
        more = false;
        static const struct {
            const wchar_t* Text;
            TShortCut Bit;
        } mods[] = {{L"Shift+", scShift}, {L"Ctrl+", scCtrl}, {L"Alt+", scAlt}};
        for (auto& m : mods)
            if (StartsWithText(Text, at, m.Text)) {
                shift |= m.Bit;
                at += wcslen(m.Text);
                more = true;
            }
    }
    std::wstring key = Text.substr(at);
    if (key.empty()) return 0;
    for (int k = 8; k <= 255; ++k) {
        std::wstring name = KeyToText((uint16_t)k);
        if (!name.empty() && SameText(key, name.c_str())) return (TShortCut)(k | shift);
    }
    return 0;
}

std::wstring ShortCutToText(TShortCut ShortCut) {
    std::wstring key = KeyToText(ShortCut & 0xFF);
    if (key.empty()) return L"";
    std::wstring s;
    if (ShortCut & scShift) s += L"Shift+";
    if (ShortCut & scCtrl) s += L"Ctrl+";
    if (ShortCut & scAlt) s += L"Alt+";
    return s + key;
}
