// The setup's HTTP transfers: a download into a file with progress reported on the main thread, a plain
// download into a file, and a GET whose body may be read as text. No network failure escapes.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/HTTPClient.h"
#include "runtime/StringLists.h"

// Progress callbacks of a download, run on the main thread: the expected size when the body starts, the
// bytes so far, and the end of the body.
using TProgressProc = std::function<void(int64_t)>;
using TProgressEndProc = std::function<void()>;

class CNetwork : public TObject {
    ZRX_CLASS(CNetwork, TObject)
public:
    // One instance serves one progress download; the three callbacks must all be given. Cancel, when given,
    // abandons the download.
    CNetwork(TProgressProc AWorkBegin, TProgressProc AWork, TProgressEndProc AWorkEnd,
             std::shared_ptr<THTTPCancellation> Cancel = nullptr);
    ~CNetwork() override;

    // GET of URL into the file fFile with progress. False, and no file left, when the request failed (also
    // when it was cancelled or its body exceeds LargeFileMaximum), the body was empty, or the last progress
    // count matches neither the announced size nor the file's size. An exception while creating the file
    // reaches the caller.
    bool SyncDownload(const std::wstring& URL, const std::wstring& fFile);

    // GET of URL into the file fFile without progress. False, and no file left, when the request failed (also
    // when it was cancelled, its body exceeds SmallFileMaximum or it took longer than SmallFileDeadline) or
    // the body was empty. An exception while creating the file reaches the caller.
    static bool Download(const std::wstring& URL, const std::wstring& fFile,
                         std::shared_ptr<THTTPCancellation> Cancel = nullptr);
    // GET of URL as the install counter; when Response is given and the body is not empty, the body
    // becomes Response's text. Nothing is reported.
    static void Get(const std::wstring& URL, TStrings* Response);

    // The largest body a download without progress (the manifest, the language list and files, the licence
    // terms, the DirectX web setup) and the counter accept: a few MB, which no real one nears.
    static constexpr int64_t SmallFileMaximum = 4 << 20;
    // The largest body a download with progress (the package, a newer setup, the packer) accepts: generous
    // for any real package, and a bound for a server that never ends its body.
    static constexpr int64_t LargeFileMaximum = int64_t(1) << 30;
    // Milliseconds within which a small file must have arrived whole: a server that trickles a few bytes now
    // and then never falls silent for the read timeout, yet must give way to the next source. A download with
    // progress has no such bound: a slow link is no fault, and the user sees it and may close the window.
    static constexpr uint32_t SmallFileDeadline = 60000;

    static constexpr const wchar_t* SetupUserAgent = L"TlvCorp/Zorvex/1.0/INDY";
    static constexpr const wchar_t* CounterUserAgent = L"Web[ZX]/INDY,201";

private:
    void DoWorkBegin(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax);
    void DoWork(TObject* Sender, TWorkMode AWorkMode, int64_t AWorkCount);
    void DoWorkEnd(TObject* Sender, TWorkMode AWorkMode);

    std::unique_ptr<THTTPClient> fHTTP;
    uint32_t FDownloadSize = 0;
    uint32_t FDoneSize = 0;
    TProgressProc onWorkBegin;
    TProgressProc onWork;
    TProgressEndProc onWorkEnd;
};

// The Referer that the install counter sends for a Windows build number ("http://Win7/SP1/" for 7601,
// "http://WinNT/9600/" for a build the table lacks).
std::wstring RefererForBuild(uint32_t BuildNumber);
// The build number of the running Windows, as the system reports it to the program.
uint32_t WindowsBuildNumber();
