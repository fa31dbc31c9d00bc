#include <gtest/gtest.h>

#include "runtime/gui/Forms.h"
#include "runtime/gui/WebBrowser.h"

#include "GuiTestUtil.h"

TEST(HtmlToRtf, ParagraphsHeadingsFormattingEntitiesAndHiddenParts) {
    std::string rtf =
        HtmlToRtf(L"<html><head><title>T</title><style>p{}</style></head><body>"
                  L"<h1>Head</h1>\n  <p>One   two\n<b>bold</b> &amp; &lt;x&gt; &#169;&copy;&#x416;</p>"
                  L"<script>alert(1)</script><!-- note --><p>{braces}\\ &bogus;</p></body></html>");
    EXPECT_EQ(rtf.find("{\\rtf1"), 0u);
    EXPECT_NE(
        rtf.find("\\b \\fs28 Head\\b0 \\fs16 \\par\\par One two\\b  bold\\b0  & <x> \\u169?\\u169?\\u1046?"),
        std::string::npos)
        << rtf;
    EXPECT_NE(rtf.find("\\{braces\\}\\\\ &bogus;"), std::string::npos) << rtf;
    for (const char* gone : {"T}", "p{}", "alert", "note", "<p>", "<b>"})
        EXPECT_EQ(rtf.find(gone), std::string::npos) << gone;
}

TEST(HtmlToRtf, DecodesUtf8Utf16AndAnsiFiles) {
    EXPECT_EQ(DecodeHtmlBytes("\xEF\xBB\xBF\xD0\x96"), L"\u0416");
    EXPECT_EQ(DecodeHtmlBytes("\xD0\x96x"), L"\u0416x");
    EXPECT_EQ(DecodeHtmlBytes(std::string("\xFF\xFE\x16\x04", 4)), L"\u0416");
    EXPECT_EQ(DecodeHtmlBytes(std::string("\xFE\xFF\x04\x16\x00", 5)), L"\u0416");
    EXPECT_EQ(DecodeHtmlBytes("caf\xE9"), L"caf\u00E9"); // not UTF-8: the ANSI code page (1252 here)
    EXPECT_EQ(DecodeHtmlBytes(""), L"");
}

TEST(WebBrowser, ShowsTheLicenceTermsAsTextAndAMissingFileAsNothing) {
    TForm form(nullptr);
    form.SetClientWidth(610);
    form.SetClientHeight(472);
    auto* web = new TWebBrowser(&form);
    web->SetParent(&form);
    web->SetBounds(46, 138, 518, 274);
    web->SetRegisterAsBrowser(false);
    web->SetRegisterAsDropTarget(false);
    form.Show();
    web->Navigate(SourcePath(L"resources/EULA_ru_RU.html"));
    std::wstring text = web->PlainText();
    EXPECT_NE(text.find(L"Лицензионное соглашение с конечным пользователем Zorvex"), std::wstring::npos);
    EXPECT_NE(text.find(L"«как есть»"), std::wstring::npos);
    EXPECT_EQ(text.find(L"<h1>"), std::wstring::npos);
    EXPECT_EQ(text.find(L"<title>"), std::wstring::npos);
    web->Navigate(L"file:///" + SourcePath(L"resources/EULA_en_GB.html"));
    EXPECT_EQ(web->PlainText().rfind(L"Zorvex End-User Licence Agreement", 0), 0u);
    web->Navigate(SourcePath(L"resources/no such file"));
    EXPECT_EQ(web->PlainText(), L"");
    EXPECT_EQ(web->LocationURL(), SourcePath(L"resources/no such file"));
}
