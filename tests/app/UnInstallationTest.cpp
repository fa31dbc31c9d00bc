// The uninstaller's road on the real window, driven from a second thread as a user would, against
// installations laid out in a private profile.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestSupport.h"
#include "UninstallLayout.h"
#include "app/Setup.Application.h"
#include "app/engine/Setup.UnInstallation.h"
#include "app/ui/ui.window.main.h"
#include "runtime/Files.h"

namespace {
struct FindChild {
    std::wstring Text, Class;
    HWND Found = nullptr;
};

BOOL CALLBACK MatchChild(HWND Wnd, LPARAM Param) {
    auto* find = (FindChild*)Param;
    wchar_t text[256] = {}, cls[64] = {};
    // No message to the window's thread, which may be busy.
    InternalGetWindowText(Wnd, text, 256);
    GetClassNameW(Wnd, cls, 64);
    if (IsWindowVisible(Wnd) && (find->Text.empty() || find->Text == text) &&
        (find->Class.empty() || _wcsicmp(find->Class.c_str(), cls) == 0)) {
        find->Found = Wnd;
        return FALSE;
    }
    return TRUE;
}

// A visible child of the window with that text (and class, when given); null after the time-out.
HWND WaitForChild(const std::wstring& Text, const std::wstring& Class = L"", DWORD TimeoutMs = 30000) {
    const DWORD start = GetTickCount();
    for (;;) {
        FindChild find{Text, Class};
        EnumChildWindows(MainWindow->Handle(), MatchChild, (LPARAM)&find);
        if (find.Found || GetTickCount() - start > TimeoutMs) return find.Found;
        Sleep(20);
    }
}

using TClock = std::chrono::steady_clock;

// Clicks the visible button with that caption once it is enabled; False when none came. ClickedAt: just
// before the click.
bool ClickWhenShown(const std::wstring& Caption, TClock::time_point* ClickedAt = nullptr) {
    HWND button = WaitForChild(Caption, L"Button");
    for (int i = 0; button && !IsWindowEnabled(button) && i < 500; ++i) Sleep(20);
    if (!button || !IsWindowEnabled(button)) return false;
    // The button's own click, handled in one go by the window's thread: a click made of two mouse messages
    // is lost when another test program's window takes the focus between them.
    if (ClickedAt) *ClickedAt = TClock::now();
    PostMessageW(button, BM_CLICK, 0, 0);
    return true;
}

struct TSeen {
    bool Chose = false, Progress = false, Done = false;
    HWND Bar = nullptr; // the progress bar, seen while the removal runs
    LONG BarStyle = 0;
    TClock::time_point ChoseAt, DoneAt;
    // Milliseconds from the choice to the done page.
    long long Took() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(DoneAt - ChoseAt).count();
    }
};

class Uninstaller : public testing::Test {
protected:
    void SetUp() override {
        UILanguage = L"en_GB";
        IsBetaStream = false;
        PageChoice.clear();
        Profile = std::make_unique<TPrivateProfile>();
    }
    void TearDown() override {
        delete MainWindow;
        MainWindow = nullptr;
        Profile.reset();
    }
    // The window as run mode 2 has it (but not the main form: closing the main form would end the
    // application for the rest of this process; the real program is closed in the end-to-end scenarios).
    void MakeWindow() {
        MainWindow = new TMainWindow(nullptr);
        MainWindow->Show();
    }

    // Chooses the button Choice on the first page, watches the removal and leaves the done page with Exit.
    // Runs until the road has ended.
    TSeen Walk(const std::wstring& Choice) {
        TSeen seen;
        std::thread user([&] {
            seen.Chose = ClickWhenShown(Choice, &seen.ChoseAt);
            if (!seen.Chose) {
                // Let the run end rather than wait for ever.
                ClickWhenShown(L"Exit");
                return;
            }
            HWND bar = WaitForChild(L"", PROGRESS_CLASSW, 10000);
            seen.Bar = bar;
            if (bar) seen.BarStyle = GetWindowLongW(bar, GWL_STYLE);
            // The done page brings the button back.
            HWND exit = WaitForChild(L"Exit", L"Button");
            seen.DoneAt = TClock::now();
            if (exit) PostMessageW(exit, BM_CLICK, 0, 0);
        });
        CUnInstallation::Run();
        user.join();
        // Labels draw their own text: read the pages from the window's components once the road has ended.
        auto* progress = dynamic_cast<TLabel*>(MainWindow->FindComponent(L"lbText4"));
        seen.Progress = progress && progress->Caption() == L"Uninstalling...";
        auto* done = dynamic_cast<TLabel*>(MainWindow->FindComponent(L"lbSadText"));
        seen.Done = done && done->Visible() && done->Caption() == L"Zorvex was deleted";
        return seen;
    }

    std::unique_ptr<TPrivateProfile> Profile;
};
} // namespace

// The tool still running holds one of its files: that file stays, everything else goes.
TEST_F(Uninstaller, AFileInUseStaysAndTheRestIsRemoved) {
    LayOutInstallation(*Profile, true);
    const std::wstring install = InstallFolderOf(*Profile, true);
    HANDLE held = CreateFileW((install + L"Zorvex.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    MakeWindow();
    TSeen seen = Walk(L"Uninstall Zorvex BETA");
    CloseHandle(held);
    EXPECT_TRUE(seen.Done);
    EXPECT_TRUE(FileExists(install + L"Zorvex.exe"));
    EXPECT_FALSE(FileExists(install + L"uninstall.exe"));
    EXPECT_FALSE(DirectoryExists(install + L"data"));
    TInstalledParts parts = InstalledParts(*Profile, true);
    EXPECT_FALSE(parts.ConfigFolder);
    EXPECT_FALSE(parts.ProgramsGroup);
    EXPECT_FALSE(parts.DesktopLink);
    EXPECT_FALSE(parts.RegistryValue);
}

namespace {
// An uninstallation whose desktop step fails with an error.
class CFailingUnInstallation : public CUnInstallation {
public:
    void DeleteDesktopLink() override { throw EInOutError(L"The device is not ready"); }
};
} // namespace

TEST_F(Uninstaller, AStepThatRaisesNeitherHangsTheWaitNorSparesTheLaterSteps) {
    LayOutInstallation(*Profile, true);
    MakeWindow();
    CFailingUnInstallation engine;
    engine.IsBetaUninstall = true;
    const TClock::time_point start = TClock::now();
    engine.uninstall();
    EXPECT_GE(TClock::now() - start, std::chrono::milliseconds(2500));
    TInstalledParts parts = InstalledParts(*Profile, true);
    EXPECT_TRUE(parts.DesktopLink);
    EXPECT_FALSE(parts.RegistryValue);
    EXPECT_FALSE(parts.ProgramsGroup);
    EXPECT_FALSE(parts.InstallFolder);
    EXPECT_FALSE(parts.ConfigFolder);
}
