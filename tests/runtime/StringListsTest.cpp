#include <gtest/gtest.h>

#include <random>
#include <windows.h>

#include "runtime/StringLists.h"

namespace {
std::wstring Upper(std::wstring S) {
    if (!S.empty()) CharUpperBuffW(S.data(), (DWORD)S.size());
    return S;
}

// The highest index whose string equals S after upper-casing both: what the hashed list must answer.
int SlowIndexOf(const TStrings& List, const std::wstring& S) {
    for (int i = List.Count() - 1; i >= 0; --i)
        if (Upper(List.Get(i)) == Upper(S)) return i;
    return -1;
}

struct Counted : TObject {
    explicit Counted(int& Freed) : FreedCount(Freed) {}
    ~Counted() override { ++FreedCount; }
    int& FreedCount;
};
} // namespace

TEST(THashedStringList, FindsHighestIndexWithoutRegardToCase) {
    THashedStringList list;
    list.Add(L"alpha");
    list.Add(L"Beta");
    list.Add(L"ALPHA");
    list.Add(L"été");
    EXPECT_EQ(list.IndexOf(L"Alpha"), 2);
    EXPECT_EQ(list.IndexOf(L"beta"), 1);
    EXPECT_EQ(list.IndexOf(L"ÉTÉ"), 3); // the system's upper case, not only a-z
    EXPECT_EQ(list.IndexOf(L"gamma"), -1);
    EXPECT_EQ(list.IndexOf(L""), -1);
    list.Add(L"");
    EXPECT_EQ(list.IndexOf(L""), 4);
}

TEST(THashedStringList, FollowsInsertsRenamesDeletesAndMoves) {
    THashedStringList list;
    for (auto s : {L"a", L"b", L"c", L"d"}) list.Add(s);
    list.Insert(0, L"x"); // x a b c d
    EXPECT_EQ(list.IndexOf(L"c"), 3);
    list.Put(3, L"b"); // x a b b d
    EXPECT_EQ(list.IndexOf(L"B"), 3);
    EXPECT_EQ(list.IndexOf(L"c"), -1);
    list.Delete(1); // x b b d
    EXPECT_EQ(list.IndexOf(L"b"), 2);
    EXPECT_EQ(list.IndexOf(L"a"), -1);
    EXPECT_EQ(list.IndexOf(L"d"), 3);
    list.Move(3, 0); // d x b b
    EXPECT_EQ(list.IndexOf(L"d"), 0);
    EXPECT_EQ(list.IndexOf(L"x"), 1);
    list.Exchange(0, 3); // b x b d
    EXPECT_EQ(list.IndexOf(L"d"), 3);
    EXPECT_EQ(list.IndexOf(L"b"), 2);
    list.Sort(); // b b d x
    EXPECT_EQ(list.IndexOf(L"b"), 1);
    EXPECT_EQ(list.IndexOf(L"X"), 3);
    list.Clear();
    EXPECT_EQ(list.IndexOf(L"b"), -1);
    EXPECT_EQ(list.Count(), 0);
}

TEST(THashedStringList, AgreesWithASlowSearchThroughRandomChanges) {
    std::mt19937 random(12345);
    const wchar_t* names[] = {L"item", L"ITEM", L"Elem", L"elem", L"x", L"Prop", L"prop", L"É", L"é", L""};
    auto name = [&] { return std::wstring(names[random() % 10]) + std::to_wstring(random() % 3); };
    THashedStringList list;
    for (int step = 0; step < 4000; ++step) {
        const int n = list.Count();
        switch (random() % 8) {
        case 0:
        case 1:
            list.Add(name());
            break;
        case 2:
            list.Insert(random() % (n + 1), name());
            break;
        case 3:
            if (n) list.Put(random() % n, name());
            break;
        case 4:
            if (n) list.Delete(random() % n);
            break;
        case 5:
            if (n) list.Move(random() % n, random() % n);
            break;
        case 6:
            if (n) list.Exchange(random() % n, random() % n);
            break;
        case 7:
            if (step % 97 == 0) list.Sort();
            break;
        }
        const std::wstring probe = name();
        ASSERT_EQ(list.IndexOf(probe), SlowIndexOf(list, probe))
            << "step " << step << " probe " << probe.size();
    }
    EXPECT_GT(list.Count(), 100);
    for (int i = 0; i < list.Count(); ++i)
        ASSERT_EQ(list.IndexOf(list.Get(i)), SlowIndexOf(list, list.Get(i)));
}

TEST(TStringList, TextLinesAndIndexErrors) {
    TStringList list;
    list.SetText(L"one\r\ntwo\nthree\r\rfive\r\n");
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list[3], L"");
    EXPECT_EQ(list.Text(), L"one\r\ntwo\r\nthree\r\n\r\nfive\r\n");
    list.SetText(L"");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Text(), L"");
    list.SetText(L"single");
    EXPECT_EQ(list.Text(), L"single\r\n");
    for (int bad : {-1, 1}) {
        try {
            list.Get(bad);
            FAIL();
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), L"List index out of bounds (" + std::to_wstring(bad) + L")");
        }
    }
    EXPECT_THROW(list.Delete(1), EListError);
    EXPECT_THROW(list.Insert(2, L"x"), EListError);
    EXPECT_THROW(list.Put(-1, L"x"), EListError);
    EXPECT_THROW(list.Objects(5), EListError);
    list.Insert(1, L"end");
    EXPECT_EQ(list.Text(), L"single\r\nend\r\n");
    EXPECT_EQ(list.IndexOf(L"END"), 1);
}

TEST(TStringList, SortedListsIgnoreDuplicates) {
    TStringList list;
    list.SetSorted(true);
    EXPECT_EQ(list.Add(L"b"), 0);
    EXPECT_EQ(list.Add(L"A"), 0);
    EXPECT_EQ(list.Add(L"B"), 1); // already there (case does not matter): not added again
    EXPECT_EQ(list.Add(L"c"), 2);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(0), L"A");
    EXPECT_EQ(list.IndexOf(L"B"), 1);
    EXPECT_EQ(list.IndexOf(L"bb"), -1);
    int at = -1;
    EXPECT_FALSE(list.Find(L"bb", at));
    EXPECT_EQ(at, 2);
    EXPECT_THROW(list.Insert(0, L"z"), EListError);
    EXPECT_THROW(list.Put(0, L"z"), EListError);
    list.Duplicates = dupError;
    EXPECT_THROW(list.Add(L"c"), EListError);
    list.Duplicates = dupAccept;
    list.Add(L"c");
    EXPECT_EQ(list.Count(), 4);

    TStringList late;
    for (auto s : {L"pear", L"Apple", L"fig"}) late.Add(s);
    late.SetSorted(true);
    EXPECT_EQ(late.Text(), L"Apple\r\nfig\r\npear\r\n");
}

TEST(TStringList, AssignAndOwnedObjects) {
    int freed = 0;
    {
        TStringList owner(true);
        owner.AddObject(L"a", new Counted(freed));
        owner.AddObject(L"b", new Counted(freed));
        owner.AddObject(L"c", new Counted(freed));
        owner.Delete(0);
        EXPECT_EQ(freed, 1);
        owner.PutObject(0, new Counted(freed)); // replaces and frees the old one
        EXPECT_EQ(freed, 2);
        owner.Move(0, 1); // objects travel with their strings
        EXPECT_EQ(freed, 2);
        TStringList copy;
        copy.Assign(&owner);
        EXPECT_EQ(copy.Text(), L"c\r\nb\r\n");
        EXPECT_EQ(copy.Objects(1), owner.Objects(1));
        copy.Assign(&copy);
        EXPECT_EQ(copy.Count(), 2);
    }
    EXPECT_EQ(freed, 4);
    TStringList list;
    TPersistent other;
    EXPECT_THROW(list.Assign(&other), EConvertError);
}
