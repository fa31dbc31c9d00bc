#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>

#include "TestSupport.h"
#include "app/core/System.Application.Extended.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"
#include "runtime/gui/Forms.h"

namespace {
const wchar_t* const MemoryKey = L"Software\\Shell\\app_tests.exe\\BrowseForFolder\\";

// The remembered folder of a dialog id; "<none>" when the key or value is missing.
std::wstring Remembered(const std::wstring& DialogId) {
    wchar_t data[MAX_PATH * 2] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, MemoryKey, DialogId.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return L"<none>";
    return data;
}

// Chooses Folder in the open folder dialog, as a click in its tree would, then presses OK.
void Choose(const std::wstring& Folder, HWND Dialog) {
    SendMessageW(Dialog, BFFM_SETSELECTIONW, TRUE, (LPARAM)Folder.c_str());
    Sleep(200);
}
} // namespace

TEST(ApplicationHelper, TemporaryAndWorkingFolders) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(TApplicationHelper::GetSystemTempPath(), temp);
    EXPECT_EQ(TApplicationHelper::GetTempDir(false), temp);

    Application->SetTitle(L"Zorvex Setup [BETA]");
    const std::wstring work = std::wstring(temp) + L"Zorvex Setup [BETA]\\";
    TDirectory::Delete(work, true);
    EXPECT_EQ(TApplicationHelper::GetTempDir(true), work);
    EXPECT_TRUE(DirectoryExists(work));
    // Created again on every call.
    RemoveDir(work);
    EXPECT_EQ(TApplicationHelper::GetTempDir(true), work);
    EXPECT_TRUE(DirectoryExists(work));
    TDirectory::Delete(work, true);
}

TEST(ApplicationHelper, ProgramAndSpecialFolders) {
    const std::wstring exe = Application->ExeName();
    EXPECT_EQ(TApplicationHelper::GetExeDir(), exe.substr(0, exe.rfind(L'\\') + 1));
    const std::wstring appData = TApplicationHelper::GetSpecialFolderPath(CSIDL_APPDATA);
    EXPECT_TRUE(DirectoryExists(appData)) << appData;
    EXPECT_EQ(appData.back(), L'\\');
    EXPECT_EQ(TApplicationHelper::GetSpecialFolderPath(0x7F), L"\\");
}

TEST(ApplicationHelper, AskYesNoIsTrueForYesOnly) {
    TDialogDriver yes(IDYES);
    EXPECT_TRUE(TApplicationHelper::AskYesNo(nullptr, L"Zorvex instalation - Confirm downloading",
                                             L"Download size: 7.1 Mb", MB_ICONQUESTION));
    ASSERT_TRUE(yes.Finish());
    EXPECT_NE(yes.Texts().find(L"Zorvex instalation - Confirm downloading"), std::wstring::npos);
    EXPECT_NE(yes.Texts().find(L"Download size: 7.1 Mb"), std::wstring::npos);

    TDialogDriver no(IDNO);
    EXPECT_FALSE(TApplicationHelper::AskYesNo(nullptr, L"Caption", L"Text", MB_ICONQUESTION));
    EXPECT_TRUE(no.Finish());
}

TEST(ApplicationHelper, MessageBoxShowsCaptionAndText) {
    TDialogDriver ok(IDOK);
    TApplicationHelper::MessageBox(nullptr, L"Zorvex - setup", L"You can't use BETA setup in local mode.",
                                   MB_OK);
    ASSERT_TRUE(ok.Finish());
    EXPECT_NE(ok.Texts().find(L"Zorvex - setup"), std::wstring::npos);
    EXPECT_NE(ok.Texts().find(L"You can't use BETA setup in local mode."), std::wstring::npos);
}

// Dialogs given no owner belong to the application's window, so that they stay in front of the wizard.
TEST(ApplicationHelper, DISABLED_DialogsWithoutAnOwnerBelongToTheMainForm) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->Show();
    HWND owner = nullptr;
    auto ownerOf = [&](HWND Dialog) { owner = GetWindow(Dialog, GW_OWNER); };
    {
        TDialogDriver user(IDOK, ownerOf);
        TApplicationHelper::MessageBox(nullptr, L"Caption", L"Text", MB_OK);
        EXPECT_TRUE(user.Finish());
        EXPECT_EQ(owner, form->Handle());
    }
    {
        owner = nullptr;
        TDialogDriver user(IDYES, ownerOf);
        EXPECT_TRUE(TApplicationHelper::AskYesNo(nullptr, L"Caption", L"Text", MB_ICONQUESTION));
        EXPECT_TRUE(user.Finish());
        EXPECT_EQ(owner, form->Handle());
    }
    {
        owner = nullptr;
        std::wstring folder;
        TDialogDriver user(IDCANCEL, ownerOf);
        EXPECT_FALSE(TApplicationHelper::BrowseForFolder(L"Title", folder, L"", L"owner-test", nullptr));
        EXPECT_TRUE(user.Finish());
        EXPECT_EQ(owner, form->Handle());
    }
    Application->DestroyComponents();
}

TEST(ApplicationHelper, DialogsWithoutAnOwnerBelongToTheMainForm) {
    EXPECT_TRUE(RunTestInChild(L"ApplicationHelper.DISABLED_DialogsWithoutAnOwnerBelongToTheMainForm"));
}

TEST(BrowseForFolder, RemembersTheLastFolderAndOpensOnIt) {
    RegDeleteTreeW(HKEY_CURRENT_USER, MemoryKey);
    const std::wstring outNoSlash = L"C:\\ZrxOut", out = outNoSlash + L"\\";
    ForceDirectories(out);

    std::wstring folder = L"stale";
    {
        TDialogDriver user(IDOK, [&](HWND Dialog) { Choose(outNoSlash, Dialog); });
        EXPECT_TRUE(TApplicationHelper::BrowseForFolder(L"Select the location to download:", folder, L"", L"",
                                                        nullptr));
        ASSERT_TRUE(user.Finish());
        EXPECT_NE(user.Texts().find(L"Select the location to download:"), std::wstring::npos);
    }
    EXPECT_EQ(folder, out);
    EXPECT_EQ(Remembered(L""), outNoSlash);

    // A second dialog opens on that folder: OK alone gives it again.
    {
        TDialogDriver user(IDOK);
        EXPECT_TRUE(TApplicationHelper::BrowseForFolder(L"Again", folder, L"", L"", nullptr));
        ASSERT_TRUE(user.Finish());
    }
    EXPECT_EQ(folder, out);

    // The drive root keeps its one backslash, in the result and in the registry; other ids have their own
    // value.
    {
        TDialogDriver user(IDOK, [&](HWND Dialog) { Choose(L"C:\\", Dialog); });
        EXPECT_TRUE(TApplicationHelper::BrowseForFolder(L"Root", folder, L"", L"second", nullptr));
        ASSERT_TRUE(user.Finish());
    }
    EXPECT_EQ(folder, L"C:\\");
    EXPECT_EQ(Remembered(L"second"), L"C:\\");
    EXPECT_EQ(Remembered(L""), outNoSlash);
    TDirectory::Delete(out, true);
}

TEST(BrowseForFolder, ACancelledDialogWritesNothing) {
    RegDeleteTreeW(HKEY_CURRENT_USER, MemoryKey);
    std::wstring folder = L"stale";
    {
        TDialogDriver user(IDCANCEL, [&](HWND Dialog) { Choose(L"C:\\windows", Dialog); });
        EXPECT_FALSE(TApplicationHelper::BrowseForFolder(L"Cancel me", folder, L"", L"", nullptr));
        ASSERT_TRUE(user.Finish());
    }
    EXPECT_EQ(folder, L"");
    HKEY key;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, MemoryKey, 0, KEY_READ, &key), ERROR_SUCCESS);
}
