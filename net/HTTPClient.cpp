#include "net/HTTPClient.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "runtime/SysUtils.h"

namespace {

struct TInternetHandleCloser {
    void operator()(void* Handle) const { InternetCloseHandle(Handle); }
};
using TInternetHandle = std::unique_ptr<void, TInternetHandleCloser>;

// The system's text for a WinINet or system error code.
std::wstring ErrorText(DWORD Code) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                 FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             GetModuleHandleW(L"wininet.dll"), Code, 0, (LPWSTR)&text, 0, nullptr);
    std::wstring result(text ? text : L"", n);
    LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result.empty() ? L"Error " + IntToStr(Code) : result;
}

[[noreturn]] void RaiseLastError(const std::wstring& What) {
    DWORD code = GetLastError();
    throw EHTTPClientError(What + L": " + ErrorText(code), code);
}

bool IsPlainHttp(const std::wstring& URL) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    return InternetCrackUrlW(URL.c_str(), (DWORD)URL.size(), 0, &parts) &&
           parts.nScheme == INTERNET_SCHEME_HTTP && parts.dwHostNameLength > 0;
}

// A header of the reply as text; empty when it is missing.
std::wstring QueryHeader(HINTERNET Request, DWORD Info) {
    std::vector<wchar_t> buffer(256);
    DWORD size = (DWORD)(buffer.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(Request, Info, buffer.data(), &size, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        buffer.resize(size / sizeof(wchar_t) + 1);
        if (!HttpQueryInfoW(Request, Info, buffer.data(), &size, nullptr)) return {};
    }
    return std::wstring(buffer.data(), size / sizeof(wchar_t));
}

int QueryStatus(HINTERNET Request) {
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(Request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        RaiseLastError(L"No status in the reply");
    return (int)status;
}

// The announced body length, or -1 when the reply has none (or an unreadable one).
int64_t QueryContentLength(HINTERNET Request) {
    std::wstring text = QueryHeader(Request, HTTP_QUERY_CONTENT_LENGTH);
    if (text.empty() || text.size() > 18) return -1;
    int64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return -1;
        value = value * 10 + (c - L'0');
    }
    return value;
}

bool IsRedirect(int Status) {
    return Status == 301 || Status == 302 || Status == 303 || Status == 307 || Status == 308;
}

// Location resolved against the address that was asked for.
std::wstring CombineUrl(const std::wstring& Base, const std::wstring& Relative) {
    DWORD size = 0;
    InternetCombineUrlW(Base.c_str(), Relative.c_str(), nullptr, &size, ICU_NO_ENCODE);
    std::vector<wchar_t> buffer(size + 1);
    size = (DWORD)buffer.size();
    if (!InternetCombineUrlW(Base.c_str(), Relative.c_str(), buffer.data(), &size, ICU_NO_ENCODE))
        RaiseLastError(L"Bad redirect to \"" + Relative + L"\"");
    return std::wstring(buffer.data(), size);
}

// The size of the next read. Asked how much has arrived, the client counts only its own small buffer, and
// a read waits until it has every byte asked for. So while less than that buffer arrives between reads
// (a slow link), each read takes just what has arrived; while the buffer comes full (the link outpaces the
// reads), the size doubles as long as reads come back at once and halves when a read had to wait.
class TReadSize {
public:
    DWORD For(DWORD Arrived) {
        if (Arrived < ClientBuffer) FWanted = 0;
        return std::min<DWORD>(std::max(FWanted, Arrived), THTTPClient::MaxBlockSize);
    }
    void Took(DWORD Size, std::chrono::steady_clock::duration Time) {
        if (Size < ClientBuffer) return;
        if (Time < Window / 2)
            FWanted = std::min<DWORD>(Size * 2, THTTPClient::MaxBlockSize);
        else if (Time > Window)
            FWanted = Size / 2;
    }

private:
    static constexpr DWORD ClientBuffer = 8192;
    static constexpr std::chrono::milliseconds Window{20};
    DWORD FWanted = 0;
};

} // namespace

void THTTPClient::Get(const std::wstring& URL, TStream* Stream) {
    std::wstring proxy;
    if (!ProxyParams.ProxyServer.empty())
        proxy = ProxyParams.ProxyServer + L":" + IntToStr(ProxyParams.ProxyPort);
    TInternetHandle session(InternetOpenW(
        Request.UserAgent.c_str(), proxy.empty() ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PROXY,
        proxy.empty() ? nullptr : proxy.c_str(), nullptr, 0));
    if (!session) RaiseLastError(L"Cannot open an Internet session");

    const std::wstring headers = Request.Referer.empty() ? L"" : L"Referer: " + Request.Referer + L"\r\n";
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;
    std::wstring url = URL;
    TInternetHandle reply;
    for (int redirects = 0;; ++redirects) {
        // Only plain HTTP is spoken; WinINet would otherwise open https: and ftp: addresses too.
        if (!IsPlainHttp(url)) throw EHTTPClientError(L"Not an http: address: \"" + url + L"\"", 0);
        reply.reset(InternetOpenUrlW(session.get(), url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                     (DWORD)headers.size(), flags, 0));
        if (!reply) RaiseLastError(L"Request for \"" + url + L"\" failed");
        int status = QueryStatus(reply.get());
        std::wstring location = IsRedirect(status) && HandleRedirects
                                    ? QueryHeader(reply.get(), HTTP_QUERY_LOCATION)
                                    : std::wstring();
        if (location.empty()) {
            if (status < 200 || status > 299)
                throw EHTTPProtocolError(L"HTTP/1.1 " + IntToStr(status) + L" " +
                                             QueryHeader(reply.get(), HTTP_QUERY_STATUS_TEXT),
                                         status);
            break;
        }
        if (redirects == RedirectMaximum)
            throw EHTTPClientError(L"Too many redirects for \"" + URL + L"\"", 0);
        url = CombineUrl(url, location);
    }

    const int64_t expected = QueryContentLength(reply.get());
    if (OnWorkBegin) OnWorkBegin(this, wmRead, expected < 0 ? 0 : expected);
    try {
        std::vector<uint8_t> block;
        TReadSize readSize;
        int64_t total = 0;
        for (;;) {
            const auto start = std::chrono::steady_clock::now();
            // Waits for the next bytes; 0 at the end of the body.
            DWORD n = 0;
            if (!InternetQueryDataAvailable(reply.get(), &n, 0, 0))
                RaiseLastError(L"Reading the reply failed");
            if (n == 0) break;
            n = readSize.For(n);
            if (block.size() < n) block.resize(n);
            if (!InternetReadFile(reply.get(), block.data(), n, &n))
                RaiseLastError(L"Reading the reply failed");
            if (n == 0) break;
            readSize.Took(n, std::chrono::steady_clock::now() - start);
            Stream->WriteBuffer(block.data(), (int32_t)n);
            total += n;
            if (OnWork) OnWork(this, wmRead, total);
        }
        // WinINet ends a body that broke off (closed or reset connection) like a complete one.
        if (expected >= 0 && total != expected)
            throw EHTTPClientError(
                L"Connection closed after " + IntToStr(total) + L" of " + IntToStr(expected) + L" bytes", 0);
    } catch (...) {
        if (OnWorkEnd) OnWorkEnd(this, wmRead);
        throw;
    }
    if (OnWorkEnd) OnWorkEnd(this, wmRead);
}
