// Transfers through the system proxy, which points at the test server; the targets are names that only the
// proxy can reach.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "NetTestSupport.h"
#include "net/Setup.Network.h"
#include "net/Setup.Servers.h"
#include "runtime/StringLists.h"

using namespace NetTest;

namespace {

const std::string Host = "transfer.zorvex.example";
const std::wstring Base = L"http://transfer.zorvex.example/";
const std::wstring Target = L"transfer-target.bin";

::testing::Environment* const proxyEnvironment = ::testing::AddGlobalTestEnvironment(new ProxyEnvironment);

// What the progress callbacks saw, in order, and on which thread they ran.
struct TProgressLog {
    std::vector<std::string> events;
    std::vector<int64_t> counts;
    bool allOnMainThread = true;
    DWORD mainThread = GetCurrentThreadId();

    void Note(const char* What, int64_t Count) {
        if (GetCurrentThreadId() != mainThread) allOnMainThread = false;
        events.push_back(What);
        counts.push_back(Count);
    }
};

// A progress download on a worker thread, with the callbacks handed over to this thread.
bool ProgressDownload(const std::wstring& URL, TProgressLog& Log) {
    return RunOnWorker([&] {
        CNetwork network([&](int64_t Max) { Log.Note("begin", Max); },
                         [&](int64_t Done) { Log.Note("work", Done); }, [&] { Log.Note("end", -1); });
        return network.SyncDownload(URL, Target);
    });
}

bool PlainDownload(const std::wstring& URL) {
    return RunOnWorker([&] { return CNetwork::Download(URL, Target); });
}

class Transfers : public ::testing::Test {
protected:
    void SetUp() override {
        ClearServer();
        ClearLog();
        RemoveStale();
    }
    void TearDown() override { RemoveStale(); }
    static void RemoveStale() {
        if (Exists(Target)) DeleteFileW(Target.c_str());
    }
};

} // namespace

TEST_F(Transfers, AGoodTransferKeepsTheBytesAndReportsProgressOnTheMainThreadInOrder) {
    const std::string body = RandomBytes(300000);
    PutFile(Host + "/zrx/package.zip", body);
    TProgressLog log;
    ASSERT_TRUE(ProgressDownload(Base + L"zrx/package.zip", log));
    EXPECT_EQ(ReadFile(Target), body);

    EXPECT_TRUE(log.allOnMainThread);
    ASSERT_GE(log.events.size(), 3u); // begin, one block or more, end
    EXPECT_EQ(log.events.front(), "begin");
    EXPECT_EQ(log.counts.front(), 300000);
    EXPECT_EQ(log.events.back(), "end");
    int64_t last = 0;
    for (size_t i = 1; i + 1 < log.events.size(); ++i) {
        EXPECT_EQ(log.events[i], "work");
        EXPECT_GT(log.counts[i], last);
        EXPECT_LE(log.counts[i] - last, THTTPClient::MaxBlockSize);
        last = log.counts[i];
    }
    EXPECT_EQ(last, 300000);

    // The request went through the proxy, with the setup's user agent.
    auto requests = ReadLog();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Line.rfind("GET http://transfer.zorvex.example", 0), 0u) << requests[0].Line;
    EXPECT_EQ(requests[0].UserAgent, "TlvCorp/Zorvex/1.0/INDY");
    EXPECT_EQ(requests[0].Referer, "");
}

TEST_F(Transfers, BodiesWithoutALengthAndSlowOrRedirectedBodiesArrive) {
    const std::string body = RandomBytes(200000, 7);
    const std::string small = RandomBytes(30000, 8);
    PutFile(Host + "/no-length.bin", body);
    Misbehave(Host + "/no-length.bin", "no-length");
    PutFile(Host + "/chunked.bin", body);
    Misbehave(Host + "/chunked.bin", "chunked");
    PutFile(Host + "/slow.bin", small);
    Misbehave(Host + "/slow.bin", "slow 5");
    PutFile("elsewhere.zorvex.example/moved/file.bin", small);
    Misbehave(Host + "/redirected.bin", "redirect http://elsewhere.zorvex.example/moved/file.bin");
    Misbehave(Host + "/relative.bin", "redirect /slow.bin");

    for (const wchar_t* name : {L"no-length.bin", L"chunked.bin"}) {
        TProgressLog log;
        EXPECT_TRUE(ProgressDownload(Base + name, log)) << name;
        EXPECT_EQ(ReadFile(Target), body);
        // No size announced: the begin callback gets 0, and the file matches the last count.
        ASSERT_FALSE(log.counts.empty());
        EXPECT_EQ(log.counts.front(), 0);
        EXPECT_EQ(log.counts[log.counts.size() - 2], 200000);
        EXPECT_TRUE(PlainDownload(Base + name)) << name;
        EXPECT_EQ(ReadFile(Target), body);
    }
    TProgressLog slow;
    EXPECT_TRUE(ProgressDownload(Base + L"slow.bin", slow));
    EXPECT_EQ(ReadFile(Target), small);
    EXPECT_TRUE(PlainDownload(Base + L"redirected.bin"));
    EXPECT_EQ(ReadFile(Target), small);
    TProgressLog relative;
    EXPECT_TRUE(ProgressDownload(Base + L"relative.bin", relative));
    EXPECT_EQ(ReadFile(Target), small);
}

TEST_F(Transfers, ASlowBodyMovesTheProgressWithItsArrivals) {
    // 40 pieces of 1 KB, 20 ms apart: the bar moves while they arrive, not once at the end.
    const std::string body = RandomBytes(40 * 1024, 9);
    PutFile(Host + "/trickle.bin", body);
    Misbehave(Host + "/trickle.bin", "slow 20");
    TProgressLog log;
    ASSERT_TRUE(ProgressDownload(Base + L"trickle.bin", log));
    EXPECT_EQ(ReadFile(Target), body);
    ASSERT_GE(log.events.size(), 3u);
    EXPECT_EQ(log.counts.front(), (int64_t)body.size());
    EXPECT_EQ(log.counts[log.counts.size() - 2], (int64_t)body.size());
    // A loaded machine may join a few pieces into one block, but never most of them.
    EXPECT_GE(log.events.size() - 2, 10u);
}

// Every failure reports False and leaves no file, also where a file of that name was there before.
struct TFailure {
    const char* name;
    const char* behaviour; // nullptr: the file is served as it is
    std::wstring url;
};

void PrintTo(const TFailure& Failure, std::ostream* Out) {
    *Out << Failure.name;
}

class TransferFailures : public Transfers, public ::testing::WithParamInterface<TFailure> {};

TEST_P(TransferFailures, ReportFalseAndLeaveNoFile) {
    const TFailure& failure = GetParam();
    PutFile(Host + "/file.bin", RandomBytes(300000, 3));
    if (failure.behaviour) Misbehave(Host + "/file.bin", failure.behaviour);

    WriteFile(Target, "an older file of the same name");
    EXPECT_FALSE(PlainDownload(failure.url));
    EXPECT_FALSE(Exists(Target));

    WriteFile(Target, "an older file of the same name");
    TProgressLog log;
    EXPECT_FALSE(ProgressDownload(failure.url, log));
    EXPECT_FALSE(Exists(Target));
    EXPECT_TRUE(log.allOnMainThread);
    // A body that started also ended.
    if (!log.events.empty()) {
        EXPECT_EQ(log.events.front(), "begin");
        EXPECT_EQ(log.events.back(), "end");
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFailure, TransferFailures,
    ::testing::Values(TFailure{"NotFound", "status 404", Base + L"file.bin"},
                      TFailure{"EmptyBody", "empty", Base + L"file.bin"},
                      // Whatever a server sends after the header of "204 No Content" is no body.
                      TFailure{"NoContent", "status 204", Base + L"file.bin"},
                      TFailure{"ShortBody", "truncate", Base + L"file.bin"},
                      TFailure{"ResetConnection", "reset", Base + L"file.bin"},
                      TFailure{"RedirectLoop", "redirect-loop", Base + L"file.bin"},
                      TFailure{"RedirectToSecure", "redirect https://transfer.zorvex.example/file.bin",
                               Base + L"file.bin"},
                      TFailure{"UnreachableHost", nullptr, L"http://nowhere.zorvex.example/file.bin"},
                      TFailure{"SecureAddress", nullptr, L"https://transfer.zorvex.example/file.bin"},
                      TFailure{"OtherScheme", nullptr, L"ftp://transfer.zorvex.example/file.bin"},
                      TFailure{"NoAddress", nullptr, L"file.bin"}),
    [](const ::testing::TestParamInfo<TFailure>& info) { return std::string(info.param.name); });

TEST_F(Transfers, ARedirectLoopEndsAfterABoundedNumberOfRequests) {
    Misbehave(Host + "/loop.bin", "redirect-loop");
    EXPECT_FALSE(PlainDownload(Base + L"loop.bin"));
    auto requests = ReadLog();
    EXPECT_GE(requests.size(), 2u);
    EXPECT_LE(requests.size(), 16u);
}

TEST_F(Transfers, AFileThatCannotBeCreatedRaisesToTheCaller) {
    PutFile(Host + "/file.bin", "content");
    EXPECT_THROW(CNetwork::Download(Base + L"file.bin", L"no-such-folder\\file.bin"), EFCreateError);
    CNetwork network([](int64_t) {}, [](int64_t) {}, [] {});
    EXPECT_THROW(network.SyncDownload(Base + L"file.bin", L"no-such-folder\\file.bin"), EFCreateError);
}

// A build in the table gives its name, any other one the plain build number.
TEST(Referer, NamesTheWindowsBuild) {
    EXPECT_EQ(RefererForBuild(7601), L"http://Win7/SP1/");
    EXPECT_EQ(RefererForBuild(19045), L"http://WinNT/19045/");
}

TEST_F(Transfers, TheCounterRequestCarriesItsUserAgentAndTheRefererOfTheRunningWindows) {
    const std::string counter = HostOf(ZrxServers::CounterMain);
    const std::wstring url = ZrxServers::CounterMain;
    const std::string path = std::string(url.begin() + url.find(L'/', 7), url.end());
    PutFile(counter + path, "counted\r\nthank you\n");

    TStringList response;
    response.Add(L"old");
    RunOnWorker([&] {
        CNetwork::Get(url, &response);
        return true;
    });
    ASSERT_EQ(response.Count(), 2);
    EXPECT_EQ(response[0], L"counted");
    EXPECT_EQ(response[1], L"thank you");

    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExW(&version));
    const std::wstring referer = RefererForBuild(version.dwBuildNumber);
    auto requests = ReadLog();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Host, counter);
    EXPECT_EQ(requests[0].UserAgent, "Web[ZX]/INDY,201");
    EXPECT_EQ(Widen(requests[0].Referer), referer);
    EXPECT_EQ(requests[0].Line.rfind("GET http://" + counter, 0), 0u) << requests[0].Line;
}

TEST_F(Transfers, TheCounterRequestKeepsTheListOnAnEmptyOrFailedReply) {
    PutFile(Host + "/empty", "");
    TStringList response;
    response.Add(L"old");
    CNetwork::Get(Base + L"empty", &response);
    CNetwork::Get(Base + L"missing", &response);
    CNetwork::Get(L"http://nowhere.zorvex.example/", &response);
    ASSERT_EQ(response.Count(), 1);
    EXPECT_EQ(response[0], L"old");
    // Without a list the body is read and dropped.
    PutFile(Host + "/body", "text");
    CNetwork::Get(Base + L"body", nullptr);
    EXPECT_EQ(ReadLog().size(), 4u);
}
