#include "runtime/Classes.h"

#include <algorithm>

#include "runtime/SysUtils.h"

// TPersistent

void TPersistent::Assign(TPersistent* Source) {
    if (Source) {
        Source->AssignTo(this);
        return;
    }
    AssignTo(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) {
    throw EConvertError(L"Cannot assign a " + ClassName() + L" to a " + (Dest ? Dest->ClassName() : L"nil"));
}

// TComponent

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    FComponentState |= csDestroying;
    // Free owned components last-first, as they may refer to earlier siblings.
    while (!FComponents.empty()) {
        TComponent* child = FComponents.back();
        FComponents.pop_back();
        child->FOwner = nullptr;
        delete child;
    }
    if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= (int)FComponents.size()) RaiseListIndexError(Index);
    return FComponents[Index];
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : (int)(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::wstring& AName) const {
    if (AName.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, AName)) return c;
    return nullptr;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::wstring& CurName,
                                const std::wstring& NewName) {
    if (NewName.empty() || SameText(CurName, NewName)) return;
    TComponent* other = FindComponent(NewName);
    if (other && other != AComponent) throw EComponentError(L"A component named " + NewName + L" already exists");
}

void TComponent::SetName(const std::wstring& NewName) {
    if (FName == NewName) return;
    if (FOwner) FOwner->ValidateRename(this, FName, NewName);
    FName = NewName;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (AComponent->FOwner == this) return;
    ValidateRename(AComponent, L"", AComponent->FName);
    if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it == FComponents.end()) return;
    FComponents.erase(it);
    AComponent->FOwner = nullptr;
}

void TComponent::SetDesigning(bool Value) {
    if (Value)
        FComponentState |= csDesigning;
    else
        FComponentState &= ~uint32_t(csDesigning);
    for (TComponent* c : FComponents) c->SetDesigning(Value);
}

// TList

void* TList::Get(int Index) const {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
    return FItems[Index];
}

void TList::Put(int Index, void* Item) {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
    FItems[Index] = Item;
}

int TList::Add(void* Item) {
    FItems.push_back(Item);
    return Count() - 1;
}

void TList::Insert(int Index, void* Item) {
    if (Index < 0 || Index > Count()) RaiseListIndexError(Index);
    FItems.insert(FItems.begin() + Index, Item);
}

void TList::Delete(int Index) {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
    FItems.erase(FItems.begin() + Index);
}

int TList::Remove(void* Item) {
    int i = IndexOf(Item);
    if (i >= 0) Delete(i);
    return i;
}

int TList::IndexOf(void* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : (int)(it - FItems.begin());
}

void TList::Exchange(int Index1, int Index2) {
    if (Index1 < 0 || Index1 >= Count()) RaiseListIndexError(Index1);
    if (Index2 < 0 || Index2 >= Count()) RaiseListIndexError(Index2);
    std::swap(FItems[Index1], FItems[Index2]);
}

void TList::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    if (NewIndex < 0 || NewIndex >= Count()) RaiseListIndexError(NewIndex);
    void* item = Get(CurIndex);
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, item);
}

void TList::Sort(const std::function<int(void*, void*)>& Compare) {
    std::stable_sort(FItems.begin(), FItems.end(), [&](void* a, void* b) { return Compare(a, b) < 0; });
}

// TCollectionItem

int TCollectionItem::Index() const { return FCollection ? FCollection->IndexOf(this) : -1; }

void TCollectionItem::SetIndex(int Value) {
    int cur = Index();
    if (cur >= 0 && cur != Value) FCollection->Move(cur, Value);
}

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

// TCollection

TCollection::TCollection(TItemFactory ItemFactory, TPersistent* Owner)
    : FItemFactory(std::move(ItemFactory)), FOwner(Owner) {}

TCollection::~TCollection() {
    FUpdateCount = 1; // no change notifications while tearing down
    FItems.clear();
}

TCollectionItem* TCollection::GetItem(int Index) const {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
    return FItems[Index].get();
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::Insert(int Index) {
    if (Index < 0 || Index > Count()) RaiseListIndexError(Index);
    std::unique_ptr<TCollectionItem> item = FItemFactory(this);
    item->FCollection = this;
    item->FID = FNextID++;
    TCollectionItem* raw = item.get();
    FItems.insert(FItems.begin() + Index, std::move(item));
    Changed(raw);
    return raw;
}

void TCollection::Delete(int Index) {
    if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
    FItems.erase(FItems.begin() + Index);
    Changed();
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    Changed();
}

int TCollection::IndexOf(const TCollectionItem* Item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == Item) return (int)i;
    return -1;
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Move(int CurIndex, int NewIndex) {
    if (CurIndex < 0 || CurIndex >= Count()) RaiseListIndexError(CurIndex);
    if (NewIndex < 0) NewIndex = 0;
    if (NewIndex >= Count()) NewIndex = Count() - 1;
    if (CurIndex == NewIndex) return;
    std::unique_ptr<TCollectionItem> item = std::move(FItems[CurIndex]);
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, std::move(item));
    Changed();
}

void TCollection::Changed(TCollectionItem* Item) {
    if (FUpdateCount == 0) Update(Item);
}
