#include <gtest/gtest.h>

#include "runtime/gui/Forms.h"
#include "runtime/gui/Menus.h"
#include "runtime/gui/StdCtrls.h"
#include "runtime/gui/TypInfo.h"

TEST(TypInfo, LooksUpPublishedPropertiesByNameThroughAncestorsWithAKindFilter) {
    TLabel label(nullptr);
    const TPropInfo* p = GetPropInfoByName(&label, L"caption");
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->Name, L"Caption");
    EXPECT_EQ(p->Kind, tkUString);
    EXPECT_EQ(GetPropInfoByName(&label, L"WORDWRAP")->Kind, tkEnumeration);
    EXPECT_EQ(GetPropInfoByName(&label, L"Caption", TypeKinds(tkInteger)), nullptr);
    EXPECT_EQ(GetPropInfoByName(&label, L"NoSuchThing"), nullptr);
    EXPECT_EQ(GetPropInfoByName((const TObject*)nullptr, L"Caption"), nullptr);
    // A class without a table of its own answers from its ancestors.
    TButton button(nullptr);
    EXPECT_NE(GetPropInfoByName(&button, L"Left"), nullptr);
    EXPECT_EQ(GetPropInfoByName(&button, L"WordWrap"), nullptr);
}

TEST(TypInfo, SetsOrdinalStringSetAndObjectProperties) {
    TLabel label(nullptr);
    SetUnicodeStrProp(&label, GetPropInfoByName(&label, L"Caption"), L"Hello");
    EXPECT_EQ(label.Caption(), L"Hello");
    SetOrdProp(&label, GetPropInfoByName(&label, L"AutoSize"), 0);
    SetOrdProp(&label, GetPropInfoByName(&label, L"Width"), 123);
    EXPECT_EQ(label.Width(), 123);
    const TPropInfo* align = GetPropInfoByName(&label, L"Alignment");
    EXPECT_EQ(GetEnumValue(align, L"tacenter"), 2);
    EXPECT_EQ(GetEnumValue(align, L"middle"), -1);
    SetOrdProp(&label, align, GetEnumValue(align, L"taCenter"));
    EXPECT_EQ(label.Alignment(), taCenter);
    EXPECT_EQ(GetEnumValue(GetPropInfoByName(&label, L"Visible"), L"true"), 1);

    auto* font = dynamic_cast<TFont*>(GetObjectPropByName(&label, L"Font"));
    ASSERT_EQ(font, label.Font());
    const TPropInfo* style = GetPropInfoByName(font, L"Style");
    SetSetPropFromString(font, style, L"[fsBold, fsItalic]");
    EXPECT_EQ(font->Style(), FontStyle(fsBold) | FontStyle(fsItalic));
    EXPECT_EQ(GetSetPropAsString(font, style), L"[fsBold,fsItalic]");
    SetSetPropFromString(font, style, L"[]");
    EXPECT_EQ(font->Style(), 0u);
    EXPECT_THROW(SetSetPropFromString(font, style, L"[fsBold,fsHuge]"), EPropertyConvertError);
    EXPECT_EQ(font->Style(), 0u);
    EXPECT_THROW(GetObjectPropByName(&label, L"Caption"), EPropertyError);
}

TEST(Menus, ShortcutTextsGiveKeyCodesAndUnknownTextsGiveZero) {
    EXPECT_EQ(TextToShortCut(L"Ctrl+S"), scCtrl | 'S');
    EXPECT_EQ(TextToShortCut(L"ctrl+shift+s"), scCtrl | scShift | 'S');
    EXPECT_EQ(TextToShortCut(L"Alt+F4"), scAlt | 0x73);
    EXPECT_EQ(TextToShortCut(L"Shift+Del"), scShift | 0x2E);
    EXPECT_EQ(TextToShortCut(L"F12"), 0x7B);
    EXPECT_EQ(TextToShortCut(L"Ctrl+"), 0);
    EXPECT_EQ(TextToShortCut(L"Ctrl+Banana"), 0);
    EXPECT_EQ(TextToShortCut(L""), 0);
    EXPECT_EQ(ShortCutToText(TextToShortCut(L"Shift+Ctrl+Enter")), L"Shift+Ctrl+Enter");
}
