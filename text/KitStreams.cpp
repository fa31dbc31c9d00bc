#include "text/KitStreams.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>
#include <windows.h>

#include "text/KitStringConversions.h"

namespace {
[[noreturn]] void RaiseSeekError() {
    throw EKitStreamError(L"Error seeking stream");
}
} // namespace

// Copy and comparison through buffers

// A buffer size below one would never end the loops below: it counts as one.
int64_t CopyStreamBuffered(TStream* Source, TStream* Dest, int32_t BufferSize) {
    BufferSize = std::max(BufferSize, 1);
    std::vector<uint8_t> buffer(static_cast<size_t>(BufferSize));
    int64_t total = 0;
    int32_t n;
    do {
        n = Source->Read(buffer.data(), BufferSize);
        if (n < 0) n = 0;
        total += n;
        Dest->WriteBuffer(buffer.data(), n);
    } while (n >= BufferSize);
    return total;
}

bool StreamsEqual(TStream* A, TStream* B, int32_t BufferSize) {
    BufferSize = std::max(BufferSize, 1);
    std::vector<uint8_t> bufferA(static_cast<size_t>(BufferSize)), bufferB(bufferA.size());
    bool equal;
    int32_t nA, nB;
    do {
        nA = A->Read(bufferA.data(), BufferSize);
        nB = B->Read(bufferB.data(), BufferSize);
        equal = nA == nB && (nA <= 0 || std::memcmp(bufferA.data(), bufferB.data(), size_t(nA)) == 0);
    } while (equal && nA == BufferSize && nB == BufferSize);
    return equal;
}

// TKitStream

void TKitStream::SetSize(int64_t) {}

int64_t TKitStream::Seek(int64_t, TSeekOrigin) {
    return -1;
}

int32_t TKitStream::Seek32(int32_t Offset, uint16_t Origin) {
    if (Origin > soEnd) return -1;
    int64_t result = Seek(int64_t(Offset), TSeekOrigin(Origin));
    if (result < 0 || result >= (int64_t(1) << 31)) return -1;
    return int32_t(result);
}

void TKitStream::LoadFromStream(TStream* Source, int32_t BufferSize) {
    CopyStreamBuffered(Source, this, BufferSize);
}

void TKitStream::LoadFromFile(const std::wstring& FileName, int32_t BufferSize) {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&file, BufferSize);
}

void TKitStream::SaveToStream(TStream* Dest, int32_t BufferSize) {
    CopyStreamBuffered(this, Dest, BufferSize);
}

void TKitStream::SaveToFile(const std::wstring& FileName, int32_t BufferSize) {
    TFileStream file(FileName, fmCreate);
    SaveToStream(&file, BufferSize);
}

// TKitStreamDecorator

TKitStreamDecorator::TKitStreamDecorator(TStream* AStream, bool AOwnsStream)
    : FOwnsStream(AOwnsStream), FStream(AStream) {}

TKitStreamDecorator::~TKitStreamDecorator() {
    if (FOwnsStream) FreeStream();
}

void TKitStreamDecorator::FreeStream() {
    // The decorator owns the stream only while OwnsStream is set, so it cannot sit in a unique_ptr.
    delete FStream;
    FStream = nullptr;
}

int32_t TKitStreamDecorator::Read(void* Buffer, int32_t Count) {
    return FStream ? FStream->Read(Buffer, Count) : 0;
}

int32_t TKitStreamDecorator::Write(const void* Buffer, int32_t Count) {
    return FStream ? FStream->Write(Buffer, Count) : 0;
}

int64_t TKitStreamDecorator::Seek(int64_t Offset, TSeekOrigin Origin) {
    return FStream ? FStream->Seek(Offset, Origin) : -1;
}

void TKitStreamDecorator::SetSize(int64_t NewSize) {
    if (FStream) FStream->SetSize(NewSize);
}

void TKitStreamDecorator::ReplaceStream(TStream* Value) {
    if (Value == FStream) return;
    NotifyBeforeStreamChange();
    if (FOwnsStream) FreeStream();
    FStream = Value;
    NotifyAfterStreamChange();
}

void TKitStreamDecorator::NotifyAfterStreamChange() {
    if (FAfterStreamChange) FAfterStreamChange(this);
}

void TKitStreamDecorator::NotifyBeforeStreamChange() {
    if (FBeforeStreamChange) FBeforeStreamChange(this);
}

// TKitEasyStream

bool TKitEasyStream::IsEqual(TStream* Stream) {
    int64_t ownPosition = Position(), otherPosition = Stream->Position();
    SetPosition(0);
    Stream->SetPosition(0);
    bool result = StreamsEqual(this, Stream, 4096);
    SetPosition(ownPosition);
    Stream->SetPosition(otherPosition);
    return result;
}

template <typename T> T TKitEasyStream::ReadValue(int32_t Size) {
    T value{};
    ReadBuffer(&value, Size);
    return value;
}

template <typename T> void TKitEasyStream::WriteValue(const T& Value, int32_t Size) {
    WriteBuffer(&Value, Size);
}

bool TKitEasyStream::ReadBoolean() {
    return ReadValue<uint8_t>() != 0;
}
wchar_t TKitEasyStream::ReadChar() {
    return ReadValue<wchar_t>();
}
char TKitEasyStream::ReadAnsiChar() {
    return ReadValue<char>();
}
wchar_t TKitEasyStream::ReadWideChar() {
    return ReadValue<wchar_t>();
}
uint8_t TKitEasyStream::ReadByte() {
    return ReadValue<uint8_t>();
}
int64_t TKitEasyStream::ReadCurrency() {
    return ReadValue<int64_t>();
}
double TKitEasyStream::ReadDateTime() {
    return ReadValue<double>();
}
double TKitEasyStream::ReadDouble() {
    return ReadValue<double>();
}
long double TKitEasyStream::ReadExtended() {
    return ReadValue<long double>(10);
}
int64_t TKitEasyStream::ReadInt64() {
    return ReadValue<int64_t>();
}
int32_t TKitEasyStream::ReadInteger() {
    return ReadValue<int32_t>();
}
float TKitEasyStream::ReadSingle() {
    return ReadValue<float>();
}

void TKitEasyStream::WriteBoolean(bool Value) {
    WriteValue<uint8_t>(Value ? 1 : 0);
}
void TKitEasyStream::WriteChar(wchar_t Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteAnsiChar(char Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteWideChar(wchar_t Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteByte(uint8_t Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteCurrency(int64_t Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteDateTime(double Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteDouble(double Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteExtended(long double Value) {
    WriteValue(Value, 10);
}
void TKitEasyStream::WriteInt64(int64_t Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteInteger(int32_t Value) {
    WriteValue(Value);
}
void TKitEasyStream::WriteSingle(float Value) {
    WriteValue(Value);
}

namespace {

// Reads characters up to a zero one, then reads the text in one piece and stands after the zero.
template <typename TChar> std::basic_string<TChar> ReadZeroTerminated(TStream* Stream) {
    int64_t start = Stream->Position();
    size_t length = 0;
    for (TChar c;; ++length) {
        Stream->ReadBuffer(&c, sizeof c);
        if (c == 0) break;
    }
    Stream->SetPosition(start);
    std::basic_string<TChar> text(length, TChar(0));
    Stream->ReadBuffer(text.data(), int32_t(length * sizeof(TChar)));
    Stream->SetPosition(start + int64_t((length + 1) * sizeof(TChar)));
    return text;
}

} // namespace

std::string TKitEasyStream::ReadCAnsiString() {
    return ReadZeroTerminated<char>(this);
}
std::wstring TKitEasyStream::ReadCWideString() {
    return ReadZeroTerminated<wchar_t>(this);
}
std::wstring TKitEasyStream::ReadCString() {
    return ReadCWideString();
}

void TKitEasyStream::WriteCAnsiString(const std::string& Value) {
    WriteBuffer(Value.c_str(), int32_t(Value.size() + 1));
}

void TKitEasyStream::WriteCWideString(const std::wstring& Value) {
    WriteBuffer(Value.c_str(), int32_t((Value.size() + 1) * sizeof(wchar_t)));
}

void TKitEasyStream::WriteCString(const std::wstring& Value) {
    WriteCWideString(Value);
}

namespace {

// A stored length that the rest of the stream cannot hold fails as a short read would, before a
// buffer of that size is allocated.
size_t CheckedLength(TStream* Stream, int32_t Length, size_t CharSize) {
    int64_t left = Stream->Size() - Stream->Position();
    if (Length < 0 || int64_t(Length) * int64_t(CharSize) > left) throw EReadError(L"Stream read error");
    return size_t(Length);
}

} // namespace

std::string TKitEasyStream::ReadSizedAnsiString() {
    int32_t length = ReadInteger();
    std::string text(CheckedLength(this, length, 1), '\0');
    ReadBuffer(text.data(), int32_t(text.size()));
    return text;
}

std::wstring TKitEasyStream::ReadSizedWideString() {
    int32_t length = ReadInteger();
    std::wstring text(CheckedLength(this, length, sizeof(wchar_t)), L'\0');
    ReadBuffer(text.data(), int32_t(text.size() * sizeof(wchar_t)));
    return text;
}

std::wstring TKitEasyStream::ReadSizedString() {
    return ReadSizedWideString();
}

void TKitEasyStream::WriteSizedAnsiString(const std::string& Value) {
    WriteInteger(int32_t(Value.size()));
    WriteBuffer(Value.data(), int32_t(Value.size()));
}

void TKitEasyStream::WriteSizedWideString(const std::wstring& Value) {
    WriteInteger(int32_t(Value.size()));
    WriteBuffer(Value.data(), int32_t(Value.size() * sizeof(wchar_t)));
}

void TKitEasyStream::WriteSizedString(const std::wstring& Value) {
    WriteSizedWideString(Value);
}

std::wstring TKitEasyStream::ReadShortString() {
    uint8_t length = ReadByte();
    char bytes[255];
    ReadBuffer(bytes, length);
    std::wstring text(length, L'\0');
    int n = length ? MultiByteToWideChar(CP_ACP, 0, bytes, length, text.data(), length) : 0;
    text.resize(size_t(std::max(n, 0)));
    return text;
}

void TKitEasyStream::WriteShortString(const std::wstring& Value) {
    std::string bytes(Value.size() * 2 + 1, '\0');
    int n = Value.empty() ? 0
                          : WideCharToMultiByte(CP_ACP, 0, Value.data(), int(Value.size()), bytes.data(),
                                                int(bytes.size()), nullptr, nullptr);
    uint8_t length = uint8_t(std::clamp(n, 0, 255));
    WriteByte(length);
    WriteBuffer(bytes.data(), length);
}

// TKitStringStream

TKitStringStream::TKitStringStream(TStream* AStream, bool AOwnsStream)
    : FStream(AStream), FOwnStream(AOwnsStream) {}

TKitStringStream::~TKitStringStream() {
    // The encodings have flushed in their own destructors.
    if (FOwnStream) delete FStream;
}

void TKitStringStream::FlushOnDestroy() noexcept {
    try {
        Flush();
    } catch (...) {
        // A destructor cannot report the failure; callers that care flush first.
    }
}

int TKitStringStream::StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) {
    int result = 0;
    uint32_t ch;
    while (result < Count && StreamReadChar(AStream, ch)) Buffer[size_t(Start + result++)] = ch;
    return result;
}

int TKitStringStream::StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) {
    int result = 0;
    while (result < Count && StreamWriteChar(AStream, Buffer[size_t(Start + result)])) ++result;
    return result;
}

void TKitStringStream::ResetBuffers() {
    int64_t position = FStream->Seek(0, soCurrent);
    FStrBufferStart = FStrBufferNext = position;
    FStrBufferPosition = FStrBufferCurrentSize = FStrBufferModifiedSize = 0;
    FStrPeekBufferStart = FStrPeekBufferNext = position;
    FStrPeekBufferCurrentSize = 0;
    FStrPeekPosition = 0;
}

bool TKitStringStream::LoadBuffer() {
    Flush();
    if (FStrPeekBufferStart <= FStrBufferNext && FStrPeekBufferNext > FStrBufferNext) {
        // The look-ahead buffer holds the next block already: take it over instead of decoding again.
        FStrBufferStart = FStrPeekBufferStart;
        FStrBufferNext = FStrPeekBufferNext;
        FStrBuffer.resize(FStrPeekBuffer.size());
        FStrBufferPosition = FStrPeekBufferPosition;
        FStrBufferCurrentSize = FStrPeekBufferCurrentSize;
        std::copy_n(FStrPeekBuffer.begin(), FStrPeekBufferCurrentSize, FStrBuffer.begin());
    } else {
        if (FStrBuffer.size() != size_t(FBufferSize)) FStrBuffer.resize(size_t(FBufferSize));
        FStrBufferPosition += FStrBufferCurrentSize;
        FStrBufferStart = FStrBufferNext;
        FStream->Seek(FStrBufferStart, soBeginning);
        FStrBufferCurrentSize = StreamReadChars(FStream, FStrBuffer, 0, FBufferSize);
        FStrBufferNext = FStream->Seek(0, soCurrent);
        FStrPeekBufferPosition = FStrBufferPosition + FStrBufferCurrentSize;
        FStrPeekBufferCurrentSize = 0;
        FStrPeekBufferStart = FStrPeekBufferNext = FStrBufferNext;
    }
    return FStrBufferPosition <= FStrPosition && FStrPosition < FStrBufferPosition + FStrBufferCurrentSize;
}

bool TKitStringStream::LoadPeekBuffer() {
    if (FStrPeekBuffer.size() != size_t(FBufferSize)) FStrPeekBuffer.resize(size_t(FBufferSize));
    if (FStrPeekPosition < FStrPeekBufferPosition) {
        // A read pulled the peek position back behind the look-ahead buffer: continue from the main one.
        FStrPeekBufferPosition = FStrBufferPosition;
        FStrPeekBufferCurrentSize = int32_t(FStrBufferCurrentSize);
        FStrPeekBufferStart = FStrBufferStart;
        FStrPeekBufferNext = FStrBufferNext;
    }
    FStrPeekBufferStart = FStrPeekBufferNext;
    FStrPeekBufferPosition += FStrPeekBufferCurrentSize;
    FStream->Seek(FStrPeekBufferStart, soBeginning);
    FStrPeekBufferCurrentSize = StreamReadChars(FStream, FStrPeekBuffer, 0, FBufferSize);
    FStrPeekBufferNext = FStream->Seek(0, soCurrent);
    return FStrPeekPosition >= FStrPeekBufferPosition &&
           FStrPeekPosition < FStrPeekBufferPosition + FStrPeekBufferCurrentSize;
}

bool TKitStringStream::ReadUCS4Slow(uint32_t& Buffer) {
    bool found = LoadBuffer();
    if (found) Buffer = FStrBuffer[size_t(FStrPosition++ - FStrBufferPosition)];
    FStrPeekPosition = FStrPosition;
    return found;
}

bool TKitStringStream::PeekUCS4(uint32_t& Buffer) {
    auto inPeekBuffer = [this] {
        return FStrPeekPosition >= FStrPeekBufferPosition &&
               FStrPeekPosition < FStrPeekBufferPosition + FStrPeekBufferCurrentSize;
    };
    if (inPeekBuffer()) {
        Buffer = FStrPeekBuffer[size_t(FStrPeekPosition++ - FStrPeekBufferPosition)];
        return true;
    }
    if (FStrPeekPosition >= FStrBufferPosition &&
        FStrPeekPosition < FStrBufferPosition + FStrBufferCurrentSize) {
        Buffer = FStrBuffer[size_t(FStrPeekPosition++ - FStrBufferPosition)];
        return true;
    }
    if (LoadPeekBuffer()) {
        Buffer = FStrPeekBuffer[size_t(FStrPeekPosition++ - FStrPeekBufferPosition)];
        return true;
    }
    return false;
}

bool TKitStringStream::WriteUCS4(uint32_t Value) {
    if (FStrPosition >= FStrBufferPosition + FBufferSize) LoadBuffer();
    if (FStrBuffer.size() != size_t(FBufferSize)) {
        FStrBuffer.resize(size_t(FBufferSize));
        // A buffer made smaller since a read holds fewer code points: the rest is read from the stream again.
        // (What changed lies before the write position, so it all still fits.)
        FStrBufferCurrentSize = std::min<int64_t>(FStrBufferCurrentSize, FBufferSize);
    }
    int64_t index = FStrPosition - FStrBufferPosition;
    FStrBuffer[size_t(index)] = Value;
    ++FStrPosition;
    FStrBufferModifiedSize = std::max(FStrBufferModifiedSize, index + 1);
    FStrBufferCurrentSize = std::max(FStrBufferCurrentSize, index + 1);
    FStrPeekPosition = FStrPosition;
    return true;
}

bool TKitStringStream::ReadChar(wchar_t& Buffer) {
    uint32_t ch;
    if (!ReadUCS4(ch)) return false;
    Buffer = CodePointToChar(ch);
    return true;
}

bool TKitStringStream::ReadWideChar(wchar_t& Buffer) {
    return ReadChar(Buffer);
}

bool TKitStringStream::PeekChar(wchar_t& Buffer) {
    uint32_t ch;
    if (!PeekUCS4(ch)) return false;
    Buffer = CodePointToChar(ch);
    return true;
}

bool TKitStringStream::PeekWideChar(wchar_t& Buffer) {
    return PeekChar(Buffer);
}

bool TKitStringStream::ReadAnsiChar(char& Buffer) {
    uint32_t ch;
    if (!ReadUCS4(ch)) return false;
    Buffer = CodePointToAnsiChar(ch);
    return true;
}

bool TKitStringStream::PeekAnsiChar(char& Buffer) {
    uint32_t ch;
    if (!PeekUCS4(ch)) return false;
    Buffer = CodePointToAnsiChar(ch);
    return true;
}

bool TKitStringStream::WriteChar(wchar_t Value) {
    return WriteUCS4(CharToCodePoint(Value));
}
bool TKitStringStream::WriteWideChar(wchar_t Value) {
    return WriteUCS4(CharToCodePoint(Value));
}
bool TKitStringStream::WriteAnsiChar(char Value) {
    return WriteUCS4(AnsiCharToCodePoint(Value));
}

int TKitStringStream::ReadString(std::wstring& Buffer, int Start, int Count) {
    int i = Start;
    uint32_t ch;
    while (i >= 1 && i < Start + Count - 1 && ReadUCS4(ch))
        if (!UnicodeWriteCharAt(Buffer, i, ch)) break;
    return i - Start;
}

int TKitStringStream::ReadWideString(std::wstring& Buffer, int Start, int Count) {
    return ReadString(Buffer, Start, Count);
}

int TKitStringStream::ReadAnsiString(std::string& Buffer, int Start, int Count) {
    int i = Start;
    uint32_t ch;
    while (i >= 1 && i < Start + Count && ReadUCS4(ch))
        if (!AnsiWriteCharAt(Buffer, i, ch)) break;
    return i - Start;
}

namespace {

template <typename TString, typename TRead> TString ReadWholeText(int BufferSize, TRead&& Read) {
    TString result;
    if (BufferSize < 1) return result;
    TString buffer(size_t(BufferSize), 0);
    for (int n; (n = Read(buffer, BufferSize)) > 0;) result.append(buffer, 0, size_t(n));
    return result;
}

} // namespace

std::wstring TKitStringStream::ReadString(int BufferSize) {
    return ReadWholeText<std::wstring>(
        BufferSize, [this](std::wstring& B, int Count) { return ReadString(B, 1, Count); });
}

std::wstring TKitStringStream::ReadWideString(int BufferSize) {
    return ReadString(BufferSize);
}

std::string TKitStringStream::ReadAnsiString(int BufferSize) {
    return ReadWholeText<std::string>(
        BufferSize, [this](std::string& B, int Count) { return ReadAnsiString(B, 1, Count); });
}

// The string writes stop at the end of the string: a read past it does not advance, and would
// otherwise write U+FFFD without end.
int TKitStringStream::WriteString(const std::wstring& Buffer, int Start, int Count) {
    int i = Start;
    while (i >= 1 && i < Start + Count && i <= int(Buffer.size()) &&
           WriteUCS4(UnicodeReadCharAt(Buffer, i))) {
    }
    return i - Start;
}

int TKitStringStream::WriteWideString(const std::wstring& Buffer, int Start, int Count) {
    return WriteString(Buffer, Start, Count);
}

int TKitStringStream::WriteAnsiString(const std::string& Buffer, int Start, int Count) {
    int i = Start;
    while (i >= 1 && i < Start + Count && i <= int(Buffer.size()) && WriteUCS4(AnsiReadCharAt(Buffer, i))) {
    }
    return i - Start;
}

void TKitStringStream::Flush() {
    if (FStrBufferModifiedSize == 0) return;
    FStream->Seek(FStrBufferStart, soBeginning);
    const int written = StreamWriteChars(FStream, FStrBuffer, 0, int(FStrBufferModifiedSize));
    FStrBufferNext = FStream->Seek(0, soCurrent);
    // Every code point encodes, so fewer written means the stream took less (a full disk): a truncated text
    // must not pass for a saved one.
    if (written != FStrBufferModifiedSize) throw EWriteError(L"Stream write error");
    FStrBufferModifiedSize = 0;
}

int64_t TKitStringStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    if (Offset != 0 || Origin == soEnd) RaiseSeekError();
    if (Origin == soBeginning) {
        Flush();
        FStrPosition = 0;
        FStrBufferPosition = FStrBufferCurrentSize = FStrBufferStart = FStrBufferNext = 0;
        FStrPeekBufferPosition = FStrPeekBufferStart = FStrPeekBufferNext = 0;
        FStrPeekBufferCurrentSize = 0;
    } else if (Origin != soCurrent) {
        RaiseSeekError();
    }
    FStrPeekPosition = FStrPosition;
    return FStrPosition;
}

int TKitStringStream::SkipBOM() {
    int result = 0;
    if (!FBOM.empty()) {
        int64_t position = FStream->Seek(0, soCurrent);
        TDynByteArray bytes(FBOM.size());
        int32_t got = FStream->Read(bytes.data(), int32_t(bytes.size()));
        if (got == int32_t(FBOM.size()) && bytes == FBOM)
            result = got;
        else
            FStream->Seek(position, soBeginning);
    }
    ResetBuffers();
    return result;
}

int TKitStringStream::WriteBOM() {
    if (!FBOM.empty()) FStream->WriteBuffer(FBOM.data(), int32_t(FBOM.size()));
    ResetBuffers();
    return int(FBOM.size());
}

// TKitAnsiStream

TKitAnsiStream::TKitAnsiStream(TStream* AStream, bool AOwnsStream) : TKitStringStream(AStream, AOwnsStream) {}

bool TKitAnsiStream::StreamReadChar(TStream* AStream, uint32_t& Ch) {
    return FCodePage == 0 ? AnsiReadCharFromStream(AStream, Ch)
                          : AnsiReadCharFromStreamCP(AStream, FCodePage, Ch);
}

int TKitAnsiStream::StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) {
    return FCodePage == 0 ? AnsiReadCharsFromStream(AStream, Buffer, Start, Count)
                          : AnsiReadCharsFromStreamCP(AStream, FCodePage, Buffer, Count, Start);
}

bool TKitAnsiStream::StreamWriteChar(TStream* AStream, uint32_t Ch) {
    return FCodePage == 0 ? AnsiWriteCharToStream(AStream, Ch)
                          : AnsiWriteCharToStreamCP(AStream, FCodePage, Ch);
}

int TKitAnsiStream::StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) {
    return FCodePage == 0 ? AnsiWriteCharsToStream(AStream, Buffer, Start, Count)
                          : AnsiWriteCharsToStreamCP(AStream, FCodePage, Buffer, Count, Start);
}

// TKitUTF8Stream

TKitUTF8Stream::TKitUTF8Stream(TStream* AStream, bool AOwnsStream) : TKitStringStream(AStream, AOwnsStream) {
    FBOM = BOM_UTF8;
}

bool TKitUTF8Stream::StreamReadChar(TStream* AStream, uint32_t& Ch) {
    return Utf8ReadCharFromStream(AStream, Ch);
}

int TKitUTF8Stream::StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) {
    return Utf8ReadCharsFromStream(AStream, Buffer, Start, Count);
}

bool TKitUTF8Stream::StreamWriteChar(TStream* AStream, uint32_t Ch) {
    return Utf8WriteCharToStream(AStream, Ch);
}

int TKitUTF8Stream::StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) {
    return Utf8WriteCharsToStream(AStream, Buffer, Start, Count);
}

// TKitUTF16Stream

TKitUTF16Stream::TKitUTF16Stream(TStream* AStream, bool AOwnsStream)
    : TKitStringStream(AStream, AOwnsStream) {
    FBOM = BOM_UTF16_LSB;
}

bool TKitUTF16Stream::StreamReadChar(TStream* AStream, uint32_t& Ch) {
    return Utf16ReadCharFromStream(AStream, Ch);
}

int TKitUTF16Stream::StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) {
    return Utf16ReadCharsFromStream(AStream, Buffer, Start, Count);
}

bool TKitUTF16Stream::StreamWriteChar(TStream* AStream, uint32_t Ch) {
    return Utf16WriteCharToStream(AStream, Ch);
}

int TKitUTF16Stream::StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) {
    return Utf16WriteCharsToStream(AStream, Buffer, Start, Count);
}

// TKitAutoStream

TKitAutoStream::TKitAutoStream(TStream* AStream, bool AOwnsStream) : TKitStringStream(AStream, AOwnsStream) {
    uint8_t head[3];
    int32_t n = std::max(AStream->Read(head, 3), 0);
    FEncoding = seAuto;
    if (n >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        FEncoding = seUTF8;
        FCodePage = CP_UTF8;
        FBOM = BOM_UTF8;
    } else if (n >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        FEncoding = seUTF16;
        FCodePage = 1200;
        FBOM = BOM_UTF16_LSB;
    } else {
        FEncoding = seAnsi;
        FCodePage = 0;
        FBOM.clear();
    }
    AStream->Seek(int64_t(FBOM.size()) - n, soCurrent);
    ResetBuffers();
}

int TKitAutoStream::SkipBOM() {
    ResetBuffers();
    return 0;
}

bool TKitAutoStream::StreamReadChar(TStream* AStream, uint32_t& Ch) {
    switch (FCodePage) {
    case 0:
        return AnsiReadCharFromStream(AStream, Ch);
    case 1200:
        return Utf16ReadCharFromStream(AStream, Ch);
    case CP_UTF8:
        return Utf8ReadCharFromStream(AStream, Ch);
    default:
        return AnsiReadCharFromStreamCP(AStream, FCodePage, Ch);
    }
}

int TKitAutoStream::StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) {
    switch (FCodePage) {
    case 0:
        return AnsiReadCharsFromStream(AStream, Buffer, Start, Count);
    case 1200:
        return Utf16ReadCharsFromStream(AStream, Buffer, Start, Count);
    case CP_UTF8:
        return Utf8ReadCharsFromStream(AStream, Buffer, Start, Count);
    default:
        return AnsiReadCharsFromStreamCP(AStream, FCodePage, Buffer, Count, Start);
    }
}

bool TKitAutoStream::StreamWriteChar(TStream* AStream, uint32_t Ch) {
    switch (FCodePage) {
    case 0:
        return AnsiWriteCharToStream(AStream, Ch);
    case 1200:
        return Utf16WriteCharToStream(AStream, Ch);
    case CP_UTF8:
        return Utf8WriteCharToStream(AStream, Ch);
    default:
        return AnsiWriteCharToStreamCP(AStream, FCodePage, Ch);
    }
}

int TKitAutoStream::StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) {
    switch (FCodePage) {
    case 0:
        return AnsiWriteCharsToStream(AStream, Buffer, Start, Count);
    case 1200:
        return Utf16WriteCharsToStream(AStream, Buffer, Start, Count);
    case CP_UTF8:
        return Utf8WriteCharsToStream(AStream, Buffer, Start, Count);
    default:
        return AnsiWriteCharsToStreamCP(AStream, FCodePage, Buffer, Count, Start);
    }
}
