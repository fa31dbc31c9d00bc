// The HTTP client that the network layer is written against: a GET of a plain "http:" address into a
// stream over WinINet, through an explicit proxy or directly, with redirects, request headers and work
// events on the calling thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/Exceptions.h"
#include "runtime/Streams.h"

// A request that could not be made or completed: no connection, a broken or short body, too many
// redirects, an address that is not "http:". ErrorCode is the system's code, or 0.
class EHTTPClientError : public Exception {
public:
    EHTTPClientError(std::wstring Message, uint32_t ErrorCode)
        : Exception(std::move(Message)), ErrorCode(ErrorCode) {}
    const wchar_t* ClassName() const override { return L"EHTTPClientError"; }
    uint32_t ErrorCode;
};

// A reply whose status is not a success ("HTTP/1.1 404 Not Found").
class EHTTPProtocolError : public EHTTPClientError {
public:
    EHTTPProtocolError(std::wstring Message, int Status)
        : EHTTPClientError(std::move(Message), 0), Status(Status) {}
    const wchar_t* ClassName() const override { return L"EHTTPProtocolError"; }
    int Status;
};

enum TWorkMode { wmRead, wmWrite };

// Proxy parameters: an empty server means a direct connection.
struct THTTPProxyInfo {
    std::wstring ProxyServer;
    int32_t ProxyPort = 0;
};

// Lets another thread abandon transfers: from Cancel on, a Get under way raises within a moment (its
// connection is closed behind it) and a later one raises before it asks anything. One object may serve
// many clients.
class THTTPCancellation {
public:
    void Cancel() { FCancelled = true; }
    bool Cancelled() const { return FCancelled; }

private:
    std::atomic<bool> FCancelled{false};
};

struct THTTPRequest {
    std::wstring UserAgent;
    std::wstring Referer; // sent when not empty
};

class THTTPClient : public TObject {
    ZRX_CLASS(THTTPClient, TObject)
public:
    using TWorkBeginEvent = std::function<void(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax)>;
    using TWorkEvent = std::function<void(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCount)>;
    using TWorkEndEvent = std::function<void(TObject* Sender, TWorkMode AWorkMode)>;

    // The body is read in blocks of what has arrived, up to this size; each block is one work event. A fast
    // link so gives few large events (each read has a high fixed cost under Wine), a slow one an event for
    // every arrival.
    static constexpr uint32_t MaxBlockSize = 4 * 1024 * 1024;
    // Redirects followed before the request fails.
    static constexpr int RedirectMaximum = 15;
    // A server that sends nothing for this long (milliseconds) while the connection is made, before its reply
    // or within the body fails the request, so that the caller can go on to another source.
    static constexpr uint32_t ReadTimeout = 30000;

    THTTPRequest Request;
    THTTPProxyInfo ProxyParams;
    bool HandleRedirects = false;
    // The longest body accepted, in bytes; a longer one, or a longer announced length, fails the request
    // (before anything beyond it is written). Negative: no limit.
    int64_t MaxBodySize = -1;
    // Milliseconds within which the whole reply, redirects and body included, must have arrived; a request
    // that takes longer fails as a silent server does, however steadily bytes trickle in. 0: no deadline (a
    // large download on a slow link may take long, and only silence ends it).
    uint32_t Deadline = 0;
    // Watched while the request runs; none: the request cannot be cancelled.
    std::shared_ptr<THTTPCancellation> Cancellation;
    // Fired on the calling thread: the expected size (0 when the reply announces none) when the body
    // starts, the running total after each block, and the end (also when the body broke off).
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

    // Writes the body of the final reply into Stream. Raises EHTTPProtocolError for a status that is not a
    // success (nothing is written then) and EHTTPClientError for every other failure: also a cancelled
    // request, a body beyond MaxBodySize, a server silent for ReadTimeout and a reply not whole by Deadline.
    void Get(const std::wstring& URL, TStream* Stream);
};
