#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/core/System.Application.Extended.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"

namespace {
// What one process of the probe reported: "start.mode", "end.workExists", ...
using TReport = std::map<std::wstring, std::wstring>;

TReport ParseReport(const std::wstring& Text) {
    TReport report;
    size_t at = 0;
    while (at < Text.size()) {
        size_t eol = Text.find(L'\n', at);
        if (eol == std::wstring::npos) eol = Text.size();
        std::wstring line = Text.substr(at, eol - at);
        at = eol + 1;
        size_t tab = line.find(L'\t');
        const std::wstring phase = line.substr(0, tab);
        report[phase] = L"yes";
        while (tab != std::wstring::npos) {
            size_t next = line.find(L'\t', tab + 1);
            std::wstring field =
                line.substr(tab + 1, next == std::wstring::npos ? std::wstring::npos : next - tab - 1);
            size_t eq = field.find(L'=');
            report[phase + L"." + field.substr(0, eq)] = field.substr(eq + 1);
            tab = next;
        }
    }
    return report;
}

class RunModes : public testing::Test {
protected:
    void SetUp() override {
        Bin = MakeScratchFolder(L"modes-bin");
        Temp = MakeScratchFolder(L"modes-temp");
        Reports = MakeScratchFolder(L"modes-reports");
    }

    // Runs a copy of the probe named Name with Args, with a temporary folder of its own.
    TProcessResult Run(const std::wstring& Name, const std::wstring& Args) {
        TFile::Copy(TApplicationHelper::GetExeDir() + L"ZorvexSetupProbe.exe", Bin + Name, true);
        return RunProcess(L"\"" + Bin + Name + L"\" " + Args,
                          {{L"TMP", Temp}, {L"TEMP", Temp}, {L"ZRX_PROBE_DIR", Reports}});
    }

    TReport Report(const std::wstring& Name) { return ParseReport(ReadTextFile(Reports + Name + L".txt")); }

    // The report of a process that someone else started: waits until it has ended.
    TReport AwaitReport(const std::wstring& Name) {
        for (int i = 0; i < 600; ++i) {
            TReport r = Report(Name);
            if (r.count(L"end")) return r;
            Sleep(50);
        }
        return Report(Name);
    }

    std::wstring Bin, Temp, Reports;
};
} // namespace

TEST_F(RunModes, APlainStartInstallsFromTheMainStream) {
    TProcessResult r = Run(L"ZorvexSetup.exe", L"");
    EXPECT_EQ(r.ExitCode, 0u);
    TReport report = Report(L"ZorvexSetup.exe");
    EXPECT_EQ(report[L"start.mode"], L"0");
    EXPECT_EQ(report[L"start.beta"], L"0");
    EXPECT_EQ(report[L"start.title"], L"Zorvex Setup");
    EXPECT_EQ(report[L"start.work"], Temp + L"Zorvex Setup\\");
    EXPECT_EQ(report[L"start.lang"], L"en_GB");
}

TEST_F(RunModes, OnlyAnExactBetaValueSelectsTheBetaStream) {
    for (const wchar_t* args : {L"-stream:beta", L"/STREAM:beta"}) {
        RemoveFile(Reports + L"ZorvexSetup.exe.txt");
        Run(L"ZorvexSetup.exe", args);
        TReport report = Report(L"ZorvexSetup.exe");
        EXPECT_EQ(report[L"start.beta"], L"1") << args;
        EXPECT_EQ(report[L"start.title"], L"Zorvex Setup [BETA]") << args;
        EXPECT_EQ(report[L"start.work"], Temp + L"Zorvex Setup [BETA]\\") << args;
        EXPECT_EQ(report[L"start.mode"], L"0") << args;
    }
    for (const wchar_t* args : {L"-stream:Beta", L"-stream=beta", L"stream:beta", L"-stream:beta2"}) {
        RemoveFile(Reports + L"ZorvexSetup.exe.txt");
        Run(L"ZorvexSetup.exe", args);
        TReport report = Report(L"ZorvexSetup.exe");
        EXPECT_EQ(report[L"start.beta"], L"0") << args;
        EXPECT_EQ(report[L"start.title"], L"Zorvex Setup") << args;
    }
}

TEST_F(RunModes, UninstallNowWinsOverUninstall) {
    for (const wchar_t* args :
         {L"-uninstall -uninstallnow", L"/UNINSTALLNOW", L"-stream:beta /uninstallNow=1"}) {
        RemoveFile(Reports + L"Setup.exe.txt");
        TProcessResult r = Run(L"Setup.exe", args);
        EXPECT_EQ(r.ExitCode, 0u);
        EXPECT_EQ(Report(L"Setup.exe")[L"start.mode"], L"2") << args;
    }
    EXPECT_FALSE(FileExists(Temp + L"zrx-uninstall.exe"));
}

TEST_F(RunModes, ModeOneCopiesTheProgramAndStartsTheCopyToUninstallNow) {
    struct TCase {
        const wchar_t *Name, *Args;
    };
    for (TCase c : {TCase{L"MyUninstaller.exe", L""}, TCase{L"ZorvexSetup.exe", L"-uninstall=yes"},
                    TCase{L"uninstall.exe", L"-stream:beta"}}) {
        SCOPED_TRACE(std::wstring(c.Name) + L" " + c.Args);
        RemoveFile(Reports + L"zrx-uninstall.exe.txt");
        RemoveFile(Temp + L"zrx-uninstall.exe");
        TProcessResult r = Run(c.Name, c.Args);
        EXPECT_EQ(r.ExitCode, 0u);
        TReport first = Report(c.Name);
        EXPECT_EQ(first[L"start.mode"], L"1");
        // It ends without a window, after deleting the working folder it has just made.
        EXPECT_EQ(first[L"end.workExists"], L"0");
        EXPECT_EQ(first[L"end.windows"], L"0");

        TReport copy = AwaitReport(L"zrx-uninstall.exe");
        ASSERT_EQ(copy[L"start.mode"], L"2");
        EXPECT_EQ(copy[L"start.exe"], Temp + L"zrx-uninstall.exe");
        EXPECT_NE(copy[L"start.cmd"].find(L"-uninstallnow"), std::wstring::npos);
        // The stream switch is not passed on.
        EXPECT_EQ(copy[L"start.beta"], L"0");
        // The copy stays in the temporary folder.
        EXPECT_TRUE(FileExists(Temp + L"zrx-uninstall.exe"));
    }
}

// Wine takes the system language from the locale that the test program runs under; the test list runs this
// under several, naming the window language expected in ZRX_EXPECT_UILANGUAGE.
TEST_F(RunModes, TheWindowLanguageFollowsTheSystemLanguage) {
    wchar_t expected[16] = {};
    if (!GetEnvironmentVariableW(L"ZRX_EXPECT_UILANGUAGE", expected, 16)) GTEST_SKIP() << "no locale named";
    Run(L"ZorvexSetup.exe", L"");
    EXPECT_EQ(Report(L"ZorvexSetup.exe")[L"start.lang"], expected);
}

TEST_F(RunModes, AnErrorThatEscapesIsShownAndEndsWithExitCodeOne) {
    // An earlier copy still running holds the target, so the copy fails.
    HANDLE held = CreateFileW((Temp + L"zrx-uninstall.exe").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TDialogDriver user(IDOK, {}, true);
    TProcessResult r = Run(L"ZorvexSetup.exe", L"-uninstall");
    CloseHandle(held);
    ASSERT_TRUE(user.Finish());
    EXPECT_EQ(r.ExitCode, 1u);
    EXPECT_NE(user.Texts().find(L"ZorvexSetup.exe"), std::wstring::npos) << user.Texts();
    EXPECT_NE(user.Texts().find(L"Exception"), std::wstring::npos) << user.Texts();
    TReport report = Report(L"ZorvexSetup.exe");
    EXPECT_EQ(report[L"start.mode"], L"1");
    EXPECT_EQ(report.count(L"end"), 0u);
    // The working folder is left behind.
    EXPECT_TRUE(DirectoryExists(Temp + L"Zorvex Setup\\"));
}

// Without a usable temporary folder the working folder would be a relative path, and the end of the run would
// delete a folder of that name wherever the program stands.
TEST_F(RunModes, NoUsableTemporaryFolderStopsWithAClearErrorAndDeletesNothing) {
    const std::wstring bystander = L"Zorvex Setup\\";
    ForceDirectories(bystander);
    CloseHandle(
        CreateFileW((bystander + L"keep.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::wstring tooLong = Temp + std::wstring(300, L'x') + L"\\";
    TFile::Copy(TApplicationHelper::GetExeDir() + L"ZorvexSetupProbe.exe", Bin + L"uninstall.exe", true);
    TDialogDriver user(IDOK, {}, true);
    TProcessResult r = RunProcess(L"\"" + Bin + L"uninstall.exe\"",
                                  {{L"TMP", tooLong}, {L"TEMP", tooLong}, {L"ZRX_PROBE_DIR", Reports}});
    EXPECT_TRUE(user.Finish());
    EXPECT_EQ(r.ExitCode, 1u);
    EXPECT_NE(user.Texts().find(L"temporary folder"), std::wstring::npos) << user.Texts();
    EXPECT_TRUE(FileExists(bystander + L"keep.txt"));
    EXPECT_FALSE(FileExists(L"zrx-uninstall.exe"));
    TDirectory::Delete(bystander, true);
}

TEST_F(RunModes, AWorkingFolderThatCannotBeDeletedIsLeftWithoutAnError) {
    ForceDirectories(Temp + L"Zorvex Setup");
    HANDLE held = CreateFileW((Temp + L"Zorvex Setup\\zrxsetup.zip").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TProcessResult r = Run(L"uninstall.exe", L"");
    CloseHandle(held);
    EXPECT_EQ(r.ExitCode, 0u);
    TReport report = Report(L"uninstall.exe");
    EXPECT_EQ(report[L"end.workExists"], L"1");
    AwaitReport(L"zrx-uninstall.exe");
}

namespace {
struct FindWindowOf {
    HWND Found = nullptr;
};

BOOL CALLBACK FindSetupWindow(HWND Wnd, LPARAM Param) {
    auto* find = (FindWindowOf*)Param;
    DWORD pid = 0;
    GetWindowThreadProcessId(Wnd, &pid);
    wchar_t cls[32];
    if (IsWindowVisible(Wnd) && GetClassNameW(Wnd, cls, 32) && wcscmp(cls, L"ZrxWindow") == 0 &&
        IsChildProcess(pid)) {
        find->Found = Wnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

// The real program in mode 2 shows its window; closing it ends the process normally, and the working folder
// named after the title goes with it.
TEST_F(RunModes, TheRealProgramShowsItsWindowAndCleansUpWhenItIsClosed) {
    TFile::Copy(TApplicationHelper::GetExeDir() + L"..\\..\\app\\ZorvexSetup.exe", Bin + L"ZorvexSetup.exe",
                true);
    ForceDirectories(Temp + L"Zorvex Setup [BETA]");
    ForceDirectories(Temp + L"Zorvex Setup");
    CloseHandle(CreateFileW((Temp + L"Zorvex Setup [BETA]\\Langs.xml").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
    std::wstring caption;
    std::thread user([&] {
        FindWindowOf find;
        for (int i = 0; i < 600 && !find.Found; ++i) {
            Sleep(50);
            EnumWindows(FindSetupWindow, (LPARAM)&find);
        }
        if (!find.Found) return;
        Sleep(300);
        wchar_t text[256] = {};
        GetWindowTextW(find.Found, text, 256);
        caption = text;
        PostMessageW(find.Found, WM_CLOSE, 0, 0);
    });
    TProcessResult r = RunProcess(L"\"" + Bin + L"ZorvexSetup.exe\" -uninstallnow -stream:beta",
                                  {{L"TMP", Temp}, {L"TEMP", Temp}});
    user.join();
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(r.ExitCode, 0u);
    EXPECT_NE(caption, L"");
    EXPECT_FALSE(DirectoryExists(Temp + L"Zorvex Setup [BETA]"));
    EXPECT_TRUE(DirectoryExists(Temp + L"Zorvex Setup"));
}

// An error that escapes the run while the window is up (here: no usable temporary folder for the working
// folder): the window goes before the error box, so the box is all there is to close, and closing it ends
// the process. Before, the box stood beside a window that it had disabled and that could not be closed.
TEST_F(RunModes, AnErrorThatEscapesTheWindowLeavesOnlyItsBoxToClose) {
    TFile::Copy(TApplicationHelper::GetExeDir() + L"..\\..\\app\\ZorvexSetup.exe", Bin + L"ZorvexSetup.exe",
                true);
    const std::wstring tooLong = Temp + std::wstring(300, L'x') + L"\\";
    bool windowBesideTheBox = true;
    TDialogDriver user(
        IDOK,
        [&](HWND) {
            FindWindowOf find;
            EnumWindows(FindSetupWindow, (LPARAM)&find);
            windowBesideTheBox = find.Found != nullptr;
        },
        true);
    TProcessResult r =
        RunProcess(L"\"" + Bin + L"ZorvexSetup.exe\"", {{L"TMP", tooLong}, {L"TEMP", tooLong}});
    ASSERT_TRUE(user.Finish());
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(r.ExitCode, 1u);
    EXPECT_NE(user.Texts().find(L"temporary folder"), std::wstring::npos) << user.Texts();
    EXPECT_FALSE(windowBesideTheBox);
}

namespace {
// The switch probe's answers for Names, run with Args.
std::string Switches(const std::wstring& Names, const std::wstring& Args) {
    std::string out =
        RunProcess(L"\"" + TApplicationHelper::GetExeDir() + L"switch_probe.exe\" " + Names + L" " + Args)
            .Output;
    std::erase(out, '\r');
    return out;
}
} // namespace

TEST(Switches, NamesValuesAndTheFirstMatch) {
    EXPECT_EQ(Switches(L"stream", L"-x stream:beta -STREAM:beta"), "stream has=0 value=1:beta\n");
    EXPECT_EQ(Switches(L"stream", L"-stream:a -stream:b"), "stream has=0 value=1:a\n");
    EXPECT_EQ(Switches(L"stream", L"-stream:a:b"), "stream has=0 value=1:a:b\n");
    EXPECT_EQ(Switches(L"stream", L"/Stream"), "stream has=1 value=1:\n");
    EXPECT_EQ(Switches(L"stream", L""), "stream has=0 value=0:\n");
    EXPECT_EQ(Switches(L"stream", L"\"\" \"-stream:two words\""), "stream has=0 value=1:two words\n");
    EXPECT_EQ(Switches(L"uninstall,uninstallnow", L"-uninstall=x:y"),
              "uninstall has=1 value=0:\nuninstallnow has=0 value=0:\n");
    EXPECT_EQ(Switches(L"uninstall", L"/UnInstall"), "uninstall has=1 value=1:\n");
    EXPECT_EQ(Switches(L"uninstall", L"-uninstall:1"), "uninstall has=0 value=1:1\n");
    EXPECT_EQ(Switches(L"uninstall", L"-uninstallnow"), "uninstall has=0 value=0:\n");
}
