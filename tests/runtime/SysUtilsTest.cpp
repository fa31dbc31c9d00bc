#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "runtime/SysUtils.h"

namespace {
// Sets the decimal separator for one test and puts the old one back.
struct DecimalSeparator {
    explicit DecimalSeparator(wchar_t c) : Old(FormatSettings().DecimalSeparator) {
        FormatSettings().DecimalSeparator = c;
    }
    ~DecimalSeparator() { FormatSettings().DecimalSeparator = Old; }
    wchar_t Old;
};
} // namespace

TEST(Integers, AcceptedForms) {
    EXPECT_EQ(StrToInt64Def(L"42", -1), 42);
    EXPECT_EQ(StrToInt64Def(L"   -42", 0), -42);
    EXPECT_EQ(StrToInt64Def(L"+7", 0), 7);
    EXPECT_EQ(StrToInt64Def(L"$ff", 0), 255);
    EXPECT_EQ(StrToInt64Def(L"x1F", 0), 31);
    EXPECT_EQ(StrToInt64Def(L"X1f", 0), 31);
    EXPECT_EQ(StrToInt64Def(L"0x10", 0), 16);
    EXPECT_EQ(StrToInt64Def(L"0X10", 0), 16);
    EXPECT_EQ(StrToInt64Def(L"-$10", 0), -16);
    EXPECT_EQ(StrToInt64Def(L"0", -1), 0);
    EXPECT_EQ(StrToInt64Def(L"007", -1), 7);
    EXPECT_EQ(StrToInt64Def(L"9223372036854775807", 0), INT64_MAX);
    EXPECT_EQ(StrToInt64Def(L"-9223372036854775808", 0), INT64_MIN);
    EXPECT_EQ(StrToInt64Def(L"$FFFFFFFFFFFFFFFF", 0), -1);
    EXPECT_EQ(StrToInt64Def(L"$0000000000000000001", 0), 1);
}

TEST(Integers, RejectedFormsGiveTheDefault) {
    for (const wchar_t* s :
         {L"", L" ", L"-", L"+", L"$", L"0x", L"x", L"12a", L"12 ", L"1.5", L"\t5", L"--5", L"$G", L"5-",
          L"9223372036854775808", L"-9223372036854775809", L"$10000000000000000", L"１２"})
        EXPECT_EQ(StrToInt64Def(s, -1), -1) << s;
}

TEST(Integers, ThirtyTwoBitRange) {
    EXPECT_EQ(StrToIntDef(L"2147483647", 0), INT32_MAX);
    EXPECT_EQ(StrToIntDef(L"-2147483648", 0), INT32_MIN);
    EXPECT_EQ(StrToIntDef(L"2147483648", -1), -1);
    EXPECT_EQ(StrToIntDef(L"$FFFFFFFF", 0), -1);
    EXPECT_EQ(StrToIntDef(L"$100000000", 7), 7);
    EXPECT_EQ(StrToIntDef(L"$20AC", -1), 0x20AC);
    EXPECT_EQ(StrToIntDef(L"8080", 0), 8080);
    EXPECT_EQ(StrToInt(L" 12"), 12);
    try {
        StrToInt(L"abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), L"'abc' is not a valid integer value");
    }
}

TEST(Floats, ParseWithTheGlobalSeparator) {
    DecimalSeparator point(L'.');
    double v = 0;
    EXPECT_TRUE(TryStrToFloat(L"12.4", v));
    EXPECT_DOUBLE_EQ(v, 12.4);
    EXPECT_TRUE(TryStrToFloat(L"  -1.5e3  ", v));
    EXPECT_DOUBLE_EQ(v, -1500);
    EXPECT_TRUE(TryStrToFloat(L".5", v));
    EXPECT_DOUBLE_EQ(v, 0.5);
    EXPECT_TRUE(TryStrToFloat(L"5.", v));
    EXPECT_DOUBLE_EQ(v, 5);
    for (const wchar_t* s : {L"", L".", L"1,5", L"1e", L"e5", L"1.2.3", L"1 000", L"abc", L"1e999", L"0x10"})
        EXPECT_FALSE(TryStrToFloat(s, v)) << s;

    DecimalSeparator comma(L',');
    EXPECT_TRUE(TryStrToFloat(L"1,25", v));
    EXPECT_DOUBLE_EQ(v, 1.25);
    EXPECT_FALSE(TryStrToFloat(L"1.25", v));
}

TEST(Floats, ShortestText) {
    DecimalSeparator point(L'.');
    EXPECT_EQ(FloatToStr(0), L"0");
    EXPECT_EQ(FloatToStr(12.4), L"12.4");
    EXPECT_EQ(FloatToStr(0.1), L"0.1");
    EXPECT_EQ(FloatToStr(-2.5), L"-2.5");
    EXPECT_EQ(FloatToStr(1.0 / 3), L"0.333333333333333");
    EXPECT_EQ(FloatToStr(2.0 / 3), L"0.666666666666667");
    EXPECT_EQ(FloatToStr(100), L"100");
    EXPECT_EQ(FloatToStr(123456789012345.0), L"123456789012345");
    EXPECT_EQ(FloatToStr(1e15), L"1E15");
    EXPECT_EQ(FloatToStr(1.5e20), L"1.5E20");
    EXPECT_EQ(FloatToStr(0.00001), L"0.00001");
    EXPECT_EQ(FloatToStr(0.000001), L"1E-6");
    EXPECT_EQ(FloatToStr(0.99999999999999999), L"1");
    DecimalSeparator comma(L',');
    EXPECT_EQ(FloatToStr(3.75), L"3,75");
}

// The digits come from the system's C library: the extremes of the range and the halfway cases read and
// print exactly, and every double survives a trip through 17 digits.
TEST(Floats, ExactAtTheEdgesOfTheRange) {
    DecimalSeparator point(L'.');
    double v = 0;
    const std::pair<const wchar_t*, double> exact[] = {{L"1.7976931348623157e308", 1.7976931348623157e308},
                                                       {L"2.2250738585072014E-308", 2.2250738585072014e-308},
                                                       {L"4.9406564584124654e-324", 4.9406564584124654e-324},
                                                       {L"9007199254740993", 9007199254740992.0},
                                                       {L"9007199254740995", 9007199254740996.0},
                                                       {L"0.30000000000000004", 0.1 + 0.2},
                                                       {L"-0", -0.0}};
    for (auto [text, value] : exact) {
        ASSERT_TRUE(TryStrToFloat(text, v)) << text;
        EXPECT_EQ(v, value) << text;
    }
    EXPECT_TRUE(std::signbit(v));
    EXPECT_FALSE(TryStrToFloat(L"1.8e308", v));
    EXPECT_EQ(FloatToStr(1.7976931348623157e308), L"1.79769313486232E308");
    EXPECT_EQ(FloatToStr(4.9406564584124654e-324), L"4.94065645841247E-324");
    EXPECT_EQ(FloatToStr(0.1 + 0.2), L"0.3");
    EXPECT_EQ(FloatToStr(-1e-300), L"-1E-300");
    EXPECT_EQ(Format(L"%.2f", 2.675), L"2.67");   // 2.67499999999999982236431605997495353221893310546875
    EXPECT_EQ(Format(L"%.3f", 1.0005), L"1.000"); // 1.000499999999999944932605...
}

TEST(Integers, DecimalTextOfTheWholeRange) {
    EXPECT_EQ(IntToStr(0), L"0");
    EXPECT_EQ(IntToStr(INT64_MIN), L"-9223372036854775808");
    EXPECT_EQ(IntToStr(INT64_MAX), L"9223372036854775807");
    EXPECT_EQ(UIntToStr(UINT64_MAX), L"18446744073709551615");
    EXPECT_EQ(Format(L"%d|%u|%d", INT64_MIN, (int64_t)-1, (int32_t)-7),
              L"-9223372036854775808|18446744073709551615|-7");
}

TEST(Text, CaseTouchesAsciiLettersOnly) {
    EXPECT_EQ(UpperCase(L"windows-1251 é ß ä"), L"WINDOWS-1251 é ß ä");
    EXPECT_EQ(LowerCase(L"UTF-8 É Ä"), L"utf-8 É Ä");
    EXPECT_TRUE(SameText(L"Utf-8", L"uTF-8"));
    EXPECT_FALSE(SameText(L"é", L"É"));
    EXPECT_FALSE(SameText(L"abc", L"abcd"));
    EXPECT_LT(CompareText(L"abc", L"ABD"), 0);
    EXPECT_GT(CompareText(L"abcd", L"ABC"), 0);
    EXPECT_EQ(CompareText(L"_", L"_"), 0);
    EXPECT_LT(CompareStr(L"B", L"a"), 0);
    EXPECT_EQ(Trim(L" \t\r\n x y \x01"), L"x y");
    EXPECT_EQ(Trim(L"   "), L"");
}

TEST(FormatText, IntegersAndHex) {
    EXPECT_EQ(Format(L"&#x%.2x;", 1), L"&#x01;");
    EXPECT_EQ(Format(L"&#x%.2x;", 0xE9), L"&#xE9;");
    EXPECT_EQ(Format(L"&#x%.4x;", 0x20AC), L"&#x20AC;");
    EXPECT_EQ(Format(L"&#x%.4x;", (wchar_t)0xD800), L"&#xD800;");
    EXPECT_EQ(Format(L"%x", -1), L"FFFFFFFF");
    EXPECT_EQ(Format(L"%x", (int64_t)-1), L"FFFFFFFFFFFFFFFF");
    EXPECT_EQ(Format(L"%d|%5d|%-5d|%.3d", 42, 42, 42, -5), L"42|   42|42   |-005");
    EXPECT_EQ(Format(L"%u", -1), L"4294967295");
    EXPECT_EQ(Format(L"%d%%", 50), L"50%");
    EXPECT_EQ(Format(L"%*d", 4, 7), L"   7");
}

TEST(FormatText, StringsAndIndexes) {
    EXPECT_EQ(Format(L"Uninstall %S", L"Zorvex"), L"Uninstall Zorvex");
    EXPECT_EQ(Format(L" %s:%s=\"%s\"", std::wstring(L"ns"), L"a", L"v"), L" ns:a=\"v\"");
    EXPECT_EQ(Format(L"expecting </%0:s> but </%1:s> found at position %d", L"a", L"b", 17),
              L"expecting </a> but </b> found at position 17");
    EXPECT_EQ(Format(L"%1:s %0:s %s", L"x", L"y"), L"y x y");
    EXPECT_EQ(Format(L"\"%s\"", L'<'), L"\"<\"");
    EXPECT_EQ(Format(L"%.3s|%4s", L"abcdef", L"ab"), L"abc|  ab");
    EXPECT_EQ(Format(L"no arguments"), L"no arguments");
}

TEST(FormatText, FixedPointWithTheUsersSeparator) {
    DecimalSeparator point(L'.');
    EXPECT_EQ(Format(L"Downloaded: %f Mb from %f Mb", 0.0, 7444889 / 1048576.0),
              L"Downloaded: 0.00 Mb from 7.10 Mb");
    EXPECT_EQ(Format(L"%f", 0.125), L"0.13");
    EXPECT_EQ(Format(L"%f", -0.001), L"0.00");
    EXPECT_EQ(Format(L"%f", -1.006), L"-1.01");
    EXPECT_EQ(Format(L"%f", -1.005), L"-1.00"); // 1.00499999999999989...
    EXPECT_EQ(Format(L"%f", 999.999), L"1000.00");
    EXPECT_EQ(Format(L"%.0f|%.3f", 2.5, 1.0), L"3|1.000");
    EXPECT_EQ(Format(L"%f", 1234567.891), L"1234567.89");
    EXPECT_EQ(Format(L"%f", 3), L"3.00");
    DecimalSeparator comma(L',');
    EXPECT_EQ(Format(L"%f", 7.1), L"7,10");
}

TEST(FormatText, BadFormatsRaise) {
    EXPECT_THROW(Format(L"%d", L"text"), EConvertError);
    EXPECT_THROW(Format(L"%s", 5), EConvertError);
    EXPECT_THROW(Format(L"%d %d", 5), EConvertError);
    EXPECT_THROW(Format(L"50%"), EConvertError);
    EXPECT_THROW(Format(L"%q", 5), EConvertError);
    try {
        Format(L"%d %d", 1);
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), L"No argument for format '%d %d'");
    }
}

// Formats come from language files: a width is bounded, so no format is worth megabytes of blanks.
TEST(FormatText, WidthsPrecisionsAndIndexesAreBounded) {
    EXPECT_EQ(Format(L"%1024s", L"x").size(), 1024u);
    EXPECT_EQ(Format(L"%.1024f", 1.0).size(), 20u); // decimals stop at 18 as they always did
    EXPECT_THROW(Format(L"%1025s", L"x"), EConvertError);
    EXPECT_THROW(Format(L"%0:1048576S", L"x"), EConvertError);
    EXPECT_THROW(Format(L"%.99999999999999999999d", 1), EConvertError);
    EXPECT_THROW(Format(L"%4294967296:s", L"x"), EConvertError);
    EXPECT_THROW(Format(L"%*d", 5000, 1), EConvertError);
}

TEST(Text, StringReplaceReplacesEveryOccurrenceInOnePass) {
    EXPECT_EQ(StringReplace(L"$A$ and $A$$A$", L"$A$", L"Zorvex"), L"Zorvex and ZorvexZorvex");
    EXPECT_EQ(StringReplace(L"aaa", L"a", L"aa"), L"aaaaaa"); // what it puts in is not searched again
    EXPECT_EQ(StringReplace(L"abc", L"", L"x"), L"abc");
    EXPECT_EQ(StringReplace(L"abc", L"abc", L""), L"");
    EXPECT_EQ(StringReplace(L"line\\nnext", L"\\n", L"\r\n"), L"line\r\nnext");
    // Many occurrences in a long text: one pass (a replacement in place per occurrence took minutes).
    std::wstring many;
    for (int i = 0; i < 800000; ++i) many += L"$AppName$";
    EXPECT_EQ(StringReplace(many, L"$AppName$", L"Zorvex").size(), 800000u * 6);
}

TEST(Dates, EncodeAndDecode) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2000, 13, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2000, 1, 0), EConvertError);
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_THROW(EncodeTime(0, 0, 60, 0), EConvertError);

    // Every day from 1601 to 2200 decodes to what it was encoded from.
    for (double d = EncodeDate(1601, 1, 1); d <= EncodeDate(2200, 12, 31); d += 1) {
        uint16_t y, m, dd;
        // Before 1899-12-30 the time counts away from zero: -1.25 is 1899-12-29 06:00.
        DecodeDate(d < 0 ? d - 0.75 : d + 0.75, y, m, dd);
        ASSERT_EQ(EncodeDate(y, m, dd), d);
    }
    uint16_t h, n, s, ms;
    DecodeTime(EncodeDate(2012, 11, 14) + EncodeTime(23, 59, 59, 999), h, n, s, ms);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 235959999);
    TDateTime now = Now();
    EXPECT_GT(now, EncodeDate(2020, 1, 1));
}

TEST(Dates, FormatDateTimeStamp) {
    TDateTime t = EncodeDate(2012, 11, 14) + EncodeTime(15, 30, 45, 0);
    EXPECT_EQ(FormatDateTime(L"ddmmyyyhhmmss", t), L"14112012153045");
    TDateTime early = EncodeDate(2009, 3, 5) + EncodeTime(7, 8, 9, 0);
    EXPECT_EQ(FormatDateTime(L"ddmmyyyhhmmss", early), L"05032009070809");
    EXPECT_EQ(FormatDateTime(L"d.m.yy h:n:s 'dd' \"mm\" zzz", early),
              L"5.3.09 7" + std::wstring(1, FormatSettings().TimeSeparator) + L"8" +
                  FormatSettings().TimeSeparator + L"9 dd mm 000");
    EXPECT_EQ(FormatDateTime(L"yyyy-mm-dd hh:mm", early).substr(0, 10), L"2009-03-05");
}

TEST(Dates, DosDateTimeRoundTrip) {
    TDateTime t = EncodeDate(2012, 11, 14) + EncodeTime(15, 30, 45, 0);
    uint32_t packed = DateTimeToFileDate(t);
    EXPECT_EQ(packed, (uint32_t)((32 << 9 | 11 << 5 | 14) << 16 | (15 << 11 | 30 << 5 | 22)));
    // Two-second resolution: 45 s comes back as 44 s.
    EXPECT_DOUBLE_EQ(FileDateToDateTime(packed), EncodeDate(2012, 11, 14) + EncodeTime(15, 30, 44, 0));
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(1980, 1, 1)), 0x00210000u);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(2107, 12, 31) + EncodeTime(23, 59, 58, 0)), 0xFF9FBF7Du);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31) + EncodeTime(23, 59, 59, 0)), 0u);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(2108, 1, 1)), 0u);
    EXPECT_DOUBLE_EQ(FileDateToDateTime(0xFF9FBF7Du), EncodeDate(2107, 12, 31) + EncodeTime(23, 59, 58, 0));
}

TEST(Dates, InvalidDosFieldsRaise) {
    const uint32_t goodDate = 32 << 9 | 11 << 5 | 14, goodTime = 15 << 11 | 30 << 5 | 22;
    EXPECT_THROW(FileDateToDateTime(0), EConvertError); // month and day 0
    EXPECT_THROW(FileDateToDateTime((32 << 9 | 0 << 5 | 14) << 16 | goodTime), EConvertError); // month 0
    EXPECT_THROW(FileDateToDateTime((32 << 9 | 13 << 5 | 14) << 16 | goodTime), EConvertError);
    EXPECT_THROW(FileDateToDateTime((32 << 9 | 2 << 5 | 30) << 16 | goodTime), EConvertError); // 30 February
    EXPECT_THROW(FileDateToDateTime((32 << 9 | 11 << 5 | 0) << 16 | goodTime), EConvertError);
    EXPECT_THROW(FileDateToDateTime(goodDate << 16 | 24 << 11), EConvertError);
    EXPECT_THROW(FileDateToDateTime(goodDate << 16 | 60 << 5), EConvertError);
    EXPECT_THROW(FileDateToDateTime(goodDate << 16 | 30), EConvertError);
    EXPECT_NO_THROW(FileDateToDateTime(goodDate << 16 | 23 << 11 | 59 << 5 | 29));
    try {
        FileDateToDateTime(0);
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), L"Invalid argument to date encode");
    }
}
