// The three uninstall pages as the window draws them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/Setup.Application.h"
#include "app/ui/ui.window.main.h"
#include "runtime/gui/ComCtrls.h"

namespace {
RECT Bounds(TControl* Control) {
    RECT r;
    HWND wnd = static_cast<TWinControl*>(Control)->Handle();
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, GetParent(wnd), (POINT*)&r, 2);
    return r;
}

void ExpectBounds(TControl* Control, int Left, int Top, int Width, int Height) {
    RECT r = Bounds(Control);
    EXPECT_EQ(r.left, Left) << Control->Name();
    EXPECT_EQ(r.top, Top) << Control->Name();
    EXPECT_EQ(r.right - r.left, Width) << Control->Name();
    EXPECT_EQ(r.bottom - r.top, Height) << Control->Name();
}

std::vector<std::wstring> VisibleNames(TMainWindow& W) {
    std::vector<std::wstring> names;
    for (int i = 0; i < W.ControlCount(); ++i)
        if (W.Controls(i)->Visible() && IsWindowVisible(static_cast<TWinControl*>(W.Controls(i))->Handle()))
            names.push_back(W.Controls(i)->Name());
    return names;
}

template <class T> T* Find(TMainWindow& W, const wchar_t* Name) {
    return dynamic_cast<T*>(W.FindComponent(Name));
}

struct UninstallPages : testing::Test {
    void SetUp() override {
        UILanguage = L"en_GB";
        IsBetaStream = false;
    }
    void TearDown() override {
        UILanguage = L"en_GB";
        IsBetaStream = false;
    }
    // A window past its preparation page, as the uninstaller finds it.
    std::unique_ptr<TMainWindow> Make() {
        auto w = std::make_unique<TMainWindow>(nullptr);
        w->Show();
        w->HidePage();
        return w;
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

        auto* beta = Find<TButton>(*w, L"btnUninstallBeta");
        ASSERT_EQ(beta != nullptr, c.Beta);
        if (!beta) continue;
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
        SendMessageW(Find<TButton>(*w, name)->Handle(), BM_CLICK, 0, 0);
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
    EXPECT_EQ(Bounds(w->appLogo).left, 16);
    EXPECT_EQ(Bounds(w->appLogo).top, 16);

    auto* bar = Find<TProgressBar>(*w, L"PB");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Style(), pbstMarquee);
    EXPECT_TRUE(GetWindowLongW(bar->Handle(), GWL_STYLE) & PBS_MARQUEE);
    RECT pb = Bounds(bar);
    EXPECT_EQ(pb.left, 46);
    EXPECT_EQ(pb.top, 260);
    EXPECT_EQ(pb.right - pb.left, 518);

    auto* text = Find<TLabel>(*w, L"lbText4");
    EXPECT_EQ(text->Caption(), L"Uninstalling...");
    RECT t = Bounds(text);
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
    EXPECT_EQ(Bounds(sad).left, 46);
    EXPECT_EQ(Bounds(sad).top, 0);
    auto* text = Find<TLabel>(*w, L"lbSadText");
    EXPECT_EQ(text->Caption(), L"Zorvex was deleted");
    EXPECT_EQ(text->Font()->Size(), 24);
    EXPECT_EQ(Bounds(text).left, 46);
    EXPECT_EQ(Bounds(text).top, 208);
    // Both fit their text: the big face sits wholly above the sentence.
    EXPECT_LE(Bounds(sad).bottom, 208);
    EXPECT_GT(Bounds(text).right - Bounds(text).left, 100);

    PageChoice = L"Uninstall-Beta";
    PageDone = false;
    SendMessageW(w->btnNext->Handle(), BM_CLICK, 0, 0);
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
