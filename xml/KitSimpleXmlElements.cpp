// Named values, elements, child lists and per-name groups.
#include "xml/KitSimpleXml.h"

#include <vector>
#include <windows.h>

#include "runtime/SysUtils.h"

// TKitSimpleData

int64_t TKitSimpleData::IntValue() const {
    return StrToInt64Def(FValue, -1);
}

void TKitSimpleData::SetIntValue(int64_t Value) {
    FValue = IntToStr(Value);
}

bool TKitSimpleData::BoolValue() const {
    return StrToBoolDef(FValue, false);
}

void TKitSimpleData::SetBoolValue(bool Value) {
    FValue = BoolToStr(Value, true);
}

double TKitSimpleData::FloatValue() const {
    double value;
    return TryStrToFloat(FValue, value) ? value : 0;
}

void TKitSimpleData::SetFloatValue(double Value) {
    FValue = FloatToStr(Value);
}

std::string TKitSimpleData::AnsiValue() const {
    if (FValue.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, FValue.data(), (int)FValue.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, FValue.data(), (int)FValue.size(), s.data(), n, nullptr, nullptr);
    return s;
}

static std::wstring FromAnsi(const std::string& Value) {
    if (Value.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, Value.data(), (int)Value.size(), nullptr, 0);
    std::wstring s(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, Value.data(), (int)Value.size(), s.data(), n);
    return s;
}

void TKitSimpleData::SetAnsiValue(const std::string& Value) {
    FValue = FromAnsi(Value);
}

const std::wstring& TKitSimpleXMLData::NameSpace() const {
    static const std::wstring none;
    return FNameSpace ? *FNameSpace : none;
}

void TKitSimpleXMLData::SetNameSpace(const std::wstring& Value) {
    if (Value.empty())
        FNameSpace.reset();
    else
        FNameSpace = std::make_unique<std::wstring>(Value);
}

std::wstring TKitSimpleXMLData::FullName() const {
    return FNameSpace ? *FNameSpace + L":" + FName : FName;
}

// TKitSimpleXMLElem

TKitSimpleXMLElem::TKitSimpleXMLElem(TKitSimpleXMLElem* AOwner, const std::wstring& AName)
    : TKitSimpleXMLData(AName), FParent(AOwner) {
    if (AOwner) FSimpleXML = AOwner->FSimpleXML;
}

TKitSimpleXMLElem::~TKitSimpleXMLElem() {
    FParent = nullptr;
    Clear();
}

void TKitSimpleXMLElem::Error(const std::wstring& S) {
    throw EKitSimpleXMLError(S);
}

void TKitSimpleXMLElem::SetName(const std::wstring& Value) {
    if (Value == FName || Value.empty()) return;
    if (FParent && !FName.empty() && FParent->FItems) FParent->FItems->Rename(this, Value);
    FName = Value;
}

void TKitSimpleXMLElem::Clear() {
    if (FItems) FItems->Clear();
    if (FProps) FProps->Clear();
}

void TKitSimpleXMLElem::LoadFromStringStream(TKitStringStream*, TKitSimpleXML*) {
    throw EAbstractError();
}

void TKitSimpleXMLElem::SaveToStringStream(TKitStringStream*, const std::wstring&, TKitSimpleXML*) {
    throw EAbstractError();
}

// A new node of the same kind as Source.
static TKitSimpleXMLElem* NewNodeLike(const TKitSimpleXMLElem* Source, TKitSimpleXMLElem* AOwner,
                                      const std::wstring& AName) {
    if (dynamic_cast<const TKitSimpleXMLElemClassic*>(Source))
        return new TKitSimpleXMLElemClassic(AOwner, AName);
    if (dynamic_cast<const TKitSimpleXMLElemText*>(Source)) return new TKitSimpleXMLElemText(AOwner, AName);
    if (dynamic_cast<const TKitSimpleXMLElemComment*>(Source))
        return new TKitSimpleXMLElemComment(AOwner, AName);
    if (dynamic_cast<const TKitSimpleXMLElemCData*>(Source)) return new TKitSimpleXMLElemCData(AOwner, AName);
    if (dynamic_cast<const TKitSimpleXMLElemDocType*>(Source))
        return new TKitSimpleXMLElemDocType(AOwner, AName);
    if (dynamic_cast<const TKitSimpleXMLElemHeader*>(Source))
        return new TKitSimpleXMLElemHeader(AOwner, AName);
    if (dynamic_cast<const TKitSimpleXMLElemSheet*>(Source)) return new TKitSimpleXMLElemSheet(AOwner, AName);
    if (dynamic_cast<const TKitSimpleXMLElemMSOApplication*>(Source))
        return new TKitSimpleXMLElemMSOApplication(AOwner, AName);
    if (dynamic_cast<const TKitSimpleXMLElemProcessingInstruction*>(Source))
        return new TKitSimpleXMLElemProcessingInstruction(AOwner, AName);
    return new TKitSimpleXMLElem(AOwner, AName);
}

void TKitSimpleXMLElem::Assign(TKitSimpleXMLElem* Value) {
    Clear();
    if (!Value) return;
    SetName(Value->Name());
    FValue = Value->FValue;
    if (Value->FProps)
        for (TKitSimpleXMLProp* prop : *Value->FProps) Properties()->Add(prop->Name(), prop->Value());
    if (Value->FItems)
        for (TKitSimpleXMLElem* child : *Value->FItems) {
            std::unique_ptr<TKitSimpleXMLElem> copy(NewNodeLike(child, this, child->Name()));
            copy->Assign(child);
            Items()->Add(copy.release());
        }
}

TKitSimpleXMLElems* TKitSimpleXMLElem::Items() {
    if (!FItems) FItems = std::make_unique<TKitSimpleXMLElems>(this);
    return FItems.get();
}

TKitSimpleXMLProps* TKitSimpleXMLElem::Properties() {
    if (!FProps) FProps = std::make_unique<TKitSimpleXMLProps>(this);
    return FProps.get();
}

int TKitSimpleXMLElem::ItemCount() const {
    return FItems ? FItems->Count() : 0;
}

int TKitSimpleXMLElem::PropertyCount() const {
    return FProps ? FProps->Count() : 0;
}

int TKitSimpleXMLElem::ChildsCount() const {
    int count = 1;
    if (FItems)
        for (TKitSimpleXMLElem* child : *FItems) count += child->ChildsCount();
    return count;
}

int TKitSimpleXMLElem::GetChildIndex(const TKitSimpleXMLElem* AChild) const {
    return FItems ? FItems->IndexOf(AChild) : -1;
}

int TKitSimpleXMLElem::GetNamedIndex(TKitSimpleXMLElem* AChild) {
    return Items()->NamedElems(AChild->Name())->IndexOf(AChild);
}

TKitSimpleXML* TKitSimpleXMLElem::SimpleXML() const {
    const TKitSimpleXMLElem* top = this;
    while (top->FParent) top = top->FParent;
    return top->FSimpleXML;
}

static int HexDigitValue(wchar_t C) {
    if (C >= L'0' && C <= L'9') return C - L'0';
    if (C >= L'a' && C <= L'f') return C - L'a' + 10;
    if (C >= L'A' && C <= L'F') return C - L'A' + 10;
    return -1;
}

void TKitSimpleXMLElem::GetBinaryValue(TStream* Stream) const {
    const int64_t count = (int64_t)FValue.size() / 2;
    const int64_t pos = Stream->Position();
    if (Stream->Size() < pos + count) {
        Stream->SetSize(pos + count);
        Stream->SetPosition(pos);
    }
    const int BlockSize = 8191;
    std::vector<uint8_t> block;
    block.reserve(BlockSize);
    for (int64_t i = 0; i < count; ++i) {
        int hi = HexDigitValue(FValue[2 * i]), lo = HexDigitValue(FValue[2 * i + 1]);
        block.push_back(hi < 0 || lo < 0 ? 0 : uint8_t(hi << 4 | lo));
        if ((int)block.size() == BlockSize || i + 1 == count) {
            Stream->WriteBuffer(block.data(), (int32_t)block.size());
            block.clear();
        }
    }
}

void TKitSimpleXMLElem::LoadFromString(const std::wstring& Value) {
    TStringStream bytes(Value);
    TKitAutoStream text(&bytes, false);
    LoadFromStringStream(&text, nullptr);
}

std::wstring TKitSimpleXMLElem::SaveToString() {
    TStringStream bytes;
    {
        TKitAutoStream text(&bytes, false);
        SaveToStringStream(&text, L"", nullptr);
        text.Flush();
    }
    return bytes.DataString();
}

// TKitSimpleXMLElems

TKitSimpleXMLElems::~TKitSimpleXMLElems() {
    FParent = nullptr;
    Clear();
}

TKitSimpleXMLElem* TKitSimpleXMLElems::Item(int Index) const {
    if (Count() == 0) return nullptr;
    if (Index < 0) RaiseListIndexError(Index);
    return Index < Count() ? static_cast<TKitSimpleXMLElem*>(FElems.Object(Index)) : nullptr;
}

bool TKitSimpleXMLElems::AutoCreate() const {
    TKitSimpleXML* doc = FParent ? FParent->SimpleXML() : nullptr;
    return doc && doc->Options().Contains(sxoAutoCreate);
}

TKitSimpleXMLElem* TKitSimpleXMLElems::ItemNamedDefault(const std::wstring& Name,
                                                        const std::wstring& Default) {
    int i = IndexOf(Name);
    if (i >= 0) return Item(i);
    return AutoCreate() ? Add(Name, Default) : nullptr;
}

TKitSimpleXMLNamedElems* TKitSimpleXMLElems::FindGroup(const std::wstring& Name) const {
    int i = FNamedElems ? FNamedElems->IndexOf(Name) : -1;
    return i < 0 ? nullptr : static_cast<TKitSimpleXMLNamedElems*>(FNamedElems->Object(i));
}

TKitSimpleXMLNamedElems* TKitSimpleXMLElems::NamedElems(const std::wstring& Name) {
    if (!FNamedElems) FNamedElems = std::make_unique<TKitNameList>();
    if (TKitSimpleXMLNamedElems* group = FindGroup(Name)) return group;
    auto group = std::make_unique<TKitSimpleXMLNamedElems>(this, Name);
    for (int i = 0; i < Count(); ++i)
        if (FElems.Name(i) == Name) group->FItems.push_back(Item(i));
    FNamedElems->Add(Name, group.get());
    return group.release();
}

void TKitSimpleXMLElems::LeaveGroup(TKitSimpleXMLElem* Value) {
    if (TKitSimpleXMLNamedElems* group = FindGroup(Value->Name())) {
        auto& members = group->FItems;
        auto it = std::find(members.begin(), members.end(), Value);
        if (it != members.end()) members.erase(it);
    }
}

void TKitSimpleXMLElems::Rename(TKitSimpleXMLElem* Value, const std::wstring& NewName) {
    LeaveGroup(Value);
    int i = IndexOf(Value);
    if (i >= 0) FElems.Rename(i, NewName);
    if (TKitSimpleXMLNamedElems* group = FindGroup(NewName)) group->FItems.push_back(Value);
}

TKitSimpleXMLElem* TKitSimpleXMLElems::InsertElem(TKitSimpleXMLElem* Value, TPlace Place, int Index) {
    if (!Value) return nullptr;
    if (Place == plIndex && (Index < 0 || Index > Count())) RaiseListIndexError(Index);
    if (Value->FContainer) Value->FContainer->Notify(Value, opRemove);
    // An element put into a list becomes a child of the list's element, wherever it came from.
    Value->FParent = FParent;
    int at = Place == plEnd ? Count() : Place == plFirst ? 0 : std::min(Index, Count());
    FElems.Insert(at, Value->Name(), Value);
    if (TKitSimpleXMLNamedElems* group = FindGroup(Value->Name())) {
        if (Place == plFirst)
            group->FItems.insert(group->FItems.begin(), Value);
        else
            group->FItems.push_back(Value);
    }
    Notify(Value, opInsert);
    return Value;
}

void TKitSimpleXMLElems::AddParsed(TKitSimpleXMLElem* Value) {
    FElems.Add(Value->Name(), Value);
    Notify(Value, opInsert);
}

TKitSimpleXMLElemClassic* TKitSimpleXMLElems::Add(const std::wstring& Name) {
    auto elem = std::make_unique<TKitSimpleXMLElemClassic>(FParent, Name);
    InsertElem(elem.get(), plEnd);
    return elem.release();
}

TKitSimpleXMLElemClassic* TKitSimpleXMLElems::Add(const std::wstring& Name, const std::wstring& Value) {
    TKitSimpleXMLElemClassic* elem = Add(Name);
    elem->SetValue(Value);
    return elem;
}

TKitSimpleXMLElemClassic* TKitSimpleXMLElems::Add(const std::wstring& Name, int64_t Value) {
    return Add(Name, IntToStr(Value));
}

TKitSimpleXMLElemClassic* TKitSimpleXMLElems::Add(const std::wstring& Name, bool Value) {
    return Add(Name, BoolToStr(Value, true));
}

TKitSimpleXMLElemClassic* TKitSimpleXMLElems::Add(const std::wstring& Name, TStream* Value) {
    static const wchar_t Digits[] = L"0123456789ABCDEF";
    std::wstring hex;
    uint8_t block[8192];
    for (int32_t n; (n = Value->Read(block, sizeof block)) > 0;)
        for (int32_t i = 0; i < n; ++i) {
            hex += Digits[block[i] >> 4];
            hex += Digits[block[i] & 15];
        }
    return Add(Name, hex);
}

TKitSimpleXMLElem* TKitSimpleXMLElems::Add(TKitSimpleXMLElem* Value) {
    return InsertElem(Value, plEnd);
}

TKitSimpleXMLElemClassic* TKitSimpleXMLElems::AddFirst(const std::wstring& Name) {
    auto elem = std::make_unique<TKitSimpleXMLElemClassic>(FParent, Name);
    InsertElem(elem.get(), plFirst);
    return elem.release();
}

TKitSimpleXMLElem* TKitSimpleXMLElems::AddFirst(TKitSimpleXMLElem* Value) {
    return InsertElem(Value, plFirst);
}

TKitSimpleXMLElem* TKitSimpleXMLElems::AddComment(const std::wstring& Name, const std::wstring& Value) {
    auto elem = std::make_unique<TKitSimpleXMLElemComment>(FParent, Name);
    elem->SetValue(Value);
    InsertElem(elem.get(), plEnd);
    return elem.release();
}

TKitSimpleXMLElem* TKitSimpleXMLElems::AddCData(const std::wstring& Name, const std::wstring& Value) {
    auto elem = std::make_unique<TKitSimpleXMLElemCData>(FParent, Name);
    elem->SetValue(Value);
    InsertElem(elem.get(), plEnd);
    return elem.release();
}

TKitSimpleXMLElem* TKitSimpleXMLElems::AddText(const std::wstring& Name, const std::wstring& Value) {
    auto elem = std::make_unique<TKitSimpleXMLElemText>(FParent, Name);
    elem->SetValue(Value);
    InsertElem(elem.get(), plEnd);
    return elem.release();
}

TKitSimpleXMLElem* TKitSimpleXMLElems::Insert(TKitSimpleXMLElem* Value, int Index) {
    return InsertElem(Value, plIndex, Index);
}

TKitSimpleXMLElemClassic* TKitSimpleXMLElems::Insert(const std::wstring& Name, int Index) {
    if (Index < 0 || Index > Count()) RaiseListIndexError(Index);
    auto elem = std::make_unique<TKitSimpleXMLElemClassic>(FParent, Name);
    InsertElem(elem.get(), plIndex, Index);
    return elem.release();
}

void TKitSimpleXMLElems::Delete(int Index) {
    if (Index < 0 || Index >= Count()) return;
    TKitSimpleXMLElem* elem = Item(Index);
    LeaveGroup(elem);
    FElems.Delete(Index);
    delete elem;
}

int TKitSimpleXMLElems::Remove(TKitSimpleXMLElem* Value) {
    int i = IndexOf(Value);
    if (i >= 0) Notify(Value, opRemove);
    return i;
}

void TKitSimpleXMLElems::Move(int CurIndex, int NewIndex) {
    FElems.Move(CurIndex, NewIndex);
}

int TKitSimpleXMLElems::IndexOf(const TKitSimpleXMLElem* Value) const {
    return FElems.IndexOfObject(Value);
}

int TKitSimpleXMLElems::IndexOf(const std::wstring& Name) const {
    return FElems.IndexOf(Name);
}

std::wstring TKitSimpleXMLElems::Value(const std::wstring& Name, const std::wstring& Default) {
    TKitSimpleXMLElem* elem = ItemNamedDefault(Name, Default);
    return elem ? elem->Value() : Default;
}

int64_t TKitSimpleXMLElems::IntValue(const std::wstring& Name, int64_t Default) {
    TKitSimpleXMLElem* elem = ItemNamedDefault(Name, IntToStr(Default));
    return elem ? elem->IntValue() : Default;
}

bool TKitSimpleXMLElems::BoolValue(const std::wstring& Name, bool Default) {
    try {
        TKitSimpleXMLElem* elem = ItemNamedDefault(Name, BoolToStr(Default, true));
        return !elem || elem->Value().empty() ? Default : elem->BoolValue();
    } catch (const std::exception&) {
        return Default;
    }
}

double TKitSimpleXMLElems::FloatValue(const std::wstring& Name, double Default) {
    TKitSimpleXMLElem* elem = ItemNamedDefault(Name, FloatToStr(Default));
    return elem ? elem->FloatValue() : Default;
}

void TKitSimpleXMLElems::BinaryValue(const std::wstring& Name, TStream* Stream) {
    if (TKitSimpleXMLElem* elem = ItemNamedDefault(Name, L"")) elem->GetBinaryValue(Stream);
}

void TKitSimpleXMLElems::Clear() {
    if (FNamedElems) {
        for (int i = 0; i < FNamedElems->Count(); ++i) delete FNamedElems->Object(i);
        FNamedElems.reset();
    }
    for (int i = FElems.Count() - 1; i >= 0; --i) delete FElems.Object(i);
    FElems.Clear();
}

namespace {
// The runtime string list's quicksort: compares by index on the live list and exchanges in place.
template <class TCompare> void QuickSort(TKitNameList& List, int L, int R, const TCompare& Compare) {
    int i;
    do {
        i = L;
        int j = R, p = (L + R) >> 1;
        do {
            while (Compare(i, p) < 0) ++i;
            while (Compare(j, p) > 0) --j;
            if (i <= j) {
                if (i != j) List.Exchange(i, j);
                if (p == i)
                    p = j;
                else if (p == j)
                    p = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (L < j) QuickSort(List, L, j, Compare);
        L = i;
    } while (i < R);
}
} // namespace

void TKitSimpleXMLElems::Sort() {
    CustomSort([](TKitSimpleXMLElems* Elems, int Index1, int Index2) {
        const std::wstring &a = Elems->FElems.Name(Index1), &b = Elems->FElems.Name(Index2);
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), (int)a.size(), b.data(),
                              (int)b.size()) -
               CSTR_EQUAL;
    });
}

void TKitSimpleXMLElems::CustomSort(const TKitSimpleXMLElemCompare& AFunction) {
    if (Count() < 2) return;
    FElems.BeginReorder();
    try {
        QuickSort(FElems, 0, Count() - 1, [&](int A, int B) { return AFunction(this, A, B); });
    } catch (...) {
        FElems.EndReorder();
        throw;
    }
    FElems.EndReorder();
}

void TKitSimpleXMLElems::Notify(TKitSimpleXMLElem* Value, TOperation Operation) {
    if (Operation == opInsert) {
        Value->FContainer = this;
        return;
    }
    if (Value->FContainer != this) return;
    int i = IndexOf(Value);
    if (i < 0) return;
    LeaveGroup(Value);
    FElems.Delete(i);
    // Taken out, the element no longer points into this tree, which may be freed before it is used again.
    Value->FContainer = nullptr;
    Value->FParent = nullptr;
    Value->FSimpleXML = nullptr;
}

void TKitSimpleXMLElems::SaveToStringStream(TKitStringStream* StringStream, const std::wstring& Level,
                                            TKitSimpleXML* AParent) {
    for (TKitSimpleXMLElem* child : *this) child->SaveToStringStream(StringStream, Level, AParent);
}

// TKitSimpleXMLNamedElems

TKitSimpleXMLElem* TKitSimpleXMLNamedElems::Item(int Index) {
    if (Index < 0) return nullptr;
    while (Index >= Count() && FElems->AutoCreate()) {
        int before = Count();
        FElems->Add(FName);
        if (Count() == before) break;
    }
    return Index < Count() ? FItems[Index] : nullptr;
}

int TKitSimpleXMLNamedElems::IndexOf(const TKitSimpleXMLElem* Value) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[i] == Value) return i;
    return -1;
}

int TKitSimpleXMLNamedElems::IndexOf(const std::wstring& Value) {
    for (int i = 0; i < Count(); ++i)
        if (FItems[i]->Value() == Value) return i;
    if (!FElems->AutoCreate()) return -1;
    return IndexOf(FElems->Add(FName, Value));
}

TKitSimpleXMLElemClassic* TKitSimpleXMLNamedElems::Add() {
    return FElems->Add(FName);
}
TKitSimpleXMLElemClassic* TKitSimpleXMLNamedElems::Add(const std::wstring& Value) {
    return FElems->Add(FName, Value);
}
TKitSimpleXMLElemClassic* TKitSimpleXMLNamedElems::Add(int64_t Value) {
    return FElems->Add(FName, Value);
}
TKitSimpleXMLElemClassic* TKitSimpleXMLNamedElems::Add(bool Value) {
    return FElems->Add(FName, Value);
}
TKitSimpleXMLElemClassic* TKitSimpleXMLNamedElems::Add(TStream* Value) {
    return FElems->Add(FName, Value);
}
TKitSimpleXMLElemClassic* TKitSimpleXMLNamedElems::AddFirst() {
    return FElems->AddFirst(FName);
}
TKitSimpleXMLElem* TKitSimpleXMLNamedElems::AddComment(const std::wstring& Value) {
    return FElems->AddComment(FName, Value);
}
TKitSimpleXMLElem* TKitSimpleXMLNamedElems::AddCData(const std::wstring& Value) {
    return FElems->AddCData(FName, Value);
}
TKitSimpleXMLElem* TKitSimpleXMLNamedElems::AddText(const std::wstring& Value) {
    return FElems->AddText(FName, Value);
}

void TKitSimpleXMLNamedElems::Delete(int Index) {
    if (Index < 0 || Index >= Count()) return;
    FElems->Delete(FElems->IndexOf(FItems[Index]));
}

void TKitSimpleXMLNamedElems::Clear() {
    for (int i = Count() - 1; i >= 0; --i) Delete(i);
}

void TKitSimpleXMLNamedElems::Move(int CurIndex, int NewIndex) {
    if (CurIndex < 0 || CurIndex >= Count()) RaiseListIndexError(CurIndex);
    if (NewIndex < 0 || NewIndex >= Count()) RaiseListIndexError(NewIndex);
    FElems->Move(FElems->IndexOf(FItems[CurIndex]), FElems->IndexOf(FItems[NewIndex]));
    TKitSimpleXMLElem* member = FItems[CurIndex];
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, member);
}
