#include "xml/KitSimpleXmlNames.h"

#include <algorithm>
#include <windows.h>

namespace {
// Kept for the life of the process, on the heap: a zero-filled array of this size would take 128 KB of the
// program file.
const wchar_t* BuildUpperTable() {
    auto* map = new wchar_t[65536];
    for (unsigned u = 0; u < 65536; ++u) map[u] = (wchar_t)u;
    // Each unit maps on its own, so two calls do the work of 65536; the cut keeps the one high surrogate
    // followed by a low one (U+DBFF, U+DC00) from reading as a pair.
    CharUpperBuffW(map, 0xDC00);
    CharUpperBuffW(map + 0xDC00, 0x10000 - 0xDC00);
    return map;
}
} // namespace

wchar_t TKitNameList::UpperUnit(wchar_t Unit) {
    static const wchar_t* const table = BuildUpperTable();
    return table[(uint16_t)Unit];
}

std::wstring TKitNameList::Upper(const std::wstring& S) {
    std::wstring u(S.size(), L'\0');
    for (size_t i = 0; i < S.size(); ++i) u[i] = UpperUnit(S[i]);
    return u;
}

void TKitNameList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
}

void TKitNameList::Link(int Index) {
    std::vector<int>& slots = (*FIndex)[Upper(FItems[Index].Key)];
    slots.insert(std::lower_bound(slots.begin(), slots.end(), Index), Index);
}

void TKitNameList::Unlink(int Index) {
    auto it = FIndex->find(Upper(FItems[Index].Key));
    if (it == FIndex->end()) return;
    std::vector<int>& slots = it->second;
    auto pos = std::lower_bound(slots.begin(), slots.end(), Index);
    if (pos != slots.end() && *pos == Index) slots.erase(pos);
    if (slots.empty()) FIndex->erase(it);
}

void TKitNameList::Shift(int From, int By) {
    for (auto& entry : *FIndex)
        for (int& i : entry.second)
            if (i >= From) i += By;
}

void TKitNameList::BuildIndex() {
    FIndex = std::make_unique<TIndex>();
    for (int i = 0; i < Count(); ++i) Link(i);
}

void TKitNameList::Insert(int Index, const std::wstring& Name, TObject* Obj) {
    if (Index < 0 || Index > Count()) RaiseListIndexError(Index);
    // Grown by half rather than doubled: a list of a hostile document's many children then holds less unused
    // room, and less at the moment it moves. Most lists stay at one or two entries.
    if (FItems.size() == FItems.capacity()) FItems.reserve(FItems.size() + FItems.size() / 2 + 1);
    FItems.insert(FItems.begin() + Index, TEntry{Name, Obj});
    if (FIndex) {
        if (Index < Count() - 1) Shift(Index, 1); // appending, the usual case, moves nothing
        Link(Index);
    } else if (Count() > IndexThreshold) {
        BuildIndex();
    }
}

void TKitNameList::Delete(int Index) {
    CheckIndex(Index);
    if (FIndex) {
        Unlink(Index);
        if (Index < Count() - 1) Shift(Index + 1, -1);
    }
    FItems.erase(FItems.begin() + Index);
}

void TKitNameList::Rename(int Index, const std::wstring& Name) {
    CheckIndex(Index);
    if (FIndex) Unlink(Index);
    FItems[Index].Key = Name;
    if (FIndex) Link(Index);
}

void TKitNameList::Move(int CurIndex, int NewIndex) {
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    if (CurIndex == NewIndex) return;
    TEntry entry = FItems[CurIndex];
    Delete(CurIndex);
    Insert(NewIndex, entry.Key, entry.Obj);
}

void TKitNameList::Clear() {
    FItems.clear();
    FIndex.reset();
}

int TKitNameList::IndexOf(const std::wstring& Name) const {
    if (FIndex) {
        auto it = FIndex->find(Upper(Name));
        return it == FIndex->end() ? -1 : it->second.back();
    }
    for (int i = Count() - 1; i >= 0; --i) {
        const std::wstring& key = FItems[i].Key;
        if (key.size() != Name.size()) continue;
        size_t k = 0;
        while (k < key.size() && UpperUnit(key[k]) == UpperUnit(Name[k])) ++k;
        if (k == key.size()) return i;
    }
    return -1;
}

int TKitNameList::IndexOfObject(const TObject* Obj) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[i].Obj == Obj) return i;
    return -1;
}

void TKitNameList::Exchange(int Index1, int Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    if (Index1 == Index2) return;
    if (FIndex) {
        Unlink(Index1);
        Unlink(Index2);
    }
    std::swap(FItems[Index1], FItems[Index2]);
    if (FIndex) {
        Link(Index1);
        Link(Index2);
    }
}
