#include <gtest/gtest.h>

#include <windows.h>

#include "XmlTestSupport.h"
#include "runtime/Files.h"
#include "runtime/SysUtils.h"
#include "xml/ExSimpleXMLUnit.h"

namespace {
std::string ReadFile(const std::wstring& Name) {
    TMemoryStream stream;
    stream.LoadFromFile(Name);
    return std::string((const char*)stream.Memory(), (size_t)stream.Size());
}
} // namespace

TEST(XMLStoreFunctions, ChildAndPropertyReaders) {
    TExSimpleXML doc;
    doc.Root()->Items()->Add(L"empty", L"");
    doc.Root()->Items()->Add(L"size", L"7.1");
    doc.Root()->Items()->Add(L"version", L"42");
    EXPECT_EQ(XMLGetChildInt(doc.Root(), L"number", 0), 0);
    EXPECT_EQ(XMLGetChildInt(doc.Root(), L"empty", 5), -1);
    EXPECT_EQ(XMLGetChildInt(doc.Root(), L"size", 5), -1);
    EXPECT_EQ(XMLGetChildInt(doc.Root(), L"VERSION", 5), 42);
    EXPECT_EQ(XMLGetChildValue(doc.Root(), L"size", L"x"), L"7.1");
    EXPECT_EQ(XMLGetChildValue(doc.Root(), L"nope", L"x"), L"x");
    EXPECT_EQ(XMLGetProp(doc.Root(), L"id", L"def"), L"def");
    EXPECT_EQ(XMLSetProp(doc.Root(), L"id", L"en"), doc.Root());
    XMLSetProp(doc.Root(), L"id", L"ru");
    EXPECT_EQ(doc.Root()->PropertyCount(), 1);
    EXPECT_EQ(XMLGetProp(doc.Root(), L"ID", L"def"), L"ru");
    EXPECT_EQ(XMLFindOrAddProp(doc.Root(), L"other")->Value(), L"");
    EXPECT_EQ(doc.Root()->ItemCount(), 3); // readers add nothing
}

TEST(XMLStore, PathsDefaultsAndCreatedNodes) {
    TExSimpleXML doc;
    EXPECT_EQ(doc.ReadValue(L"lang", {}, L"en"), L"en");
    EXPECT_EQ(doc.Root()->Items()->Value(L"lang"), L"en");
    EXPECT_EQ(doc.ReadValue(L"n", {L"a", L"b"}, 5), 5);
    TKitSimpleXMLElem* b = doc.GetItem({L"a", L"b"});
    EXPECT_EQ(b->Parent()->Name(), L"a");
    EXPECT_EQ(b->Items()->Value(L"n"), L"5");
    EXPECT_EQ(doc.ReadValue(L"n", {L"a", L"b"}, 9), 5);
    EXPECT_TRUE(doc.ReadValue(L"flag", {L"a"}, true));
    EXPECT_EQ(doc.GetItem({L"a"})->Items()->Value(L"flag"), L"True");

    doc.WriteValue(L"n", {L"a", L"b"}, L"x");
    doc.WriteValue(L"n", {L"a", L"b"}, (int64_t)12);
    EXPECT_EQ(b->ItemCount(), 1);
    EXPECT_EQ(doc.ReadValue(L"n", {L"a", L"b"}, 0), 12);
    doc.WriteValue(L"on", {}, false);
    EXPECT_FALSE(doc.ReadValue(L"on", {}, true));
    doc.WriteValue(L"bad", {}, L"zz");
    EXPECT_EQ(doc.ReadValue(L"bad", {}, 3), -1);

    EXPECT_EQ(doc.ReadProperties(L"win", L"w", {L"ui"}, 640), 640);
    EXPECT_EQ(doc.ReadProperties(L"win", L"h", {L"ui"}, L"480"), L"480");
    TKitSimpleXMLElem* win = doc.GetItem({L"ui", L"win"});
    EXPECT_EQ(win->Properties()->Value(L"w"), L"640");
    EXPECT_EQ(win->Properties()->Value(L"h"), L"480");
    doc.WriteProperties(L"win", L"w", {L"ui"}, (int64_t)800);
    doc.WriteProperties(L"win", L"max", {L"ui"}, true);
    EXPECT_EQ(doc.ReadProperties(L"win", L"w", {L"ui"}, 1), 800);
    EXPECT_TRUE(doc.ReadProperties(L"win", L"max", {L"ui"}, false));
    EXPECT_EQ(win->PropertyCount(), 3);
}

TEST(XMLStore, StringLists) {
    TExSimpleXML doc;
    TStringList read;
    EXPECT_FALSE(doc.ReadStringList(L"list", {}, &read));
    EXPECT_NE(doc.Root()->Items()->ItemNamed(L"list"), nullptr);
    TStringList items;
    items.Add(L"one");
    items.Add(L"two");
    doc.WriteStringList(L"list", L"item", {}, &items, false);
    doc.WriteStringList(L"list", L"item", {}, &items, false);
    doc.GetItem({L"list"})->Items()->AddText(L"", L"loose text");
    read.Add(L"kept");
    EXPECT_TRUE(doc.ReadStringList(L"list", {}, &read));
    EXPECT_EQ(read.Text(), L"kept\r\none\r\ntwo\r\none\r\ntwo\r\n");
    doc.WriteStringList(L"list", L"item", {}, &items, true);
    EXPECT_EQ(doc.GetItem({L"list"})->ItemCount(), 2);
    doc.WriteStringList(L"list", L"item", {}, nullptr, true);
    EXPECT_EQ(doc.GetItem({L"list"})->ItemCount(), 0);
}

TEST(XMLStore, MissingFileThenSave) {
    const std::wstring folder = OwnName(L"store-test\\deeper\\");
    const std::wstring name = folder + L"Core.xml";
    DeleteFileW(name.c_str());
    TExSimpleXML doc;
    EXPECT_FALSE(doc.LoadXMLFile(name));
    EXPECT_EQ(doc.Encoding(), seUTF8);
    EXPECT_EQ(doc.FileName(), name);
    XMLSetProp(doc.Root(), L"path", L"C:\\x"); // an unnamed root writes neither tag nor attributes
    doc.WriteValue(L"number", {}, (int64_t)1234);
    doc.SaveXMLFile(seAuto);
    EXPECT_EQ(ReadFile(name), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\r\n"
                              "  <number>1234</number>\r\n");

    // Read back, the lone element is the root.
    TExSimpleXML again;
    EXPECT_TRUE(again.LoadXMLFile(name));
    EXPECT_EQ(again.Root()->Name(), L"number");
    EXPECT_EQ(again.Root()->IntValue(), 1234);

    // A named root, as the configuration file is written.
    TExSimpleXML config;
    config.Root()->SetName(L"zrx");
    XMLSetProp(config.Root(), L"path", L"C:\\x\\");
    config.WriteValue(L"lang", {L"global"}, L"\u0420\u0443\u0441");
    config.WriteValue(L"eula", {L"global"}, true);
    config.SaveToFile(name, seAuto, 0);
    EXPECT_EQ(ReadFile(name),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\r\n"
              "<zrx path=\"C:\\x\\\">\r\n  <global>\r\n    <lang>\xD0\xA0\xD1\x83\xD1\x81</lang>\r\n"
              "    <eula>True</eula>\r\n  </global>\r\n</zrx>\r\n");

    TExSimpleXML bare;
    bare.LoadXMLFile(L"no-folder.xml");
    EXPECT_THROW(bare.SaveXMLFile(seAuto), EInOutError);
    DeleteFileW(name.c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(ExtractFilePath(ExcludeTrailingPathDelimiter(folder)).c_str());
}

TEST(XMLStore, StreamsAndBadFiles) {
    TExSimpleXML doc;
    EXPECT_FALSE(doc.LoadXML(nullptr, false));
    doc.Root()->SetName(L"m");
    doc.WriteValue(L"version", {}, (int64_t)11);
    std::unique_ptr<TMemoryStream> saved = doc.SaveStream(seUTF16, 0);
    EXPECT_EQ(saved->Position(), 0);
    TExSimpleXML loaded;
    EXPECT_TRUE(loaded.LoadXML(saved.release(), true));
    EXPECT_EQ(XMLGetChildInt(loaded.Root(), L"version", 0), 11);

    const std::wstring broken = OwnName(L"store-broken.xml");
    {
        TFileStream file(broken, fmCreate);
        file.WriteBuffer("<m><a></b></m>", 14);
    }
    TExSimpleXML bad;
    EXPECT_THROW(bad.LoadXMLFile(broken), EKitSimpleXMLError);
    DeleteFileW(broken.c_str());
}
