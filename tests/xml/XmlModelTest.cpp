#include <gtest/gtest.h>

#include "XmlTestSupport.h"
#include "xml/KitSimpleXmlNames.h"

TEST(XmlElems, ItemBoundsAndLookUpByName) {
    TKitSimpleXML doc;
    TKitSimpleXMLElems* items = doc.Root()->Items();
    EXPECT_EQ(items->Item(0), nullptr); // no list yet
    items->Add(L"name", L"1");
    items->Add(L"NAME", L"2");
    items->Add(L"Name", L"3");
    EXPECT_EQ(items->Item(3), nullptr);
    EXPECT_EQ(items->Item(99), nullptr);
    EXPECT_THROW(items->Item(-1), EListError);
    for (const wchar_t* name : {L"name", L"NAME", L"nAmE"}) EXPECT_EQ(items->ItemNamed(name)->Value(), L"3");
    EXPECT_EQ(items->IndexOf(L"name"), 2);
    EXPECT_EQ(items->ItemNamed(L"missing"), nullptr);
    EXPECT_EQ(items->Count(), 3);
}

TEST(XmlElems, LookUpStaysRightInLongListsThroughChanges) {
    TKitSimpleXML doc;
    TKitSimpleXMLElems* items = doc.Root()->Items();
    for (int i = 0; i < 1000; ++i) items->Add(L"n" + std::to_wstring(i % 100), (int64_t)i);
    EXPECT_EQ(items->ItemNamed(L"N7")->IntValue(), 907);
    items->Delete(907);
    EXPECT_EQ(items->ItemNamed(L"n7")->IntValue(), 807);
    items->AddFirst(L"n7")->SetValue(L"first");
    EXPECT_EQ(items->ItemNamed(L"n7")->IntValue(), 807);
    EXPECT_EQ(items->IndexOf(L"n7"), 808);
    items->Item(0)->SetName(L"renamed");
    EXPECT_EQ(items->ItemNamed(L"RENAMED")->Value(), L"first");
    items->Insert(L"n7", 1000)->SetValue(L"last");
    EXPECT_EQ(items->ItemNamed(L"n7")->Value(), L"last");
    items->Move(1000, 0);
    EXPECT_EQ(items->ItemNamed(L"n7")->IntValue(), 807);
}

TEST(XmlElems, AutoCreateAndTypedAccess) {
    TKitSimpleXML doc;
    TKitSimpleXMLElems* items = doc.Root()->Items();
    EXPECT_EQ(items->IntValue(L"count", 5), 5);
    EXPECT_EQ(items->Count(), 0);
    doc.SetOptions({sxoAutoCreate});
    TKitSimpleXMLElem* made = items->ItemNamed(L"made");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Value(), L"");
    EXPECT_EQ(items->IntValue(L"count", 5), 5);
    EXPECT_EQ(items->ItemNamed(L"count")->Value(), L"5");
    doc.SetOptions({});
    items->Add(L"empty", L"");
    items->Add(L"word", L"abc");
    items->Add(L"yes", L"yes");
    EXPECT_EQ(items->IntValue(L"empty", 9), -1);
    EXPECT_EQ(items->IntValue(L"word", 9), -1);
    EXPECT_TRUE(items->BoolValue(L"empty", true));
    EXPECT_FALSE(items->BoolValue(L"yes", true));
    EXPECT_DOUBLE_EQ(items->FloatValue(L"word", 2.5), 0);
    items->Add(L"flag", true);
    EXPECT_EQ(items->ItemNamed(L"flag")->Value(), L"True");
    EXPECT_TRUE(items->BoolValue(L"flag", false));
}

TEST(XmlElems, NamesPrefixesRenameAndRemove) {
    TKitSimpleXML doc;
    TKitSimpleXMLElem* a = doc.Root()->Items()->Add(L"a");
    a->SetNameSpace(L"p");
    EXPECT_EQ(a->FullName(), L"p:a");
    a->SetNameSpace(L"");
    EXPECT_EQ(a->FullName(), L"a");
    a->SetName(L"");
    EXPECT_EQ(a->Name(), L"a");
    a->SetName(L"b");
    EXPECT_EQ(doc.Root()->Items()->ItemNamed(L"b"), a);
    EXPECT_EQ(doc.Root()->Items()->ItemNamed(L"a"), nullptr);
    EXPECT_EQ(a->ChildsCount(), 1);

    TKitSimpleXMLElem* other = doc.Root()->Items()->Add(L"other");
    EXPECT_EQ(doc.Root()->Items()->Remove(a), 0);
    EXPECT_EQ(doc.Root()->Items()->Remove(a), -1);
    EXPECT_EQ(a->Parent(), nullptr);
    other->Items()->Add(a); // still alive, now elsewhere
    EXPECT_EQ(a->Parent(), other);
    EXPECT_EQ(a->SimpleXML(), &doc);
    EXPECT_EQ(doc.Root()->ChildsCount(), 3);

    // Taken out of a tree that is then freed, an element lives on safely.
    std::unique_ptr<TKitSimpleXMLElem> kept;
    {
        TKitSimpleXML gone;
        gone.Root()->SetName(L"r");
        TKitSimpleXMLElem* child = gone.Root()->Items()->Add(L"child", L"a<b");
        gone.Root()->Items()->Remove(child);
        kept.reset(child);
    }
    EXPECT_EQ(kept->SaveToString(), L"<child>a<b</child>\r\n");
}

TEST(XmlElems, GroupsFollowTheList) {
    TKitSimpleXML doc;
    TKitSimpleXMLElems* items = doc.Root()->Items();
    items->Add(L"x", L"1");
    items->Add(L"y", L"2");
    items->Add(L"x", L"3");
    TKitSimpleXMLNamedElems* xs = items->NamedElems(L"x");
    ASSERT_EQ(xs->Count(), 2);
    EXPECT_EQ(xs->Item(1)->Value(), L"3");
    items->Add(L"X", L"4"); // joins without regard to case
    EXPECT_EQ(xs->Count(), 3);
    EXPECT_EQ(doc.Root()->GetNamedIndex(items->Item(3)), 2);
    items->Delete(0);
    EXPECT_EQ(xs->Count(), 2);
    EXPECT_EQ(xs->Item(0)->Value(), L"3");
    EXPECT_EQ(xs->IndexOf(L"4"), 1);
    EXPECT_EQ(xs->IndexOf(L"nope"), -1);
    xs->Clear();
    EXPECT_EQ(items->Count(), 1);
    doc.SetOptions({sxoAutoCreate});
    EXPECT_NE(xs->Item(2), nullptr);
    EXPECT_EQ(items->Count(), 4);
}

TEST(XmlElems, AssignCopiesTheSubtree) {
    TKitSimpleXML doc;
    TKitSimpleXMLElem* src = doc.Root()->Items()->Add(L"src", L"v");
    src->Properties()->Add(L"k", L"1");
    src->Items()->Add(L"c")->Items()->AddComment(L"", L"note");
    TKitSimpleXMLElemClassic copy(nullptr, L"");
    copy.Assign(src);
    EXPECT_EQ(copy.Name(), L"src");
    EXPECT_EQ(copy.Value(), L"v");
    EXPECT_EQ(copy.Properties()->Value(L"k"), L"1");
    ASSERT_EQ(copy.Items()->Count(), 1);
    TKitSimpleXMLElem* note = copy.Items()->Item(0)->Items()->Item(0);
    EXPECT_NE(dynamic_cast<TKitSimpleXMLElemComment*>(note), nullptr);
    EXPECT_EQ(note->Value(), L"note");
    EXPECT_EQ(copy.ChildsCount(), 3);
}

TEST(XmlElems, BinaryValues) {
    TKitSimpleXML doc;
    TMemoryStream bytes;
    bytes.WriteBuffer("\x0A\xFF", 2);
    bytes.SetPosition(0);
    EXPECT_EQ(doc.Root()->Items()->Add(L"b", &bytes)->Value(), L"0AFF");
    TKitSimpleXMLElem* e = doc.Root()->Items()->Add(L"e", L"0aFFzz1");
    TMemoryStream out;
    e->GetBinaryValue(&out);
    ASSERT_EQ(out.Size(), 3);
    EXPECT_EQ(std::string((const char*)out.Memory(), 3), std::string("\x0A\xFF\x00", 3));
}

TEST(XmlProps, LookUpsDuplicatesAndAutoCreate) {
    TKitSimpleXML doc;
    TKitSimpleXMLProps* props = doc.Root()->Properties();
    props->Add(L"id", L"1");
    props->Add(L"ID", L"2");
    EXPECT_EQ(props->Count(), 2);
    EXPECT_EQ(props->ItemNamed(L"Id")->Value(), L"2");
    EXPECT_EQ(props->Value(L"missing", L"def"), L"def");
    EXPECT_EQ(props->Count(), 2);
    EXPECT_THROW(props->Item(2), EListError);
    EXPECT_THROW(props->Insert(5, L"x", L"y"), EListError);
    props->Add(L"n", L"seven");
    EXPECT_EQ(props->IntValue(L"n", 3), -1);
    doc.SetOptions({sxoAutoCreate});
    EXPECT_EQ(props->Value(L"missing", L"def"), L"def");
    EXPECT_EQ(props->ItemNamed(L"missing")->Value(), L"def");
    props->Item(0)->SetName(L"key");
    EXPECT_EQ(props->ItemNamed(L"KEY")->Value(), L"1");
    props->Delete(L"key");
    EXPECT_EQ(props->Find(L"key"), nullptr);
}

TEST(NameIndex, TheUpperCaseTableIsTheSystemsMappingOfEachUnitAlone) {
    int differing = 0;
    for (unsigned u = 0; u < 65536; ++u) {
        wchar_t unit = wchar_t(u);
        CharUpperBuffW(&unit, 1);
        differing += TKitNameList::UpperUnit(wchar_t(u)) != unit;
    }
    EXPECT_EQ(differing, 0);
}
