// Transfers without a usable system proxy: a direct connection, a named proxy without a port (which
// leaves the connection direct), and a proxy that refuses connections.
#include <windows.h>

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "net/Setup.Network.h"

using namespace NetTest;

namespace {
const std::wstring Target = L"direct-target.bin";

class Direct : public ::testing::Test {
protected:
    void SetUp() override {
        ClearServer();
        ClearLog();
        DeleteFileW(Target.c_str());
    }
    void TearDown() override {
        SetSystemProxy(false, nullptr);
        DeleteFileW(Target.c_str());
    }
    std::wstring Local(const wchar_t* Path) {
        return L"http://localhost:" + std::to_wstring(ServerPort()) + L"/" + Path;
    }
};
} // namespace

TEST_F(Direct, WithoutAProxyTheServerIsAskedDirectly) {
    const std::string body = RandomBytes(100000, 11);
    PutFile("localhost/zrx/setup/system.xml", body);
    SetSystemProxy(false, nullptr);
    EXPECT_TRUE(CNetwork::Download(Local(L"zrx/setup/system.xml"), Target));
    EXPECT_EQ(ReadFile(Target), body);

    // A named proxy without a port gives the client no proxy: the request still goes direct.
    std::wstring noPort = L"hostonly";
    SetSystemProxy(true, &noPort);
    EXPECT_TRUE(CNetwork::Download(Local(L"zrx/setup/system.xml"), Target));

    auto requests = ReadLog();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests) EXPECT_EQ(r.Line, "GET /zrx/setup/system.xml HTTP/1.1");
}

TEST_F(Direct, AProxyThatRefusesConnectionsFailsTheTransfer) {
    // Port 9 (discard) has no listener on these machines.
    std::wstring dead = L"127.0.0.1:9";
    SetSystemProxy(true, &dead);
    WriteFile(Target, "older");
    EXPECT_FALSE(CNetwork::Download(L"http://refused.zorvex.example/file.bin", Target));
    EXPECT_FALSE(Exists(Target));
    WriteFile(Target, "older");
    CNetwork network([](int64_t) {}, [](int64_t) {}, [] {});
    EXPECT_FALSE(network.SyncDownload(L"http://refused.zorvex.example/file.bin", Target));
    EXPECT_FALSE(Exists(Target));
}
