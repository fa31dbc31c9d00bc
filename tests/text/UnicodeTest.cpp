#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "text/KitUnicode.h"

namespace {

// Answers of all three predicates over the Basic Multilingual Plane and a few planes beyond.
std::vector<uint8_t> Survey() {
    std::vector<uint8_t> answers;
    for (uint32_t cp = 0; cp < 0x30000; cp += 7)
        answers.push_back(uint8_t(CodePointIsWhiteSpace(cp) | CodePointIsNameStart(cp) << 1 |
                                  CodePointIsNameChar(cp) << 2));
    return answers;
}

} // namespace

// Runs first (the name sorts before the others in this file's order): the load happens here.
TEST(Categories, FirstQuestionOnTwoThreadsLoadsOnce) {
    ASSERT_EQ(CategoryTableLoadCount(), 0);
    std::vector<uint8_t> a, b;
    std::thread first([&] { a = Survey(); });
    std::thread second([&] { b = Survey(); });
    first.join();
    second.join();
    EXPECT_EQ(CategoryTableLoadCount(), 1);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, Survey());
}

// Zero-width characters are format characters, not blanks: trimming must keep them.
TEST(Categories, WhiteSpace) {
    for (uint32_t cp : {0x09u, 0x0Au, 0x0Du, 0x20u, 0x85u, 0xA0u, 0x2028u, 0x3000u})
        EXPECT_TRUE(CodePointIsWhiteSpace(cp)) << std::hex << cp;
    for (uint32_t cp : {0x41u, 0x5Fu, 0x200Bu, 0xFEFFu})
        EXPECT_FALSE(CodePointIsWhiteSpace(cp)) << std::hex << cp;
}

TEST(Categories, NameStartsAndNameCharacters) {
    EXPECT_TRUE(CodePointIsNameStart('A'));
    EXPECT_TRUE(CodePointIsNameChar('A'));
    EXPECT_FALSE(CodePointIsNameStart('_'));
    EXPECT_TRUE(CodePointIsNameChar('_'));
    EXPECT_FALSE(CodePointIsNameStart('0'));
    EXPECT_TRUE(CodePointIsNameChar('0'));
    for (uint32_t cp : {uint32_t('-'), uint32_t('.'), uint32_t(':'), 0xB7u}) {
        EXPECT_FALSE(CodePointIsNameStart(cp)) << std::hex << cp;
        EXPECT_FALSE(CodePointIsNameChar(cp)) << std::hex << cp;
    }
    EXPECT_FALSE(CodePointIsNameStart(0x300));
    EXPECT_TRUE(CodePointIsNameChar(0x300));
    EXPECT_TRUE(CodePointIsNameStart(0x416));  // Cyrillic
    EXPECT_TRUE(CodePointIsNameStart(0x4E00)); // CJK, inside a range of the database
    EXPECT_TRUE(CodePointIsNameStart(0xAC00)); // Hangul
    EXPECT_TRUE(CodePointIsNameStart(0x10000));
}

TEST(Categories, UnassignedAndOutOfRangeCodePoints) {
    const TCharacterCategories everything = [] {
        TCharacterCategories all;
        for (int c = 0; c < CharacterCategoryCount; ++c) all.Include(TCharacterCategory(c));
        return all;
    }();
    EXPECT_FALSE(CodePointInCategories(0x378, everything));
    EXPECT_FALSE(CodePointInCategories(0x110000, everything));
    EXPECT_FALSE(CodePointInCategories(0x1F600, everything)); // assigned after 5.2
    // Only the low 24 bits are looked up.
    EXPECT_TRUE(CodePointIsNameStart(0x1000041));
}

TEST(Categories, ResourceMissing) {
    EXPECT_THROW(OpenUnicodeDataResource(L"NO SUCH TABLE"), EResNotFound);
}

TEST(Categories, ResourceRecordsAscendAndStayInsideUnicode) {
    std::unique_ptr<TKitEasyStream> stream = OpenUnicodeDataResource(L"CATEGORIES");
    int records = 0, lastCategory = -1;
    int64_t ranges = 0;
    while (stream->Position() < stream->Size()) {
        int category = stream->ReadByte();
        int32_t count = stream->ReadInteger();
        EXPECT_GT(category, lastCategory);
        EXPECT_NE(category, ccOtherUnassigned);
        EXPECT_NE(category, ccDash);
        EXPECT_GT(count, 0);
        int64_t previousLast = -2;
        for (int32_t i = 0; i < count; ++i) {
            uint8_t range[6];
            stream->ReadBuffer(range, 6);
            int64_t first = range[0] | range[1] << 8 | range[2] << 16;
            int64_t last = range[3] | range[4] << 8 | range[5] << 16;
            EXPECT_LE(first, last);
            EXPECT_GT(first, previousLast + 1) << "ranges of a record are merged and ascend";
            EXPECT_LE(last, 0x10FFFF);
            previousLast = last;
        }
        lastCategory = category;
        ++records;
        ranges += count;
    }
    EXPECT_EQ(records, 81);
    EXPECT_EQ(ranges, 5117);
    EXPECT_EQ(stream->Size(), 31107);
}

// The table holds each range of the resource exactly: both ends and every block edge inside are in its
// category, the code points just outside are not (a record's ranges never touch).
TEST(Categories, TableHoldsEveryRangeToItsEdges) {
    std::unique_ptr<TKitEasyStream> stream = OpenUnicodeDataResource(L"CATEGORIES");
    int checked = 0;
    while (stream->Position() < stream->Size()) {
        const TCharacterCategory category = TCharacterCategory(stream->ReadByte());
        const TCharacterCategories only{category};
        const int32_t count = stream->ReadInteger();
        for (int32_t i = 0; i < count; ++i) {
            uint8_t range[6];
            stream->ReadBuffer(range, 6);
            const uint32_t first = range[0] | range[1] << 8 | range[2] << 16;
            const uint32_t last = range[3] | range[4] << 8 | range[5] << 16;
            EXPECT_TRUE(CodePointInCategories(first, only)) << category << " " << first;
            EXPECT_TRUE(CodePointInCategories(last, only)) << category << " " << last;
            for (uint32_t edge = first | 0xFF; edge < last; edge += 0x100) {
                EXPECT_TRUE(CodePointInCategories(edge, only)) << category << " " << edge;
                EXPECT_TRUE(CodePointInCategories(edge + 1, only)) << category << " " << edge + 1;
            }
            if (first > 0)
                EXPECT_FALSE(CodePointInCategories(first - 1, only)) << category << " " << first - 1;
            EXPECT_FALSE(CodePointInCategories(last + 1, only)) << category << " " << last + 1;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 5117);
}

// Every code point of Unicode against the resource, category by category: the table shares the blocks
// whose entries are alike, and a range that ends inside such a block must change that block alone.
TEST(Categories, TableAgreesWithTheResourceAtEveryCodePoint) {
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> records(CharacterCategoryCount);
    std::unique_ptr<TKitEasyStream> stream = OpenUnicodeDataResource(L"CATEGORIES");
    while (stream->Position() < stream->Size()) {
        const int category = stream->ReadByte();
        const int32_t count = stream->ReadInteger();
        for (int32_t i = 0; i < count; ++i) {
            uint8_t range[6];
            stream->ReadBuffer(range, 6);
            records[category].emplace_back(range[0] | range[1] << 8 | range[2] << 16,
                                           range[3] | range[4] << 8 | range[5] << 16);
        }
    }
    for (int category = 0; category < CharacterCategoryCount; ++category) {
        const TCharacterCategories only{TCharacterCategory(category)};
        const auto& ranges = records[category];
        size_t next = 0;
        int wrong = 0;
        for (uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
            while (next < ranges.size() && ranges[next].second < cp) ++next;
            const bool inside = next < ranges.size() && ranges[next].first <= cp;
            if (CodePointInCategories(cp, only) != inside && wrong++ == 0)
                ADD_FAILURE() << "category " << category << " at " << std::hex << cp << ": " << !inside;
        }
        EXPECT_EQ(wrong, 0) << "category " << category;
    }
}
