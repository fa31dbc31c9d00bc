// The text syntax of every node kind: parsers, writers, the child-list parser and the prolog.
#include "xml/KitSimpleXml.h"

#include <optional>
#include <utility>
#include <windows.h>

#include "runtime/SysUtils.h"
#include "text/KitCharsets.h"
#include "text/KitStrings.h"
#include "xml/KitSimpleXmlParsing.h"

using namespace KitXmlParsing;

// Messages and limits

namespace KitXmlParsing {

static std::wstring Char(uint32_t Ch) {
    return std::wstring(1, CodePointToChar(Ch));
}

static std::wstring At(TKitStringStream* Stream) {
    return L" at position " + IntToStr(Stream->PeekPosition());
}

void Raise(int Id, TKitStringStream* Stream, uint32_t Found, uint32_t Expected) {
    std::wstring found = Char(Found), expected = Char(Expected), m;
    switch (Id) {
    case 64985:
        m = L"Invalid XML Element: Expected beginning of tag but \"" + found + L"\" found";
        break;
    case 64986:
        m = L"Invalid XML Element: Expected end of tag but \"" + found + L"\" found";
        break;
    case 64987:
        m = L"Invalid XML Element: malformed tag found (no valid name)";
        break;
    case 64989:
        m = L"Invalid Comment: expected \"" + expected + L"\" but found \"" + found + L"\"";
        break;
    case 64990:
        m = L"Invalid Comment: \"--\" not allowed inside comments";
        break;
    case 64991:
        m = L"Invalid Comment: Unexpected end of data";
        break;
    case 64960:
        m = L"Invalid CDATA: expected \"" + expected + L"\" but found \"" + found + L"\"";
        break;
    case 64961:
        m = L"Invalid CDATA: Unexpected end of data";
        break;
    case 64962:
        m = L"Invalid Header: expected \"" + expected + L"\" but found \"" + found + L"\"";
        break;
    case 64963:
        m = L"Invalid Document: Unexpected text in file prolog";
        break;
    case 64983:
        throw EKitSimpleXMLError(L"Invalid XML Element: Unexpected character in property declaration (\"" +
                                 found + L"\" found" + At(Stream) + L")");
    case 64984:
        m = L"Invalid XML Element: Unexpected character in property declaration. Expecting \" or ' but \"" +
            found + L"\"  found";
        break;
    default:
        throw EKitSimpleXMLError(L"No matching charset");
    }
    throw EKitSimpleXMLError(m + At(Stream));
}

void RaiseEndTag(TKitStringStream* Stream, const std::wstring& Expected, const std::wstring& Found) {
    throw EKitSimpleXMLError(L"Invalid XML Element: Erroneous end of tag, expecting </" + Expected +
                             L"> but </" + Found + L"> found" + At(Stream));
}

void RaiseNameTooLong(TKitStringStream* Stream) {
    throw EKitSimpleXMLError(L"Invalid XML Element: name longer than " + IntToStr(MaxNameLength) +
                             L" characters" + At(Stream));
}

void RaiseValueTooLong(TKitStringStream* Stream) {
    throw EKitSimpleXMLError(L"Invalid XML Element: text longer than " + IntToStr(MaxValueLength) +
                             L" characters" + At(Stream));
}

static thread_local int Depth = 0;

TDepthGuard::TDepthGuard(TKitStringStream* Stream) {
    if (Depth >= MaxDepth)
        throw EKitSimpleXMLError(L"Invalid XML Element: elements nested deeper than " + IntToStr(MaxDepth) +
                                 L" levels" + At(Stream));
    ++Depth;
}

TDepthGuard::~TDepthGuard() {
    --Depth;
}

} // namespace KitXmlParsing

namespace {
void LoadProgress(TKitSimpleXML* AParent, TKitStringStream* Stream) {
    if (AParent && AParent->OnLoadProgress)
        AParent->DoLoadProgress(Stream->Stream()->Position(), Stream->Stream()->Size());
}

// Reads the code points of Keyword in turn, skipping white space before each; another code point raises Id.
void ExpectKeyword(TKitStringStream* Stream, const wchar_t* Keyword, int Id, int EndOfDataId) {
    uint32_t ch;
    for (const wchar_t* k = Keyword; *k;) {
        if (!Stream->ReadUCS4(ch)) Raise(EndOfDataId, Stream);
        if (ch == (uint32_t)*k)
            ++k;
        else if (!IsWhiteSpace(ch))
            Raise(Id, Stream, ch, *k);
    }
}

// The child level: one indent deeper when the node's document indents.
std::wstring ChildLevel(const TKitSimpleXMLElem* Node, const std::wstring& Level) {
    TKitSimpleXML* doc = Node->SimpleXML();
    return doc && doc->Options().Contains(sxoAutoIndent) ? Level + doc->IndentString() : Level;
}

std::wstring Encoded(const TKitSimpleXMLElem* Node, std::wstring Value) {
    if (TKitSimpleXML* doc = Node->SimpleXML()) doc->DoEncodeValue(Value);
    return Value;
}

void SaveProgress(TKitSimpleXML* AParent) {
    if (AParent) AParent->DoSaveProgress();
}
} // namespace

// TKitSimpleXMLElemClassic

void TKitSimpleXMLElemClassic::LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    TDepthGuard depth(StringStream);
    LoadProgress(AParent, StringStream);
    std::wstring prefix, name, value;
    // The content's text when it is all the content; kept aside until the end tag confirms it.
    std::optional<std::wstring> soleText;
    try {
        value = Parse(StringStream, AParent, prefix, name, soleText);
    } catch (...) {
        ListSoleText(soleText);
        throw;
    }
    ListSoleText(soleText);
    SetName(name);
    FValue = std::move(value);
    SetNameSpace(prefix);
    if (AParent) {
        AParent->DoTagParsed(FName);
        AParent->DoValueParsed(FName, FValue);
    }
}

void TKitSimpleXMLElemClassic::ListSoleText(std::optional<std::wstring>& SoleText) {
    if (!SoleText) return;
    auto text = std::make_unique<TKitSimpleXMLElemText>(this, L"");
    text->SetValue(std::move(*SoleText));
    SoleText.reset();
    Items()->AddParsed(text.release());
}

std::wstring TKitSimpleXMLElemClassic::Parse(TKitStringStream* StringStream, TKitSimpleXML* AParent,
                                             std::wstring& Prefix, std::wstring& Name,
                                             std::optional<std::wstring>& SoleText) {
    enum { sBefore, sName, sAttributes, sEmptyTag, sContent, sEndTagOpen, sEndTagName, sEndTagRest };
    int state = sBefore;
    std::wstring buffer, value;
    auto parseContent = [&] {
        TKitSimpleXMLElems::ParseContent(this, FItems.get(), StringStream, AParent, &SoleText);
        state = sContent;
    };
    auto checkEndTag = [&] {
        bool match = Prefix.empty() ? buffer == Name : TextEquals(buffer, Prefix + L":" + Name, false);
        if (!match) RaiseEndTag(StringStream, Name, buffer);
        if (SoleText && ItemCount() == 0) {
            value = std::move(*SoleText);
            SoleText.reset();
            FItems.reset();
        } else if (ItemCount() == 1 && dynamic_cast<TKitSimpleXMLElemText*>(FItems->Item(0))) {
            value = TakeValue(FItems->Item(0));
            FItems.reset();
        }
    };
    uint32_t ch;
    while (StringStream->ReadUCS4(ch)) {
        switch (state) {
        case sBefore:
            if (ch == '<')
                state = sName;
            else if (!IsWhiteSpace(ch))
                Raise(64985, StringStream, ch);
            break;
        case sName:
            if (IsNameChar(ch)) {
                AppendName(buffer, ch, StringStream);
            } else if (ch == ':' && Prefix.empty()) {
                Prefix = std::move(buffer);
                buffer.clear();
            } else if (IsWhiteSpace(ch)) {
                if (buffer.empty()) Raise(64987, StringStream);
                Name = std::move(buffer);
                buffer.clear();
                Properties()->LoadFromStringStream(StringStream);
                state = sAttributes;
            } else if (ch == '/') {
                Name = std::move(buffer);
                buffer.clear();
                state = sEmptyTag;
            } else if (ch == '>') {
                Name = std::move(buffer);
                buffer.clear();
                parseContent();
            } else {
                Raise(64987, StringStream);
            }
            break;
        case sAttributes:
            if (ch == '/')
                state = sEmptyTag;
            else if (ch == '>')
                parseContent();
            else if (!IsWhiteSpace(ch))
                Raise(64986, StringStream, ch);
            break;
        case sEmptyTag:
            if (ch != '>') Raise(64986, StringStream, ch);
            return value;
        case sContent:
            if (ch == '<')
                state = sEndTagOpen;
            else if (!IsWhiteSpace(ch))
                Raise(64986, StringStream, ch);
            break;
        case sEndTagOpen:
            if (ch != '/') Raise(64986, StringStream, ch);
            state = sEndTagName;
            break;
        case sEndTagName:
            if (ch == '>') {
                checkEndTag();
                return value;
            } else if (IsWhiteSpace(ch)) {
                checkEndTag();
                state = sEndTagRest;
            } else if (IsNameChar(ch) || ch == ':') {
                AppendName(buffer, ch, StringStream);
            } else {
                Raise(64987, StringStream);
            }
            break;
        case sEndTagRest: // blanks between the end tag's name and its ">"
            if (ch == '>') return value;
            if (!IsWhiteSpace(ch)) Raise(64986, StringStream, ch);
            break;
        }
    }
    return value; // end of data completes the element with what was read
}

void TKitSimpleXMLElemClassic::SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                                                  TKitSimpleXML* AParent) {
    const std::wstring childLevel = ChildLevel(this, Level);
    if (FName.empty()) {
        if (HasItems()) FItems->SaveToStringStream(StringStream, childLevel, AParent);
        SaveProgress(AParent);
        return;
    }
    const std::wstring fullName = Encoded(this, FullName());
    WriteTexts(StringStream, Level, L"<", fullName);
    if (FProps) FProps->SaveToStringStream(StringStream);
    if (HasItems()) {
        WriteTexts(StringStream, L">\r\n");
        FItems->SaveToStringStream(StringStream, childLevel, AParent);
        WriteTexts(StringStream, Level, L"</", fullName, L">\r\n");
    } else if (FValue.empty()) {
        WriteTexts(StringStream, L"/>\r\n");
    } else {
        WriteTexts(StringStream, L">", Encoded(this, FValue), L"</", fullName, L">\r\n");
    }
    SaveProgress(AParent);
}

// TKitSimpleXMLElemComment

void TKitSimpleXMLElemComment::LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    LoadProgress(AParent, StringStream);
    ExpectKeyword(StringStream, L"<!--", 64989, 64991);
    std::wstring text;
    int dashes = 0; // "-" read right before
    uint32_t ch;
    for (;;) {
        if (!StringStream->ReadUCS4(ch)) Raise(64991, StringStream);
        if (dashes == 2) {
            if (ch != '>') Raise(64990, StringStream);
            break;
        }
        if (ch == '-') {
            ++dashes;
            continue;
        }
        if (dashes == 1) AppendValue(text, '-', StringStream);
        dashes = 0;
        AppendValue(text, ch, StringStream);
    }
    FValue = std::move(text);
    FName.clear();
    if (AParent) AParent->DoValueParsed(L"", FValue);
}

void TKitSimpleXMLElemComment::SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                                                  TKitSimpleXML* AParent) {
    WriteTexts(StringStream, Level, L"<!--", FValue, L"-->\r\n");
    SaveProgress(AParent);
}

// TKitSimpleXMLElemCData

void TKitSimpleXMLElemCData::LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    LoadProgress(AParent, StringStream);
    ExpectKeyword(StringStream, L"<![CDATA[", 64960, 64961);
    std::wstring text;
    int brackets = 0; // "]" read right before, at most 2 held back
    uint32_t ch;
    for (;;) {
        if (!StringStream->ReadUCS4(ch)) Raise(64961, StringStream);
        if (ch == ']') {
            if (brackets == 2)
                AppendValue(text, ']', StringStream);
            else
                ++brackets;
            continue;
        }
        if (brackets == 2 && ch == '>') break;
        for (; brackets > 0; --brackets) AppendValue(text, ']', StringStream);
        AppendValue(text, ch, StringStream);
    }
    FValue = std::move(text);
    FName.clear();
    if (AParent) AParent->DoValueParsed(L"", FValue);
}

void TKitSimpleXMLElemCData::SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                                                TKitSimpleXML* AParent) {
    WriteTexts(StringStream, Level, L"<![CDATA[", FValue, L"]]>\r\n");
    SaveProgress(AParent);
}

// TKitSimpleXMLElemText

static bool IsControlOrBlank(wchar_t C) {
    return C <= L' ';
}

void TKitSimpleXMLElemText::LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    LoadProgress(AParent, StringStream);
    // The child list has peeked ahead; reading starts where the text starts.
    StringStream->Seek(0, soCurrent);
    // Collected in a buffer that keeps its capacity, so that each value is allocated once, at its size.
    static thread_local std::wstring buffer;
    buffer.clear();
    uint32_t ch;
    while (StringStream->PeekUCS4(ch) && ch != '<') {
        StringStream->ReadUCS4(ch);
        AppendValue(buffer, ch, StringStream);
    }
    // A long text takes the buffer itself rather than a copy, and leaves nothing behind.
    std::wstring text = buffer.capacity() > 4096 ? std::exchange(buffer, std::wstring()) : buffer;
    if (TKitSimpleXML* doc = SimpleXML()) {
        doc->DoDecodeValue(text);
        const TKitSimpleXMLOptions options = doc->Options();
        size_t first = 0, last = text.size();
        if (options.Contains(sxoTrimPrecedingTextWhitespace))
            while (first < last && IsControlOrBlank(text[first])) ++first;
        if (options.Contains(sxoTrimFollowingTextWhitespace))
            while (last > first && IsControlOrBlank(text[last - 1])) --last;
        if (!(first == last && options.Contains(sxoKeepWhitespace))) text = text.substr(first, last - first);
    }
    FValue = std::move(text);
    FName.clear();
    if (AParent) AParent->DoValueParsed(L"", FValue);
}

void TKitSimpleXMLElemText::SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                                               TKitSimpleXML* AParent) {
    if (!FValue.empty()) WriteTexts(StringStream, Level, Encoded(this, FValue), L"\r\n");
    SaveProgress(AParent);
}

// TKitSimpleXMLElemProcessingInstruction

void TKitSimpleXMLElemProcessingInstruction::LoadFromStringStream(TKitStringStream* StringStream,
                                                                  TKitSimpleXML* AParent) {
    LoadProgress(AParent, StringStream);
    enum { sBefore, sQuestion, sTarget, sAttributes, sEnd };
    int state = sBefore;
    std::wstring prefix, name, buffer;
    uint32_t ch;
    for (bool complete = false; !complete;) {
        if (!StringStream->ReadUCS4(ch)) Raise(64991, StringStream);
        switch (state) {
        case sBefore:
            if (ch == '<')
                state = sQuestion;
            else if (!IsWhiteSpace(ch))
                Raise(64985, StringStream, ch);
            break;
        case sQuestion:
            if (ch != '?') Raise(64987, StringStream);
            state = sTarget;
            break;
        case sTarget:
            if (IsNameChar(ch)) {
                AppendName(buffer, ch, StringStream);
            } else if (ch == ':' && prefix.empty()) {
                prefix = std::move(buffer);
                buffer.clear();
            } else if (IsWhiteSpace(ch)) {
                if (buffer.empty()) Raise(64987, StringStream);
                name = std::move(buffer);
                Properties()->LoadFromStringStream(StringStream);
                state = sAttributes;
            } else if (ch == '?') {
                name = std::move(buffer);
                state = sEnd;
            } else {
                Raise(64987, StringStream);
            }
            break;
        case sAttributes:
            if (ch == '?')
                state = sEnd;
            else if (!IsWhiteSpace(ch))
                Raise(64986, StringStream, ch);
            break;
        case sEnd:
            if (ch != '>') Raise(64986, StringStream, ch);
            complete = true;
            break;
        }
    }
    SetName(name);
    SetNameSpace(prefix);
}

void TKitSimpleXMLElemProcessingInstruction::SaveToStringStream(TKitStringStream* StringStream,
                                                                const std::wstring& Level,
                                                                TKitSimpleXML* AParent) {
    WriteTexts(StringStream, Level, L"<?", FullName());
    if (FProps) FProps->SaveToStringStream(StringStream);
    WriteTexts(StringStream, L"?>\r\n");
    SaveProgress(AParent);
}

// TKitSimpleXMLElemHeader

namespace {
// A header read through an 8-bit decoding cannot truthfully declare UTF-16.
bool IsUTF16CodePage(uint16_t CodePage) {
    return CodePage == 1200 || CodePage == 1201;
}
} // namespace

void TKitSimpleXMLElemHeader::LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    TKitSimpleXMLElemProcessingInstruction::LoadFromStringStream(StringStream, AParent);
    uint16_t codePage = 0;
    TKitSimpleXMLProp* encoding = FProps ? FProps->Find(L"encoding") : nullptr;
    if (encoding && !encoding->Value().empty()) {
        try {
            codePage = CodePageOfCharsetName(encoding->Value());
        } catch (const EKitCharsetError& e) {
            throw EKitSimpleXMLError(e.Message());
        }
    }
    if (auto* autoStream = dynamic_cast<TKitAutoStream*>(StringStream)) {
        // A byte-order mark has already fixed the encoding; the header cannot overrule the bytes.
        bool bom = autoStream->Encoding() == seUTF8 || autoStream->Encoding() == seUTF16;
        if (!bom && !IsUTF16CodePage(codePage)) autoStream->SetCodePage(codePage);
    } else if (auto* ansiStream = dynamic_cast<TKitAnsiStream*>(StringStream)) {
        if (!IsUTF16CodePage(codePage)) ansiStream->SetCodePage(codePage);
    } else if (!dynamic_cast<TKitUTF8Stream*>(StringStream) &&
               !dynamic_cast<TKitUTF16Stream*>(StringStream)) {
        throw EKitSimpleXMLError(L"No matching charset");
    }
}

TKitSimpleXMLProp* TKitSimpleXMLElemHeader::FindOrAdd(const std::wstring& Name, int Index) {
    if (TKitSimpleXMLProp* prop = Properties()->Find(Name)) return prop;
    return Properties()->Insert(Index < 0 ? FProps->Count() : Index, Name, std::wstring());
}

std::wstring TKitSimpleXMLElemHeader::Version() {
    TKitSimpleXMLProp* prop = FProps ? FProps->Find(L"version") : nullptr;
    return prop ? prop->Value() : L"1.0";
}

void TKitSimpleXMLElemHeader::SetVersion(const std::wstring& Value) {
    FindOrAdd(L"version", 0)->SetValue(Value);
}

std::wstring TKitSimpleXMLElemHeader::Encoding() {
    if (TKitSimpleXMLProp* prop = FProps ? FProps->Find(L"encoding") : nullptr) return prop->Value();
    TKitSimpleXML* doc = SimpleXML();
    if (!doc) return CharsetNameOfCodePage(1200);
    return CharsetNameOfCodePage(doc->CodePage() ? doc->CodePage() : (uint16_t)GetACP());
}

void TKitSimpleXMLElemHeader::SetEncoding(const std::wstring& Value) {
    FindOrAdd(L"encoding", -1)->SetValue(Value);
}

bool TKitSimpleXMLElemHeader::StandAlone() {
    TKitSimpleXMLProp* prop = FProps ? FProps->Find(L"standalone") : nullptr;
    return prop && prop->Value() == L"yes";
}

void TKitSimpleXMLElemHeader::SetStandAlone(bool Value) {
    FindOrAdd(L"standalone", -1)->SetValue(Value ? L"yes" : L"no");
}

void TKitSimpleXMLElemHeader::SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                                                 TKitSimpleXML* AParent) {
    SetVersion(Version());
    SetEncoding(Encoding());
    SetStandAlone(StandAlone());
    TKitSimpleXMLElemProcessingInstruction::SaveToStringStream(StringStream, Level, AParent);
}

// TKitSimpleXMLElemDocType

void TKitSimpleXMLElemDocType::LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    LoadProgress(AParent, StringStream);
    ExpectKeyword(StringStream, L"<!DOCTYPE", 64962, 64991);
    std::wstring text;
    uint32_t closing = '>', ch;
    for (;;) {
        if (!StringStream->ReadUCS4(ch)) Raise(64991, StringStream);
        if (ch == closing) {
            if (closing == '>') break;
            closing = '>';
        } else if (ch == '[') {
            closing = ']';
        }
        AppendValue(text, ch, StringStream);
    }
    FName.clear();
    FValue = TextSkipLeading(text, CharIsWhiteSpace);
    if (AParent) AParent->DoValueParsed(L"", FValue);
}

void TKitSimpleXMLElemDocType::SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                                                  TKitSimpleXML* AParent) {
    WriteTexts(StringStream, Level, L"<!DOCTYPE ", FValue, L">\r\n");
    SaveProgress(AParent);
}

// TKitSimpleXMLElems: the content of an element

namespace {
// The longest construct the content and prolog parsers tell apart by its opening characters.
const size_t LongestOpening = 32;

// Whether the buffer holds exactly the opening Text (lengths first: most buffers differ in length).
template <size_t N> bool Is(const std::wstring& Buffer, const wchar_t (&Text)[N]) {
    return Buffer.size() == N - 1 && Buffer.compare(0, N - 1, Text, N - 1) == 0;
}
} // namespace

void TKitSimpleXMLElems::LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    ParseContent(FParent, this, StringStream, AParent, nullptr);
}

void TKitSimpleXMLElems::ParseContent(TKitSimpleXMLElem* Owner, TKitSimpleXMLElems* List,
                                      TKitStringStream* StringStream, TKitSimpleXML* AParent,
                                      std::optional<std::wstring>* SoleText) {
    if (List) List->Clear();
    const bool keepWhitespace = AParent && AParent->Options().Contains(sxoKeepWhitespace);
    bool textSeen = false, blankSeen = false, inTag = false;
    std::wstring buffer;
    LoadProgress(AParent, StringStream);
    auto parseChild = [&](TKitSimpleXMLElem* Node) {
        std::unique_ptr<TKitSimpleXMLElem> node(Node);
        if (AParent) AParent->ChargeLoad(NodeCost);
        node->LoadFromStringStream(StringStream, AParent);
        if (!List) List = Owner->Items(); // made with the first child
        List->AddParsed(node.release());
    };
    auto textPending = [&] { return textSeen || (blankSeen && keepWhitespace); };
    uint32_t ch;
    while (StringStream->PeekUCS4(ch)) {
        if (!inTag) {
            if (ch == '<') {
                buffer = L"<";
                inTag = true;
            } else if (IsWhiteSpace(ch)) {
                blankSeen = true;
            } else {
                textSeen = true;
            }
            continue;
        }
        if (ch == ' ' || ch == ':' || ch == '>') {
            parseChild(new TKitSimpleXMLElemClassic(Owner, L""));
            buffer.clear();
            inTag = false;
        } else if (ch == '/') {
            if (Is(buffer, L"<")) { // the parent's end tag
                if (!textPending()) return;
                if (SoleText && (!List || List->Count() == 0)) {
                    // Text alone: the element will most likely take it as its value, so the node is
                    // parsed here and handed over instead of being listed (and freed again).
                    TKitSimpleXMLElemText text(Owner, L"");
                    text.LoadFromStringStream(StringStream, AParent);
                    *SoleText = TKitSimpleXMLElem::TakeValue(&text);
                } else {
                    parseChild(new TKitSimpleXMLElemText(Owner, L""));
                }
                return;
            }
            parseChild(new TKitSimpleXMLElemClassic(Owner, L""));
            inTag = false;
        } else if (textPending()) {
            // The text before this tag first; the code point is looked at again.
            parseChild(new TKitSimpleXMLElemText(Owner, L""));
            textSeen = blankSeen = false;
        } else {
            if (!(IsWhiteSpace(ch) && Is(buffer, L"<![CDATA")) && buffer.size() < LongestOpening)
                AppendCodePoint(buffer, ch);
            TKitSimpleXMLElem* node = nullptr;
            if (Is(buffer, L"<![CDATA["))
                node = new TKitSimpleXMLElemCData(Owner, L"");
            else if (Is(buffer, L"<!--"))
                node = new TKitSimpleXMLElemComment(Owner, L"");
            else if (Is(buffer, L"<?"))
                node = new TKitSimpleXMLElemProcessingInstruction(Owner, L"");
            if (node) {
                parseChild(node);
                buffer.clear();
                inTag = false;
            }
        }
    }
    // End of data: pending text is dropped, so the element being read ends here too.
    while (StringStream->ReadUCS4(ch)) {
    }
}

// TKitSimpleXMLElemsProlog

TKitSimpleXMLElem* TKitSimpleXMLElemsProlog::Item(int Index) const {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
    return static_cast<TKitSimpleXMLElem*>(FElems.Object(Index));
}

void TKitSimpleXMLElemsProlog::Clear() {
    for (int i = 0; i < FElems.Count(); ++i) delete FElems.Object(i);
    FElems.Clear();
}

namespace {
uint16_t CodePageOf(TKitStringStream* Stream) {
    if (auto* s = dynamic_cast<TKitAutoStream*>(Stream)) return s->CodePage();
    if (auto* s = dynamic_cast<TKitAnsiStream*>(Stream)) return s->CodePage();
    return 0;
}
} // namespace

bool TKitSimpleXMLElemsProlog::Parse(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    LoadProgress(AParent, StringStream);
    std::wstring buffer;
    bool inTag = false;
    uint32_t ch;
    while (StringStream->PeekUCS4(ch)) {
        if (!inTag) {
            if (ch == '<') {
                buffer = L"<";
                inTag = true;
            } else if (!IsWhiteSpace(ch)) {
                Raise(64963, StringStream);
            }
            continue;
        }
        if (!(IsWhiteSpace(ch) && Is(buffer, L"<![CDATA"))) {
            if (buffer.size() < LongestOpening)
                AppendCodePoint(buffer, ch);
            else // only the second and the last code point matter from here on
                buffer.back() = ch <= 0xFFFF ? wchar_t(ch) : L'\xFFFD';
        }
        std::unique_ptr<TKitSimpleXMLElem> node;
        if (Is(buffer, L"<![CDATA[")) return true;
        if (Is(buffer, L"<!--"))
            node = std::make_unique<TKitSimpleXMLElemComment>(nullptr, L"");
        else if (Is(buffer, L"<?xml-stylesheet"))
            node = std::make_unique<TKitSimpleXMLElemSheet>(nullptr, L"");
        else if (Is(buffer, L"<?xml "))
            node = std::make_unique<TKitSimpleXMLElemHeader>(nullptr, L"");
        else if (Is(buffer, L"<!DOCTYPE"))
            node = std::make_unique<TKitSimpleXMLElemDocType>(nullptr, L"");
        else if (Is(buffer, L"<?mso-application"))
            node = std::make_unique<TKitSimpleXMLElemMSOApplication>(nullptr, L"");
        else if (buffer.size() > 3 && buffer[1] == L'?' && IsWhiteSpace((uint16_t)buffer.back()))
            node = std::make_unique<TKitSimpleXMLElemProcessingInstruction>(nullptr, L"");
        else if (buffer.size() >= 2 && buffer[1] != L'!' && buffer[1] != L'?')
            return true; // the root element begins
        if (!node) continue;
        const uint16_t codePage = CodePageOf(StringStream);
        const bool header = dynamic_cast<TKitSimpleXMLElemHeader*>(node.get()) != nullptr;
        if (AParent) AParent->ChargeLoad(NodeCost);
        node->LoadFromStringStream(StringStream, AParent);
        FElems.Add(node->Name(), node.get());
        node.release();
        buffer.clear();
        inTag = false;
        if (header && CodePageOf(StringStream) != codePage) return false;
    }
    return true;
}

void TKitSimpleXMLElemsProlog::LoadFromStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    while (!Parse(StringStream, AParent)) {
    }
}

void TKitSimpleXMLElemsProlog::SaveToStringStream(TKitStringStream* StringStream, TKitSimpleXML* AParent) {
    FindHeader();
    for (TKitSimpleXMLElem* node : *this) node->SaveToStringStream(StringStream, L"", AParent);
}

TKitSimpleXMLElemHeader* TKitSimpleXMLElemsProlog::FindHeader() {
    for (TKitSimpleXMLElem* node : *this)
        if (auto* header = dynamic_cast<TKitSimpleXMLElemHeader*>(node)) return header;
    auto header = std::make_unique<TKitSimpleXMLElemHeader>(nullptr, L"xml");
    header->FSimpleXML = FSimpleXml;
    FElems.Add(L"", header.get());
    return header.release();
}

TKitSimpleXMLElemSheet* TKitSimpleXMLElemsProlog::AddStyleSheet(const std::wstring& AType,
                                                                const std::wstring& AHRef) {
    FindHeader();
    auto sheet = std::make_unique<TKitSimpleXMLElemSheet>(nullptr, L"xml-stylesheet");
    sheet->Properties()->Add(L"type", AType);
    sheet->Properties()->Add(L"href", AHRef);
    FElems.Add(L"xml-stylesheet", sheet.get());
    return sheet.release();
}

TKitSimpleXMLElemMSOApplication* TKitSimpleXMLElemsProlog::AddMSOApplication(const std::wstring& AProgId) {
    FindHeader();
    auto mso = std::make_unique<TKitSimpleXMLElemMSOApplication>(nullptr, L"mso-application");
    mso->Properties()->Add(L"progid", AProgId);
    FElems.Add(L"mso-application", mso.get());
    return mso.release();
}

TKitSimpleXMLElemComment* TKitSimpleXMLElemsProlog::AddComment(const std::wstring& AValue) {
    FindHeader();
    auto comment = std::make_unique<TKitSimpleXMLElemComment>(nullptr, L"");
    comment->SetValue(AValue);
    FElems.Add(L"", comment.get());
    return comment.release();
}

TKitSimpleXMLElemDocType* TKitSimpleXMLElemsProlog::AddDocType(const std::wstring& AValue) {
    FindHeader();
    auto docType = std::make_unique<TKitSimpleXMLElemDocType>(nullptr, L"");
    docType->SetValue(AValue);
    FElems.Add(L"", docType.get());
    return docType.release();
}
