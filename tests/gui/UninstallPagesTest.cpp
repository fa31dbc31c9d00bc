// The three uninstall pages as the window draws them.
#include "PagesTestSupport.h"

#include <commctrl.h>

namespace {
struct UninstallPages : PagesTest {
    void TearDown() override {
        PagesTest::TearDown();
        IsBetaStream = false;
    }
};
} // namespace

TEST_F(UninstallPages, TheFirstPageOffersWhatIsInstalled) {
    struct TCase {
        bool Main, Beta;
    };
    for (TCase c : {TCase{true, true}, TCase{false, true}, TCase{true, false}, TCase{false, false}}) {
        SCOPED_TRACE(std::string("main ") + (c.Main ? "yes" : "no") + ", beta " + (c.Beta ? "yes" : "no"));
        auto w = Make();
        w->page_UninstallFirstPage(c.Main, c.Beta);
        std::vector<std::wstring> shown{L"btnNext", L"lbTitle", L"btnUninstall"};
        if (c.Beta) shown.push_back(L"btnUninstallBeta");
        EXPECT_EQ(VisibleNames(*w), shown);
        EXPECT_EQ(w->btnNext->Caption(), L"Exit");
        EXPECT_EQ(w->lbTitle->Caption(), L"What do you want to do?");

        auto* main = Find<TButton>(*w, L"btnUninstall");
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(main->Caption(), L"Uninstall Zorvex");
        EXPECT_EQ(main->Enabled(), c.Main);
        EXPECT_EQ(IsWindowEnabled(main->Handle()) != 0, c.Main);
        EXPECT_EQ(main->Font()->Size(), 12);
        ExpectBounds(main, 234, 156, 151, 55);

        ASSERT_EQ(w->FindComponent(L"btnUninstallBeta") != nullptr, c.Beta);
        if (!c.Beta) continue;
        auto* beta = Find<TButton>(*w, L"btnUninstallBeta");
        EXPECT_EQ(beta->Caption(), L"Uninstall Zorvex BETA");
        EXPECT_TRUE(beta->Enabled());
        EXPECT_EQ(beta->Font()->Size(), 10);
        ExpectBounds(beta, 234, 219, 151, 42);
    }
}

TEST_F(UninstallPages, EachButtonOfTheFirstPageNamesItsChoice) {
    for (const wchar_t* name : {L"btnUninstall", L"btnUninstallBeta", L"btnNext"}) {
        auto w = Make();
        w->page_UninstallFirstPage(true, true);
        PageChoice.clear();
        PageDone = false;
        UserClick(Find<TButton>(*w, name));
        EXPECT_TRUE(PageDone) << name;
        EXPECT_EQ(PageChoice, std::wstring(name) == L"btnUninstall"       ? L"Uninstall"
                              : std::wstring(name) == L"btnUninstallBeta" ? L"Uninstall-Beta"
                                                                          : L"Exit");
    }
}

TEST_F(UninstallPages, TheProgressPageShowsAMarqueeUnderItsText) {
    auto w = Make();
    w->page_UninstallFirstPage(true, false);
    w->HidePage();
    w->page_UninstallProgress();
    EXPECT_EQ(VisibleNames(*w), (std::vector<std::wstring>{L"appLogo", L"PB", L"lbText4"}));
    EXPECT_EQ(ClientBounds(w->appLogo).left, 16);
    EXPECT_EQ(ClientBounds(w->appLogo).top, 16);

    auto* bar = Find<TProgressBar>(*w, L"PB");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Style(), pbstMarquee);
    EXPECT_TRUE(GetWindowLongW(bar->Handle(), GWL_STYLE) & PBS_MARQUEE);
    RECT pb = ClientBounds(bar);
    EXPECT_EQ(pb.left, 46);
    EXPECT_EQ(pb.top, 260);
    EXPECT_EQ(pb.right - pb.left, 518);

    auto* text = Find<TLabel>(*w, L"lbText4");
    EXPECT_EQ(text->Caption(), L"Uninstalling...");
    RECT t = ClientBounds(text);
    EXPECT_EQ(t.left, 46);
    EXPECT_EQ(t.bottom, 258); // two pixels above the bar
}

TEST_F(UninstallPages, TheDonePageSaysSoAndItsButtonOnlyEndsThePage) {
    auto w = Make();
    w->page_UninstallDone();
    EXPECT_EQ(VisibleNames(*w), (std::vector<std::wstring>{L"btnNext", L"lbSad", L"lbSadText"}));
    EXPECT_EQ(w->btnNext->Caption(), L"Exit");

    auto* sad = Find<TLabel>(*w, L"lbSad");
    EXPECT_EQ(sad->Caption(), L":(");
    EXPECT_EQ(sad->Font()->Size(), 114);
    EXPECT_EQ(sad->Font()->Quality(), fqClearTypeNatural);
    EXPECT_EQ(ClientBounds(sad).left, 46);
    EXPECT_EQ(ClientBounds(sad).top, 0);
    auto* text = Find<TLabel>(*w, L"lbSadText");
    EXPECT_EQ(text->Caption(), L"Zorvex was deleted");
    EXPECT_EQ(text->Font()->Size(), 24);
    EXPECT_EQ(ClientBounds(text).left, 46);
    EXPECT_EQ(ClientBounds(text).top, 208);
    // Both fit their text: the big face sits wholly above the sentence.
    EXPECT_LE(ClientBounds(sad).bottom, 208);
    EXPECT_GT(ClientBounds(text).right - ClientBounds(text).left, 100);

    PageChoice = L"Uninstall-Beta";
    PageDone = false;
    UserClick(w->btnNext);
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"Uninstall-Beta");
}

// The product names on the buttons are the program's own; the rest follows the stream and the language.
TEST_F(UninstallPages, ButtonsKeepTheProductNamesInEveryStreamAndLanguage) {
    IsBetaStream = true;
    {
        auto w = Make();
        w->page_UninstallFirstPage(true, true);
        EXPECT_EQ(Find<TButton>(*w, L"btnUninstall")->Caption(), L"Uninstall Zorvex");
        EXPECT_EQ(Find<TButton>(*w, L"btnUninstallBeta")->Caption(), L"Uninstall Zorvex BETA");
        w->page_UninstallDone();
        EXPECT_EQ(Find<TLabel>(*w, L"lbSadText")->Caption(), L"Zorvex BETA was deleted");
    }
    IsBetaStream = false;
    UILanguage = L"ru_RU";
    auto w = Make();
    w->page_UninstallFirstPage(true, true);
    EXPECT_EQ(w->btnNext->Caption(), L"Выход");
    EXPECT_EQ(w->lbTitle->Caption(), L"Что вы хотите сделать?");
    EXPECT_EQ(Find<TButton>(*w, L"btnUninstall")->Caption(), L"Удалить Zorvex");
    EXPECT_EQ(Find<TButton>(*w, L"btnUninstallBeta")->Caption(), L"Удалить Zorvex BETA");
    w->page_UninstallProgress();
    EXPECT_EQ(Find<TLabel>(*w, L"lbText4")->Caption(), L"Удаление...");
    w->page_UninstallDone();
    EXPECT_EQ(Find<TLabel>(*w, L"lbSadText")->Caption(), L"Zorvex удалён");
}
