#include <shlobj.h>

#include "PagesTestSupport.h"
#include "app/core/System.Application.Extended.h"
#include "net/Setup.Servers.h"
#include "runtime/Files.h"
#include "runtime/gui/StdCtrls.h"

namespace {

using ChoicePage = PagesTest;

// Chooses Folder in the open folder dialog, as a click in its tree would.
void Choose(const std::wstring& Folder, HWND Dialog) {
    SendMessageW(Dialog, BFFM_SETSELECTIONW, TRUE, (LPARAM)Folder.c_str());
    Sleep(200);
}

// Presses Next as the user does; a question it asks is answered by Answer (0: none may come).
void PressNext(TMainWindow& W, int Answer, std::wstring* Texts = nullptr) {
    TDialogDriver user(Answer ? Answer : IDCANCEL, {}, false, Answer ? 30000 : 2000);
    W.btnNext->OnClick(W.btnNext);
    EXPECT_EQ(user.Finish(), Answer != 0) << (Answer ? "no question came" : "a question came");
    if (Texts) *Texts = user.Texts();
}

} // namespace

TEST_F(ChoicePage, ShowsBothChoicesWithTheInstallOptionsActive) {
    auto w = Make();
    w->btnNext->SetEnabled(true); // as the licence page leaves it
    w->page_FirstChoose(false);
    EXPECT_EQ(w->lbTitle->Caption(), L"Choose the installation you want");
    EXPECT_EQ(w->btnNext->Caption(), L"Next");
    EXPECT_TRUE(ShownEnabled(w->btnNext));
    EXPECT_FALSE(w->appLogo->Visible());

    struct {
        const wchar_t* Name;
        int Left, Top, Width;
        const wchar_t* Text;
        bool Enabled;
    } expected[] = {
        {L"rbInstall", 46, 96, 518, L"Install the Zorvex to this computer", true},
        {L"lb_installOptions", 76, 120, -1, L"Install options:", true},
        {L"cbDesktopLink", 76, 138, 300, L"Create desktop icon", true},
        {L"cbTaskbarPin", 76, 168, 300, L"Pin to taskbar", true},
        {L"cbRunAfterInstall", 76, 198, 300, L"Run Zorvex after installation", true},
        {L"rbDownload", 46, 240, 518, L"Download the Zorvex for installation on a separate computer", true},
        {L"lb_donwloadPath", 76, 264, -1, L"Donwload path:", true},
        {L"eLocalPath", 76, 282, 400, nullptr, false},
        {L"btnBrowsePath", 482, 280, 75, L"Browse...", false},
    };
    for (auto& e : expected) {
        SCOPED_TRACE(e.Name);
        auto* c = Find<TWinControl>(*w, e.Name);
        RECT r = ClientBounds(c);
        EXPECT_EQ(r.left, e.Left);
        EXPECT_EQ(r.top, e.Top);
        if (e.Width > 0) {
            EXPECT_EQ(r.right - r.left, e.Width);
        } else {
            EXPECT_GT(r.right - r.left, 40); // sized to its text
        }
        if (e.Text) {
            EXPECT_EQ(c->Caption(), e.Text);
        }
        EXPECT_EQ(ShownEnabled(c), e.Enabled);
        EXPECT_TRUE(IsWindowVisible(c->Handle()));
    }
    EXPECT_TRUE(ShownChecked(Find<TRadioButton>(*w, L"rbInstall")));
    EXPECT_FALSE(ShownChecked(Find<TRadioButton>(*w, L"rbDownload")));
    EXPECT_FALSE(ShownChecked(Find<TCheckBox>(*w, L"cbDesktopLink")));
    EXPECT_FALSE(ShownChecked(Find<TCheckBox>(*w, L"cbTaskbarPin")));
    EXPECT_TRUE(ShownChecked(Find<TCheckBox>(*w, L"cbRunAfterInstall")));
    auto* path = Find<TEdit>(*w, L"eLocalPath");
    EXPECT_EQ(path->Text(), TApplicationHelper::GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY));
    EXPECT_EQ(path->Text().back(), L'\\');
    EXPECT_TRUE(path->ReadOnly());
    EXPECT_TRUE(GetWindowLongW(path->Handle(), GWL_STYLE) & ES_READONLY);
}

TEST_F(ChoicePage, SwitchingTheChoiceKeepsTheTicks) {
    auto w = Make();
    w->page_FirstChoose(false);
    auto* desktop = Find<TCheckBox>(*w, L"cbDesktopLink");
    auto* run = Find<TCheckBox>(*w, L"cbRunAfterInstall");
    UserClick(desktop);
    UserClick(run);
    UserClick(Find<TRadioButton>(*w, L"rbDownload"));
    EXPECT_FALSE(ShownChecked(Find<TRadioButton>(*w, L"rbInstall")));
    for (const wchar_t* name : {L"cbDesktopLink", L"cbTaskbarPin", L"cbRunAfterInstall"})
        EXPECT_FALSE(ShownEnabled(Find<TCheckBox>(*w, name))) << name;
    EXPECT_TRUE(ShownEnabled(Find<TEdit>(*w, L"eLocalPath")));
    EXPECT_TRUE(ShownEnabled(Find<TButton>(*w, L"btnBrowsePath")));
    EXPECT_TRUE(ShownChecked(desktop)); // disabled, still ticked

    UserClick(Find<TRadioButton>(*w, L"rbInstall"));
    EXPECT_TRUE(ShownEnabled(desktop));
    EXPECT_FALSE(ShownEnabled(Find<TEdit>(*w, L"eLocalPath")));
    EXPECT_FALSE(ShownEnabled(Find<TButton>(*w, L"btnBrowsePath")));
    TInstallationOptions options{false, true, true};
    w->ReadInstallOptions(options);
    EXPECT_TRUE(options.CreateDesktopIcon);
    EXPECT_FALSE(options.PinInTaskBar);
    EXPECT_FALSE(options.RunAfterInstall);

    // Next on the download choice hands over the local installation without a question.
    UserClick(Find<TRadioButton>(*w, L"rbDownload"));
    PressNext(*w, 0);
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"MakeInstallNow");
}

TEST_F(ChoicePage, TheSizeQuestionDecidesTheInstallation) {
    PutFile(L"system.xml", "<?xml version=\"1.0\"?><zrx><version>10</version><size>12.4</size></zrx>");
    auto w = Make();
    w->page_FirstChoose(false);
    std::wstring texts;
    PressNext(*w, IDNO, &texts);
    EXPECT_NE(texts.find(L"Zorvex instalation - Confirm downloading"), std::wstring::npos) << texts;
    EXPECT_NE(texts.find(L"Download size: 12.4 Mb\r\nDo you want to continue?"), std::wstring::npos) << texts;
    // No keeps the page with its choices.
    EXPECT_FALSE(PageDone);
    EXPECT_EQ(PageChoice, L"");
    EXPECT_TRUE(IsWindowVisible(Find<TRadioButton>(*w, L"rbInstall")->Handle()));

    PressNext(*w, IDYES);
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"CustomizedInstall");

    // A manifest without a size asks about 7.1.
    PutFile(L"system.xml", "<zrx><version>10</version></zrx>");
    PageDone = false;
    PressNext(*w, IDYES, &texts);
    EXPECT_NE(texts.find(L"Download size: 7.1 Mb"), std::wstring::npos) << texts;
    EXPECT_TRUE(PageDone);
}

// However many nodes it packs per byte, a well-formed manifest within the size of a small download is read.
TEST_F(ChoicePage, AManifestOfManyTinyElementsIsRead) {
    std::string tiny = "<zrx><size>3</size>";
    for (int i = 0; i < 1 << 20; ++i) tiny += "<a/>";
    PutFile(L"system.xml", tiny + "</zrx>");
    auto w = Make();
    w->page_FirstChoose(false);
    std::wstring texts;
    PressNext(*w, IDNO, &texts);
    EXPECT_NE(texts.find(L"Download size: 3 Mb"), std::wstring::npos) << texts;
    EXPECT_FALSE(PageDone);
}

// A size of any length makes a question of a few words: the box keeps its buttons on the screen.
TEST_F(ChoicePage, TheSizeQuestionShowsAtMostThirtyTwoCharactersOfTheSize) {
    PutFile(L"system.xml", "<zrx><size>" + std::string(100000, '9') + "</size></zrx>");
    auto w = Make();
    w->page_FirstChoose(false);
    std::wstring texts;
    PressNext(*w, IDYES, &texts);
    EXPECT_NE(texts.find(L"Download size: " + std::wstring(32, L'9') + L" Mb\r\n"), std::wstring::npos)
        << texts.substr(0, 200);
    EXPECT_LT(texts.size(), 200u);
    EXPECT_TRUE(PageDone);

    EXPECT_EQ(TMainWindow::SizeText(L"7.1"), L"7.1");
    EXPECT_EQ(TMainWindow::SizeText(std::wstring(32, L'x')), std::wstring(32, L'x'));
    EXPECT_EQ(TMainWindow::SizeText(std::wstring(33, L'x')), std::wstring(32, L'x'));
    // A character beyond 16 bits is kept whole or left out whole.
    const std::wstring clef = L"\xD834\xDD1E";
    EXPECT_EQ(TMainWindow::SizeText(std::wstring(31, L'1') + clef), std::wstring(31, L'1'));
    EXPECT_EQ(TMainWindow::SizeText(std::wstring(30, L'1') + clef + L"2"), std::wstring(30, L'1') + clef);
}

TEST_F(ChoicePage, AMissingManifestEndsTheSetup) {
    auto w = Make();
    w->page_FirstChoose(false);
    std::wstring texts;
    PressNext(*w, IDOK, &texts);
    EXPECT_NE(texts.find(L"Zorvex instalation"), std::wstring::npos) << texts;
    EXPECT_NE(texts.find(L"Setup files are corrupt or missing, please restart installation again.\r\n"
                         L"If the problem persists, dowload the Setup program from the Zorvex site.\r\n" +
                         std::wstring(ZrxServers::ProductSite)),
              std::wstring::npos)
        << texts;
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"Terminate");
}

// A manifest that cannot be parsed is a missing one.
TEST_F(ChoicePage, AManifestThatCannotBeReadEndsTheSetupAsAMissingOne) {
    for (const std::string& broken :
         {std::string("<zrx><size>3</size></zr>"), std::string("\xFF\x00\x01<", 4)}) {
        PutFile(L"system.xml", broken);
        PageDone = false;
        auto w = Make();
        w->page_FirstChoose(false);
        std::wstring texts;
        PressNext(*w, IDOK, &texts);
        EXPECT_NE(texts.find(L"Setup files are corrupt or missing"), std::wstring::npos) << texts;
        EXPECT_TRUE(PageDone);
        EXPECT_EQ(PageChoice, L"Terminate");
    }
}

TEST_F(ChoicePage, LocalModeOffersNoDownloadAndAsksNothing) {
    Source->RealSource = stLocal;
    auto w = Make();
    w->page_FirstChoose(true);
    EXPECT_FALSE(ShownEnabled(Find<TRadioButton>(*w, L"rbDownload")));
    PressNext(*w, 0);
    EXPECT_TRUE(PageDone);
    EXPECT_EQ(PageChoice, L"CustomizedInstall");
}

TEST_F(ChoicePage, TheRussianWindowKeepsAnEnglishNext) {
    UILanguage = L"ru_RU";
    auto w = Make();
    w->page_FirstChoose(false);
    EXPECT_EQ(w->btnNext->Caption(), L"Next");
    EXPECT_EQ(w->lbTitle->Caption(), L"Выберите вариант установки");
    EXPECT_EQ(Find<TButton>(*w, L"btnBrowsePath")->Caption(), L"Обзор...");
}

TEST_F(ChoicePage, TheFolderDialogSetsThePathAndNextFollowsTheFolder) {
    const std::wstring out = L"C:\\ZrxPagesOut", gone = L"C:\\ZrxPagesGone";
    ForceDirectories(out + L"\\");
    auto w = Make();
    w->page_FirstChoose(false);
    UserClick(Find<TRadioButton>(*w, L"rbDownload"));
    auto* path = Find<TEdit>(*w, L"eLocalPath");
    auto* browse = Find<TButton>(*w, L"btnBrowsePath");

    // Chosen: the path shows it with a backslash, and Next is enabled.
    w->btnNext->SetEnabled(false);
    {
        TDialogDriver user(IDOK, [&](HWND Dialog) { Choose(out, Dialog); });
        browse->OnClick(browse);
        ASSERT_TRUE(user.Finish());
        EXPECT_NE(user.Texts().find(L"Select the location to download:"), std::wstring::npos) << user.Texts();
    }
    EXPECT_EQ(path->Text(), out + L"\\");
    EXPECT_TRUE(ShownEnabled(w->btnNext));

    // Cancelled: the path stays, and Next follows whether it still exists.
    {
        TDialogDriver user(IDCANCEL, [&](HWND Dialog) { Choose(L"C:\\windows", Dialog); });
        browse->OnClick(browse);
        ASSERT_TRUE(user.Finish());
    }
    EXPECT_EQ(path->Text(), out + L"\\");
    EXPECT_TRUE(ShownEnabled(w->btnNext));

    // A folder that vanishes while the dialog is open disables Next.
    ForceDirectories(gone + L"\\");
    {
        TDialogDriver user(IDOK, [&](HWND Dialog) {
            Choose(gone, Dialog);
            RemoveDirectoryW(gone.c_str());
        });
        browse->OnClick(browse);
        ASSERT_TRUE(user.Finish());
    }
    EXPECT_EQ(path->Text(), gone + L"\\");
    EXPECT_FALSE(ShownEnabled(w->btnNext));

    // Next takes whatever the path shows; the engine reads it from the page.
    w->btnNext->SetEnabled(true);
    PressNext(*w, 0);
    EXPECT_EQ(PageChoice, L"MakeInstallNow");
    TDirectory::Delete(out + L"\\", true);
}
