#include <gtest/gtest.h>

#include "runtime/Streams.h"

TEST(TMemoryStream, ReadBufferPastEndRaises) {
    TMemoryStream ms;
    ms.WriteBuffer("abc", 3);
    ms.SetPosition(1);
    char buf[4] = {};
    EXPECT_THROW(ms.ReadBuffer(buf, 3), EReadError);
    ms.SetPosition(1);
    EXPECT_EQ(ms.Read(buf, 3), 2);
}

TEST(TFileStream, RoundTripAndOpenError) {
    {
        TFileStream f(L"stream-test.bin", fmCreate);
        f.WriteBuffer("hello", 5);
    }
    TMemoryStream ms;
    ms.LoadFromFile(L"stream-test.bin");
    ASSERT_EQ(ms.Size(), 5);
    EXPECT_EQ(std::string((char*)ms.Memory(), 5), "hello");
    EXPECT_THROW(TFileStream(L"no-such-folder\\x.bin", fmOpenRead | fmShareDenyWrite), EFOpenError);
}

TEST(TStringStream, DataStringInUnicode) {
    TStringStream s(L"Привет", TStringStream::cpUnicode);
    EXPECT_EQ(s.Size(), 12);
    EXPECT_EQ(s.DataString(), L"Привет");
}
