// Shared pieces of the node parsers and writers: limits that keep hostile input from exhausting the stack
// or memory, the parse messages, and code-point helpers.
#pragma once
#include <cstdint>
#include <string>

#include "text/KitStreams.h"
#include "text/KitStringConversions.h"
#include "text/KitUnicode.h"

namespace KitXmlParsing {

// Deeper nesting is refused: each level costs the recursive parser about a kilobyte of stack (and the writer
// and destructor a little), so 256 levels stay far inside the smallest thread stack the program uses. No
// document of the program comes near it.
constexpr int MaxDepth = 256;
// Longest tag or attribute name, in UTF-16 units.
constexpr size_t MaxNameLength = 64 * 1024;
// Longest single value (attribute, text, comment, CDATA, DOCTYPE), in UTF-16 units: 512 MB of text.
constexpr size_t MaxValueLength = size_t(256) * 1024 * 1024;

// What loading a document may cost. A node costs about NodeCost bytes of memory (the object and its entry in
// its list) and an attribute about AttributeCost, however short their text. The densest well-formed text is
// an element and one character of text taking turns ("<a/>x"): two nodes in five bytes. The budget covers
// that, so no well-formed document is refused for its density, and no document of any kind costs more than
// MaxCostPerByte times its size (MinLoadBudget for any text). Callers bound the size of what they load.
constexpr int64_t NodeCost = 216;
constexpr int64_t AttributeCost = 160;
constexpr int64_t DensestPairBytes = 5;
constexpr int64_t MaxCostPerByte = (2 * NodeCost + DensestPairBytes - 1) / DensestPairBytes;
constexpr int64_t MinLoadBudget = 4 << 20;

// Appends a code point as CodePointsToWide stores it: one unit up to U+FFFF (surrogate values included),
// a pair up to U+10FFFF, U+FFFD above.
inline void AppendCodePoint(std::wstring& S, uint32_t Ch) {
    if (Ch <= 0xFFFF) {
        S += wchar_t(Ch);
    } else if (Ch <= 0x10FFFF) {
        Ch -= 0x10000;
        S += wchar_t(0xD800 | (Ch >> 10));
        S += wchar_t(0xDC00 | (Ch & 0x3FF));
    } else {
        S += wchar_t(0xFFFD);
    }
}

// The category answers for ASCII, as the category table gives them (a test holds them to it): the parsers
// ask for nearly every code point they read, and a document of ASCII markup then never loads the table.
struct TAsciiClass {
    uint64_t Low, High; // bit n: code point n, then 64 + n
    constexpr bool Has(uint32_t Ch) const { return (Ch < 64 ? Low >> Ch : High >> (Ch - 64)) & 1; }
};
constexpr TAsciiClass AsciiWhiteSpace{0x180003E00, 0};                       // TAB to CR, U+001F, space
constexpr TAsciiClass AsciiNameStart{0, 0x07FFFFFE07FFFFFE};                 // the letters
constexpr TAsciiClass AsciiNameChar{0x03FF000000000000, 0x07FFFFFE87FFFFFE}; // letters, digits, "_"

inline bool IsWhiteSpace(uint32_t Ch) {
    return Ch < 128 ? AsciiWhiteSpace.Has(Ch) : CodePointIsWhiteSpace(Ch);
}
inline bool IsNameStart(uint32_t Ch) {
    return Ch < 128 ? AsciiNameStart.Has(Ch) : CodePointIsNameStart(Ch);
}
// A name character of the node parsers: the category test, "-" or ".".
inline bool IsNameChar(uint32_t Ch) {
    return Ch < 128 ? AsciiNameChar.Has(Ch) || Ch == '-' || Ch == '.' : CodePointIsNameChar(Ch);
}

inline void WriteText(TKitStringStream* Stream, const std::wstring& Text) {
    if (!Text.empty()) Stream->WriteString(Text, 1, (int)Text.size());
}
// Writes the parts in turn, without joining them first.
template <class... TParts> void WriteTexts(TKitStringStream* Stream, const TParts&... Parts) {
    (WriteText(Stream, Parts), ...);
}

// Raise EKitSimpleXMLError with the message of that id, filled in with the character (a code point), the
// expected character and the position (the stream's peek position) as each message needs them.
[[noreturn]] void Raise(int Id, TKitStringStream* Stream, uint32_t Found = 0, uint32_t Expected = 0);
// Raise 64988: the end tag does not match.
[[noreturn]] void RaiseEndTag(TKitStringStream* Stream, const std::wstring& Expected,
                              const std::wstring& Found);
// Raise the limit errors.
[[noreturn]] void RaiseNameTooLong(TKitStringStream* Stream);
[[noreturn]] void RaiseValueTooLong(TKitStringStream* Stream);

inline void AppendName(std::wstring& S, uint32_t Ch, TKitStringStream* Stream) {
    if (S.size() >= MaxNameLength) RaiseNameTooLong(Stream);
    AppendCodePoint(S, Ch);
}
inline void AppendValue(std::wstring& S, uint32_t Ch, TKitStringStream* Stream) {
    if (S.size() >= MaxValueLength) RaiseValueTooLong(Stream);
    AppendCodePoint(S, Ch);
}

// Counts the nesting of element parsers on this thread; raises past MaxDepth.
class TDepthGuard {
public:
    explicit TDepthGuard(TKitStringStream* Stream);
    ~TDepthGuard();
    TDepthGuard(const TDepthGuard&) = delete;
    TDepthGuard& operator=(const TDepthGuard&) = delete;
};

} // namespace KitXmlParsing
