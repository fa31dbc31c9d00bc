#include "NetTestSupport.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "runtime/Threads.h"

namespace fs = std::filesystem;

namespace NetTest {

namespace {
const fs::path ServerRoot = "server-root";
const char* const LogFile = "server.log";

std::vector<std::string> Split(const std::string& Line, char Separator) {
    std::vector<std::string> parts;
    std::stringstream in(Line);
    std::string part;
    while (std::getline(in, part, Separator)) parts.push_back(part);
    return parts;
}
} // namespace

int ServerPort() {
    static int port = [] {
        std::ifstream in("server.port");
        int p = 0;
        if (!(in >> p) || p <= 0)
            throw std::runtime_error("no test server: server.port is missing (run through ctest)");
        return p;
    }();
    return port;
}

std::wstring ProxyAddress() {
    return L"127.0.0.1:" + std::to_wstring(ServerPort());
}

void ClearServer() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(ServerRoot, ec)) fs::remove_all(entry.path(), ec);
}

void PutFile(const std::string& Path, const std::string& Content) {
    fs::path p = ServerRoot / fs::path(Path);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << Content;
}

void Misbehave(const std::string& Path, const std::string& Behaviour) {
    PutFile(Path + ".misbehave", Behaviour + "\n");
}

std::string RandomBytes(size_t Size, uint32_t Seed) {
    std::mt19937 gen(Seed);
    std::string s(Size, '\0');
    for (char& c : s) c = (char)(gen() & 0xFF);
    return s;
}

std::string HostOf(const wchar_t* Url) {
    std::wstring u = Url;
    size_t start = u.find(L"://");
    start = start == std::wstring::npos ? 0 : start + 3;
    size_t end = u.find(L'/', start);
    std::wstring host = u.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    return std::string(host.begin(), host.end());
}

void ClearLog() {
    std::ofstream(LogFile, std::ios::trunc);
}

std::vector<TLoggedRequest> ReadLog() {
    std::vector<TLoggedRequest> entries;
    std::ifstream in(LogFile, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        auto f = Split(line, '\t');
        f.resize(5);
        entries.push_back({f[0], f[1], f[2], f[3], std::atoi(f[4].c_str())});
    }
    return entries;
}

void SetSystemProxy(bool Enable, const std::wstring* Server) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                        0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open the Internet settings");
    DWORD enable = Enable ? 1 : 0;
    RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, (const BYTE*)&enable, sizeof enable);
    if (Server)
        RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, (const BYTE*)Server->c_str(),
                       (DWORD)((Server->size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, L"ProxyServer");
    RegCloseKey(key);
}

bool RunOnWorker(const std::function<bool()>& Body) {
    // Shared with the worker, which may outlive a failed wait.
    struct TRecord {
        std::atomic<bool> done{false};
        bool result = false;
        std::exception_ptr error;
    };
    auto record = std::make_shared<TRecord>();
    const DWORD mainThread = GetCurrentThreadId();
    TThread::CreateAnonymousThread([record, Body, mainThread] {
        try {
            record->result = Body();
        } catch (...) {
            record->error = std::current_exception();
        }
        record->done = true;
        PostThreadMessageW(mainThread, WM_NULL, 0, 0);
    })->Start();
    while (!record->done) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        CheckSynchronize();
        if (!record->done) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    if (record->error) std::rethrow_exception(record->error);
    return record->result;
}

std::string ReadFile(const std::wstring& Name) {
    std::ifstream in(fs::path(Name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::wstring& Name, const std::string& Content) {
    std::ofstream(fs::path(Name), std::ios::binary | std::ios::trunc) << Content;
}

bool Exists(const std::wstring& Name) {
    return fs::exists(fs::path(Name));
}

std::wstring Widen(const std::string& S) {
    return std::wstring(S.begin(), S.end());
}

} // namespace NetTest
