// String lists: the abstract list, the plain and sorted list, and the hashed list for name look-ups.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/Classes.h"

class TStrings : public TPersistent {
    ZRX_CLASS(TStrings, TPersistent)
public:
    virtual int Count() const = 0;
    virtual std::wstring Get(int Index) const = 0;
    virtual TObject* Objects(int Index) const = 0;
    virtual void Put(int Index, const std::wstring& S) = 0;
    virtual void PutObject(int Index, TObject* AObject) = 0;
    virtual void Insert(int Index, const std::wstring& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    // The first index of S, compared without regard to case; -1 when missing.
    virtual int IndexOf(const std::wstring& S) const;

    std::wstring operator[](int Index) const { return Get(Index); }
    virtual int Add(const std::wstring& S);
    int AddObject(const std::wstring& S, TObject* AObject);
    void InsertObject(int Index, const std::wstring& S, TObject* AObject);
    int IndexOfObject(const TObject* AObject) const;
    virtual void Exchange(int Index1, int Index2);
    virtual void Move(int CurIndex, int NewIndex);
    void AddStrings(const TStrings& Strings);
    void Assign(TPersistent* Source) override;

    // Every line followed by CR LF.
    std::wstring Text() const;
    // Splits at CR LF, CR or LF; a final line break adds no empty line.
    void SetText(const std::wstring& Value);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate() { --FUpdateCount; }

protected:
    int FUpdateCount = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
    ZRX_CLASS(TStringList, TStrings)
public:
    TStringList() = default;
    explicit TStringList(bool OwnsObjects) : FOwnsObjects(OwnsObjects) {}
    ~TStringList() override;

    int Count() const override { return (int)FItems.size(); }
    std::wstring Get(int Index) const override;
    TObject* Objects(int Index) const override;
    void Put(int Index, const std::wstring& S) override;
    void PutObject(int Index, TObject* AObject) override;
    void Insert(int Index, const std::wstring& S) override;
    void Delete(int Index) override;
    void Clear() override;
    int IndexOf(const std::wstring& S) const override;
    // Sorted lists add in order; with dupIgnore an existing string is not added again (its index is returned).
    int Add(const std::wstring& S) override;
    // Binary search of a sorted list: True when found; Index is where S is or would go.
    bool Find(const std::wstring& S, int& Index) const;
    void Sort();
    void Exchange(int Index1, int Index2) override;
    void Move(int CurIndex, int NewIndex) override;

    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    TDuplicates Duplicates = dupIgnore;
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool Value);
    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

protected:
    struct TItem {
        std::wstring S;
        TObject* Obj = nullptr;
    };
    int CompareStrings(const std::wstring& A, const std::wstring& B) const;
    // Hooks for lists that index their strings.
    virtual void Inserted(int Index) { (void)Index; }
    virtual void Deleting(int Index) { (void)Index; }
    virtual void Changing(int Index, const std::wstring& NewString) { (void)Index, (void)NewString; }
    virtual void Reordered() {}
    void CheckIndex(int Index) const;

    std::vector<TItem> FItems;

private:
    void InsertItem(int Index, const std::wstring& S, TObject* AObject);
    bool FSorted = false;
    bool FCaseSensitive = false;
    bool FOwnsObjects = false;
};

// A string list whose IndexOf goes through a hash of the upper-cased strings. Among equal strings the
// one with the highest index is found. The hash follows every change instead of being rebuilt.
class THashedStringList : public TStringList {
    ZRX_CLASS(THashedStringList, TStringList)
public:
    using TStringList::TStringList;
    int IndexOf(const std::wstring& S) const override;

protected:
    void Inserted(int Index) override;
    void Deleting(int Index) override;
    void Changing(int Index, const std::wstring& NewString) override;
    void Reordered() override;

private:
    static std::wstring Key(const std::wstring& S);
    void Unlink(int Index);
    void Link(int Index);
    void Shift(int From, int By);
    // Upper-cased string -> indices holding it, ascending.
    std::unordered_map<std::wstring, std::vector<int>> FHash;
};
