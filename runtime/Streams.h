// Byte streams: the abstract stream, file handles, files, memory, strings and the program's resources.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/Classes.h"

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
    ZRX_CLASS(TStream, TObject)
public:
    // Moves up to Count bytes; the result is the number moved.
    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
    // The new position from the start.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
    virtual int64_t GetSize();
    virtual void SetSize(int64_t NewSize);

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
    int64_t Size() { return GetSize(); }

    // Move exactly Count bytes or raise EReadError "Stream read error" / EWriteError "Stream write error".
    void ReadBuffer(void* Buffer, int32_t Count);
    void WriteBuffer(const void* Buffer, int32_t Count);
    // Copies Count bytes from Source (0 or less: all of Source from its start); the result is the count copied.
    int64_t CopyFrom(TStream* Source, int64_t Count);
};

// A stream over a Windows file handle that it does not close.
class THandleStream : public TStream {
    ZRX_CLASS(THandleStream, TStream)
public:
    explicit THandleStream(void* AHandle) : FHandle(AHandle) {}
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;
    void* Handle() const { return FHandle; }

protected:
    void* FHandle;
};

// Open modes: the low nibble is the access, the next one the sharing; fmCreate makes or empties the file.
enum : uint16_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareCompat = 0x0000,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

// A file opened or created by name; raises EFOpenError / EFCreateError with the system's reason.
class TFileStream : public THandleStream {
    ZRX_CLASS(TFileStream, THandleStream)
public:
    TFileStream(const std::wstring& FileName, uint16_t Mode);
    ~TFileStream() override;
    const std::wstring& FileName() const { return FFileName; }

private:
    std::wstring FFileName;
};

// A stream over a block of memory that it owns and grows.
class TMemoryStream : public TStream {
    ZRX_CLASS(TMemoryStream, TStream)
public:
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t GetSize() override { return FSize; }
    void SetSize(int64_t NewSize) override;

    uint8_t* Memory() { return FData.data(); }
    const uint8_t* Memory() const { return FData.data(); }
    void Clear();
    void LoadFromStream(TStream* Stream);
    void LoadFromFile(const std::wstring& FileName);
    void SaveToStream(TStream* Stream);
    void SaveToFile(const std::wstring& FileName);

protected:
    std::vector<uint8_t> FData; // capacity; the first FSize bytes are the content
    int64_t FSize = 0;
    int64_t FPosition = 0;
};

// Text held as bytes in one encoding (a code page; 1200 is UTF-16); the default is the ANSI code page.
class TStringStream : public TMemoryStream {
    ZRX_CLASS(TStringStream, TMemoryStream)
public:
    enum : uint32_t { cpDefault = 0, cpUnicode = 1200 };
    explicit TStringStream(const std::wstring& AString = L"", uint32_t CodePage = cpDefault);
    explicit TStringStream(const std::string& Bytes);
    // The bytes decoded in the stream's encoding.
    std::wstring DataString() const;
    uint32_t CodePage() const { return FCodePage; }
    void WriteString(const std::wstring& AString);

private:
    uint32_t FCodePage;
};

// Read-only view of a resource of a module. Raises EResNotFound "Resource %s not found".
class TResourceStream : public TStream {
    ZRX_CLASS(TResourceStream, TStream)
public:
    TResourceStream(void* Instance, const std::wstring& ResName, const wchar_t* ResType);
    TResourceStream(void* Instance, int ResID, const wchar_t* ResType);
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override; // raises EStreamError
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t GetSize() override { return FSize; }
    void SetSize(int64_t NewSize) override;
    const uint8_t* Memory() const { return FData; }

private:
    void Initialize(void* Instance, const wchar_t* Name, const wchar_t* ResType, const std::wstring& Shown);
    const uint8_t* FData = nullptr;
    int64_t FSize = 0;
    int64_t FPosition = 0;
};

// The module handle of the running program, for resource look-ups.
void* HInstance();
