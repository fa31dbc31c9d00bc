#include "net/Setup.Network.h"

#include <windows.h>

#include "net/Network.HTTP.Proxy.h"
#include "runtime/Files.h"
#include "runtime/Threads.h"
#include "runtime/SysUtils.h"

namespace {

// A client as every transfer makes it: user agent, redirects followed, a bounded body and, for a small file,
// a bounded time.
std::unique_ptr<THTTPClient> NewClient(const wchar_t* UserAgent, int64_t MaxBodySize,
                                       std::shared_ptr<THTTPCancellation> Cancel = nullptr) {
    auto client = std::make_unique<THTTPClient>();
    client->Request.UserAgent = UserAgent;
    client->HandleRedirects = true;
    client->MaxBodySize = MaxBodySize;
    client->Deadline = MaxBodySize <= CNetwork::SmallFileMaximum ? CNetwork::SmallFileDeadline : 0;
    client->Cancellation = std::move(Cancel);
    return client;
}

// GET into the stream; a failure of the request leaves the stream empty.
void GetOrEmpty(THTTPClient& Client, const std::wstring& URL, TStream& Stream) {
    try {
        Client.Get(URL, &Stream);
    } catch (const Exception&) {
        Stream.SetSize(0);
    }
}

} // namespace

CNetwork::CNetwork(TProgressProc AWorkBegin, TProgressProc AWork, TProgressEndProc AWorkEnd,
                   std::shared_ptr<THTTPCancellation> Cancel)
    : fHTTP(NewClient(SetupUserAgent, LargeFileMaximum, std::move(Cancel))),
      onWorkBegin(std::move(AWorkBegin)), onWork(std::move(AWork)), onWorkEnd(std::move(AWorkEnd)) {
    using namespace std::placeholders;
    fHTTP->OnWork = std::bind(&CNetwork::DoWork, this, _1, _2, _3);
    fHTTP->OnWorkBegin = std::bind(&CNetwork::DoWorkBegin, this, _1, _2, _3);
    fHTTP->OnWorkEnd = std::bind(&CNetwork::DoWorkEnd, this, _1, _2);
    CProxyInformation::Setup(*fHTTP);
}

CNetwork::~CNetwork() = default;

void CNetwork::DoWorkBegin(TObject*, TWorkMode, int64_t AWorkCountMax) {
    FDownloadSize = (uint32_t)AWorkCountMax;
    TThread::Synchronize(TThread::CurrentThread(), [&] { onWorkBegin(AWorkCountMax); });
}

void CNetwork::DoWork(TObject*, TWorkMode, int64_t AWorkCount) {
    FDoneSize = (uint32_t)AWorkCount;
    TThread::Synchronize(TThread::CurrentThread(), [&] { onWork(AWorkCount); });
}

void CNetwork::DoWorkEnd(TObject*, TWorkMode) {
    TThread::Synchronize(TThread::CurrentThread(), [&] { onWorkEnd(); });
}

bool CNetwork::SyncDownload(const std::wstring& URL, const std::wstring& fFile) {
    bool result;
    {
        TFileStream stream(fFile, fmCreate);
        GetOrEmpty(*fHTTP, URL, stream);
        const int64_t size = stream.Size();
        result = size != 0;
        if (FDownloadSize != FDoneSize && size != (int64_t)FDoneSize) result = false;
    }
    if (!result && FileExists(fFile)) TFile::Delete(fFile);
    return result;
}

bool CNetwork::Download(const std::wstring& URL, const std::wstring& fFile,
                        std::shared_ptr<THTTPCancellation> Cancel) {
    auto client = NewClient(SetupUserAgent, SmallFileMaximum, std::move(Cancel));
    CProxyInformation::Setup(*client);
    bool result;
    {
        TFileStream stream(fFile, fmCreate);
        GetOrEmpty(*client, URL, stream);
        result = stream.Size() != 0;
    }
    if (!result && FileExists(fFile)) TFile::Delete(fFile);
    return result;
}

void CNetwork::Get(const std::wstring& URL, TStrings* Response) {
    auto client = NewClient(CounterUserAgent, SmallFileMaximum);
    client->Request.Referer = RefererForBuild(WindowsBuildNumber());
    CProxyInformation::Setup(*client);
    TStringStream stream;
    GetOrEmpty(*client, URL, stream);
    if (Response && stream.Size() > 0) Response->SetText(stream.DataString());
}

std::wstring RefererForBuild(uint32_t BuildNumber) {
    switch (BuildNumber) {
    case 2600:
        return L"http://WinXP/RTM/";
    case 3790:
        return L"http://WinXP/RTM64/";
    case 6000:
        return L"http://WinVista/RTM/";
    case 6001:
        return L"http://WinVista/SP1/";
    case 6002:
        return L"http://WinVista/SP2/";
    case 6003:
        return L"http://WinVista/SP3/";
    case 6004:
        return L"http://WinVista/SP4/";
    case 7100:
        return L"http://Win7/RC/";
    case 7600:
        return L"http://Win7/RTM/";
    case 7601:
        return L"http://Win7/SP1/";
    case 7602:
        return L"http://Win7/SP2/";
    case 7603:
        return L"http://Win7/SP3/";
    case 7604:
        return L"http://Win7/SP4/";
    case 8102:
        return L"http://Win8/DP1/";
    case 8250:
        return L"http://Win8/CP1/";
    case 8400:
        return L"http://Win8/RP1/";
    case 9200:
        return L"http://Win8/RTM/";
    default:
        return L"http://WinNT/" + IntToStr(BuildNumber) + L"/";
    }
}

uint32_t WindowsBuildNumber() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return 0;
    // The old 9x platform keeps its major and minor version in the high word.
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? info.dwBuildNumber & 0xFFFF : info.dwBuildNumber;
}
