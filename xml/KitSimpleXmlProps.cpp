// Attributes: the list with its look-ups and typed values, the attribute parser and writer.
#include "xml/KitSimpleXml.h"

#include <utility>
#include <windows.h>

#include "runtime/SysUtils.h"
#include "xml/KitSimpleXmlParsing.h"

using namespace KitXmlParsing;

// TKitSimpleXMLProp

void TKitSimpleXMLProp::SetName(const std::wstring& Value) {
    if (Value == FName || Value.empty()) return;
    if (FParent && !FName.empty()) {
        int i = FParent->FProperties.IndexOfObject(this);
        if (i >= 0) FParent->FProperties.Rename(i, Value);
    }
    FName = Value;
}

TKitSimpleXML* TKitSimpleXMLProp::SimpleXML() const {
    return FParent && FParent->Parent() ? FParent->Parent()->SimpleXML() : nullptr;
}

void TKitSimpleXMLProp::SaveToStringStream(TKitStringStream* StringStream) {
    TKitSimpleXML* doc = SimpleXML();
    std::wstring encoded;
    if (doc) {
        encoded = FValue;
        doc->DoEncodeValue(encoded);
    }
    const std::wstring& value = doc ? encoded : FValue;
    if (NameSpace().empty())
        WriteTexts(StringStream, L" ", FName, L"=\"", value, L"\"");
    else
        WriteTexts(StringStream, L" ", NameSpace(), L":", FName, L"=\"", value, L"\"");
}

// TKitSimpleXMLProps

TKitSimpleXMLProps::~TKitSimpleXMLProps() {
    FParent = nullptr;
    Clear();
}

void TKitSimpleXMLProps::Error(const std::wstring& S) {
    throw EKitSimpleXMLError(S);
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Item(int Index) const {
    if (Count() == 0) return nullptr;
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
    return static_cast<TKitSimpleXMLProp*>(FProperties.Object(Index));
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Find(const std::wstring& Name) const {
    int i = FProperties.IndexOf(Name);
    return i < 0 ? nullptr : Item(i);
}

TKitSimpleXMLProp* TKitSimpleXMLProps::ItemNamedDefault(const std::wstring& Name,
                                                        const std::wstring& Default) {
    if (TKitSimpleXMLProp* prop = Find(Name)) return prop;
    TKitSimpleXML* doc = FParent ? FParent->SimpleXML() : nullptr;
    return doc && doc->Options().Contains(sxoAutoCreate) ? Add(Name, Default) : nullptr;
}

TKitSimpleXMLProp* TKitSimpleXMLProps::InsertProp(int Index, const std::wstring& Name, std::wstring Value) {
    if (Index < 0 || Index > Count()) RaiseListIndexError(Index);
    auto prop = std::make_unique<TKitSimpleXMLProp>(Name);
    prop->SetValue(std::move(Value));
    prop->FParent = this;
    FProperties.Insert(Index, Name, prop.get());
    return prop.release();
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Add(const std::wstring& Name, const std::wstring& Value) {
    return InsertProp(Count(), Name, Value);
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Add(const std::wstring& Name, int64_t Value) {
    return Add(Name, IntToStr(Value));
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Add(const std::wstring& Name, bool Value) {
    return Add(Name, BoolToStr(Value, true));
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Add(const std::wstring& Name, const std::string& Value) {
    TKitSimpleXMLProp* prop = Add(Name, std::wstring());
    prop->SetAnsiValue(Value);
    return prop;
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Insert(int Index, const std::wstring& Name,
                                              const std::wstring& Value) {
    return InsertProp(Index, Name, Value);
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Insert(int Index, const std::wstring& Name, int64_t Value) {
    return InsertProp(Index, Name, IntToStr(Value));
}

TKitSimpleXMLProp* TKitSimpleXMLProps::Insert(int Index, const std::wstring& Name, bool Value) {
    return InsertProp(Index, Name, BoolToStr(Value, true));
}

void TKitSimpleXMLProps::Clear() {
    for (int i = Count() - 1; i >= 0; --i) delete FProperties.Object(i);
    FProperties.Clear();
}

void TKitSimpleXMLProps::Delete(int Index) {
    if (Index < 0 || Index >= Count()) return;
    delete FProperties.Object(Index);
    FProperties.Delete(Index);
}

void TKitSimpleXMLProps::Delete(const std::wstring& Name) {
    Delete(FProperties.IndexOf(Name));
}

std::wstring TKitSimpleXMLProps::Value(const std::wstring& Name, const std::wstring& Default) {
    TKitSimpleXMLProp* prop = ItemNamedDefault(Name, Default);
    return prop ? prop->Value() : Default;
}

int64_t TKitSimpleXMLProps::IntValue(const std::wstring& Name, int64_t Default) {
    TKitSimpleXMLProp* prop = ItemNamedDefault(Name, IntToStr(Default));
    return prop ? prop->IntValue() : Default;
}

bool TKitSimpleXMLProps::BoolValue(const std::wstring& Name, bool Default) {
    try {
        TKitSimpleXMLProp* prop = ItemNamedDefault(Name, BoolToStr(Default, true));
        return !prop || prop->Value().empty() ? Default : prop->BoolValue();
    } catch (const std::exception&) {
        return Default;
    }
}

double TKitSimpleXMLProps::FloatValue(const std::wstring& Name, double Default) {
    TKitSimpleXMLProp* prop = ItemNamedDefault(Name, FloatToStr(Default));
    return prop ? prop->FloatValue() : Default;
}

void TKitSimpleXMLProps::SaveToStringStream(TKitStringStream* StringStream) {
    for (TKitSimpleXMLProp* prop : *this) prop->SaveToStringStream(StringStream);
}

void TKitSimpleXMLProps::LoadFromStringStream(TKitStringStream* StringStream) {
    Clear();
    enum { sBeforeName, sName, sAfterEquals, sValue, sBeforeEquals } state = sBeforeName;
    std::wstring prefix, name, value;
    uint32_t quote = 0, ch;
    TKitSimpleXML* doc = FParent ? FParent->SimpleXML() : nullptr;
    while (StringStream->PeekUCS4(ch)) {
        if (state != sBeforeName) StringStream->ReadUCS4(ch);
        switch (state) {
        case sBeforeName:
            if (IsWhiteSpace(ch)) {
                StringStream->ReadUCS4(ch);
            } else if (ch == '-' || ch == '.' || ch == '_' || IsNameStart(ch)) {
                StringStream->ReadUCS4(ch);
                name.clear();
                AppendName(name, ch, StringStream);
                prefix.clear();
                state = sName;
            } else if (ch == '/' || ch == '>' || ch == '?') {
                return;
            } else {
                Raise(64983, StringStream, ch);
            }
            break;
        case sName:
            if (IsNameChar(ch)) {
                AppendName(name, ch, StringStream);
            } else if (ch == ':') {
                prefix = std::move(name);
                name.clear();
            } else if (ch == '=') {
                state = sAfterEquals;
            } else if (IsWhiteSpace(ch)) {
                state = sBeforeEquals;
            } else {
                Raise(64983, StringStream, ch);
            }
            break;
        case sBeforeEquals:
            if (ch == '=')
                state = sAfterEquals;
            else if (!IsWhiteSpace(ch))
                Raise(64983, StringStream, ch);
            break;
        case sAfterEquals:
            if (ch == '\'' || ch == '"') {
                quote = ch;
                value.clear();
                state = sValue;
            } else if (!IsWhiteSpace(ch)) {
                Raise(64984, StringStream, ch);
            }
            break;
        case sValue:
            if (ch != quote) {
                AppendValue(value, ch, StringStream);
                break;
            }
            if (doc) {
                doc->ChargeLoad(AttributeCost);
                doc->DoDecodeValue(value);
            }
            // Short values are copied at their size and the buffer is used again; a long one is handed over.
            InsertProp(Count(), name, value.capacity() > 4096 ? std::exchange(value, std::wstring()) : value)
                ->SetNameSpace(prefix);
            value.clear();
            state = sBeforeName;
            break;
        }
    }
}
