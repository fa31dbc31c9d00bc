#include <gtest/gtest.h>

#include <windows.h>

#include "runtime/Files.h"
#include "runtime/Streams.h"

namespace {
std::string Bytes(TMemoryStream& S) {
    return std::string((const char*)S.Memory(), (size_t)S.Size());
}

template <class E> std::wstring MessageOf(const std::function<void()>& F) {
    try {
        F();
    } catch (const E& e) {
        return e.Message();
    }
    return L"(nothing raised)";
}
} // namespace

TEST(TMemoryStream, ReadsStopAtTheEndAndReadBufferRaises) {
    TMemoryStream ms;
    ms.WriteBuffer("abcdef", 6);
    EXPECT_EQ(ms.Position(), 6);
    char buf[8] = {};
    EXPECT_EQ(ms.Read(buf, 1), 0);
    ms.SetPosition(4);
    EXPECT_EQ(ms.Read(buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "ef");
    ms.SetPosition(4);
    EXPECT_EQ(MessageOf<EReadError>([&] { ms.ReadBuffer(buf, 3); }), L"Stream read error");
    ms.SetPosition(3);
    ms.ReadBuffer(buf, 3); // exactly to the end
    EXPECT_EQ(ms.Position(), 6);
    ms.ReadBuffer(buf, 0); // nothing asked, nothing raised
    // A position before the start reads nothing.
    EXPECT_EQ(ms.Seek(-100, soCurrent), -94);
    EXPECT_EQ(ms.Read(buf, 4), 0);
    EXPECT_THROW(ms.ReadBuffer(buf, 1), EReadError);
    EXPECT_EQ(ms.Write("x", 1), 0);
    EXPECT_THROW(ms.WriteBuffer("x", 1), EWriteError);
}

TEST(TMemoryStream, SeekFormsSizeAndGaps) {
    TMemoryStream ms;
    ms.WriteBuffer("0123456789", 10);
    EXPECT_EQ(ms.Seek(-3, soEnd), 7);
    EXPECT_EQ(ms.Seek(2, soCurrent), 9);
    EXPECT_EQ(ms.Seek(0, soBeginning), 0);
    EXPECT_EQ(ms.Size(), 10);
    // Writing behind the end fills the gap with zeros.
    ms.SetPosition(12);
    ms.WriteBuffer("Z", 1);
    EXPECT_EQ(Bytes(ms), std::string("0123456789\0\0Z", 13));
    ms.SetSize(4);
    EXPECT_EQ(ms.Position(), 4);
    EXPECT_EQ(Bytes(ms), "0123");
    ms.SetSize(6);
    EXPECT_EQ(Bytes(ms), std::string("0123\0\0", 6));
    ms.Clear();
    EXPECT_EQ(ms.Size(), 0);
    EXPECT_EQ(ms.Position(), 0);
}

TEST(TMemoryStream, CopyFromAndFiles) {
    TMemoryStream source;
    std::string big(200000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = (char)(i * 7);
    source.WriteBuffer(big.data(), (int32_t)big.size());
    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(&source, 0), (int64_t)big.size()); // all of it, from the start
    EXPECT_EQ(Bytes(copy), big);
    source.SetPosition(199990);
    TMemoryStream part;
    EXPECT_THROW(part.CopyFrom(&source, 20), EReadError); // more than is left

    copy.SaveToFile(L"memory-stream.bin");
    TMemoryStream loaded;
    loaded.WriteBuffer("old", 3);
    loaded.LoadFromFile(L"memory-stream.bin");
    EXPECT_EQ(loaded.Position(), 0);
    EXPECT_EQ(Bytes(loaded), big);
    TMemoryStream empty;
    empty.SaveToFile(L"memory-stream.bin");
    loaded.LoadFromFile(L"memory-stream.bin");
    EXPECT_EQ(loaded.Size(), 0);
    EXPECT_THROW(loaded.LoadFromFile(L"no-such-file.bin"), EFOpenError);
    RemoveFile(L"memory-stream.bin");
}

TEST(TFileStream, ModesErrorsAndEndOfData) {
    const std::wstring name = L"file-stream.bin";
    {
        TFileStream f(name, fmCreate);
        f.WriteBuffer("hello world", 11);
        EXPECT_EQ(f.Size(), 11);
        EXPECT_EQ(f.Seek(-5, soEnd), 6);
        char buf[5];
        f.ReadBuffer(buf, 5);
        EXPECT_EQ(std::string(buf, 5), "world");
        EXPECT_EQ(f.Read(buf, 5), 0);
        EXPECT_EQ(MessageOf<EReadError>([&] { f.ReadBuffer(buf, 1); }), L"Stream read error");
        f.SetSize(5);
        EXPECT_EQ(f.Size(), 5);
    }
    {
        // Open for reading, others may read but not write.
        TFileStream f(name, fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(f.Size(), 5);
        EXPECT_EQ(MessageOf<EWriteError>([&] { f.WriteBuffer("x", 1); }), L"Stream write error");
        EXPECT_NO_THROW(TFileStream(name, fmOpenRead | fmShareDenyNone));
        EXPECT_THROW(TFileStream(name, fmOpenReadWrite | fmShareDenyNone), EFOpenError);
        EXPECT_THROW(TFileStream(name, fmCreate), EFCreateError);
    }
    {
        // Creating empties an existing file.
        TFileStream f(name, fmCreate);
        EXPECT_EQ(f.Size(), 0);
    }
    std::wstring message = MessageOf<EFOpenError>([] { TFileStream f(L"missing-file.bin", fmOpenRead); });
    EXPECT_EQ(message.rfind(L"Cannot open file \"missing-file.bin\". ", 0), 0u) << message;
    message = MessageOf<EFCreateError>([] { TFileStream f(L"no-folder\\x.bin", fmCreate); });
    EXPECT_EQ(message.rfind(L"Cannot create file \"no-folder\\x.bin\". ", 0), 0u) << message;
    RemoveFile(name);
}

TEST(THandleStream, LeavesTheHandleOpen) {
    HANDLE h = CreateFileW(L"handle-stream.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    {
        THandleStream s(h);
        s.WriteBuffer("abc", 3);
        EXPECT_EQ(s.Position(), 3);
    }
    DWORD size = GetFileSize(h, nullptr);
    EXPECT_EQ(size, 3u);
    EXPECT_TRUE(CloseHandle(h));
    RemoveFile(L"handle-stream.bin");
}

TEST(TStringStream, EncodingsAndDataString) {
    TStringStream unicode(L"Привет", TStringStream::cpUnicode);
    EXPECT_EQ(unicode.Size(), 12);
    EXPECT_EQ(unicode.Position(), 0);
    EXPECT_EQ(unicode.DataString(), L"Привет");
    TStringStream ansi(L"plain text");
    EXPECT_EQ(ansi.Size(), 10);
    EXPECT_EQ(ansi.DataString(), L"plain text");
    TStringStream cyrillic(L"Да", 1251);
    EXPECT_EQ(cyrillic.Size(), 2);
    EXPECT_EQ((uint8_t)cyrillic.Memory()[0], 0xC4);
    EXPECT_EQ(cyrillic.DataString(), L"Да");
    TStringStream bytes(std::string("raw"));
    EXPECT_EQ(bytes.DataString(), L"raw");
    TStringStream empty;
    EXPECT_EQ(empty.Size(), 0);
    EXPECT_EQ(empty.DataString(), L"");
}

TEST(TResourceStream, ByNameByIdAndByType) {
    TResourceStream named(HInstance(), L"TestData", RT_RCDATA);
    EXPECT_EQ(named.Size(), 10);
    char buf[32] = {};
    named.ReadBuffer(buf, 10);
    EXPECT_EQ(std::string(buf, 10), "named data");
    EXPECT_THROW(named.ReadBuffer(buf, 1), EReadError);
    named.Seek(-4, soEnd);
    EXPECT_EQ(named.Read(buf, 32), 4);
    EXPECT_EQ(std::string(buf, 4), "data");

    TResourceStream numbered(HInstance(), 4711, RT_RCDATA);
    EXPECT_EQ(numbered.Size(), 13);
    EXPECT_EQ(std::string((const char*)numbered.Memory(), 13), "numbered data");

    TResourceStream custom(HInstance(), L"SAMPLE", L"CUSTOMKIND");
    EXPECT_EQ(std::string((const char*)custom.Memory(), (size_t)custom.Size()), "custom kind");

    EXPECT_EQ(MessageOf<EResNotFound>([] { TResourceStream s(HInstance(), L"Nope", RT_RCDATA); }),
              L"Resource Nope not found");
    EXPECT_EQ(MessageOf<EResNotFound>([] { TResourceStream s(HInstance(), 4712, RT_RCDATA); }),
              L"Resource 4712 not found");
    EXPECT_THROW(TResourceStream(HInstance(), L"TestData", L"CUSTOMKIND"), EResNotFound);
    EXPECT_THROW(named.WriteBuffer("x", 1), EStreamError);
    EXPECT_THROW(named.SetSize(1), EStreamError);
}
