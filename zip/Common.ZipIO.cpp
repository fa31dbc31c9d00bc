// The ZIP component: owns the archive stream and directory, opens and closes, writes whole archives
// (save, rebuild, repair, create) and carries the settings and events.
#include "zip/Common.ZipIO.h"

#include "zip/ZipInternal.h"

#include <algorithm>
#include <windows.h>

using namespace zipio;

TOxZip::TOxZip(TComponent* AOwner)
    : TComponent(AOwner), FZipHeader(std::make_unique<TOxZipEntries>(this)),
      FZipComment(std::make_unique<TStringList>()), FFileNames(std::make_unique<TStringList>()) {}

TOxZip::~TOxZip() {
    FZipHeader.reset();
    if (!FExternalStream) FOwnedStream.reset();
}

TOxZip::TScratch::~TScratch() {
    Stream.reset();
    if (!TempName.empty()) DeleteFileW(AnsiToWide(TempName).c_str());
}

TOxZip::TExtractBuffers& TOxZip::Buffers() {
    if (!FBuffers) FBuffers = std::make_unique<TExtractBuffers>();
    return *FBuffers;
}

void TOxZip::DoChange(TObject* Sender, int32_t ChangeType) {
    (void)Sender;
    if (OnZipChange) OnZipChange(this, ChangeType);
}

void TOxZip::Open(const AnsiString& FileName) {
    Close();
    const std::wstring path = AnsiToWide(FileName);
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) throw Exception(L"File \"" + path + L"\" not found!");
    FindClose(h);
    FReadOnly = (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    FOwnedStream =
        std::make_unique<TFileStream>(path, (FReadOnly ? fmOpenRead : fmOpenReadWrite) | fmShareDenyNone);
    FZipStream = FOwnedStream.get();
    ParseStream();
    FFileName = FileName;
}

void TOxZip::Open(TStream* MS) {
    Close();
    FExternalStream = true;
    FZipStream = MS;
    ParseStream();
}

void TOxZip::ParseStream() {
    FZipHeader->ParseZip(FZipStream);
    FIsZipFile = FZipHeader->IsZipFile();
    if (!FIsZipFile) Close();
    FIsDirty = true;
    DoChange(this, 1);
}

void TOxZip::Close() {
    FZipHeader->Clear();
    FOwnedStream.reset();
    FZipStream = nullptr;
    FExternalStream = false;
    FIsZipFile = false;
    FIsDirty = true;
    FReadOnly = false;
    DoChange(this, 0);
}

void TOxZip::SetActive(bool Value) {
    if (FFileName.empty()) return;
    if (Value)
        Open(FFileName);
    else
        Close();
}

AnsiString TOxZip::CommentBytes() {
    if (!FIsZipFile || !FZipStream || FEndOfCentralDir.ZipfileCommentLength == 0) return {};
    AnsiString bytes(FEndOfCentralDir.ZipfileCommentLength, '\0');
    bytes.resize(ReadAt(FZipStream, FZipCommentPos, bytes.data(), (int32_t)bytes.size()));
    return bytes;
}

TStringList* TOxZip::Comment() {
    FZipComment->Clear();
    const AnsiString bytes = CommentBytes();
    if (!bytes.empty()) FZipComment->SetText(AnsiToWide(bytes));
    return FZipComment.get();
}

void TOxZip::SetComment(const std::wstring& Value) {
    if (Value != Comment()->Text()) FZipComment->Clear();
    if (!FIsZipFile || !FZipStream) return;
    FZipComment->SetText(Value);
    const AnsiString bytes = WideToAnsi(FZipComment->Text()).substr(0, 0xFFFF);
    FEndOfCentralDir.ZipfileCommentLength = (uint16_t)bytes.size();
    FZipStream->SetPosition(FEndOfCentralDirPos);
    WriteEndRecord(FZipStream, FEndOfCentralDir);
    FZipCommentPos = (uint32_t)FZipStream->Position();
    if (!bytes.empty()) FZipStream->WriteBuffer(bytes.data(), (int32_t)bytes.size());
    FZipStream->SetSize(FZipStream->Position());
}

TStringList* TOxZip::FileNames() {
    if (FIsDirty) {
        FFileNames->Clear();
        for (int i = 0; i < FZipHeader->Count(); ++i) {
            const AnsiString& name = FZipHeader->Items(i)->FileName();
            FFileNames->Add(
                NameToWide(GetFilePath(name) + GetFileName(name), FZipHeader->Items(i)->BitFlag()));
        }
        FIsDirty = false;
    }
    return FFileNames.get();
}

std::unique_ptr<TMemoryStream> TOxZip::ExtractToStream(const AnsiString& sName) {
    const int i = FZipHeader->IndexOf(sName);
    if (i < 0) return nullptr;
    auto stream = std::make_unique<TMemoryStream>();
    FZipHeader->ExtractToStream(FZipHeader->Items(i), stream.get());
    stream->SetPosition(0);
    return stream;
}

TOxZipEntriesEntry* TOxZip::AddStream(const AnsiString& FileName, TStream* Stream, bool bFreeStream) {
    std::unique_ptr<TStream> owned(bFreeStream ? Stream : nullptr);
    return FZipHeader->AddStream(FileName, Stream);
}

// Writing whole archives

void TOxZip::WriteLocalEntry(TStream* Stream, TOxZipEntriesEntry* Item) {
    const bool sound = FZipHeader->ReadLocalHeader(Item, false);
    TLocalFile l = Item->FLocalFile;
    const int64_t dataStart =
        (int64_t)Item->LocalOffset() + TLocalFile::FixedSize + l.FilenameLength + l.ExtraFieldLength;
    // The copy holds no data descriptor, and its local name is the directory's (a rename changes both).
    l.GeneralPurposeBitFlag = (l.GeneralPurposeBitFlag & ~(8 | Utf8NameFlag)) |
                              (Item->FCentralDirectoryFile.GeneralPurposeBitFlag & Utf8NameFlag);
    l.FileName = Item->FCentralDirectoryFile.FileName;
    l.FilenameLength = Item->FCentralDirectoryFile.FilenameLength;
    WriteLocalHeader(Stream, l);
    if (!sound) return;
    std::vector<uint8_t> block(std::min<uint32_t>(l.CompressedSize, 1 << 20));
    for (uint32_t done = 0; done < l.CompressedSize;) {
        const int32_t want = (int32_t)std::min<uint32_t>((uint32_t)block.size(), l.CompressedSize - done);
        const int32_t n = ReadAt(FZipStream, dataStart + done, block.data(), want);
        if (n < want) std::fill(block.begin() + std::max(n, 0), block.begin() + want, 0); // keep the offsets
        Stream->WriteBuffer(block.data(), want);
        done += want;
    }
}

void TOxZip::WriteLocalEntries(TStream* Stream, const std::vector<TOxZipEntriesEntry*>& Items) {
    const int64_t count = (int64_t)Items.size();
    NewLHOffsets.assign(Items.size() + 1, 0);
    for (size_t i = 0; i < Items.size(); ++i) {
        NewLHOffsets[i] = (uint32_t)Stream->Position();
        WriteLocalEntry(Stream, Items[i]);
        if (OnRebuildZip) OnRebuildZip(this, (int64_t)i, count - 1);
    }
}

void TOxZip::WriteCentralAndEnd(TStream* Stream, const std::vector<TOxZipEntriesEntry*>& Items,
                                const AnsiString& Comment) {
    const int64_t count = (int64_t)Items.size();
    NewEndOfCentralDir = FEndOfCentralDir;
    NewEndOfCentralDir.EndOfCentralDirSignature = EndOfCentralDirSignatureValue;
    NewEndOfCentralDir.NumberOfThisDisk = NewEndOfCentralDir.NumberOfTheDiskWithTheStart = 0;
    NewEndOfCentralDir.TotalNumberOfEntriesOnThisDisk = NewEndOfCentralDir.TotalNumberOfEntries =
        (uint16_t)count;
    NewEndOfCentralDir.OffsetOfStartOfCentralDirectory = (uint32_t)Stream->Position();
    for (size_t i = 0; i < Items.size(); ++i) {
        TCentralDirectoryFile c = Items[i]->FCentralDirectoryFile;
        c.RelativeOffsetOfLocalHeader = NewLHOffsets[i];
        c.GeneralPurposeBitFlag &= ~8;
        WriteCentralRecord(Stream, c);
        if (OnRebuildZip) OnRebuildZip(this, (int64_t)i, count - 1);
    }
    FRebuildECDP = (uint32_t)Stream->Position();
    NewEndOfCentralDir.SizeOfTheCentralDirectory =
        FRebuildECDP - NewEndOfCentralDir.OffsetOfStartOfCentralDirectory;
    NewEndOfCentralDir.ZipfileCommentLength = (uint16_t)Comment.size();
    WriteEndRecord(Stream, NewEndOfCentralDir);
    FRebuildCP = (uint32_t)Stream->Position();
    if (!Comment.empty()) Stream->WriteBuffer(Comment.data(), (int32_t)Comment.size());
    if (OnRebuildZip) OnRebuildZip(this, 100, 100);
}

void TOxZip::SaveToStream(TStream* Stream) {
    std::vector<TOxZipEntriesEntry*> items;
    for (int i = 0; i < FZipHeader->Count(); ++i) items.push_back(FZipHeader->Items(i));
    WriteLocalEntries(Stream, items);
    WriteCentralAndEnd(Stream, items, CommentBytes());
}

void TOxZip::NewScratch(int64_t SizeHint, TScratch& Out) {
    if (FUseTempFiles) {
        Out.TempName = GetTempArchiveName();
        Out.Stream =
            std::make_unique<TFileStream>(AnsiToWide(Out.TempName), fmOpenReadWrite | fmShareDenyWrite);
    } else {
        auto memory = std::make_unique<TMemoryStream>();
        memory->SetSize(SizeHint); // reserves the room; the content starts empty
        memory->SetSize(0);
        Out.Stream = std::move(memory);
    }
}

void TOxZip::ReplaceArchive(TStream* NewArchive) {
    const int64_t size = NewArchive->Size();
    FZipStream->SetSize(size);
    FZipStream->SetPosition(0);
    NewArchive->SetPosition(0);
    std::vector<uint8_t> block((size_t)std::min<int64_t>(std::max<int64_t>(size, 1), 1 << 20));
    for (int64_t done = 0; done < size;) {
        int32_t n = (int32_t)std::min<int64_t>((int64_t)block.size(), size - done);
        NewArchive->ReadBuffer(block.data(), n);
        FZipStream->WriteBuffer(block.data(), n);
        done += n;
    }
}

void TOxZip::Rebuild() {
    TScratch scratch;
    int64_t size = TEndOfCentralDir::FixedSize + FEndOfCentralDir.ZipfileCommentLength;
    for (int i = 0; i < FZipHeader->Count(); ++i)
        size += FZipHeader->Items(i)->LocalEntrySize() + FZipHeader->Items(i)->CentralEntrySize();
    NewScratch(size, scratch);
    SaveToStream(scratch.Stream.get());
    ReplaceArchive(scratch.Stream.get());
    FZipHeader->ParseZip(FZipStream);
    FIsDirty = true;
}

void TOxZip::FixZip(TStream* MS) {
    const int64_t count = FZipHeader->Count();
    std::vector<TOxZipEntriesEntry*> kept;
    std::vector<uint32_t> offsets;
    for (int i = 0; i < count; ++i) {
        TOxZipEntriesEntry* item = FZipHeader->Items(i);
        if (FZipHeader->ReadLocalHeader(item, false) && item->Test()) {
            offsets.push_back((uint32_t)MS->Position());
            WriteLocalEntry(MS, item);
            kept.push_back(item);
        }
        if (OnRebuildZip) OnRebuildZip(this, i, count - 1);
    }
    NewLHOffsets = offsets;
    WriteCentralAndEnd(MS, kept, CommentBytes());
}

void TOxZip::CreateZip(TStream* Stream) {
    TEndOfCentralDir empty;
    empty.EndOfCentralDirSignature = EndOfCentralDirSignatureValue;
    WriteEndRecord(Stream, empty);
}

void TOxZip::CreateZip(const AnsiString& FileName) {
    TFileStream file(AnsiToWide(FileName), fmCreate);
    CreateZip(&file);
}

AnsiString TOxZip::GetTempArchiveName() {
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"", 0, name) == 0) {
        GetCurrentDirectoryW(MAX_PATH + 1, name);
    }
    return WideToAnsi(name);
}
