// Keyboard shortcuts in their text form ("Ctrl+S", "Shift+Alt+F5").
#pragma once
#include <cstdint>
#include <string>

using TShortCut = uint16_t;
enum : TShortCut { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0 };

// The key code of a shortcut text: modifiers "Shift+", "Ctrl+", "Alt+" (any case, any order) and a key name
// (a letter, a digit, "F1".."F12", "Enter", "Esc", "Del", ...); 0 when the text is not recognised.
TShortCut TextToShortCut(const std::wstring& Text);
std::wstring ShortCutToText(TShortCut ShortCut);
