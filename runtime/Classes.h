// Class information, persistent objects, components with owners, pointer lists and collections.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Exceptions.h"

struct TPropInfo;

// What the runtime knows of a class: its name, its parent, and its published properties
// (filled in by the classes that publish any).
struct TClassInfo {
    const wchar_t* Name;
    const TClassInfo* Parent;
    const TPropInfo* Props = nullptr;
    size_t PropCount = 0;

    bool InheritsFrom(const TClassInfo* Ancestor) const {
        for (const TClassInfo* c = this; c; c = c->Parent)
            if (c == Ancestor) return true;
        return false;
    }
};

using TClass = const TClassInfo*;

// Declares a class's information record; put it first in the class body.
#define ZRX_CLASS(Name, ParentClass)                                                                         \
public:                                                                                                      \
    static TClass StaticClass() {                                                                            \
        static const TClassInfo info{L## #Name, ParentClass::StaticClass()};                                 \
        return &info;                                                                                        \
    }                                                                                                        \
    TClass ClassType() const override { return StaticClass(); }

class TObject {
public:
    virtual ~TObject() = default;
    static TClass StaticClass() {
        static const TClassInfo info{L"TObject", nullptr};
        return &info;
    }
    virtual TClass ClassType() const { return StaticClass(); }
    std::wstring ClassName() const { return ClassType()->Name; }
    bool InheritsFrom(TClass Ancestor) const { return ClassType()->InheritsFrom(Ancestor); }
};

class TPersistent : public TObject {
    ZRX_CLASS(TPersistent, TObject)
public:
    // Copies Source into this object; raises EConvertError when neither side knows how.
    virtual void Assign(TPersistent* Source);
    virtual TPersistent* GetOwner() { return nullptr; }

protected:
    virtual void AssignTo(TPersistent* Dest);
};

enum TComponentStateItem : uint32_t { csLoading = 1, csReading = 2, csWriting = 4, csDestroying = 8, csDesigning = 16 };

// A component has a name and an owner; the owner frees the components it owns.
class TComponent : public TPersistent {
    ZRX_CLASS(TComponent, TPersistent)
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::wstring& Name() const { return FName; }
    // Raises EComponentError "A component named %s already exists" when a sibling has the name.
    virtual void SetName(const std::wstring& NewName);
    TComponent* Owner() const { return FOwner; }
    TPersistent* GetOwner() override { return FOwner; }
    int ComponentCount() const { return (int)FComponents.size(); }
    TComponent* Components(int Index) const;
    int ComponentIndex() const;
    // The owned component of that name, compared without regard to case; nullptr when none.
    TComponent* FindComponent(const std::wstring& AName) const;
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);

    uint32_t ComponentState() const { return FComponentState; }
    void SetDesigning(bool Value);
    intptr_t Tag = 0;

private:
    void ValidateRename(TComponent* AComponent, const std::wstring& CurName, const std::wstring& NewName);
    std::wstring FName;
    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents; // owned, in order of insertion
    uint32_t FComponentState = 0;
};

// A list of untyped pointers that it does not own.
class TList : public TObject {
    ZRX_CLASS(TList, TObject)
public:
    int Count() const { return (int)FItems.size(); }
    void* Get(int Index) const;
    void Put(int Index, void* Item);
    int Add(void* Item);
    void Insert(int Index, void* Item);
    void Delete(int Index);
    int Remove(void* Item);
    int IndexOf(void* Item) const;
    void Exchange(int Index1, int Index2);
    void Move(int CurIndex, int NewIndex);
    void Clear() { FItems.clear(); }
    void Sort(const std::function<int(void*, void*)>& Compare);

private:
    std::vector<void*> FItems;
};

class TCollection;

class TCollectionItem : public TPersistent {
    ZRX_CLASS(TCollectionItem, TPersistent)
public:
    explicit TCollectionItem(TCollection* Collection) : FCollection(Collection) {}
    TCollection* Collection() const { return FCollection; }
    int Index() const;
    void SetIndex(int Value);
    int ID() const { return FID; }
    TPersistent* GetOwner() override;
    virtual std::wstring DisplayName() const { return ClassName(); }

private:
    friend class TCollection;
    TCollection* FCollection;
    int FID = 0;
};

// An ordered, owning list of items of one class, made by the collection itself.
class TCollection : public TPersistent {
    ZRX_CLASS(TCollection, TPersistent)
public:
    using TItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection*)>;
    explicit TCollection(TItemFactory ItemFactory, TPersistent* Owner = nullptr);
    ~TCollection() override;

    int Count() const { return (int)FItems.size(); }
    TCollectionItem* GetItem(int Index) const;
    TCollectionItem* Add();
    TCollectionItem* Insert(int Index);
    void Delete(int Index);
    void Clear();
    int IndexOf(const TCollectionItem* Item) const;
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    void Move(int CurIndex, int NewIndex);
    TPersistent* GetOwner() override { return FOwner; }

protected:
    // Called after a change (item nullptr: the whole collection) unless an update is in progress.
    virtual void Update(TCollectionItem* Item) { (void)Item; }
    void Changed(TCollectionItem* Item = nullptr);

private:
    TItemFactory FItemFactory;
    TPersistent* FOwner;
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
    int FNextID = 0;
    int FUpdateCount = 0;
};
