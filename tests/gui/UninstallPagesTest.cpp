// The uninstall pages' fonts, handlers and names; where they stand and what they say in each installed state
// and language is proven on the real program (tests/e2e/test_uninstall.py).
#include "PagesTestSupport.h"

namespace {
struct UninstallPages : PagesTest {
    void TearDown() override {
        PagesTest::TearDown();
        IsBetaStream = false;
    }
};
} // namespace

TEST_F(UninstallPages, TheFirstPageButtonsNameTheirChoice) {
    for (const wchar_t* name : {L"btnUninstall", L"btnUninstallBeta", L"btnNext"}) {
        auto w = Make();
        w->page_UninstallFirstPage(true, true);
        auto* main = Find<TButton>(*w, L"btnUninstall");
        auto* beta = Find<TButton>(*w, L"btnUninstallBeta");
        EXPECT_EQ(main->Font()->Size(), 12);
        EXPECT_EQ(beta->Font()->Size(), 10);
        EXPECT_EQ(w->btnNext->Font()->Size(), 8); // the window's own

        PageChoice.clear();
        PageDone = false;
        UserClick(Find<TButton>(*w, name));
        EXPECT_TRUE(PageDone) << name;
        EXPECT_EQ(PageChoice, name == std::wstring(L"btnUninstall")       ? L"Uninstall"
                              : name == std::wstring(L"btnUninstallBeta") ? L"Uninstall-Beta"
                                                                          : L"Exit");
    }
}

TEST_F(UninstallPages, TheDonePageHasItsOwnFontsAndItsButtonOnlyEndsThePage) {
    auto w = Make();
    w->page_UninstallDone();
    auto* sad = Find<TLabel>(*w, L"lbSad");
    auto* text = Find<TLabel>(*w, L"lbSadText");
    EXPECT_EQ(sad->Font()->Size(), 114);
    EXPECT_EQ(text->Font()->Size(), 24);
    EXPECT_EQ(sad->Font()->Quality(), fqClearTypeNatural);
    EXPECT_EQ(text->Font()->Quality(), fqClearTypeNatural);
    // Both fit their text: the big face sits wholly above the sentence.
    EXPECT_LE(ClientBounds(sad).bottom, 208);
    EXPECT_GT(ClientBounds(text).right - ClientBounds(text).left, 100);

    PageChoice = L"Uninstall-Beta";
    PageDone = false;
    UserClick(w->btnNext);
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"Uninstall-Beta");
}

// The product names on the buttons are the program's own, not the stream's.
TEST_F(UninstallPages, InTheBetaStreamTheButtonsStillNameBothProducts) {
    IsBetaStream = true;
    auto w = Make();
    w->page_UninstallFirstPage(true, true);
    EXPECT_EQ(Find<TButton>(*w, L"btnUninstall")->Caption(), L"Uninstall Zorvex");
    EXPECT_EQ(Find<TButton>(*w, L"btnUninstallBeta")->Caption(), L"Uninstall Zorvex BETA");
    w->page_UninstallDone();
    EXPECT_EQ(Find<TLabel>(*w, L"lbSadText")->Caption(), L"Zorvex BETA was deleted");
}
