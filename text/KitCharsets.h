// Charset names as XML headers write them, and their Windows code pages.
#pragma once
#include <cstdint>
#include <string>

#include "text/KitBase.h"

// "No matching charset"
ZRX_EXCEPTION(EKitCharsetError, EKitError)

struct TKitCharsetInfo {
    const wchar_t* Name;
    uint16_t CodePage;
    // The Windows ANSI code page of the charset's script family.
    uint16_t FamilyCodePage;
};

// The code page of the first charset of that name (only a-z are compared without regard to case).
uint16_t CodePageOfCharsetName(const std::wstring& Name);
// The name of the first charset with that code page.
std::wstring CharsetNameOfCodePage(uint16_t CodePage);
