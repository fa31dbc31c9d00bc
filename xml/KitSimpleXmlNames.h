// The ordered name lists behind an element's children, its attributes and its per-name groups.
#pragma once
#include <memory>
#include <string>
#include <map>
#include <vector>

#include "runtime/Classes.h"

// Entries (a name and an object) in order. Look-up by name ignores case (both sides upper-cased unit by unit
// as CharUpperBuffW does) and, among equal names, finds the entry with the highest index. Small lists are
// searched from the end; a list that grows past a few entries keeps an index of its names that follows each
// change, so appending and looking up stay cheap however long the list gets. The list never owns objects.
class TKitNameList {
public:
    TKitNameList() = default;
    TKitNameList(const TKitNameList&) = delete;
    TKitNameList& operator=(const TKitNameList&) = delete;

    int Count() const { return (int)FItems.size(); }
    const std::wstring& Name(int Index) const { return FItems[Index].Key; }
    TObject* Object(int Index) const { return FItems[Index].Obj; }

    // Raise the runtime's list index error when Index is out of range.
    void Insert(int Index, const std::wstring& Name, TObject* Obj);
    void Add(const std::wstring& Name, TObject* Obj) { Insert(Count(), Name, Obj); }
    void Delete(int Index);
    void Rename(int Index, const std::wstring& Name);
    void Move(int CurIndex, int NewIndex);
    void Clear();

    int IndexOf(const std::wstring& Name) const;
    int IndexOfObject(const TObject* Obj) const;
    void Exchange(int Index1, int Index2);
    // Between these, exchanges skip the index, which is rebuilt once at the end (for sorting).
    void BeginReorder() { FIndex.reset(); }
    void EndReorder() {
        if (Count() > IndexThreshold) BuildIndex();
    }

    // The upper-case form of one UTF-16 unit (CharUpperBuffW's mapping, cached for all 65536 units).
    static wchar_t UpperUnit(wchar_t Unit);

private:
    // Below this many entries a backward scan beats keeping an index.
    static constexpr int IndexThreshold = 8;
    struct TEntry {
        std::wstring Key;
        TObject* Obj;
    };
    // A search tree rather than a hash table: no set of names, however crafted, makes it slow.
    using TIndex = std::map<std::wstring, std::vector<int>>;

    void CheckIndex(int Index) const;
    static std::wstring Upper(const std::wstring& S);
    void Link(int Index);
    void Unlink(int Index);
    void Shift(int From, int By);
    void BuildIndex();

    std::vector<TEntry> FItems;
    std::unique_ptr<TIndex> FIndex; // upper-cased name -> indices holding it, ascending
};
