#include "runtime/Streams.h"

#include <algorithm>
#include <cstring>
#include <windows.h>

#include "runtime/SysUtils.h"

// TStream

int64_t TStream::GetSize() {
    int64_t pos = Seek(0, soCurrent);
    int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError(L"Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError(L"Stream write error");
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
    if (Count <= 0) {
        Source->SetPosition(0);
        Count = Source->Size();
    }
    const int32_t blockSize = 64 * 1024;
    std::vector<uint8_t> buffer((size_t)std::min<int64_t>(Count, blockSize));
    int64_t left = Count;
    while (left > 0) {
        int32_t n = (int32_t)std::min<int64_t>(left, blockSize);
        Source->ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return Count;
}

// THandleStream

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
    DWORD done = 0;
    if (Count <= 0 || !ReadFile(FHandle, Buffer, (DWORD)Count, &done, nullptr)) return 0;
    return (int32_t)done;
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
    // A failed call may still have written part (a disk that filled up): the count says what arrived.
    DWORD done = 0;
    if (Count <= 0) return 0;
    WriteFile(FHandle, Buffer, (DWORD)Count, &done, nullptr);
    return (int32_t)done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    LARGE_INTEGER dist, pos;
    dist.QuadPart = Offset;
    if (!SetFilePointerEx(FHandle, dist, &pos, (DWORD)Origin)) return -1;
    return pos.QuadPart;
}

void THandleStream::SetSize(int64_t NewSize) {
    Seek(NewSize, soBeginning);
    if (!SetEndOfFile(FHandle)) RaiseLastOSError();
}

// TFileStream

TFileStream::TFileStream(const std::wstring& FileName, uint16_t Mode)
    : THandleStream(INVALID_HANDLE_VALUE), FFileName(FileName) {
    static const DWORD access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD share[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE};
    const bool create = (Mode & fmCreate) == fmCreate;
    DWORD shareMode = share[std::min<size_t>((Mode & 0xF0) >> 4, 4)];
    if (create) {
        FHandle = CreateFileW(FileName.c_str(), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (FHandle == INVALID_HANDLE_VALUE)
            throw EFCreateError(L"Cannot create file \"" + FileName + L"\". " +
                                SysErrorMessage(GetLastError()));
    } else {
        DWORD acc = access[std::min<size_t>(Mode & 3, 2)];
        FHandle = CreateFileW(FileName.c_str(), acc, shareMode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
        if (FHandle == INVALID_HANDLE_VALUE)
            throw EFOpenError(L"Cannot open file \"" + FileName + L"\". " + SysErrorMessage(GetLastError()));
    }
}

TFileStream::~TFileStream() {
    if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
}

// TMemoryStream

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0 || FPosition < 0 || FPosition >= FSize) return 0;
    int32_t n = (int32_t)std::min<int64_t>(Count, FSize - FPosition);
    std::memcpy(Buffer, FData.data() + FPosition, n);
    FPosition += n;
    return n;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0 || FPosition < 0) return 0;
    int64_t end = FPosition + Count;
    if (end > FSize) {
        if (end > (int64_t)FData.size())
            FData.resize((size_t)std::max<int64_t>(end, (int64_t)FData.size() * 3 / 2));
        if (FPosition > FSize) std::memset(FData.data() + FSize, 0, (size_t)(FPosition - FSize));
        FSize = end;
    }
    std::memcpy(FData.data() + FPosition, Buffer, Count);
    FPosition = end;
    return Count;
}

// The position a seek asks for in a stream held in memory.
static int64_t SeekTarget(int64_t Position, int64_t Size, int64_t Offset, TSeekOrigin Origin) {
    switch (Origin) {
    case soBeginning:
        return Offset;
    case soCurrent:
        return Position + Offset;
    case soEnd:
        return Size + Offset;
    }
    return Position;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    return FPosition = SeekTarget(FPosition, FSize, Offset, Origin);
}

void TMemoryStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) NewSize = 0;
    if (NewSize > (int64_t)FData.size()) FData.resize((size_t)NewSize);
    if (NewSize > FSize) std::memset(FData.data() + FSize, 0, (size_t)(NewSize - FSize));
    FSize = NewSize;
    if (FPosition > FSize) FPosition = FSize;
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FSize = FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
    Stream->SetPosition(0);
    int64_t count = Stream->Size();
    SetSize(count);
    if (count > 0) Stream->ReadBuffer(FData.data(), (int32_t)count);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::wstring& FileName) {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&file);
}

void TMemoryStream::SaveToStream(TStream* Stream) {
    if (FSize > 0) Stream->WriteBuffer(FData.data(), (int32_t)FSize);
}

void TMemoryStream::SaveToFile(const std::wstring& FileName) {
    TFileStream file(FileName, fmCreate);
    SaveToStream(&file);
}

// TStringStream

TStringStream::TStringStream(const std::wstring& AString, uint32_t CodePage) : FCodePage(CodePage) {
    WriteString(AString);
    FPosition = 0;
}

TStringStream::TStringStream(const std::string& Bytes) : FCodePage(cpDefault) {
    Write(Bytes.data(), (int32_t)Bytes.size());
    FPosition = 0;
}

void TStringStream::WriteString(const std::wstring& AString) {
    if (AString.empty()) return;
    if (FCodePage == cpUnicode) {
        Write(AString.data(), (int32_t)(AString.size() * sizeof(wchar_t)));
        return;
    }
    UINT cp = FCodePage == cpDefault ? CP_ACP : FCodePage;
    int n = WideCharToMultiByte(cp, 0, AString.data(), (int)AString.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(cp, 0, AString.data(), (int)AString.size(), bytes.data(), n, nullptr, nullptr);
    Write(bytes.data(), n);
}

std::wstring TStringStream::DataString() const {
    if (FSize == 0) return {};
    if (FCodePage == cpUnicode)
        return std::wstring(reinterpret_cast<const wchar_t*>(FData.data()), (size_t)FSize / sizeof(wchar_t));
    UINT cp = FCodePage == cpDefault ? CP_ACP : FCodePage;
    const char* bytes = reinterpret_cast<const char*>(FData.data());
    int n = MultiByteToWideChar(cp, 0, bytes, (int)FSize, nullptr, 0);
    std::wstring text(n, L'\0');
    MultiByteToWideChar(cp, 0, bytes, (int)FSize, text.data(), n);
    return text;
}

// TResourceStream

TResourceStream::TResourceStream(void* Instance, const std::wstring& ResName, const wchar_t* ResType) {
    Initialize(Instance, ResName.c_str(), ResType, ResName);
}

TResourceStream::TResourceStream(void* Instance, int ResID, const wchar_t* ResType) {
    Initialize(Instance, MAKEINTRESOURCEW(ResID), ResType, IntToStr(ResID));
}

void TResourceStream::Initialize(void* Instance, const wchar_t* Name, const wchar_t* ResType,
                                 const std::wstring& Shown) {
    HMODULE module = static_cast<HMODULE>(Instance);
    HRSRC info = FindResourceW(module, Name, ResType);
    HGLOBAL handle = info ? LoadResource(module, info) : nullptr;
    if (!handle) throw EResNotFound(L"Resource " + Shown + L" not found");
    FData = static_cast<const uint8_t*>(LockResource(handle));
    FSize = SizeofResource(module, info);
}

int32_t TResourceStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0 || FPosition >= FSize || FPosition < 0) return 0;
    int32_t n = (int32_t)std::min<int64_t>(Count, FSize - FPosition);
    std::memcpy(Buffer, FData + FPosition, n);
    FPosition += n;
    return n;
}

int32_t TResourceStream::Write(const void*, int32_t) {
    throw EStreamError(L"Can't write to a read-only resource stream");
}

int64_t TResourceStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    return FPosition = SeekTarget(FPosition, FSize, Offset, Origin);
}

void TResourceStream::SetSize(int64_t) {
    throw EStreamError(L"Can't write to a read-only resource stream");
}

void* HInstance() {
    return GetModuleHandleW(nullptr);
}
