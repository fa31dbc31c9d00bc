// Streams over given bytes, and a memory stream that counts what is read from it and can refuse
// writes beyond a limit.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Streams.h"

class TTestStream : public TMemoryStream {
public:
    TTestStream() = default;
    explicit TTestStream(const std::vector<uint8_t>& Bytes) {
        if (!Bytes.empty()) Write(Bytes.data(), int32_t(Bytes.size()));
        SetPosition(0);
    }
    explicit TTestStream(const std::string& Bytes)
        : TTestStream(std::vector<uint8_t>(Bytes.begin(), Bytes.end())) {}

    int32_t Read(void* Buffer, int32_t Count) override {
        int32_t n = TMemoryStream::Read(Buffer, Count);
        BytesRead += n;
        ++ReadCalls;
        return n;
    }
    int32_t Write(const void* Buffer, int32_t Count) override {
        if (WriteLimit >= 0 && FPosition + Count > WriteLimit)
            Count = int32_t(std::max<int64_t>(WriteLimit - FPosition, 0));
        return Count ? TMemoryStream::Write(Buffer, Count) : 0;
    }
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(Memory(), Memory() + FSize); }

    int64_t BytesRead = 0;
    int64_t ReadCalls = 0;
    int64_t WriteLimit = -1; // bytes beyond this offset are refused
};

using Bytes = std::vector<uint8_t>;
