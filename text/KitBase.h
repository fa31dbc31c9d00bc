// Basic types, constants and exceptions of the text layer: code points, byte-order marks and the
// replacement byte of the system ANSI code page.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/Exceptions.h"

// A dynamic array of code points (unsigned 32-bit values) and one of bytes.
using TUCS4Array = std::vector<uint32_t>;
using TDynByteArray = std::vector<uint8_t>;

constexpr uint32_t UCS4ReplacementCharacter = 0xFFFD;
constexpr uint32_t MaximumUCS2 = 0xFFFF;
constexpr uint32_t MaximumUTF16 = 0x10FFFF;
constexpr uint32_t MaximumUCS4 = 0x7FFFFFFF;

constexpr int SurrogateShift = 10;
constexpr uint32_t SurrogateBase = 0x10000;
constexpr uint32_t SurrogateMask = 0x3FF;
constexpr uint32_t SurrogateHighStart = 0xD800;
constexpr uint32_t SurrogateHighEnd = 0xDBFF;
constexpr uint32_t SurrogateLowStart = 0xDC00;
constexpr uint32_t SurrogateLowEnd = 0xDFFF;

// The byte-order marks that the text streams write and detect.
inline const TDynByteArray BOM_UTF16_LSB{0xFF, 0xFE};
inline const TDynByteArray BOM_UTF8{0xEF, 0xBB, 0xBF};

// Base class of every exception of the text and XML units.
ZRX_EXCEPTION(EKitError, Exception)
// "Failed to get ANSI replacement character"
ZRX_EXCEPTION(EKitInternalError, EKitError)
ZRX_EXCEPTION(EKitStringConversionError, EKitError)

class EKitUnexpectedEOSequenceError : public EKitStringConversionError {
public:
    EKitUnexpectedEOSequenceError() : EKitStringConversionError(L"Unexpected end of sequence") {}
    const wchar_t* ClassName() const override { return L"EKitUnexpectedEOSequenceError"; }
};

// The first byte of the default character of the system ANSI code page. It is read once, the first
// time it is asked for (the program asks at start-up), and never changes afterwards; when the system
// cannot tell it, EKitInternalError "Failed to get ANSI replacement character" is raised.
char AnsiReplacementChar();
