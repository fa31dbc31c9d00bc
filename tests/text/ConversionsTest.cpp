#include <gtest/gtest.h>

#include "tests/text/TextTestSupport.h"
#include "text/KitStringConversions.h"

namespace {

// Every code point that Utf8ReadCharFromStream yields, one call at a time.
TUCS4Array ReadAllUtf8One(const Bytes& B) {
    TTestStream s(B);
    TUCS4Array out;
    for (uint32_t ch; Utf8ReadCharFromStream(&s, ch);) out.push_back(ch);
    return out;
}

TUCS4Array ReadAllUtf8Block(const Bytes& B, int Count = 100) {
    TTestStream s(B);
    TUCS4Array out(size_t(Count) + 2, 0xDEAD);
    int start = 2;
    int n = Utf8ReadCharsFromStream(&s, out, start, Count);
    EXPECT_EQ(start, 2 + n);
    return TUCS4Array(out.begin() + 2, out.begin() + 2 + n);
}

} // namespace

TEST(Utf8Decoding, WellFormedOverlongSurrogateAndLongForms) {
    EXPECT_EQ(ReadAllUtf8One({0xC3, 0xA9}), TUCS4Array{0xE9});
    EXPECT_EQ(ReadAllUtf8One({0xC0, 0x80}), TUCS4Array{0});
    EXPECT_EQ(ReadAllUtf8One({0xED, 0xA0, 0x80}), TUCS4Array{0xD800});
    EXPECT_EQ(ReadAllUtf8One({0xF4, 0x90, 0x80, 0x80}), TUCS4Array{0x110000});
    EXPECT_EQ(ReadAllUtf8One({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}), TUCS4Array{0x4000000});
    EXPECT_EQ(ReadAllUtf8One({0xF8, 0x88, 0x80, 0x80, 0x80}), TUCS4Array{0x200000});
    EXPECT_EQ(ReadAllUtf8One({0xF0, 0x9F, 0x98, 0x80}), TUCS4Array{0x1F600});
}

TEST(Utf8Decoding, InvalidBytesBecomeReplacementAndDecodingGoesOn) {
    // A bad continuation byte is consumed with the broken sequence.
    EXPECT_EQ(ReadAllUtf8One({0xE2, 0x41, 0x42}), (TUCS4Array{0xFFFD, 0x42}));
    EXPECT_EQ(ReadAllUtf8Block({0xE2, 0x41, 0x42}), (TUCS4Array{0xFFFD, 0x42}));
    // Stray continuation bytes and FE / FF take one byte each.
    Bytes lone{0x80, 0xBF, 0xFE, 0xFF, 0x41};
    TUCS4Array expected{0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0x41};
    EXPECT_EQ(ReadAllUtf8One(lone), expected);
    EXPECT_EQ(ReadAllUtf8Block(lone), expected);
}

TEST(Utf8Decoding, TruncatedSequenceAtTheEndYieldsNothing) {
    TTestStream s(Bytes{0xE2, 0x82});
    uint32_t ch = 7;
    EXPECT_FALSE(Utf8ReadCharFromStream(&s, ch));
    EXPECT_EQ(ReadAllUtf8Block({0x41, 0xC3, 0xA9, 0xE2, 0x82}), (TUCS4Array{0x41, 0xE9}));
}

TEST(Utf8Decoding, BlockReadStopsAtCountAndLeavesTheStreamAfterTheLastCodePoint) {
    // Multi-byte text: the block reader must not take bytes of code points it does not return.
    Bytes text;
    for (int i = 0; i < 300; ++i) text.insert(text.end(), {0xD0, 0x96, 0x41, 0xE2, 0x82, 0xAC});
    TTestStream s(text);
    TUCS4Array buf(1000);
    int start = 0;
    ASSERT_EQ(Utf8ReadCharsFromStream(&s, buf, start, 301), 301);
    // 100 groups of three code points (6 bytes) and one more two-byte code point.
    EXPECT_EQ(s.Position(), 100 * 6 + 2);
    EXPECT_EQ(buf[300], 0x416u);
    uint32_t ch;
    ASSERT_TRUE(Utf8ReadCharFromStream(&s, ch));
    EXPECT_EQ(ch, 0x41u);
}

TEST(Utf8Encoding, FormsByValue) {
    auto encode = [](uint32_t ch) {
        TTestStream s;
        EXPECT_TRUE(Utf8WriteCharToStream(&s, ch));
        return s.Bytes();
    };
    EXPECT_EQ(encode(0x41), (Bytes{0x41}));
    EXPECT_EQ(encode(0xE9), (Bytes{0xC3, 0xA9}));
    EXPECT_EQ(encode(0x20AC), (Bytes{0xE2, 0x82, 0xAC}));
    EXPECT_EQ(encode(0xD800), (Bytes{0xED, 0xA0, 0x80}));
    EXPECT_EQ(encode(0x10FFFF), (Bytes{0xF4, 0x8F, 0xBF, 0xBF}));
    EXPECT_EQ(encode(0x4000000), (Bytes{0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}));
    EXPECT_EQ(encode(0x80000000), (Bytes{0xEF, 0xBF, 0xBD}));
}

TEST(Utf8Encoding, BlockWriteCountsOnlyWholeCodePoints) {
    TUCS4Array text{0x41, 0x20AC, 0x42};
    TTestStream s;
    s.WriteLimit = 3; // room for "A" and two of the euro sign's three bytes
    int start = 0;
    EXPECT_EQ(Utf8WriteCharsToStream(&s, text, start, 3), 1);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(s.Bytes(), (Bytes{0x41, 0xE2, 0x82}));

    TTestStream all;
    start = 1;
    EXPECT_EQ(Utf8WriteCharsToStream(&all, text, start, 2), 2);
    EXPECT_EQ(start, 3);
    EXPECT_EQ(all.Bytes(), (Bytes{0xE2, 0x82, 0xAC, 0x42}));
}

TEST(Utf16, SurrogatesInBothDirections) {
    auto encode = [](uint32_t ch) {
        TTestStream s;
        EXPECT_TRUE(Utf16WriteCharToStream(&s, ch));
        return s.Bytes();
    };
    EXPECT_EQ(encode(0x10000), (Bytes{0x00, 0xD8, 0x00, 0xDC}));
    EXPECT_EQ(encode(0x10FFFF), (Bytes{0xFF, 0xDB, 0xFF, 0xDF}));
    EXPECT_EQ(encode(0x110000), (Bytes{0xFD, 0xFF}));

    std::wstring s(2, L'\0');
    int index = 1;
    ASSERT_TRUE(WideWriteCharAt(s, index, 0x10000));
    EXPECT_EQ(index, 3);
    EXPECT_EQ(s, std::wstring({wchar_t(0xD800), wchar_t(0xDC00)}));
    // A pair does not fit at the last unit: nothing changes.
    std::wstring t(L"ab");
    index = 2;
    EXPECT_FALSE(WideWriteCharAt(t, index, 0x10000));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(t, L"ab");

    // Joined pair, and a high surrogate followed by a letter: the letter is lost in a stream...
    TTestStream pair(Bytes{0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 0x41, 0x00, 0x42, 0x00});
    uint32_t ch;
    ASSERT_TRUE(Utf16ReadCharFromStream(&pair, ch));
    EXPECT_EQ(ch, 0x1F600u);
    ASSERT_TRUE(Utf16ReadCharFromStream(&pair, ch));
    EXPECT_EQ(ch, 0xFFFDu);
    ASSERT_TRUE(Utf16ReadCharFromStream(&pair, ch));
    EXPECT_EQ(ch, 0x42u);
    // ...but kept in a string, where the next read starts at it.
    std::wstring units{wchar_t(0xD800), L'A'};
    index = 1;
    EXPECT_EQ(WideReadCharAt(units, index), 0xFFFDu);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(UnicodeReadCharAt(units, index), 0x41u);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(WideReadCharAt(units, index), 0xFFFDu); // out of range: index kept
    EXPECT_EQ(index, 3);
}

TEST(Utf16, BlockReadDropsADanglingByteAndAnUnfinishedPair) {
    TTestStream odd(Bytes{0x41, 0x00, 0x42});
    TUCS4Array buf(10);
    int start = 0;
    EXPECT_EQ(Utf16ReadCharsFromStream(&odd, buf, start, 10), 1);
    TTestStream cut(Bytes{0x41, 0x00, 0x00, 0xD8, 0x00});
    start = 0;
    EXPECT_EQ(Utf16ReadCharsFromStream(&cut, buf, start, 10), 1);
    EXPECT_EQ(buf[0], 0x41u);
    TTestStream lowFirst(Bytes{0x00, 0xDC, 0x41, 0x00});
    start = 0;
    EXPECT_EQ(Utf16ReadCharsFromStream(&lowFirst, buf, start, 1), 1);
    EXPECT_EQ(buf[0], 0xFFFDu);
    EXPECT_EQ(lowFirst.Position(), 2); // nothing read beyond the one code point asked for
}

TEST(AnsiCodePage, GivenCodePageDecodesAndEncodes) {
    // 1251: C0 is U+0410; 1252: 80 is the euro sign.
    TTestStream cyr(Bytes{0xC0, 0xE0, 0x41});
    TUCS4Array buf(10);
    int start = 0;
    EXPECT_EQ(AnsiReadCharsFromStreamCP(&cyr, 1251, buf, 10, start), 3);
    EXPECT_EQ(buf[0], 0x410u);
    EXPECT_EQ(buf[1], 0x430u);
    EXPECT_EQ(start, 3);
    TTestStream euro(Bytes{0x80});
    uint32_t ch;
    ASSERT_TRUE(AnsiReadCharFromStreamCP(&euro, 1252, ch));
    EXPECT_EQ(ch, 0x20ACu);

    TTestStream out;
    EXPECT_TRUE(AnsiWriteCharToStreamCP(&out, 1251, 0x410));
    TUCS4Array text{0x430, 0x20AC, 0x41};
    start = 0;
    EXPECT_EQ(AnsiWriteCharsToStreamCP(&out, 1252, text, 3, start), 3);
    // U+0430 has no byte in 1252: the system's default character stands for it.
    EXPECT_EQ(out.Bytes(), (Bytes{0xC0, '?', 0x80, 0x41}));
}

TEST(AnsiCodePage, RefusedCodePagesDecodeNothing) {
    for (uint16_t cp : {uint16_t(65001), uint16_t(65000), uint16_t(50220)}) {
        TTestStream s(std::string("plain text"));
        uint32_t ch = 0;
        EXPECT_FALSE(AnsiReadCharFromStreamCP(&s, cp, ch)) << cp;
        EXPECT_EQ(ch, 0xFFFDu);
        TTestStream block(std::string("plain text"));
        TUCS4Array buf(20);
        int start = 0;
        EXPECT_EQ(AnsiReadCharsFromStreamCP(&block, cp, buf, 20, start), 0) << cp;
        EXPECT_EQ(block.Position(), block.Size()); // read to its end
    }
}

TEST(AnsiCodePage, UnconvertibleCodePointWritesTheReplacementByte) {
    TTestStream out;
    EXPECT_TRUE(AnsiWriteCharToStreamCP(&out, 12345, 0x41)); // no such code page
    EXPECT_EQ(out.Bytes(), (Bytes{uint8_t(AnsiReplacementChar())}));
    EXPECT_EQ(AnsiReplacementChar(), '?');
}

TEST(AnsiPositions, WritesThatDoNotFitChangeNothing) {
    std::string s = "xy";
    int index = 2;
    EXPECT_TRUE(AnsiWriteCharAt(s, index, 'A'));
    EXPECT_EQ(s, "xA");
    EXPECT_EQ(index, 3);
    EXPECT_FALSE(AnsiWriteCharAt(s, index, 'B'));
    EXPECT_EQ(index, 3);
    index = 0;
    EXPECT_FALSE(AnsiWriteCharAt(s, index, 'B'));
    index = 1;
    EXPECT_EQ(AnsiReadCharAt(s, index), 0x78u);
    EXPECT_EQ(index, 2);
    index = 5;
    EXPECT_EQ(AnsiReadCharAt(s, index), 0xFFFDu);
    EXPECT_EQ(index, 5);
}

namespace {

// Random bytes biased towards UTF-8 and UTF-16 structure: lead bytes, continuation bytes,
// surrogate halves and ASCII.
Bytes RandomText(uint32_t& Seed, size_t Size) {
    static const uint8_t pool[] = {0x41, 0x20, 0x7F, 0x80, 0xBF, 0xC3, 0xA9, 0xC0, 0xE2, 0x82, 0xAC, 0xED,
                                   0xF0, 0x9F, 0x98, 0xF4, 0xF8, 0xFC, 0xFE, 0xFF, 0x00, 0xD8, 0xDC, 0xDB};
    Bytes b(Size);
    for (uint8_t& x : b) {
        Seed = Seed * 1103515245u + 12345u;
        x = pool[(Seed >> 16) % sizeof pool];
    }
    return b;
}

} // namespace

// The block readers read ahead in chunks; they must store the same code points and leave the
// stream at the same byte as the same number of one-at-a-time reads.
TEST(BlockReaders, AgreeWithOneAtATimeReads) {
    using TOne = bool (*)(TStream*, uint32_t&);
    using TBlock = int (*)(TStream*, TUCS4Array&, int&, int);
    const std::pair<TOne, TBlock> codecs[] = {{Utf8ReadCharFromStream, Utf8ReadCharsFromStream},
                                              {Utf16ReadCharFromStream, Utf16ReadCharsFromStream}};
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        Bytes text = RandomText(seed, 1 + round * 37 % 3000);
        for (auto [one, block] : codecs) {
            TTestStream a(text), b(text);
            for (int count : {1, 2, 3, 7, 64, 4096}) {
                TUCS4Array expected;
                uint32_t ch;
                for (int i = 0; i < count && one(&a, ch); ++i) expected.push_back(ch);
                TUCS4Array got(static_cast<size_t>(count));
                int start = 0;
                got.resize(size_t(block(&b, got, start, count)));
                ASSERT_EQ(got, expected) << "round " << round << ", count " << count;
                ASSERT_EQ(b.Position(), a.Position()) << "round " << round << ", count " << count;
            }
        }
    }
}

// The block writers collect bytes before writing; a stream that refuses bytes must see the same
// bytes, and the writers report the same count, as with one-at-a-time writes.
TEST(BlockWriters, AgreeWithOneAtATimeWritesOnAFullStream) {
    using TOne = bool (*)(TStream*, uint32_t);
    using TBlock = int (*)(TStream*, const TUCS4Array&, int&, int);
    const std::pair<TOne, TBlock> codecs[] = {{Utf8WriteCharToStream, Utf8WriteCharsToStream},
                                              {Utf16WriteCharToStream, Utf16WriteCharsToStream}};
    uint32_t seed = 99;
    TUCS4Array text(5000);
    for (uint32_t& ch : text) {
        seed = seed * 1103515245u + 12345u;
        const uint32_t samples[] = {0x41,     0xE9,     0x20AC,    0xD800,    0x1F600,
                                    0x10FFFF, 0x110000, 0x4000000, 0x80000000};
        ch = samples[(seed >> 16) % std::size(samples)];
    }
    for (auto [one, block] : codecs) {
        for (int64_t limit : {0, 1, 5, 4097, 8191, 8192, 8193, 20001, 1 << 20}) {
            TTestStream a, b;
            a.WriteLimit = b.WriteLimit = limit;
            int expected = 0;
            while (expected < int(text.size()) && one(&a, text[size_t(expected)])) ++expected;
            int start = 0;
            EXPECT_EQ(block(&b, text, start, int(text.size())), expected) << limit;
            EXPECT_EQ(start, expected);
            EXPECT_EQ(b.Bytes(), a.Bytes()) << limit;
        }
    }
}
