#include "xml/ExSimpleXMLUnit.h"

#include "runtime/Files.h"
#include "runtime/SysUtils.h"

std::wstring XMLGetProp(TKitSimpleXMLElem* Elem, const std::wstring& Name, const std::wstring& Default) {
    TKitSimpleXMLProp* prop = Elem->Properties()->Find(Name);
    return prop ? prop->Value() : Default;
}

int32_t XMLGetChildInt(TKitSimpleXMLElem* Elem, const std::wstring& Name, int32_t Default) {
    int i = Elem->Items()->IndexOf(Name);
    return i < 0 ? Default : (int32_t)Elem->Items()->Item(i)->IntValue();
}

std::wstring XMLGetChildValue(TKitSimpleXMLElem* Elem, const std::wstring& Name,
                              const std::wstring& Default) {
    int i = Elem->Items()->IndexOf(Name);
    return i < 0 ? Default : Elem->Items()->Item(i)->Value();
}

TKitSimpleXMLProp* XMLFindOrAddProp(TKitSimpleXMLElem* Elem, const std::wstring& Name) {
    TKitSimpleXMLProp* prop = Elem->Properties()->Find(Name);
    return prop ? prop : Elem->Properties()->Add(Name, std::wstring());
}

TKitSimpleXMLElem* XMLSetProp(TKitSimpleXMLElem* Elem, const std::wstring& Name, const std::wstring& Value) {
    XMLFindOrAddProp(Elem, Name)->SetValue(Value);
    return Elem;
}

TExSimpleXML::TExSimpleXML() {
    SetOptions({sxoAutoIndent});
    Prolog()->SetEncoding(L"UTF-8");
}

TKitSimpleXMLElem* TExSimpleXML::Child(TKitSimpleXMLElem* Elem, const std::wstring& Name) {
    int i = Elem->Items()->IndexOf(Name);
    return i < 0 ? nullptr : Elem->Items()->Item(i);
}

TKitSimpleXMLElem* TExSimpleXML::GetItem(const TXMLPath& Path) {
    TKitSimpleXMLElem* elem = Root();
    for (const std::wstring& name : Path) {
        TKitSimpleXMLElem* child = Child(elem, name);
        elem = child ? child : elem->Items()->Add(name);
    }
    return elem;
}

TKitSimpleXMLElem* TExSimpleXML::ChildOrAdd(const std::wstring& Name, const TXMLPath& Path) {
    TKitSimpleXMLElem* elem = GetItem(Path);
    TKitSimpleXMLElem* child = Child(elem, Name);
    return child ? child : elem->Items()->Add(Name);
}

std::wstring TExSimpleXML::ReadValue(const std::wstring& Name, const TXMLPath& Path,
                                     const std::wstring& Default) {
    TKitSimpleXMLElem* elem = GetItem(Path);
    if (TKitSimpleXMLElem* child = Child(elem, Name)) return child->Value();
    elem->Items()->Add(Name, Default);
    return Default;
}

int64_t TExSimpleXML::ReadValue(const std::wstring& Name, const TXMLPath& Path, int64_t Default) {
    TKitSimpleXMLElem* elem = GetItem(Path);
    if (TKitSimpleXMLElem* child = Child(elem, Name)) return child->IntValue();
    elem->Items()->Add(Name, Default);
    return Default;
}

bool TExSimpleXML::ReadValue(const std::wstring& Name, const TXMLPath& Path, bool Default) {
    TKitSimpleXMLElem* elem = GetItem(Path);
    if (TKitSimpleXMLElem* child = Child(elem, Name)) return child->BoolValue();
    elem->Items()->Add(Name, Default);
    return Default;
}

// The attribute, or nullptr after appending what was missing with Default.
TKitSimpleXMLProp* TExSimpleXML::ReadProp(const std::wstring& ElemName, const std::wstring& PropName,
                                          const TXMLPath& Path, const std::wstring& Default) {
    TKitSimpleXMLElem* elem = GetItem(Path);
    TKitSimpleXMLElem* child = Child(elem, ElemName);
    if (!child) child = elem->Items()->Add(ElemName);
    if (TKitSimpleXMLProp* prop = child->Properties()->Find(PropName)) return prop;
    child->Properties()->Add(PropName, Default);
    return nullptr;
}

std::wstring TExSimpleXML::ReadProperties(const std::wstring& ElemName, const std::wstring& PropName,
                                          const TXMLPath& Path, const std::wstring& Default) {
    TKitSimpleXMLProp* prop = ReadProp(ElemName, PropName, Path, Default);
    return prop ? prop->Value() : Default;
}

int64_t TExSimpleXML::ReadProperties(const std::wstring& ElemName, const std::wstring& PropName,
                                     const TXMLPath& Path, int64_t Default) {
    TKitSimpleXMLProp* prop = ReadProp(ElemName, PropName, Path, IntToStr(Default));
    return prop ? prop->IntValue() : Default;
}

bool TExSimpleXML::ReadProperties(const std::wstring& ElemName, const std::wstring& PropName,
                                  const TXMLPath& Path, bool Default) {
    TKitSimpleXMLProp* prop = ReadProp(ElemName, PropName, Path, BoolToStr(Default, true));
    return prop ? prop->BoolValue() : Default;
}

bool TExSimpleXML::ReadStringList(const std::wstring& Name, const TXMLPath& Path, TStrings* Strings) {
    TKitSimpleXMLElem* elem = GetItem(Path);
    TKitSimpleXMLElem* child = Child(elem, Name);
    if (!child) {
        elem->Items()->Add(Name);
        return false;
    }
    if (child->HasItems())
        for (TKitSimpleXMLElem* item : *child->Items())
            if (!item->Name().empty()) Strings->Add(item->Value());
    return true;
}

void TExSimpleXML::WriteValue(const std::wstring& Name, const TXMLPath& Path, const std::wstring& Value) {
    ChildOrAdd(Name, Path)->SetValue(Value);
}

void TExSimpleXML::WriteValue(const std::wstring& Name, const TXMLPath& Path, int64_t Value) {
    ChildOrAdd(Name, Path)->SetIntValue(Value);
}

void TExSimpleXML::WriteValue(const std::wstring& Name, const TXMLPath& Path, bool Value) {
    ChildOrAdd(Name, Path)->SetBoolValue(Value);
}

void TExSimpleXML::WriteProperties(const std::wstring& ElemName, const std::wstring& PropName,
                                   const TXMLPath& Path, const std::wstring& Value) {
    XMLSetProp(ChildOrAdd(ElemName, Path), PropName, Value);
}

void TExSimpleXML::WriteProperties(const std::wstring& ElemName, const std::wstring& PropName,
                                   const TXMLPath& Path, int64_t Value) {
    WriteProperties(ElemName, PropName, Path, IntToStr(Value));
}

void TExSimpleXML::WriteProperties(const std::wstring& ElemName, const std::wstring& PropName,
                                   const TXMLPath& Path, bool Value) {
    WriteProperties(ElemName, PropName, Path, BoolToStr(Value, true));
}

void TExSimpleXML::WriteStringList(const std::wstring& Name, const std::wstring& ItemName,
                                   const TXMLPath& Path, TStrings* Strings, bool Clear) {
    TKitSimpleXMLElem* elem = ChildOrAdd(Name, Path);
    if (Clear) elem->Items()->Clear();
    if (Strings)
        for (int i = 0; i < Strings->Count(); ++i) elem->Items()->Add(ItemName, Strings->Get(i));
}

bool TExSimpleXML::LoadXML(TStream* Stream, bool bFreeStream) {
    if (!Stream) return false;
    std::unique_ptr<TStream> owned(bFreeStream ? Stream : nullptr);
    LoadFromStream(Stream, seAuto, 0);
    return true;
}

bool TExSimpleXML::LoadXMLFile(const std::wstring& AFileName) {
    if (FileExists(AFileName)) {
        SetFileName(AFileName);
        return true;
    }
    Root()->Clear();
    Prolog()->Clear();
    Prolog()->SetEncoding(L"UTF-8");
    FEncoding = seUTF8;
    FFileName = AFileName;
    return false;
}

bool TExSimpleXML::TryLoadXMLFile(const std::wstring& AFileName) {
    try {
        if (LoadXMLFile(AFileName)) return true;
    } catch (const std::exception&) {
        LoadXMLFile(L"");
        FFileName = AFileName;
    }
    return false;
}

void TExSimpleXML::SaveXMLFile(TKitStringEncoding AEncoding) {
    if (AEncoding != seAuto) FEncoding = AEncoding;
    std::wstring folder = ExtractFilePath(FFileName);
    if (!ForceDirectories(folder)) throw EInOutError(L"Unable to create directory");
    SaveToFile(FFileName, AEncoding, 0);
}

std::unique_ptr<TMemoryStream> TExSimpleXML::SaveStream(TKitStringEncoding Encoding, uint16_t CodePage) {
    auto stream = std::make_unique<TMemoryStream>();
    SaveToStream(stream.get(), Encoding, CodePage);
    stream->SetPosition(0);
    return stream;
}
