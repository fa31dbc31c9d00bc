#include <gtest/gtest.h>

#include <string>

#include "NetTestSupport.h"
#include "net/Network.HTTP.Proxy.h"

// Reaches the parser of a system proxy text.
struct TProxyParsing {
    static std::pair<std::wstring, int> Parse(const std::wstring& Text) {
        CProxyInformation info;
        info.FServer.clear();
        info.FPort = 0;
        info.ParseProxyString(Text);
        return {info.FServer, info.FPort};
    }
};

using Parsed = std::pair<std::wstring, int>;

TEST(ProxyText, PicksTheHttpProxyOutOfTheSystemText) {
    EXPECT_EQ(TProxyParsing::Parse(L"host:3128"), Parsed(L"host", 3128));
    EXPECT_EQ(TProxyParsing::Parse(L"ftp=h1:21;http=h2:8080;https=h3:443"), Parsed(L"h2", 8080));
    // The http entry last, or alone: nothing follows it to cut off, and its port keeps every digit.
    EXPECT_EQ(TProxyParsing::Parse(L"https=h3:443;http=h2:8080"), Parsed(L"h2", 8080));
    EXPECT_EQ(TProxyParsing::Parse(L"http=h2:8080"), Parsed(L"h2", 8080));
    EXPECT_EQ(TProxyParsing::Parse(L"hostonly"), Parsed(L"", 0));
    EXPECT_EQ(TProxyParsing::Parse(L"host:abc"), Parsed(L"host", 0));
    // Without an "http=" entry the text is split at its first colon.
    EXPECT_EQ(TProxyParsing::Parse(L"ftp=h1:21"), Parsed(L"ftp=h1", 21));
    EXPECT_EQ(TProxyParsing::Parse(L"ftp=h1:21;https=h3:443"), Parsed(L"ftp=h1", 0));
    // Searches are case-sensitive.
    EXPECT_EQ(TProxyParsing::Parse(L"HTTP=h2:8080"), Parsed(L"HTTP=h2", 8080));
}

class SystemProxy : public ::testing::Test {
protected:
    void TearDown() override { NetTest::SetSystemProxy(false, nullptr); }
    static CProxyInformation With(bool Enable, const wchar_t* Server) {
        std::wstring server = Server ? Server : L"";
        NetTest::SetSystemProxy(Enable, Server ? &server : nullptr);
        return CProxyInformation();
    }
};

TEST_F(SystemProxy, ReadFromThePerUserInternetSettings) {
    auto single = With(true, L"proxy.example:3128");
    EXPECT_TRUE(single.Enabled());
    EXPECT_EQ(single.Server(), L"proxy.example");
    EXPECT_EQ(single.Port(), 3128);

    auto noServer = With(true, nullptr);
    EXPECT_TRUE(noServer.Enabled());
    EXPECT_EQ(noServer.Server(), L"");
}

TEST_F(SystemProxy, DirectConnectionAndUnreadableSettingsGiveNoProxy) {
    auto direct = With(false, L"proxy.example:3128");
    EXPECT_FALSE(direct.Enabled());
    EXPECT_EQ(direct.Server(), L"");
    EXPECT_EQ(direct.Port(), 0);

    // Longer than the 4096-byte buffer holds: the query fails.
    std::wstring huge(3000, L'a');
    auto tooLong = With(true, (huge + L":8080").c_str());
    EXPECT_FALSE(tooLong.Enabled());
    EXPECT_EQ(tooLong.Server(), L"");
    EXPECT_EQ(tooLong.Port(), 0);
}

TEST_F(SystemProxy, SetupWritesOnlyAnEnabledProxyIntoTheClient) {
    THTTPClient client;
    With(false, L"proxy.example:3128");
    CProxyInformation::Setup(client);
    EXPECT_EQ(client.ProxyParams.ProxyServer, L"");
    EXPECT_EQ(client.ProxyParams.ProxyPort, 0);

    With(true, L"proxy.example:3128");
    CProxyInformation::Setup(client);
    EXPECT_EQ(client.ProxyParams.ProxyServer, L"proxy.example");
    EXPECT_EQ(client.ProxyParams.ProxyPort, 3128);

    // Nothing is cached: each client sees the setting of the moment.
    THTTPClient second;
    With(true, L"other.example:81");
    CProxyInformation::Setup(second);
    EXPECT_EQ(second.ProxyParams.ProxyServer, L"other.example");
    EXPECT_EQ(second.ProxyParams.ProxyPort, 81);
}
