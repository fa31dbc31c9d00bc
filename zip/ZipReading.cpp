// Reading an archive's directory: the end record, the central directory, local headers, the fallback walk,
// look-up by name and the removal of single entries.
#include "zip/ZipInternal.h"

#include <algorithm>
#include <cstring>
#include <windows.h>

using namespace zipio;

namespace {

// Sequential reads through a block buffer, so that many small records cost few file reads.
class TBlockReader {
public:
    TBlockReader(TStream* S, int64_t Pos) : FStream(S), FNext(Pos), FBuffer(64 * 1024) {}
    int32_t Read(void* Dest, int32_t Count) {
        auto* out = static_cast<uint8_t*>(Dest);
        int32_t done = 0;
        while (done < Count) {
            if (FCur == FLen) {
                if (Count - done >= (int32_t)FBuffer.size()) {
                    int32_t n = ReadAt(FStream, FNext, out + done, Count - done);
                    FNext += n;
                    return done + n;
                }
                FLen = ReadAt(FStream, FNext, FBuffer.data(), (int32_t)FBuffer.size());
                FNext += FLen;
                FCur = 0;
                if (FLen == 0) break;
            }
            int32_t n = std::min(Count - done, FLen - FCur);
            std::memcpy(out + done, FBuffer.data() + FCur, n);
            FCur += n, done += n;
        }
        return done;
    }
    // Reads Length bytes into a string; bytes past the end of the stream stay zero.
    AnsiString ReadString(uint16_t Length) {
        AnsiString s(Length, '\0');
        Read(s.data(), Length);
        return s;
    }

private:
    TStream* FStream;
    int64_t FNext;
    std::vector<uint8_t> FBuffer;
    int32_t FCur = 0, FLen = 0;
};

// With no central directory, the end of a descriptor-terminated entry is found by its descriptor: the
// first signature whose compressed size equals its distance from the data start. Budget bounds the bytes
// that all searches of one walk may read, so that a hostile file cannot make the walk quadratic.
bool FindDataDescriptor(TStream* S, int64_t DataStart, uint32_t& Crc, uint32_t& Compressed,
                        uint32_t& Uncompressed, int& Length, int64_t& Budget) {
    std::vector<uint8_t> block(8 * 1024); // grows: most entries end soon, some are large
    for (int64_t pos = DataStart; Budget > 0;) {
        const int32_t n = ReadAt(S, pos, block.data(), (int32_t)block.size());
        if (n < 16) return false;
        for (int32_t i = 0; i + 16 <= n; ++i) {
            if (block[i] != 0x50 || Word32(&block[i]) != DataDescriptorSignatureValue) continue;
            if (Word32(&block[i + 8]) == (uint64_t)(pos + i - DataStart)) {
                Crc = Word32(&block[i + 4]), Compressed = Word32(&block[i + 8]),
                Uncompressed = Word32(&block[i + 12]);
                Length = 16;
                Budget -= i;
                return true;
            }
        }
        pos += n - 15;
        Budget -= n - 15;
        if (block.size() < (1u << 20)) block.resize(block.size() * 2);
    }
    return false;
}

// The directory ends where the end record begins, or where the ZIP64 end record begins that a writer puts
// (with its locator) before the end record once the count reaches 0xFFFF; that record must then describe the
// same directory, or the classic fields are capped and tell only a part.
bool DirectoryReachesEndRecord(TStream* S, const TEndOfCentralDir& End, int64_t EndPos) {
    const int64_t dirEnd = (int64_t)End.OffsetOfStartOfCentralDirectory + End.SizeOfTheCentralDirectory;
    if (dirEnd == EndPos) return true;
    uint8_t rec[56] = {}, locator[20] = {};
    if (EndPos - dirEnd < (int64_t)(sizeof rec + sizeof locator) ||
        ReadAt(S, dirEnd, rec, sizeof rec) != sizeof rec ||
        ReadAt(S, EndPos - sizeof locator, locator, sizeof locator) != sizeof locator)
        return false;
    uint64_t count, size, offset, at;
    std::memcpy(&count, rec + 32, 8), std::memcpy(&size, rec + 40, 8), std::memcpy(&offset, rec + 48, 8);
    std::memcpy(&at, locator + 8, 8);
    return Word32(rec) == 0x06064B50 && Word32(locator) == 0x07064B50 && at == (uint64_t)dirEnd &&
           count == End.TotalNumberOfEntries && size == End.SizeOfTheCentralDirectory &&
           offset == End.OffsetOfStartOfCentralDirectory;
}

} // namespace

uint32_t zipio::Word32(const uint8_t* P) {
    uint32_t v;
    std::memcpy(&v, P, 4);
    return v;
}

bool zipio::ReadDataDescriptor(TStream* S, int64_t Pos, uint32_t& Crc, uint32_t& Compressed,
                               uint32_t& Uncompressed, int& Length) {
    uint8_t d[16] = {};
    int32_t n = ReadAt(S, Pos, d, sizeof d);
    const uint8_t* v = d;
    Length = 12;
    if (n >= 4 && Word32(d) == DataDescriptorSignatureValue) v += 4, Length = 16;
    if (n < (v - d) + 12) return false;
    Crc = Word32(v), Compressed = Word32(v + 4), Uncompressed = Word32(v + 8);
    return true;
}

TOxZipEntries::TOxZipEntries(TOxZip* AOwner)
    : TCollection([](TCollection* c) { return std::make_unique<TOxZipEntriesEntry>(c); }, AOwner),
      FParent(AOwner) {}

TOxZipEntries::TOxZipEntries(TOxZip* AOwner, TStream* MS) : TOxZipEntries(AOwner) {
    FLocalHeaderNumFiles = 0;
    ParseZip(MS);
}

void TOxZipEntries::ParseZip(TStream* MS) {
    FIsZipFile = false;
    Clear();
    if (FindEndOfCentralDir(MS)) {
        if (ParseCentralDirectory(MS) && !HasOverlappingEntries()) {
            FIsZipFile = true;
            LoadLocalHeaders(MS);
        }
    } else if (WalkLocalHeaders(MS)) {
        FIsZipFile = Count() > 0;
        if (FIsZipFile) FParent->FHasBadEntries = true;
    }
}

bool TOxZipEntries::HasOverlappingEntries() const {
    // Entries that share their data are how a small archive is made to unpack into terabytes; no tool writes
    // them. Each entry spans at least its fixed header and its compressed data.
    std::vector<std::pair<int64_t, int64_t>> spans;
    spans.reserve(Count());
    for (int i = 0; i < Count(); ++i) {
        const TCentralDirectoryFile& c = Items(i)->FCentralDirectoryFile;
        spans.emplace_back(c.RelativeOffsetOfLocalHeader,
                           (int64_t)c.RelativeOffsetOfLocalHeader + TLocalFile::FixedSize + c.CompressedSize);
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i)
        if (spans[i].first < spans[i - 1].second) return true;
    return false;
}

bool TOxZipEntries::FindEndOfCentralDir(TStream* MS) {
    const int64_t size = MS->Size();
    if (size < TEndOfCentralDir::FixedSize) return false;
    int64_t window = std::min<int64_t>(256, size);
    int64_t start = size - TEndOfCentralDir::FixedSize;
    for (;;) {
        // The positions a window examines lie in [start - window - 4, start]; read them in one go.
        const int64_t lo = std::max<int64_t>(0, start - window - 4);
        std::vector<uint8_t> buf((size_t)(start + 4 - lo));
        const int32_t got = ReadAt(MS, lo, buf.data(), (int32_t)buf.size());
        int64_t p = start, counter = window;
        while (counter >= 0 && p >= 0) {
            const int64_t i = p - lo;
            if (i + 4 > got) break;
            if (buf[i] != 0x50) {
                --p, --counter;
            } else if (Word32(&buf[i]) != EndOfCentralDirSignatureValue) {
                p -= 4, counter -= 4;
            } else {
                uint8_t rec[TEndOfCentralDir::FixedSize] = {};
                ReadAt(MS, p, rec, sizeof rec);
                UnpackEnd(rec, FParent->FEndOfCentralDir);
                FParent->FEndOfCentralDirPos = (uint32_t)p;
                FParent->FZipCommentPos = (uint32_t)p + TEndOfCentralDir::FixedSize;
                FParent->FZipComment->Clear();
                return true;
            }
        }
        if (window == 256) {
            window = 1024, start = size - 278;
        } else if (window == 1024) {
            window = 65536, start = size - 1046;
        } else {
            return false;
        }
        if (window > size) return false;
    }
}

TOxZipEntriesEntry* TOxZipEntries::AddParsedEntry(const TCentralDirectoryFile& Record) {
    auto* e = static_cast<TOxZipEntriesEntry*>(Add());
    e->FDate = FileDateToDateTime(Record.LastModFileTimeDate);
    e->FIsEncrypted = (Record.GeneralPurposeBitFlag & 1) != 0;
    e->FIsFolder = (Record.ExternalFileAttributes & 16) != 0;
    e->FCompressionType = CompressionTypeOf(Record.CompressionMethod, Record.GeneralPurposeBitFlag);
    e->FCentralDirectoryFile = Record;
    return e;
}

bool TOxZipEntries::ParseCentralDirectory(TStream* MS) {
    const TEndOfCentralDir& end = FParent->FEndOfCentralDir;
    const int total = end.TotalNumberOfEntriesOnThisDisk;
    // Only a single-disk directory that fills the room up to the end record describes the whole archive. A
    // ZIP64 archive (whose classic fields are capped, its own records lying in between), a count that is not
    // the number of records, or an offset that points elsewhere would have a part of it read as the whole.
    if (end.NumberOfThisDisk != 0 || end.NumberOfTheDiskWithTheStart != 0 ||
        end.TotalNumberOfEntries != total ||
        !DirectoryReachesEndRecord(MS, end, FParent->FEndOfCentralDirPos))
        return false;
    int64_t consumed = 0;
    try {
        TBlockReader in(MS, end.OffsetOfStartOfCentralDirectory);
        for (int i = 0; i < total; ++i) {
            TCentralDirectoryFile r;
            uint8_t fixed[TCentralDirectoryFile::FixedSize] = {};
            in.Read(fixed, sizeof fixed);
            UnpackCentral(fixed, r);
            if (r.CentralFileHeaderSignature != CentralFileHeaderSignatureValue) return false;
            consumed += TCentralDirectoryFile::FixedSize + r.FilenameLength + r.ExtraFieldLength +
                        r.FileCommentLength;
            if (consumed > end.SizeOfTheCentralDirectory) return false;
            r.FileName = in.ReadString(r.FilenameLength);
            r.ExtraField = in.ReadString(r.ExtraFieldLength);
            r.FileComment = in.ReadString(r.FileCommentLength);
            AddParsedEntry(r);
            if (FParent->OnZipOpen) FParent->OnZipOpen(FParent, i, total);
        }
    } catch (const Exception&) {
        return false;
    }
    return Count() == total && consumed == end.SizeOfTheCentralDirectory;
}

void TOxZipEntries::LoadLocalHeaders(TStream* MS) {
    (void)MS;
    FParent->FHasBadEntries = false;
    const int total = FParent->FEndOfCentralDir.TotalNumberOfEntriesOnThisDisk;
    for (int i = 0; i < Count(); ++i) {
        if (FParent->OnZipOpen) FParent->OnZipOpen(FParent, i, total);
        if (!ReadLocalHeader(Items(i), false)) FParent->FHasBadEntries = true;
    }
}

bool TOxZipEntries::ReadLocalHeader(TOxZipEntriesEntry* Item, bool WithData) {
    TStream* S = FParent->FZipStream;
    TLocalFile& r = Item->FLocalFile;
    r = TLocalFile();
    const int64_t at = Item->FCentralDirectoryFile.RelativeOffsetOfLocalHeader;
    uint8_t fixed[TLocalFile::FixedSize] = {};
    int32_t got = ReadAt(S, at, fixed, sizeof fixed);
    if (got < 4 || Word32(fixed) != LocalFileHeaderSignatureValue) return false;
    UnpackLocal(fixed, r);
    r.FileName.assign(r.FilenameLength, '\0');
    r.ExtraField.assign(r.ExtraFieldLength, '\0');
    S->Read(r.FileName.data(), r.FilenameLength);
    S->Read(r.ExtraField.data(), r.ExtraFieldLength);
    const int64_t dataStart = at + TLocalFile::FixedSize + r.FilenameLength + r.ExtraFieldLength;
    if (r.GeneralPurposeBitFlag & 8) {
        int length;
        if (ReadDataDescriptor(S, dataStart + Item->FCentralDirectoryFile.CompressedSize, r.Crc32,
                               r.CompressedSize, r.UncompressedSize, length))
            Item->FDataDescriptorSize = (uint8_t)length;
    }
    if (WithData && r.CompressedSize != 0) {
        const int64_t available = std::max<int64_t>(0, S->Size() - dataStart);
        r.CompressedData.assign((size_t)std::min<int64_t>(r.CompressedSize, available), '\0');
        ReadAt(S, dataStart, r.CompressedData.data(), (int32_t)r.CompressedData.size());
    }
    return true;
}

bool TOxZipEntries::WalkLocalHeaders(TStream* MS) {
    FLocalHeaderNumFiles = 0;
    Clear();
    int64_t p = 0;
    int count = 0;
    uint32_t centralSize = 0;
    bool result = false;
    try {
        const int64_t size = MS->Size();
        int64_t budget = 2 * size + (1 << 20);
        for (;;) {
            uint8_t fixed[TLocalFile::FixedSize] = {};
            int32_t got = ReadAt(MS, p, fixed, sizeof fixed);
            if (got < 4 || Word32(fixed) != LocalFileHeaderSignatureValue) {
                p = std::min(p + 4, size);
                break;
            }
            result = true;
            ++FLocalHeaderNumFiles;
            TLocalFile l;
            UnpackLocal(fixed, l);
            TCentralDirectoryFile c;
            c.FileName.assign(l.FilenameLength, '\0');
            c.ExtraField.assign(l.ExtraFieldLength, '\0');
            MS->Read(c.FileName.data(), l.FilenameLength);
            MS->Read(c.ExtraField.data(), l.ExtraFieldLength);
            int64_t next = p + TLocalFile::FixedSize + l.FilenameLength + l.ExtraFieldLength;
            if (l.GeneralPurposeBitFlag & 8) {
                int length = 0;
                if (FindDataDescriptor(MS, next, l.Crc32, l.CompressedSize, l.UncompressedSize, length,
                                       budget))
                    next += length;
            }
            next += l.CompressedSize;
            c.CentralFileHeaderSignature = CentralFileHeaderSignatureValue;
            c.VersionMadeBy = 20;
            c.VersionNeededToExtract = l.VersionNeededToExtract;
            c.GeneralPurposeBitFlag = l.GeneralPurposeBitFlag;
            c.CompressionMethod = l.CompressionMethod;
            c.LastModFileTimeDate = l.LastModFileTimeDate;
            c.Crc32 = l.Crc32;
            c.CompressedSize = l.CompressedSize;
            c.UncompressedSize = l.UncompressedSize;
            c.FilenameLength = l.FilenameLength;
            c.ExtraFieldLength = l.ExtraFieldLength;
            c.InternalFileAttributes = l.VersionNeededToExtract;
            c.ExternalFileAttributes = !c.FileName.empty() && c.FileName.back() == '/' ? 16 : 32;
            c.RelativeOffsetOfLocalHeader = (uint32_t)p;
            AddParsedEntry(c);
            p = next;
            ++count;
            centralSize += TCentralDirectoryFile::FixedSize + c.FilenameLength + c.ExtraFieldLength;
        }
    } catch (const Exception&) {
        return result;
    }
    TEndOfCentralDir& end = FParent->FEndOfCentralDir;
    end.EndOfCentralDirSignature = EndOfCentralDirSignatureValue;
    end.NumberOfThisDisk = end.NumberOfTheDiskWithTheStart = 0;
    end.TotalNumberOfEntriesOnThisDisk = (uint16_t)count;
    end.SizeOfTheCentralDirectory = centralSize;
    end.OffsetOfStartOfCentralDirectory = (uint32_t)p;
    end.ZipfileCommentLength = 0;
    return result;
}

int TOxZipEntries::IndexOf(const AnsiString& FileName) const {
    return IndexOfName(AnsiToWide(ToZipName(FileName)));
}

int TOxZipEntries::IndexOfName(const std::wstring& ZipName) const {
    for (int i = 0; i < Count(); ++i) {
        const std::wstring name = NameToWide(ToZipName(Items(i)->FileName()), Items(i)->BitFlag());
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.data(), (int)name.size(),
                           ZipName.data(), (int)ZipName.size()) == CSTR_EQUAL)
            return i;
    }
    return -1;
}

void TOxZipEntries::Remove(TOxZipEntriesEntry* Item) {
    int i = TCollection::IndexOf(Item);
    if (i >= 0) Remove(i);
}

void TOxZipEntries::Remove(const AnsiString& FileName) {
    int i = IndexOf(FileName);
    if (i >= 0) Remove(i);
}

void TOxZipEntries::Remove(int ItemIndex) {
    TOxZip* z = FParent;
    TStream* S = z->FZipStream;
    TOxZipEntriesEntry* item = Items(ItemIndex);
    const uint32_t o = item->LocalOffset(), l = item->LocalEntrySize();
    const int64_t tail = S->Size() - ((int64_t)o + l);
    const AnsiString comment = z->CommentBytes();
    Delete(ItemIndex);
    if (z->FZipSaveMethod == FastSave && Count() > 0) {
        // Move everything after the entry up by its size, then write the directory after the local data.
        std::vector<uint8_t> block(1024 * 1024);
        for (int64_t moved = 0; moved < tail;) {
            int32_t n = ReadAt(S, (int64_t)o + l + moved, block.data(),
                               (int32_t)std::min<int64_t>(block.size(), tail - moved));
            if (n <= 0) break;
            S->SetPosition((int64_t)o + moved);
            S->WriteBuffer(block.data(), n);
            moved += n;
        }
        uint32_t e = o;
        for (int i = 0; i < Count(); ++i) {
            TOxZipEntriesEntry* it = Items(i);
            if (it->FCentralDirectoryFile.RelativeOffsetOfLocalHeader > o) {
                it->FCentralDirectoryFile.RelativeOffsetOfLocalHeader -= l;
                e += it->LocalEntrySize();
            }
        }
        S->SetPosition(e);
        for (int i = 0; i < Count(); ++i) WriteCentralRecord(S, Items(i)->FCentralDirectoryFile);
        TEndOfCentralDir& end = z->FEndOfCentralDir;
        end.OffsetOfStartOfCentralDirectory = e;
        z->FEndOfCentralDirPos = (uint32_t)S->Position();
        end.SizeOfTheCentralDirectory = z->FEndOfCentralDirPos - e;
        --end.TotalNumberOfEntriesOnThisDisk;
        --end.TotalNumberOfEntries;
        end.ZipfileCommentLength = (uint16_t)comment.size();
        WriteEndRecord(S, end);
        z->FZipCommentPos = (uint32_t)S->Position();
        if (!comment.empty()) S->WriteBuffer(comment.data(), (int32_t)comment.size());
        S->SetSize(S->Position());
    } else {
        WriteArchiveAnew(true);
    }
    z->FIsDirty = true;
    if (!z->FBatchMode) z->DoChange(z, 3);
}

void TOxZipEntries::WriteArchiveAnew(bool FireRemoveEvents) {
    TOxZip* z = FParent;
    int64_t size = TEndOfCentralDir::FixedSize + z->FEndOfCentralDir.ZipfileCommentLength;
    for (int i = 0; i < Count(); ++i) {
        size += Items(i)->LocalEntrySize() + Items(i)->CentralEntrySize();
        if (FireRemoveEvents && !z->FUseTempFiles && z->OnRemoveItems) z->OnRemoveItems(z, i, Count() - 1);
    }
    TOxZip::TScratch scratch;
    z->NewScratch(size, scratch);
    z->SaveToStream(scratch.Stream.get());
    z->ReplaceArchive(scratch.Stream.get());
    ParseZip(z->FZipStream);
}
