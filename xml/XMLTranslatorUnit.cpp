#include "xml/XMLTranslatorUnit.h"

#include <algorithm>
#include <windows.h>

#include "runtime/SysUtils.h"
#include "runtime/gui/Application.h"
#include "runtime/gui/ComCtrls.h"
#include "runtime/gui/Forms.h"
#include "runtime/gui/Menus.h"
#include "runtime/gui/TypInfo.h"

namespace {

bool SameLocaleText(const std::wstring& A, const std::wstring& B) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.data(), (int)A.size(), B.data(),
                          (int)B.size()) == CSTR_EQUAL;
}

// True when the object's class or an ancestor is named ClassName.
bool IsClassNamed(const TObject* Obj, const std::wstring& ClassName) {
    for (TClass c = Obj->ClassType(); c; c = c->Parent)
        if (SameLocaleText(c->Name, ClassName)) return true;
    return false;
}

// An enumeration's ordinal from its number or value name; -1 when the text is neither.
int64_t EnumOrdinal(const TPropInfo* Prop, const std::wstring& Text) {
    int64_t n = StrToIntDef(Text, 0);
    if (n != 0 || Text == L"0") return n;
    try {
        return GetEnumValue(Prop, Text);
    } catch (const Exception&) {
        return 0;
    }
}

constexpr int64_t NoIndex = 2147483647;

} // namespace

// TBaseXMLTranslator

TBaseXMLTranslator::TBaseXMLTranslator() : FXML(std::make_unique<TKitSimpleXML>()) {
    SkipProperty(TComponent::StaticClass(), L"Name");
}

TBaseXMLTranslator::~TBaseXMLTranslator() {
    FXML.reset();
    ClearSkipList();
}

void TBaseXMLTranslator::SkipProperty(TClass AClass, const std::wstring& PropName) {
    for (auto& e : FSkipList)
        if (e->Class == AClass) {
            if (PropName.empty())
                e->Properties->Clear();
            else if (e->Properties->Count() > 0)
                e->Properties->Add(PropName);
            return;
        }
    auto entry = std::make_unique<TSkipEntry>(TSkipEntry{AClass, std::make_unique<TStringList>()});
    entry->Properties->SetSorted(true);
    entry->Properties->Duplicates = dupIgnore;
    if (!PropName.empty()) entry->Properties->Add(PropName);
    FSkipList.push_back(std::move(entry));
}

void TBaseXMLTranslator::UnskipProperty(TClass AClass, const std::wstring& PropName) {
    for (size_t i = 0; i < FSkipList.size(); ++i) {
        TSkipEntry& e = *FSkipList[i];
        if (e.Class != AClass) continue;
        if (PropName.empty()) {
            e.Properties->Clear();
        } else {
            int at = e.Properties->IndexOf(PropName);
            if (at >= 0) e.Properties->Delete(at);
        }
        if (e.Properties->Count() == 0) FSkipList.erase(FSkipList.begin() + (ptrdiff_t)i);
        return;
    }
}

void TBaseXMLTranslator::ClearSkipList() {
    FSkipList.clear();
}

bool TBaseXMLTranslator::InSkipList(TClass AClass, const std::wstring& PropName) {
    if (!AClass) return false;
    for (size_t i = 0; i < FSkipList.size(); ++i) {
        TSkipEntry& e = *FSkipList[i];
        if (!AClass->InheritsFrom(e.Class)) continue;
        if (PropName.empty()) {
            if (e.Properties->Count() != 0) continue;
            // Whole-class hits are asked for often: keep the latest one first.
            std::rotate(FSkipList.begin(), FSkipList.begin() + (ptrdiff_t)i,
                        FSkipList.begin() + (ptrdiff_t)i + 1);
            return true;
        }
        if (e.Properties->IndexOf(PropName) >= 0) return true;
    }
    return false;
}

bool TBaseXMLTranslator::InSkipList(TClass AClass) {
    return InSkipList(AClass, L"");
}

bool TBaseXMLTranslator::InSkipList(const TObject* Obj) {
    return Obj && InSkipList(Obj->ClassType(), L"");
}

bool TBaseXMLTranslator::InSkipList(const TObject* Obj, const std::wstring& PropName) {
    return Obj && InSkipList(Obj->ClassType(), PropName);
}

std::wstring TBaseXMLTranslator::DoAnalyseSrt(const std::wstring& Value) {
    std::wstring s = StringReplace(Value, L"\\n", L"\r\n");
    if (OnAnalyseSrt) OnAnalyseSrt(s);
    return s;
}

// TCustomXMLTranslator

TKitSimpleXMLElem* TCustomXMLTranslator::FindElement(TKitSimpleXMLElem* Parent, const std::wstring& Name,
                                                     bool Recursive) {
    if (!Parent) Parent = XML()->Root();
    if (!Parent) return nullptr;
    if (SameLocaleText(Parent->Name(), Name)) return Parent;
    if (Parent->ItemCount() == 0) return nullptr;
    if (!Recursive) return Parent->Items()->ItemNamed(Name);
    for (TKitSimpleXMLElem* child : *Parent->Items())
        if (TKitSimpleXMLElem* found = FindElement(child, Name, true)) return found;
    return nullptr;
}

void TCustomXMLTranslator::TranslateComponent(TComponent* Component, TKitSimpleXMLElem* Elem) {
    if (!InSkipList(Component)) ApplyAttributes(Component, Elem);
    if (Elem->ItemCount() == 0) return;
    for (TKitSimpleXMLElem* child : *Elem->Items()) {
        bool owned = false;
        for (int i = 0; i < Component->ComponentCount() && !owned; ++i)
            if (TComponent* c = Component->Components(i); SameLocaleText(c->Name(), child->Name())) {
                TranslateComponent(c, child);
                owned = true;
            }
        if (owned) continue;
        const TPropInfo* prop = GetPropInfoByName(Component, child->Name(), TypeKinds(tkClass));
        if (!prop || !prop->HasWriter() || InSkipList(Component, child->Name())) continue;
        TObject* obj = GetObjectProp(Component, prop);
        if (!obj) continue;
        if (IsClassNamed(obj, L"TStrings"))
            ApplyStrings(static_cast<TStrings*>(obj), child);
        else if (IsClassNamed(obj, L"TTreeNodes"))
            ApplyTreeNodes(obj, child);
        else if (IsClassNamed(obj, L"TListItems"))
            ApplyListItems(obj, child);
        else {
            ApplyAttributes(obj, child);
            ApplyObject(obj, child);
        }
    }
}

void TCustomXMLTranslator::ApplyAttributes(TObject* Instance, TKitSimpleXMLElem* Elem) {
    if (!Instance || Elem->PropertyCount() == 0) return;
    for (TKitSimpleXMLProp* attr : *Elem->Properties()) {
        const TPropInfo* prop = GetPropInfoByName(Instance, attr->Name(), tkOrdinalsAndStrings);
        if (!prop || !prop->HasWriter() || InSkipList(Instance, attr->Name())) continue;
        const std::wstring& text = attr->Value();
        if (prop->Kind == tkInteger && std::wstring(prop->Name) == L"ShortCut")
            SetOrdProp(Instance, prop, TextToShortCut(text) & 0xFFFF);
        else
            ApplyValue(Instance, prop, text);
    }
}

void TCustomXMLTranslator::ApplyValue(TObject* Instance, const TPropInfo* Prop, const std::wstring& Text) {
    switch (Prop->Kind) {
    case tkInteger:
        SetOrdProp(Instance, Prop, (int32_t)StrToInt64Def(Text, -1));
        break;
    case tkEnumeration:
        if (int64_t v = EnumOrdinal(Prop, Text); v >= 0) SetOrdProp(Instance, Prop, v);
        break;
    case tkSet:
        SetSetPropFromString(Instance, Prop, Text);
        break;
    default:
        SetUnicodeStrProp(Instance, Prop, DoAnalyseSrt(Text));
        break;
    }
}

void TCustomXMLTranslator::ApplyObject(TObject* Instance, TKitSimpleXMLElem* Elem) {
    if (!Instance) return;
    if (IsClassNamed(Instance, L"TCollection"))
        return ApplyCollection(static_cast<TCollection*>(Instance), Elem);
    if (Elem->ItemCount() == 0) return;
    for (TKitSimpleXMLElem* child : *Elem->Items()) {
        const TPropInfo* prop =
            GetPropInfoByName(Instance, child->Name(), tkOrdinalsAndStrings | TypeKinds(tkClass));
        if (!prop || !prop->HasWriter() || InSkipList(Instance, child->Name())) continue;
        if (prop->Kind == tkClass) {
            TObject* obj = GetObjectProp(Instance, prop);
            ApplyAttributes(obj, child);
            ApplyObject(obj, child);
        } else {
            ApplyValue(Instance, prop, child->Value());
        }
    }
}

void TCustomXMLTranslator::ApplyStrings(TStrings* Strings, TKitSimpleXMLElem* Elem) {
    if (Elem->ItemCount() == 0) return;
    TKitSimpleXMLElem* first = Elem->Items()->Item(0);
    if (dynamic_cast<TKitSimpleXMLElemCData*>(first)) {
        Strings->SetText(DoAnalyseSrt(first->Value()));
        return;
    }
    for (TKitSimpleXMLElem* item : *Elem->Items()) {
        int64_t index = item->Properties()->IntValue(L"Index", NoIndex);
        if (index < 0 || index >= Strings->Count()) continue;
        Strings->Put((int)index, DoAnalyseSrt(item->Properties()->Value(L"Value", L"")));
    }
}

void TCustomXMLTranslator::ApplyTreeNodes(TObject* Nodes, TKitSimpleXMLElem* Elem) {
    auto* nodes = dynamic_cast<TTreeNodes*>(Nodes);
    if (!nodes || Elem->ItemCount() == 0) return;
    for (TKitSimpleXMLElem* item : *Elem->Items()) {
        int64_t index = item->Properties()->IntValue(L"Index", NoIndex);
        if (index < 0 || index >= nodes->GetCount()) continue;
        nodes->GetNodeFromIndex((int)index)->SetText(DoAnalyseSrt(item->Properties()->Value(L"Value", L"")));
    }
}

void TCustomXMLTranslator::ApplyListItems(TObject* Items, TKitSimpleXMLElem* Elem) {
    auto* items = dynamic_cast<TListItems*>(Items);
    if (!items || Elem->ItemCount() == 0) return;
    for (TKitSimpleXMLElem* item : *Elem->Items()) {
        int64_t index = item->Properties()->IntValue(L"Index", NoIndex);
        if (index < 0 || index >= items->GetCount()) continue;
        TListItem* li = items->GetItem((int)index);
        int64_t column = item->Properties()->IntValue(L"Column", NoIndex);
        if (column == 0)
            li->SetCaption(DoAnalyseSrt(item->Properties()->Value(L"Value", L"")));
        else if (column >= 1 && column - 1 < li->SubItems()->Count())
            li->SubItems()->Put((int)column - 1, DoAnalyseSrt(item->Properties()->Value(L"Value", L"")));
    }
}

void TCustomXMLTranslator::ApplyCollection(TCollection* Collection, TKitSimpleXMLElem* Elem) {
    if (Elem->ItemCount() == 0) return;
    for (TKitSimpleXMLElem* item : *Elem->Items()) {
        int64_t index = item->Properties()->IntValue(L"Index", -1);
        if (index < 0 || index >= Collection->Count()) continue;
        TCollectionItem* ci = Collection->GetItem((int)index);
        ApplyAttributes(ci, item);
        ApplyObject(ci, item);
    }
}

// TXMLTranslator

void TXMLTranslator::Translate(TStream* Stream, TCustomForm* Form) {
    XML()->LoadFromStream(Stream, seAuto, 0);
    Translate(Form);
}

void TXMLTranslator::Translate(const std::wstring& FileName, TCustomForm* Form) {
    XML()->LoadFromFile(FileName, seAuto, 0);
    Translate(Form);
}

TKitSimpleXMLElem* TXMLTranslator::FormElement(TCustomForm* Form) {
    std::wstring name = Form->Name();
    if (size_t cut = name.find(L'_'); cut != std::wstring::npos) name.resize(cut);
    return FindElement(nullptr, name, true);
}

void TXMLTranslator::Translate(TCustomForm* Form) {
    if (TKitSimpleXMLElem* elem = FormElement(Form)) TranslateComponent(Form, elem);
}

void TXMLTranslator::Translate(const std::wstring& FileName) {
    XML()->LoadFromFile(FileName, seAuto, 0);
    if (TKitSimpleXMLElem* root = XML()->Root()) TranslateComponent(Application, root);
}

void TXMLTranslator::Translate(TStream* Stream) {
    XML()->LoadFromStream(Stream, seAuto, 0);
    if (TKitSimpleXMLElem* root = XML()->Root()) TranslateComponent(Application, root);
}

void TXMLTranslator::TranslateScreen(const std::wstring& FileName) {
    XML()->LoadFromFile(FileName, seAuto, 0);
    for (int i = 0; i < Screen->GetFormCount(); ++i) Translate(Screen->GetForm(i));
}

void TXMLTranslator::TranslateScreen(TStream* Stream) {
    XML()->LoadFromStream(Stream, seAuto, 0);
    for (int i = 0; i < Screen->GetFormCount(); ++i) Translate(Screen->GetForm(i));
}

void TXMLTranslator::TranslateString(const std::wstring& S) {
    TStringStream stream(S);
    Translate(&stream);
}

void TXMLTranslator::TranslateString(const std::wstring& S, TCustomForm* Form) {
    TStringStream stream(S);
    Translate(&stream, Form);
}

void TXMLTranslator::TranslateScreenString(const std::wstring& S) {
    TStringStream stream(S);
    TranslateScreen(&stream);
}

std::wstring TXMLTranslator::Translate(const std::wstring& Category, const std::wstring& Item) {
    TKitSimpleXMLElem* category = FindElement(nullptr, Category, true);
    if (!category) return L"";
    TKitSimpleXMLElem* item = FindElement(category, Item, true);
    if (!item) return L"";
    if (!item->Value().empty()) return item->Value();
    return item->PropertyCount() ? item->Properties()->Value(L"Value", L"") : L"";
}
