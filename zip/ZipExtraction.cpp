// Entries and extraction: entry properties, the data of an entry, the integrity test, extraction to streams,
// files and folders with the overwrite rules, and selection.
#include "zip/ZipInternal.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_set>
#include <windows.h>

#include "runtime/Files.h" // after windows.h: its CreateDirectory macro applies to both sides
#include "runtime/Threads.h"

using namespace zipio;

namespace {

// Swallows what is written; the integrity test needs only the CRC-32 that extraction checks.
class TNullStream : public TStream {
public:
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t Count) override { return Count; }
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};

// Calls Visit with Folder (relative, its levels separated by backslashes) and then each shorter level that
// ends in a backslash, deepest first, while Visit returns true.
template <class F> void ForEachFolderLevel(const std::wstring& Folder, F&& Visit) {
    for (size_t end = Folder.size(); end > 0;) {
        if (!Visit(Folder.substr(0, end)) || end < 2) return;
        const size_t cut = Folder.rfind(L'\\', end - 2);
        if (cut == std::wstring::npos) return;
        end = cut + 1;
    }
}

// Folder names compare without regard to case.
std::wstring UpperCase(std::wstring S) {
    if (!S.empty()) CharUpperBuffW(S.data(), (DWORD)S.size());
    return S;
}

// The entry's folder part, and its folder and name parts, relative to the target folder, as text.
std::wstring FolderOf(const TOxZipEntriesEntry* Item) {
    return NameToWide(TOxZip::GetFilePath(Item->FileName()), Item->BitFlag());
}
std::wstring PathOf(const TOxZipEntriesEntry* Item) {
    return NameToWide(TOxZip::GetFilePath(Item->FileName()) + TOxZip::GetFileName(Item->FileName()),
                      Item->BitFlag());
}

bool IsSupported(const TOxZipEntriesEntry* Item) {
    return !Item->IsEncrypted() && (Item->CompressionMethod() == 0 || Item->CompressionMethod() == 8);
}

} // namespace

void zipio::DeleteFileForced(const std::wstring& Path) {
    SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(Path.c_str());
}

// TOxZipEntriesEntry

TOxZipEntriesEntry::TOxZipEntriesEntry(TCollection* Collection)
    : TCollectionItem(Collection), FParent(static_cast<TOxZipEntries*>(Collection)) {}

uint32_t TOxZipEntriesEntry::LocalEntrySize() const {
    const TCentralDirectoryFile& c = FCentralDirectoryFile;
    return TLocalFile::FixedSize + c.FilenameLength + c.ExtraFieldLength + c.CompressedSize +
           ((c.GeneralPurposeBitFlag & 8) ? FDataDescriptorSize : 0);
}

uint32_t TOxZipEntriesEntry::CentralEntrySize() const {
    const TCentralDirectoryFile& c = FCentralDirectoryFile;
    return TCentralDirectoryFile::FixedSize + c.FilenameLength + c.ExtraFieldLength + c.FileCommentLength;
}

void TOxZipEntriesEntry::ExtractToFile(const AnsiString& FileName) {
    FParent->ExtractToFile(this, FileName);
}
void TOxZipEntriesEntry::ExtractToStream(TStream* Stream) {
    FParent->ExtractToStream(this, Stream);
}

int32_t TOxZipEntriesEntry::GetCompressedData(TStream* Stream) {
    int32_t written = 0;
    if (CompressionMethod() == 8) {
        const uint16_t header = ZlibHeaderForFlags(BitFlag());
        Stream->WriteBuffer(&header, 2);
        written = 2;
    }
    if (!FParent->ReadLocalHeader(this, false)) return 0;
    if (FCentralDirectoryFile.CompressedSize == 0) return written;
    TStream* S = FParent->FParent->FZipStream;
    const int64_t dataStart = (int64_t)LocalOffset() + TLocalFile::FixedSize + FLocalFile.FilenameLength +
                              FLocalFile.ExtraFieldLength;
    std::vector<uint8_t> block(std::min<uint32_t>(FLocalFile.CompressedSize, 1 << 20));
    for (uint32_t done = 0; done < FLocalFile.CompressedSize;) {
        int32_t n =
            ReadAt(S, dataStart + done, block.data(),
                   (int32_t)std::min<uint32_t>((uint32_t)block.size(), FLocalFile.CompressedSize - done));
        if (n <= 0) break;
        Stream->WriteBuffer(block.data(), n);
        done += n, written += n;
    }
    return written;
}

AnsiString TOxZipEntriesEntry::GetCompressedData() {
    if (CompressionMethod() != 0 && CompressionMethod() != 8) return {};
    if (!FParent->ReadLocalHeader(this, FCentralDirectoryFile.CompressedSize != 0)) return {};
    AnsiString out;
    if (CompressionMethod() == 8) {
        const uint16_t header = ZlibHeaderForFlags(BitFlag());
        out.assign(reinterpret_cast<const char*>(&header), 2);
    }
    out += FLocalFile.CompressedData;
    FLocalFile.CompressedData.clear();
    return out;
}

bool TOxZipEntriesEntry::Test() {
    if (FIsEncrypted) return true;
    try {
        TNullStream sink;
        FParent->ExtractData(this, &sink, FParent->MainReader());
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void TOxZipEntriesEntry::SetFileName(const AnsiString& Value) {
    SetName(Value, 0);
}

void TOxZipEntriesEntry::SetFileName(const std::wstring& Value) {
    uint16_t flags;
    const AnsiString name = WideToName(Value, flags);
    SetName(name, flags);
}

void TOxZipEntriesEntry::SetName(const AnsiString& Value, uint16_t NameFlags) {
    const AnsiString name = ToZipName(Value);
    if (FParent->IndexOfName(NameToWide(name, NameFlags)) >= 0)
        throw Exception(L"File with same name already exists in Archive!");
    FCentralDirectoryFile.FileName = name;
    FCentralDirectoryFile.FilenameLength = (uint16_t)name.size();
    FCentralDirectoryFile.GeneralPurposeBitFlag =
        (FCentralDirectoryFile.GeneralPurposeBitFlag & ~Utf8NameFlag) | NameFlags;
    TOxZip* z = FParent->FParent;
    z->FIsDirty = true;
    if (!z->FBatchMode) {
        z->Rebuild();
        z->DoChange(z, 5);
    }
}

void TOxZipEntriesEntry::SetComment(const AnsiString& Value) {
    FCentralDirectoryFile.FileComment = Value.substr(0, 0xFFFF);
    FCentralDirectoryFile.FileCommentLength = (uint16_t)FCentralDirectoryFile.FileComment.size();
    TOxZip* z = FParent->FParent;
    z->Rebuild();
    if (!z->FBatchMode) z->DoChange(z, 4);
}

// TOxZipEntries: extraction

TOxZipEntries::TReader TOxZipEntries::MainReader() {
    return {FParent->FZipStream, &FParent->Buffers(), true};
}

void TOxZipEntries::ExtractData(TOxZipEntriesEntry* Item, TStream* Target, const TReader& Reader) {
    TOxZip* z = FParent;
    const TCentralDirectoryFile& c = Item->FCentralDirectoryFile;
    if (!IsSupported(Item)) RaiseCannotProcess(c.FileName, c.GeneralPurposeBitFlag);
    z->StopWhenCancelled();
    TOxZip::TExtractBuffers& b = *Reader.Buffers;
    TStream* S = Reader.Source;

    // One read fetches the local header and, for most entries, all their data.
    const int64_t at = c.RelativeOffsetOfLocalHeader;
    const int64_t want =
        (int64_t)TLocalFile::FixedSize + c.FilenameLength + c.ExtraFieldLength + c.CompressedSize;
    const int32_t got = ReadAt(S, at, b.In.get(), (int32_t)std::min<int64_t>(want, b.InSize));
    TLocalFile& l = Item->FLocalFile;
    l = TLocalFile();
    if (got < TLocalFile::FixedSize || Word32(b.In.get()) != LocalFileHeaderSignatureValue)
        RaiseCannotProcess(c.FileName, c.GeneralPurposeBitFlag);
    UnpackLocal(b.In.get(), l);
    const int32_t header = TLocalFile::FixedSize + l.FilenameLength + l.ExtraFieldLength;
    if (header <= got) {
        l.FileName.assign(reinterpret_cast<const char*>(b.In.get()) + TLocalFile::FixedSize,
                          l.FilenameLength);
        l.ExtraField.assign(reinterpret_cast<const char*>(b.In.get()) + TLocalFile::FixedSize +
                                l.FilenameLength,
                            l.ExtraFieldLength);
    }
    if (l.GeneralPurposeBitFlag & 8) {
        int length;
        ReadDataDescriptor(S, at + header + c.CompressedSize, l.Crc32, l.CompressedSize, l.UncompressedSize,
                           length);
    }
    const uint32_t size = c.UncompressedSize;
    uint32_t remaining = c.CompressedSize == 0 ? 0 : l.CompressedSize;
    if (Reader.Report) z->FCurrentDFS = size;

    // Compressed bytes come from what the first read holds past the header, then from further reads.
    const uint8_t* chunk = b.In.get() + std::min(header, got);
    uint32_t chunkLen = (uint32_t)std::min<int64_t>(std::max(got - header, 0), remaining);
    remaining -= chunkLen;
    int64_t next = at + header + chunkLen;
    auto refill = [&]() {
        if (remaining == 0) return false;
        const int32_t n = ReadAt(S, next, b.In.get(), (int32_t)std::min<uint32_t>(remaining, b.InSize));
        if (n <= 0) return false;
        next += n, remaining -= n;
        chunk = b.In.get(), chunkLen = n;
        return true;
    };
    uLong crc = 0;
    uint32_t produced = 0;
    auto emit = [&](const uint8_t* Data, uint32_t Count) {
        Target->WriteBuffer(Data, (int32_t)Count);
        crc = crc32(crc, Data, Count);
        produced += Count;
        if (Reader.Report && z->OnDecompressFile) z->OnDecompressFile(z, produced, size);
    };

    if (c.CompressionMethod == 0) {
        while (produced < size && (chunkLen > 0 || refill())) {
            z->StopWhenCancelled();
            const uint32_t n = std::min(chunkLen, size - produced);
            emit(chunk, n);
            chunk += n, chunkLen -= n;
        }
    } else if (size > 0) {
        z_stream& zs = b.Z;
        if (!b.ZReady) {
            if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) throw EZDecompressionError(L"insufficient memory");
            b.ZReady = true;
        } else {
            inflateReset(&zs);
        }
        zs.avail_in = 0;
        int ret = Z_OK;
        while (produced < size && ret != Z_STREAM_END) {
            // Each round reads or writes at most one block: a large entry stops within one.
            z->StopWhenCancelled();
            if (zs.avail_in == 0) {
                if (chunkLen == 0 && !refill()) break;
                zs.next_in = const_cast<Bytef*>(chunk);
                zs.avail_in = chunkLen;
                chunkLen = 0;
            }
            zs.next_out = b.Out.get();
            zs.avail_out = std::min<uint32_t>(b.OutSize, size - produced);
            ret = inflate(&zs, Z_NO_FLUSH);
            if (ret == Z_DATA_ERROR || ret == Z_MEM_ERROR || ret == Z_NEED_DICT || ret == Z_STREAM_ERROR) {
                const char* msg = zs.msg ? zs.msg : "data error";
                throw EZDecompressionError(AnsiToWide(msg));
            }
            const uint32_t n = (uint32_t)(zs.next_out - b.Out.get());
            if (n > 0) emit(b.Out.get(), n);
        }
    }
    // Short data or a wrong checksum: the output is not the entry's content.
    if (produced != size || (uint32_t)crc != c.Crc32) RaiseCannotProcess(c.FileName, c.GeneralPurposeBitFlag);
}

void TOxZipEntries::ExtractToStream(TOxZipEntriesEntry* Item, TStream* Stream) {
    const int64_t start = Stream->Position();
    const bool appending = Stream->Size() <= start;
    try {
        ExtractData(Item, Stream, MainReader());
    } catch (...) {
        // Take back what was appended, so that no partial data stays behind.
        if (appending) {
            Stream->SetSize(start);
            Stream->SetPosition(start);
        }
        throw;
    }
}

void TOxZipEntries::ExtractEntryToFile(TOxZipEntriesEntry* Item, const std::wstring& Path,
                                       const TReader& Reader) {
    if (Item->IsFolder()) {
        TDirectory::CreateDirectory(Path);
        return;
    }
    if (!IsSupported(Item)) RaiseCannotProcess(Item->FileName(), Item->BitFlag());
    // The attributes go with the creation: one call less per file, and an existing hidden or system file
    // with the same attributes can be replaced.
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (FParent->FApplyAttributes)
        attributes =
            FILE_ATTRIBUTE_ARCHIVE |
            (Item->Attributes() & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    auto create = [&] {
        return CreateFileW(Path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, CREATE_ALWAYS, attributes, nullptr);
    };
    HANDLE h = create();
    // An existing read-only file is replaced too: overwriting was asked for, and Windows refuses it
    // otherwise.
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        const DWORD old = GetFileAttributesW(Path.c_str());
        if (old != INVALID_FILE_ATTRIBUTES &&
            (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_READONLY &&
            SetFileAttributesW(Path.c_str(), old & ~FILE_ATTRIBUTE_READONLY))
            h = create();
        else
            SetLastError(ERROR_ACCESS_DENIED);
    }
    if (h == INVALID_HANDLE_VALUE)
        throw EFCreateError(L"Cannot create file \"" + Path + L"\". " + SysErrorMessage(GetLastError()));
    try {
        THandleStream out(h);
        ExtractData(Item, &out, Reader);
    } catch (...) {
        CloseHandle(h);
        DeleteFileForced(Path);
        throw;
    }
    CloseHandle(h);
}

bool TOxZipEntries::DecideOverwrite(std::wstring& FileName, TOverwriteAction& Action, bool SingleFile) {
    TOxZip* z = FParent;
    if (Action != oaOverwriteAll && Action != oaSkipAll && z->OnOverwriteFile) {
        if (FileExists(FileName)) {
            // The event speaks ANSI: a name it leaves alone keeps every character.
            const AnsiString asked = WideToAnsi(FileName);
            AnsiString answer = asked;
            z->OnOverwriteFile(z, answer, Action);
            if (answer != asked) FileName = AnsiToWide(answer);
        } else if (SingleFile)
            Action = oaOverwrite;
    }
    return Action == oaOverwrite || Action == oaOverwriteAll;
}

void TOxZipEntries::ExtractToFile(TOxZipEntriesEntry* Item, const AnsiString& FileName) {
    TOverwriteAction action = FParent->FOverwriteAction;
    std::wstring target = AnsiToWide(FileName);
    if (DecideOverwrite(target, action, true)) ExtractEntryToFile(Item, target, MainReader());
}

void TOxZipEntries::ExtractToFile(int ItemIndex, const AnsiString& FileName) {
    ExtractToFile(Items(ItemIndex), FileName);
}

void TOxZipEntries::ExtractToFile(const AnsiString& FileName, const AnsiString& DestinationFileName) {
    ExtractToFile(Items(IndexOf(FileName)), DestinationFileName);
}

void TOxZipEntries::ExtractAll(const AnsiString& TargetDirectory) {
    ExtractToFolder(TargetDirectory, false);
}

void TOxZipEntries::ExtractSelected(const AnsiString& TargetDirectory) {
    ExtractToFolder(TargetDirectory, true);
}

void TOxZipEntries::ExtractToFolder(const AnsiString& TargetDirectory, bool SelectedOnly) {
    TOverwriteAction action = FParent->FOverwriteAction;
    std::wstring root = AnsiToWide(TargetDirectory);
    if (root.empty() || root.back() != L'\\') root += L'\\';
    // Nothing may land outside the target folder, nor under a path longer than Windows accepts: extraction
    // stops at the first entry that would.
    std::vector<int> work;
    int refused = -1;
    for (int i = 0; i < Count() && refused < 0; ++i) {
        TOxZipEntriesEntry* item = Items(i);
        if (SelectedOnly && !item->Selected()) continue;
        // (UTF-8 bytes hold the separators, dots and colons as ASCII does.)
        const AnsiString path = TOxZip::GetFilePath(item->FileName()) + TOxZip::GetFileName(item->FileName());
        if (IsUnsafeEntryPath(path) || root.size() + PathOf(item).size() > MaxPathLength)
            refused = i;
        else
            work.push_back(i);
    }
    // The parallel road asks no questions and reports no progress, so its result is the sequential one.
    if (action != oaOverwriteAll || FParent->OnDecompressFile || !ExtractInParallel(root, work)) {
        std::unordered_set<std::wstring> made; // folders known to exist, so each is made once
        for (int i : work) {
            FParent->StopWhenCancelled();
            TOxZipEntriesEntry* item = Items(i);
            const std::wstring folder = FolderOf(item);
            if (!folder.empty() && made.insert(folder).second) TDirectory::CreateDirectory(root + folder);
            std::wstring target = root + PathOf(item);
            if (DecideOverwrite(target, action, false)) ExtractEntryToFile(item, target, MainReader());
        }
    }
    if (refused >= 0) RaiseCannotProcess(Items(refused)->FileName(), Items(refused)->BitFlag());
}

bool TOxZipEntries::ExtractInParallel(const std::wstring& Root, const std::vector<int>& Indexes) {
    // Each worker reads through a handle of its own, so only archives opened from a file qualify.
    auto* file = dynamic_cast<TFileStream*>(FParent->FZipStream);
    const int workers = (int)std::min<size_t>({(size_t)ProcessorCount(), 4, Indexes.size() / 8});
    if (!file || workers < 2) return false;
    // Entries that name the same file (Windows ignores case and trailing dots and blanks) must be written one
    // after the other, in archive order.
    std::unordered_set<std::wstring> targets;
    for (int i : Indexes) {
        const std::wstring path = PathOf(Items(i)) + L"\\";
        std::wstring key;
        for (size_t start = 0, end; (end = path.find(L'\\', start)) != std::wstring::npos; start = end + 1) {
            std::wstring part = path.substr(start, end - start);
            while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
            key += part + L'\\';
        }
        if (!key.empty()) CharUpperBuffW(key.data(), (DWORD)key.size());
        if (!targets.insert(key).second) return false;
    }
    std::vector<std::unique_ptr<TFileStream>> sources;
    for (int w = 0; w < workers; ++w)
        sources.push_back(std::make_unique<TFileStream>(file->FileName(), fmOpenRead | fmShareDenyNone));

    std::atomic<size_t> next{0};
    TSlimLock lock;
    std::unordered_set<std::wstring> made;
    std::vector<std::wstring> created;             // folders that did not exist before, relative to Root
    std::vector<char> finished(Indexes.size(), 0); // entries written whole, by position
    size_t failedAt = Indexes.size(); // position of the first failure: nothing after it is started
    std::exception_ptr failure;
    // Under the lock, so that no worker writes into a folder another is still making.
    auto makeFolder = [&](const std::wstring& Folder) {
        if (Folder.empty() || !made.insert(Folder).second) return;
        ForEachFolderLevel(Folder, [&](const std::wstring& Level) {
            if (DirectoryExists(Root + Level)) return false;
            created.push_back(Level);
            return true;
        });
        TDirectory::CreateDirectory(Root + Folder);
    };
    auto work = [&](TFileStream* Source) {
        TOxZip::TExtractBuffers buffers;
        const TReader reader{Source, &buffers, false};
        for (size_t k; (k = next++) < Indexes.size();) {
            {
                std::lock_guard<TSlimLock> guard(lock);
                if (k > failedAt) return;
            }
            TOxZipEntriesEntry* item = Items(Indexes[k]);
            try {
                {
                    std::lock_guard<TSlimLock> guard(lock);
                    makeFolder(FolderOf(item));
                    if (item->IsFolder()) makeFolder(PathOf(item));
                }
                ExtractEntryToFile(item, Root + PathOf(item), reader);
                finished[k] = 1;
            } catch (...) {
                std::lock_guard<TSlimLock> guard(lock);
                if (k < failedAt) failedAt = k, failure = std::current_exception();
            }
        }
    };
    // When fewer threads start than wished for, those that started and this one share the work.
    RunOnThreads(workers, [&](int Worker) { work(sources[Worker].get()); });
    if (!failure) return true;

    // Entries after the failing one may have been written meanwhile: take them back, with the folders made
    // only for them, so that the result is the sequential one.
    std::unordered_set<std::wstring> needed; // folder levels of the entries up to the failing one, upper case
    for (size_t k = 0; k <= failedAt; ++k) {
        TOxZipEntriesEntry* item = Items(Indexes[k]);
        const std::wstring folder = item->IsFolder() ? PathOf(item) : FolderOf(item);
        if (!folder.empty())
            ForEachFolderLevel(folder, [&](const std::wstring& Level) {
                needed.insert(UpperCase(Level));
                return true;
            });
    }
    for (size_t k = failedAt + 1; k < Indexes.size(); ++k) {
        TOxZipEntriesEntry* item = Items(Indexes[k]);
        if (finished[k] && !item->IsFolder()) DeleteFileForced(Root + PathOf(item));
    }
    std::sort(created.begin(), created.end(), [](const std::wstring& A, const std::wstring& B) {
        return A.size() > B.size();
    }); // deepest first
    for (const std::wstring& folder : created)
        if (!needed.count(UpperCase(folder))) RemoveDirectoryW((Root + folder).c_str());
    std::rethrow_exception(failure);
}

// Selection

void TOxZipEntries::SelectAll() {
    for (int i = 0; i < Count(); ++i) Items(i)->FSelected = true;
}

void TOxZipEntries::DeSelectAll() {
    for (int i = 0; i < Count(); ++i) Items(i)->FSelected = false;
}

void TOxZipEntries::InvertSelection() {
    for (int i = 0; i < Count(); ++i) Items(i)->FSelected = !Items(i)->FSelected;
}

void TOxZipEntries::Select(const AnsiString& WildCard) {
    for (int i = 0; i < Count(); ++i)
        if (MatchesMask(NameToWide(ToDosName(Items(i)->FileName()), Items(i)->BitFlag()), WildCard))
            Items(i)->FSelected = true;
}
