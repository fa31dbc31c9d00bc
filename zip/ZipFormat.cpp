// Record layout, name rules, CRC-32 and the zlib header of the ZIP format.
#include "zip/ZipInternal.h"

#include <algorithm>
#include <cstring>
#include <windows.h>
#include <zlib.h>

namespace zipio {

namespace {
template <class T> void Get(const uint8_t*& P, T& V) {
    std::memcpy(&V, P, sizeof(T));
    P += sizeof(T);
}
template <class T> void Put(uint8_t*& P, T V) {
    std::memcpy(P, &V, sizeof(T));
    P += sizeof(T);
}
} // namespace

void UnpackLocal(const uint8_t* P, TLocalFile& R) {
    Get(P, R.LocalFileHeaderSignature), Get(P, R.VersionNeededToExtract), Get(P, R.GeneralPurposeBitFlag);
    Get(P, R.CompressionMethod), Get(P, R.LastModFileTimeDate), Get(P, R.Crc32), Get(P, R.CompressedSize);
    Get(P, R.UncompressedSize), Get(P, R.FilenameLength), Get(P, R.ExtraFieldLength);
}

void PackLocal(const TLocalFile& R, uint8_t* P) {
    Put(P, R.LocalFileHeaderSignature), Put(P, R.VersionNeededToExtract), Put(P, R.GeneralPurposeBitFlag);
    Put(P, R.CompressionMethod), Put(P, R.LastModFileTimeDate), Put(P, R.Crc32), Put(P, R.CompressedSize);
    Put(P, R.UncompressedSize), Put(P, R.FilenameLength), Put(P, R.ExtraFieldLength);
}

void UnpackCentral(const uint8_t* P, TCentralDirectoryFile& R) {
    Get(P, R.CentralFileHeaderSignature), Get(P, R.VersionMadeBy), Get(P, R.VersionNeededToExtract);
    Get(P, R.GeneralPurposeBitFlag), Get(P, R.CompressionMethod), Get(P, R.LastModFileTimeDate),
        Get(P, R.Crc32);
    Get(P, R.CompressedSize), Get(P, R.UncompressedSize), Get(P, R.FilenameLength),
        Get(P, R.ExtraFieldLength);
    Get(P, R.FileCommentLength), Get(P, R.DiskNumberStart), Get(P, R.InternalFileAttributes);
    Get(P, R.ExternalFileAttributes), Get(P, R.RelativeOffsetOfLocalHeader);
}

void PackCentral(const TCentralDirectoryFile& R, uint8_t* P) {
    Put(P, R.CentralFileHeaderSignature), Put(P, R.VersionMadeBy), Put(P, R.VersionNeededToExtract);
    Put(P, R.GeneralPurposeBitFlag), Put(P, R.CompressionMethod), Put(P, R.LastModFileTimeDate),
        Put(P, R.Crc32);
    Put(P, R.CompressedSize), Put(P, R.UncompressedSize), Put(P, R.FilenameLength),
        Put(P, R.ExtraFieldLength);
    Put(P, R.FileCommentLength), Put(P, R.DiskNumberStart), Put(P, R.InternalFileAttributes);
    Put(P, R.ExternalFileAttributes), Put(P, R.RelativeOffsetOfLocalHeader);
}

void UnpackEnd(const uint8_t* P, TEndOfCentralDir& R) {
    Get(P, R.EndOfCentralDirSignature), Get(P, R.NumberOfThisDisk), Get(P, R.NumberOfTheDiskWithTheStart);
    Get(P, R.TotalNumberOfEntriesOnThisDisk), Get(P, R.TotalNumberOfEntries),
        Get(P, R.SizeOfTheCentralDirectory);
    Get(P, R.OffsetOfStartOfCentralDirectory), Get(P, R.ZipfileCommentLength);
}

void PackEnd(const TEndOfCentralDir& R, uint8_t* P) {
    Put(P, R.EndOfCentralDirSignature), Put(P, R.NumberOfThisDisk), Put(P, R.NumberOfTheDiskWithTheStart);
    Put(P, R.TotalNumberOfEntriesOnThisDisk), Put(P, R.TotalNumberOfEntries),
        Put(P, R.SizeOfTheCentralDirectory);
    Put(P, R.OffsetOfStartOfCentralDirectory), Put(P, R.ZipfileCommentLength);
}

int32_t ReadAt(TStream* S, int64_t Pos, void* Buffer, int32_t Count) {
    if (Pos < 0 || S->Seek(Pos, soBeginning) != Pos) return 0;
    int32_t done = 0;
    while (done < Count) {
        int32_t n = S->Read(static_cast<uint8_t*>(Buffer) + done, Count - done);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

void WriteLocalHeader(TStream* S, const TLocalFile& R) {
    std::string block(TLocalFile::FixedSize, '\0');
    PackLocal(R, reinterpret_cast<uint8_t*>(block.data()));
    block.append(R.FileName, 0, R.FilenameLength).append(R.ExtraField, 0, R.ExtraFieldLength);
    S->WriteBuffer(block.data(), (int32_t)block.size());
}

void WriteCentralRecord(TStream* S, const TCentralDirectoryFile& R) {
    std::string block(TCentralDirectoryFile::FixedSize, '\0');
    PackCentral(R, reinterpret_cast<uint8_t*>(block.data()));
    block.append(R.FileName, 0, R.FilenameLength)
        .append(R.ExtraField, 0, R.ExtraFieldLength)
        .append(R.FileComment, 0, R.FileCommentLength);
    S->WriteBuffer(block.data(), (int32_t)block.size());
}

void WriteEndRecord(TStream* S, const TEndOfCentralDir& R) {
    uint8_t block[TEndOfCentralDir::FixedSize];
    PackEnd(R, block);
    S->WriteBuffer(block, sizeof block);
}

static std::wstring Decode(UINT CodePage, const AnsiString& S) {
    if (S.empty()) return {};
    int n = MultiByteToWideChar(CodePage, 0, S.data(), (int)S.size(), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CodePage, 0, S.data(), (int)S.size(), out.data(), n);
    return out;
}

static AnsiString Encode(UINT CodePage, const std::wstring& S, BOOL* Lost) {
    if (S.empty()) return {};
    const DWORD flags = Lost ? WC_NO_BEST_FIT_CHARS : 0;
    int n = WideCharToMultiByte(CodePage, flags, S.data(), (int)S.size(), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CodePage, flags, S.data(), (int)S.size(), out.data(), n, nullptr, Lost);
    return out;
}

std::wstring AnsiToWide(const AnsiString& S) {
    return Decode(CP_ACP, S);
}

AnsiString WideToAnsi(const std::wstring& S) {
    return Encode(CP_ACP, S, nullptr);
}

std::wstring NameToWide(const AnsiString& Name, uint16_t Flags) {
    return Decode(Flags & Utf8NameFlag ? CP_UTF8 : CP_ACP, Name);
}

AnsiString WideToName(const std::wstring& Name, uint16_t& Flags) {
    BOOL lost = FALSE;
    AnsiString ansi = Encode(CP_ACP, Name, &lost);
    Flags = lost ? Utf8NameFlag : 0;
    return lost ? Encode(CP_UTF8, Name, nullptr) : ansi;
}

void RaiseCannotProcess(const AnsiString& Name, uint16_t Flags) {
    throw Exception(L"Cannot process this file: " + NameToWide(Name, Flags) + L" ");
}

static bool MatchFrom(const wchar_t* S, const wchar_t* M) {
    for (;; ++S, ++M) {
        switch (*M) {
        case L'\0':
            return *S == L'\0';
        case L'*':
            while (M[1] == L'*') ++M;
            for (const wchar_t* t = S;; ++t) {
                if (MatchFrom(t, M + 1)) return true;
                if (*t == L'\0') return false;
            }
        case L'?':
            if (*S == L'\0') return false;
            break;
        case L'[': {
            if (*S == L'\0') return false;
            const wchar_t* p = M + 1;
            bool negate = *p == L'!';
            if (negate) ++p;
            bool hit = false;
            for (; *p && *p != L']'; ++p) {
                if (p[1] == L'-' && p[2] && p[2] != L']') {
                    hit |= *S >= p[0] && *S <= p[2];
                    p += 2;
                } else {
                    hit |= *S == *p;
                }
            }
            if (*p != L']' || hit == negate) return false;
            M = p;
            break;
        }
        default:
            if (*S != *M) return false;
        }
    }
}

bool MatchesMask(std::wstring s, const AnsiString& Mask) {
    std::wstring m = AnsiToWide(Mask);
    if (!s.empty()) CharLowerBuffW(s.data(), (DWORD)s.size());
    if (!m.empty()) CharLowerBuffW(m.data(), (DWORD)m.size());
    return MatchFrom(s.c_str(), m.c_str());
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, also with an extension or trailing blanks: Windows opens the
// device, not a file in the folder.
static bool IsDeviceName(std::string_view Part) {
    std::string base(Part.substr(0, Part.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = (char)toupper((unsigned char)c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

bool IsUnsafeEntryPath(const AnsiString& DosPath) {
    if (DosPath.empty()) return false;
    if (DosPath[0] == '\\' || DosPath.find(':') != AnsiString::npos) return true;
    size_t start = 0;
    while (start <= DosPath.size()) {
        size_t end = DosPath.find('\\', start);
        if (end == AnsiString::npos) end = DosPath.size();
        // Windows drops trailing dots and blanks of a name, so ". ." or "..." climb like "..".
        std::string_view part(DosPath.data() + start, end - start);
        size_t dots = std::count(part.begin(), part.end(), '.');
        if (dots >= 2 && part.find_first_not_of(". ") == std::string_view::npos) return true;
        if (IsDeviceName(part)) return true;
        start = end + 1;
    }
    return false;
}

} // namespace zipio

using namespace zipio;

static void ReplaceAll(AnsiString& S, const AnsiString& From, const AnsiString& To) {
    for (size_t p = S.find(From); p != AnsiString::npos; p = S.find(From, p + To.size()))
        S.replace(p, From.size(), To);
}

static void DeleteThrough(AnsiString& S, size_t Pos, size_t Len) {
    if (Pos != AnsiString::npos) S.erase(0, Pos + Len);
}

AnsiString ToZipName(const AnsiString& FileName) {
    AnsiString s = FileName;
    std::replace(s.begin(), s.end(), '\\', '/');
    DeleteThrough(s, s.find(":/"), 2);
    size_t unc = s.find("//");
    if (unc != AnsiString::npos) {
        DeleteThrough(s, unc, 2);
        DeleteThrough(s, s.find('/'), 1); // server
        DeleteThrough(s, s.find('/'), 1); // share
    }
    return s;
}

AnsiString ToDosName(const AnsiString& FileName) {
    AnsiString s = ToZipName(FileName);
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

uint16_t ZlibHeaderForFlags(uint16_t GeneralPurposeBitFlag) {
    static const uint8_t level[4] = {2, 3, 1, 0};
    const unsigned cmf = 0x78;
    unsigned flg = level[(GeneralPurposeBitFlag & 6) >> 1] << 6;
    flg |= 31 - ((cmf * 256 + flg) % 31);
    return (uint16_t)(cmf | (flg << 8)); // bytes in order: CMF, FLG
}

TZipCompressionType CompressionTypeOf(uint16_t Method, uint16_t GeneralPurposeBitFlag) {
    if (Method != 8 && Method != 9) return ctUnknown;
    static const TZipCompressionType types[4] = {ctNormal, ctMaximum, ctFast, ctSuperFast};
    return types[(GeneralPurposeBitFlag & 6) >> 1];
}

uint32_t CalcCRC32(const AnsiString& S) {
    return (uint32_t)crc32(0, reinterpret_cast<const Bytef*>(S.data()), (uInt)S.size());
}

uint32_t CalcStreamCRC32(TStream* Stream) {
    std::vector<uint8_t> block(64 * 1024);
    uLong crc = 0;
    while (Stream->Position() < Stream->Size()) {
        int32_t n = Stream->Read(block.data(), (int32_t)block.size());
        if (n <= 0) break;
        crc = crc32(crc, block.data(), (uInt)n);
    }
    return (uint32_t)crc;
}

AnsiString TOxZip::GetFileName(const AnsiString& S) {
    AnsiString s = S;
    ReplaceAll(s, "//", "\\");
    std::replace(s.begin(), s.end(), '/', '\\');
    DeleteThrough(s, s.find(":\\"), 2);
    size_t p = s.find_last_of("\\:");
    return p == AnsiString::npos ? s : s.substr(p + 1);
}

AnsiString TOxZip::GetFilePath(const AnsiString& S) {
    AnsiString s = S;
    ReplaceAll(s, "//", "\\");
    std::replace(s.begin(), s.end(), '/', '\\');
    DeleteThrough(s, s.find(":\\"), 2);
    size_t p = s.rfind('\\');
    return p == AnsiString::npos ? AnsiString() : s.substr(0, p + 1);
}
