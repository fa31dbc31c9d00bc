// Byte-stream classes of the text layer (a stream base with buffered load and save, a decorator over
// an inner stream, typed reads and writes) and the text streams that read and write Unicode code
// points over a byte stream in ANSI, UTF-8 or UTF-16, with look-ahead and byte-order marks.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "runtime/Streams.h"
#include "text/KitBase.h"

// "Error seeking stream"
ZRX_EXCEPTION(EKitStreamError, EKitError)

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Copies the rest of Source into Dest through a buffer of BufferSize (at least 1) bytes; the result
// is the number of bytes copied.
int64_t CopyStreamBuffered(TStream* Source, TStream* Dest, int32_t BufferSize);
// Whether the rest of A and the rest of B hold the same bytes; both stay where reading stopped.
bool StreamsEqual(TStream* A, TStream* B, int32_t BufferSize);

// A stream that cannot position by itself, with buffered load and save. The 32-bit Seek and SetSize
// of other class libraries are Seek32 and SetSize32 here: as overloads they would make every call
// with a literal offset ambiguous.
class TKitStream : public TStream {
    ZRX_CLASS(TKitStream, TStream)
public:
    void SetSize32(int32_t NewSize) { SetSize(int64_t(NewSize)); }
    void SetSize(int64_t NewSize) override;
    // -1 for every request; streams that hold data override it.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    // Origin 0, 1, 2 as soBeginning, soCurrent, soEnd; -1 for any other origin and for a result
    // that is negative or does not fit in 31 bits.
    int32_t Seek32(int32_t Offset, uint16_t Origin);

    virtual void LoadFromStream(TStream* Source, int32_t BufferSize);
    virtual void LoadFromFile(const std::wstring& FileName, int32_t BufferSize);
    virtual void SaveToStream(TStream* Dest, int32_t BufferSize);
    virtual void SaveToFile(const std::wstring& FileName, int32_t BufferSize);
};

// Forwards to an inner stream, which it frees when it owns it.
class TKitStreamDecorator : public TKitStream {
    ZRX_CLASS(TKitStreamDecorator, TKitStream)
public:
    TKitStreamDecorator(TStream* AStream, bool AOwnsStream);
    ~TKitStreamDecorator() override;
    TKitStreamDecorator(const TKitStreamDecorator&) = delete;
    TKitStreamDecorator& operator=(const TKitStreamDecorator&) = delete;

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    // Forwards to the inner stream; -1 without one.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;

    TStream* Stream() const { return FStream; }
    void SetStream(TStream* Value) { ReplaceStream(Value); }
    // Fires BeforeStreamChange, frees the old stream when owned, takes the new one (OwnsStream then
    // applies to it) and fires AfterStreamChange; nothing happens when it is the current stream.
    void ReplaceStream(TStream* Value);
    bool OwnsStream() const { return FOwnsStream; }
    void SetOwnsStream(bool Value) { FOwnsStream = Value; }
    const TNotifyEvent& AfterStreamChange() const { return FAfterStreamChange; }
    void SetAfterStreamChange(TNotifyEvent Value) { FAfterStreamChange = std::move(Value); }
    const TNotifyEvent& BeforeStreamChange() const { return FBeforeStreamChange; }
    void SetBeforeStreamChange(TNotifyEvent Value) { FBeforeStreamChange = std::move(Value); }

protected:
    virtual void NotifyAfterStreamChange();
    virtual void NotifyBeforeStreamChange();

private:
    void FreeStream();
    TNotifyEvent FAfterStreamChange;
    TNotifyEvent FBeforeStreamChange;
    bool FOwnsStream;
    TStream* FStream;
};

// Typed reads and writes of fixed-size values and strings, little-endian, no header, no alignment.
// Reads raise EReadError when the stream holds too few bytes; writes raise EWriteError.
class TKitEasyStream : public TKitStreamDecorator {
    ZRX_CLASS(TKitEasyStream, TKitStreamDecorator)
public:
    using TKitStreamDecorator::TKitStreamDecorator;

    // Whether this stream and Stream hold the same bytes from start to end; positions are kept.
    bool IsEqual(TStream* Stream);

    bool ReadBoolean();
    wchar_t ReadChar();
    char ReadAnsiChar();
    wchar_t ReadWideChar();
    uint8_t ReadByte();
    int64_t ReadCurrency(); // ten-thousandths
    double ReadDateTime();
    double ReadDouble();
    long double ReadExtended(); // 10 bytes, x87 extended precision
    int64_t ReadInt64();
    int32_t ReadInteger();
    float ReadSingle();
    void WriteBoolean(bool Value);
    void WriteChar(wchar_t Value);
    void WriteAnsiChar(char Value);
    void WriteWideChar(wchar_t Value);
    void WriteByte(uint8_t Value);
    void WriteCurrency(int64_t Value);
    void WriteDateTime(double Value);
    void WriteDouble(double Value);
    void WriteExtended(long double Value);
    void WriteInt64(int64_t Value);
    void WriteInteger(int32_t Value);
    void WriteSingle(float Value);

    // Zero-terminated strings.
    std::string ReadCAnsiString();
    std::wstring ReadCWideString();
    std::wstring ReadCString();
    void WriteCAnsiString(const std::string& Value);
    void WriteCWideString(const std::wstring& Value);
    void WriteCString(const std::wstring& Value);
    // A 32-bit length (bytes or UTF-16 units), then the characters.
    std::string ReadSizedAnsiString();
    std::wstring ReadSizedWideString();
    std::wstring ReadSizedString();
    void WriteSizedAnsiString(const std::string& Value);
    void WriteSizedWideString(const std::wstring& Value);
    void WriteSizedString(const std::wstring& Value);
    // One length byte, then up to 255 characters of the system ANSI code page.
    std::wstring ReadShortString();
    void WriteShortString(const std::wstring& Value);

private:
    template <typename T> T ReadValue(int32_t Size = sizeof(T));
    template <typename T> void WriteValue(const T& Value, int32_t Size = sizeof(T));
};

enum TKitStringEncoding : uint8_t { seAnsi, seUTF8, seUTF16, seAuto };

// Text read and written as code points over a byte stream, a block of BufferSize code points at a
// time. Reading: SkipBOM, then PeekUCS4 / ReadUCS4 until ReadUCS4 returns false. Peeks walk ahead in
// a look-ahead buffer of their own without moving the read position; the next read, write or
// Seek(0, soCurrent) brings the peek position back to the read position. Writing: WriteBOM
// (optional), writes, Flush. Writes reach the inner stream a block at a time, at Flush and when the
// object is destroyed; a failure of that last flush cannot be reported, so flush before.
class TKitStringStream : public TObject {
    ZRX_CLASS(TKitStringStream, TObject)
public:
    TKitStringStream(TStream* AStream, bool AOwnsStream);
    ~TKitStringStream() override;
    TKitStringStream(const TKitStringStream&) = delete;
    TKitStringStream& operator=(const TKitStringStream&) = delete;

    // The three primitives; every other read and write is built on them.
    bool ReadUCS4(uint32_t& Buffer) {
        if (FStrPosition >= FStrBufferPosition && FStrPosition < FStrBufferPosition + FStrBufferCurrentSize) {
            Buffer = FStrBuffer[size_t(FStrPosition - FStrBufferPosition)];
            FStrPeekPosition = ++FStrPosition;
            return true;
        }
        return ReadUCS4Slow(Buffer);
    }
    bool PeekUCS4(uint32_t& Buffer);
    bool WriteUCS4(uint32_t Value);

    // One UTF-16 unit (U+FFFD outside the Basic Multilingual Plane) or one ANSI character.
    bool ReadChar(wchar_t& Buffer);
    bool ReadWideChar(wchar_t& Buffer);
    bool PeekChar(wchar_t& Buffer);
    bool PeekWideChar(wchar_t& Buffer);
    bool ReadAnsiChar(char& Buffer);
    bool PeekAnsiChar(char& Buffer);
    bool WriteChar(wchar_t Value);
    bool WriteWideChar(wchar_t Value);
    bool WriteAnsiChar(char Value);

    // Reads into positions Start (1-based) onwards of an already sized Buffer and returns how many
    // positions were filled. The UTF-16 forms keep one position free for a surrogate pair, so they
    // fill at most Count - 1 positions with characters of the Basic Multilingual Plane.
    int ReadString(std::wstring& Buffer, int Start, int Count);
    int ReadWideString(std::wstring& Buffer, int Start, int Count);
    int ReadAnsiString(std::string& Buffer, int Start, int Count);
    // The rest of the text, read BufferSize positions at a time.
    std::wstring ReadString(int BufferSize);
    std::wstring ReadWideString(int BufferSize);
    std::string ReadAnsiString(int BufferSize);
    // Writes Count positions from Start (1-based) of Buffer, up to the end of Buffer; returns how many
    // positions were used.
    int WriteString(const std::wstring& Buffer, int Start, int Count);
    int WriteWideString(const std::wstring& Buffer, int Start, int Count);
    int WriteAnsiString(const std::string& Buffer, int Start, int Count);

    // Writes the modified code points back; raises EWriteError when the inner stream takes fewer.
    virtual void Flush();
    // Seek(0, soBeginning) rewinds to byte 0 of the inner stream; Seek(0, soCurrent) tells the
    // position in code points. Anything else raises EKitStreamError "Error seeking stream".
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin);
    // Steps over the byte-order mark at the inner stream's position; the result is its length or 0.
    virtual int SkipBOM();
    // Writes the byte-order mark at the inner stream's position; the result is its length. A short write
    // raises EWriteError.
    virtual int WriteBOM();

    int BufferSize() const { return FBufferSize; }
    // At least one code point; a new size takes effect at the next refill or write.
    void SetBufferSize(int Value) { FBufferSize = Value < 1 ? 1 : Value; }
    int64_t Position() const { return FStrPosition; }
    int64_t PeekPosition() const { return FStrPeekPosition; }
    TStream* Stream() const { return FStream; }
    bool OwnStream() const { return FOwnStream; }

protected:
    // The encoding: decode or encode one code point or a block of them.
    virtual bool StreamReadChar(TStream* AStream, uint32_t& Ch) = 0;
    virtual int StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count);
    virtual bool StreamWriteChar(TStream* AStream, uint32_t Ch) = 0;
    virtual int StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count);

    // Flush for the destructors of the encodings (the base destructor can no longer reach them).
    void FlushOnDestroy() noexcept;
    void ResetBuffers();
    bool LoadBuffer();
    bool LoadPeekBuffer();

    TStream* FStream;
    bool FOwnStream;
    TDynByteArray FBOM;
    int FBufferSize = 4096;
    int64_t FStrPosition = 0;
    TUCS4Array FStrBuffer;
    int64_t FStrBufferPosition = 0;
    int64_t FStrBufferCurrentSize = 0;
    int64_t FStrBufferModifiedSize = 0;
    int64_t FStrBufferStart = 0;
    int64_t FStrBufferNext = 0;
    int64_t FStrPeekPosition = 0;
    TUCS4Array FStrPeekBuffer;
    int64_t FStrPeekBufferPosition = 0;
    int32_t FStrPeekBufferCurrentSize = 0;
    int64_t FStrPeekBufferStart = 0;
    int64_t FStrPeekBufferNext = 0;

private:
    bool ReadUCS4Slow(uint32_t& Buffer);
};

// ANSI text; CodePage 0 is the system ANSI code page. No byte-order mark.
class TKitAnsiStream : public TKitStringStream {
    ZRX_CLASS(TKitAnsiStream, TKitStringStream)
public:
    TKitAnsiStream(TStream* AStream, bool AOwnsStream);
    ~TKitAnsiStream() override { FlushOnDestroy(); }
    // A new code page governs the blocks decoded and encoded afterwards.
    uint16_t CodePage() const { return FCodePage; }
    void SetCodePage(uint16_t Value) { FCodePage = Value; }

protected:
    bool StreamReadChar(TStream* AStream, uint32_t& Ch) override;
    int StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) override;
    bool StreamWriteChar(TStream* AStream, uint32_t Ch) override;
    int StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) override;

private:
    uint16_t FCodePage = 0;
};

// UTF-8 text; byte-order mark EF BB BF.
class TKitUTF8Stream : public TKitStringStream {
    ZRX_CLASS(TKitUTF8Stream, TKitStringStream)
public:
    TKitUTF8Stream(TStream* AStream, bool AOwnsStream);
    ~TKitUTF8Stream() override { FlushOnDestroy(); }

protected:
    bool StreamReadChar(TStream* AStream, uint32_t& Ch) override;
    int StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) override;
    bool StreamWriteChar(TStream* AStream, uint32_t Ch) override;
    int StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) override;
};

// UTF-16 little-endian text; byte-order mark FF FE.
class TKitUTF16Stream : public TKitStringStream {
    ZRX_CLASS(TKitUTF16Stream, TKitStringStream)
public:
    TKitUTF16Stream(TStream* AStream, bool AOwnsStream);
    ~TKitUTF16Stream() override { FlushOnDestroy(); }

protected:
    bool StreamReadChar(TStream* AStream, uint32_t& Ch) override;
    int StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) override;
    bool StreamWriteChar(TStream* AStream, uint32_t Ch) override;
    int StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) override;
};

// Text whose encoding the constructor detects from a byte-order mark at the inner stream's position:
// EF BB BF is UTF-8 (code page 65001), FF FE is UTF-16 (1200), anything else is ANSI in the system
// code page (0). The code page chooses the encoding on every block: 0 system ANSI, 1200 UTF-16,
// 65001 UTF-8, any other value that ANSI code page.
class TKitAutoStream : public TKitStringStream {
    ZRX_CLASS(TKitAutoStream, TKitStringStream)
public:
    TKitAutoStream(TStream* AStream, bool AOwnsStream);
    ~TKitAutoStream() override { FlushOnDestroy(); }
    uint16_t CodePage() const { return FCodePage; }
    void SetCodePage(uint16_t Value) { FCodePage = Value; }
    TKitStringEncoding Encoding() const { return FEncoding; }
    // The constructor has already stepped over the byte-order mark: this only resets the buffers.
    int SkipBOM() override;

protected:
    bool StreamReadChar(TStream* AStream, uint32_t& Ch) override;
    int StreamReadChars(TStream* AStream, TUCS4Array& Buffer, int Start, int Count) override;
    bool StreamWriteChar(TStream* AStream, uint32_t Ch) override;
    int StreamWriteChars(TStream* AStream, const TUCS4Array& Buffer, int Start, int Count) override;

private:
    uint16_t FCodePage = 0;
    TKitStringEncoding FEncoding = seAuto;
};
