// Helpers shared by the ZIP component's source files: record layout on disk, reading at an offset, string
// conversions, name checks, errors, and the buffers of extraction.
#pragma once
#include <zlib.h>

#include "zip/Common.ZipIO.h"

namespace zipio {

void UnpackLocal(const uint8_t* P, TLocalFile& R);
void PackLocal(const TLocalFile& R, uint8_t* P);
void UnpackCentral(const uint8_t* P, TCentralDirectoryFile& R);
void PackCentral(const TCentralDirectoryFile& R, uint8_t* P);
void UnpackEnd(const uint8_t* P, TEndOfCentralDir& R);
void PackEnd(const TEndOfCentralDir& R, uint8_t* P);
uint32_t Word32(const uint8_t* P);

// Reads up to Count bytes at Pos; the result is the number read.
int32_t ReadAt(TStream* S, int64_t Pos, void* Buffer, int32_t Count);
// The data descriptor at Pos: 16 bytes with its signature, or the 12-byte form without one.
bool ReadDataDescriptor(TStream* S, int64_t Pos, uint32_t& Crc, uint32_t& Compressed, uint32_t& Uncompressed,
                        int& Length);
// Fixed part, name and extra field (local), plus comment (central); the end record alone.
void WriteLocalHeader(TStream* S, const TLocalFile& R);
void WriteCentralRecord(TStream* S, const TCentralDirectoryFile& R);
void WriteEndRecord(TStream* S, const TEndOfCentralDir& R);

std::wstring AnsiToWide(const AnsiString& S);
AnsiString WideToAnsi(const std::wstring& S);
// An entry name as text, from the bytes stored under the entry's flags: UTF-8 with Utf8NameFlag, else ANSI.
std::wstring NameToWide(const AnsiString& Name, uint16_t Flags);
// The bytes to store for a name: ANSI when the code page holds every character (Flags 0), else UTF-8 (Flags
// Utf8NameFlag), so that no character is lost.
AnsiString WideToName(const std::wstring& Name, uint16_t& Flags);

// "Cannot process this file: " + name + " ": every refusal to extract an entry.
[[noreturn]] void RaiseCannotProcess(const AnsiString& Name, uint16_t Flags = 0);

// Wildcard match with "*", "?" and bracketed sets ("[a-c]", "[!x]"), without regard to case.
bool MatchesMask(std::wstring Name, const AnsiString& Mask);

// An entry path (backslashes, after the name rules) that would not name a file inside the target folder:
// absolute, with a drive or stream colon, with a ".." part, or naming a device.
bool IsUnsafeEntryPath(const AnsiString& DosPath);

// Removes a file even when it carries the read-only attribute.
void DeleteFileForced(const std::wstring& Path);

} // namespace zipio

// Reusable buffers and inflater for extraction: allocated once per component (or worker), not per entry.
struct TOxZip::TExtractBuffers {
    static constexpr int32_t InSize = 1 << 20;
    static constexpr int32_t OutSize = 1 << 20;
    std::unique_ptr<uint8_t[]> In = std::make_unique_for_overwrite<uint8_t[]>(InSize);
    std::unique_ptr<uint8_t[]> Out = std::make_unique_for_overwrite<uint8_t[]>(OutSize);
    z_stream Z{};
    bool ZReady = false;
    ~TExtractBuffers() {
        if (ZReady) inflateEnd(&Z);
    }
};

struct TOxZipEntries::TReader {
    TStream* Source;
    TOxZip::TExtractBuffers* Buffers;
    bool Report; // fire the progress event and keep the component's current size
};
