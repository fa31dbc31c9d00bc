// What the network tests share: the test server started beside them (its port, its folder per host name
// and its request log), the per-user proxy setting of the Wine prefix, and a worker whose progress
// callbacks cross to this (main) thread while it pumps messages.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace NetTest {

// The port of the test server that the test fixture started (read from "server.port").
int ServerPort();
// "127.0.0.1:<port>": the server in its role as proxy.
std::wstring ProxyAddress();

// Server content: Path is "host/path/to/file" under the server's root ("server-root").
void ClearServer();
void PutFile(const std::string& Path, const std::string& Content);
// The file misbehaves as the server's documentation says ("truncate", "status 404", "redirect URL"...).
void Misbehave(const std::string& Path, const std::string& Behaviour);
// Random bytes of the given size (the same for the same seed).
std::string RandomBytes(size_t Size, uint32_t Seed = 1);
// The host part of "http://host/..." or "http://host".
std::string HostOf(const wchar_t* Url);

// One logged request: the request line, host, User-Agent, Referer and the status sent.
struct TLoggedRequest {
    std::string Line, Host, UserAgent, Referer;
    int Status = 0;
};
void ClearLog();
std::vector<TLoggedRequest> ReadLog();

// The Wine prefix's per-user Internet settings: ProxyEnable and ProxyServer (none: the value is removed).
void SetSystemProxy(bool Enable, const std::wstring* Server);

// For a test program whose requests go through the proxy: the prefix's system proxy points at the test
// server while the program runs and is switched off after it.
class ProxyEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::wstring proxy = ProxyAddress();
        SetSystemProxy(true, &proxy);
    }
    void TearDown() override { SetSystemProxy(false, nullptr); }
};

// Runs Body on a worker thread while this thread pumps messages and runs the calls the worker hands over.
// An exception of the body is raised again here.
bool RunOnWorker(const std::function<bool()>& Body);

std::string ReadFile(const std::wstring& Name);
void WriteFile(const std::wstring& Name, const std::string& Content);
bool Exists(const std::wstring& Name);
std::wstring Widen(const std::string& S);

} // namespace NetTest
