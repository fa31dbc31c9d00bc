#include <gtest/gtest.h>

#include "xml/KitSimpleXmlCoding.h"

static std::wstring Decoded(std::wstring S) {
    DecodeXmlValue(S);
    return S;
}

TEST(XmlCoding, EncodesEntitiesAndReferences) {
    EXPECT_EQ(EncodeBasicEntities(L"a&b<c>d'e\"f\u00E9"), L"a&amp;b&lt;c&gt;d&apos;e&quot;f\u00E9");
    EXPECT_EQ(EncodeXmlValue(L"\t\n\r\x0B\x01\x7F"), L"\t\n\r&#x0B;&#x01;\x7F");
    EXPECT_EQ(EncodeXmlValue(L"\u00E9\u20AC&"), L"&#xE9;&#x20AC;&amp;");
    EXPECT_EQ(EncodeXmlValue(L"\U0001F600"), L"&#xD83D;&#xDE00;");
}

TEST(XmlCoding, DecodesEntitiesInAnyCase) {
    EXPECT_EQ(DecodeBasicEntities(L"&AMP;&Lt;&QUOT;&gt;&apos;"), L"&<\">'");
    EXPECT_EQ(Decoded(L"&AMP;&Lt;&QUOT;"), L"&<\"");
    // Decoded output is not scanned again.
    EXPECT_EQ(DecodeBasicEntities(L"&amp;lt;"), L"&lt;");
    EXPECT_EQ(Decoded(L"&amp;lt;"), L"&lt;");
    EXPECT_EQ(DecodeBasicEntities(L"&#65; & &foo; &"), L"&#65; & &foo; &");
}

TEST(XmlCoding, NumericReferences) {
    EXPECT_EQ(Decoded(L"&#65;&#x41;&#X41;"), L"AAA");
    for (const wchar_t* kept : {L"&#65", L"&#;", L"&#x;", L"&#-5;", L"&#65a;", L"x&#", L"&foo;", L"&"})
        EXPECT_EQ(Decoded(kept), kept) << kept;
    // Still unchanged after an earlier entity shortened the value.
    EXPECT_EQ(Decoded(L"&amp;&amp; &#65"), L"&& &#65");
    EXPECT_EQ(Decoded(L"&lt;&#x;"), L"<&#x;");
    // The reference ends at the first semicolon however far; one that fails leaves the rest to be scanned on.
    EXPECT_EQ(Decoded(L"&#&#65;"), L"&#A");
    EXPECT_EQ(Decoded(L"&#6&#x41;;&#  66;"), L"&#6A;B");
    EXPECT_EQ(Decoded(L"&#" + std::wstring(5000, L'0') + L"67; &#;;"), L"C &#;;");
    EXPECT_EQ(Decoded(L"&#6 &amp; &#x4&#;2;"), L"&#6 & &#x4&#;2;");
    // A reference beyond the BMP gives its surrogate pair; beyond Unicode it stays.
    EXPECT_EQ(Decoded(L"&#x1F600;"), L"\U0001F600");
    EXPECT_EQ(Decoded(L"&#x110000;"), L"&#x110000;");
}

TEST(XmlCoding, RoundTrips) {
    std::wstring all;
    for (unsigned u = 0; u < 0x10000; u += 7) all += wchar_t(u);
    all += L"&amp;<>\"'\U0001F600";
    EXPECT_EQ(Decoded(EncodeXmlValue(all)), all);
    EXPECT_EQ(DecodeBasicEntities(EncodeBasicEntities(all)), all);
}
