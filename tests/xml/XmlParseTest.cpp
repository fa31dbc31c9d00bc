#include <gtest/gtest.h>

#include "XmlTestSupport.h"
#include "xml/KitSimpleXmlParsing.h"

namespace {
// Parses Text as the content of a document (UTF-16, so positions count characters).
std::wstring ParseError(const std::wstring& Text) {
    return XmlError([&] {
        TKitSimpleXML doc;
        doc.LoadFromString(Text);
    });
}

std::wstring SaveWithoutProlog(TKitSimpleXML& Doc) {
    Doc.SetOptions(
        {sxoAutoIndent, sxoAutoEncodeValue, sxoAutoEncodeEntity, sxoDoNotSaveProlog, sxoDoNotSaveBOM});
    std::string bytes = SaveBytes(Doc, seUTF8);
    return std::wstring(bytes.begin(), bytes.end());
}
} // namespace

TEST(XmlParse, TextAndMixedContent) {
    TKitSimpleXML doc;
    doc.LoadFromString(L"<a>text</a>");
    EXPECT_EQ(doc.Root()->Name(), L"a");
    EXPECT_EQ(doc.Root()->Value(), L"text");
    EXPECT_EQ(doc.Root()->ItemCount(), 0);
    doc.LoadFromString(L"<a>x<b/>y</a>");
    ASSERT_EQ(doc.Root()->ItemCount(), 3);
    EXPECT_NE(dynamic_cast<TKitSimpleXMLElemText*>(doc.Root()->Items()->Item(0)), nullptr);
    EXPECT_EQ(doc.Root()->Items()->Item(1)->Name(), L"b");
    EXPECT_EQ(doc.Root()->Items()->Item(2)->Value(), L"y");
    EXPECT_EQ(doc.Root()->Value(), L"");
    doc.LoadFromString(L"<a>\r\n  <b>1</b>\r\n  <c/>\r\n</a>");
    EXPECT_EQ(doc.Root()->ItemCount(), 2); // blanks alone make no text node
    doc.SetOptions({sxoKeepWhitespace});
    doc.LoadFromString(L"<a> <b/> </a>");
    EXPECT_EQ(doc.Root()->ItemCount(), 3);
}

TEST(XmlParse, EndTags) {
    TKitSimpleXML doc;
    doc.LoadFromString(L"<p:a></P:A>");
    EXPECT_EQ(doc.Root()->Name(), L"a");
    EXPECT_EQ(doc.Root()->NameSpace(), L"p");
    doc.LoadFromString(L"<a>1</a  >");
    EXPECT_EQ(doc.Root()->Value(), L"1");

    TKitSimpleXMLElemClassic elem(nullptr, L"");
    EXPECT_EQ(XmlError([&] { elem.LoadFromString(L"<a></A>"); }),
              L"Invalid XML Element: Erroneous end of tag, expecting </a> but </A> found at position 7");
    EXPECT_EQ(ParseError(L"<p:a>x</p:b>"),
              L"Invalid XML Element: Erroneous end of tag, expecting </a> but </p:b> found at position 12");
}

TEST(XmlParse, ErrorsCarryMessageAndPosition) {
    EXPECT_EQ(ParseError(L"< a/>"),
              L"Invalid XML Element: malformed tag found (no valid name) at position 2");
    EXPECT_EQ(
        ParseError(L"<a x>"),
        L"Invalid XML Element: Unexpected character in property declaration (\">\" found at position 5)");
    EXPECT_EQ(ParseError(L"<a x=1>"), L"Invalid XML Element: Unexpected character in property declaration. "
                                      L"Expecting \" or ' but \"1\"  found at position 6");
    EXPECT_EQ(ParseError(L"<a/x>"),
              L"Invalid XML Element: Expected end of tag but \"x\" found at position 4");
    EXPECT_EQ(ParseError(L"text"), L"Invalid Document: Unexpected text in file prolog at position 1");
    EXPECT_EQ(ParseError(L"<a><!-- a -- b --></a>"),
              L"Invalid Comment: \"--\" not allowed inside comments at position 13");
    EXPECT_EQ(ParseError(L"<a><!-- a ---></a>"),
              L"Invalid Comment: \"--\" not allowed inside comments at position 13");
    EXPECT_EQ(ParseError(L"<a><!-- open"), L"Invalid Comment: Unexpected end of data at position 12");
    EXPECT_EQ(ParseError(L"<a><![CDATA[x"), L"Invalid CDATA: Unexpected end of data at position 13");
    EXPECT_EQ(ParseError(L"<?pi?><root/>"),
              L"Invalid XML Element: malformed tag found (no valid name) at position 2");
    EXPECT_EQ(ParseError(L"<?xml version=\"1.0\" encoding=\"utf8\"?><a/>"), L"No matching charset");
}

TEST(XmlParse, LenientEnds) {
    TKitSimpleXML doc;
    EXPECT_EQ(ParseError(L""), L"");
    EXPECT_EQ(doc.Root()->Name(), L"");
    EXPECT_EQ(ParseError(L"<a><b>hello"), L"");
    EXPECT_EQ(ParseError(L"<?xml version=\"1.0\"?>"), L"");
    doc.LoadFromString(L"<a/> trailing <b/>");
    EXPECT_EQ(doc.Root()->Name(), L"a");
}

TEST(XmlParse, CommentsCDataAndDocType) {
    TKitSimpleXML doc;
    TKitSimpleXMLElemComment comment(nullptr, L"");
    comment.LoadFromString(L"< ! - -c-d-->");
    EXPECT_EQ(comment.Value(), L"c-d");
    doc.LoadFromString(L"<a><![CDATA[a]]]><![CDATA[x]>]]></a>");
    ASSERT_EQ(doc.Root()->ItemCount(), 2);
    EXPECT_EQ(doc.Root()->Items()->Item(0)->Value(), L"a]");
    EXPECT_EQ(doc.Root()->Items()->Item(1)->Value(), L"x]>");
    doc.LoadFromString(L"<!DOCTYPE  note [<!ELEMENT note (#PCDATA)>]><note/>");
    ASSERT_EQ(doc.Prolog()->Count(), 1);
    EXPECT_EQ(doc.Prolog()->Item(0)->Value(), L"note [<!ELEMENT note (#PCDATA)>]");
    EXPECT_EQ(doc.Root()->Name(), L"note");
}

TEST(XmlParse, HeadersAndProcessingInstructions) {
    TKitSimpleXML doc;
    doc.LoadFromString(L"<?xml\tversion=\"1.0\"?><a/>");
    ASSERT_EQ(doc.Prolog()->Count(), 1);
    EXPECT_EQ(dynamic_cast<TKitSimpleXMLElemHeader*>(doc.Prolog()->Item(0)), nullptr);
    doc.LoadFromString(L"<?xml version=\"1.0\"?><?xml-stylesheet type=\"t\" href=\"h\"?><a/>");
    ASSERT_EQ(doc.Prolog()->Count(), 2);
    EXPECT_NE(dynamic_cast<TKitSimpleXMLElemSheet*>(doc.Prolog()->Item(1)), nullptr);
    EXPECT_EQ(doc.Prolog()->Item(1)->Properties()->Value(L"href"), L"h");
    // A header read without an encoding writes "utf-16".
    std::wstring text = doc.SaveToString();
    EXPECT_NE(text.find(L"<?xml version=\"1.0\" encoding=\"utf-16\" standalone=\"no\"?>\r\n"),
              std::wstring::npos);
}

TEST(XmlParse, AttributeSyntax) {
    TKitSimpleXML doc;
    doc.LoadFromString(L"<a x = 'one' -y.1_z=\"\" p:q=\"&lt;&#65;\" x=\"two\"/>");
    TKitSimpleXMLProps* props = doc.Root()->Properties();
    ASSERT_EQ(props->Count(), 4);
    EXPECT_EQ(props->Item(0)->Value(), L"one");
    EXPECT_EQ(props->Item(1)->Name(), L"-y.1_z");
    EXPECT_EQ(props->Item(2)->NameSpace(), L"p");
    EXPECT_EQ(props->Item(2)->Name(), L"q");
    EXPECT_EQ(props->Item(2)->Value(), L"<A");
    EXPECT_EQ(props->ItemNamed(L"X")->Value(), L"two");
    EXPECT_EQ(SaveWithoutProlog(doc), L"<a x=\"one\" -y.1_z=\"\" p:q=\"&lt;A\" x=\"two\"/>\r\n");
}

TEST(XmlWrite, ExactText) {
    TKitSimpleXML doc;
    doc.LoadFromString(L"<a></a>");
    EXPECT_EQ(SaveWithoutProlog(doc), L"<a/>\r\n");
    doc.LoadFromString(L"<r><b>x</b><c/><!--n--><![CDATA[d]]><e>t<f/></e></r>");
    EXPECT_EQ(SaveWithoutProlog(doc), L"<r>\r\n  <b>x</b>\r\n  <c/>\r\n  <!--n-->\r\n  <![CDATA[d]]>\r\n"
                                      L"  <e>\r\n    t\r\n    <f/>\r\n  </e>\r\n</r>\r\n");
    // Without value coding a quotation mark is written as it stands.
    TKitSimpleXML plain;
    plain.Root()->SetName(L"r");
    plain.Root()->Properties()->Add(L"q", L"say \"hi\"");
    plain.SetOptions({sxoDoNotSaveProlog, sxoDoNotSaveBOM});
    EXPECT_EQ(SaveBytes(plain, seUTF8), "<r q=\"say \"hi\"\"/>\r\n");
}

TEST(XmlWrite, Utf8DocumentBytes) {
    TKitSimpleXML doc;
    doc.Root()->SetName(L"config");
    doc.Root()->Items()->Add(L"a", (int64_t)1);
    EXPECT_EQ(SaveBytes(doc, seUTF8),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\r\n"
              "<config>\r\n  <a>1</a>\r\n</config>\r\n");
    EXPECT_EQ(SaveBytes(doc, seUTF16).substr(0, 4), std::string("\xFF\xFE<\0", 4));
    doc.SetOptions({sxoAutoIndent, sxoDoNotSaveBOM});
    EXPECT_EQ(SaveBytes(doc, seUTF16).substr(0, 2), std::string("<\0", 2));
    EXPECT_EQ(SaveBytes(doc, seUTF8).substr(0, 5), "<?xml");
}

TEST(XmlWrite, UnnamedRootWritesOnlyItsChildren) {
    TKitSimpleXML doc;
    doc.Root()->Properties()->Add(L"lost", L"1");
    doc.Root()->Items()->Add(L"number", L"7");
    doc.SetOptions({sxoAutoIndent, sxoDoNotSaveProlog, sxoDoNotSaveBOM});
    EXPECT_EQ(SaveBytes(doc, seUTF8), "  <number>7</number>\r\n");
}

TEST(XmlParse, TextStaysAChildWithoutItsEndTag) {
    TKitSimpleXML doc;
    doc.LoadFromString(L"<a>hello</a");
    ASSERT_EQ(doc.Root()->ItemCount(), 1);
    EXPECT_EQ(doc.Root()->Items()->Item(0)->Value(), L"hello");
    EXPECT_EQ(doc.Root()->Value(), L"");
    // An error keeps what was read: the text is there as a child.
    EXPECT_NE(XmlError([&] { doc.LoadFromString(L"<a>hello</b>"); }), L"");
    ASSERT_EQ(doc.Root()->ItemCount(), 1);
    EXPECT_EQ(doc.Root()->Items()->Item(0)->Value(), L"hello");
    // Entities are decoded once.
    doc.LoadFromString(L"<a>&amp;lt;</a>");
    EXPECT_EQ(doc.Root()->Value(), L"&lt;");
}

// The parsers answer ASCII from constants: they must be the category table's answers.
TEST(XmlParse, AsciiClassesAreTheCategoryTables) {
    using namespace KitXmlParsing;
    for (uint32_t ch = 0; ch < 128; ++ch) {
        EXPECT_EQ(IsWhiteSpace(ch), CodePointIsWhiteSpace(ch)) << ch;
        EXPECT_EQ(IsNameStart(ch), CodePointIsNameStart(ch)) << ch;
        EXPECT_EQ(IsNameChar(ch), CodePointIsNameChar(ch) || ch == '-' || ch == '.') << ch;
    }
}
