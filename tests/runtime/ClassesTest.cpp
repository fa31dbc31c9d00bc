#include <gtest/gtest.h>

#include <vector>

#include "runtime/Classes.h"

namespace {
std::vector<std::wstring> gFreed;

class TPart : public TComponent {
    ZRX_CLASS(TPart, TComponent)
public:
    TPart(TComponent* Owner, const std::wstring& Name) : TComponent(Owner) { SetName(Name); }
    ~TPart() override { gFreed.push_back(Name()); }
};

class TEntry : public TCollectionItem {
    ZRX_CLASS(TEntry, TCollectionItem)
public:
    using TCollectionItem::TCollectionItem;
    ~TEntry() override { ++Freed; }
    static inline int Freed = 0;
};

class TEntries : public TCollection {
public:
    TEntries() : TCollection([](TCollection* C) { return std::make_unique<TEntry>(C); }) {}
    std::vector<const TCollectionItem*> Updates;

protected:
    void Update(TCollectionItem* Item) override { Updates.push_back(Item); }
};
} // namespace

TEST(TComponent, OwnershipNamesAndLookUp) {
    gFreed.clear();
    {
        TPart form(nullptr, L"Form");
        auto* label = new TPart(&form, L"lbText1");
        auto* button = new TPart(&form, L"btnNext");
        new TPart(&form, L"");
        new TPart(&form, L""); // several nameless components may coexist
        ASSERT_EQ(form.ComponentCount(), 4);
        EXPECT_EQ(form.Components(0), label);
        EXPECT_EQ(button->ComponentIndex(), 1);
        EXPECT_EQ(button->Owner(), &form);
        EXPECT_EQ(form.FindComponent(L"BTNNEXT"), button);
        EXPECT_EQ(form.FindComponent(L"btnBack"), nullptr);
        EXPECT_EQ(form.FindComponent(L""), nullptr);
        EXPECT_THROW(form.Components(4), EListError);

        try {
            new TPart(&form, L"btnNext");
            FAIL();
        } catch (const EComponentError& e) {
            EXPECT_EQ(e.Message(), L"A component named btnNext already exists");
        }
        // The refused component was freed by its failed constructor and left the owner.
        EXPECT_EQ(form.ComponentCount(), 4);
        EXPECT_THROW(label->SetName(L"BtnNext"), EComponentError);
        EXPECT_EQ(label->Name(), L"lbText1");
        label->SetName(L"LBTEXT1"); // its own name in another case
        EXPECT_EQ(form.FindComponent(L"lbtext1"), label);
        label->SetName(L"lbText2");
        EXPECT_EQ(form.FindComponent(L"lbText1"), nullptr);

        TPart other(nullptr, L"Other");
        auto* moved = new TPart(&other, L"btnNext");
        EXPECT_THROW(form.InsertComponent(moved), EComponentError);
        EXPECT_EQ(moved->Owner(), &other);
        moved->SetName(L"btnMoved");
        form.InsertComponent(moved);
        EXPECT_EQ(moved->Owner(), &form);
        EXPECT_EQ(other.ComponentCount(), 0);

        delete button; // leaves its owner
        EXPECT_EQ(form.FindComponent(L"btnNext"), nullptr);
        EXPECT_EQ(form.ComponentCount(), 4);

        form.SetDesigning(true);
        EXPECT_TRUE(label->ComponentState() & csDesigning);
        form.SetDesigning(false);
        EXPECT_FALSE(label->ComponentState() & csDesigning);
        gFreed.clear();
    }
    // The owner frees what it owns, the last first, then itself... which the vector shows in reverse.
    std::vector<std::wstring> expected = {L"btnMoved", L"", L"", L"lbText2", L"Form"};
    // TPart's own destructor body runs before the base class frees the owned parts.
    std::vector<std::wstring> actual = gFreed;
    ASSERT_EQ(actual.size(), 6u); // "Other" too, freed first as the later local
    EXPECT_EQ(actual[0], L"Other");
    actual.erase(actual.begin());
    EXPECT_EQ(actual[0], L"Form");
    EXPECT_EQ(std::vector<std::wstring>(actual.begin() + 1, actual.end()),
              std::vector<std::wstring>(expected.begin(), expected.end() - 1));
}

TEST(TList, IndexErrorsAndMoves) {
    int a = 1, b = 2, c = 3;
    TList list;
    list.Add(&a);
    list.Add(&b);
    list.Insert(0, &c); // c a b
    EXPECT_EQ(list.IndexOf(&a), 1);
    list.Move(0, 2); // a b c
    EXPECT_EQ(list.Get(2), &c);
    list.Exchange(0, 2); // c b a
    EXPECT_EQ(list.Get(0), &c);
    EXPECT_EQ(list.Remove(&b), 1);
    EXPECT_EQ(list.Remove(&b), -1);
    list.Sort([](void* x, void* y) { return *(int*)x - *(int*)y; });
    EXPECT_EQ(list.Get(0), &a);
    try {
        list.Get(2);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), L"List index out of bounds (2)");
    }
    EXPECT_THROW(list.Insert(3, &a), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    EXPECT_THROW(list.Move(0, 5), EListError);
}

TEST(TCollection, ItemsIdsOrderAndNotifications) {
    TEntry::Freed = 0;
    {
        TEntries entries;
        TCollectionItem* first = entries.Add();
        TCollectionItem* second = entries.Add();
        TCollectionItem* front = entries.Insert(0);
        EXPECT_EQ(first->ID(), 0);
        EXPECT_EQ(front->ID(), 2);
        EXPECT_EQ(front->Index(), 0);
        EXPECT_EQ(first->Index(), 1);
        EXPECT_EQ(front->Collection(), &entries);
        EXPECT_EQ(front->GetOwner(), &entries);
        EXPECT_EQ(front->ClassName(), L"TEntry");
        ASSERT_EQ(entries.Updates.size(), 3u);
        EXPECT_EQ(entries.Updates[2], front);

        front->SetIndex(2); // first second front
        EXPECT_EQ(entries.GetItem(2), front);
        EXPECT_EQ(second->Index(), 1);

        entries.BeginUpdate();
        entries.Delete(0);
        entries.Add();
        EXPECT_EQ(entries.Updates.size(), 4u); // nothing while updating
        entries.EndUpdate();
        EXPECT_EQ(entries.Updates.size(), 5u);
        EXPECT_EQ(entries.Updates.back(), nullptr);
        EXPECT_EQ(TEntry::Freed, 1);
        EXPECT_EQ(entries.Count(), 3);
        EXPECT_EQ(entries.GetItem(2)->ID(), 3);
        try {
            entries.GetItem(3);
            FAIL();
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), L"List index out of bounds (3)");
        }
        EXPECT_THROW(entries.GetItem(-1), EListError);
        entries.Clear();
        EXPECT_EQ(TEntry::Freed, 4);
        entries.Add();
    }
    EXPECT_EQ(TEntry::Freed, 5);
}

TEST(Exceptions, MessagesAndClasses) {
    try {
        RaiseLastOSError(2);
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode, 2u);
        EXPECT_EQ(e.Message().rfind(L"System Error.  Code: 2.\r\n", 0), 0u);
        EXPECT_GT(e.Message().size(), 26u); // the system's text follows
        EXPECT_NE(e.Message().back(), L'\n');
    }
    EXPECT_EQ(EAbstractError().Message(), L"Abstract Error");
    EXPECT_EQ(std::wstring(EAbort().ClassName()), L"EAbort");
    EXPECT_EQ(std::wstring(EFOpenError(L"x").ClassName()), L"EFOpenError");
    try {
        throw EReadError(L"Stream read error");
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    TPersistent a, b;
    try {
        a.Assign(&b);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), L"Cannot assign a TPersistent to a TPersistent");
    }
}
