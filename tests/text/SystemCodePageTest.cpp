// ANSI conversions in the system code page. The suite runs twice: once in the prefix's default
// (1252) and once with LANG=ru_RU.UTF-8 (1251); ZRX_EXPECT_ACP names the code page the run must have.
#include <gtest/gtest.h>

#include <cstdlib>
#include <windows.h>

#include "tests/text/TextTestSupport.h"
#include "text/KitStreams.h"
#include "text/KitStringConversions.h"

namespace {

// The byte and code point that tell the system code page apart: C0 in 1251, 80 in 1252.
struct TSample {
    uint8_t Byte;
    uint32_t CodePoint;
};

TSample SampleOf(UINT CodePage) {
    if (CodePage == 1251) return {0xC0, 0x410};
    if (CodePage == 1252) return {0x80, 0x20AC};
    return {0, 0};
}

} // namespace

TEST(SystemCodePage, IsTheOneThisRunExpects) {
    const char* expected = std::getenv("ZRX_EXPECT_ACP");
    if (!expected) GTEST_SKIP() << "no code page expected";
    EXPECT_EQ(GetACP(), UINT(std::atoi(expected)));
}

TEST(SystemCodePage, ReadersAndWritersAgree) {
    TSample sample = SampleOf(GetACP());
    if (!sample.Byte) GTEST_SKIP() << "system code page " << GetACP();

    TTestStream one(Bytes{sample.Byte, 'A'});
    uint32_t ch;
    ASSERT_TRUE(AnsiReadCharFromStream(&one, ch));
    EXPECT_EQ(ch, sample.CodePoint);

    TTestStream block(Bytes{'A', sample.Byte, 'B'});
    TUCS4Array buf(3);
    int start = 0;
    EXPECT_EQ(AnsiReadCharsFromStream(&block, buf, start, 3), 3);
    EXPECT_EQ(buf, (TUCS4Array{0x41, sample.CodePoint, 0x42}));

    EXPECT_EQ(AnsiCharToCodePoint(char(sample.Byte)), sample.CodePoint);
    EXPECT_EQ(uint8_t(CodePointToAnsiChar(sample.CodePoint)), sample.Byte);
    std::string s(1, char(sample.Byte));
    int index = 1;
    EXPECT_EQ(AnsiReadCharAt(s, index), sample.CodePoint);

    TTestStream out;
    EXPECT_TRUE(AnsiWriteCharToStream(&out, sample.CodePoint));
    start = 0;
    TUCS4Array text{sample.CodePoint, 0x41};
    EXPECT_EQ(AnsiWriteCharsToStream(&out, text, start, 2), 2);
    EXPECT_EQ(out.Bytes(), (Bytes{sample.Byte, sample.Byte, 0x41}));

    std::string target(2, ' ');
    index = 1;
    EXPECT_TRUE(AnsiWriteCharAt(target, index, sample.CodePoint));
    EXPECT_EQ(uint8_t(target[0]), sample.Byte);
}

TEST(SystemCodePage, ControlCharactersStayControlCharacters) {
    // White space must survive the block decoder's flags, or no ANSI XML file would parse.
    TTestStream block(std::string("\t\n\r <"));
    TUCS4Array buf(5);
    int start = 0;
    EXPECT_EQ(AnsiReadCharsFromStream(&block, buf, start, 5), 5);
    EXPECT_EQ(buf, (TUCS4Array{9, 10, 13, 32, 60}));
}

TEST(SystemCodePage, AutoStreamReadsAnsiTextInTheSystemCodePage) {
    TSample sample = SampleOf(GetACP());
    if (!sample.Byte) GTEST_SKIP() << "system code page " << GetACP();
    TTestStream bytes(Bytes{'<', sample.Byte, '>'});
    TKitAutoStream text(&bytes, false);
    EXPECT_EQ(text.Encoding(), seAnsi);
    EXPECT_EQ(text.CodePage(), 0);
    uint32_t ch;
    ASSERT_TRUE(text.ReadUCS4(ch));
    ASSERT_TRUE(text.ReadUCS4(ch));
    EXPECT_EQ(ch, sample.CodePoint);
}
