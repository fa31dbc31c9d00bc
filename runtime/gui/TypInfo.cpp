#include "runtime/gui/TypInfo.h"

#include <windows.h>

const wchar_t* const BooleanNames[2] = {L"False", L"True"};

static bool SameText(const wchar_t* a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b.data(), (int)b.size()) == CSTR_EQUAL;
}

const TPropInfo* GetPropInfoByName(TClass AClass, const std::wstring& Name, TTypeKinds Kinds) {
    for (TClass c = AClass; c; c = c->Parent)
        for (size_t i = 0; i < c->PropCount; ++i) {
            const TPropInfo& p = c->Props[i];
            if (SameText(p.Name, Name)) return (Kinds & TypeKinds(p.Kind)) ? &p : nullptr;
        }
    return nullptr;
}

const TPropInfo* GetPropInfoByName(const TObject* Instance, const std::wstring& Name, TTypeKinds Kinds) {
    return Instance ? GetPropInfoByName(Instance->ClassType(), Name, Kinds) : nullptr;
}

[[noreturn]] static void Unusable(const TPropInfo* PropInfo, const wchar_t* What) {
    throw EPropertyError(std::wstring(L"Property ") + (PropInfo ? PropInfo->Name : L"(none)") + L" " + What);
}

int64_t GetOrdProp(TObject* Instance, const TPropInfo* PropInfo) {
    if (!PropInfo || !PropInfo->GetOrd) Unusable(PropInfo, L"has no ordinal reader");
    return PropInfo->GetOrd(Instance);
}

void SetOrdProp(TObject* Instance, const TPropInfo* PropInfo, int64_t Value) {
    if (!PropInfo || !PropInfo->SetOrd) Unusable(PropInfo, L"is read-only");
    PropInfo->SetOrd(Instance, Value);
}

std::wstring GetUnicodeStrProp(TObject* Instance, const TPropInfo* PropInfo) {
    if (!PropInfo || !PropInfo->GetStr) Unusable(PropInfo, L"has no string reader");
    return PropInfo->GetStr(Instance);
}

void SetUnicodeStrProp(TObject* Instance, const TPropInfo* PropInfo, const std::wstring& Value) {
    if (!PropInfo || !PropInfo->SetStr) Unusable(PropInfo, L"is read-only");
    PropInfo->SetStr(Instance, Value);
}

TObject* GetObjectProp(TObject* Instance, const TPropInfo* PropInfo) {
    if (!PropInfo || !PropInfo->GetObj) Unusable(PropInfo, L"has no object reader");
    return PropInfo->GetObj(Instance);
}

TObject* GetObjectPropByName(TObject* Instance, const std::wstring& Name) {
    const TPropInfo* p = GetPropInfoByName(Instance, Name, TypeKinds(tkClass));
    if (!p) throw EPropertyError(L"Property " + Name + L" does not exist");
    return GetObjectProp(Instance, p);
}

int GetEnumValue(const TPropInfo* PropInfo, const std::wstring& Name) {
    if (!PropInfo) return -1;
    for (int i = 0; i < PropInfo->ValueCount; ++i)
        if (SameText(PropInfo->ValueNames[i], Name)) return i;
    return -1;
}

std::wstring GetEnumName(const TPropInfo* PropInfo, int Value) {
    if (!PropInfo || Value < 0 || Value >= PropInfo->ValueCount) return L"";
    return PropInfo->ValueNames[Value];
}

std::wstring GetSetPropAsString(TObject* Instance, const TPropInfo* PropInfo) {
    uint64_t bits = (uint64_t)GetOrdProp(Instance, PropInfo);
    std::wstring s = L"[";
    for (int i = 0; i < PropInfo->ValueCount; ++i)
        if (bits & (1ull << i)) {
            if (s.size() > 1) s += L',';
            s += PropInfo->ValueNames[i];
        }
    return s + L"]";
}

void SetSetPropFromString(TObject* Instance, const TPropInfo* PropInfo, const std::wstring& Value) {
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    size_t b = 0, e = Value.size();
    while (b < e && blank(Value[b])) ++b;
    while (e > b && blank(Value[e - 1])) --e;
    if (b < e && Value[b] == L'[') ++b;
    if (e > b && Value[e - 1] == L']') --e;
    uint64_t bits = 0;
    while (b < e) {
        size_t comma = Value.find(L',', b);
        if (comma == std::wstring::npos || comma > e) comma = e;
        size_t ne = comma;
        while (b < ne && blank(Value[b])) ++b;
        while (ne > b && blank(Value[ne - 1])) --ne;
        std::wstring name = Value.substr(b, ne - b);
        if (!name.empty()) {
            int v = GetEnumValue(PropInfo, name);
            if (v < 0) throw EPropertyConvertError(L"Invalid property element: " + name);
            bits |= 1ull << v;
        }
        b = comma + 1;
    }
    SetOrdProp(Instance, PropInfo, (int64_t)bits);
}
