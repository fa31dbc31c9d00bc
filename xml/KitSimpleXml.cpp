// The document: options, value coding, events, loading and saving.
#include "xml/KitSimpleXml.h"

#include <algorithm>
#include <new>
#include <windows.h>

#include "text/KitCharsets.h"
#include "text/KitStrings.h"
#include "xml/KitSimpleXmlParsing.h"

TKitSimpleXML::TKitSimpleXML()
    : FOptions{sxoAutoIndent, sxoAutoEncodeValue, sxoAutoEncodeEntity},
      FOwnRoot(std::make_unique<TKitSimpleXMLElemClassic>(nullptr, L"")),
      FProlog(std::make_unique<TKitSimpleXMLElemsProlog>(this)) {
    FRoot = FOwnRoot.get();
    FRoot->FSimpleXML = this;
}

TKitSimpleXML::~TKitSimpleXML() {
    FOwnRoot.reset();
    FProlog.reset();
}

void TKitSimpleXML::SetIndentString(const std::wstring& Value) {
    if (TextMatchesCharClass(Value, CharIsWhiteSpace, true)) FIndentString = Value;
}

void TKitSimpleXML::SetBaseIndentString(const std::wstring& Value) {
    if (TextMatchesCharClass(Value, CharIsWhiteSpace, true)) FBaseIndentString = Value;
}

void TKitSimpleXML::SetFileName(const std::wstring& Value) {
    FFileName = Value;
    LoadFromFile(Value, seAuto, 0);
}

// Value coding and events

void TKitSimpleXML::DoEncodeValue(std::wstring& Value) {
    if (OnEncodeValue) OnEncodeValue(this, Value);
    if (FOptions.Contains(sxoAutoEncodeValue)) {
        if (XmlValueNeedsEncoding(Value, true)) Value = EncodeXmlValue(Value);
    } else if (FOptions.Contains(sxoAutoEncodeEntity)) {
        if (XmlValueNeedsEncoding(Value, false)) Value = EncodeBasicEntities(Value);
    }
}

void TKitSimpleXML::DoDecodeValue(std::wstring& Value) {
    if (FOptions.Contains(sxoAutoEncodeValue))
        DecodeXmlValue(Value);
    else if (FOptions.Contains(sxoAutoEncodeEntity) && Value.find(L'&') != std::wstring::npos)
        Value = DecodeBasicEntities(Value);
    if (OnDecodeValue) OnDecodeValue(this, Value);
}

void TKitSimpleXML::DoLoadProgress(int64_t Position, int64_t Total) {
    if (OnLoadProgress) OnLoadProgress(this, (int)Position, (int)Total);
}

void TKitSimpleXML::DoSaveProgress() {
    if (!OnSaveProgress) return;
    ++FSaveCurrent;
    OnSaveProgress(this, FSaveCurrent, FSaveCount);
}

void TKitSimpleXML::DoTagParsed(const std::wstring& Name) {
    if (OnTagParsed) OnTagParsed(this, Name);
}

void TKitSimpleXML::DoValueParsed(const std::wstring& Name, const std::wstring& Value) {
    if (OnValueParsed) OnValueParsed(this, Name, Value);
}

// Loading

void TKitSimpleXML::ChargeLoad(int64_t Bytes) {
    FLoadBudget -= Bytes;
    if (FLoadBudget < 0)
        throw EKitSimpleXMLError(L"Invalid Document: more nodes than a document of this size may hold");
}

void TKitSimpleXML::LoadFromFile(const std::wstring& FileName, TKitStringEncoding Encoding,
                                 uint16_t CodePage) {
    TMemoryStream stream;
    stream.LoadFromFile(FileName);
    LoadFromStream(&stream, Encoding, CodePage);
}

void TKitSimpleXML::LoadFromResourceName(void* Instance, const std::wstring& ResName,
                                         TKitStringEncoding Encoding, uint16_t CodePage) {
    TResourceStream stream(Instance, ResName, RT_RCDATA);
    LoadFromStream(&stream, Encoding, CodePage);
}

void TKitSimpleXML::LoadFromString(const std::wstring& Value) {
    TStringStream stream(Value, TStringStream::cpUnicode);
    LoadFromStream(&stream, seUTF16, 1200);
}

void TKitSimpleXML::LoadFromStringStream(TKitStringStream* StringStream) {
    DoLoadProgress(StringStream->Stream()->Position(), StringStream->Stream()->Size());
    FProlog->LoadFromStringStream(StringStream, this);
    FRoot->LoadFromStringStream(StringStream, this);
    DoLoadProgress(StringStream->Stream()->Position(), StringStream->Stream()->Size());
}

void TKitSimpleXML::LoadFromStream(TStream* Stream, TKitStringEncoding Encoding, uint16_t CodePage) {
    FRoot->Clear();
    FProlog->Clear();
    std::unique_ptr<TMemoryStream> decoded;
    if (OnDecodeStream) {
        decoded = std::make_unique<TMemoryStream>();
        OnDecodeStream(this, Stream, decoded.get());
        decoded->SetPosition(0);
        Stream = decoded.get();
    }
    try {
        Parse(Stream, Encoding, CodePage);
    } catch (const std::bad_alloc&) {
        FRoot->Clear();
        FProlog->Clear();
        throw EKitSimpleXMLError(L"Invalid Document: not enough memory to load the document");
    }
}

namespace {
std::unique_ptr<TKitStringStream> NewReader(TStream* Source, TKitStringEncoding Encoding, uint16_t CodePage) {
    std::unique_ptr<TKitStringStream> text;
    switch (Encoding) {
    case seAnsi: {
        // UTF-8 is no ANSI code page for the system's conversions: it gets its own reader.
        if (CodePage == 65001) return std::make_unique<TKitUTF8Stream>(Source, false);
        auto ansi = std::make_unique<TKitAnsiStream>(Source, false);
        ansi->SetCodePage(CodePage);
        return ansi;
    }
    case seUTF8:
        return std::make_unique<TKitUTF8Stream>(Source, false);
    case seUTF16:
        return std::make_unique<TKitUTF16Stream>(Source, false);
    case seAuto:
    default: {
        auto detecting = std::make_unique<TKitAutoStream>(Source, false);
        if (CodePage != 0) detecting->SetCodePage(CodePage);
        return detecting;
    }
    }
}
} // namespace

void TKitSimpleXML::Parse(TStream* Source, TKitStringEncoding Encoding, uint16_t CodePage) {
    const int64_t start = Source->Position();
    FLoadBudget =
        std::max(KitXmlParsing::MinLoadBudget, (Source->Size() - start) * KitXmlParsing::MaxCostPerByte);
    struct TBudgetEnd {
        int64_t& Budget;
        ~TBudgetEnd() { Budget = INT64_MAX; }
    } budgetEnd{FLoadBudget};
    std::unique_ptr<TKitStringStream> text = NewReader(Source, Encoding, CodePage);
    text->SkipBOM();
    DoLoadProgress(Source->Position(), Source->Size());
    if (!FProlog->Parse(text.get(), this)) {
        // The header declared another encoding. It governs the whole text: read it afresh from the start
        // in that encoding, rather than only from the next block the stream decodes.
        uint16_t declared = dynamic_cast<TKitAutoStream*>(text.get())
                                ? static_cast<TKitAutoStream*>(text.get())->CodePage()
                                : static_cast<TKitAnsiStream*>(text.get())->CodePage();
        text.reset();
        FProlog->Clear();
        Source->SetPosition(start);
        CodePage = declared;
        text = NewReader(Source, Encoding, CodePage);
        text->SkipBOM();
        FProlog->LoadFromStringStream(text.get(), this);
    }
    FRoot->LoadFromStringStream(text.get(), this);
    DoLoadProgress(Source->Position(), Source->Size());
    if (auto* detecting = dynamic_cast<TKitAutoStream*>(text.get())) {
        FCodePage = detecting->CodePage();
        FEncoding = detecting->Encoding();
    } else {
        FEncoding = Encoding;
        if (auto* ansi = dynamic_cast<TKitAnsiStream*>(text.get()))
            FCodePage = ansi->CodePage();
        else
            FCodePage = Encoding == seAnsi ? 65001 : CodePage;
    }
}

// Saving

void TKitSimpleXML::SaveToFile(const std::wstring& FileName, TKitStringEncoding Encoding, uint16_t CodePage) {
    // Settled before the file is touched: a charset error leaves an existing file as it was.
    ResolveSaveEncoding(Encoding, CodePage);
    std::unique_ptr<TFileStream> file;
    if (GetFileAttributesW(FileName.c_str()) != INVALID_FILE_ATTRIBUTES) {
        file = std::make_unique<TFileStream>(FileName, fmOpenWrite | fmShareDenyWrite);
        file->SetSize(0);
    } else {
        file = std::make_unique<TFileStream>(FileName, fmCreate);
    }
    SaveToStream(file.get(), Encoding, CodePage);
}

void TKitSimpleXML::ResolveSaveEncoding(TKitStringEncoding& Encoding, uint16_t& CodePage) const {
    if (Encoding != seAuto) return;
    TKitSimpleXMLElemHeader* header = nullptr;
    for (TKitSimpleXMLElem* node : *FProlog)
        if ((header = dynamic_cast<TKitSimpleXMLElemHeader*>(node))) break;
    if (header) {
        CodePage = CodePageOfCharsetName(header->Encoding());
        Encoding = CodePage == 1200 ? seUTF16 : CodePage == 65001 ? seUTF8 : seAnsi;
    } else {
        Encoding = FEncoding == seAuto ? seAnsi : FEncoding;
        CodePage = FCodePage;
    }
}

void TKitSimpleXML::SaveToStream(TStream* Stream, TKitStringEncoding Encoding, uint16_t CodePage) {
    ResolveSaveEncoding(Encoding, CodePage);
    std::unique_ptr<TMemoryStream> encoded;
    TStream* target = Stream;
    if (OnEncodeStream) {
        encoded = std::make_unique<TMemoryStream>();
        target = encoded.get();
    }
    std::unique_ptr<TKitStringStream> text;
    if (Encoding == seUTF8) {
        text = std::make_unique<TKitUTF8Stream>(target, false);
        FCodePage = 65001;
    } else if (Encoding == seUTF16) {
        text = std::make_unique<TKitUTF16Stream>(target, false);
        FCodePage = 1200;
    } else {
        auto ansi = std::make_unique<TKitAnsiStream>(target, false);
        ansi->SetCodePage(CodePage);
        text = std::move(ansi);
    }
    if (!FOptions.Contains(sxoDoNotSaveBOM)) text->WriteBOM();
    SaveToStringStream(text.get());
    text->Flush();
    text.reset();
    if (encoded) {
        encoded->SetPosition(0);
        OnEncodeStream(this, encoded.get(), Stream);
    }
}

void TKitSimpleXML::SaveToStringStream(TKitStringStream* StringStream) {
    FSaveCount = FRoot->ChildsCount() + FProlog->Count();
    FSaveCurrent = 0;
    if (OnSaveProgress) OnSaveProgress(this, 0, FSaveCount);
    if (!FOptions.Contains(sxoDoNotSaveProlog)) FProlog->SaveToStringStream(StringStream, this);
    FRoot->SaveToStringStream(StringStream, FBaseIndentString, this);
    if (OnSaveProgress) OnSaveProgress(this, FSaveCount, FSaveCount);
}

std::wstring TKitSimpleXML::SaveToString() {
    TStringStream stream(L"", TStringStream::cpUnicode);
    SaveToStream(&stream, seUTF16, 1200);
    return stream.DataString();
}
