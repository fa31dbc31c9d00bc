#include "xml/KitSimpleXmlCoding.h"

#include "runtime/SysUtils.h"
#include "text/KitStrings.h"

namespace {
struct TEntity {
    const wchar_t* Text;
    size_t Length;
    wchar_t Char;
};
// In the order the decoders try them.
const TEntity Entities[] = {
    {L"&amp;", 5, L'&'}, {L"&lt;", 4, L'<'}, {L"&gt;", 4, L'>'}, {L"&apos;", 6, L'\''}, {L"&quot;", 6, L'"'},
};

const wchar_t* EntityOf(wchar_t C) {
    for (const TEntity& e : Entities)
        if (e.Char == C) return e.Text;
    return nullptr;
}

const wchar_t HexDigits[] = L"0123456789ABCDEF";

void AppendReference(std::wstring& Out, unsigned Unit, int Digits) {
    Out += L"&#x";
    for (int shift = (Digits - 1) * 4; shift >= 0; shift -= 4) Out += HexDigits[(Unit >> shift) & 0xF];
    Out += L';';
}

// Length of the entity that starts at Value[I], or 0; its character goes to C.
size_t MatchEntity(const std::wstring& Value, size_t I, wchar_t& C) {
    for (const TEntity& e : Entities) {
        if (Value.size() - I < e.Length) continue;
        if (TextEquals(Value.substr(I, e.Length), e.Text, false)) {
            C = e.Char;
            return e.Length;
        }
    }
    return 0;
}

// Where the next semicolon and the next ampersand lie, from a point that only moves forward: each search
// starts where the last one ended, so a value full of references is scanned once, not once per reference.
struct TLookAhead {
    const std::wstring& Value;
    size_t Semicolon = 0, Ampersand = 0;
    size_t Next(size_t& Cached, wchar_t C, size_t From) {
        if (Cached < From) Cached = Value.find(C, From);
        return Cached;
    }
};

// A numeric reference "&#...;" at Value[I]: its length, or 0 when it does not decode. Units go to Out.
size_t MatchReference(TLookAhead& Ahead, size_t I, std::wstring& Out) {
    const std::wstring& Value = Ahead.Value;
    size_t start = I + 2;
    bool hex = start < Value.size() && (Value[start] == L'x' || Value[start] == L'X');
    if (hex) ++start;
    size_t semicolon = Ahead.Next(Ahead.Semicolon, L';', start);
    if (semicolon == std::wstring::npos) return 0;
    // An ampersand is no part of a number; without it, the digits of one reference are no other's.
    if (Ahead.Next(Ahead.Ampersand, L'&', start) < semicolon) return 0;
    const std::wstring_view digits(Value.data() + start, semicolon - start);
    int64_t code = hex ? StrToInt64Def(L"$" + std::wstring(digits), -1) : StrToInt64Def(digits, -1);
    if (code < 0 || code > 0x10FFFF) return 0;
    if (code <= 0xFFFF) {
        Out += (wchar_t)code;
    } else { // one reference for a character beyond the BMP: its surrogate pair
        code -= 0x10000;
        Out += (wchar_t)(0xD800 | (code >> 10));
        Out += (wchar_t)(0xDC00 | (code & 0x3FF));
    }
    return semicolon + 1 - I;
}
} // namespace

static bool NeedsReference(unsigned U) {
    return (U < 0x20 && U != 0x09 && U != 0x0A && U != 0x0D) || U >= 0x80;
}

bool XmlValueNeedsEncoding(const std::wstring& Value, bool Full) {
    for (wchar_t c : Value)
        if (EntityOf(c) || (Full && NeedsReference((uint16_t)c))) return true;
    return false;
}

std::wstring EncodeBasicEntities(const std::wstring& Value) {
    std::wstring out;
    out.reserve(Value.size());
    for (wchar_t c : Value) {
        if (const wchar_t* entity = EntityOf(c))
            out += entity;
        else
            out += c;
    }
    return out;
}

std::wstring EncodeXmlValue(const std::wstring& Value) {
    std::wstring out;
    out.reserve(Value.size());
    for (wchar_t c : Value) {
        unsigned u = (uint16_t)c;
        if (const wchar_t* entity = EntityOf(c))
            out += entity;
        else if ((u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || (u >= 0x80 && u <= 0xFF))
            AppendReference(out, u, 2);
        else if (u >= 0x100)
            AppendReference(out, u, 4);
        else
            out += c;
    }
    return out;
}

std::wstring DecodeBasicEntities(const std::wstring& Value) {
    if (Value.find(L'&') == std::wstring::npos) return Value;
    std::wstring out;
    out.reserve(Value.size());
    for (size_t i = 0; i < Value.size();) {
        wchar_t c = Value[i];
        size_t n = c == L'&' ? MatchEntity(Value, i, c) : 0;
        out += c;
        i += n ? n : 1;
    }
    return out;
}

void DecodeXmlValue(std::wstring& Value) {
    // In place: what is written never overtakes what is read.
    size_t out = Value.find(L'&');
    if (out == std::wstring::npos) return;
    std::wstring units;
    // What is written lies behind what is read, so the look-ahead sees the value as it came.
    TLookAhead ahead{Value};
    for (size_t i = out; i < Value.size();) {
        wchar_t c = Value[i];
        size_t n = 0;
        if (c == L'&' && i + 1 < Value.size() && Value[i + 1] == L'#') {
            units.clear();
            n = MatchReference(ahead, i, units);
            if (n) {
                for (wchar_t u : units) Value[out++] = u;
                i += n;
                continue;
            }
        }
        if (c == L'&') n = MatchEntity(Value, i, c);
        Value[out++] = c;
        i += n ? n : 1;
    }
    Value.resize(out);
}
