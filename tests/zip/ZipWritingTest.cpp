// Adding, removing, renaming and rebuilding. The archives end up in written\ for the native check.
#include "tests/zip/ZipTestSupport.h"

using namespace ziptest;

namespace {

std::string Extracted(TOxZip& Zip, const std::string& Name) {
    auto s = Zip.ExtractToStream(Name);
    if (!s) return "<missing>";
    return std::string(reinterpret_cast<const char*>(s->Memory()), (size_t)s->Size());
}

TOxZipEntriesEntry* Add(TOxZip& Zip, const std::string& Name, const std::string& Data) {
    TStringStream s(Data);
    return Zip.AddStream(Name, &s, false);
}

std::string Repeat(const std::string& Part, int Times) {
    std::string all;
    for (int i = 0; i < Times; ++i) all += Part;
    return all;
}

std::vector<std::string> Names(TOxZip& Zip) {
    std::vector<std::string> n;
    for (int i = 0; i < Zip.Entries()->Count(); ++i) n.push_back(Zip.Entries()->Items(i)->FileName());
    return n;
}

// A new archive file in written\ with the component open on it.
void NewArchive(TOxZip& Zip, const std::string& Name) {
    const std::string path = WrittenPath(Name);
    Zip.CreateZip(path);
    Zip.Open(path);
    ASSERT_TRUE(Zip.IsZipFile());
}

void Finish(TOxZip& Zip) {
    WriteExpectation(Zip.FileName(), Zip);
    Zip.Close();
}

} // namespace

TEST(Write, FastSaveAdditionsAndFolderChains) {
    TOxZip zip(nullptr);
    NewArchive(zip, "fastsave.zip");
    std::vector<int32_t> changes;
    std::vector<std::string> added;
    zip.OnZipChange = [&](TObject*, int32_t Type) { changes.push_back(Type); };
    zip.OnAddItem = [&](TObject*, const AnsiString& Name) { added.push_back(Name); };
    TStringStream empty(std::string(""));
    TOxZipEntriesEntry* e = zip.AddStream("empty.bin", &empty, false);
    EXPECT_EQ(e->CompressionMethod(), 0);
    EXPECT_EQ(e->SizeCompressed(), 0u);
    EXPECT_EQ(e->CRC32(), 0u);
    const int64_t before = zip.ZipStream()->Size();
    e = Add(zip, "a.txt", "first");
    EXPECT_EQ(zip.ZipStream()->Size(), before + 30 + 5 + e->SizeCompressed() + 46 + 5);
    Add(zip, "a.txt", "second data");
    int64_t compressed = 0, total = 0;
    zip.OnCompressFile = [&](TObject*, int64_t Current, int64_t Total) {
        compressed = Current, total = Total;
    };
    Add(zip, "x\\y\\f.bin", std::string(100000, 'f'));
    EXPECT_EQ(compressed, 100000);
    EXPECT_EQ(total, 100000);
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"empty.bin", "a.txt", "x/", "x/y/", "x/y/f.bin"}));
    EXPECT_EQ(Extracted(zip, "a.txt"), "second data");
    EXPECT_EQ(added.back(), "x\\y\\f.bin");
    EXPECT_EQ(zip.Entries()->Items(2)->Attributes(), 16u);
    EXPECT_EQ(zip.Entries()->Items(4)->CompressionType(), ctNormal);
    for (int32_t t : changes) EXPECT_EQ(t, 2);

    zip.SetStoreFolders(false);
    Add(zip, "p\\q\\g.bin", "g");
    zip.SetStoreRelativePath(false);
    Add(zip, "r\\s\\h.bin", "h");
    EXPECT_EQ(Names(zip).back(), "h.bin");
    EXPECT_EQ(Names(zip)[5], "p/q/g.bin");
    zip.SetComment(L"written by the component");
    Finish(zip);

    zip.Open(WrittenPath("fastsave.zip"));
    EXPECT_EQ(zip.Comment()->Text(), L"written by the component\r\n");
    EXPECT_EQ(Extracted(zip, "x/y/f.bin"), std::string(100000, 'f'));
}

TEST(Write, RebuildAllAdditionsKeepTheDirectoryCurrent) {
    TOxZip zip(nullptr);
    NewArchive(zip, "rebuildall.zip");
    zip.SetSaveMethod(RebuildAll);
    zip.SetUseTempFiles(true);
    Add(zip, "one.txt", "1111111111");
    TOxZipEntriesEntry* two = Add(zip, "dir\\two.txt", std::string(70000, '2'));
    EXPECT_EQ(Extracted(zip, "dir/two.txt"), std::string(70000, '2'));
    EXPECT_TRUE(two->Test());
    zip.SetSaveMethod(FastSave);
    zip.SetUseTempFiles(false);
    Add(zip, "three.txt", "3");
    zip.Remove("one.txt");
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"dir/", "dir/two.txt", "three.txt"}));
    EXPECT_EQ(Extracted(zip, "three.txt"), "3");
    Finish(zip);
}

TEST(Write, RemovalsFastAndInOnePass) {
    TOxZip zip(nullptr);
    NewArchive(zip, "removals.zip");
    zip.SetStoreFolders(false);
    for (int i = 0; i < 6; ++i) {
        char name[16];
        snprintf(name, sizeof name, "f%d.txt", i);
        Add(zip, name, std::string(1000 + i, 'a' + i));
    }
    const int64_t size = zip.ZipStream()->Size();
    TOxZipEntriesEntry* middle = zip.Entries()->Items(2);
    const uint32_t gone = middle->LocalEntrySize() + middle->CentralEntrySize();
    std::vector<int32_t> changes;
    zip.OnZipChange = [&](TObject*, int32_t Type) { changes.push_back(Type); };
    zip.Remove(2);
    EXPECT_EQ(zip.ZipStream()->Size(), size - gone);
    EXPECT_EQ(Extracted(zip, "f5.txt"), std::string(1005, 'f'));

    TList list; // f1 and f4 now sit at 1 and 3
    list.Add(reinterpret_cast<void*>(3));
    list.Add(reinterpret_cast<void*>(1));
    std::vector<std::pair<int64_t, int64_t>> removing;
    zip.OnRemoveItems = [&](TObject*, int64_t Current, int64_t Total) {
        removing.emplace_back(Current, Total);
    };
    zip.RemoveFiles(&list);
    EXPECT_EQ(removing, (std::vector<std::pair<int64_t, int64_t>>{{1, 2}, {2, 2}, {0, 2}, {1, 2}, {2, 2}}));
    zip.OnRemoveItems = nullptr;
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"f0.txt", "f3.txt", "f5.txt"}));
    TList none;
    zip.RemoveFiles(&none);
    EXPECT_EQ(Names(zip).size(), 3u);
    EXPECT_EQ(changes, (std::vector<int32_t>{3, 3, 3}));

    zip.Entries()->Items(0)->SetSelected(true);
    zip.RemoveSelected();
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"f3.txt", "f5.txt"}));
    EXPECT_EQ(Extracted(zip, "f3.txt"), std::string(1003, 'd'));
    Finish(zip);
}

// A data descriptor takes 12 bytes without its signature and 16 with it: a fast removal moves the archive's
// tail by what the entry really takes.
TEST(Write, FastRemovalMeasuresBothDescriptorForms) {
    const std::vector<std::pair<std::string, std::string>> entries{{"first.txt", Repeat("first ", 200)},
                                                                   {"second.txt", Repeat("second ", 300)},
                                                                   {"third.txt", Repeat("third ", 100)},
                                                                   {"good.txt", "good data"}};
    for (int index : {0, 1, 2}) {
        SCOPED_TRACE(index);
        const std::string path = WrittenPath("descriptors_without_" + std::to_string(index) + ".zip");
        ASSERT_TRUE(CopyFileA(Fixture("descriptors.zip").c_str(), path.c_str(), FALSE));
        TOxZip zip(nullptr);
        zip.Open(path);
        const int64_t size = zip.ZipStream()->Size();
        TOxZipEntriesEntry* gone = zip.Entries()->Items(index);
        const uint32_t descriptor = index == 1 ? 16 : 12;
        EXPECT_EQ(gone->LocalEntrySize(), 30 + gone->FileName().size() + gone->SizeCompressed() + descriptor);
        const uint32_t taken = gone->LocalEntrySize() + gone->CentralEntrySize();
        zip.Remove(index);
        EXPECT_EQ(zip.ZipStream()->Size(), size - taken);
        zip.Open(path);
        ASSERT_EQ(zip.Entries()->Count(), 3);
        for (int i = 0; i < 4; ++i) {
            if (i == index) continue;
            EXPECT_EQ(Extracted(zip, entries[i].first), entries[i].second) << entries[i].first;
        }
        Finish(zip);
    }
}

TEST(Write, Renames) {
    TOxZip zip(nullptr);
    NewArchive(zip, "renamed.zip");
    Add(zip, "dir\\a.txt", "A");
    Add(zip, "dir\\sub\\b.txt", "B");
    Add(zip, "directory.txt", "D");
    std::vector<int32_t> changes;
    zip.OnZipChange = [&](TObject*, int32_t Type) { changes.push_back(Type); };
    zip.RenameFolder("dir", "new");
    EXPECT_EQ(Names(zip),
              (std::vector<std::string>{"new/", "new/a.txt", "new/sub/", "new/sub/b.txt", "directory.txt"}));
    EXPECT_EQ(Extracted(zip, "new/sub/b.txt"), "B");
    EXPECT_EQ(changes.back(), 5);

    EXPECT_EQ(MessageOf([&] { zip.Rename("directory.txt", "NEW\\A.TXT"); }),
              L"File with same name already exists in Archive!");
    TStringList names, newNames;
    names.Add(L"directory.txt");
    names.Add(L"new\\a.txt");
    newNames.Add(L"d.txt");
    EXPECT_EQ(MessageOf([&] { zip.RenameMultiple(&names, &newNames); }),
              L"Names and NewNames must have equal count");
    EXPECT_EQ(Names(zip).back(), "directory.txt");
    newNames.Add(L"new\\first.txt");
    changes.clear();
    zip.RenameMultiple(&names, &newNames);
    EXPECT_EQ(changes, std::vector<int32_t>{6});
    zip.Entries()->Items(zip.Entries()->IndexOf("d.txt"))->SetComment("entry comment");
    zip.CreateFolder("made\\here", Now());
    Finish(zip);

    zip.Open(WrittenPath("renamed.zip"));
    EXPECT_EQ(Extracted(zip, "d.txt"), "D");
    EXPECT_EQ(Extracted(zip, "new/first.txt"), "A");
    EXPECT_EQ(zip.Entries()->Items(zip.Entries()->IndexOf("d.txt"))->Comment(), "entry comment");
    // The local header carries the new name too.
    EXPECT_EQ(zip.Entries()->Items(zip.Entries()->IndexOf("d.txt"))->LocalFile().FileName, "d.txt");
    EXPECT_GE(zip.Entries()->IndexOf("made/here/"), 0);
}

TEST(Write, SaveRebuildAndRepair) {
    // A copy of another tool's streamed archive, saved anew: descriptors are gone, data is the same.
    TOxZip zip(nullptr);
    zip.Open(Fixture("infozip_stream.zip"));
    int finals = 0;
    zip.OnRebuildZip = [&](TObject*, int64_t Current, int64_t Total) {
        finals += Current == 100 && Total == 100;
    };
    {
        TFileStream out(L"written\\saved_stream.zip", fmCreate);
        zip.SaveToStream(&out);
    }
    EXPECT_EQ(finals, 1);
    zip.Open(WrittenPath("saved_stream.zip"));
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.EndOfCentralDir().TotalNumberOfEntriesOnThisDisk, 6);
    for (const std::string& rel : SourceFiles())
        EXPECT_TRUE(Extracted(zip, rel) == ReadFile(Source(rel))) << rel;
    Finish(zip);

    // Rebuild in place, with an archive comment and the temporary-file road.
    const std::string copy = CopyFixture("python_deflated.zip", FreshFolder());
    CopyFileA(copy.c_str(), WrittenPath("rebuilt.zip").c_str(), FALSE);
    zip.Open(WrittenPath("rebuilt.zip"));
    zip.SetUseTempFiles(true);
    zip.Rebuild();
    EXPECT_EQ(zip.Comment()->Text(), L"Python archive comment\r\n");
    EXPECT_TRUE(Extracted(zip, "bin/random.bin") == ReadFile(Source("bin/random.bin")));
    Finish(zip);

    // Repair keeps the sound entries only.
    zip.Open(Fixture("damaged_local.zip"));
    {
        TFileStream out(L"written\\fixed.zip", fmCreate);
        zip.FixZip(&out);
    }
    zip.Open(WrittenPath("fixed.zip"));
    EXPECT_EQ(Names(zip), std::vector<std::string>{"good.txt"});
    EXPECT_FALSE(zip.HasBadEntries());
    Finish(zip);
}

TEST(Write, FilesAndFolders) {
    const std::string root = FreshFolder();
    CreateDirectoryA((root + "\\tree").c_str(), nullptr);
    CreateDirectoryA((root + "\\tree\\inner").c_str(), nullptr);
    WriteFile(root + "\\tree\\top.txt", "top");
    WriteFile(root + "\\tree\\skip.log", "log");
    WriteFile(root + "\\tree\\inner\\deep.txt", "deep");
    TOxZip zip(nullptr);
    NewArchive(zip, "folders.zip");
    int changes = 0;
    zip.OnZipChange = [&](TObject*, int32_t) { ++changes; };
    EXPECT_TRUE(zip.AddFolder(root + "\\tree", root, "*.txt", false));
    EXPECT_EQ(changes, 1);
    EXPECT_GE(zip.Entries()->IndexOf("tree/top.txt"), 0);
    EXPECT_GE(zip.Entries()->IndexOf("tree/inner/"), 0);
    EXPECT_EQ(zip.Entries()->IndexOf("tree/inner/deep.txt"), -1);
    EXPECT_EQ(zip.Entries()->IndexOf("tree/skip.log"), -1);

    TStringList list;
    list.Add(Wide(root + "\\tree\\inner"));
    list.Add(Wide(root + "\\tree\\skip.log"));
    list.Add(Wide(root + "\\missing.txt"));
    EXPECT_TRUE(zip.AddFilesAndFolders(&list, root, true));
    EXPECT_EQ(Extracted(zip, "tree/inner/deep.txt"), "deep");
    EXPECT_EQ(Extracted(zip, "tree/skip.log"), "log");
    EXPECT_EQ(zip.AddFile(root + "\\missing.txt"), nullptr);
    TStringList files;
    files.Add(Wide(root + "\\tree\\top.txt"));
    EXPECT_TRUE(zip.AddFiles(&files));
    Finish(zip);
}

// A name from the file system that the ANSI code page cannot hold is stored in UTF-8 with flag bit 11 instead
// of losing its characters; one that it holds stays ANSI, without the flag.
TEST(Write, NamesBeyondTheAnsiCodePageAreStoredInUtf8) {
    const std::string root = FreshFolder();
    const std::wstring tree = Wide(root) + L"\\дерево";
    CreateDirectoryW(tree.c_str(), nullptr);
    HANDLE h =
        CreateFileW((tree + L"\\отчёт.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n;
    WriteFile(h, "report", 6, &n, nullptr);
    CloseHandle(h);
    WriteFile(root + "\\plain.txt", "plain");
    TOxZip zip(nullptr);
    NewArchive(zip, "utf8_names.zip");
    TStringList list;
    list.Add(tree);
    list.Add(Wide(root + "\\plain.txt"));
    EXPECT_TRUE(zip.AddFilesAndFolders(&list, root, true));
    const std::string path = zip.FileName();
    zip.Open(path);
    TStringList* names = zip.FileNames();
    ASSERT_EQ(names->Count(), 3);
    EXPECT_EQ(names->Get(0), L"дерево\\");
    EXPECT_EQ(names->Get(1), L"дерево\\отчёт.txt");
    EXPECT_EQ(names->Get(2), L"plain.txt");
    EXPECT_TRUE(zip.Entries()->Items(1)->BitFlag() & Utf8NameFlag);
    EXPECT_EQ(zip.Entries()->Items(2)->BitFlag() & Utf8NameFlag, 0);
    const std::wstring out = Wide(FreshFolder("-out"));
    zip.SetOverwriteAction(oaOverwriteAll);
    zip.ExtractAll(std::string(out.begin(), out.end()));
    EXPECT_EQ(ReadFileW(out + L"\\дерево\\отчёт.txt"), "report");
    // Renamed to an ANSI name, the entry loses the flag in both of its headers.
    zip.Entries()->Rename(1, "report.txt");
    EXPECT_EQ(zip.FileNames()->Get(1), L"report.txt");
    EXPECT_EQ(zip.Entries()->Items(1)->BitFlag() & Utf8NameFlag, 0);
    EXPECT_EQ(zip.Entries()->Items(0)->BitFlag() & Utf8NameFlag, Utf8NameFlag);
    // Names as text from a caller's lists keep every character too.
    TStringList from, to;
    from.Add(L"дерево\\"), to.Add(L"лес\\");
    from.Add(L"report.txt"), to.Add(L"итог.txt");
    zip.RenameMultiple(&from, &to);
    EXPECT_EQ(zip.FileNames()->Get(0), L"лес\\");
    EXPECT_EQ(zip.FileNames()->Get(1), L"итог.txt");
    EXPECT_TRUE(zip.Entries()->Items(1)->BitFlag() & Utf8NameFlag);
    Finish(zip);
}
