// The proxy that Windows is set to use for the current user, applied to each HTTP client the setup makes.
#pragma once
#include <cstdint>
#include <string>

#include "net/HTTPClient.h"

class CProxyInformation : public TObject {
    ZRX_CLASS(CProxyInformation, TObject)
public:
    // Reads the system setting now; never raises for a missing or unusual one.
    CProxyInformation();

    bool Enabled() const { return FEnabled; }
    int32_t Port() const { return FPort; }
    const std::wstring& Server() const { return FServer; }

    // Gives the client the system's HTTP proxy; without one the client's proxy parameters stay untouched.
    static void Setup(THTTPClient& HTTPClinet);

private:
    friend struct TProxyParsing;
    // Picks the HTTP proxy's host and port out of the system's proxy list text.
    void ParseProxyString(const std::wstring& Text);

    bool FEnabled = false;
    int32_t FPort = 0;
    std::wstring FServer;
};
