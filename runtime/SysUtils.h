// The runtime's conversions: numbers and text, case, formatting, dates and DOS file dates, GUIDs.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include <guiddef.h>

#include "runtime/Exceptions.h"

// Separators taken from the user's locale when first asked for; a program may change them.
struct TFormatSettings {
    wchar_t DecimalSeparator = L'.';
    wchar_t ThousandSeparator = L',';
    wchar_t DateSeparator = L'/';
    wchar_t TimeSeparator = L':';
};
// The process-wide settings used by the float conversions, Format and FormatDateTime.
TFormatSettings& FormatSettings();

// Integers. Accepted: leading blanks, an optional sign, then decimal digits, or hexadecimal digits behind
// "$", "x", "X", "0x" or "0X". Anything else, an empty text, or a decimal value out of range fails.
// Hexadecimal takes the full unsigned range of the width ("$FFFFFFFF" is -1 as a 32-bit value).
bool TryStrToInt(std::wstring_view S, int32_t& Value);
bool TryStrToInt64(std::wstring_view S, int64_t& Value);
int32_t StrToIntDef(std::wstring_view S, int32_t Default);
int64_t StrToInt64Def(std::wstring_view S, int64_t Default);
// Raise EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::wstring_view S);
int64_t StrToInt64(std::wstring_view S);
std::wstring IntToStr(int64_t Value);
std::wstring UIntToStr(uint64_t Value);
// Upper-case hexadecimal, padded with zeros to at least Digits; negative values show their
// two's complement in the width of the argument's type.
std::wstring IntToHex(int32_t Value, int Digits);
std::wstring IntToHex(uint32_t Value, int Digits);
std::wstring IntToHex(int64_t Value, int Digits);
std::wstring IntToHex(uint64_t Value, int Digits);

// Floating point with the global decimal separator: blanks around, a sign, digits with at most one
// separator, an optional exponent ("E" or "e", a sign, digits). No thousands separators.
bool TryStrToFloat(std::wstring_view S, double& Value);
// Shortest form with up to 15 significant digits; scientific ("1E20", "1.5E-7") from 1E15 up and
// below 0.00001. "NAN", "INF", "-INF" for the special values.
std::wstring FloatToStr(double Value);

// A number (by TryStrToFloat) is True when not zero; else "True" / "False" without regard to case.
bool TryStrToBool(std::wstring_view S, bool& Value);
bool StrToBoolDef(std::wstring_view S, bool Default);
// The runtime's two forms: "-1" / "0", or with UseBoolStrs the words "True" / "False".
std::wstring BoolToStr(bool B, bool UseBoolStrs = false);

// Case changes and comparisons that touch the letters a-z only.
std::wstring UpperCase(std::wstring_view S);
std::wstring LowerCase(std::wstring_view S);
// Ordinal comparison after folding a-z to upper case: < 0, 0 or > 0.
int CompareText(std::wstring_view S1, std::wstring_view S2);
bool SameText(std::wstring_view S1, std::wstring_view S2);
// Ordinal comparison of UTF-16 units: < 0, 0 or > 0.
int CompareStr(std::wstring_view S1, std::wstring_view S2);
// Without the control characters and blanks (units up to U+0020) at both ends.
std::wstring Trim(std::wstring_view S);
// Every occurrence of From (not empty) replaced by To, left to right, in one pass: time linear in the text.
std::wstring StringReplace(std::wstring_view S, std::wstring_view From, std::wstring_view To);

// One argument of Format.
class TVarRec {
public:
    enum TKind { vkInteger, vkInt64, vkFloat, vkString, vkChar };
    TVarRec(int V) : FKind(vkInteger), FInt(V) {}
    TVarRec(long V) : FKind(vkInteger), FInt(V) {}
    TVarRec(unsigned V) : FKind(vkInt64), FInt(V) {}
    TVarRec(unsigned long V) : FKind(vkInt64), FInt(V) {}
    TVarRec(long long V) : FKind(vkInt64), FInt(V) {}
    TVarRec(unsigned long long V) : FKind(vkInt64), FInt((int64_t)V) {}
    TVarRec(double V) : FKind(vkFloat), FFloat(V) {}
    TVarRec(long double V) : FKind(vkFloat), FFloat((double)V) {}
    TVarRec(wchar_t V) : FKind(vkChar), FInt(V) {}
    TVarRec(const wchar_t* V) : FKind(vkString), FStr(V ? V : L"") {}
    TVarRec(const std::wstring& V) : FKind(vkString), FStr(V) {}
    TVarRec(std::wstring_view V) : FKind(vkString), FStr(V) {}
    TVarRec(bool) = delete;

    TKind Kind() const { return FKind; }
    int64_t Int() const { return FInt; }
    double Float() const { return FFloat; }
    std::wstring_view Str() const { return FStr; }

private:
    TKind FKind;
    int64_t FInt = 0;
    double FFloat = 0;
    std::wstring_view FStr;
};

// Fills a format: "%" [index ":"] ["-"] [width] ["." precision] type, where index, width and precision
// may be "*" (taken from the arguments) and "%%" is a percent sign. Index, width and precision go up to
// MaxFormatWidth; a larger one makes the format invalid (formats come from language files, and a width
// is never worth megabytes of blanks). Types, in either case:
// d (integer; precision = minimum digits), u (unsigned), x (upper-case hexadecimal; precision = minimum
// digits), s (text or character; precision = maximum length), f (fixed point; precision = decimals,
// default 2, with the global decimal separator), g (as FloatToStr; precision = significant digits).
// Raises EConvertError "Format '%s' invalid or incompatible with argument" or "No argument for format '%s'".
std::wstring Format(std::wstring_view Fmt, std::initializer_list<TVarRec> Args);
constexpr int MaxFormatWidth = 1024;
template <class... TArgs> std::wstring Format(std::wstring_view Fmt, const TArgs&... Args) {
    return Format(Fmt, {TVarRec(Args)...});
}

// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;
// The local date and time.
TDateTime Now();
// Raise EConvertError "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(uint16_t Year, uint16_t Month, uint16_t Day);
TDateTime EncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec);
bool TryEncodeDate(uint16_t Year, uint16_t Month, uint16_t Day, TDateTime& Date);
bool TryEncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec, TDateTime& Time);
void DecodeDate(TDateTime Date, uint16_t& Year, uint16_t& Month, uint16_t& Day);
void DecodeTime(TDateTime Time, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec);
bool IsLeapYear(uint16_t Year);
// Specifiers: d dd, m mm (minutes right after an hour), yy, yyy or more (four digits), h hh, n nn, s ss,
// z zzz, "/" and ":" (the global separators), text in single or double quotes; other characters stand.
std::wstring FormatDateTime(std::wstring_view Fmt, TDateTime DateTime);

// The packed DOS date and time: DOS date in the high 16 bits (years from 1980), DOS time in the low
// 16 bits (seconds in units of two). Dates outside the years 1980 to 2107 pack as 0.
uint32_t DateTimeToFileDate(TDateTime DateTime);
// Raises EConvertError for a field that is no valid date or time (month or day 0, hour above 23, ...).
TDateTime FileDateToDateTime(uint32_t FileDate);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::wstring GUIDToString(const GUID& Guid);

// Path text: a backslash added at the end unless one is there, or taken away.
std::wstring IncludeTrailingPathDelimiter(std::wstring_view S);
std::wstring ExcludeTrailingPathDelimiter(std::wstring_view S);
