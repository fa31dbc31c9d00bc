#include <gtest/gtest.h>

#include <memory>
#include <windows.h>

#include "tests/text/TextTestSupport.h"
#include "text/KitStreams.h"

TEST(BufferedCopy, CopiesTheRestInRounds) {
    TTestStream empty, target;
    EXPECT_EQ(CopyStreamBuffered(&empty, &target, 16), 0);
    EXPECT_EQ(target.Size(), 0);

    TTestStream source(std::string(32, 'x'));
    source.SetPosition(16);
    EXPECT_EQ(CopyStreamBuffered(&source, &target, 16), 16);
    EXPECT_EQ(source.ReadCalls, 2); // a full round, then one that reads nothing
    EXPECT_EQ(target.Size(), 16);

    // A buffer size of 0 counts as 1 rather than copying nothing forever.
    source.SetPosition(30);
    EXPECT_EQ(CopyStreamBuffered(&source, &target, 0), 2);
    TTestStream x(std::string("ab")), y(std::string("ab"));
    EXPECT_TRUE(StreamsEqual(&x, &y, 0));
}

TEST(BufferedCompare, ComparesTheRest) {
    TTestStream a, b;
    EXPECT_TRUE(StreamsEqual(&a, &b, 4096));
    TTestStream c(std::string(4096, 'q')), d(std::string(4097, 'q'));
    EXPECT_FALSE(StreamsEqual(&c, &d, 4096));
    TTestStream e(std::string("abcdef")), f(std::string("abcdeX"));
    EXPECT_FALSE(StreamsEqual(&e, &f, 4));
}

TEST(EasyStream, IsEqualComparesFromTheStartAndKeepsPositions) {
    TKitEasyStream easy(new TTestStream(std::string("same bytes")), true);
    TTestStream other(std::string("same bytes"));
    easy.SetPosition(3);
    other.SetPosition(7);
    EXPECT_TRUE(easy.IsEqual(&other));
    EXPECT_EQ(easy.Position(), 3);
    EXPECT_EQ(other.Position(), 7);
    TTestStream longer(std::string("same bytes!"));
    EXPECT_FALSE(easy.IsEqual(&longer));
}

TEST(EasyStream, TypedValuesRoundTrip) {
    TTestStream bytes;
    TKitEasyStream easy(&bytes, false);
    easy.WriteBoolean(true);
    easy.WriteByte(0xAB);
    easy.WriteInteger(-5);
    easy.WriteInt64(1LL << 40);
    easy.WriteDouble(2.5);
    easy.WriteSingle(0.25f);
    easy.WriteExtended(1.5L);
    easy.WriteChar(L'\x416');
    easy.WriteCAnsiString("");
    easy.WriteCWideString(L"wide");
    easy.WriteSizedWideString(L"abc");
    easy.WriteSizedAnsiString("xy");
    easy.WriteShortString(L"short");
    EXPECT_EQ(bytes.Size(), 1 + 1 + 4 + 8 + 8 + 4 + 10 + 2 + 1 + 10 + (4 + 6) + (4 + 2) + 6);

    easy.SetPosition(0);
    EXPECT_TRUE(easy.ReadBoolean());
    EXPECT_EQ(easy.ReadByte(), 0xAB);
    EXPECT_EQ(easy.ReadInteger(), -5);
    EXPECT_EQ(easy.ReadInt64(), 1LL << 40);
    EXPECT_EQ(easy.ReadDouble(), 2.5);
    EXPECT_EQ(easy.ReadSingle(), 0.25f);
    EXPECT_EQ(easy.ReadExtended(), 1.5L);
    EXPECT_EQ(easy.ReadChar(), L'\x416');
    EXPECT_EQ(easy.ReadCAnsiString(), "");
    EXPECT_EQ(easy.ReadCWideString(), L"wide");
    EXPECT_EQ(easy.Position(), 1 + 1 + 4 + 8 + 8 + 4 + 10 + 2 + 1 + 10); // right after the terminator
    EXPECT_EQ(easy.ReadSizedString(), L"abc");
    EXPECT_EQ(easy.ReadSizedAnsiString(), "xy");
    EXPECT_EQ(easy.ReadShortString(), L"short");
    EXPECT_THROW(easy.ReadByte(), EReadError);
}

TEST(EasyStream, UnterminatedStringRaisesReadError) {
    TKitEasyStream easy(new TTestStream(std::string("no end")), true);
    EXPECT_THROW(easy.ReadCAnsiString(), EReadError);
}

TEST(EasyStream, FullStreamRaisesWriteError) {
    TTestStream bytes;
    bytes.WriteLimit = 2;
    TKitEasyStream easy(&bytes, false);
    EXPECT_THROW(easy.WriteInteger(1), EWriteError);
}

TEST(KitStream, ThirtyTwoBitSeek) {
    TKitEasyStream easy(new TTestStream(std::string("0123456789")), true);
    EXPECT_EQ(easy.Seek32(4, 0), 4);
    EXPECT_EQ(easy.Seek32(2, 1), 6);
    EXPECT_EQ(easy.Seek32(-1, 2), 9);
    EXPECT_EQ(easy.Seek32(0, 3), -1);
    EXPECT_EQ(easy.Seek32(-20, 1), -1);

    // A stream of 2^31 bytes and more cannot tell its position in 32 bits.
    struct THugeStream : TKitStream {
        int32_t Read(void*, int32_t) override { return 0; }
        int32_t Write(const void*, int32_t) override { return 0; }
        int64_t Seek(int64_t Offset, TSeekOrigin) override { return Offset + (int64_t(1) << 31); }
    } huge;
    EXPECT_EQ(huge.Seek32(0, 0), -1);
    TKitStreamDecorator bare(nullptr, false);
    EXPECT_EQ(bare.Seek(0, soCurrent), -1);
    EXPECT_EQ(bare.Read(nullptr, 4), 0);
}

TEST(Decorator, ReplacingTheStreamFiresEventsAroundTheFree) {
    struct TWatched : TTestStream {
        explicit TWatched(std::vector<std::string>& L) : Log(L) {}
        ~TWatched() override { Log.push_back("freed"); }
        std::vector<std::string>& Log;
    };
    std::vector<std::string> log;
    auto* first = new TWatched(log);
    TKitStreamDecorator decorator(first, true);
    decorator.SetBeforeStreamChange([&](TObject* Sender) {
        EXPECT_EQ(Sender, &decorator);
        log.push_back("before");
    });
    decorator.SetAfterStreamChange([&](TObject*) { log.push_back("after"); });
    decorator.SetStream(first);
    EXPECT_TRUE(log.empty());
    auto* second = new TWatched(log);
    decorator.SetStream(second);
    EXPECT_EQ(log, (std::vector<std::string>{"before", "freed", "after"}));
    EXPECT_EQ(decorator.Stream(), second);
}

TEST(KitStream, LoadAndSaveThroughFiles) {
    TTestStream source(std::string("file contents"));
    TKitEasyStream easy(&source, false);
    // The suite runs in two processes at once, each with a file of its own.
    const std::wstring name = L"kitstream" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    easy.SaveToFile(name, 4);
    TKitEasyStream loaded(new TTestStream(), true);
    loaded.LoadFromFile(name, 3);
    EXPECT_TRUE(loaded.IsEqual(&source));
    DeleteFileW(name.c_str());
    EXPECT_THROW(loaded.LoadFromFile(L"no such file.tmp", 3), EFOpenError);
}

TEST(EasyStream, HostileStoredLengthsFailWithoutAllocating) {
    for (int32_t length : {0x7FFFFFFF, -1, 5}) {
        TTestStream bytes;
        bytes.WriteBuffer(&length, 4);
        bytes.WriteBuffer("abcd", 4);
        TKitEasyStream easy(&bytes, false);
        easy.SetPosition(0);
        EXPECT_THROW(easy.ReadSizedAnsiString(), EReadError) << length;
        easy.SetPosition(0);
        EXPECT_THROW(easy.ReadSizedWideString(), EReadError) << length;
    }
}
