#include "runtime/SysUtils.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <windows.h>

// Format settings

static wchar_t LocaleChar(LCTYPE Type, wchar_t Fallback) {
    wchar_t buf[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, Type, buf, 8) > 0 && buf[0]) return buf[0];
    return Fallback;
}

TFormatSettings& FormatSettings() {
    static TFormatSettings settings = [] {
        TFormatSettings s;
        s.DecimalSeparator = LocaleChar(LOCALE_SDECIMAL, L'.');
        s.ThousandSeparator = LocaleChar(LOCALE_STHOUSAND, L',');
        s.DateSeparator = LocaleChar(LOCALE_SDATE, L'/');
        s.TimeSeparator = LocaleChar(LOCALE_STIME, L':');
        return s;
    }();
    return settings;
}

// Integers

// Parses into the magnitude; Bits is the width of the result (32 or 64).
static bool ParseInteger(std::wstring_view s, int Bits, int64_t& Value) {
    size_t i = 0;
    while (i < s.size() && s[i] == L' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) negative = s[i++] == L'-';
    bool hex = false;
    if (i < s.size() && (s[i] == L'$' || s[i] == L'x' || s[i] == L'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
        hex = true;
        i += 2;
    }
    if (i == s.size()) return false;
    const uint64_t hexMax = Bits == 64 ? UINT64_MAX : UINT32_MAX;
    const uint64_t decMax = (Bits == 64 ? (uint64_t)INT64_MAX : (uint64_t)INT32_MAX) + (negative ? 1 : 0);
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        wchar_t c = s[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (hex && c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        else if (hex && c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else
            return false;
        if (hex) {
            if (v > hexMax >> 4) return false;
            v = v << 4 | digit;
        } else {
            if (v > (decMax - digit) / 10) return false;
            v = v * 10 + digit;
        }
    }
    if (negative) v = 0 - v;
    Value = Bits == 64 ? (int64_t)v : (int64_t)(int32_t)(uint32_t)v;
    return true;
}

bool TryStrToInt(std::wstring_view S, int32_t& Value) {
    int64_t v;
    if (!ParseInteger(S, 32, v)) return false;
    Value = (int32_t)v;
    return true;
}

bool TryStrToInt64(std::wstring_view S, int64_t& Value) {
    return ParseInteger(S, 64, Value);
}

int32_t StrToIntDef(std::wstring_view S, int32_t Default) {
    int32_t v;
    return TryStrToInt(S, v) ? v : Default;
}

int64_t StrToInt64Def(std::wstring_view S, int64_t Default) {
    int64_t v;
    return TryStrToInt64(S, v) ? v : Default;
}

[[noreturn]] static void RaiseNotInteger(std::wstring_view S) {
    throw EConvertError(L"'" + std::wstring(S) + L"' is not a valid integer value");
}

int32_t StrToInt(std::wstring_view S) {
    int32_t v;
    if (!TryStrToInt(S, v)) RaiseNotInteger(S);
    return v;
}

int64_t StrToInt64(std::wstring_view S) {
    int64_t v;
    if (!TryStrToInt64(S, v)) RaiseNotInteger(S);
    return v;
}

// Decimal digits without the C library's printf, which would bring its whole formatter into the program.
template <typename T> static std::wstring Decimal(T Value) {
    char buf[24];
    return std::wstring(buf, std::to_chars(buf, buf + sizeof buf, Value).ptr);
}

std::wstring IntToStr(int64_t Value) {
    return Decimal(Value);
}

std::wstring UIntToStr(uint64_t Value) {
    return Decimal(Value);
}

static std::wstring Hex(uint64_t Value, int Digits) {
    wchar_t buf[17];
    int n = 0;
    do {
        buf[16 - n++] = L"0123456789ABCDEF"[Value & 15];
        Value >>= 4;
    } while (Value);
    std::wstring out(Digits > n ? Digits - n : 0, L'0');
    out.append(buf + 17 - n, n);
    return out;
}

std::wstring IntToHex(int32_t Value, int Digits) {
    return Hex((uint32_t)Value, Digits);
}
std::wstring IntToHex(uint32_t Value, int Digits) {
    return Hex(Value, Digits);
}
std::wstring IntToHex(int64_t Value, int Digits) {
    return Hex((uint64_t)Value, Digits);
}
std::wstring IntToHex(uint64_t Value, int Digits) {
    return Hex(Value, Digits);
}

// Floating point

namespace {
// A finite value as 0.Digits x 10^Exponent; Digits has no trailing zeros and is empty for zero.
struct TDecimal {
    bool Negative = false;
    int Exponent = 0;
    std::string Digits;
};
} // namespace

// The value's 17 significant digits, enough to tell every double apart.
static TDecimal ToDecimal(double Value) {
    TDecimal d;
    d.Negative = std::signbit(Value);
    char buf[40];
    // The system's C library formats it: the formatter of the compiler's own C library is large.
    _snprintf(buf, sizeof buf, "%.16e", std::fabs(Value));
    d.Digits.push_back(buf[0]);
    const char* p = buf + 1;
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p) d.Digits.push_back(*p);
    d.Exponent = (*p == 'e' ? atoi(p + 1) : 0) + 1;
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    if (d.Digits.empty()) d.Exponent = 0;
    return d;
}

// Keeps Count leading digits, rounding half away from zero.
static void RoundDigits(TDecimal& d, int Count) {
    if (Count >= (int)d.Digits.size()) return;
    if (Count < 0) {
        d.Digits.clear();
        return;
    }
    bool up = d.Digits[Count] >= '5';
    d.Digits.resize(Count);
    if (up) {
        int i = Count - 1;
        while (i >= 0 && d.Digits[i] == '9') d.Digits[i--] = '0';
        if (i >= 0)
            ++d.Digits[i];
        else { // all nines: the next power of ten
            d.Digits.assign(1, '1');
            ++d.Exponent;
        }
    }
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    if (d.Digits.empty()) d.Exponent = 0;
}

static std::wstring SpecialFloat(double Value) {
    if (std::isnan(Value)) return L"NAN";
    return Value < 0 ? L"-INF" : L"INF";
}

// Fixed point with Decimals digits after the separator; no sign for a result of zero.
static std::wstring FloatToFixed(double Value, int Decimals) {
    if (!std::isfinite(Value)) return SpecialFloat(Value);
    TDecimal d = ToDecimal(Value);
    RoundDigits(d, d.Exponent + Decimals);
    std::wstring out;
    if (d.Negative && !d.Digits.empty()) out += L'-';
    auto digit = [&](int i) { return i >= 0 && i < (int)d.Digits.size() ? (wchar_t)d.Digits[i] : L'0'; };
    if (d.Exponent <= 0)
        out += L'0';
    else
        for (int i = 0; i < d.Exponent; ++i) out += digit(i);
    if (Decimals > 0) {
        out += FormatSettings().DecimalSeparator;
        for (int i = 0; i < Decimals; ++i) out += digit(d.Exponent + i);
    }
    return out;
}

// The shortest form with at most Precision significant digits.
static std::wstring FloatToGeneral(double Value, int Precision) {
    if (!std::isfinite(Value)) return SpecialFloat(Value);
    TDecimal d = ToDecimal(Value);
    RoundDigits(d, Precision);
    if (d.Digits.empty()) return L"0";
    std::wstring out;
    if (d.Negative) out += L'-';
    const wchar_t sep = FormatSettings().DecimalSeparator;
    const int n = (int)d.Digits.size();
    if (d.Exponent > Precision || d.Exponent < -4) {
        out += (wchar_t)d.Digits[0];
        if (n > 1) {
            out += sep;
            for (int i = 1; i < n; ++i) out += (wchar_t)d.Digits[i];
        }
        out += L'E';
        out += IntToStr(d.Exponent - 1);
    } else if (d.Exponent <= 0) {
        out += L'0';
        out += sep;
        out.append(-d.Exponent, L'0');
        for (char c : d.Digits) out += (wchar_t)c;
    } else {
        for (int i = 0; i < d.Exponent; ++i) out += i < n ? (wchar_t)d.Digits[i] : L'0';
        if (n > d.Exponent) {
            out += sep;
            for (int i = d.Exponent; i < n; ++i) out += (wchar_t)d.Digits[i];
        }
    }
    return out;
}

std::wstring FloatToStr(double Value) {
    return FloatToGeneral(Value, 15);
}

bool TryStrToFloat(std::wstring_view S, double& Value) {
    size_t i = 0, end = S.size();
    while (i < end && S[i] == L' ') ++i;
    while (end > i && S[end - 1] == L' ') --end;
    std::string text; // the number in the C locale's form
    if (i < end && (S[i] == L'+' || S[i] == L'-')) text += (char)S[i++];
    int digits = 0;
    for (; i < end && S[i] >= L'0' && S[i] <= L'9'; ++i, ++digits) text += (char)S[i];
    if (i < end && S[i] == FormatSettings().DecimalSeparator) {
        text += '.';
        for (++i; i < end && S[i] >= L'0' && S[i] <= L'9'; ++i, ++digits) text += (char)S[i];
    }
    if (digits == 0) return false;
    if (i < end && (S[i] == L'E' || S[i] == L'e')) {
        text += 'e';
        ++i;
        if (i < end && (S[i] == L'+' || S[i] == L'-')) text += (char)S[i++];
        int expDigits = 0;
        for (; i < end && S[i] >= L'0' && S[i] <= L'9'; ++i, ++expDigits) text += (char)S[i];
        if (expDigits == 0) return false;
    }
    if (i != end) return false;
    // The system's C library reads it, in the C locale's form built above.
    double v = _strtod_l(text.c_str(), nullptr, nullptr);
    if (!std::isfinite(v)) return false;
    Value = v;
    return true;
}

// Booleans

bool TryStrToBool(std::wstring_view S, bool& Value) {
    double f;
    if (TryStrToFloat(S, f))
        Value = f != 0;
    else if (SameText(S, L"True"))
        Value = true;
    else if (SameText(S, L"False"))
        Value = false;
    else
        return false;
    return true;
}

bool StrToBoolDef(std::wstring_view S, bool Default) {
    bool v;
    return TryStrToBool(S, v) ? v : Default;
}

std::wstring BoolToStr(bool B, bool UseBoolStrs) {
    if (UseBoolStrs) return B ? L"True" : L"False";
    return B ? L"-1" : L"0";
}

// Case and comparison

static wchar_t UpAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? c - 32 : c;
}

std::wstring UpperCase(std::wstring_view S) {
    std::wstring out(S);
    for (wchar_t& c : out) c = UpAscii(c);
    return out;
}

std::wstring LowerCase(std::wstring_view S) {
    std::wstring out(S);
    for (wchar_t& c : out)
        if (c >= L'A' && c <= L'Z') c += 32;
    return out;
}

int CompareText(std::wstring_view S1, std::wstring_view S2) {
    size_t n = std::min(S1.size(), S2.size());
    for (size_t i = 0; i < n; ++i) {
        int d = (int)UpAscii(S1[i]) - (int)UpAscii(S2[i]);
        if (d) return d;
    }
    return (int)S1.size() - (int)S2.size();
}

bool SameText(std::wstring_view S1, std::wstring_view S2) {
    return S1.size() == S2.size() && CompareText(S1, S2) == 0;
}

int CompareStr(std::wstring_view S1, std::wstring_view S2) {
    int r = S1.compare(S2);
    return r < 0 ? -1 : r > 0;
}

std::wstring Trim(std::wstring_view S) {
    size_t b = 0, e = S.size();
    while (b < e && S[b] <= L' ') ++b;
    while (e > b && S[e - 1] <= L' ') --e;
    return std::wstring(S.substr(b, e - b));
}

std::wstring StringReplace(std::wstring_view S, std::wstring_view From, std::wstring_view To) {
    std::wstring out;
    size_t at = From.empty() ? std::wstring_view::npos : S.find(From), from = 0;
    if (at == std::wstring_view::npos) return std::wstring(S);
    out.reserve(S.size());
    for (; at != std::wstring_view::npos; at = S.find(From, from)) {
        out.append(S.substr(from, at - from)).append(To);
        from = at + From.size();
    }
    return out.append(S.substr(from));
}

// Format

std::wstring Format(std::wstring_view Fmt, std::initializer_list<TVarRec> Args) {
    std::wstring out;
    const TVarRec* args = Args.begin();
    const int argCount = (int)Args.size();
    int next = 0;
    auto invalid = [&]() -> void {
        throw EConvertError(L"Format '" + std::wstring(Fmt) + L"' invalid or incompatible with argument");
    };
    auto take = [&]() -> const TVarRec& {
        if (next >= argCount) throw EConvertError(L"No argument for format '" + std::wstring(Fmt) + L"'");
        return args[next++];
    };
    // A number written out, or "*" for the next argument; -1 when there is none.
    auto number = [&](size_t& i) -> int {
        if (i < Fmt.size() && Fmt[i] == L'*') {
            ++i;
            const TVarRec& a = take();
            if (a.Kind() != TVarRec::vkInteger || a.Int() > MaxFormatWidth) invalid();
            return (int)a.Int();
        }
        if (i >= Fmt.size() || Fmt[i] < L'0' || Fmt[i] > L'9') return -1;
        int v = 0;
        for (; i < Fmt.size() && Fmt[i] >= L'0' && Fmt[i] <= L'9'; ++i)
            if ((v = v * 10 + (Fmt[i] - L'0')) > MaxFormatWidth) invalid();
        return v;
    };
    for (size_t i = 0; i < Fmt.size();) {
        if (Fmt[i] != L'%') {
            out += Fmt[i++];
            continue;
        }
        if (++i >= Fmt.size()) invalid();
        if (Fmt[i] == L'%') {
            out += Fmt[i++];
            continue;
        }
        int width = number(i);
        if (i < Fmt.size() && Fmt[i] == L':') { // an explicit argument index
            next = width < 0 ? 0 : width;
            ++i;
            width = -1;
        }
        bool left = false;
        if (i < Fmt.size() && Fmt[i] == L'-') {
            left = true;
            ++i;
        }
        if (width < 0) width = number(i);
        int precision = -1;
        if (i < Fmt.size() && Fmt[i] == L'.') {
            ++i;
            precision = number(i);
        }
        if (i >= Fmt.size()) invalid();
        const wchar_t type = UpAscii(Fmt[i++]);
        const TVarRec& a = take();
        const bool isInt =
            a.Kind() == TVarRec::vkInteger || a.Kind() == TVarRec::vkInt64 || a.Kind() == TVarRec::vkChar;
        std::wstring s;
        switch (type) {
        case L'D':
        case L'U':
        case L'X': {
            if (!isInt) invalid();
            uint64_t magnitude = a.Kind() == TVarRec::vkInt64 ? (uint64_t)a.Int() : (uint32_t)a.Int();
            bool negative = false;
            if (type == L'D' && a.Int() < 0) {
                negative = true;
                magnitude = 0 - (uint64_t)a.Int();
            }
            s = type == L'X' ? Hex(magnitude, 0) : UIntToStr(magnitude);
            if (precision > (int)s.size()) s.insert(0, precision - s.size(), L'0');
            if (negative) s.insert(0, 1, L'-');
            break;
        }
        case L'F':
        case L'G': {
            double v;
            if (a.Kind() == TVarRec::vkFloat)
                v = a.Float();
            else if (isInt)
                v = (double)a.Int();
            else
                invalid();
            if (type == L'F')
                s = FloatToFixed(v, precision < 0 ? 2 : std::min(precision, 18));
            else
                s = FloatToGeneral(v, precision <= 0 || precision > 15 ? 15 : precision);
            break;
        }
        case L'S':
            if (a.Kind() == TVarRec::vkString)
                s = a.Str();
            else if (a.Kind() == TVarRec::vkChar)
                s = std::wstring(1, (wchar_t)a.Int());
            else
                invalid();
            if (precision >= 0 && precision < (int)s.size()) s.resize(precision);
            break;
        default:
            invalid();
        }
        if (width > (int)s.size()) {
            if (left)
                s.append(width - s.size(), L' ');
            else
                s.insert(0, width - s.size(), L' ');
        }
        out += s;
    }
    return out;
}

// Dates and times

static const double MSecsPerDay = 86400000.0;

bool IsLeapYear(uint16_t Year) {
    return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0);
}

static int DaysInMonth(int Year, int Month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return Month == 2 && IsLeapYear(Year) ? 29 : days[Month - 1];
}

// Days from 1899-12-30 to a date of the proleptic Gregorian calendar, and back.
static int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = (unsigned)(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (int64_t)doe - 719468 + 25569; // 719468: 0000-03-01 to 1970-01-01
}

static void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468 - 25569;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = (unsigned)(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = (int64_t)yoe + era * 400 + (m <= 2);
}

bool TryEncodeDate(uint16_t Year, uint16_t Month, uint16_t Day, TDateTime& Date) {
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month))
        return false;
    Date = (double)DaysFromCivil(Year, Month, Day);
    return true;
}

bool TryEncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec, TDateTime& Time) {
    if (Hour > 23 || Min > 59 || Sec > 59 || MSec > 999) return false;
    Time = (((Hour * 60 + Min) * 60 + Sec) * 1000.0 + MSec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(uint16_t Year, uint16_t Month, uint16_t Day) {
    TDateTime d;
    if (!TryEncodeDate(Year, Month, Day, d)) throw EConvertError(L"Invalid argument to date encode");
    return d;
}

TDateTime EncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec) {
    TDateTime t;
    if (!TryEncodeTime(Hour, Min, Sec, MSec, t)) throw EConvertError(L"Invalid argument to time encode");
    return t;
}

// The day and the millisecond of the day, rounded to the nearest millisecond.
static void SplitDateTime(TDateTime DateTime, int64_t& Day, int64_t& MSec) {
    const int64_t total = std::llround(DateTime * MSecsPerDay);
    Day = total / 86400000;
    MSec = (total < 0 ? -total : total) % 86400000;
}

void DecodeDate(TDateTime Date, uint16_t& Year, uint16_t& Month, uint16_t& Day) {
    int64_t day, msec, y;
    SplitDateTime(Date, day, msec);
    unsigned m, d;
    CivilFromDays(day, y, m, d);
    if (y < 1 || y > 9999) {
        Year = Month = Day = 0;
        return;
    }
    Year = (uint16_t)y, Month = (uint16_t)m, Day = (uint16_t)d;
}

void DecodeTime(TDateTime Time, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec) {
    int64_t day, ms;
    SplitDateTime(Time, day, ms);
    MSec = (uint16_t)(ms % 1000);
    Sec = (uint16_t)(ms / 1000 % 60);
    Min = (uint16_t)(ms / 60000 % 60);
    Hour = (uint16_t)(ms / 3600000);
}

TDateTime Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDate(st.wYear, st.wMonth, st.wDay) +
           EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

std::wstring FormatDateTime(std::wstring_view Fmt, TDateTime DateTime) {
    uint16_t year, month, day, hour, min, sec, msec;
    DecodeDate(DateTime, year, month, day);
    DecodeTime(DateTime, hour, min, sec, msec);
    std::wstring out;
    auto put = [&](unsigned v, int digits) {
        std::wstring s = UIntToStr(v);
        if ((int)s.size() < digits) s.insert(0, digits - s.size(), L'0');
        out += s;
    };
    wchar_t lastToken = 0;
    for (size_t i = 0; i < Fmt.size();) {
        const wchar_t c = Fmt[i];
        if (c == L'\'' || c == L'"') {
            size_t close = Fmt.find(c, i + 1);
            if (close == std::wstring_view::npos) close = Fmt.size();
            out += Fmt.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        wchar_t token = UpAscii(c);
        size_t run = 1;
        while (i + run < Fmt.size() && UpAscii(Fmt[i + run]) == token) ++run;
        if (token >= L'A' && token <= L'Z') {
            if (token == L'M' && lastToken == L'H') token = L'N';
            lastToken = token;
        }
        const int width = run >= 2 ? 2 : 1;
        switch (token) {
        case L'Y':
            if (run <= 2)
                put(year % 100, 2);
            else
                put(year, 4);
            break;
        case L'M':
            put(month, width);
            break;
        case L'D':
            put(day, width);
            break;
        case L'H':
            put(hour, width);
            break;
        case L'N':
            put(min, width);
            break;
        case L'S':
            put(sec, width);
            break;
        case L'Z':
            put(msec, run >= 3 ? 3 : 1);
            break;
        case L'/':
            out.append(run, FormatSettings().DateSeparator);
            break;
        case L':':
            out.append(run, FormatSettings().TimeSeparator);
            break;
        default:
            out.append(run, c);
        }
        i += run;
    }
    return out;
}

uint32_t DateTimeToFileDate(TDateTime DateTime) {
    uint16_t year, month, day, hour, min, sec, msec;
    DecodeDate(DateTime, year, month, day);
    if (year < 1980 || year > 2107) return 0;
    DecodeTime(DateTime, hour, min, sec, msec);
    const uint32_t date = (uint32_t)(year - 1980) << 9 | month << 5 | day;
    const uint32_t time = (uint32_t)hour << 11 | min << 5 | sec >> 1;
    return date << 16 | time;
}

TDateTime FileDateToDateTime(uint32_t FileDate) {
    const uint16_t date = (uint16_t)(FileDate >> 16), time = (uint16_t)FileDate;
    return EncodeDate((date >> 9) + 1980, date >> 5 & 15, date & 31) +
           EncodeTime(time >> 11, time >> 5 & 63, (time & 31) * 2, 0);
}

// GUIDs and paths

std::wstring GUIDToString(const GUID& Guid) {
    std::wstring out =
        L"{" + Hex(Guid.Data1, 8) + L"-" + Hex(Guid.Data2, 4) + L"-" + Hex(Guid.Data3, 4) + L"-";
    for (int i = 0; i < 8; ++i) {
        if (i == 2) out += L'-';
        out += Hex(Guid.Data4[i], 2);
    }
    return out + L"}";
}

std::wstring IncludeTrailingPathDelimiter(std::wstring_view S) {
    std::wstring out(S);
    if (out.empty() || out.back() != L'\\') out += L'\\';
    return out;
}

std::wstring ExcludeTrailingPathDelimiter(std::wstring_view S) {
    std::wstring out(S);
    if (!out.empty() && out.back() == L'\\') out.pop_back();
    return out;
}
