#include <gtest/gtest.h>

#include "runtime/gui/ComCtrls.h"
#include "runtime/gui/Forms.h"
#include "runtime/gui/Menus.h"
#include "runtime/gui/StdCtrls.h"
#include "xml/XMLTranslatorUnit.h"

namespace {

const wchar_t* const KindNames[] = {L"tkOne", L"tkTwo", L"tkThree"};
enum TKind { tkOne, tkTwo, tkThree };

class TTestSub : public TPersistent {
    ZRX_PUBLISHED_CLASS(TTestSub, TPersistent)
public:
    std::wstring Text() const { return FText; }
    void SetText(const std::wstring& V) { FText = V; }
    int Number() const { return FNumber; }
    void SetNumber(int V) { FNumber = V; }
    TFont* Font() { return &FFont; }
    void SetFont(TObject* V) { FFont.Assign(dynamic_cast<TPersistent*>(V)); }

private:
    std::wstring FText;
    int FNumber = 5;
    TFont FFont;
};
ZRX_PUBLISH(TTestSub, TPersistent, ZRX_PROP_STR(TTestSub, Text), ZRX_PROP_INT(TTestSub, Number),
            ZRX_PROP_OBJ(TTestSub, Font))

class TTestItem : public TCollectionItem {
    ZRX_PUBLISHED_CLASS(TTestItem, TCollectionItem)
public:
    using TCollectionItem::TCollectionItem;
    std::wstring Caption() const { return FCaption; }
    void SetCaption(const std::wstring& V) { FCaption = V; }
    TTestSub* Sub() { return &FSub; }
    void SetSub(TObject*) {}

private:
    std::wstring FCaption;
    TTestSub FSub;
};
ZRX_PUBLISH(TTestItem, TCollectionItem, ZRX_PROP_STR(TTestItem, Caption), ZRX_PROP_OBJ(TTestItem, Sub))

// A component with one published property of each kind the translator handles.
class TTestComponent : public TComponent {
    ZRX_PUBLISHED_CLASS(TTestComponent, TComponent)
public:
    explicit TTestComponent(TComponent* AOwner, const std::wstring& AName = L"") : TComponent(AOwner) {
        SetName(AName);
        for (int i = 0; i < 3; ++i) FCollection.Add();
    }
    std::wstring GetName() const { return Name(); }
    std::wstring Caption() const { return FCaption; }
    void SetCaption(const std::wstring& V) { FCaption = V; }
    std::wstring Fixed() const { return L"fixed"; }
    int Number() const { return FNumber; }
    void SetNumber(int V) { FNumber = V; }
    int ShortCut() const { return FShortCut; }
    void SetShortCut(int V) { FShortCut = V; }
    TKind Kind() const { return FKind; }
    void SetKind(TKind V) { FKind = V; }
    bool Flag() const { return FFlag; }
    void SetFlag(bool V) { FFlag = V; }
    int SetCount() const { return FSetCount; }
    void SetSetCount(int N) {
        FSetCount = N;
        FLines.Clear();
        for (int i = 0; i <= N; ++i) FLines.Add(std::to_wstring(i));
    }
    TStrings* Lines() { return &FLines; }
    void SetLines(TObject* V) { FLines.Assign(dynamic_cast<TPersistent*>(V)); }
    TTreeNodes* Nodes() { return &FNodes; }
    void SetNodes(TObject*) {}
    TListItems* Items() { return &FItems; }
    void SetItems(TObject*) {}
    TCollection* Collection() { return &FCollection; }
    void SetCollection(TObject*) {}
    TTestSub* Sub() { return &FSub; }
    void SetSub(TObject*) {}
    TTestSub* Hidden() { return &FHidden; }

private:
    std::wstring FCaption;
    int FNumber = 0, FShortCut = 0, FSetCount = 0;
    TKind FKind = tkOne;
    bool FFlag = false;
    TStringList FLines;
    TTreeNodes FNodes;
    TListItems FItems;
    TCollection FCollection{[](TCollection* c) { return std::make_unique<TTestItem>(c); }};
    TTestSub FSub, FHidden;
};
ZRX_PUBLISH(
    TTestComponent, TComponent,
    TPropInfo{
        .Name = L"Name",
        .Kind = tkUString,
        .GetStr = [](TObject* o) -> std::wstring { return static_cast<TTestComponent*>(o)->Name(); },
        .SetStr = [](TObject* o, const std::wstring& v) { static_cast<TTestComponent*>(o)->SetName(v); }},
    ZRX_PROP_STR(TTestComponent, Caption),
    TPropInfo{.Name = L"Fixed",
              .Kind = tkUString,
              .GetStr = [](TObject* o) -> std::wstring { return static_cast<TTestComponent*>(o)->Fixed(); }},
    ZRX_PROP_INT(TTestComponent, Number), ZRX_PROP_INT(TTestComponent, ShortCut),
    ZRX_PROP_ENUM(TTestComponent, Kind, KindNames), ZRX_PROP_BOOL(TTestComponent, Flag),
    ZRX_PROP_INT(TTestComponent, SetCount), ZRX_PROP_OBJ(TTestComponent, Lines),
    ZRX_PROP_OBJ(TTestComponent, Nodes), ZRX_PROP_OBJ(TTestComponent, Items),
    ZRX_PROP_OBJ(TTestComponent, Collection), ZRX_PROP_OBJ(TTestComponent, Sub),
    TPropInfo{.Name = L"Hidden", .Kind = tkClass, .GetObj = [](TObject* o) -> TObject* {
                  return static_cast<TTestComponent*>(o)->Hidden();
              }})

class TDerivedComponent : public TTestComponent {
    ZRX_CLASS(TDerivedComponent, TTestComponent)
public:
    using TTestComponent::TTestComponent;
};

std::wstring Doc(const std::wstring& Body) {
    return L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Translation>" + Body + L"</Translation>";
}

struct Translator : ::testing::Test {
    TForm form{nullptr};
    TTestComponent* list = new TTestComponent(&form, L"InstallStrings");
    TXMLTranslator tr;
    void SetUp() override { form.SetName(L"MainWindow_2"); }
    void Load(const std::wstring& Body) { tr.XML()->LoadFromString(Doc(Body)); }
};

} // namespace

TEST_F(Translator, FindsTheFormsElementByNameUpToTheUnderscoreWithoutCaseAndNeverRenames) {
    std::vector<std::wstring> seen;
    tr.OnAnalyseSrt = [&](std::wstring& v) {
        seen.push_back(v);
        v += L"!";
    };
    Load(L"<Other/><mainwindow Name='Other' Caption='one\\ntwo'/>");
    tr.Translate(&form);
    EXPECT_EQ(form.Name(), L"MainWindow_2");
    EXPECT_EQ(form.Caption(), L"one\r\ntwo!");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], L"one\r\ntwo");
    ASSERT_NE(tr.FormElement(&form), nullptr);
    EXPECT_EQ(tr.FormElement(&form)->Name(), L"mainwindow");
    // No element for the form: nothing happens.
    form.SetName(L"Elsewhere");
    form.SetCaption(L"kept");
    tr.Translate(&form);
    EXPECT_EQ(form.Caption(), L"kept");
    EXPECT_EQ(tr.FormElement(&form), nullptr);
}

TEST_F(Translator, FillsAStringListByIndexAfterItsCountAndPassesOverOtherIndexes) {
    std::wstring items;
    for (int i = 0; i < 40; ++i)
        items += L"<Item Index='" + std::to_wstring(i) + L"' Value='line " + std::to_wstring(i) + L"'/>";
    // SetCount 40 makes 41 lines (0 to 40): 41 is the first index outside.
    items += L"<Item Index='41' Value='no'/><Item Index='-1' Value='no'/><Item Value='no'/><Item Index='x' "
             L"Value='no'/>";
    Load(L"<MainWindow><installstrings SetCount='40'><Lines>" + items +
         L"</Lines></installstrings></MainWindow>");
    tr.Translate(&form);
    ASSERT_EQ(list->Lines()->Count(), 41);
    EXPECT_EQ(list->Lines()->Get(0), L"line 0");
    EXPECT_EQ(list->Lines()->Get(39), L"line 39");
    EXPECT_EQ(list->Lines()->Get(40), L"40");
}

TEST_F(Translator, ACDataFirstChildSetsTheWholeTextAndTheItemsAfterItAreIgnored) {
    list->SetSetCount(2);
    Load(L"<MainWindow><InstallStrings><Lines><![CDATA[a\\nb\nc]]><Item Index='0' Value='x'/></Lines>"
         L"</InstallStrings></MainWindow>");
    tr.Translate(&form);
    ASSERT_EQ(list->Lines()->Count(), 3);
    EXPECT_EQ(list->Lines()->Get(0), L"a");
    EXPECT_EQ(list->Lines()->Get(1), L"b");
    EXPECT_EQ(list->Lines()->Get(2), L"c");
}

TEST_F(Translator, EnumerationsByNumberOrNameIntegersAndShortcuts) {
    Load(L"<MainWindow><InstallStrings Kind='2' Flag='True' Number='12' "
         L"ShortCut='Ctrl+Shift+S'/></MainWindow>");
    tr.Translate(&form);
    EXPECT_EQ(list->Kind(), tkThree);
    EXPECT_TRUE(list->Flag());
    EXPECT_EQ(list->Number(), 12);
    EXPECT_EQ(list->ShortCut(), scCtrl | scShift | 'S');

    Load(L"<MainWindow><InstallStrings Kind='tktwo' Flag='0' Number='many' "
         L"ShortCut='Ctrl+Nothing'/></MainWindow>");
    tr.Translate(&form);
    EXPECT_EQ(list->Kind(), tkTwo);
    EXPECT_FALSE(list->Flag());
    EXPECT_EQ(list->Number(), -1);
    EXPECT_EQ(list->ShortCut(), 0);

    // A name the enumeration lacks stores nothing; a property without a writer or of no name is passed over.
    Load(L"<MainWindow><InstallStrings Kind='tkFour' Fixed='x' Unknown='y' Caption='set'/></MainWindow>");
    tr.Translate(&form);
    EXPECT_EQ(list->Kind(), tkTwo);
    EXPECT_EQ(list->Caption(), L"set");
}

// A language file comes over plain HTTP: an ordinal outside its type must not reach a control, which would
// use it as an index.
TEST_F(Translator, NumbersOutsideAnEnumerationAreIgnoredLikeUnknownNames) {
    auto* label = new TLabel(&form);
    label->SetName(L"Title");
    label->SetParent(&form);
    Load(L"<MainWindow BorderStyle='99' Position='-3'><InstallStrings Kind='3'/>"
         L"<Title Alignment='2147483647' Caption='x'><Font Quality='100000000' Style='[fsBold]'/></Title>"
         L"</MainWindow>");
    tr.Translate(&form);
    EXPECT_EQ(list->Kind(), tkOne);
    EXPECT_EQ(label->Alignment(), taLeftJustify);
    EXPECT_EQ(label->Font()->Quality(), fqDefault);
    EXPECT_EQ(label->Font()->Style(), FontStyle(fsBold));
    EXPECT_EQ(form.BorderStyle(), bsSizeable);
    form.Show();
    EXPECT_NE(label->Font()->Handle(), nullptr);

    // The same holds for ordinals set directly, and a set keeps only the bits of its elements.
    SetOrdProp(label->Font(), GetPropInfoByName(label->Font(), L"Quality"), 7);
    EXPECT_EQ(label->Font()->Quality(), fqDefault);
    SetOrdProp(label->Font(), GetPropInfoByName(label->Font(), L"Style"), 0xFFFFFFFF);
    EXPECT_EQ(label->Font()->Style(), 0xFu);
}

TEST_F(Translator, ObjectPropertiesTakeAttributesThenChildElementsRecursively) {
    Load(L"<MainWindow><InstallStrings><Sub Number='7'><Text>hello\\nworld</Text><Font "
         L"Style='[fsBold,fsItalic]'>"
         L"<Name>Arial</Name><Size>12</Size></Font></Sub><Hidden Text='no'/></InstallStrings></MainWindow>");
    tr.Translate(&form);
    EXPECT_EQ(list->Sub()->Number(), 7);
    EXPECT_EQ(list->Sub()->Text(), L"hello\r\nworld");
    EXPECT_EQ(list->Sub()->Font()->Style(), FontStyle(fsBold) | FontStyle(fsItalic));
    EXPECT_EQ(list->Sub()->Font()->Name(), L"Arial");
    EXPECT_EQ(list->Sub()->Font()->Size(), 12);
    EXPECT_EQ(list->Hidden()->Text(), L""); // read-only object property
}

TEST_F(Translator, ListItemsByIndexAndColumnTreeNodesByFlatIndexCollectionsByIndex) {
    TListItem* item = list->Items()->Add();
    item->SetCaption(L"caption");
    item->SubItems()->Add(L"s1");
    item->SubItems()->Add(L"s2");
    TTreeNode* root = list->Nodes()->AddChild(nullptr, L"root");
    list->Nodes()->AddChild(root, L"child");
    Load(L"<MainWindow><InstallStrings>"
         L"<Items><Item Index='0' Value='none'/><Item Index='0' Column='0' Value='c0'/>"
         L"<Item Index='0' Column='2' Value='second'/><Item Index='0' Column='3' Value='no'/>"
         L"<Item Index='1' Column='0' Value='no'/></Items>"
         L"<Nodes><Item Index='1' Value='kid'/><Item Index='2' Value='no'/></Nodes>"
         L"<Collection><Item Index='1' Caption='one'><Sub><Text>deep</Text></Sub></Item>"
         L"<Item Index='3' Caption='no'/><Item Caption='no'/></Collection>"
         L"</InstallStrings></MainWindow>");
    tr.Translate(&form);
    EXPECT_EQ(item->Caption(), L"c0");
    EXPECT_EQ(item->SubItems()->Get(0), L"s1");
    EXPECT_EQ(item->SubItems()->Get(1), L"second");
    EXPECT_EQ(list->Nodes()->GetNodeFromIndex(0)->Text(), L"root");
    EXPECT_EQ(list->Nodes()->GetNodeFromIndex(1)->Text(), L"kid");
    auto* c1 = static_cast<TTestItem*>(list->Collection()->GetItem(1));
    EXPECT_EQ(c1->Caption(), L"one");
    EXPECT_EQ(c1->Sub()->Text(), L"deep");
    EXPECT_EQ(static_cast<TTestItem*>(list->Collection()->GetItem(0))->Caption(), L"");
    EXPECT_EQ(static_cast<TTestItem*>(list->Collection()->GetItem(2))->Caption(), L"");
}

TEST_F(Translator, SkipListCoversDescendantsWholeClassesAndSingleProperties) {
    auto* derived = new TDerivedComponent(&form, L"Derived");
    const std::wstring body =
        L"<MainWindow><Derived Caption='c' Number='3'><Lines><![CDATA[x]]></Lines></Derived>"
        L"</MainWindow>";
    tr.SkipClass(TTestComponent::StaticClass());
    EXPECT_TRUE(tr.InSkipList(derived));
    EXPECT_FALSE(tr.InSkipList(derived, L"Caption")); // a whole-class entry does not count for a property
    Load(body);
    tr.Translate(&form);
    EXPECT_EQ(derived->Caption(), L"");
    EXPECT_EQ(derived->Lines()->Text(), L"x\r\n"); // children are still translated

    tr.UnskipClass(TTestComponent::StaticClass());
    tr.SkipProperty(TTestComponent::StaticClass(), L"caption");
    EXPECT_TRUE(tr.InSkipList(derived, L"Caption"));
    EXPECT_FALSE(tr.InSkipList(derived));
    tr.Translate(&form);
    EXPECT_EQ(derived->Caption(), L"");
    EXPECT_EQ(derived->Number(), 3);

    tr.UnskipProperty(TTestComponent::StaticClass(), L"Caption");
    EXPECT_FALSE(tr.InSkipList(derived, L"Caption"));
    EXPECT_TRUE(tr.InSkipList(derived, L"Name")); // from the start
    EXPECT_FALSE(tr.InSkipList((const TObject*)nullptr));
    tr.SkipClass(TTestComponent::StaticClass());
    tr.UnskipProperty(TTestComponent::StaticClass(), L"AnyName"); // removes the whole-class entry
    EXPECT_FALSE(tr.InSkipList(derived));
    tr.ClearSkipList();
    EXPECT_FALSE(tr.InSkipList(derived, L"Name"));
}

TEST_F(Translator, LookUpOfACategoryItemGivesTextThenValueAttributeThenNothing) {
    Load(L"<Strings><Greeting>Hello\\nthere</Greeting><Bye Value='See you'/><Empty/></Strings>");
    EXPECT_EQ(tr.Translate(L"strings", L"greeting"), L"Hello\\nthere");
    EXPECT_EQ(tr.Translate(L"Strings", L"Bye"), L"See you");
    EXPECT_EQ(tr.Translate(L"Strings", L"Empty"), L"");
    EXPECT_EQ(tr.Translate(L"Strings", L"Missing"), L"");
    EXPECT_EQ(tr.Translate(L"Nothing", L"Bye"), L"");
}

TEST_F(Translator, ScreenAndStringEntryPointsAndMalformedFiles) {
    TForm other(nullptr);
    other.SetName(L"Second");
    tr.TranslateScreenString(Doc(L"<MainWindow Caption='first'/><Second Caption='second'/>"));
    EXPECT_EQ(form.Caption(), L"first");
    EXPECT_EQ(other.Caption(), L"second");
    tr.TranslateString(Doc(L"<Second Caption='again'/>"), &other);
    EXPECT_EQ(other.Caption(), L"again");
    EXPECT_THROW(tr.TranslateString(L"<Translation><Second Caption='broken'></Translation>", &other),
                 EKitSimpleXMLError);
    EXPECT_EQ(other.Caption(), L"again");
}
