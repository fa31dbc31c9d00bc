#include "net/Network.HTTP.Proxy.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "runtime/SysUtils.h"

namespace {
// What INTERNET_OPTION_PROXY fills in; MinGW's wininet.h declares only the TCHAR form.
struct INTERNET_PROXY_INFOW {
    DWORD dwAccessType;
    LPCWSTR lpszProxy;
    LPCWSTR lpszProxyBypass;
};

constexpr DWORD ProxyBufferSize = 4096;
} // namespace

CProxyInformation::CProxyInformation() {
    // The strings lie inside the buffer, behind the structure; a setting too long for it fails the query.
    auto buffer = std::make_unique<uint64_t[]>(ProxyBufferSize / sizeof(uint64_t));
    DWORD length = ProxyBufferSize;
    if (InternetQueryOptionW(nullptr, INTERNET_OPTION_PROXY, buffer.get(), &length)) {
        const auto* info = reinterpret_cast<const INTERNET_PROXY_INFOW*>(buffer.get());
        if (info->dwAccessType == INTERNET_OPEN_TYPE_PROXY) {
            ParseProxyString(info->lpszProxy ? info->lpszProxy : L"");
            FEnabled = true;
        }
    }
}

void CProxyInformation::ParseProxyString(const std::wstring& Text) {
    std::wstring text = Text;
    size_t http = text.find(L"http=");
    if (http != std::wstring::npos) {
        text.erase(0, http + 5);
        size_t semicolon = text.find(L';');
        if (semicolon != std::wstring::npos) text.erase(semicolon);
    }
    size_t colon = text.find(L':');
    if (colon != std::wstring::npos) {
        FPort = StrToIntDef(std::wstring_view(text).substr(colon + 1), 0);
        FServer = text.substr(0, colon);
    }
}

void CProxyInformation::Setup(THTTPClient& HTTPClinet) {
    CProxyInformation info;
    if (info.Enabled()) {
        HTTPClinet.ProxyParams.ProxyPort = info.Port();
        HTTPClinet.ProxyParams.ProxyServer = info.Server();
    }
}
