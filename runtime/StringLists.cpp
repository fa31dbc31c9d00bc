#include "runtime/StringLists.h"

#include <algorithm>
#include <windows.h>

// TStrings

int TStrings::IndexOf(const std::wstring& S) const {
    for (int i = 0; i < Count(); ++i) {
        const std::wstring item = Get(i);
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, item.data(), (int)item.size(), S.data(),
                           (int)S.size()) == CSTR_EQUAL)
            return i;
    }
    return -1;
}

int TStrings::Add(const std::wstring& S) {
    int i = Count();
    Insert(i, S);
    return i;
}

int TStrings::AddObject(const std::wstring& S, TObject* AObject) {
    int i = Add(S);
    PutObject(i, AObject);
    return i;
}

void TStrings::InsertObject(int Index, const std::wstring& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

int TStrings::IndexOfObject(const TObject* AObject) const {
    for (int i = 0; i < Count(); ++i)
        if (Objects(i) == AObject) return i;
    return -1;
}

void TStrings::Exchange(int Index1, int Index2) {
    std::wstring s = Get(Index1);
    TObject* o = Objects(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, Objects(Index2));
    Put(Index2, s);
    PutObject(Index2, o);
}

void TStrings::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    std::wstring s = Get(CurIndex);
    TObject* o = Objects(CurIndex);
    PutObject(CurIndex, nullptr); // the object travels; an owning list must not free it here
    Delete(CurIndex);
    InsertObject(NewIndex, s, o);
}

void TStrings::AddStrings(const TStrings& Strings) {
    for (int i = 0; i < Strings.Count(); ++i) AddObject(Strings.Get(i), Strings.Objects(i));
}

void TStrings::Assign(TPersistent* Source) {
    if (auto* other = dynamic_cast<TStrings*>(Source)) {
        if (other == this) return;
        Clear();
        AddStrings(*other);
        return;
    }
    TPersistent::Assign(Source);
}

std::wstring TStrings::Text() const {
    std::wstring text;
    for (int i = 0; i < Count(); ++i) {
        text += Get(i);
        text += L"\r\n";
    }
    return text;
}

void TStrings::SetText(const std::wstring& Value) {
    Clear();
    size_t start = 0, i = 0;
    while (i < Value.size()) {
        wchar_t c = Value[i];
        if (c == L'\r' || c == L'\n') {
            Add(Value.substr(start, i - start));
            if (c == L'\r' && i + 1 < Value.size() && Value[i + 1] == L'\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < Value.size()) Add(Value.substr(start));
}

// TStringList

TStringList::~TStringList() {
    if (FOwnsObjects)
        for (auto& item : FItems) delete item.Obj;
}

void TStringList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
}

std::wstring TStringList::Get(int Index) const {
    CheckIndex(Index);
    return FItems[Index].S;
}

TObject* TStringList::Objects(int Index) const {
    CheckIndex(Index);
    return FItems[Index].Obj;
}

void TStringList::Put(int Index, const std::wstring& S) {
    if (FSorted) throw EListError(L"Operation not allowed on sorted list");
    CheckIndex(Index);
    Changing(Index, S);
    FItems[Index].S = S;
}

void TStringList::PutObject(int Index, TObject* AObject) {
    CheckIndex(Index);
    if (FOwnsObjects && FItems[Index].Obj != AObject) delete FItems[Index].Obj;
    FItems[Index].Obj = AObject;
}

void TStringList::InsertItem(int Index, const std::wstring& S, TObject* AObject) {
    FItems.insert(FItems.begin() + Index, TItem{S, AObject});
    Inserted(Index);
}

void TStringList::Insert(int Index, const std::wstring& S) {
    if (FSorted) throw EListError(L"Operation not allowed on sorted list");
    if (Index < 0 || Index > Count()) RaiseListIndexError(Index);
    InsertItem(Index, S, nullptr);
}

void TStringList::Delete(int Index) {
    CheckIndex(Index);
    Deleting(Index);
    TObject* obj = FItems[Index].Obj;
    FItems.erase(FItems.begin() + Index);
    if (FOwnsObjects) delete obj;
}

void TStringList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    if (Index1 == Index2) return;
    Changing(Index1, FItems[Index2].S);
    Changing(Index2, FItems[Index1].S);
    std::swap(FItems[Index1], FItems[Index2]);
}

void TStringList::Move(int CurIndex, int NewIndex) {
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    if (CurIndex == NewIndex) return;
    TItem item = FItems[CurIndex];
    Deleting(CurIndex);
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, std::move(item));
    Inserted(NewIndex);
}

void TStringList::Clear() {
    for (int i = Count() - 1; i >= 0; --i) Delete(i);
}

int TStringList::CompareStrings(const std::wstring& A, const std::wstring& B) const {
    int r = CompareStringW(LOCALE_USER_DEFAULT, FCaseSensitive ? 0 : NORM_IGNORECASE, A.c_str(),
                           (int)A.size(), B.c_str(), (int)B.size());
    return r - CSTR_EQUAL;
}

int TStringList::IndexOf(const std::wstring& S) const {
    if (FSorted) {
        int i;
        return Find(S, i) ? i : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(FItems[i].S, S) == 0) return i;
    return -1;
}

int TStringList::Add(const std::wstring& S) {
    if (!FSorted) {
        InsertItem(Count(), S, nullptr);
        return Count() - 1;
    }
    int i;
    if (Find(S, i)) {
        if (Duplicates == dupIgnore) return i;
        if (Duplicates == dupError) throw EListError(L"String list does not allow duplicates");
    }
    InsertItem(i, S, nullptr);
    return i;
}

bool TStringList::Find(const std::wstring& S, int& Index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareStrings(FItems[mid].S, S);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != dupAccept) lo = mid;
            }
        }
    }
    Index = lo;
    return found;
}

void TStringList::Sort() {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const TItem& a, const TItem& b) { return CompareStrings(a.S, b.S) < 0; });
    Reordered();
}

void TStringList::SetSorted(bool Value) {
    if (Value && !FSorted) Sort();
    FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
    if (Value == FCaseSensitive) return;
    FCaseSensitive = Value;
    if (FSorted) Sort();
}

// THashedStringList

std::wstring THashedStringList::Key(const std::wstring& S) {
    std::wstring key = S;
    if (!key.empty()) CharUpperBuffW(key.data(), (DWORD)key.size());
    return key;
}

int THashedStringList::IndexOf(const std::wstring& S) const {
    auto it = FHash.find(Key(S));
    return it == FHash.end() || it->second.empty() ? -1 : it->second.back();
}

void THashedStringList::Link(int Index) {
    std::vector<int>& slots = FHash[Key(FItems[Index].S)];
    slots.insert(std::lower_bound(slots.begin(), slots.end(), Index), Index);
}

void THashedStringList::Unlink(int Index) {
    auto it = FHash.find(Key(FItems[Index].S));
    if (it == FHash.end()) return;
    auto& slots = it->second;
    auto pos = std::lower_bound(slots.begin(), slots.end(), Index);
    if (pos != slots.end() && *pos == Index) slots.erase(pos);
    if (slots.empty()) FHash.erase(it);
}

void THashedStringList::Shift(int From, int By) {
    for (auto& [key, slots] : FHash)
        for (int& i : slots)
            if (i >= From) i += By;
}

void THashedStringList::Inserted(int Index) {
    if (Index < Count() - 1) Shift(Index, 1); // appending, the usual case, moves nothing
    Link(Index);
}

void THashedStringList::Deleting(int Index) {
    Unlink(Index);
    if (Index < Count() - 1) Shift(Index + 1, -1);
}

void THashedStringList::Changing(int Index, const std::wstring& NewString) {
    Unlink(Index);
    std::vector<int>& slots = FHash[Key(NewString)];
    slots.insert(std::lower_bound(slots.begin(), slots.end(), Index), Index);
}

void THashedStringList::Reordered() {
    FHash.clear();
    for (int i = 0; i < Count(); ++i) Link(i);
}
