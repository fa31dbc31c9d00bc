#include <gtest/gtest.h>

#include <memory>

#include "tests/text/TextTestSupport.h"
#include "text/KitStreams.h"
#include "text/KitStringConversions.h"

namespace {

TUCS4Array ReadAll(TKitStringStream& Text) {
    TUCS4Array out;
    for (uint32_t ch; Text.ReadUCS4(ch);) out.push_back(ch);
    return out;
}

// The code point of a byte in the system code page.
uint32_t Ansi(uint8_t B) {
    return AnsiCharToCodePoint(char(B));
}

// ASCII text of Count letters cycling through the alphabet.
std::string Letters(int Count) {
    std::string s;
    for (int i = 0; i < Count; ++i) s += char('a' + i % 26);
    return s;
}

} // namespace

TEST(AutoStream, DetectsByteOrderMarks) {
    struct TCase {
        Bytes Input;
        TKitStringEncoding Encoding;
        uint16_t CodePage;
        TUCS4Array Text;
    };
    const TCase cases[] = {
        {{0xEF, 0xBB, 0xBF, 0x41}, seUTF8, 65001, {0x41}},
        {{0xFF, 0xFE, 0x41, 0x00}, seUTF16, 1200, {0x41}},
        {{0x41, 0x42}, seAnsi, 0, {0x41, 0x42}},
        // Big-endian UTF-16 is not recognised: four ANSI characters.
        {{0xFE, 0xFF, 0x00, 0x41}, seAnsi, 0, {Ansi(0xFE), Ansi(0xFF), 0x00, 0x41}},
        {{0xEF, 0xBB}, seAnsi, 0, {Ansi(0xEF), Ansi(0xBB)}},
    };
    for (const TCase& c : cases) {
        TTestStream bytes(c.Input);
        TKitAutoStream text(&bytes, false);
        EXPECT_EQ(text.Encoding(), c.Encoding);
        EXPECT_EQ(text.CodePage(), c.CodePage);
        EXPECT_EQ(text.SkipBOM(), 0);
        EXPECT_EQ(ReadAll(text), c.Text);
    }
}

TEST(AutoStream, ShortInputLeavesTheStreamWhereItWas) {
    for (const Bytes& input : {Bytes{}, Bytes{0xEF}}) {
        TTestStream bytes(input);
        TKitAutoStream text(&bytes, false);
        EXPECT_EQ(text.Encoding(), seAnsi);
        EXPECT_EQ(text.CodePage(), 0);
        EXPECT_EQ(bytes.Position(), 0);
    }
    // Detection starts where the inner stream stands.
    TTestStream bytes(Bytes{0x20, 0xFF, 0xFE, 0x42, 0x00});
    bytes.SetPosition(1);
    TKitAutoStream text(&bytes, false);
    EXPECT_EQ(text.Encoding(), seUTF16);
    EXPECT_EQ(ReadAll(text), TUCS4Array{0x42});
}

TEST(TextStream, SkipBOMStepsOverWholeMarksOnly) {
    TTestStream partial(Bytes{0xEF, 0xBB, 0x41});
    TKitUTF8Stream a(&partial, false);
    EXPECT_EQ(a.SkipBOM(), 0);
    EXPECT_EQ(partial.Position(), 0);
    // The text starts at EF: a three-byte form broken by 0x41, which it swallows.
    EXPECT_EQ(ReadAll(a), TUCS4Array{0xFFFD});

    TTestStream whole(Bytes{0xEF, 0xBB, 0xBF});
    TKitUTF8Stream b(&whole, false);
    EXPECT_EQ(b.SkipBOM(), 3);
    EXPECT_EQ(ReadAll(b), TUCS4Array{});

    TTestStream ansi(Bytes{0xEF, 0xBB, 0xBF});
    TKitAnsiStream c(&ansi, false);
    EXPECT_EQ(c.SkipBOM(), 0); // no mark in ANSI
    EXPECT_EQ(ansi.Position(), 0);
}

TEST(TextStream, ReadingReachesTheLookAheadBlockWithoutDecodingItAgain) {
    const std::string source = Letters(10000);
    TTestStream bytes(source);
    TKitUTF8Stream text(&bytes, false);
    uint32_t ch;
    ASSERT_TRUE(text.ReadUCS4(ch));
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(text.PeekUCS4(ch));
    EXPECT_EQ(ch, uint32_t(source[5000]));
    std::string read(1, 'a');
    while (text.ReadUCS4(ch)) read += char(ch);
    EXPECT_EQ(read, source);
    EXPECT_EQ(bytes.BytesRead, int64_t(source.size())); // every byte decoded once

    // Peeking past the first block before any read makes the first read decode it again.
    TTestStream again(source);
    TKitUTF8Stream text2(&again, false);
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(text2.PeekUCS4(ch));
    ASSERT_TRUE(text2.ReadUCS4(ch));
    EXPECT_EQ(ch, uint32_t('a'));
    EXPECT_EQ(again.BytesRead, 8192 + 4096);
}

TEST(TextStream, WritesReachTheStreamABlockAtATime) {
    auto bytes = std::make_unique<TTestStream>();
    TTestStream* inner = bytes.get();
    {
        TKitUTF8Stream text(bytes.release(), true);
        for (int i = 0; i < 4096; ++i) ASSERT_TRUE(text.WriteUCS4(0x416));
        EXPECT_EQ(inner->Size(), 0);
        ASSERT_TRUE(text.WriteUCS4(0x41));
        EXPECT_EQ(inner->Size(), 4096 * 2);
        text.Flush();
        EXPECT_EQ(inner->Size(), 4096 * 2 + 1);
        ASSERT_TRUE(text.WriteUCS4(0x42));
        // Destroying the stream flushes the rest (and frees the owned inner stream).
        TTestStream copy;
        copy.CopyFrom(inner, 0);
        EXPECT_EQ(copy.Size(), 4096 * 2 + 1);
    }

    TTestStream target;
    {
        TKitUTF8Stream text(&target, false);
        for (int i = 0; i < 4097; ++i) text.WriteUCS4(0x10000 + uint32_t(i));
    }
    TKitUTF8Stream back(&target, false);
    TUCS4Array all = ReadAll(back);
    ASSERT_EQ(all.size(), 4097u);
    EXPECT_EQ(all.back(), 0x10000u + 4096);
}

// The buffer size may change between a read and a write; what was read past the new size is read again
// rather than from beyond the buffer.
TEST(TextStream, ABufferMadeSmallerAfterAReadStillReadsTheText) {
    const std::string text = Letters(5000);
    TTestStream bytes(text);
    {
        TKitUTF8Stream stream(&bytes, false);
        uint32_t ch;
        ASSERT_TRUE(stream.ReadUCS4(ch)); // the first block of 4096 is in the buffer
        stream.SetBufferSize(2);
        stream.WriteUCS4('X');
        stream.SetBufferSize(8192);
        stream.WriteUCS4('Y');
        TUCS4Array rest = ReadAll(stream);
        ASSERT_EQ(rest.size(), text.size() - 3);
        for (size_t i = 0; i < rest.size(); ++i) ASSERT_EQ(rest[i], uint32_t(text[i + 3])) << i;
    }
    const Bytes written = bytes.Bytes();
    EXPECT_EQ(std::string(written.begin(), written.end()), "aXY" + text.substr(3));
}

TEST(TextStream, OnlyTwoSeeksAreSupported) {
    TTestStream bytes(std::string("abcdefgh"));
    TKitAnsiStream text(&bytes, false);
    uint32_t ch;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(text.ReadUCS4(ch));
    EXPECT_EQ(text.Seek(0, soCurrent), 5);
    EXPECT_THROW(text.Seek(1, soCurrent), EKitStreamError);
    EXPECT_THROW(text.Seek(5, soBeginning), EKitStreamError);
    try {
        text.Seek(0, soEnd);
        FAIL();
    } catch (const EKitStreamError& e) {
        EXPECT_EQ(e.Message(), L"Error seeking stream");
    }
    EXPECT_EQ(text.Position(), 5); // unchanged
    EXPECT_EQ(text.Seek(0, soBeginning), 0);
    ASSERT_TRUE(text.ReadUCS4(ch));
    EXPECT_EQ(ch, uint32_t('a'));
}

TEST(TextStream, RewindReadsAByteOrderMarkAsText) {
    TTestStream bytes(Bytes{0xEF, 0xBB, 0xBF, 0x41});
    TKitUTF8Stream text(&bytes, false);
    EXPECT_EQ(text.SkipBOM(), 3);
    EXPECT_EQ(ReadAll(text), TUCS4Array{0x41});
    text.Seek(0, soBeginning);
    EXPECT_EQ(ReadAll(text), (TUCS4Array{0xFEFF, 0x41}));
}

TEST(TextStream, StringReadsAndWrites) {
    TTestStream bytes(std::string("abcdefghijkl"));
    TKitUTF8Stream text(&bytes, false);
    std::wstring buffer(20, L'.');
    EXPECT_EQ(text.ReadString(buffer, 1, 1), 0);
    EXPECT_EQ(text.ReadString(buffer, 1, 10), 9);
    EXPECT_EQ(buffer.substr(0, 10), L"abcdefghi.");
    EXPECT_EQ(text.ReadString(100), L"jkl");

    // A supplementary code point fills two positions.
    TTestStream emoji(Bytes{0xF0, 0x9F, 0x98, 0x80, 0x41});
    TKitUTF8Stream text2(&emoji, false);
    std::wstring two(4, L'.');
    EXPECT_EQ(text2.ReadString(two, 1, 4), 3);
    EXPECT_EQ(two, std::wstring({wchar_t(0xD83D), wchar_t(0xDE00), L'A', L'.'}));
    TTestStream none(std::string("abc"));
    TKitUTF8Stream text3(&none, false);
    EXPECT_EQ(text3.ReadString(1), L"");

    TTestStream out;
    {
        TKitUTF16Stream w(&out, false);
        EXPECT_EQ(w.WriteBOM(), 2);
        std::wstring s = L"x\U0001F600y";
        EXPECT_EQ(w.WriteString(s, 1, int(s.size())), 4);
        EXPECT_EQ(w.WriteAnsiString("ab", 1, 2), 2);
        w.Flush();
    }
    EXPECT_EQ(out.Bytes(), (Bytes{0xFF, 0xFE, 'x', 0, 0x3D, 0xD8, 0x00, 0xDE, 'y', 0, 'a', 0, 'b', 0}));
    out.SetPosition(0);
    TKitAutoStream back(&out, false);
    EXPECT_EQ(back.ReadString(3), L"x\U0001F600y"
                                  L"ab");
}

TEST(TextStream, CodePageChangeGovernsTheNextBlock) {
    // 5000 bytes of C0: U+0410 in 1251, U+00C0 in 1252.
    TTestStream bytes(std::string(5000, '\xC0'));
    TKitAutoStream text(&bytes, false);
    text.SetCodePage(1251);
    uint32_t ch;
    ASSERT_TRUE(text.ReadUCS4(ch));
    EXPECT_EQ(ch, 0x410u);
    text.SetCodePage(1252);
    TUCS4Array rest = ReadAll(text);
    ASSERT_EQ(rest.size(), 4999u);
    EXPECT_EQ(rest[4094], 0x410u); // code point 4096
    EXPECT_EQ(rest[4095], 0xC0u);  // code point 4097
}

TEST(TextStream, CharacterForms) {
    TTestStream bytes(Bytes{0xF0, 0x9F, 0x98, 0x80, 'Z', 'q'});
    TKitUTF8Stream text(&bytes, false);
    wchar_t w = 0;
    char a = 0;
    ASSERT_TRUE(text.PeekChar(w));
    EXPECT_EQ(w, wchar_t(0xFFFD));
    ASSERT_TRUE(text.ReadWideChar(w));
    ASSERT_TRUE(text.ReadAnsiChar(a));
    EXPECT_EQ(a, 'Z');
    ASSERT_TRUE(text.ReadChar(w));
    EXPECT_EQ(w, L'q');
    w = L'!';
    EXPECT_FALSE(text.ReadChar(w));
    EXPECT_EQ(w, L'!'); // untouched at the end
}

// Whatever the mix of peeks and reads and however small the blocks, reads return the text in order
// and every peek returns the code point at its peek position.
TEST(TextStream, RandomPeeksAndReadsSeeTheSameText) {
    uint32_t seed = 7;
    auto next = [&seed](uint32_t Range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % Range;
    };
    for (int round = 0; round < 300; ++round) {
        Bytes bytes(next(400));
        for (uint8_t& b : bytes) b = uint8_t(next(3) ? 0x41 + next(26) : 0xC0 + next(64));
        TTestStream reference(bytes);
        TKitUTF8Stream plain(&reference, false);
        TUCS4Array text = ReadAll(plain);

        TTestStream source(bytes);
        TKitUTF8Stream stream(&source, false);
        stream.SetBufferSize(1 + int(next(9)));
        size_t readPosition = 0;
        for (;;) {
            uint32_t ch;
            if (next(3) == 0) {
                int64_t peekPosition = stream.PeekPosition();
                bool got = stream.PeekUCS4(ch);
                ASSERT_EQ(got, size_t(peekPosition) < text.size()) << round;
                if (got) {
                    ASSERT_EQ(ch, text[size_t(peekPosition)]) << round << " peek at " << peekPosition;
                }
            } else {
                bool got = stream.ReadUCS4(ch);
                ASSERT_EQ(got, readPosition < text.size()) << round;
                if (!got) break;
                ASSERT_EQ(ch, text[readPosition]) << round << " read at " << readPosition;
                ++readPosition;
            }
        }
    }
}

TEST(TextStream, StringWritesStopAtTheEndOfTheString) {
    TTestStream out;
    {
        TKitUTF8Stream text(&out, false);
        EXPECT_EQ(text.WriteString(L"ab", 1, 5), 2);
        EXPECT_EQ(text.WriteString(L"ab", 3, 1), 0);
        EXPECT_EQ(text.WriteAnsiString("cd", 2, 9), 1);
        text.SetBufferSize(0); // taken as one code point
        EXPECT_EQ(text.BufferSize(), 1);
        EXPECT_EQ(text.WriteString(L"xyz", 1, 3), 3);
    }
    EXPECT_EQ(out.Bytes(), (Bytes{'a', 'b', 'd', 'x', 'y', 'z'}));
}
