#include <gtest/gtest.h>

#include <windows.h>

#include "XmlTestSupport.h"
#include "text/KitCharsets.h"

namespace {
const std::wstring Russian = L"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440"; // "Привет, мир"

std::string Encode(const std::wstring& Text, UINT CodePage) {
    int n = WideCharToMultiByte(CodePage, 0, Text.data(), (int)Text.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CodePage, 0, Text.data(), (int)Text.size(), bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// A document whose first element holds non-ASCII text, with enough after it to span several text blocks.
void Fill(TKitSimpleXML& Doc) {
    Doc.Root()->SetName(L"root");
    Doc.Root()->Properties()->Add(L"title", Russian);
    Doc.Root()->Items()->Add(L"first", Russian);
    for (int i = 0; i < 600; ++i) Doc.Root()->Items()->Add(L"item", Russian + L" " + std::to_wstring(i));
    Doc.Root()->Items()->Add(L"last", L"\u0451\u0401 <&> \"quoted\"");
}

void ExpectFilled(TKitSimpleXML& Doc) {
    TKitSimpleXMLElem* root = Doc.Root();
    EXPECT_EQ(root->Name(), L"root");
    EXPECT_EQ(root->Properties()->Value(L"title"), Russian);
    ASSERT_EQ(root->ItemCount(), 602);
    EXPECT_EQ(root->Items()->Item(0)->Value(), Russian);
    EXPECT_EQ(root->Items()->Item(600)->Value(), Russian + L" 599");
    EXPECT_EQ(root->Items()->Value(L"last"), L"\u0451\u0401 <&> \"quoted\"");
}

// Saves a filled document with the header's encoding, then loads the bytes as a file would be loaded.
std::string RoundTrip(const wchar_t* Charset, TKitSimpleXMLOptions Options, TKitSimpleXML& Loaded) {
    TKitSimpleXML doc;
    doc.SetOptions(Options);
    Fill(doc);
    doc.Prolog()->SetEncoding(Charset);
    std::string bytes = SaveBytes(doc, seAuto);
    LoadBytes(Loaded, bytes, seAuto, 0);
    return bytes;
}
} // namespace

TEST(XmlDocument, RoundTripsInEveryEncoding) {
    const TKitSimpleXMLOptions coded{sxoAutoIndent, sxoAutoEncodeValue, sxoAutoEncodeEntity};
    const TKitSimpleXMLOptions plain{sxoAutoIndent, sxoAutoEncodeEntity};
    struct {
        const wchar_t* Charset;
        TKitSimpleXMLOptions Options;
        const char* Start;
    } cases[] = {
        {L"UTF-8", coded, "\xEF\xBB\xBF<?xml"},
        {L"UTF-8", plain, "\xEF\xBB\xBF<?xml"},
        {L"utf-16", plain, "\xFF\xFE<"},
        {L"windows-1251", plain, "<?xml"},
        {L"koi8-r", plain, "<?xml"},
        {L"UTF-8", {sxoAutoIndent, sxoAutoEncodeEntity, sxoDoNotSaveBOM}, "<?xml"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.Charset, c.Charset + wcslen(c.Charset)));
        TKitSimpleXML loaded;
        std::string bytes = RoundTrip(c.Charset, c.Options, loaded);
        EXPECT_EQ(bytes.compare(0, strlen(c.Start), c.Start), 0);
        ExpectFilled(loaded);
        // Written again, the same bytes.
        loaded.SetOptions(c.Options);
        EXPECT_EQ(SaveBytes(loaded, seAuto), bytes);
    }
}

TEST(XmlDocument, HeaderEncodingGovernsFromTheFirstElement) {
    for (auto [charset, codePage] :
         {std::pair{"windows-1251", 1251u}, {"koi8-r", 20866u}, {"utf-8", 65001u}}) {
        SCOPED_TRACE(charset);
        std::string bytes = std::string("<?xml version=\"1.0\" encoding=\"") + charset +
                            "\"?>\r\n<root a=\"" + Encode(Russian, codePage) + "\">" +
                            Encode(Russian, codePage) + "</root>";
        for (TKitStringEncoding encoding : {seAuto, seAnsi}) {
            TKitSimpleXML doc;
            LoadBytes(doc, bytes, encoding, 0);
            EXPECT_EQ(doc.Root()->Value(), Russian);
            EXPECT_EQ(doc.Root()->Properties()->Value(L"a"), Russian);
            EXPECT_EQ(doc.CodePage(), codePage);
        }
    }
}

TEST(XmlDocument, ByteOrderMarkOutranksTheHeader) {
    TKitSimpleXML doc;
    Fill(doc);
    doc.Prolog()->SetEncoding(L"UTF-8");
    for (TKitStringEncoding encoding : {seUTF16, seUTF8}) {
        TKitSimpleXML loaded;
        LoadBytes(loaded, SaveBytes(doc, encoding), seAuto, 0);
        ExpectFilled(loaded);
        EXPECT_EQ(loaded.Encoding(), encoding);
    }
    // A header read byte by byte cannot truthfully declare UTF-16: the text stays 8-bit.
    TKitSimpleXML loaded;
    LoadBytes(loaded, "<?xml version=\"1.0\" encoding=\"utf-16\"?><a>plain</a>", seAuto, 0);
    EXPECT_EQ(loaded.Root()->Value(), L"plain");
}

TEST(XmlDocument, EncodingRemembered) {
    TKitSimpleXML doc;
    LoadBytes(doc, "\xEF\xBB\xBF<a>\xC3\xA9</a>", seAuto, 0);
    EXPECT_EQ(doc.Root()->Value(), L"\u00E9");
    EXPECT_EQ(doc.Encoding(), seUTF8);
    EXPECT_EQ(doc.CodePage(), 65001);
    doc.SetOptions({sxoAutoIndent});
    EXPECT_EQ(
        SaveBytes(doc, seAuto),
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\r\n<a>\xC3\xA9</a>\r\n");
}

TEST(XmlDocument, EmptyStreamAndStringRoundTrip) {
    TKitSimpleXML doc;
    LoadBytes(doc, "", seAuto, 0);
    EXPECT_EQ(doc.Root()->Name(), L"");
    EXPECT_EQ(doc.Root()->ItemCount(), 0);
    EXPECT_EQ(doc.Prolog()->Count(), 0);
    Fill(doc);
    TKitSimpleXML copy;
    copy.LoadFromString(doc.SaveToString());
    ExpectFilled(copy);
}

TEST(XmlDocument, FilesAreCutToTheNewLength) {
    const std::wstring name = OwnName(L"doc-test.xml");
    TKitSimpleXML doc;
    Fill(doc);
    doc.SaveToFile(name, seUTF8, 0);
    TKitSimpleXML small;
    small.Root()->SetName(L"small");
    small.SaveToFile(name, seUTF8, 0);
    TKitSimpleXML loaded;
    loaded.LoadFromFile(name);
    EXPECT_EQ(loaded.Root()->Name(), L"small");
    EXPECT_EQ(loaded.Root()->ItemCount(), 0);
    loaded.SetFileName(name);
    EXPECT_EQ(loaded.FileName(), name);
    EXPECT_THROW(loaded.LoadFromFile(L"no-such-file.xml"), EFOpenError);
    DeleteFileW(name.c_str());
}

// A save that does not reach the disk must say so, and one that cannot start must not cost the old file.
TEST(XmlDocument, AShortWriteRaisesAndACharsetErrorLeavesTheOldFile) {
    TKitSimpleXML doc;
    Fill(doc);
    for (TKitStringEncoding encoding : {seUTF8, seUTF16, seAnsi}) {
        TFileStream full(L"Z:\\dev\\full", fmOpenWrite); // every write fails: a full disk
        EXPECT_THROW(doc.SaveToStream(&full, encoding, 0), EWriteError) << encoding;
    }
    doc.SetOptions({sxoDoNotSaveBOM}); // the text alone
    TFileStream full(L"Z:\\dev\\full", fmOpenWrite);
    EXPECT_THROW(doc.SaveToStream(&full, seUTF8, 0), EWriteError);

    const std::wstring name = OwnName(L"kept.xml");
    doc.SaveToFile(name, seUTF8, 0);
    auto content = [&] {
        TMemoryStream file;
        file.LoadFromFile(name);
        return std::string((const char*)file.Memory(), (size_t)file.Size());
    };
    const std::string before = content();
    doc.Prolog()->SetEncoding(L"x-unheard-of");
    EXPECT_THROW(doc.SaveToFile(name), EKitCharsetError);
    EXPECT_EQ(content(), before);
    DeleteFileW(name.c_str());
}

TEST(XmlDocument, EventsAndStreamHooks) {
    TKitSimpleXML doc;
    std::wstring tags, values;
    doc.OnTagParsed = [&](TObject*, const std::wstring& Name) { tags += Name + L";"; };
    doc.OnValueParsed = [&](TObject*, const std::wstring& Name, const std::wstring& Value) {
        values += Name + L"=" + Value + L";";
    };
    doc.LoadFromString(L"<r><a>1</a><!--c--><b/></r>");
    EXPECT_EQ(tags, L"a;b;r;");
    EXPECT_EQ(values, L"=1;a=1;=c;b=;r=;");

    int last = -1, total = -1, calls = 0;
    doc.OnSaveProgress = [&](TObject*, int Position, int Total) {
        last = Position, total = Total;
        ++calls;
    };
    doc.SaveToString();
    EXPECT_EQ(total, 4); // root, a, comment and b; the header is made while writing
    EXPECT_EQ(last, 4);
    EXPECT_EQ(calls, 7);

    // Stream hooks: the bytes are stored reversed.
    auto reverse = [](TObject*, TStream* In, TStream* Out) {
        std::string bytes((size_t)(In->Size() - In->Position()), '\0');
        In->ReadBuffer(bytes.data(), (int32_t)bytes.size());
        std::string flipped(bytes.rbegin(), bytes.rend());
        Out->WriteBuffer(flipped.data(), (int32_t)flipped.size());
    };
    TKitSimpleXML hooked;
    hooked.OnEncodeStream = reverse;
    hooked.OnDecodeStream = reverse;
    Fill(hooked);
    std::string stored = SaveBytes(hooked, seUTF8);
    EXPECT_EQ(stored.substr(stored.size() - 3), "\xBF\xBB\xEF");
    TKitSimpleXML back;
    back.OnDecodeStream = reverse;
    LoadBytes(back, stored, seAuto, 0);
    ExpectFilled(back);
}

TEST(XmlDocument, ResourceTrimmingAndValueEvents) {
    TKitSimpleXML doc;
    doc.LoadFromResourceName(HInstance(), L"XML_SAMPLE");
    EXPECT_EQ(doc.Root()->Items()->ItemNamed(L"Form")->Properties()->Value(L"Caption"), L"\u041E\u043A");
    EXPECT_THROW(doc.LoadFromResourceName(HInstance(), L"NO_SUCH_XML"), EResNotFound);

    doc.SetOptions({sxoTrimPrecedingTextWhitespace, sxoTrimFollowingTextWhitespace});
    doc.LoadFromString(L"<a>  x y \r\n<b/> \t </a>");
    ASSERT_EQ(doc.Root()->ItemCount(), 2); // blanks alone before the end tag make no node
    EXPECT_EQ(doc.Root()->Items()->Item(0)->Value(), L"x y");
    // A zero-width character is text, not a blank: an element that holds one alone keeps it.
    for (const wchar_t* zeroWidth : {L"\u200B", L"\uFEFF"}) {
        doc.LoadFromString(L"<a>" + std::wstring(zeroWidth) + L"</a>");
        EXPECT_EQ(doc.Root()->Value(), zeroWidth);
    }
    doc.SetOptions({sxoTrimPrecedingTextWhitespace, sxoKeepWhitespace});
    doc.LoadFromString(L"<a>  x <b/>   </a>");
    ASSERT_EQ(doc.Root()->ItemCount(), 3);
    EXPECT_EQ(doc.Root()->Items()->Item(0)->Value(), L"x ");
    EXPECT_EQ(doc.Root()->Items()->Item(2)->Value(), L"   "); // trimmed to nothing, kept whole

    doc.SetOptions({sxoAutoEncodeEntity, sxoDoNotSaveProlog, sxoDoNotSaveBOM});
    doc.OnDecodeValue = [](TObject*, std::wstring& Value) { Value += L"!"; };
    doc.OnEncodeValue = [](TObject*, std::wstring& Value) {
        if (!Value.empty() && Value.back() == L'!') Value.pop_back();
    };
    doc.LoadFromString(L"<a v=\"&lt;1&#65;\">t</a>");
    EXPECT_EQ(doc.Root()->Properties()->Value(L"v"), L"<1&#65;!");
    EXPECT_EQ(doc.Root()->Value(), L"t!");
    EXPECT_EQ(SaveBytes(doc, seUTF8), "<a v=\"&lt;1&amp;#65;\">t</a>\r\n");
}

TEST(XmlElems, CustomSortByValue) {
    TKitSimpleXML doc;
    TKitSimpleXMLElems* items = doc.Root()->Items();
    for (int v : {5, 3, 9, 1, 7, 2, 8, 6, 4, 0, 12, 11})
        items->Add(L"n" + std::to_wstring(v % 3), (int64_t)v);
    items->CustomSort([](TKitSimpleXMLElems* Elems, int A, int B) {
        return (int)(Elems->Item(A)->IntValue() - Elems->Item(B)->IntValue());
    });
    std::wstring order;
    for (TKitSimpleXMLElem* e : *items) order += e->Value() + L" ";
    EXPECT_EQ(order, L"0 1 2 3 4 5 6 7 8 9 11 12 ");
    EXPECT_EQ(items->ItemNamed(L"n2")->Value(), L"11"); // the look-up follows the new order
}

namespace {
// Name, value, attributes and children, as one text.
std::wstring Dump(TKitSimpleXMLElem* Elem) {
    std::wstring text = Elem->FullName() + L"=" + Elem->Value() + L"[";
    for (TKitSimpleXMLProp* prop : *Elem->Properties())
        text += prop->FullName() + L"=" + prop->Value() + L";";
    for (TKitSimpleXMLElem* child : *Elem->Items()) text += Dump(child);
    return text + L"]";
}
} // namespace

TEST(XmlDocument, BuiltInLanguageFilesRoundTrip) {
    for (const wchar_t* name : {L"LANG_EN_GB", L"LANG_RU_RU"}) {
        SCOPED_TRACE(testing::Message() << (name[5] == L'E' ? "en" : "ru"));
        TKitSimpleXML doc;
        doc.LoadFromResourceName(HInstance(), name);
        EXPECT_EQ(doc.Root()->Name(), L"Translation");
        EXPECT_EQ(doc.Encoding(), seUTF8);
        TKitSimpleXMLElem* window = doc.Root()->Items()->ItemNamed(L"MainWindow");
        ASSERT_NE(window, nullptr);
        EXPECT_NE(window->Properties()->Value(L"Caption").find(L"$AppName$"), std::wstring::npos);
        for (TKitStringEncoding encoding : {seUTF8, seUTF16}) {
            TKitSimpleXML copy;
            LoadBytes(copy, SaveBytes(doc, encoding), seAuto, 0);
            EXPECT_EQ(Dump(copy.Root()), Dump(doc.Root()));
        }
    }
}
