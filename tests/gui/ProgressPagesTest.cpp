#include "PagesTestSupport.h"

#include <commctrl.h>

#include "runtime/gui/StdCtrls.h"

namespace {

// What the bar shows, read from its window.
struct TBarState {
    bool Marquee;
    int Max;
    int Position;
};
TBarState Shown(TProgressBar* Bar) {
    HWND h = Bar->Handle();
    return {(GetWindowLongPtrW(h, GWL_STYLE) & PBS_MARQUEE) != 0,
            (int)SendMessageW(h, PBM_GETRANGE, FALSE, 0), (int)SendMessageW(h, PBM_GETPOS, 0, 0)};
}

struct TCallbacks {
    TProgressProc Begin, Work;
    TProgressEndProc End;
};

using ProgressPages = PagesTest;

} // namespace

TEST_F(ProgressPages, InstallPageFollowsSizedAndUnsizedDownloads) {
    auto w = Make();
    TCallbacks cb;
    w->page_Install(cb.Begin, cb.Work, cb.End);
    EXPECT_EQ(VisibleNames(*w), (std::vector<std::wstring>{L"appLogo", L"PB", L"lbText4"}));
    EXPECT_EQ(ClientBounds(w->appLogo).left, 16);
    auto* bar = Find<TProgressBar>(*w, L"PB");
    auto* text = Find<TLabel>(*w, L"lbText4");
    ExpectBounds(bar, 46, 260, 518, 17);
    RECT tr = ClientBounds(text);
    EXPECT_EQ(tr.left, 46);
    EXPECT_EQ(tr.bottom + 2, 260); // just above the bar
    EXPECT_EQ(text->Caption(), L"Prepare for download...");
    EXPECT_TRUE(Shown(bar).Marquee);

    cb.Begin(7444889);
    EXPECT_EQ(text->Caption(), L"Downloaded: 0.00 Mb from 7.10 Mb");
    TBarState s = Shown(bar);
    EXPECT_FALSE(s.Marquee);
    EXPECT_EQ(s.Max, 7444889);
    EXPECT_EQ(s.Position, 0);
    cb.Work(3722444);
    EXPECT_EQ(text->Caption(), L"Downloaded: 3.55 Mb from 7.10 Mb");
    EXPECT_EQ(Shown(bar).Position, 3722444);
    cb.Work(7444889);
    EXPECT_EQ(text->Caption(), L"Downloaded: 7.10 Mb from 7.10 Mb");
    EXPECT_EQ(Shown(bar).Position, 7444889);

    cb.End();
    s = Shown(bar);
    EXPECT_TRUE(s.Marquee);
    EXPECT_EQ(bar->Max(), 100);
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(text->Caption(), L"Installing...");

    // A second download on the same page (the successor setup) starts afresh; this server announces no size.
    cb.Begin(0);
    EXPECT_EQ(text->Caption(), L"Downloaded: 0.00 Mb from 0.00 Mb");
    EXPECT_FALSE(Shown(bar).Marquee);
    EXPECT_EQ(bar->Max(), 0);
    cb.Work(2 * 1048576 + 5000);
    EXPECT_EQ(text->Caption(), L"Downloaded: 2.00 Mb from 0.00 Mb");
    EXPECT_EQ(bar->Position(), 0);
    // A negative size from a broken server counts as none.
    cb.Begin(-5);
    EXPECT_EQ(text->Caption(), L"Downloaded: 0.00 Mb from 0.00 Mb");
}

// The bar counts in 32 bits: beyond that it is scaled, so it moves to the right and ends full, while the
// label's figures stay exact.
TEST_F(ProgressPages, ADownloadBeyondFourGigabytesStillMovesTheBarAndEndsFull) {
    auto w = Make();
    TCallbacks cb;
    w->page_Install(cb.Begin, cb.Work, cb.End);
    auto* bar = Find<TProgressBar>(*w, L"PB");
    auto* text = Find<TLabel>(*w, L"lbText4");
    const int64_t total = 5LL * 1024 * 1024 * 1024 + 123; // the low 32 bits alone would be about 1 GB
    cb.Begin(total);
    EXPECT_EQ(text->Caption(), L"Downloaded: 0.00 Mb from 5120.00 Mb");
    TBarState s = Shown(bar);
    EXPECT_GT(s.Max, 1 << 30);
    EXPECT_EQ(s.Position, 0);

    int last = 0;
    for (int64_t part = 1; part <= 4; ++part) {
        cb.Work(total * part / 4);
        int pos = Shown(bar).Position;
        EXPECT_GT(pos, last) << "quarter " << part;
        EXPECT_NEAR((double)pos / s.Max, part / 4.0, 1e-6);
        last = pos;
    }
    EXPECT_EQ(last, s.Max);
    EXPECT_EQ(text->Caption(), L"Downloaded: 5120.00 Mb from 5120.00 Mb");
    cb.Work(3LL * 1024 * 1024 * 1024);
    EXPECT_EQ(text->Caption(), L"Downloaded: 3072.00 Mb from 5120.00 Mb");
    // More than announced keeps the bar full rather than wrapping it.
    cb.Work(total * 2);
    EXPECT_EQ(Shown(bar).Position, s.Max);

    // The next download, within 32 bits, is counted byte by byte again.
    cb.End();
    cb.Begin(1000);
    cb.Work(600);
    EXPECT_EQ(bar->Max(), 1000);
    EXPECT_EQ(bar->Position(), 600);
}

TEST_F(ProgressPages, LocalInstallationPagesReuseTheChoicePage) {
    auto w = Make();
    w->page_FirstChoose(false);
    UserClick(Find<TRadioButton>(*w, L"rbDownload"));
    const std::wstring chosen = Find<TEdit>(*w, L"eLocalPath")->Text();

    TCallbacks cb;
    EXPECT_EQ(w->page_MakeLocalInstallation2(cb.Begin, cb.Work, cb.End), chosen);
    EXPECT_EQ(VisibleNames(*w),
              (std::vector<std::wstring>{L"btnNext", L"lbTitle", L"rbDownload", L"lb_donwloadPath",
                                         L"eLocalPath", L"btnBrowsePath", L"pbLocal", L"lbText4"}));
    EXPECT_EQ(w->btnNext->Caption(), L"Close");
    EXPECT_FALSE(ShownEnabled(w->btnNext));
    EXPECT_FALSE(ShownEnabled(Find<TEdit>(*w, L"eLocalPath")));
    EXPECT_FALSE(ShownEnabled(Find<TButton>(*w, L"btnBrowsePath")));
    auto* bar = Find<TProgressBar>(*w, L"pbLocal");
    auto* text = Find<TLabel>(*w, L"lbText4");
    ExpectBounds(bar, 46, 340, 518, 17);
    EXPECT_EQ(ClientBounds(text).bottom + 2, 340);
    EXPECT_TRUE(Shown(bar).Marquee);
    EXPECT_EQ(text->Caption(), L"Prepare for download...");

    // Two downloads one after the other, each with its own total.
    cb.Begin(2 * 1048576);
    cb.Work(1048576);
    EXPECT_EQ(text->Caption(), L"Downloaded: 1.00 Mb from 2.00 Mb");
    cb.End();
    EXPECT_EQ(text->Caption(), L"Preparing a local installation...");
    EXPECT_TRUE(Shown(bar).Marquee);
    cb.Begin(0);
    cb.End();
    EXPECT_FALSE(ShownEnabled(w->btnNext));

    w->page_MakeLocalInstallation3();
    TBarState s = Shown(bar);
    EXPECT_FALSE(s.Marquee);
    EXPECT_EQ(s.Max, 100);
    EXPECT_EQ(s.Position, 100);
    EXPECT_EQ(text->Caption(), L"Done.");
    EXPECT_EQ(text->Font()->Style(), FontStyle(fsBold));
    EXPECT_EQ(w->btnNext->Caption(), L"Close");
    ASSERT_TRUE(ShownEnabled(w->btnNext));
    PageChoice = L"MakeInstallNow";
    UserClick(w->btnNext);
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"MakeInstallNow");
}
