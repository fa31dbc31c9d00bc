// The progress pages: the install page and the two pages of a local installation.
#include "app/ui/ui.window.main.h"

#include <cstdint>
#include <memory>

#include "runtime/SysUtils.h"
#include "runtime/gui/ComCtrls.h"

namespace {

// Megabytes as the label has always shown them: single precision.
double Megabytes(int64_t Bytes) {
    return static_cast<float>(Bytes / 1024.0 / 1024.0);
}

// What the three callbacks of one progress page share. The bar counts in 32 bits, so a download beyond that
// range is counted in units of 2^Shift bytes: the bar still moves to the right and ends full, while the
// label keeps the exact byte counts.
struct TProgressRecord {
    TMainWindow* Self;
    TLabel* lbText4;
    TProgressBar* PB;
    int LabelAfterEnd;     // the InstallStrings line shown once a download has ended
    int64_t Maximum = 100; // the bar's maximum in bytes
    int Shift = 0;

    void SetMaximum(int64_t Bytes) {
        Maximum = Bytes < 0 ? 0 : Bytes;
        Shift = 0;
        while ((Maximum >> Shift) > INT32_MAX) ++Shift;
        PB->SetMax(int32_t(Maximum >> Shift));
    }
    void SetPosition(int64_t Bytes) {
        int64_t units = (Bytes < 0 ? 0 : Bytes) >> Shift;
        PB->SetPosition(int32_t(units > INT32_MAX ? INT32_MAX : units));
    }
    void ShowCount(int64_t Bytes) {
        lbText4->SetCaption(Self->FormatIS(13, {Megabytes(Bytes), Megabytes(Maximum)}));
    }

    void WorkBegin(int64_t Total) {
        PB->SetStyle(pbstNormal);
        SetPosition(0);
        SetMaximum(Total);
        ShowCount(0);
    }
    void Work(int64_t Count) {
        SetPosition(Count);
        ShowCount(Count);
    }
    void WorkEnd() {
        SetPosition(0);
        SetMaximum(100);
        PB->SetStyle(pbstMarquee);
        lbText4->SetCaption(Self->IS(LabelAfterEnd));
    }
};

// Creates the bar BarName at BarTop with the label "lbText4" just above it, and hands out the callbacks.
void MakeProgress(TMainWindow* Self, const wchar_t* BarName, int BarTop, int LabelAfterEnd,
                  TProgressProc& onWorkBegin, TProgressProc& onWork, TProgressEndProc& onWorkEnd) {
    const int width = Self->ClientWidth() - 92;
    auto* bar = Self->AddControl<TProgressBar>(BarName);
    bar->SetStyle(pbstMarquee);
    bar->SetBounds(46, BarTop, width, bar->Height());

    auto* label = Self->AddControl<TLabel>(L"lbText4");
    label->SetCaption(Self->IS(12));
    label->SetBounds(46, BarTop - (label->Height() + 2), width, label->Height());

    auto record = std::make_shared<TProgressRecord>(TProgressRecord{Self, label, bar, LabelAfterEnd});
    onWorkBegin = [record](int64_t Total) { record->WorkBegin(Total); };
    onWork = [record](int64_t Count) { record->Work(Count); };
    onWorkEnd = [record] { record->WorkEnd(); };
}

} // namespace

void TMainWindow::page_Install(TProgressProc& onWorkBegin, TProgressProc& onWork,
                               TProgressEndProc& onWorkEnd) {
    ShowPageFrame(2, L"", L"");
    MakeProgress(this, L"PB", 260, 14, onWorkBegin, onWork, onWorkEnd);
}

std::wstring TMainWindow::page_MakeLocalInstallation2(TProgressProc& onWorkBegin, TProgressProc& onWork,
                                                      TProgressEndProc& onWorkEnd) {
    btnNext->SetCaption(IS(16));
    btnNext->SetEnabled(false);
    for (const wchar_t* name :
         {L"rbInstall", L"lb_installOptions", L"cbDesktopLink", L"cbTaskbarPin", L"cbRunAfterInstall"})
        FindControl<TControl>(name)->Hide();
    auto* path = FindControl<TEdit>(L"eLocalPath");
    std::wstring folder = path->Text();
    path->SetEnabled(false);
    FindControl<TButton>(L"btnBrowsePath")->SetEnabled(false);
    MakeProgress(this, L"pbLocal", 340, 23, onWorkBegin, onWork, onWorkEnd);
    return folder;
}

void TMainWindow::page_MakeLocalInstallation3() {
    auto* bar = FindControl<TProgressBar>(L"pbLocal");
    bar->SetStyle(pbstNormal);
    // The range first, so that the full position holds whatever range the last download left.
    bar->SetMax(100);
    bar->SetPosition(100);
    auto* label = FindControl<TLabel>(L"lbText4");
    label->SetCaption(IS(34));
    label->Font()->SetStyle(FontStyle(fsBold));
    btnNext->SetCaption(IS(16));
    btnNext->SetEnabled(true);
    btnNext->OnClick = [this](TObject* Sender) { NextClick(Sender); };
}
