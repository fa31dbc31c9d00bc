// Code-point codecs: UTF-8, UTF-16 little-endian and ANSI (the system code page or a given one),
// each against a byte stream (read one, read a block, write one, write a block), plus reads and
// writes of one code point at a 1-based index of a string, and a few single-value conversions.
//
// Undecodable input is never an error: it becomes U+FFFD and decoding goes on. Read-one forms
// return false at the end of the stream; block forms return how many code points they stored or
// wrote and advance Start by that many. Block forms neither grow nor check Buffer: it must hold
// Start + Count entries.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/Streams.h"
#include "text/KitBase.h"

// UTF-8. Forms of up to six bytes are decoded as they stand (overlong forms, encoded surrogates and
// values above U+10FFFF included); a sequence cut by the end of the stream yields nothing.
bool Utf8ReadCharFromStream(TStream* Stream, uint32_t& Ch);
int Utf8ReadCharsFromStream(TStream* Stream, TUCS4Array& Buffer, int& Start, int Count);
bool Utf8WriteCharToStream(TStream* Stream, uint32_t Ch);
int Utf8WriteCharsToStream(TStream* Stream, const TUCS4Array& Buffer, int& Start, int Count);

// UTF-16 little-endian. Lone surrogates read as U+FFFD; values above U+10FFFF are written as U+FFFD.
bool Utf16ReadCharFromStream(TStream* Stream, uint32_t& Ch);
int Utf16ReadCharsFromStream(TStream* Stream, TUCS4Array& Buffer, int& Start, int Count);
bool Utf16WriteCharToStream(TStream* Stream, uint32_t Ch);
int Utf16WriteCharsToStream(TStream* Stream, const TUCS4Array& Buffer, int& Start, int Count);

// ANSI in the system code page.
bool AnsiReadCharFromStream(TStream* Stream, uint32_t& Ch);
int AnsiReadCharsFromStream(TStream* Stream, TUCS4Array& Buffer, int& Start, int Count);
bool AnsiWriteCharToStream(TStream* Stream, uint32_t Ch);
int AnsiWriteCharsToStream(TStream* Stream, const TUCS4Array& Buffer, int& Start, int Count);

// ANSI in a given code page (note: the block forms take Count before Start). A code page that the
// system refuses to decode with (65001, 65000, the ISO-2022 pages) decodes nothing.
bool AnsiReadCharFromStreamCP(TStream* Stream, uint16_t CodePage, uint32_t& Ch);
int AnsiReadCharsFromStreamCP(TStream* Stream, uint16_t CodePage, TUCS4Array& Buffer, int Count, int& Start);
bool AnsiWriteCharToStreamCP(TStream* Stream, uint16_t CodePage, uint32_t Ch);
int AnsiWriteCharsToStreamCP(TStream* Stream, uint16_t CodePage, const TUCS4Array& Buffer, int Count,
                             int& Start);

// Position forms: Index is 1-based and advances past what was read or written. Reads out of range
// give U+FFFD and leave Index alone; writes that do not fit return false and change nothing.
// The Wide and Unicode forms behave alike (the runtime has one UTF-16 string type).
uint32_t WideReadCharAt(const std::wstring& S, int& Index);
uint32_t UnicodeReadCharAt(const std::wstring& S, int& Index);
int WideReadCharsAt(const std::wstring& S, int& Index, TUCS4Array& Buffer, int Count, int& Start);
uint32_t AnsiReadCharAt(const std::string& S, int& Index);
bool WideWriteCharAt(std::wstring& S, int& Index, uint32_t Ch);
bool UnicodeWriteCharAt(std::wstring& S, int& Index, uint32_t Ch);
bool AnsiWriteCharAt(std::string& S, int& Index, uint32_t Ch);

// Single values.
std::wstring CodePointsToWide(const TUCS4Array& CodePoints);
// U+FFFD for code points outside the Basic Multilingual Plane.
wchar_t CodePointToChar(uint32_t Ch);
char CodePointToAnsiChar(uint32_t Ch);
uint32_t CharToCodePoint(wchar_t Ch);
uint32_t AnsiCharToCodePoint(char Ch);
