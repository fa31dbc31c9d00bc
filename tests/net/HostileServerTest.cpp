// Servers that never end a body, announce more than may come, or never answer, and transfers cancelled from
// another thread: every transfer stays bounded and can be ended at once.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "NetTestSupport.h"
#include "net/HTTPClient.h"
#include "net/Setup.Network.h"
#include "runtime/Streams.h"

using namespace NetTest;

namespace {

const std::string Host = "hostile.zorvex.example";
const std::wstring Base = L"http://hostile.zorvex.example/";
const std::wstring Target = L"hostile-target.bin";

::testing::Environment* const proxyEnvironment = ::testing::AddGlobalTestEnvironment(new ProxyEnvironment);

class HostileServers : public ::testing::Test {
protected:
    void SetUp() override {
        ClearServer();
        ClearLog();
        DeleteFileW(Target.c_str());
        client.ProxyParams.ProxyServer = L"127.0.0.1";
        client.ProxyParams.ProxyPort = ServerPort();
        client.Request.UserAgent = L"HostileServerTest";
    }
    void TearDown() override { DeleteFileW(Target.c_str()); }

    // The request's error, after a Get that must fail; "" when it did not.
    std::string FailedGet(const std::wstring& Name, TStream& Stream, uint32_t* Code = nullptr) {
        try {
            client.Get(Base + Name, &Stream);
        } catch (const EHTTPClientError& E) {
            if (Code) *Code = E.ErrorCode;
            return E.what();
        }
        return "";
    }
    // Cancels the client's requests from another thread once the server has logged a request.
    std::thread CancelOnceAsked() {
        client.Cancellation = std::make_shared<THTTPCancellation>();
        return std::thread([cancel = client.Cancellation] {
            while (ReadLog().empty()) Sleep(20);
            Sleep(200);
            cancel->Cancel();
        });
    }

    THTTPClient client;
};

} // namespace

TEST_F(HostileServers, ABodyBeyondTheLimitIsRefusedWithoutWritingPastIt) {
    client.MaxBodySize = 1 << 20;
    int begins = 0, ends = 0;
    client.OnWorkBegin = [&](TObject*, TWorkMode, int64_t) { ++begins; };
    client.OnWorkEnd = [&](TObject*, TWorkMode) { ++ends; };
    for (const char* endless : {"endless", "endless-chunked"}) {
        Misbehave(Host + "/" + endless, endless);
        TMemoryStream stream;
        EXPECT_NE(FailedGet(Widen(endless), stream), "") << endless;
        EXPECT_LE(stream.Size(), client.MaxBodySize) << endless;
    }
    EXPECT_EQ(begins, 2);
    EXPECT_EQ(ends, 2);

    // A length announced beyond the limit is refused before the body starts.
    Misbehave(Host + "/huge", "huge");
    TMemoryStream stream;
    EXPECT_NE(FailedGet(L"huge", stream), "");
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(begins, 2);

    // A body of exactly the limit arrives whole, with or without its length.
    const std::string body = RandomBytes(1 << 20, 5);
    PutFile(Host + "/exact", body);
    PutFile(Host + "/exact-chunked", body);
    Misbehave(Host + "/exact-chunked", "chunked");
    for (const wchar_t* name : {L"exact", L"exact-chunked"}) {
        TStringStream exact;
        EXPECT_EQ(FailedGet(name, exact), "") << name;
        EXPECT_EQ(exact.Size(), (int64_t)body.size()) << name;
    }
}

TEST_F(HostileServers, ACancelledRequestEndsAtOnceWhereverItWaits) {
    // A server that never answers, and one that stops halfway through the body: the request would wait for
    // the read timeout; cancelled, it ends with the cancellation's error instead.
    Misbehave(Host + "/silent", "silent");
    PutFile(Host + "/stall", RandomBytes(200000, 6));
    Misbehave(Host + "/stall", "stall");
    for (const char* name : {"silent", "stall"}) {
        ClearLog();
        std::thread canceller = CancelOnceAsked();
        TMemoryStream stream;
        uint32_t code = 0;
        EXPECT_NE(FailedGet(Widen(name), stream, &code), "") << name;
        canceller.join();
        EXPECT_EQ(code, (uint32_t)ERROR_INTERNET_OPERATION_CANCELLED) << name;
    }

    // Once cancelled, a client asks no server at all.
    ClearLog();
    PutFile(Host + "/file", "content");
    TMemoryStream stream;
    uint32_t code = 0;
    EXPECT_NE(FailedGet(L"file", stream, &code), "");
    EXPECT_EQ(code, (uint32_t)ERROR_INTERNET_OPERATION_CANCELLED);
    EXPECT_TRUE(ReadLog().empty());
}

TEST_F(HostileServers, APlainDownloadTakesASmallFileUpToItsLimitExactly) {
    const std::string largest = RandomBytes(CNetwork::SmallFileMaximum, 7);
    PutFile(Host + "/largest.xml", largest);
    EXPECT_TRUE(RunOnWorker([] { return CNetwork::Download(Base + L"largest.xml", Target); }));
    EXPECT_EQ(ReadFile(Target), largest);
    PutFile(Host + "/larger.xml", largest + "x");
    EXPECT_FALSE(RunOnWorker([] { return CNetwork::Download(Base + L"larger.xml", Target); }));
    EXPECT_FALSE(Exists(Target));
}

TEST_F(HostileServers, AReplyNotWholeByItsDeadlineFailsHoweverSteadilyItTrickles) {
    // One byte every half second: never silent for the read timeout, and whole only after minutes.
    const std::string body = RandomBytes(400, 8);
    PutFile(Host + "/dribble.xml", body);
    Misbehave(Host + "/dribble.xml", "dribble 0.5");
    client.Deadline = 3000;
    int ends = 0;
    client.OnWorkEnd = [&](TObject*, TWorkMode) { ++ends; };
    TMemoryStream stream;
    uint32_t code = 0;
    EXPECT_NE(FailedGet(L"dribble.xml", stream, &code), "");
    EXPECT_EQ(code, (uint32_t)ERROR_INTERNET_TIMEOUT);
    EXPECT_GT(stream.Size(), 0);                    // it had begun,
    EXPECT_LT(stream.Size(), (int64_t)body.size()); // and was given up long before its end
    EXPECT_EQ(ends, 1);

    // A reply that is whole within the deadline is kept, also when it comes in pieces (20 of them, 0.1 s
    // apart).
    const std::string pieces = RandomBytes(20 * 1024, 9);
    PutFile(Host + "/slow.xml", pieces);
    Misbehave(Host + "/slow.xml", "slow 100");
    client.Deadline = 20000;
    TMemoryStream whole;
    EXPECT_EQ(FailedGet(L"slow.xml", whole), "");
    ASSERT_EQ(whole.Size(), (int64_t)pieces.size());
    EXPECT_EQ(std::string((const char*)whole.Memory(), pieces.size()), pieces);
}
