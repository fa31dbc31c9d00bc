#include <gtest/gtest.h>
#include <windows.h>

#include "text/KitCharsets.h"
#include "text/KitStrings.h"

// Names compare without regard to ASCII case; a name in several rows gives the first row's code page.
TEST(Charsets, NameToCodePageTakesTheFirstRow) {
    EXPECT_EQ(CodePageOfCharsetName(L"UtF-8"), 65001);
    EXPECT_EQ(CodePageOfCharsetName(L"latin1"), 28591);
    EXPECT_EQ(CodePageOfCharsetName(L"visual"), 28598);
    EXPECT_EQ(CodePageOfCharsetName(L"UTF-16"), 1200);
    EXPECT_EQ(CodePageOfCharsetName(L"United"), 437);
    EXPECT_EQ(CodePageOfCharsetName(L"l3,"), 28593);
    EXPECT_EQ(CodePageOfCharsetName(L"windows-1251"), 1251);
}

TEST(Charsets, UnknownNamesRaise) {
    for (const wchar_t* name : {L"utf8", L"United States", L"l3", L"", L"WINDOWS-1251 "}) {
        try {
            CodePageOfCharsetName(name);
            ADD_FAILURE() << "no error for " << testing::PrintToString(std::wstring(name));
        } catch (const EKitCharsetError& e) {
            EXPECT_EQ(e.Message(), L"No matching charset");
        }
    }
    // Only a-z fold: a non-ASCII letter must match in its own case.
    EXPECT_THROW(CodePageOfCharsetName(L"utf-\x0130"), EKitCharsetError);
}

TEST(Strings, CaseInsensitiveComparison) {
    EXPECT_TRUE(TextEquals(L"&amp;", L"&AMP;", false));
    EXPECT_FALSE(TextEquals(L"&amp;", L"&AMP;", true));
    EXPECT_TRUE(TextEquals(L"\x0416\x00C9", L"\x0436\x00E9", false));
    EXPECT_EQ(TextCompare(L"abc", L"ab", false), 1);
    EXPECT_EQ(TextCompare(L"ab", L"abc", false), -1);
    EXPECT_EQ(TextCompare(L"b", L"a", true), 1);
    EXPECT_EQ(TextCompare(L"a", L"B", false), -1);
    EXPECT_EQ(TextCompare(L"", L"", true), 0);
    EXPECT_EQ(TextCompare(L"", L"abc", true), -3);
    EXPECT_EQ(TextCompare(L"ab", L"", true), 2);
    EXPECT_EQ(CharToLowerCase(L'Q'), L'q');
    EXPECT_EQ(CharToLowerCase(wchar_t(0xD800)), wchar_t(0xD800));
}

TEST(Strings, TheLowerCaseMapIsTheSystemsMappingOfEachUnitAlone) {
    int differing = 0;
    for (unsigned u = 0; u < 65536; ++u) {
        wchar_t unit = wchar_t(u);
        CharLowerBuffW(&unit, 1);
        differing += CharToLowerCase(wchar_t(u)) != unit;
    }
    EXPECT_EQ(differing, 0);
}

TEST(Strings, CompareRange) {
    EXPECT_EQ(TextCompareRange(L"abc", L"ab", 1, true, 3), 0);
    EXPECT_EQ(TextCompareRange(L"abc", L"ab", 2, true, 5), -2);
    EXPECT_EQ(TextCompareRange(L"abc", L"", 1, true, 1), -1);
    EXPECT_EQ(TextCompareRange(L"abc", L"abd", 1, true, 0), -2);
    EXPECT_EQ(TextCompareRange(L"xbc", L"ybC", 2, false, 2), 0);
    std::wstring same = L"abc";
    EXPECT_EQ(TextCompareRange(same, same, 1, true, 9), 0);
    EXPECT_EQ(TextCompareRange(same, same, 1, true, 0), -2);
}

TEST(Strings, WhiteSpaceClassesAndTrimming) {
    EXPECT_FALSE(TextMatchesCharClass(L"", CharIsWhiteSpace, true));
    EXPECT_FALSE(TextMatchesCharClass(L"", CharIsWhiteSpace, false));
    EXPECT_TRUE(TextMatchesCharClass(L"\t\n ", CharIsWhiteSpace, true));
    EXPECT_FALSE(TextMatchesCharClass(L"\t\nx", CharIsWhiteSpace, true));
    EXPECT_TRUE(TextMatchesCharClass(L"a b", CharIsWhiteSpace, false));
    EXPECT_FALSE(TextMatchesCharClass(L"abc", CharIsWhiteSpace, false));
    EXPECT_EQ(TextSkipLeading(L"\r\na b", CharIsWhiteSpace), L"a b");
    EXPECT_EQ(TextSkipLeading(L"   ", CharIsWhiteSpace), L"");
    EXPECT_FALSE(CharIsWhiteSpace(wchar_t(0xA0)));
    EXPECT_FALSE(CharIsWhiteSpace(wchar_t(0x85)));
    EXPECT_TRUE(CharIsWhiteSpace(wchar_t(0x0B)));
}
