#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>

#include "TestSupport.h"
#include "app/core/Setup.Core.h"
#include "app/core/System.Application.Extended.h"
#include "app/Tlv.Code.Components.VirtualStringList.h"
#include "runtime/Files.h"
#include "runtime/gui/Application.h"

namespace {
std::wstring ShellFolder(int Csidl) {
    wchar_t path[MAX_PATH + 1] = {};
    SHGetSpecialFolderPathW(nullptr, path, Csidl, FALSE);
    return std::wstring(path) + L"\\";
}

struct TLinkContent {
    std::wstring Path, Arguments, Description;
};

TLinkContent ReadLink(const std::wstring& LinkFile) {
    TLinkContent content;
    TComScope
        com; // the shell's link object needs COM on this thread, which the program makes only when needed
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (FAILED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link)))
        return content;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) &&
        SUCCEEDED(file->Load(LinkFile.c_str(), STGM_READ))) {
        wchar_t text[1024] = {};
        link->GetPath(text, 1024, nullptr, 0);
        content.Path = text;
        text[0] = 0;
        link->GetArguments(text, 1024);
        content.Arguments = text;
        text[0] = 0;
        link->GetDescription(text, 1024);
        content.Description = text;
    }
    if (file) file->Release();
    link->Release();
    return content;
}
} // namespace

TEST(CreateLink, TheShellReadsBackTargetArgumentsAndDescription) {
    const std::wstring dir = MakeScratchFolder(L"links");
    const std::wstring target = dir + L"Zorvex.exe";
    TFile::Copy(Application->ExeName(), target, true);

    ASSERT_TRUE(CSetupCore::CreateLink(target, dir + L"Uninstall.lnk", L"Remove Zorvex", L"-uninstall"));
    TLinkContent link = ReadLink(dir + L"Uninstall.lnk");
    EXPECT_EQ(link.Path, target);
    EXPECT_EQ(link.Arguments, L"-uninstall");
    EXPECT_EQ(link.Description, L"Remove Zorvex");

    ASSERT_TRUE(CSetupCore::CreateLink(target, dir + L"Zorvex.lnk", L"", L""));
    link = ReadLink(dir + L"Zorvex.lnk");
    EXPECT_EQ(link.Path, target);
    EXPECT_EQ(link.Arguments, L"");
}

TEST(CreateLink, AMissingFolderGivesFalse) {
    const std::wstring dir = MakeScratchFolder(L"links-missing");
    EXPECT_FALSE(
        CSetupCore::CreateLink(Application->ExeName(), dir + L"no such folder\\Zorvex.lnk", L"", L""));
    EXPECT_FALSE(DirectoryExists(dir + L"no such folder"));
}

// The folders come from the shell, the files go in the install or the configuration folder, and the beta
// stream has names of its own.
TEST(StringManager, AnswersForBothStreams) {
    const std::wstring desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY), programs = ShellFolder(CSIDL_PROGRAMS),
                       roaming = ShellFolder(CSIDL_APPDATA), local = ShellFolder(CSIDL_LOCAL_APPDATA);
    ASSERT_NE(roaming, local);

    CStringManager main(false);
    const std::wstring install = local + L"Talvenor\\Apps\\Zorvex\\";
    EXPECT_EQ(main.U(vsDesktopLink), desktop + L"Zorvex.lnk");
    EXPECT_EQ(main.U(vsInstallPath), install);
    EXPECT_EQ(main.U(vsRunExe), install + L"Zorvex.exe");
    EXPECT_EQ(main.U(vsAppConfigXML), roaming + L"Talvenor\\Zorvex\\Application.xml");

    CStringManager beta(true);
    EXPECT_EQ(beta.U(vsDesktopLink), desktop + L"Zorvex BETA.lnk");
    EXPECT_EQ(beta.U(vsProgramsGroup), programs + L"Zorvex BETA\\");
    EXPECT_EQ(beta.U(vsAppCoreXML), local + L"Talvenor\\Apps\\Zorvex-beta\\Core.xml");
    EXPECT_EQ(beta.U(vsConfigPath), roaming + L"Talvenor\\Zorvex-beta\\");

    EXPECT_EQ(CStringManager::InstalledExePath(true), beta.U(vsInstallPath));
    EXPECT_EQ(CStringManager::InstalledExePath(false), install);
}

TEST(VirtualStringList, ACountCreatesEveryIndexUpToItself) {
    TVirtualStringList list(nullptr);
    EXPECT_EQ(list.Lines()->Count(), 0);
    list.SetSetCount(3);
    EXPECT_EQ(list.SetCount(), 3);
    EXPECT_EQ(list.Text(), L"0\r\n1\r\n2\r\n3\r\n");
    list.SetSetCount(0);
    EXPECT_EQ(list.Text(), L"0\r\n");
    list.SetSetCount(-1);
    EXPECT_EQ(list.Lines()->Count(), 0);
    EXPECT_EQ(list.SetCount(), -1);
    EXPECT_THROW(list.Lines()->Get(0), EListError);
}

TEST(VirtualStringList, ANewCountDiscardsTheTexts) {
    TVirtualStringList list(nullptr);
    list.SetSetCount(5);
    list.Lines()->Put(2, L"Close");
    list.SetText(L"a\r\nb");
    EXPECT_EQ(list.Lines()->Get(1), L"b");
    list.SetSetCount(5);
    EXPECT_EQ(list.Lines()->Count(), 6);
    EXPECT_EQ(list.Lines()->Get(1), L"1");
    EXPECT_EQ(list.Lines()->Get(5), L"5");
}

TEST(VirtualStringList, AHugeCountIsRefusedAndChangesNothing) {
    TVirtualStringList list(nullptr);
    list.SetSetCount(2);
    try {
        list.SetSetCount(2147483647);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), L"List count out of bounds (2147483647)");
    }
    EXPECT_EQ(list.SetCount(), 2);
    EXPECT_EQ(list.Text(), L"0\r\n1\r\n2\r\n");
    list.SetSetCount(TVirtualStringList::MaxSetCount);
    EXPECT_EQ(list.Lines()->Count(), TVirtualStringList::MaxSetCount + 1);
}

// The bound as numbers, not through its constant: 1024 lines is room enough for any window's texts, and what
// lies above is refused whatever the constant says.
TEST(VirtualStringList, CountsAboveOneThousandAndTwentyFourAreRefused) {
    TVirtualStringList list(nullptr);
    list.SetSetCount(1024);
    EXPECT_EQ(list.Lines()->Count(), 1025);
    EXPECT_EQ(list.Lines()->Get(1024), L"1024");
    for (int count : {1025, 65535, 65536}) {
        EXPECT_THROW(list.SetSetCount(count), EListError) << count;
        EXPECT_EQ(list.SetCount(), 1024);
        EXPECT_EQ(list.Lines()->Count(), 1025);
    }
}

TEST(VirtualStringList, AssignedLinesAreACopy) {
    TVirtualStringList list(nullptr);
    TStringList other;
    other.Add(L"Next");
    other.Add(L"Back");
    list.SetLines(&other);
    other.Put(0, L"changed");
    other.Add(L"more");
    EXPECT_EQ(list.Text(), L"Next\r\nBack\r\n");
}

TEST(VirtualStringList, WhileDesignedACountIsOnlyRecorded) {
    TComponent form(nullptr);
    auto* list = new TVirtualStringList(&form); // owned by the form
    list->SetText(L"kept");
    list->SetDesigning(true);
    list->SetSetCount(7);
    EXPECT_EQ(list->SetCount(), 7);
    EXPECT_EQ(list->Text(), L"kept\r\n");
}
