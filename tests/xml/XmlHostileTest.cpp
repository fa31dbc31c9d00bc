// Input from a broken or hostile server: errors or results, never a crash.
#include <gtest/gtest.h>

#include <random>
#include <windows.h>

#include "XmlTestSupport.h"

namespace {
std::wstring LoadError(const std::string& Bytes, TKitSimpleXML& Doc) {
    return XmlError([&] { LoadBytes(Doc, Bytes, seAuto, 0); });
}

std::string Nested(int Depth) {
    std::string text;
    for (int i = 0; i < Depth; ++i) text += "<a>";
    for (int i = 0; i < Depth; ++i) text += "</a>";
    return text;
}
} // namespace

TEST(XmlHostile, DeepNestingIsRefused) {
    TKitSimpleXML doc;
    std::wstring error = LoadError(Nested(100000), doc);
    EXPECT_EQ(error, L"Invalid XML Element: elements nested deeper than 256 levels at position 771");
    // The deepest that loads, and it writes back.
    EXPECT_EQ(LoadError(Nested(256), doc), L"");
    EXPECT_EQ(doc.Root()->ChildsCount(), 256);
    TKitSimpleXML again;
    EXPECT_EQ(LoadError(SaveBytes(doc, seUTF8), again), L"");
    EXPECT_EQ(again.Root()->ChildsCount(), 256);
    EXPECT_NE(LoadError(Nested(257), doc), L"");
}

// The deepest document that loads, and its writing, fit in a quarter of the 2 MB stack of the program's
// threads.
TEST(XmlHostile, DeepestDocumentFitsASmallStack) {
    struct TJob {
        std::string Text;
        std::wstring Error = L"not run";
        int Nodes = 0;
    } job{Nested(256)};
    auto run = [](void* Param) -> DWORD {
        auto* j = static_cast<TJob*>(Param);
        TKitSimpleXML doc;
        j->Error = LoadError(j->Text, doc);
        j->Nodes = doc.Root()->ChildsCount();
        TKitSimpleXML copy;
        LoadBytes(copy, SaveBytes(doc, seUTF16), seAuto, 0);
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 512 * 1024, run, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(job.Error, L"");
    EXPECT_EQ(job.Nodes, 256);
}

TEST(XmlHostile, HugeAttributeValueLoads) {
    const size_t size = 64u << 20;
    std::string bytes = "<a v=\"";
    bytes.append(size, 'x');
    bytes += "\"/>";
    TKitSimpleXML doc;
    EXPECT_EQ(LoadError(bytes, doc), L"");
    EXPECT_EQ(doc.Root()->Properties()->Value(L"v").size(), size);
}

TEST(XmlHostile, HugeNamesAreRefused) {
    TKitSimpleXML doc;
    std::string name(1 << 20, 'n');
    EXPECT_EQ(
        LoadError("<" + name + "/>", doc).rfind(L"Invalid XML Element: name longer than 65536 characters", 0),
        0u);
    EXPECT_EQ(LoadError("<a " + name + "=\"1\"/>", doc).rfind(L"Invalid XML Element: name longer than", 0),
              0u);
    EXPECT_EQ(LoadError("<a></" + name + ">", doc).rfind(L"Invalid XML Element: name longer than", 0), 0u);
}

TEST(XmlHostile, BrokenEncodingsDecodeAsReplacement) {
    TKitSimpleXML doc;
    // Bad UTF-8 bytes become U+FFFD; a cut-off sequence at the end is dropped.
    EXPECT_EQ(LoadError("\xEF\xBB\xBF<a v=\"\xC3\x28\">\xFF\xBF</a>", doc), L"");
    EXPECT_EQ(doc.Root()->Properties()->Value(L"v"), L"\uFFFD");
    EXPECT_EQ(doc.Root()->Value(), L"\uFFFD\uFFFD");
    EXPECT_EQ(LoadError("\xEF\xBB\xBF<a>x</a>\xE2\x82", doc), L"");
    // An odd trailing byte of UTF-16 is dropped.
    EXPECT_EQ(LoadError(std::string("\xFF\xFE<\0a\0/\0>\0\x01", 11), doc), L"");
    EXPECT_EQ(doc.Root()->Name(), L"a");
    // A header naming an unknown charset.
    EXPECT_EQ(LoadError("<?xml version=\"1.0\" encoding=\"x-unheard-of\"?><a/>", doc),
              L"No matching charset");
    // Code pages the system refuses to decode end the text; nothing worse.
    EXPECT_EQ(LoadError("<?xml version=\"1.0\" encoding=\"utf-7\"?><a>x</a>", doc), L"");
}

TEST(XmlHostile, DamagedDocumentsNeverCrash) {
    TKitSimpleXML source;
    source.Root()->SetName(L"root");
    for (int i = 0; i < 20; ++i) {
        TKitSimpleXMLElem* e = source.Root()->Items()->Add(L"item", L"\u0416 value & <" + std::to_wstring(i));
        e->Properties()->Add(L"id", (int64_t)i);
        e->Items()->AddComment(L"", L"c");
        e->Items()->AddCData(L"", L"d]]");
    }
    source.Prolog()->AddDocType(L"root [<!ENTITY x \"y\">]");
    const std::string good = SaveBytes(source, seUTF8);
    std::mt19937 random(12345);
    int errors = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = good;
        int changes = 1 + (int)(random() % 8);
        for (int k = 0; k < changes; ++k) {
            size_t at = random() % bytes.size();
            switch (random() % 3) {
            case 0:
                bytes[at] = (char)random();
                break;
            case 1:
                bytes.erase(at, 1 + random() % 16);
                break;
            default:
                bytes.insert(at, 1, "<>/!?-[]\"'=&:\x80\xFF"[random() % 16]);
                break;
            }
            if (bytes.empty()) bytes.assign(1, '<');
        }
        TKitSimpleXML doc;
        try {
            LoadBytes(doc, bytes, seAuto, 0);
            SaveBytes(doc, seUTF8);
        } catch (const EKitSimpleXMLError&) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 100);
}
