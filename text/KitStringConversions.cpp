#include "text/KitStringConversions.h"

#include <algorithm>
#include <windows.h>

namespace {

// MB_PRECOMPOSED | MB_USEGLYPHCHARS: the flags of the block decoders.
constexpr DWORD AnsiBlockFlags = 9;

// Windows refuses MB_PRECOMPOSED and MB_USEGLYPHCHARS for these code pages (ERROR_INVALID_FLAGS), so
// the decoders yield nothing for them. Wine accepts the flags; deciding here keeps both alike.
bool RefusesAnsiFlags(UINT CodePage) {
    return CodePage == 42 || (CodePage >= 50220 && CodePage <= 50229) || CodePage == 52936 ||
           CodePage == 54936 || (CodePage >= 57002 && CodePage <= 57011) || CodePage == 65000 ||
           CodePage == 65001;
}

// MultiByteToWideChar with the block decoders' flags.
int AnsiToUnits(UINT CodePage, const char* Bytes, int Count, wchar_t* Units, int UnitCount) {
    if (RefusesAnsiFlags(CodePage)) return 0;
    return MultiByteToWideChar(CodePage, AnsiBlockFlags, Bytes, Count, Units, UnitCount);
}

// Reads a stream in chunks, never asking for more bytes than the decoder is certain to consume:
// the caller names that lower bound (MinAhead), so the stream ends up exactly where byte-by-byte
// reading would have left it, at a fraction of the calls.
class TByteSource {
public:
    explicit TByteSource(TStream* AStream) : FStream(AStream) {}

    bool Next(uint8_t& B, int64_t MinAhead) {
        if (FPos == FLen && !Fill(MinAhead)) return false;
        B = FBuf[FPos++];
        return true;
    }
    bool Fill(int64_t MinAhead) {
        int32_t n = int32_t(std::clamp<int64_t>(MinAhead, 1, sizeof FBuf));
        int32_t got = FStream->Read(FBuf, n);
        FPos = 0;
        FLen = got > 0 ? got : 0;
        return FLen > 0;
    }
    bool Empty() const { return FPos == FLen; }
    uint8_t Peek() const { return FBuf[FPos]; }
    void Skip() { ++FPos; }

private:
    TStream* FStream;
    int32_t FPos = 0;
    int32_t FLen = 0;
    uint8_t FBuf[8192];
};

// Collects the bytes of whole code points and writes them in chunks. A short write ends the run;
// the code points whose bytes all reached the stream are counted, the bytes of a partly written
// one stay in the stream.
class TByteSink {
public:
    explicit TByteSink(TStream* AStream) : FStream(AStream) {}

    // Room for one more code point of up to MaxBytes bytes; false when a write failed.
    bool Reserve(int MaxBytes) {
        if (FLen + MaxBytes > int(sizeof FBuf) || FCount == MaxCodePoints) return Drain();
        return true;
    }
    void Put(uint8_t B) { FBuf[FLen++] = B; }
    void EndCodePoint() { FEnds[FCount++] = uint16_t(FLen); }
    // Writes what is collected; false when the stream took less.
    bool Drain() {
        if (FLen == 0) return true;
        int32_t written = FStream->Write(FBuf, FLen);
        bool ok = written == FLen;
        int done = 0;
        while (done < FCount && FEnds[done] <= written) ++done;
        FWritten += done;
        FLen = 0;
        FCount = 0;
        return ok;
    }
    int Written() const { return FWritten; }

private:
    static constexpr int MaxCodePoints = 2048;
    TStream* FStream;
    int32_t FLen = 0;
    int FCount = 0;
    int FWritten = 0;
    uint16_t FEnds[MaxCodePoints];
    uint8_t FBuf[8192];
};

// UTF-8: the rest of a sequence after its lead byte. Next(b) yields the following byte.
template <typename TNext> bool Utf8DecodeAfterLead(uint8_t Lead, TNext&& Next, uint32_t& Ch) {
    int n;
    uint32_t value;
    if (Lead < 0x80) {
        Ch = Lead;
        return true;
    } else if (Lead < 0xC0 || Lead >= 0xFE) {
        Ch = UCS4ReplacementCharacter;
        return true;
    } else if (Lead < 0xE0) {
        n = 2, value = Lead & 0x1F;
    } else if (Lead < 0xF0) {
        n = 3, value = Lead & 0x0F;
    } else if (Lead < 0xF8) {
        n = 4, value = Lead & 0x07;
    } else if (Lead < 0xFC) {
        n = 5, value = Lead & 0x03;
    } else {
        n = 6, value = Lead & 0x01;
    }
    for (int i = 1; i < n; ++i) {
        uint8_t b;
        if (!Next(b)) return false;
        if ((b & 0xC0) != 0x80) {
            Ch = UCS4ReplacementCharacter;
            return true;
        }
        value = (value << 6) | (b & 0x3F);
    }
    Ch = value;
    return true;
}

// UTF-8 bytes of a code point into Out; returns their count (1 to 6).
int Utf8Encode(uint32_t Ch, uint8_t* Out) {
    if (Ch < 0x80) {
        Out[0] = uint8_t(Ch);
        return 1;
    }
    int n;
    uint8_t lead;
    if (Ch < 0x800)
        n = 2, lead = 0xC0;
    else if (Ch < 0x10000)
        n = 3, lead = 0xE0;
    else if (Ch < 0x200000)
        n = 4, lead = 0xF0;
    else if (Ch < 0x4000000)
        n = 5, lead = 0xF8;
    else if (Ch <= MaximumUCS4)
        n = 6, lead = 0xFC;
    else
        return Utf8Encode(UCS4ReplacementCharacter, Out);
    for (int i = n - 1; i > 0; --i) {
        Out[i] = uint8_t(0x80 | (Ch & 0x3F));
        Ch >>= 6;
    }
    Out[0] = uint8_t(lead | Ch);
    return n;
}

// UTF-16 units of a code point; returns their count (1 or 2).
int Utf16Encode(uint32_t Ch, wchar_t* Out) {
    if (Ch <= MaximumUCS2) {
        Out[0] = wchar_t(Ch);
        return 1;
    }
    if (Ch <= MaximumUTF16) {
        uint32_t v = Ch - SurrogateBase;
        Out[0] = wchar_t(SurrogateHighStart | (v >> SurrogateShift));
        Out[1] = wchar_t(SurrogateLowStart | (v & SurrogateMask));
        return 2;
    }
    Out[0] = wchar_t(UCS4ReplacementCharacter);
    return 1;
}

bool IsHighSurrogate(uint32_t U) {
    return U >= SurrogateHighStart && U <= SurrogateHighEnd;
}
bool IsLowSurrogate(uint32_t U) {
    return U >= SurrogateLowStart && U <= SurrogateLowEnd;
}

uint32_t JoinSurrogates(uint32_t High, uint32_t Low) {
    return ((High - SurrogateHighStart) << SurrogateShift) + (Low - SurrogateLowStart) + SurrogateBase;
}

// The code point at the 0-based index I of Count units; advances I. Out of range: U+FFFD, I kept.
uint32_t DecodeUnitsAt(const wchar_t* Units, int Count, int& I) {
    if (I < 0 || I >= Count) return UCS4ReplacementCharacter;
    uint32_t u = uint16_t(Units[I]);
    if (IsHighSurrogate(u)) {
        if (I + 1 < Count && IsLowSurrogate(uint16_t(Units[I + 1]))) {
            uint32_t ch = JoinSurrogates(u, uint16_t(Units[I + 1]));
            I += 2;
            return ch;
        }
        ++I;
        return UCS4ReplacementCharacter;
    }
    ++I;
    return IsLowSurrogate(u) ? UCS4ReplacementCharacter : u;
}

// One byte of the system code page through the runtime's conversion (no flags).
uint32_t AnsiByteToCodePoint(char B) {
    wchar_t units[2];
    int n = MultiByteToWideChar(CP_ACP, 0, &B, 1, units, 2);
    int i = 0;
    return DecodeUnitsAt(units, n, i);
}

// The bytes of a code point in a code page (CP_ACP for the system one); no default character given.
int AnsiEncode(UINT CodePage, uint32_t Ch, char* Out, int OutSize) {
    wchar_t units[2];
    int n = Utf16Encode(Ch, units);
    return WideCharToMultiByte(CodePage, 0, units, n, Out, OutSize, nullptr, nullptr);
}

// Reads blocks of bytes and converts each with one system call until Count code points are stored.
int AnsiReadBlock(TStream* Stream, UINT CodePage, TUCS4Array& Buffer, int& Start, int Count) {
    if (Count <= 0) return 0;
    // Work buffers on the stack for the text streams' blocks; heap allocation costs more than the
    // conversion of a block.
    constexpr int StackCount = 4096;
    char bytesOnStack[StackCount];
    wchar_t unitsOnStack[StackCount * 2];
    std::vector<char> bytesOnHeap;
    std::vector<wchar_t> unitsOnHeap;
    char* bytes = bytesOnStack;
    wchar_t* units = unitsOnStack;
    if (Count > StackCount) {
        bytesOnHeap.resize(size_t(Count));
        unitsOnHeap.resize(size_t(Count) * 2);
        bytes = bytesOnHeap.data();
        units = unitsOnHeap.data();
    }
    int result = 0;
    int left = Count;
    while (left > 0) {
        int32_t got = Stream->Read(bytes, left);
        if (got <= 0) break;
        int n = AnsiToUnits(CodePage, bytes, got, units, Count * 2);
        if (n <= 0) {
            result = 0;
            continue;
        }
        // Never store past the Count entries that the caller provides.
        uint32_t* out = Buffer.data() + Start;
        uint32_t* const end = out + left;
        for (int i = 0; i < n && out < end;) {
            uint32_t u = uint16_t(units[i]);
            if (u < SurrogateHighStart || u > SurrogateLowEnd) {
                *out++ = u;
                ++i;
            } else {
                *out++ = DecodeUnitsAt(units, n, i);
            }
        }
        int stored = int(out - (Buffer.data() + Start));
        Start += stored;
        result += stored;
        left -= stored;
    }
    return result;
}

bool WriteBytes(TStream* Stream, const char* Bytes, int Count) {
    for (int i = 0; i < Count; ++i)
        if (Stream->Write(Bytes + i, 1) != 1) return false;
    return true;
}

// Encodes code points one by one with Encode(Ch, Out, OutSize) -> byte count, writing in chunks.
template <typename TEncode>
int AnsiWriteBlock(TStream* Stream, const TUCS4Array& Buffer, int& Start, int Count, TEncode&& Encode) {
    TByteSink sink(Stream);
    constexpr int MaxBytes = 16;
    bool ok = true;
    for (int k = 0; k < Count && ok; ++k) {
        if (!sink.Reserve(MaxBytes)) {
            ok = false;
            break;
        }
        char bytes[MaxBytes];
        int n = Encode(Buffer[size_t(Start + k)], bytes, MaxBytes);
        for (int i = 0; i < n; ++i) sink.Put(uint8_t(bytes[i]));
        sink.EndCodePoint();
    }
    if (ok) sink.Drain();
    Start += sink.Written();
    return sink.Written();
}

int AnsiEncodeCP(uint16_t CodePage, uint32_t Ch, char* Out, int OutSize) {
    wchar_t units[2];
    int n = Utf16Encode(Ch, units);
    int size = WideCharToMultiByte(CodePage, 0, units, n, nullptr, 0, nullptr, nullptr);
    if (size > 0 && size <= OutSize)
        size = WideCharToMultiByte(CodePage, 0, units, n, Out, size, nullptr, nullptr);
    else
        size = 0;
    if (size <= 0) {
        Out[0] = AnsiReplacementChar();
        return 1;
    }
    return size;
}

} // namespace

// UTF-8

bool Utf8ReadCharFromStream(TStream* Stream, uint32_t& Ch) {
    uint8_t lead;
    if (Stream->Read(&lead, 1) != 1) return false;
    return Utf8DecodeAfterLead(
        lead, [Stream](uint8_t& b) { return Stream->Read(&b, 1) == 1; }, Ch);
}

int Utf8ReadCharsFromStream(TStream* Stream, TUCS4Array& Buffer, int& Start, int Count) {
    if (Count <= 0) return 0;
    TByteSource source(Stream);
    uint32_t* const first = Buffer.data() + Start;
    uint32_t* const end = first + Count;
    uint32_t* out = first;
    while (out < end) {
        // Every code point still wanted takes at least one byte: that many bytes are safe to read.
        if (source.Empty() && !source.Fill(end - out)) break;
        uint8_t lead = source.Peek();
        source.Skip();
        if (lead < 0x80) {
            *out++ = lead;
            continue;
        }
        int64_t ahead = end - out;
        uint32_t ch;
        if (!Utf8DecodeAfterLead(
                lead, [&](uint8_t& b) { return source.Next(b, ahead); }, ch))
            break;
        *out++ = ch;
    }
    int stored = int(out - first);
    Start += stored;
    return stored;
}

bool Utf8WriteCharToStream(TStream* Stream, uint32_t Ch) {
    uint8_t bytes[6];
    int n = Utf8Encode(Ch, bytes);
    return WriteBytes(Stream, reinterpret_cast<const char*>(bytes), n);
}

int Utf8WriteCharsToStream(TStream* Stream, const TUCS4Array& Buffer, int& Start, int Count) {
    TByteSink sink(Stream);
    for (int k = 0; k < Count; ++k) {
        if (!sink.Reserve(6)) break;
        uint8_t bytes[6];
        int n = Utf8Encode(Buffer[size_t(Start + k)], bytes);
        for (int i = 0; i < n; ++i) sink.Put(bytes[i]);
        sink.EndCodePoint();
        if (k == Count - 1) sink.Drain();
    }
    Start += sink.Written();
    return sink.Written();
}

// UTF-16

bool Utf16ReadCharFromStream(TStream* Stream, uint32_t& Ch) {
    uint16_t u;
    if (Stream->Read(&u, 2) != 2) return false;
    if (IsHighSurrogate(u)) {
        uint16_t low;
        if (Stream->Read(&low, 2) != 2) return false;
        Ch = IsLowSurrogate(low) ? JoinSurrogates(u, low) : UCS4ReplacementCharacter;
    } else {
        Ch = IsLowSurrogate(u) ? UCS4ReplacementCharacter : u;
    }
    return true;
}

int Utf16ReadCharsFromStream(TStream* Stream, TUCS4Array& Buffer, int& Start, int Count) {
    if (Count <= 0) return 0;
    TByteSource source(Stream);
    uint32_t* const first = Buffer.data() + Start;
    uint32_t* const end = first + Count;
    uint32_t* out = first;
    // The code point under way takes at least one more byte, every later one at least two.
    auto unit = [&](uint16_t& u) {
        int64_t ahead = 2 * (end - out) - 1;
        uint8_t lo, hi;
        if (!source.Next(lo, ahead) || !source.Next(hi, ahead)) return false;
        u = uint16_t(lo | hi << 8);
        return true;
    };
    while (out < end) {
        uint16_t u;
        if (!unit(u)) break;
        if (IsHighSurrogate(u)) {
            uint16_t low;
            if (!unit(low)) break;
            *out++ = IsLowSurrogate(low) ? JoinSurrogates(u, low) : UCS4ReplacementCharacter;
        } else {
            *out++ = IsLowSurrogate(u) ? UCS4ReplacementCharacter : u;
        }
    }
    int stored = int(out - first);
    Start += stored;
    return stored;
}

bool Utf16WriteCharToStream(TStream* Stream, uint32_t Ch) {
    wchar_t units[2];
    int n = Utf16Encode(Ch, units);
    for (int i = 0; i < n; ++i)
        if (Stream->Write(&units[i], 2) != 2) return false;
    return true;
}

int Utf16WriteCharsToStream(TStream* Stream, const TUCS4Array& Buffer, int& Start, int Count) {
    TByteSink sink(Stream);
    for (int k = 0; k < Count; ++k) {
        if (!sink.Reserve(4)) break;
        wchar_t units[2];
        int n = Utf16Encode(Buffer[size_t(Start + k)], units);
        for (int i = 0; i < n; ++i) {
            sink.Put(uint8_t(units[i]));
            sink.Put(uint8_t(units[i] >> 8));
        }
        sink.EndCodePoint();
        if (k == Count - 1) sink.Drain();
    }
    Start += sink.Written();
    return sink.Written();
}

// ANSI, system code page

bool AnsiReadCharFromStream(TStream* Stream, uint32_t& Ch) {
    char b;
    if (Stream->Read(&b, 1) != 1) return false;
    Ch = AnsiByteToCodePoint(b);
    return true;
}

int AnsiReadCharsFromStream(TStream* Stream, TUCS4Array& Buffer, int& Start, int Count) {
    return AnsiReadBlock(Stream, CP_ACP, Buffer, Start, Count);
}

bool AnsiWriteCharToStream(TStream* Stream, uint32_t Ch) {
    char bytes[16];
    int n = AnsiEncode(CP_ACP, Ch, bytes, sizeof bytes);
    return WriteBytes(Stream, bytes, n);
}

int AnsiWriteCharsToStream(TStream* Stream, const TUCS4Array& Buffer, int& Start, int Count) {
    return AnsiWriteBlock(Stream, Buffer, Start, Count, [](uint32_t Ch, char* Out, int OutSize) {
        return AnsiEncode(CP_ACP, Ch, Out, OutSize);
    });
}

// ANSI, given code page

bool AnsiReadCharFromStreamCP(TStream* Stream, uint16_t CodePage, uint32_t& Ch) {
    char b;
    if (Stream->Read(&b, 1) != 1) return false;
    wchar_t units[2];
    int n = AnsiToUnits(CodePage, &b, 1, units, 2);
    if (n <= 0) {
        Ch = UCS4ReplacementCharacter;
        return false;
    }
    int i = 0;
    Ch = DecodeUnitsAt(units, n, i);
    return true;
}

int AnsiReadCharsFromStreamCP(TStream* Stream, uint16_t CodePage, TUCS4Array& Buffer, int Count, int& Start) {
    return AnsiReadBlock(Stream, CodePage, Buffer, Start, Count);
}

bool AnsiWriteCharToStreamCP(TStream* Stream, uint16_t CodePage, uint32_t Ch) {
    char bytes[16];
    int n = AnsiEncodeCP(CodePage, Ch, bytes, sizeof bytes);
    return WriteBytes(Stream, bytes, n);
}

int AnsiWriteCharsToStreamCP(TStream* Stream, uint16_t CodePage, const TUCS4Array& Buffer, int Count,
                             int& Start) {
    return AnsiWriteBlock(Stream, Buffer, Start, Count, [CodePage](uint32_t Ch, char* Out, int OutSize) {
        return AnsiEncodeCP(CodePage, Ch, Out, OutSize);
    });
}

// Position forms

uint32_t WideReadCharAt(const std::wstring& S, int& Index) {
    int i = Index - 1;
    uint32_t ch = DecodeUnitsAt(S.data(), int(S.size()), i);
    Index = i + 1;
    return ch;
}

uint32_t UnicodeReadCharAt(const std::wstring& S, int& Index) {
    return WideReadCharAt(S, Index);
}

int WideReadCharsAt(const std::wstring& S, int& Index, TUCS4Array& Buffer, int Count, int& Start) {
    int result = 0;
    while (Index >= 1 && Index <= int(S.size()) && result < Count) {
        Buffer[size_t(Start++)] = WideReadCharAt(S, Index);
        ++result;
    }
    return result;
}

uint32_t AnsiReadCharAt(const std::string& S, int& Index) {
    if (Index < 1 || Index > int(S.size())) return UCS4ReplacementCharacter;
    return AnsiByteToCodePoint(S[size_t(Index++ - 1)]);
}

bool WideWriteCharAt(std::wstring& S, int& Index, uint32_t Ch) {
    wchar_t units[2];
    int n = Utf16Encode(Ch, units);
    if (Index < 1 || Index + n - 1 > int(S.size())) return false;
    for (int i = 0; i < n; ++i) S[size_t(Index - 1 + i)] = units[i];
    Index += n;
    return true;
}

bool UnicodeWriteCharAt(std::wstring& S, int& Index, uint32_t Ch) {
    return WideWriteCharAt(S, Index, Ch);
}

bool AnsiWriteCharAt(std::string& S, int& Index, uint32_t Ch) {
    char bytes[16];
    int n = AnsiEncode(CP_ACP, Ch, bytes, sizeof bytes);
    if (Index < 1 || Index + n > int(S.size()) + 1) return false;
    for (int i = 0; i < n; ++i) S[size_t(Index - 1 + i)] = bytes[i];
    Index += n;
    return true;
}

// Single values

std::wstring CodePointsToWide(const TUCS4Array& CodePoints) {
    std::wstring result;
    result.reserve(CodePoints.size());
    for (uint32_t ch : CodePoints) {
        wchar_t units[2];
        result.append(units, size_t(Utf16Encode(ch, units)));
    }
    return result;
}

wchar_t CodePointToChar(uint32_t Ch) {
    return Ch <= MaximumUCS2 ? wchar_t(Ch) : wchar_t(UCS4ReplacementCharacter);
}

char CodePointToAnsiChar(uint32_t Ch) {
    wchar_t units[2] = {0, 0};
    int n = Utf16Encode(Ch, units);
    char bytes[16];
    int got = WideCharToMultiByte(CP_ACP, 0, units, n, bytes, sizeof bytes, nullptr, nullptr);
    return got > 0 ? bytes[0] : '\0';
}

uint32_t CharToCodePoint(wchar_t Ch) {
    return uint16_t(Ch);
}

uint32_t AnsiCharToCodePoint(char Ch) {
    return AnsiByteToCodePoint(Ch);
}
