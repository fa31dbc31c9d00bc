#include "PagesTestSupport.h"
#include "app/Tlv.Code.Components.VirtualStringList.h"
#include "app/engine/Setup.Translator.h"
#include "runtime/gui/StdCtrls.h"
#include "runtime/gui/WebBrowser.h"
#include "xml/KitSimpleXml.h"

namespace {

using LanguagePage = PagesTest;
using LicencePage = PagesTest;

// The radio buttons of the language list, in order.
std::vector<TRadioButton*> Radios(TMainWindow& W) {
    auto* box = W.FindControl<TListBox>(L"lbBox");
    std::vector<TRadioButton*> radios;
    for (int i = 0; i < box->ControlCount(); ++i)
        if (auto* r = dynamic_cast<TRadioButton*>(box->Controls(i))) radios.push_back(r);
    return radios;
}

TWebBrowser* Viewer(TMainWindow& W) {
    for (int i = 0; i < W.ControlCount(); ++i)
        if (auto* b = dynamic_cast<TWebBrowser*>(W.Controls(i))) return b;
    return nullptr;
}

const char* const TwoLanguages = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                 "<languages>\r\n"
                                 "  <lang id=\"en_GB\">2057</lang>\r\n"
                                 "  <Lang id=\"de_DE\">1031</Lang>\r\n"
                                 "  <group><lang id=\"fr_FR\">1036</lang></group>\r\n"
                                 "  <lang id=\"ru_RU\">1049</lang>\r\n"
                                 "</languages>\r\n";

} // namespace

TEST_F(LanguagePage, ListsTheLanguagesAndChecksTheStartUpLanguage) {
    PutFile(L"Langs.xml", TwoLanguages);
    UILanguage = L"ru_RU";
    auto w = Make();
    w->page_SelectLang();

    EXPECT_EQ(VisibleNames(*w), (std::vector<std::wstring>{L"btnNext", L"lbTitle", L"lbBox"}));
    EXPECT_EQ(w->lbTitle->Caption(), L"Выберите язык"); // the window speaks the start-up language
    auto* box = Find<TListBox>(*w, L"lbBox");
    ExpectBounds(box, 46, 94, 518, 294);

    // Only the root's own "lang" children: not "Lang", not one nested deeper.
    auto radios = Radios(*w);
    ASSERT_EQ(radios.size(), 2u);
    EXPECT_EQ(radios[0]->Name(), L"Lang_en_GB");
    EXPECT_EQ(radios[1]->Name(), L"Lang_ru_RU");
    EXPECT_EQ(radios[0]->Caption(), CTranslator::GetLangDisplayNameFormID(2057));
    EXPECT_FALSE(radios[0]->Caption().empty());
    EXPECT_EQ(radios[1]->Caption(), L"Русский");
    EXPECT_EQ(radios[1]->Hint(), L"ru_RU");
    // 4 pixels below the top of the box's client area, each next one 4 below the one before.
    RECT first = ClientBounds(radios[0]), second = ClientBounds(radios[1]);
    EXPECT_EQ(first.left, 16);
    EXPECT_EQ(first.top, 4);
    EXPECT_EQ(second.left, 16);
    EXPECT_EQ(second.top, first.bottom + 4);
    EXPECT_TRUE(IsWindowVisible(radios[1]->Handle()));

    // The start-up language is checked and Next enabled at once.
    EXPECT_FALSE(ShownChecked(radios[0]));
    EXPECT_TRUE(ShownChecked(radios[1]));
    EXPECT_TRUE(ShownEnabled(w->btnNext));

    // The user picks English after all.
    UserClick(radios[0]);
    EXPECT_TRUE(ShownChecked(radios[0]));
    EXPECT_FALSE(ShownChecked(radios[1]));
    UserClick(w->btnNext);
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"en_GB");
    // The waiting page stands while the language file is fetched.
    EXPECT_EQ(VisibleNames(*w), (std::vector<std::wstring>{L"appLogo", L"lbPrepareText"}));
}

TEST_F(LanguagePage, WithoutTheStartUpLanguageNextWaitsForAClick) {
    PutFile(L"Langs.xml", "<l><lang id='de_DE'>1031</lang><lang id='ru_RU'>1049</lang></l>");
    auto w = Make();
    w->page_SelectLang();
    EXPECT_EQ(w->btnNext->Caption(), L"Continue");
    EXPECT_EQ(w->lbTitle->Caption(), L"Choose your language");
    auto radios = Radios(*w);
    ASSERT_EQ(radios.size(), 2u);
    EXPECT_FALSE(ShownChecked(radios[0]) || ShownChecked(radios[1]));
    EXPECT_FALSE(ShownEnabled(w->btnNext));
    UserClick(radios[1]);
    EXPECT_TRUE(ShownEnabled(w->btnNext));
    UserClick(w->btnNext);
    EXPECT_EQ(PageChoice, L"ru_RU");
}

// Ids name controls and files: anything but letters, digits and underscores, or an id seen before, is
// skipped; the list stays bounded whatever the file holds.
TEST_F(LanguagePage, IdsThatCannotNameAControlAreSkipped) {
    std::string xml = "<l>"
                      "<lang id='..\\..\\evil'>1031</lang>"
                      "<lang id='a b'>1031</lang>"
                      "<lang id=''>1031</lang>"
                      "<lang>1031</lang>"
                      "<lang id='en_GB'>2057</lang>"
                      "<lang id='EN_gb'>2057</lang>"
                      "<lang id='en_GB'>2057</lang>"
                      "<lang id='x1_Y2'>not a number</lang>";
    for (int i = 0; i < 300; ++i) xml += "<lang id='L" + std::to_string(i) + "'>1049</lang>";
    PutFile(L"Langs.xml", xml + "</l>");
    auto w = Make();
    w->page_SelectLang();
    auto radios = Radios(*w);
    ASSERT_EQ(radios.size(), 256u);
    EXPECT_EQ(radios[0]->Hint(), L"en_GB");
    EXPECT_EQ(radios[1]->Hint(), L"x1_Y2");
    EXPECT_EQ(radios[1]->Caption(), L""); // no such locale
    EXPECT_EQ(radios[2]->Hint(), L"L0");
    EXPECT_TRUE(ShownChecked(radios[0]));
}

// (The engine shows no language page for such a list: see the hostile XML scenarios.)
TEST_F(LanguagePage, AMissingOrMalformedListLeavesAnEmptyBox) {
    {
        auto w = Make();
        w->page_SelectLang();
        EXPECT_TRUE(Radios(*w).empty());
        EXPECT_FALSE(ShownEnabled(w->btnNext));
        // Next with nothing checked keeps the window language.
        UILanguage = L"ru_RU";
        w->SelectLangNextClick(w->btnNext);
        EXPECT_EQ(PageChoice, L"ru_RU");
    }
    // Not well-formed, or in a charset nobody knows: read as no list at all, never raised.
    for (const char* broken :
         {"<l><lang id='en_GB'>2057</l>",
          "<?xml version='1.0' encoding='x-unheard-of'?><l><lang id='en_GB'>2057</lang></l>"}) {
        PutFile(L"Langs.xml", broken);
        auto w = Make();
        EXPECT_NO_THROW(w->page_SelectLang());
        EXPECT_TRUE(Radios(*w).empty());
        EXPECT_TRUE(TMainWindow::ReadLanguageList(Work + L"Langs.xml").empty());
    }
}

TEST_F(LicencePage, ShowsTheDownloadedTermsAndTheAcceptBoxGuardsNext) {
    PutFile(L"EULA_de_DE", "<html><body><h1>Lizenz</h1><p>Die Bedingungen &amp; mehr.</p></body></html>");
    Source->topRequest = L"EULA_de_DE";
    auto w = Make();
    PageChoice = L"de_DE";
    w->page_EULA();

    EXPECT_EQ(w->lbTitle->Caption(), L"Read the Software License Terms");
    EXPECT_EQ(w->btnNext->Caption(), L"Continue");
    EXPECT_FALSE(ShownEnabled(w->btnNext));
    EXPECT_FALSE(w->appLogo->Visible());
    auto* text = Find<TLabel>(*w, L"lbText2");
    ExpectBounds(text, 46, 88, 518, 42);
    EXPECT_TRUE(text->WordWrap());
    EXPECT_EQ(text->Caption().rfind(L"To continue you must accept the terms of this agreement.", 0), 0u);

    TWebBrowser* browser = Viewer(*w);
    ASSERT_NE(browser, nullptr);
    ExpectBounds(browser, 46, 138, 518, 274);
    EXPECT_TRUE(IsWindowVisible(browser->Handle()));
    EXPECT_FALSE(browser->RegisterAsBrowser());
    EXPECT_FALSE(browser->RegisterAsDropTarget());
    EXPECT_EQ(browser->LocationURL(), Work + L"EULA_de_DE");
    EXPECT_NE(browser->PlainText().find(L"Die Bedingungen & mehr."), std::wstring::npos);

    auto* accept = Find<TCheckBox>(*w, L"cbAcceptEULA");
    ExpectBounds(accept, 46, 420, 400, -1);
    EXPECT_EQ(accept->Caption(), L"I &accept the terms of this agreement");
    EXPECT_FALSE(ShownChecked(accept));
    UserClick(accept);
    EXPECT_TRUE(ShownEnabled(w->btnNext));
    UserClick(accept);
    EXPECT_FALSE(ShownEnabled(w->btnNext));
    EXPECT_FALSE(PageDone);
    UserClick(accept);
    UserClick(w->btnNext);
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"de_DE"); // left as it was
    EXPECT_TRUE(VisibleNames(*w).empty());
}

TEST_F(LicencePage, TermsCutByTheViewerEndWithTheAddressWhereTheyAreWhole) {
    // Beyond the bytes that the viewer reads.
    PutFile(L"EULA_en_GB", "<p>Terms</p><!--" + std::string(5 << 20, 'x') + "-->");
    Source->topRequest = L"EULA_en_GB";
    Source->topAddress = L"http://downloads.example.org/zrx/setup/EULA_en_GB";
    for (const wchar_t* lang : {L"en_GB", L"ru_RU"})
        for (bool oldLanguageFile : {false, true}) {
            SCOPED_TRACE(lang);
            UILanguage = lang;
            auto w = Make();
            // A language file made before the line leaves its index there: the built-in line serves.
            if (oldLanguageFile) w->InstallStrings->Lines()->Put(41, L"41");
            w->page_EULA();
            const std::wstring shown = Viewer(*w)->PlainText();
            const std::wstring end =
                UILanguage == L"en_GB"
                    ? L"Read them whole at " + Source->topAddress + L" before you accept them."
                    : L"по адресу " + Source->topAddress + L", прежде чем принять их.";
            EXPECT_EQ(shown.rfind(L"Terms\r\r", 0), 0u) << shown;
            EXPECT_EQ(shown.substr(shown.size() - std::min(shown.size(), end.size())), end) << shown;
        }
}

TEST_F(LicencePage, ShowsTheBuiltInTermsWhenTheDownloadFailed) {
    for (const wchar_t* lang : {L"en_GB", L"ru_RU"}) {
        SCOPED_TRACE(lang);
        UILanguage = lang;
        Source->RequestResource(std::wstring(L"EULA_") + lang);
        auto w = Make();
        w->page_EULA();
        TWebBrowser* browser = Viewer(*w);
        ASSERT_NE(browser, nullptr);
        const std::wstring terms = browser->PlainText();
        EXPECT_NE(terms.find(UILanguage == L"en_GB" ? L"Zorvex End-User Licence Agreement" : L"Zorvex"),
                  std::wstring::npos);
        EXPECT_GT(terms.size(), 500u);
        EXPECT_EQ(terms.find(L"<"), std::wstring::npos); // formatted, not shown as markup
    }
}
