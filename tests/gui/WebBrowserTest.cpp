#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "runtime/gui/Forms.h"
#include "runtime/gui/WebBrowser.h"

#include "GuiTestUtil.h"
#include "LicenceViewer.h"
#include "RealisticLicence.h"

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

namespace {
// The paragraphs of the text shown.
std::vector<std::wstring> Paragraphs(const std::wstring& Text) {
    std::vector<std::wstring> lines;
    for (size_t at = 0; at <= Text.size();) {
        size_t end = std::min(Text.find(L'\r', at), Text.size());
        lines.push_back(Text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

bool EndsWith(const std::wstring& Text, const std::wstring& End) {
    return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}
} // namespace

TEST(WebBrowser, SplitsOnlyParagraphsLongerThan8000CharactersAtASentenceEndOrABlank) {
    realistic_licence::TWords words;
    std::wstring exact = words.Sentences(8000);
    exact.resize(7999);
    exact += L".";
    const std::wstring caps = words.Sentences(1400, true), sentences = words.Sentences(30000);
    std::wstring blanks = words.Sentences(20000);
    std::replace(blanks.begin(), blanks.end(), L'.', L',');
    const std::wstring word(20000, L'w');
    TViewer viewer;
    std::vector<std::wstring> shown = Paragraphs(viewer.Show(
        "paragraphs of every length", Utf8(L"<p>" + exact + L"</p><p>" + caps + L"</p><p>" + sentences +
                                           L"</p><p>" + blanks + L"</p><p>" + word + L"</p><p>end</p>")));
    ASSERT_GE(shown.size(), 5u);
    // Whole: a paragraph of 8,000 characters and an all-caps disclaimer, each followed by an empty line.
    EXPECT_EQ(shown[0], exact);
    EXPECT_EQ(shown[2], caps);
    // The rest are split, and each piece put back together with a blank gives the paragraph again.
    size_t at = 4;
    for (const std::wstring* split : std::initializer_list<const std::wstring*>{&sentences, &blanks, &word}) {
        std::wstring joined;
        for (; at < shown.size() && !shown[at].empty(); ++at) {
            EXPECT_LE(shown[at].size(), 8000u);
            const bool last = at + 1 == shown.size() || shown[at + 1].empty();
            if (split == &sentences) {
                EXPECT_TRUE(last || shown[at].size() >= 4000u) << shown[at].size();
                EXPECT_EQ(shown[at].back(), L'.');
            }
            joined += (joined.empty() || split == &word ? L"" : L" ") + shown[at];
        }
        EXPECT_EQ(joined, *split) << shown.size();
        ++at;
    }
    EXPECT_EQ(shown.back(), L"end");
}

TEST(WebBrowser, ShowsLicenceTermsOf512KCharactersToTheirLastWord) {
    TViewer viewer;
    viewer.Web->SetCutNotice(L"The terms continue at http://example.org/EULA_en_GB");
    const std::wstring html = RealisticLicenceHtml(512 << 10);
    std::wstring text = viewer.Show("terms of 512K characters", Utf8(html));
    EXPECT_GE(text.size(), 512u << 10);
    EXPECT_TRUE(EndsWith(text, LicenceLastWords)) << text.substr(text.size() - 200);
    EXPECT_NE(text.find(L"component-6000 1.7 \u2014 Copyright \u00A9 2010 its authors; MIT licence"),
              std::wstring::npos);
    // Each all-caps disclaimer is one whole paragraph.
    size_t disclaimers = 0;
    for (const std::wstring& p : Paragraphs(text))
        if (p.size() > 100 && std::none_of(p.begin(), p.end(), iswlower)) {
            ++disclaimers;
            EXPECT_GE(p.size(), 1400u);
            EXPECT_EQ(p.back(), L'.');
        }
    EXPECT_GE(disclaimers, 20u);
    EXPECT_EQ(text.find(L"The terms continue"), std::wstring::npos);
}

TEST(WebBrowser, TermsCutAtABoundEndWithTheNoticeWhereTheyContinue) {
    const std::wstring notice = L"The terms continue at http://example.org/EULA_en_GB";
    std::wstring lines, paragraphs;
    for (int i = 0; i < 40000; ++i) lines += L"line<br>";
    for (int i = 0; i < 8192; ++i) paragraphs += L"<p>" + std::wstring(128, L'a');
    const struct {
        const char* Name;
        std::wstring Html;
        std::string Tail; // bytes after the HTML
        bool Cut;
    } cases[] = {
        {"2M characters", RealisticLicenceHtml(2 << 20), {}, true},
        {"40,000 lines", lines, {}, true},
        {"a file beyond 4 MB", L"<p>Terms</p><!--", std::string(5 << 20, 'x') + "-->more", true},
        {"1M characters, then nothing", paragraphs + L"</p></body>", {}, false},
        {"1M characters, then more", paragraphs + L"</p>a", {}, true},
    };
    for (const auto& c : cases) {
        TViewer viewer;
        viewer.Web->SetCutNotice(notice);
        std::wstring text = viewer.Show(c.Name, Utf8(c.Html) + c.Tail);
        EXPECT_EQ(EndsWith(text, L"\r\r" + notice), c.Cut)
            << c.Name << ": " << text.substr(text.size() - 200);
        EXPECT_EQ(text.find(LicenceLastWords), std::wstring::npos) << c.Name;
    }
}
