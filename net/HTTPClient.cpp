#include "net/HTTPClient.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <vector>

#include "runtime/SysUtils.h"
#include "runtime/Threads.h"

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

// The host, port and object (path and query) of a plain "http:" address; False for any other address.
bool CrackHttpUrl(const std::wstring& URL, std::wstring& Host, INTERNET_PORT& Port, std::wstring& Object) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(URL.c_str(), (DWORD)URL.size(), 0, &parts) ||
        parts.nScheme != INTERNET_SCHEME_HTTP || parts.dwHostNameLength == 0)
        return false;
    Host.assign(parts.lpszHostName, parts.dwHostNameLength);
    Port = parts.nPort;
    Object.assign(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) Object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (Object.empty()) Object = L"/";
    return true;
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

// A request on a connection of its own: the connection goes after the request.
struct TReply {
    TInternetHandle Connection, Request;
};

// What a client's request is made of, copied for the thread that makes it.
struct TRequestParams {
    std::wstring URL, Proxy, UserAgent, Headers;
    bool HandleRedirects;
};

// What the calling thread and the reading thread of one request share. The reader makes the request and
// reads the body in blocks; the caller takes each block, writes it and reports it, and waits for the
// reader only as long as nobody cancels. A caller that leaves (cancelled, a body too large, a failing
// stream) marks the request abandoned: the reader stops at its next return from the network and closes
// the connection, and no caller waits for that.
struct TTransfer {
    SRWLOCK Lock = SRWLOCK_INIT;
    CONDITION_VARIABLE Changed = CONDITION_VARIABLE_INIT;
    bool Started = false; // the final reply was accepted: Expected holds its length
    int64_t Expected = -1;
    bool BlockReady = false; // Block holds BlockSize bytes not yet taken
    std::vector<uint8_t> Block;
    DWORD BlockSize = 0;
    bool Ended = false; // the reader is done: the body is complete, or Error says why not
    std::exception_ptr Error;
    bool Abandoned = false;
};

class TLock {
public:
    explicit TLock(TTransfer& T) : F(T) { AcquireSRWLockExclusive(&F.Lock); }
    ~TLock() { ReleaseSRWLockExclusive(&F.Lock); }
    // Releases the lock until the transfer changes or Milliseconds pass.
    void Wait(DWORD Milliseconds) { SleepConditionVariableSRW(&F.Changed, &F.Lock, Milliseconds, 0); }
    void Notify() { WakeAllConditionVariable(&F.Changed); }

private:
    TTransfer& F;
};

// Sends the request for URL, with the timeouts, on a connection of its own.
void SendRequest(HINTERNET Session, const std::wstring& URL, const std::wstring& Headers, TReply& Reply) {
    std::wstring host, object;
    INTERNET_PORT port;
    // Only plain HTTP is spoken; WinINet would otherwise open https: and ftp: addresses too.
    if (!CrackHttpUrl(URL, host, port, object))
        throw EHTTPClientError(L"Not an http: address: \"" + URL + L"\"", 0);
    Reply.Request.reset();
    Reply.Connection.reset(
        InternetConnectW(Session, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!Reply.Connection) RaiseLastError(L"Request for \"" + URL + L"\" failed");
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;
    Reply.Request.reset(HttpOpenRequestW(Reply.Connection.get(), L"GET", object.c_str(), nullptr, nullptr,
                                         nullptr, flags, 0));
    if (!Reply.Request) RaiseLastError(L"Request for \"" + URL + L"\" failed");
    // Set on the request itself: the session's values do not reach a request everywhere.
    DWORD timeout = THTTPClient::ReadTimeout;
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionW(Reply.Request.get(), option, &timeout, sizeof timeout);
    if (!HttpSendRequestW(Reply.Request.get(), Headers.empty() ? nullptr : Headers.c_str(),
                          (DWORD)Headers.size(), nullptr, 0))
        RaiseLastError(L"Request for \"" + URL + L"\" failed");
}

// The reading thread's work: the request, its redirects, and the body handed over block by block.
void ReadReply(const TRequestParams& P, TTransfer& T) {
    TInternetHandle session(InternetOpenW(
        P.UserAgent.c_str(), P.Proxy.empty() ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PROXY,
        P.Proxy.empty() ? nullptr : P.Proxy.c_str(), nullptr, 0));
    if (!session) RaiseLastError(L"Cannot open an Internet session");

    std::wstring url = P.URL;
    TReply reply;
    int status = 0;
    auto abandoned = [&T] {
        TLock lock(T);
        return T.Abandoned;
    };
    for (int redirects = 0;; ++redirects) {
        if (abandoned()) return;
        SendRequest(session.get(), url, P.Headers, reply);
        status = QueryStatus(reply.Request.get());
        std::wstring location = IsRedirect(status) && P.HandleRedirects
                                    ? QueryHeader(reply.Request.get(), HTTP_QUERY_LOCATION)
                                    : std::wstring();
        if (location.empty()) {
            if (status < 200 || status > 299)
                throw EHTTPProtocolError(L"HTTP/1.1 " + IntToStr(status) + L" " +
                                             QueryHeader(reply.Request.get(), HTTP_QUERY_STATUS_TEXT),
                                         status);
            break;
        }
        if (redirects == THTTPClient::RedirectMaximum)
            throw EHTTPClientError(L"Too many redirects for \"" + P.URL + L"\"", 0);
        url = CombineUrl(url, location);
    }

    // "No Content" has no body, whatever follows the header: bytes there are none of the reply's.
    const bool noContent = status == 204;
    const int64_t expected = noContent ? 0 : QueryContentLength(reply.Request.get());
    {
        TLock lock(T);
        T.Expected = expected;
        T.Started = true;
        lock.Notify();
    }
    if (noContent) return;
    std::vector<uint8_t> block;
    TReadSize readSize;
    int64_t total = 0;
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        // Waits for the next bytes; 0 at the end of the body.
        DWORD n = 0;
        if (!InternetQueryDataAvailable(reply.Request.get(), &n, 0, 0))
            RaiseLastError(L"Reading the reply failed");
        if (n == 0) break;
        n = readSize.For(n);
        if (block.size() < n) block.resize(n);
        if (!InternetReadFile(reply.Request.get(), block.data(), n, &n))
            RaiseLastError(L"Reading the reply failed");
        if (n == 0) break;
        readSize.Took(n, std::chrono::steady_clock::now() - start);
        total += n;
        // The caller writes one block while the next one is read.
        TLock lock(T);
        while (T.BlockReady && !T.Abandoned) lock.Wait(INFINITE);
        if (T.Abandoned) return;
        std::swap(T.Block, block);
        T.BlockSize = n;
        T.BlockReady = true;
        lock.Notify();
    }
    // WinINet ends a body that broke off (closed or reset connection) like a complete one.
    if (expected >= 0 && total != expected)
        throw EHTTPClientError(
            L"Connection closed after " + IntToStr(total) + L" of " + IntToStr(expected) + L" bytes", 0);
}

} // namespace

void THTTPClient::Get(const std::wstring& URL, TStream* Stream) {
    auto cancelled = [this] { return Cancellation && Cancellation->Cancelled(); };
    const auto raiseCancelled = [&URL] {
        throw EHTTPClientError(L"Request for \"" + URL + L"\" cancelled", ERROR_INTERNET_OPERATION_CANCELLED);
    };
    if (cancelled()) raiseCancelled();
    const ULONGLONG deadline = Deadline ? GetTickCount64() + Deadline : 0;

    TRequestParams params{URL, {}, Request.UserAgent, {}, HandleRedirects};
    if (!ProxyParams.ProxyServer.empty())
        params.Proxy = ProxyParams.ProxyServer + L":" + IntToStr(ProxyParams.ProxyPort);
    if (!Request.Referer.empty()) params.Headers = L"Referer: " + Request.Referer + L"\r\n";
    auto transfer = std::make_shared<TTransfer>();
    TThread::CreateAnonymousThread([params, transfer] {
        TThread::NameThreadForDebugging(L"HTTP");
        std::exception_ptr error;
        try {
            ReadReply(params, *transfer);
        } catch (...) {
            error = std::current_exception();
        }
        TLock lock(*transfer);
        transfer->Error = error;
        transfer->Ended = true;
        lock.Notify();
    })->Start();
    // Whichever way this call ends, the reader stops at its next chance.
    struct TAbandon {
        TTransfer& T;
        ~TAbandon() {
            TLock lock(T);
            T.Abandoned = true;
            lock.Notify();
        }
    } abandon{*transfer};

    // Waits, holding the lock, until Ready() is true; a cancellation or the deadline ends the wait with the
    // request. Both are checked also when Ready() holds at once: a steady trickle never has to wait.
    auto await = [&](TLock& Lock, auto Ready) {
        for (;;) {
            if (cancelled()) raiseCancelled();
            if (deadline && GetTickCount64() >= deadline)
                throw EHTTPClientError(L"The reply to \"" + URL + L"\" did not arrive within " +
                                           IntToStr(int64_t(Deadline / 1000)) + L" s",
                                       ERROR_INTERNET_TIMEOUT);
            if (Ready()) return;
            Lock.Wait(100);
        }
    };
    int64_t expected;
    {
        TLock lock(*transfer);
        await(lock, [&] { return transfer->Started || transfer->Ended; });
        if (!transfer->Started) std::rethrow_exception(transfer->Error);
        expected = transfer->Expected;
    }
    auto raiseTooLarge = [&] {
        throw EHTTPClientError(
            L"The reply to \"" + URL + L"\" is larger than " + IntToStr(MaxBodySize) + L" bytes", 0);
    };
    if (MaxBodySize >= 0 && expected > MaxBodySize) raiseTooLarge();

    if (OnWorkBegin) OnWorkBegin(this, wmRead, expected < 0 ? 0 : expected);
    try {
        std::vector<uint8_t> block;
        int64_t total = 0;
        for (;;) {
            DWORD n;
            {
                TLock lock(*transfer);
                await(lock, [&] { return transfer->BlockReady || transfer->Ended; });
                if (!transfer->BlockReady) {
                    if (transfer->Error) std::rethrow_exception(transfer->Error);
                    break;
                }
                // The reader gets this call's last buffer back for its next block.
                std::swap(block, transfer->Block);
                n = transfer->BlockSize;
                transfer->BlockReady = false;
                lock.Notify();
            }
            if (MaxBodySize >= 0 && total + n > MaxBodySize) raiseTooLarge();
            Stream->WriteBuffer(block.data(), (int32_t)n);
            total += n;
            if (OnWork) OnWork(this, wmRead, total);
        }
    } catch (...) {
        if (OnWorkEnd) OnWorkEnd(this, wmRead);
        throw;
    }
    if (OnWorkEnd) OnWorkEnd(this, wmRead);
}
