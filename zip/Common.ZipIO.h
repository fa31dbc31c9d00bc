// The ZIP archive component: reads, extracts, adds to, removes from, renames in and rebuilds single-disk ZIP
// archives of stored and deflated entries. Names, extra fields and comments are 8-bit strings (names in the
// ANSI code page, or UTF-8 where the entry's flag bit 11 says so); entry data is raw bytes.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Classes.h"
#include "runtime/Streams.h"
#include "runtime/StringLists.h"
#include "runtime/SysUtils.h"

using AnsiString = std::string;

// Record signatures as stored (little-endian, so the file reads "PK" and two bytes).
constexpr uint32_t LocalFileHeaderSignatureValue = 0x04034B50;
constexpr uint32_t CentralFileHeaderSignatureValue = 0x02014B50;
constexpr uint32_t EndOfCentralDirSignatureValue = 0x06054B50;
constexpr uint32_t DataDescriptorSignatureValue = 0x08074B50;
// Flag bit 11: the entry's name (and comment) are UTF-8, not the ANSI code page.
constexpr uint16_t Utf8NameFlag = 0x800;

// Local file header: 30 fixed bytes, then name, extra field and data.
struct TLocalFile {
    uint32_t LocalFileHeaderSignature = 0;
    uint16_t VersionNeededToExtract = 0;
    uint16_t GeneralPurposeBitFlag = 0;
    uint16_t CompressionMethod = 0;
    uint32_t LastModFileTimeDate = 0;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t FilenameLength = 0;
    uint16_t ExtraFieldLength = 0;
    AnsiString FileName;
    AnsiString ExtraField;
    AnsiString CompressedData;
    static constexpr int FixedSize = 30;
};

// Central directory header: 46 fixed bytes, then name, extra field and comment.
struct TCentralDirectoryFile {
    uint32_t CentralFileHeaderSignature = 0;
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeededToExtract = 0;
    uint16_t GeneralPurposeBitFlag = 0;
    uint16_t CompressionMethod = 0;
    uint32_t LastModFileTimeDate = 0;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t FilenameLength = 0;
    uint16_t ExtraFieldLength = 0;
    uint16_t FileCommentLength = 0;
    uint16_t DiskNumberStart = 0;
    uint16_t InternalFileAttributes = 0;
    uint32_t ExternalFileAttributes = 0;
    uint32_t RelativeOffsetOfLocalHeader = 0;
    AnsiString FileName;
    AnsiString ExtraField;
    AnsiString FileComment;
    static constexpr int FixedSize = 46;
};

// End of central directory record: 22 bytes, then the archive comment.
struct TEndOfCentralDir {
    uint32_t EndOfCentralDirSignature = 0;
    uint16_t NumberOfThisDisk = 0;
    uint16_t NumberOfTheDiskWithTheStart = 0;
    uint16_t TotalNumberOfEntriesOnThisDisk = 0;
    uint16_t TotalNumberOfEntries = 0;
    uint32_t SizeOfTheCentralDirectory = 0;
    uint32_t OffsetOfStartOfCentralDirectory = 0;
    uint16_t ZipfileCommentLength = 0;
    static constexpr int FixedSize = 22;
};

enum TZipSaveMethod { FastSave, RebuildAll };
enum TZipCompressionType { ctNormal, ctMaximum, ctFast, ctSuperFast, ctNone, ctUnknown };
enum TOverwriteAction { oaSkip, oaSkipAll, oaOverwrite, oaOverwriteAll };

// Raised by the inflater when deflate data is corrupt; carries zlib's own message.
ZRX_EXCEPTION(EZDecompressionError, Exception)
ZRX_EXCEPTION(EZCompressionError, Exception)

// Archive name from a local path: backslashes become "/", drive and UNC server/share parts are dropped.
AnsiString ToZipName(const AnsiString& FileName);
// Local path from an archive name: the same rules, with "\" separators.
AnsiString ToDosName(const AnsiString& FileName);
// The two bytes put before raw deflate data to make it a zlib stream, from the entry's flag bits 1-2.
uint16_t ZlibHeaderForFlags(uint16_t GeneralPurposeBitFlag);
// Compression type of an entry from its method and flags.
TZipCompressionType CompressionTypeOf(uint16_t Method, uint16_t GeneralPurposeBitFlag);
// Standard CRC-32 (ISO 3309) of a byte string, and of a stream from its position to its end.
uint32_t CalcCRC32(const AnsiString& S);
uint32_t CalcStreamCRC32(TStream* Stream);

class TOxZip;
class TOxZipEntries;

class TOxZipEntriesEntry : public TCollectionItem {
    ZRX_CLASS(TOxZipEntriesEntry, TCollectionItem)
public:
    explicit TOxZipEntriesEntry(TCollection* Collection);

    const AnsiString& FileName() const { return FCentralDirectoryFile.FileName; }
    void SetFileName(const AnsiString& Value);
    // A new name as text: stored in UTF-8 where the ANSI code page cannot hold it.
    void SetFileName(const std::wstring& Value);
    const AnsiString& Comment() const { return FCentralDirectoryFile.FileComment; }
    void SetComment(const AnsiString& Value);
    uint32_t SizeUncompressed() const { return FCentralDirectoryFile.UncompressedSize; }
    uint32_t SizeCompressed() const { return FCentralDirectoryFile.CompressedSize; }
    TDateTime Date() const { return FDate; }
    uint32_t CRC32() const { return FCentralDirectoryFile.Crc32; }
    uint32_t Attributes() const { return FCentralDirectoryFile.ExternalFileAttributes; }
    uint32_t LocalOffset() const { return FCentralDirectoryFile.RelativeOffsetOfLocalHeader; }
    bool IsEncrypted() const { return FIsEncrypted; }
    bool IsFolder() const { return FIsFolder; }
    uint16_t BitFlag() const { return FCentralDirectoryFile.GeneralPurposeBitFlag; }
    uint16_t CompressionMethod() const { return FCentralDirectoryFile.CompressionMethod; }
    TZipCompressionType CompressionType() const { return FCompressionType; }
    uint32_t LocalEntrySize() const;
    uint32_t CentralEntrySize() const;
    bool Selected() const { return FSelected; }
    void SetSelected(bool Value) { FSelected = Value; }
    const TCentralDirectoryFile& CentralDirectoryFile() const { return FCentralDirectoryFile; }
    const TLocalFile& LocalFile() const { return FLocalFile; }

    void ExtractToFile(const AnsiString& FileName);
    void SaveToFile(const AnsiString& FileName) { ExtractToFile(FileName); }
    void ExtractToStream(TStream* Stream);
    void SaveToStream(TStream* Stream) { ExtractToStream(Stream); }
    // The entry's data as a zlib stream without trailer (deflated entries get the 2-byte header first).
    int32_t GetCompressedData(TStream* Stream);
    AnsiString GetCompressedData();
    // True when the entry's data extracts and matches its CRC-32; encrypted entries pass unread.
    bool Test();

private:
    friend class TOxZipEntries;
    friend class TOxZip;
    void SetName(const AnsiString& Value, uint16_t NameFlags);
    TOxZipEntries* FParent;
    TCentralDirectoryFile FCentralDirectoryFile;
    TLocalFile FLocalFile;
    bool FIsEncrypted = false;
    bool FIsFolder = false;
    TDateTime FDate = 0;
    TZipCompressionType FCompressionType = ctUnknown;
    bool FSelected = false;
    // Bytes of the data descriptor that follows the data when flag bit 3 is set, as the local header's read
    // found it: 16 with its signature, 12 without.
    uint8_t FDataDescriptorSize = 16;
};

// The directory of an archive: one entry per central record, in archive order.
class TOxZipEntries : public TCollection {
    ZRX_CLASS(TOxZipEntries, TCollection)
public:
    explicit TOxZipEntries(TOxZip* AOwner);
    TOxZipEntries(TOxZip* AOwner, TStream* MS);

    TOxZipEntriesEntry* Items(int Index) const { return static_cast<TOxZipEntriesEntry*>(GetItem(Index)); }
    TOxZip* Parent() const { return FParent; }
    bool IsZipFile() const { return FIsZipFile; }
    int32_t LocalHeaderNumFiles() const { return FLocalHeaderNumFiles; }

    void ParseZip(TStream* MS);
    int IndexOf(const AnsiString& FileName) const;
    void Remove(int ItemIndex);
    void Remove(TOxZipEntriesEntry* Item);
    void Remove(const AnsiString& FileName);

    void ExtractToStream(TOxZipEntriesEntry* Item, TStream* Stream);
    void ExtractToFile(TOxZipEntriesEntry* Item, const AnsiString& FileName);
    void ExtractToFile(int ItemIndex, const AnsiString& FileName);
    void ExtractToFile(const AnsiString& FileName, const AnsiString& DestinationFileName);
    void ExtractAll(const AnsiString& TargetDirectory);
    void ExtractSelected(const AnsiString& TargetDirectory);
    void SelectAll();
    void DeSelectAll();
    void InvertSelection();
    void Select(const AnsiString& WildCard);

    TOxZipEntriesEntry* AddStream(const AnsiString& FileName, uint16_t FileAttr, TDateTime FileDate,
                                  TStream* Stream);
    TOxZipEntriesEntry* AddStream(const AnsiString& FileName, TStream* Stream);
    TOxZipEntriesEntry* AddFile(const AnsiString& FileName, const AnsiString& NewFileName);
    TOxZipEntriesEntry* AddFile(const AnsiString& FileName) { return AddFile(FileName, FileName); }
    bool AddFiles(TStrings* FileNames);
    bool AddFolder(const AnsiString& FolderName, const AnsiString& RootFolder, const AnsiString& WildCard,
                   bool WithSubFolders);
    bool AddFilesAndFolders(TStrings* FileNames, const AnsiString& RootFolder, bool WithSubFolders);
    void RemoveFiles(TList* List);
    void RemoveSelected();
    void Rename(TOxZipEntriesEntry* Item, const AnsiString& NewFileName);
    void Rename(int ItemIndex, const AnsiString& NewFileName);
    void Rename(const AnsiString& FileName, const AnsiString& NewFileName);
    void RenameFolder(const AnsiString& FolderName, const AnsiString& NewFolderName);
    void RenameFolder(const std::wstring& FolderName, const std::wstring& NewFolderName);
    void RenameMultiple(TStringList* Names, TStringList* NewNames);
    void CreateFolder(const AnsiString& FolderName, TDateTime FolderDate);
    void Rebuild();

    // Reads the local header at the entry's offset (and its data when WithData); False when the signature is
    // wrong, leaving a zeroed record.
    bool ReadLocalHeader(TOxZipEntriesEntry* Item, bool WithData);

private:
    friend class TOxZip;
    friend class TOxZipEntriesEntry;
    bool FindEndOfCentralDir(TStream* MS);
    bool ParseCentralDirectory(TStream* MS);
    bool HasOverlappingEntries() const;
    void LoadLocalHeaders(TStream* MS);
    bool WalkLocalHeaders(TStream* MS);
    TOxZipEntriesEntry* AddParsedEntry(const TCentralDirectoryFile& Record);
    // Where extraction reads from and with which buffers; workers of a parallel extraction have their own.
    struct TReader;
    TReader MainReader();
    // Streams the entry's data into Target; raises on anything that would give wrong or missing bytes.
    void ExtractData(TOxZipEntriesEntry* Item, TStream* Target, const TReader& Reader);
    void ExtractEntryToFile(TOxZipEntriesEntry* Item, const std::wstring& FileName, const TReader& Reader);
    // ExtractAll with overwrite-all on several threads: file creation, not inflating, is what costs most.
    bool ExtractInParallel(const std::wstring& Root, const std::vector<int>& Indexes);
    void ExtractToFolder(const AnsiString& TargetDirectory, bool SelectedOnly);
    bool DecideOverwrite(std::wstring& FileName, TOverwriteAction& Action, bool SingleFile);
    void WriteArchiveAnew(bool FireRemoveEvents);
    // Adds Stream under the archive name ZipName (replacing an entry of that name) by the save method in
    // force.
    TOxZipEntriesEntry* AddPrepared(const AnsiString& ZipName, uint16_t NameFlags, uint16_t FileAttr,
                                    TDateTime FileDate, TStream* Stream);
    // AddStream for a name stored as NameFlags say (Utf8NameFlag or 0).
    TOxZipEntriesEntry* AddNamed(const AnsiString& FileName, uint16_t NameFlags, uint16_t FileAttr,
                                 TDateTime FileDate, TStream* Stream);
    // Names that come as text from the file system or a caller's list: stored in UTF-8 where the ANSI code
    // page cannot hold them.
    TOxZipEntriesEntry* AddFile(const std::wstring& FileName, const std::wstring& NewFileName);
    // The entry's records for new data: method, CRC-32, sizes and the raw deflate bytes in Data.
    TOxZipEntriesEntry* NewEntry(const AnsiString& ZipName, uint16_t NameFlags, uint16_t FileAttr,
                                 TDateTime FileDate, TStream* Stream, AnsiString& Data);
    void AddFolderChain(const AnsiString& Name, uint16_t NameFlags, uint16_t Attr, TDateTime Date);
    void AddFolderChain(const std::wstring& Name, uint16_t Attr, TDateTime Date);
    void WalkFolder(const std::wstring& Folder, const std::wstring& RootFolder, const AnsiString& WildCard,
                    bool WithSubFolders);
    // IndexOf for a name already in archive form, as text.
    int IndexOfName(const std::wstring& ZipName) const;
    // Removes the entries at the ascending Indexes, rewrites the archive once, then fires change 3.
    void RemoveInOnePass(const std::vector<int>& Indexes);

    TOxZip* FParent;
    bool FIsZipFile = false;
    int32_t FLocalHeaderNumFiles = 0;
};

using TZipProgressEvent = std::function<void(TObject* Sender, int64_t Current, int64_t Total)>;
using TOnDecompressFile = TZipProgressEvent;
using TOnCompressFile = TZipProgressEvent;
using TOnZipOpen = TZipProgressEvent;
using TOnRebuildZip = TZipProgressEvent;
using TOnRemoveItems = TZipProgressEvent;
using TOnZipChange = std::function<void(TObject* Sender, int32_t ChangeType)>;
using TOnAddItem = std::function<void(TObject* Sender, const AnsiString& ItemName)>;
using TOnOverwriteFile = std::function<void(TObject* Sender, AnsiString& FileName, TOverwriteAction& Action)>;

class TOxZip : public TComponent {
    ZRX_CLASS(TOxZip, TComponent)
public:
    explicit TOxZip(TComponent* AOwner);
    ~TOxZip() override;

    void Open(const AnsiString& FileName);
    void Open(TStream* MS);
    void Close();
    void SaveToStream(TStream* Stream);
    void Rebuild();
    void FixZip(TStream* MS);
    void CreateZip(TStream* Stream);
    void CreateZip(const AnsiString& FileName);
    static AnsiString GetFileName(const AnsiString& S);
    static AnsiString GetFilePath(const AnsiString& S);
    // A new empty file in the temporary folder, for rebuilds and tests that work through files.
    static AnsiString GetTempArchiveName();

    // Forwarded to the directory.
    void ExtractToFile(TOxZipEntriesEntry* Item, const AnsiString& FileName) {
        FZipHeader->ExtractToFile(Item, FileName);
    }
    void ExtractToFile(int ItemIndex, const AnsiString& FileName) {
        FZipHeader->ExtractToFile(ItemIndex, FileName);
    }
    void ExtractToFile(const AnsiString& FileName, const AnsiString& DestinationFileName) {
        FZipHeader->ExtractToFile(FileName, DestinationFileName);
    }
    void ExtractToStream(TOxZipEntriesEntry* Item, TStream* Stream) {
        FZipHeader->ExtractToStream(Item, Stream);
    }
    // The named entry in a new memory stream at position 0 (the caller owns it); nullptr when missing.
    std::unique_ptr<TMemoryStream> ExtractToStream(const AnsiString& sName);
    void ExtractAll(const AnsiString& TargetDirectory) { FZipHeader->ExtractAll(TargetDirectory); }
    void ExtractSelected(const AnsiString& TargetDirectory) { FZipHeader->ExtractSelected(TargetDirectory); }
    TOxZipEntriesEntry* AddFile(const AnsiString& FileName, const AnsiString& NewFileName) {
        return FZipHeader->AddFile(FileName, NewFileName);
    }
    TOxZipEntriesEntry* AddFile(const AnsiString& FileName) { return FZipHeader->AddFile(FileName); }
    bool AddFiles(TStrings* FileNames) { return FZipHeader->AddFiles(FileNames); }
    bool AddFolder(const AnsiString& FolderName, const AnsiString& RootFolder, const AnsiString& WildCard,
                   bool WithSubFolders) {
        return FZipHeader->AddFolder(FolderName, RootFolder, WildCard, WithSubFolders);
    }
    bool AddFilesAndFolders(TStrings* FileNames, const AnsiString& RootFolder, bool WithSubFolders) {
        return FZipHeader->AddFilesAndFolders(FileNames, RootFolder, WithSubFolders);
    }
    TOxZipEntriesEntry* AddStream(const AnsiString& FileName, uint16_t FileAttr, TDateTime FileDate,
                                  TStream* Stream) {
        return FZipHeader->AddStream(FileName, FileAttr, FileDate, Stream);
    }
    // Adds with attributes 32 and the current time; frees Stream afterwards when bFreeStream.
    TOxZipEntriesEntry* AddStream(const AnsiString& FileName, TStream* Stream, bool bFreeStream);
    void Remove(int ItemIndex) { FZipHeader->Remove(ItemIndex); }
    void Remove(TOxZipEntriesEntry* Item) { FZipHeader->Remove(Item); }
    void Remove(const AnsiString& FileName) { FZipHeader->Remove(FileName); }
    void RemoveFiles(TList* List) { FZipHeader->RemoveFiles(List); }
    void RemoveSelected() { FZipHeader->RemoveSelected(); }
    void SelectAll() { FZipHeader->SelectAll(); }
    void DeSelectAll() { FZipHeader->DeSelectAll(); }
    void InvertSelection() { FZipHeader->InvertSelection(); }
    void Select(const AnsiString& WildCard) { FZipHeader->Select(WildCard); }
    void Rename(TOxZipEntriesEntry* Item, const AnsiString& NewFileName) {
        FZipHeader->Rename(Item, NewFileName);
    }
    void Rename(int ItemIndex, const AnsiString& NewFileName) { FZipHeader->Rename(ItemIndex, NewFileName); }
    void Rename(const AnsiString& FileName, const AnsiString& NewFileName) {
        FZipHeader->Rename(FileName, NewFileName);
    }
    void RenameMultiple(TStringList* Names, TStringList* NewNames) {
        FZipHeader->RenameMultiple(Names, NewNames);
    }
    void CreateFolder(const AnsiString& FolderName, TDateTime FolderDate) {
        FZipHeader->CreateFolder(FolderName, FolderDate);
    }
    void RenameFolder(const AnsiString& FolderName, const AnsiString& NewFolderName) {
        FZipHeader->RenameFolder(FolderName, NewFolderName);
    }

    // Properties.
    TOxZipEntries* Entries() const { return FZipHeader.get(); }
    bool HasBadEntries() const { return FHasBadEntries; }
    const AnsiString& FileName() const { return FFileName; }
    void SetFileName(const AnsiString& Value) { FFileName = Value; }
    bool IsZipFile() const { return FIsZipFile; }
    bool Active() const { return FIsZipFile; }
    void SetActive(bool Value);
    TZipSaveMethod SaveMethod() const { return FZipSaveMethod; }
    void SetSaveMethod(TZipSaveMethod Value) { FZipSaveMethod = Value; }
    bool StoreRelativePath() const { return FStoreRelativePath; }
    void SetStoreRelativePath(bool Value) { FStoreRelativePath = Value; }
    bool StoreFolders() const { return FStoreFolders; }
    void SetStoreFolders(bool Value) { FStoreFolders = Value; }
    TZipCompressionType CompressionType() const { return FZipCompressionType; }
    void SetCompressionType(TZipCompressionType Value) {
        FZipCompressionType = Value == ctUnknown ? ctNormal : Value;
    }
    // The archive comment as lines (read from the archive each time).
    TStringList* Comment();
    void SetComment(const std::wstring& Value);
    // Entry names with backslashes, in directory order.
    TStringList* FileNames();
    bool UseTempFiles() const { return FUseTempFiles; }
    void SetUseTempFiles(bool Value) { FUseTempFiles = Value; }
    TOverwriteAction OverwriteAction() const { return FOverwriteAction; }
    void SetOverwriteAction(TOverwriteAction Value) { FOverwriteAction = Value; }
    const AnsiString& ComponentVersion() const { return FComponentVersion; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool ApplyAtributes() const { return FApplyAttributes; }
    void SetApplyAtributes(bool Value) { FApplyAttributes = Value; }
    const TEndOfCentralDir& EndOfCentralDir() const { return FEndOfCentralDir; }
    TStream* ZipStream() const { return FZipStream; }
    // A flag that another thread may set to stop an extraction under way: it is looked at before each entry
    // and each block of data, and a set flag ends the extraction with EAbort (the entry's unfinished file is
    // removed). The flag must outlive the extraction; nullptr (the default) never stops one.
    void SetCancelFlag(const std::atomic<bool>* Flag) { FCancelFlag = Flag; }

    TOnDecompressFile OnDecompressFile;
    TOnCompressFile OnCompressFile;
    TOnZipChange OnZipChange;
    TOnZipOpen OnZipOpen;
    TOnAddItem OnAddItem;
    TOnRebuildZip OnRebuildZip;
    TOnRemoveItems OnRemoveItems;
    TOnOverwriteFile OnOverwriteFile;

protected:
    virtual void DoChange(TObject* Sender, int32_t ChangeType);

private:
    friend class TOxZipEntries;
    friend class TOxZipEntriesEntry;
    struct TExtractBuffers;
    void ParseStream();
    // The archive comment as stored bytes (each line followed by CR LF).
    AnsiString CommentBytes();
    // An entry's local header and data, copied from the archive stream.
    void WriteLocalEntry(TStream* Stream, TOxZipEntriesEntry* Item);
    void WriteLocalEntries(TStream* Stream, const std::vector<TOxZipEntriesEntry*>& Items);
    void WriteCentralAndEnd(TStream* Stream, const std::vector<TOxZipEntriesEntry*>& Items,
                            const AnsiString& Comment);
    void ReplaceArchive(TStream* NewArchive);
    // Where a new archive is written before it replaces the old: a temporary file (deleted with the scratch
    // record) or memory pre-sized to SizeHint.
    struct TScratch {
        std::unique_ptr<TStream> Stream;
        AnsiString TempName;
        ~TScratch();
    };
    void NewScratch(int64_t SizeHint, TScratch& Out);
    TExtractBuffers& Buffers();
    // Raises EAbort once the cancel flag is set.
    void StopWhenCancelled() const {
        if (FCancelFlag && FCancelFlag->load(std::memory_order_relaxed)) throw EAbort();
    }

    std::unique_ptr<TOxZipEntries> FZipHeader;
    bool FIsDirty = true;
    uint32_t FEndOfCentralDirPos = 0;
    TEndOfCentralDir FEndOfCentralDir;
    uint32_t FZipCommentPos = 0;
    std::unique_ptr<TStringList> FZipComment;
    uint32_t FRebuildECDP = 0;
    uint32_t FRebuildCP = 0;
    bool FIsZipFile = false;
    bool FHasBadEntries = false;
    AnsiString FFileName;
    std::unique_ptr<TStringList> FFileNames;
    TZipSaveMethod FZipSaveMethod = FastSave;
    bool FExternalStream = false;
    bool FStoreRelativePath = true;
    TZipCompressionType FZipCompressionType = ctMaximum;
    uint32_t FCurrentDFS = 0;
    bool FBatchMode = false;
    std::vector<uint32_t> NewLHOffsets;
    TEndOfCentralDir NewEndOfCentralDir;
    bool FUseTempFiles = false;
    bool FStoreFolders = true;
    AnsiString FComponentVersion = "2.0";
    TOverwriteAction FOverwriteAction = oaSkip;
    bool FReadOnly = false;
    bool FApplyAttributes = true;
    TStream* FZipStream = nullptr;
    std::unique_ptr<TStream> FOwnedStream; // the archive stream when it came from Open(FileName)
    std::unique_ptr<TExtractBuffers> FBuffers;
    const std::atomic<bool>* FCancelFlag = nullptr;
};
