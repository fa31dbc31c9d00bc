// Hostile licence files shown by the viewer on a real window: each ends in a page, in time linear in its size
// and with bounded memory, and what text there is stays readable. The peak memory is printed per case.
#include <gtest/gtest.h>

#include <algorithm>

#include "LicenceViewer.h"

namespace {
std::string Times(const std::string& Unit, size_t Count) {
    std::string s;
    s.reserve(Unit.size() * Count);
    while (Count--) s += Unit;
    return s;
}

std::string Utf16(const std::wstring& Text, bool BigEndian) {
    std::string s = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : Text) {
        char hi = char(c >> 8), lo = char(c & 0xFF);
        s += BigEndian ? hi : lo;
        s += BigEndian ? lo : hi;
    }
    return s;
}
} // namespace

// At most 1M characters are shown, in lines whose squared lengths add up to those of 16 lines of 8,000
// characters: of text in lines of 8,000 characters, about 128,000 are shown; of one word, which is split
// every 2,000 characters, about 512,000.
TEST(WebBrowserHostile, EveryClassOfBytesEndsInAReadablePage) {
    const size_t MB = 1 << 20, Lines = 16 * 8000, Word = 256 * 2000;
    const struct {
        const char* Name;
        std::string Bytes;
        std::wstring Contains; // in the text shown
        wchar_t Char;          // ... which holds this character Min to Max times
        size_t Min, Max;
    } cases[] = {
        {"1 MB of NUL", std::string(MB, '\0') + "end", L"end", L'\0', 0, 0},
        {"100,000 NUL in a word", "a" + std::string(100000, '\0') + "b", L"ab", L'\0', 0, 0},
        {"control characters", Times("\x01\x08\x0B\x1B\x1F", 200000) + "end", L"end", L'\x1B', 0, 0},
        {"UTF-16 with NULs", Utf16(L"x" + std::wstring(100000, L'\0') + L"y", false), L"xy", L'\0', 0, 0},
        {"0.5 MB of unclosed <h1>", Times("<h1>", MB / 8) + "end", L"end", L'e', 1, 1},
        {"1,000 unclosed <h1>", Times("<h1>x", 1000), L"x\r\rx", L'x', 1000, 1000},
        {"100,000 unclosed <b>", Times("<b>bold ", 100000), L"bold bold", L'b', Lines / 5, Lines / 5 + 200},
        {"nesting of every kind", Times("<b><i><u><em><strong><h3><div><ul><li>y", 4000), L"y", L'y', 4000,
         4000},
        {"0.5 MB of &", std::string(MB / 2, '&'), L"&&", L'&', Word - 10, Word},
        {"1 MB of &", std::string(MB, '&'), L"&&", L'&', Word - 10, Word},
        {"250,000 times '& '", Times("& ", 250000), L"& &", L'&', Lines / 2, Lines / 2 + 400},
        {"1 MB of entities that never end", Times("&amp", MB / 4) + ";", L"&amp&amp", L'm', Word / 4 - 10,
         Word / 4},
        {"one word of 500,000 letters", std::string(500000, 'w'), L"ww", L'w', 500000, 500000},
        {"1M characters in short paragraphs", Times("<p>" + std::string(127, 'v') + " ", 8300), L"vv", L'v',
         MB, MB},
        {"100,000 line breaks", Times("<br>z", 100000), L"z", L'z', 32769, 32769},
        {"2 MB of words in one paragraph", Times("word ", 2 * MB / 5), L"word word", L'w', Lines / 5,
         Lines / 5 + 200},
        {"UTF-16 big-endian", Utf16(L"Licence \xD83D\xDE00 terms", true), L"Licence \xD83D\xDE00 terms", L'c',
         2, 2},
        {"half a surrogate pair",
         Utf16(L"a\xDC00"
               L"b\xD800",
               true),
         L"a\xFFFD"
         L"b\xFFFD",
         L'a', 1, 1},
    };
    for (const auto& c : cases) {
        TViewer viewer; // a new one for each, as the licence page makes
        std::wstring text = viewer.Show(c.Name, c.Bytes);
        EXPECT_NE(text.find(c.Contains), std::wstring::npos) << c.Name;
        const size_t count = std::count(text.begin(), text.end(), c.Char);
        EXPECT_TRUE(count >= c.Min && count <= c.Max) << c.Name << ": " << count;
    }
}

TEST(WebBrowserHostile, OpenTagsNestNoGroupAndAHeadingLeftOpenEndsAtTheNextBlock) {
    std::string html;
    for (int i = 0; i < 60; ++i) html += "<h2>Section " + std::to_string(i) + "<p>Body of the section.\n";
    TViewer viewer;
    std::wstring text = viewer.Show("60 sections with unclosed <h2>", html);
    EXPECT_EQ(text.rfind(L"Section 0\r\rBody of the section.\r\rSection 1\r\r", 0), 0u);
    size_t last = text.find(L"Section 59");
    ASSERT_NE(last, std::wstring::npos);
    EXPECT_TRUE(viewer.Bold(last));
    EXPECT_FALSE(viewer.Bold(text.find(L"Body", last)));
    // However the tags nest, the RTF holds the groups of its header only.
    std::string rtf = HtmlToRtf(L"<h1><h2><b><b><i><u>" + std::wstring(10000, L'x') + L"</h3>");
    EXPECT_EQ(std::count(rtf.begin(), rtf.end(), '{'), 3) << rtf.substr(0, 200);
}

TEST(WebBrowserHostile, OfAFileBeyondFourMegabytesTheBeginningIsShown) {
    // A character cut at the limit goes, so that what is read stays UTF-8; the text after the limit is not
    // shown, and a line says that it continues.
    TViewer viewer;
    std::string html = "\xD0\x96 <script>" + Times("\xD0\x96", 3 << 20) + "</script>tail";
    EXPECT_EQ(viewer.Show("6 MB of UTF-8", html), L"\u0416\r\rThe text continues beyond this point.");
}
