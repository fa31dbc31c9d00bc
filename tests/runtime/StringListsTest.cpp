#include <gtest/gtest.h>

#include "runtime/StringLists.h"

TEST(THashedStringList, FindsHighestIndexWithoutRegardToCase) {
    THashedStringList list;
    list.Add(L"alpha");
    list.Add(L"Beta");
    list.Add(L"ALPHA");
    EXPECT_EQ(list.IndexOf(L"Alpha"), 2);
    EXPECT_EQ(list.IndexOf(L"beta"), 1);
    EXPECT_EQ(list.IndexOf(L"gamma"), -1);
}

TEST(THashedStringList, FollowsInsertsRenamesDeletesAndMoves) {
    THashedStringList list;
    for (auto s : {L"a", L"b", L"c", L"d"}) list.Add(s);
    list.Insert(0, L"x");      // x a b c d
    EXPECT_EQ(list.IndexOf(L"c"), 3);
    list.Put(3, L"b");         // x a b b d
    EXPECT_EQ(list.IndexOf(L"B"), 3);
    EXPECT_EQ(list.IndexOf(L"c"), -1);
    list.Delete(1);            // x b b d
    EXPECT_EQ(list.IndexOf(L"b"), 2);
    EXPECT_EQ(list.IndexOf(L"a"), -1);
    EXPECT_EQ(list.IndexOf(L"d"), 3);
    list.Move(3, 0);           // d x b b
    EXPECT_EQ(list.IndexOf(L"d"), 0);
    EXPECT_EQ(list.IndexOf(L"x"), 1);
    list.Exchange(0, 3);       // b x b d
    EXPECT_EQ(list.IndexOf(L"d"), 3);
    EXPECT_EQ(list.IndexOf(L"b"), 2);
    list.Clear();
    EXPECT_EQ(list.IndexOf(L"b"), -1);
}

TEST(TStringList, TextAndIndexErrors) {
    TStringList list;
    list.SetText(L"one\r\ntwo\nthree");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Text(), L"one\r\ntwo\r\nthree\r\n");
    try {
        list.Get(3);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), L"List index out of bounds (3)");
    }
}

TEST(TStringList, SortedIgnoresDuplicates) {
    TStringList list;
    list.SetSorted(true);
    list.Add(L"b");
    list.Add(L"A");
    list.Add(L"B");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(0), L"A");
    EXPECT_EQ(list.IndexOf(L"B"), 1);
}
