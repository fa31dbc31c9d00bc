#include <gtest/gtest.h>

#include "runtime/Files.h"

// Made before the system's headers come in: the call below meets no CreateDirectory macro.
static void CreateWithoutSystemMacros(const std::wstring& Path) {
    TDirectory::CreateDirectory(Path);
}

#include <windows.h>

#include "runtime/Streams.h"

namespace {
void WriteFile(const std::wstring& Name, const std::string& Content) {
    TFileStream f(Name, fmCreate);
    f.WriteBuffer(Content.data(), (int32_t)Content.size());
}

std::string ReadFile(const std::wstring& Name) {
    TMemoryStream ms;
    ms.LoadFromFile(Name);
    return std::string((const char*)ms.Memory(), (size_t)ms.Size());
}

// A fresh folder under the working folder for one test.
std::wstring FreshFolder(const std::wstring& Name) {
    TDirectory::Delete(Name, true);
    EXPECT_FALSE(DirectoryExists(Name));
    return Name;
}
} // namespace

TEST(Paths, Parts) {
    EXPECT_EQ(ExtractFilePath(L"C:\\a\\b.txt"), L"C:\\a\\");
    EXPECT_EQ(ExtractFilePath(L"C:b.txt"), L"C:");
    EXPECT_EQ(ExtractFilePath(L"b.txt"), L"");
    EXPECT_EQ(ExtractFilePath(L"a/b.txt"), L"");
    EXPECT_EQ(ExtractFileName(L"C:\\a\\b.txt"), L"b.txt");
    EXPECT_EQ(ExtractFileName(L"C:\\a\\"), L"");
    EXPECT_EQ(ExtractFileName(L"b"), L"b");
    EXPECT_EQ(ExtractFileExt(L"C:\\a.d\\b.tar.gz"), L".gz");
    EXPECT_EQ(ExtractFileExt(L"C:\\a.d\\b"), L"");
    EXPECT_EQ(ExtractFileExt(L"b."), L".");
}

TEST(Folders, ForceDirectoriesMakesEveryParent) {
    const std::wstring root = FreshFolder(L"force");
    const std::wstring deep = root + L"\\a\\b\\c\\";
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep)); // already there
    EXPECT_TRUE(ForceDirectories(L"x"));
    EXPECT_TRUE(DirectoryExists(L"x"));
    RemoveDir(L"x");
    EXPECT_FALSE(ForceDirectories(L""));
    // A file in the way.
    WriteFile(root + L"\\file", "x");
    EXPECT_FALSE(ForceDirectories(root + L"\\file\\sub"));
    EXPECT_THROW(TDirectory::CreateDirectory(root + L"\\file\\sub"), EInOutError);
    EXPECT_FALSE(DirectoryExists(root + L"\\file"));
    EXPECT_TRUE(FileExists(root + L"\\file"));
    EXPECT_FALSE(FileExists(root));
    TDirectory::CreateDirectory(root + L"\\made\\here"); // through the system's macro
    EXPECT_TRUE(TDirectory::Exists(root + L"\\made\\here"));
    CreateWithoutSystemMacros(root + L"\\made\\there");
    EXPECT_TRUE(TDirectory::Exists(root + L"\\made\\there"));
    TDirectory::Delete(root, true);
    EXPECT_FALSE(DirectoryExists(root));
}

TEST(Folders, RecursiveDeleteTakesReadOnlyFilesAndRaisesWhenItCannot) {
    const std::wstring root = FreshFolder(L"tree");
    ForceDirectories(root + L"\\sub\\deeper");
    WriteFile(root + L"\\one.txt", "1");
    WriteFile(root + L"\\sub\\deeper\\two.txt", "2");
    WriteFile(root + L"\\sub\\ro.txt", "3");
    SetFileAttributesW((root + L"\\sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(TDirectory::Delete(root, false), EInOutError); // not empty
    EXPECT_TRUE(DirectoryExists(root));
    {
        // An open file without delete sharing keeps the folder.
        TFileStream held(root + L"\\one.txt", fmOpenRead | fmShareExclusive);
        EXPECT_THROW(TDirectory::Delete(root, true), EInOutError);
        EXPECT_TRUE(FileExists(root + L"\\one.txt"));
        EXPECT_FALSE(FileExists(root + L"\\sub\\ro.txt"));
    }
    TDirectory::Delete(root, true);
    EXPECT_FALSE(DirectoryExists(root));
    EXPECT_NO_THROW(TDirectory::Delete(root, true)); // missing: nothing to do
}

// Archives decide how deep a folder goes: making one may not take a call per level.
TEST(Folders, ForceDirectoriesWalksThousandsOfLevelsWithoutExhaustingTheStack) {
    const std::wstring root = FreshFolder(L"deep");
    ForceDirectories(root);
    WriteFile(root + L"\\file", "x"); // in the way, so that the walk goes all the way up and fails at once
    std::wstring deep = root + L"\\file";
    while (deep.size() < MaxPathLength - 2) deep += L"\\a";
    EXPECT_FALSE(ForceDirectories(deep));
    EXPECT_FALSE(
        ForceDirectories(root + L"\\" + std::wstring(MaxPathLength, L'b'))); // longer than Windows takes
    EXPECT_TRUE(ForceDirectories(root + L"\\a\\b"));
    TDirectory::Delete(root, true);
}

TEST(Files, CopyAndDelete) {
    const std::wstring root = FreshFolder(L"copy");
    ForceDirectories(root);
    const std::wstring a = root + L"\\a.bin", b = root + L"\\b.bin";
    WriteFile(a, "first");
    TFile::Copy(a, b);
    EXPECT_EQ(ReadFile(b), "first");
    WriteFile(a, "second");
    EXPECT_THROW(TFile::Copy(a, b), EInOutError); // no overwrite
    EXPECT_EQ(ReadFile(b), "first");
    TFile::Copy(a, b, true);
    EXPECT_EQ(ReadFile(b), "second");
    EXPECT_THROW(TFile::Copy(root + L"\\missing", b, true), EInOutError);
    EXPECT_THROW(TFile::Copy(a, root + L"\\no\\such\\folder.bin", true), EInOutError);

    EXPECT_TRUE(TFile::Exists(b));
    TFile::Delete(b);
    EXPECT_FALSE(TFile::Exists(b));
    EXPECT_NO_THROW(TFile::Delete(b));                        // missing file
    EXPECT_NO_THROW(TFile::Delete(root + L"\\no\\such.bin")); // missing folder
    {
        TFileStream held(a, fmOpenRead | fmShareExclusive);
        EXPECT_THROW(TFile::Delete(a), EInOutError); // in use
    }
    EXPECT_TRUE(RemoveFile(a));
    EXPECT_FALSE(RemoveFile(a));
    TDirectory::Delete(root, true);
}
