// The setup's one window: a fixed white form on which each wizard page is drawn in turn. It holds the page
// frame (logo, title, action button), the beta mark, the network indicator and the pages every road shares.
#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/core/Setup.Core.h"
#include "net/Setup.Network.h"
#include "runtime/StringLists.h"
#include "runtime/SysUtils.h"
#include "runtime/gui/ExtCtrls.h"
#include "runtime/gui/Forms.h"
#include "runtime/gui/StdCtrls.h"

class TVirtualStringList;
class TSource;
class TListBox;

class TMainWindow : public TForm {
    ZRX_CLASS(TMainWindow, TForm)
public:
    explicit TMainWindow(TComponent* AOwner);

    // Texts of the pages by index, filled from the language file.
    TVirtualStringList* InstallStrings = nullptr;
    TVirtualStringList* UninstallStrings = nullptr;
    TVirtualStringList* Shortcuts = nullptr;
    TImage* appLogo = nullptr;
    TImage* NetWork = nullptr;
    TButton* btnNext = nullptr;
    TLabel* lbTitle = nullptr;
    // The download source, lent by the installation engine while it runs; not owned.
    TSource* Source = nullptr;

    void FormCreate(TObject* Sender);
    void FormPaint(TObject* Sender);
    void ControlNetworkImage(bool BVisible);
    // Hides every control of the window (they stay, hidden, until the program ends).
    void HidePage();
    // LogoMode 0: no logo; 1: at the top centre; 2: small at the top left. An empty caption or title hides
    // the button or the title.
    void ShowPageFrame(int LogoMode, const std::wstring& ButtonCaption, const std::wstring& Title);
    void page_Prepare();
    void page_NoInternet();
    void page_final(bool IsSuccessfully);

    // Progress pages: each returns the three download callbacks, which run on the main thread.
    void page_Install(TProgressProc& onWorkBegin, TProgressProc& onWork, TProgressEndProc& onWorkEnd);
    // Turns the choice page into the local-installation progress page; the result is the target folder.
    std::wstring page_MakeLocalInstallation2(TProgressProc& onWorkBegin, TProgressProc& onWork,
                                             TProgressEndProc& onWorkEnd);
    void page_MakeLocalInstallation3();

    // Language and licence pages.
    void page_SelectLang();
    void FillLanguageList(TListBox* Box);
    // The languages the list file offers, in order: id and language id (LCID). Empty when the file is
    // missing, cannot be parsed or offers none.
    static std::vector<std::pair<std::wstring, uint32_t>> ReadLanguageList(const std::wstring& FileName);
    void LangRadioClick(TObject* Sender);
    void SelectLangNextClick(TObject* Sender);
    void page_EULA();
    void AcceptEULAClick(TObject* Sender);
    void EULANextClick(TObject* Sender);

    // Choice page and install confirmation.
    void page_FirstChoose(bool bIsLocalInstallation);
    void ChoiceRadioClick(TObject* Sender);
    void BrowsePathClick(TObject* Sender);
    void FirstChooseNextClick(TObject* Sender);
    void ConfirmInstallClick(TObject* Sender);
    void MakeInstallNowClick(TObject* Sender);
    void ReadInstallOptions(TInstallationOptions& Options);

    // Uninstall pages.
    void page_UninstallFirstPage(bool bCanUninstall, bool bShowBetaButton);
    void page_UninstallProgress();
    void page_UninstallDone();

    void NextClick(TObject* Sender);
    void ExitClick(TObject* Sender);
    void UninstallClick(TObject* Sender);
    void UninstallBetaClick(TObject* Sender);

    // A new control of the page, owned by and placed on the window, named Name (names are unique per window).
    template <class T> T* AddControl(const std::wstring& Name) {
        auto* control = new T(this);
        control->SetParent(this);
        control->SetName(Name);
        return control;
    }
    // The page control Name as a T; raises EComponentError when the page that makes it was never shown.
    template <class T> T* FindControl(const std::wstring& Name) const {
        if (auto* found = dynamic_cast<T*>(FindComponent(Name))) return found;
        throw EComponentError(L"Component " + Name + L" not found");
    }

    // Line Index of InstallStrings / UninstallStrings; an index the language file did not create raises.
    std::wstring IS(int Index) const;
    std::wstring US(int Index) const;
    // The same line applied as a format to Args, and the line for a message box or dialog. A language file's
    // line that Format refuses, or that is or becomes longer than MaxFormatText, gives way to the built-in
    // language's line: a box grows with its text.
    std::wstring FormatIS(int Index, std::initializer_list<TVarRec> Args) const;
    std::wstring FormatUS(int Index, std::initializer_list<TVarRec> Args) const;
    std::wstring DialogIS(int Index) const;
    // FormatIS for a line added after language files were made: a file that leaves it out (its text is then
    // its index) gives way to the built-in language's line.
    std::wstring FormatNewIS(int Index, std::initializer_list<TVarRec> Args) const;
    static constexpr size_t MaxFormatText = 4096;
    // Whether the three lists hold at least the lines of the built-in language, which the pages read.
    bool HasAllTexts() const;
    // A label's own font: Size points, ClearType natural, "Segoe UI" on Windows 6.0 or later.
    static void SetOwnLabelFont(TLabel* Label, int Size);

private:
    // The lines of the built-in language, kept when the window is made: InstallStrings, UninstallStrings
    // and Shortcuts.
    std::unique_ptr<TStringList> FBuiltIn[3];
    TVirtualStringList* TextList(int Which) const;
};

extern TMainWindow* MainWindow;

// A GIF image read from the RCDATA resource Name of the program.
std::unique_ptr<TGIFImage> LoadGifFromResource(const std::wstring& Name);
