// Decodes 50 MB of UTF-8 text and 50 MB of ANSI text (system code page) code point by code point
// through TKitAutoStream, from memory and from a file, and compares with MultiByteToWideChar of
// the same bytes in this run. Prints MB/s (of input bytes), the best of a few rounds.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include "text/KitStreams.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t TextSize = 50u << 20; // at most; whole lines
constexpr int Rounds = 3;

// XML-like lines: mostly ASCII markup with words in another script.
std::string MakeText(bool Utf8) {
    const std::string cyrillicUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"; // "Привет"
    const std::string latin1 = "Gr\xFC\xDF"
                               "e caf\xE9"; // in 1252
    std::string line =
        "  <Item Index=\"17\" Value=\"" + (Utf8 ? cyrillicUtf8 : latin1) + " &amp; text\"/>\r\n";
    std::string text;
    text.reserve(TextSize + line.size());
    if (Utf8) text += "\xEF\xBB\xBF";
    // Whole lines only, so that no character is cut at the end.
    while (text.size() + line.size() <= TextSize) text += line;
    return text;
}

double MBps(size_t Bytes, double Seconds) {
    return double(Bytes) / (1024.0 * 1024.0) / Seconds;
}

template <typename TFn> double Best(TFn&& Fn) {
    double best = 1e30;
    for (int i = 0; i < Rounds; ++i) {
        auto t0 = Clock::now();
        Fn();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

// Code point by code point through the auto-detecting text stream; returns a checksum.
uint64_t DecodeStream(TStream* Bytes) {
    Bytes->SetPosition(0);
    TKitAutoStream text(Bytes, false);
    uint64_t sum = 0;
    for (uint32_t ch; text.ReadUCS4(ch);) sum += ch;
    return sum;
}

uint64_t DecodePlain(const std::string& Bytes, UINT CodePage) {
    size_t skip = CodePage == CP_UTF8 ? 3 : 0;
    int n = MultiByteToWideChar(CodePage, 0, Bytes.data() + skip, int(Bytes.size() - skip), nullptr, 0);
    std::wstring units(size_t(n), L'\0');
    MultiByteToWideChar(CodePage, 0, Bytes.data() + skip, int(Bytes.size() - skip), units.data(), n);
    uint64_t sum = 0;
    for (wchar_t u : units) sum += uint16_t(u);
    return sum;
}

void Run(const char* Name, const std::string& Bytes, UINT CodePage) {
    TMemoryStream memory;
    memory.WriteBuffer(Bytes.data(), int32_t(Bytes.size()));
    const std::wstring file = L"bench_text.tmp";
    {
        TFileStream out(file, fmCreate);
        out.WriteBuffer(Bytes.data(), int32_t(Bytes.size()));
    }
    uint64_t s1 = 0, s2 = 0, s3 = 0;
    double tMemory = Best([&] { s1 = DecodeStream(&memory); });
    double tFile = Best([&] {
        TFileStream in(file, fmOpenRead | fmShareDenyWrite);
        s2 = DecodeStream(&in);
    });
    double tPlain = Best([&] { s3 = DecodePlain(Bytes, CodePage); });
    DeleteFileW(file.c_str());
    std::printf("%-5s  TKitAutoStream from memory %7.1f MB/s, from a file %7.1f MB/s; "
                "MultiByteToWideChar %7.1f MB/s; stream/plain %.2f%s\n",
                Name, MBps(Bytes.size(), tMemory), MBps(Bytes.size(), tFile), MBps(Bytes.size(), tPlain),
                tPlain / tMemory, s1 == s2 && s2 == s3 ? "" : "  (CHECKSUMS DIFFER)");
}

} // namespace

int main() {
    std::printf("50 MB each, best of %d rounds; system code page %u\n", Rounds, GetACP());
    Run("UTF-8", MakeText(true), CP_UTF8);
    Run("ANSI", MakeText(false), CP_ACP);
    return 0;
}
