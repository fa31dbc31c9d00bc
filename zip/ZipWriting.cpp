// Changing an open archive: adding streams, files and folder trees, batch removal, renaming and folder
// entries.
#include "zip/ZipInternal.h"

#include <algorithm>
#include <windows.h>

using namespace zipio;

namespace {

// Switches the component's batch mode on for a scope and restores the former setting.
class TBatch {
public:
    explicit TBatch(bool& Flag) : FFlag(Flag), FFormer(Flag) { FFlag = true; }
    ~TBatch() { FFlag = FFormer; }

private:
    bool& FFlag;
    bool FFormer;
};

// Local time of a file time as a date-time value (days since 1899-12-30).
TDateTime FileTimeToDateTime(const FILETIME& Time) {
    FILETIME local;
    FileTimeToLocalFileTime(&Time, &local);
    const int64_t ticks = ((int64_t)local.dwHighDateTime << 32) | local.dwLowDateTime;
    return (ticks - 94353120000000000LL) / 864000000000.0;
}

std::wstring RelativeTo(const std::wstring& Name, const std::wstring& RootFolder) {
    if (RootFolder.size() > Name.size() ||
        CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Name.data(), (int)RootFolder.size(),
                       RootFolder.data(), (int)RootFolder.size()) != CSTR_EQUAL)
        return Name;
    std::wstring rest = Name.substr(RootFolder.size());
    if (!rest.empty() && rest[0] == L'\\') rest.erase(0, 1);
    return rest;
}

// A name as text in archive form (the rules of ToZipName).
std::wstring ZipNameOf(const std::wstring& Name) {
    uint16_t flags;
    const AnsiString bytes = ToZipName(WideToName(Name, flags));
    return NameToWide(bytes, flags);
}

int Level(TZipCompressionType Type) {
    switch (Type) {
    case ctMaximum:
        return 9;
    case ctFast:
    case ctSuperFast:
        return 1;
    case ctNone:
        return 0;
    default:
        return Z_DEFAULT_COMPRESSION;
    }
}

} // namespace

// Additions

TOxZipEntriesEntry* TOxZipEntries::AddStream(const AnsiString& FileName, TStream* Stream) {
    return AddStream(FileName, 32, Now(), Stream);
}

TOxZipEntriesEntry* TOxZipEntries::AddStream(const AnsiString& FileName, uint16_t FileAttr,
                                             TDateTime FileDate, TStream* Stream) {
    return AddNamed(FileName, 0, FileAttr, FileDate, Stream);
}

TOxZipEntriesEntry* TOxZipEntries::AddNamed(const AnsiString& FileName, uint16_t NameFlags, uint16_t FileAttr,
                                            TDateTime FileDate, TStream* Stream) {
    TOxZip* z = FParent;
    if (z->FStoreFolders && z->FStoreRelativePath) AddFolderChain(FileName, NameFlags, 16, Now());
    AnsiString name = FileName;
    if (!z->FStoreRelativePath) {
        size_t cut = name.find_last_of("\\/:");
        if (cut != AnsiString::npos) name.erase(0, cut + 1);
    }
    TOxZipEntriesEntry* entry = AddPrepared(ToZipName(name), NameFlags, FileAttr, FileDate, Stream);
    if (z->OnAddItem) z->OnAddItem(z, NameFlags ? WideToAnsi(NameToWide(FileName, NameFlags)) : FileName);
    return entry;
}

TOxZipEntriesEntry* TOxZipEntries::NewEntry(const AnsiString& ZipName, uint16_t NameFlags, uint16_t FileAttr,
                                            TDateTime FileDate, TStream* Stream, AnsiString& Data) {
    TOxZip* z = FParent;
    AnsiString source((size_t)std::max<int64_t>(0, Stream->Size() - Stream->Position()), '\0');
    if (!source.empty()) Stream->ReadBuffer(source.data(), (int32_t)source.size());
    const uint32_t crc = CalcCRC32(source);
    z->FCurrentDFS = (uint32_t)source.size();
    Data.clear();
    if (!source.empty()) {
        z_stream zs{};
        if (deflateInit2(&zs, Level(z->FZipCompressionType), Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            throw EZCompressionError(L"insufficient memory");
        Data.resize(deflateBound(&zs, (uLong)source.size()));
        zs.next_out = reinterpret_cast<Bytef*>(Data.data());
        zs.avail_out = (uInt)Data.size();
        const uInt block = 1 << 20;
        int ret = Z_OK;
        for (size_t done = 0; ret == Z_OK;) {
            const uInt n = (uInt)std::min<size_t>(block, source.size() - done);
            zs.next_in = reinterpret_cast<Bytef*>(source.data() + done);
            zs.avail_in = n;
            done += n;
            ret = deflate(&zs, done == source.size() ? Z_FINISH : Z_NO_FLUSH);
            if (z->OnCompressFile) z->OnCompressFile(z, (int64_t)done, (int64_t)source.size());
        }
        Data.resize(zs.total_out);
        deflateEnd(&zs);
        if (ret != Z_STREAM_END) throw EZCompressionError(L"stream error");
    }
    auto* e = static_cast<TOxZipEntriesEntry*>(Add());
    TCentralDirectoryFile& c = e->FCentralDirectoryFile;
    c.CentralFileHeaderSignature = CentralFileHeaderSignatureValue;
    c.VersionMadeBy = c.VersionNeededToExtract = 20;
    c.GeneralPurposeBitFlag = NameFlags;
    c.CompressionMethod = source.empty() ? 0 : 8;
    c.LastModFileTimeDate = DateTimeToFileDate(FileDate);
    c.Crc32 = crc;
    c.CompressedSize = (uint32_t)Data.size();
    c.UncompressedSize = (uint32_t)source.size();
    c.FileName = ZipName.substr(0, 0xFFFF);
    c.FilenameLength = (uint16_t)c.FileName.size();
    c.ExternalFileAttributes = FileAttr;
    TLocalFile& l = e->FLocalFile;
    l.LocalFileHeaderSignature = LocalFileHeaderSignatureValue;
    l.VersionNeededToExtract = 20;
    l.GeneralPurposeBitFlag = NameFlags;
    l.CompressionMethod = c.CompressionMethod;
    l.LastModFileTimeDate = c.LastModFileTimeDate;
    l.Crc32 = c.Crc32;
    l.CompressedSize = c.CompressedSize;
    l.UncompressedSize = c.UncompressedSize;
    l.FileName = c.FileName;
    l.FilenameLength = c.FilenameLength;
    e->FIsEncrypted = false;
    e->FIsFolder = (FileAttr & 16) != 0;
    e->FCompressionType = CompressionTypeOf(c.CompressionMethod, 0);
    e->FDate = FileDate;
    return e;
}

TOxZipEntriesEntry* TOxZipEntries::AddPrepared(const AnsiString& ZipName, uint16_t NameFlags,
                                               uint16_t FileAttr, TDateTime FileDate, TStream* Stream) {
    TOxZip* z = FParent;
    const int existing = IndexOfName(NameToWide(ZipName, NameFlags));
    if (existing >= 0) {
        TBatch batch(z->FBatchMode);
        Remove(existing);
    }
    TStream* S = z->FZipStream;
    const AnsiString comment = z->CommentBytes();
    AnsiString data;
    TOxZipEntriesEntry* e;
    if (z->FZipSaveMethod == FastSave) {
        // The new entry goes where the directory was; directory and end record follow it.
        const uint32_t offset = z->FEndOfCentralDir.OffsetOfStartOfCentralDirectory;
        e = NewEntry(ZipName, NameFlags, FileAttr, FileDate, Stream, data);
        e->FCentralDirectoryFile.RelativeOffsetOfLocalHeader = offset;
        S->SetPosition(offset);
        WriteLocalHeader(S, e->FLocalFile);
        if (!data.empty()) S->WriteBuffer(data.data(), (int32_t)data.size());
        TEndOfCentralDir& end = z->FEndOfCentralDir;
        end.EndOfCentralDirSignature = EndOfCentralDirSignatureValue;
        end.OffsetOfStartOfCentralDirectory = (uint32_t)S->Position();
        for (int i = 0; i < Count(); ++i) WriteCentralRecord(S, Items(i)->FCentralDirectoryFile);
        z->FEndOfCentralDirPos = (uint32_t)S->Position();
        end.SizeOfTheCentralDirectory = z->FEndOfCentralDirPos - end.OffsetOfStartOfCentralDirectory;
        end.TotalNumberOfEntriesOnThisDisk = end.TotalNumberOfEntries = (uint16_t)Count();
        end.ZipfileCommentLength = (uint16_t)comment.size();
        WriteEndRecord(S, end);
        z->FZipCommentPos = (uint32_t)S->Position();
        if (!comment.empty()) S->WriteBuffer(comment.data(), (int32_t)comment.size());
        S->SetSize(S->Position());
    } else {
        int64_t size = TEndOfCentralDir::FixedSize + comment.size();
        for (int i = 0; i < Count(); ++i) size += Items(i)->LocalEntrySize() + Items(i)->CentralEntrySize();
        TOxZip::TScratch scratch;
        z->NewScratch(size, scratch);
        TStream* out = scratch.Stream.get();
        std::vector<TOxZipEntriesEntry*> items;
        for (int i = 0; i < Count(); ++i) items.push_back(Items(i));
        z->WriteLocalEntries(out, items);
        e = NewEntry(ZipName, NameFlags, FileAttr, FileDate, Stream, data);
        items.push_back(e);
        z->NewLHOffsets.back() = (uint32_t)out->Position();
        e->FCentralDirectoryFile.RelativeOffsetOfLocalHeader = z->NewLHOffsets.back();
        WriteLocalHeader(out, e->FLocalFile);
        if (!data.empty()) out->WriteBuffer(data.data(), (int32_t)data.size());
        z->WriteCentralAndEnd(out, items, comment);
        z->ReplaceArchive(out);
        // The directory in memory now describes the new archive, so later changes find everything in place.
        for (size_t i = 0; i < items.size(); ++i) {
            items[i]->FCentralDirectoryFile.RelativeOffsetOfLocalHeader = z->NewLHOffsets[i];
            items[i]->FCentralDirectoryFile.GeneralPurposeBitFlag &= ~8;
        }
        z->FEndOfCentralDir = z->NewEndOfCentralDir;
        z->FEndOfCentralDirPos = z->FRebuildECDP;
        z->FZipCommentPos = z->FRebuildCP;
        try {
            e->FDate = FileDateToDateTime(e->FCentralDirectoryFile.LastModFileTimeDate);
        } catch (const Exception&) {
            e->FDate = FileDate;
        }
    }
    z->FIsDirty = true;
    if (!z->FBatchMode) z->DoChange(z, 2);
    return e;
}

void TOxZipEntries::AddFolderChain(const AnsiString& Name, uint16_t NameFlags, uint16_t Attr,
                                   TDateTime Date) {
    const AnsiString dos = ToDosName(ToZipName(Name));
    const size_t last = dos.rfind('\\');
    if (last == AnsiString::npos) return;
    for (size_t p = dos.find('\\'); p != AnsiString::npos && p <= last; p = dos.find('\\', p + 1)) {
        const AnsiString folder = ToZipName(dos.substr(0, p + 1));
        if (IndexOfName(NameToWide(folder, NameFlags)) < 0) {
            TMemoryStream empty;
            AddPrepared(folder, NameFlags, Attr, Date, &empty);
        }
    }
}

void TOxZipEntries::AddFolderChain(const std::wstring& Name, uint16_t Attr, TDateTime Date) {
    uint16_t flags;
    const AnsiString bytes = WideToName(Name, flags);
    AddFolderChain(bytes, flags, Attr, Date);
}

TOxZipEntriesEntry* TOxZipEntries::AddFile(const AnsiString& FileName, const AnsiString& NewFileName) {
    return AddFile(AnsiToWide(FileName), AnsiToWide(NewFileName));
}

TOxZipEntriesEntry* TOxZipEntries::AddFile(const std::wstring& FileName, const std::wstring& NewFileName) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(FileName.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    FindClose(h);
    TFileStream file(FileName, fmOpenRead | fmShareDenyNone);
    uint16_t flags;
    const AnsiString name = WideToName(NewFileName, flags);
    return AddNamed(name, flags, (uint16_t)found.dwFileAttributes, FileTimeToDateTime(found.ftLastWriteTime),
                    &file);
}

bool TOxZipEntries::AddFiles(TStrings* FileNames) {
    TOxZip* z = FParent;
    bool result = true;
    {
        TBatch batch(z->FBatchMode);
        try {
            for (int i = 0; i < FileNames->Count(); ++i) AddFile(FileNames->Get(i), FileNames->Get(i));
        } catch (const Exception&) {
            result = false;
        }
    }
    z->DoChange(z, 2);
    return result;
}

void TOxZipEntries::WalkFolder(const std::wstring& Folder, const std::wstring& RootFolder,
                               const AnsiString& WildCard, bool WithSubFolders) {
    TOxZip* z = FParent;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((Folder + L"\\*.*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    struct TCloser {
        HANDLE H;
        ~TCloser() { FindClose(H); }
    } closer{h};
    const bool everything = WildCard == "*" || WildCard == "*.*";
    do {
        const std::wstring name = found.cFileName;
        const uint16_t attr = (uint16_t)found.dwFileAttributes;
        const TDateTime date = FileTimeToDateTime(found.ftLastWriteTime);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name == L"..") continue;
            if (name == L".") {
                AddFolderChain(RelativeTo(Folder + L"\\", RootFolder), attr, date);
                continue;
            }
            const std::wstring sub = Folder + L"\\" + name;
            if (z->FStoreFolders && z->FStoreRelativePath)
                AddFolderChain(RelativeTo(sub + L"\\", RootFolder), attr, date);
            if (WithSubFolders) WalkFolder(sub, RootFolder, WildCard, WithSubFolders);
        } else {
            const std::wstring path = Folder + L"\\" + name;
            if (everything || MatchesMask(path, WildCard)) AddFile(path, RelativeTo(path, RootFolder));
        }
    } while (FindNextFileW(h, &found));
}

bool TOxZipEntries::AddFolder(const AnsiString& FolderName, const AnsiString& RootFolder,
                              const AnsiString& WildCard, bool WithSubFolders) {
    TOxZip* z = FParent;
    {
        TBatch batch(z->FBatchMode);
        WalkFolder(AnsiToWide(FolderName), AnsiToWide(RootFolder), WildCard, WithSubFolders);
    }
    z->DoChange(z, 2);
    return true;
}

bool TOxZipEntries::AddFilesAndFolders(TStrings* FileNames, const AnsiString& RootFolder,
                                       bool WithSubFolders) {
    TOxZip* z = FParent;
    {
        TBatch batch(z->FBatchMode);
        for (int i = 0; i < FileNames->Count(); ++i) {
            const std::wstring name = FileNames->Get(i), root = AnsiToWide(RootFolder);
            const DWORD attr = GetFileAttributesW(name.c_str());
            if (attr == INVALID_FILE_ATTRIBUTES) continue;
            if (attr & FILE_ATTRIBUTE_DIRECTORY)
                WalkFolder(name, root, "*.*", WithSubFolders);
            else
                AddFile(name, RelativeTo(name, root));
        }
    }
    z->DoChange(z, 2);
    return true;
}

// Removal of several entries

void TOxZipEntries::RemoveInOnePass(const std::vector<int>& Indexes) {
    TOxZip* z = FParent;
    try {
        TBatch batch(z->FBatchMode);
        int n = 0;
        for (auto it = Indexes.rbegin(); it != Indexes.rend(); ++it) {
            Delete(*it);
            if (z->OnRemoveItems) z->OnRemoveItems(z, ++n, (int64_t)Indexes.size());
        }
        WriteArchiveAnew(true);
    } catch (...) {
        z->DoChange(z, 3);
        throw;
    }
    z->DoChange(z, 3);
}

void TOxZipEntries::RemoveFiles(TList* List) {
    if (List->Count() == 1) {
        Remove((int)(intptr_t)List->Get(0));
        return;
    }
    std::vector<int> indexes;
    for (int i = 0; i < List->Count(); ++i) indexes.push_back((int)(intptr_t)List->Get(i));
    std::sort(indexes.begin(), indexes.end());
    // An index named twice removes one entry, not its neighbour as well.
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (int i : indexes)
        if (i < 0 || i >= Count()) RaiseListIndexError(i);
    RemoveInOnePass(indexes);
}

void TOxZipEntries::RemoveSelected() {
    std::vector<int> indexes;
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Selected()) indexes.push_back(i);
    RemoveInOnePass(indexes);
}

// Renaming and folders

void TOxZipEntries::Rename(TOxZipEntriesEntry* Item, const AnsiString& NewFileName) {
    Item->SetFileName(NewFileName);
}

void TOxZipEntries::Rename(int ItemIndex, const AnsiString& NewFileName) {
    Items(ItemIndex)->SetFileName(NewFileName);
}

void TOxZipEntries::Rename(const AnsiString& FileName, const AnsiString& NewFileName) {
    Items(IndexOf(FileName))->SetFileName(NewFileName);
}

void TOxZipEntries::RenameFolder(const AnsiString& FolderName, const AnsiString& NewFolderName) {
    RenameFolder(AnsiToWide(FolderName), AnsiToWide(NewFolderName));
}

void TOxZipEntries::RenameFolder(const std::wstring& FolderName, const std::wstring& NewFolderName) {
    auto asFolder = [](std::wstring S) {
        if (S.empty() || (S.back() != L'\\' && S.back() != L'/')) S += L'\\';
        return ZipNameOf(S);
    };
    const std::wstring from = asFolder(FolderName), to = asFolder(NewFolderName);
    if (IndexOfName(to) >= 0) return;
    // Outside batch mode every rename rebuilds the archive and renews the entries: go by index.
    for (int i = 0; i < Count(); ++i) {
        const std::wstring name = NameToWide(Items(i)->FileName(), Items(i)->BitFlag());
        if (name.compare(0, from.size(), from) == 0) Items(i)->SetFileName(to + name.substr(from.size()));
    }
    if (FParent->FIsDirty && !FParent->FBatchMode) FParent->Rebuild();
}

void TOxZipEntries::RenameMultiple(TStringList* Names, TStringList* NewNames) {
    if (Names->Count() != NewNames->Count()) throw Exception(L"Names and NewNames must have equal count");
    TOxZip* z = FParent;
    bool renamed = false;
    auto finish = [&] {
        if (!renamed) return;
        z->Rebuild();
        z->DoChange(z, 6);
    };
    try {
        TBatch batch(z->FBatchMode);
        for (int i = 0; i < Names->Count(); ++i) {
            const std::wstring name = Names->Get(i), newName = NewNames->Get(i);
            if (!name.empty() && (name.back() == L'\\' || name.back() == L'/'))
                RenameFolder(name, newName);
            else
                Items(IndexOfName(ZipNameOf(name)))->SetFileName(newName);
            renamed = true;
        }
    } catch (...) {
        // Renames made before the failure reach the file too.
        finish();
        throw;
    }
    finish();
}

void TOxZipEntries::CreateFolder(const AnsiString& FolderName, TDateTime FolderDate) {
    AnsiString name = FolderName;
    if (name.empty() || (name.back() != '\\' && name.back() != '/')) name += '\\';
    AddFolderChain(name, 0, 16, FolderDate);
    FParent->FIsDirty = true;
}

void TOxZipEntries::Rebuild() {
    FParent->Rebuild();
}
