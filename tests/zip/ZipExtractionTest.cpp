// Extraction rules: overwrite actions and events, attributes, selection, progress, compressed data.
#include "tests/zip/ZipTestSupport.h"

using namespace ziptest;

namespace {

// A small archive in memory: a.txt, sub/, sub/b.txt, c.dat.
std::unique_ptr<TMemoryStream> SmallArchive() {
    auto s = std::make_unique<TMemoryStream>();
    TOxZip zip(nullptr);
    zip.CreateZip(s.get());
    zip.Open(s.get());
    TStringStream a(std::string("alpha")), b(std::string("bravo")), c(std::string("charlie"));
    zip.AddStream("a.txt", &a, false);
    zip.AddStream("sub\\b.txt", &b, false);
    zip.AddStream("c.dat", &c, false);
    return s;
}

} // namespace

TEST(Extract, OverwriteAllReplacesAndNeverAsks) {
    auto archive = SmallArchive();
    TOxZip zip(nullptr);
    zip.Open(archive.get());
    const std::string folder = FreshFolder();
    WriteFile(folder + "\\a.txt", "old");
    int asked = 0;
    zip.OnOverwriteFile = [&](TObject*, AnsiString&, TOverwriteAction&) { ++asked; };
    zip.SetOverwriteAction(oaOverwriteAll);
    zip.ExtractAll(folder);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(ReadFile(folder + "\\a.txt"), "alpha");
    EXPECT_EQ(ReadFile(folder + "\\sub\\b.txt"), "bravo");
    EXPECT_EQ(zip.OverwriteAction(), oaOverwriteAll);
}

TEST(Extract, SkipWithoutEventWritesNothing) {
    auto archive = SmallArchive();
    TOxZip zip(nullptr);
    zip.Open(archive.get());
    const std::string folder = FreshFolder();
    zip.ExtractAll(folder);
    zip.ExtractToFile("c.dat", folder + "\\single.dat");
    EXPECT_FALSE(Exists(folder + "\\a.txt"));
    EXPECT_FALSE(Exists(folder + "\\single.dat"));
    EXPECT_TRUE(Exists(folder + "\\sub")); // folder parts are made before the decision
}

TEST(Extract, EventAnswersStayInForceForTheRun) {
    auto archive = SmallArchive();
    TOxZip zip(nullptr);
    zip.Open(archive.get());
    const std::string folder = FreshFolder();
    WriteFile(folder + "\\a.txt", "old");
    std::vector<std::string> asked;
    zip.OnOverwriteFile = [&](TObject* Sender, AnsiString& Name, TOverwriteAction& Action) {
        EXPECT_EQ(Sender, &zip);
        asked.push_back(Name);
        Action = oaOverwrite;
    };
    zip.ExtractAll(folder);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], folder + "\\a.txt");
    EXPECT_EQ(ReadFile(folder + "\\a.txt"), "alpha");
    EXPECT_EQ(ReadFile(folder + "\\c.dat"), "charlie"); // did not exist: extracted under the answer
    EXPECT_EQ(zip.OverwriteAction(), oaSkip);
}

TEST(Extract, EventMayRedirectAndSingleFilesOfNewTargetsAreWritten) {
    auto archive = SmallArchive();
    TOxZip zip(nullptr);
    zip.Open(archive.get());
    const std::string folder = FreshFolder();
    WriteFile(folder + "\\a.txt", "old");
    zip.OnOverwriteFile = [&](TObject*, AnsiString& Name, TOverwriteAction& Action) {
        Name += ".new";
        Action = oaOverwrite;
    };
    zip.ExtractToFile("a.txt", folder + "\\a.txt");
    EXPECT_EQ(ReadFile(folder + "\\a.txt"), "old");
    EXPECT_EQ(ReadFile(folder + "\\a.txt.new"), "alpha");
    zip.ExtractToFile(2,
                      folder + "\\fresh.dat"); // no target yet: the event is not asked, the entry is written
    EXPECT_EQ(ReadFile(folder + "\\fresh.dat"), "bravo");
    EXPECT_THROW(zip.ExtractToFile("nothere.txt", folder + "\\x"), EListError);
}

TEST(Extract, AttributesFollowTheEntry) {
    TOxZip zip(nullptr);
    zip.Open(Fixture("python_deflated.zip"));
    zip.SetOverwriteAction(oaOverwriteAll);
    const std::string folder = FreshFolder();
    zip.ExtractAll(folder);
    DWORD a = GetFileAttributesA((folder + "\\attrs\\readonly_hidden.txt").c_str());
    EXPECT_EQ(a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ReadFile(folder + "\\attrs\\readonly_hidden.txt"), "read-only and hidden");
    // Extracting again over the read-only, hidden file works because the same attributes are asked for.
    zip.ExtractAll(folder);

    const std::string plain = FreshFolder("-plain");
    zip.SetApplyAtributes(false);
    zip.ExtractAll(plain);
    a = GetFileAttributesA((plain + "\\attrs\\readonly_hidden.txt").c_str());
    EXPECT_EQ(a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
}

TEST(Extract, SelectionAndSelectedExtraction) {
    auto archive = SmallArchive();
    TOxZip zip(nullptr);
    zip.Open(archive.get());
    TOxZipEntries* e = zip.Entries();
    const int c = e->IndexOf("c.dat");
    e->Items(c)->SetSelected(true);
    zip.Select("*.TXT");
    for (int i = 0; i < e->Count(); ++i)
        EXPECT_EQ(e->Items(i)->Selected(), e->Items(i)->FileName() != "sub/") << i;
    zip.Select("sub\\[a-c].txt");
    zip.InvertSelection();
    EXPECT_TRUE(e->Items(e->IndexOf("sub/"))->Selected());
    EXPECT_FALSE(e->Items(c)->Selected());
    zip.DeSelectAll();
    e->Items(c)->SetSelected(true);
    zip.SetOverwriteAction(oaOverwriteAll);
    const std::string folder = FreshFolder();
    zip.ExtractSelected(folder);
    EXPECT_TRUE(Exists(folder + "\\c.dat"));
    EXPECT_FALSE(Exists(folder + "\\a.txt"));
    zip.SelectAll();
    for (int i = 0; i < e->Count(); ++i) EXPECT_TRUE(e->Items(i)->Selected());
}

TEST(Extract, ProgressCompressedDataAndEmptyEntries) {
    TOxZip zip(nullptr);
    zip.Open(Fixture("python_deflated.zip"));
    TOxZipEntriesEntry* zeros = zip.Entries()->Items(zip.Entries()->IndexOf("bin/zeros.bin"));
    int64_t last = 0, total = 0;
    zip.OnDecompressFile = [&](TObject*, int64_t Current, int64_t Total) { last = Current, total = Total; };
    TMemoryStream out;
    zeros->ExtractToStream(&out);
    EXPECT_EQ(out.Size(), 2000000);
    EXPECT_EQ(last, 2000000);
    EXPECT_EQ(total, 2000000);

    TMemoryStream raw;
    EXPECT_EQ(zeros->GetCompressedData(&raw), (int32_t)zeros->SizeCompressed() + 2);
    AnsiString data = zeros->GetCompressedData();
    EXPECT_EQ(data.substr(0, 2), "\x78\x9C");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw.Memory()), (size_t)raw.Size()), data);

    const std::string folder = FreshFolder();
    zip.ExtractToFile("empty.txt", folder + "\\empty.txt");
    zip.SetOverwriteAction(oaOverwrite);
    zip.ExtractToFile("empty.txt", folder + "\\empty.txt");
    EXPECT_TRUE(Exists(folder + "\\empty.txt"));
    EXPECT_EQ(ReadFile(folder + "\\empty.txt"), "");
}

// Names with flag bit 11 are UTF-8, on every extraction road; names without it stay in the ANSI code page.
TEST(Extract, NamesInUtf8AndInTheAnsiCodePage) {
    TOxZip zip(nullptr);
    zip.Open(Fixture("utf8_names.zip"));
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.FileNames()->Get(0), L"заметка.txt");
    EXPECT_EQ(zip.FileNames()->Get(1), L"папка\\файл00.txt");
    zip.SetOverwriteAction(oaOverwriteAll);
    for (bool parallel : {true, false}) {
        const std::wstring root = Wide(FreshFolder(parallel ? "-parallel" : "-sequential")) + L"\\";
        if (!parallel) zip.OnDecompressFile = [](TObject*, int64_t, int64_t) {};
        zip.ExtractAll(std::string(root.begin(), root.end()));
        EXPECT_EQ(ReadFileW(root + L"заметка.txt"),
                  "\xd0\xb7\xd0\xb0\xd0\xbc\xd0\xb5\xd1\x82\xd0\xba\xd0\xb0");
        for (int i = 0; i < 20; ++i) {
            wchar_t name[32];
            swprintf(name, 32, L"папка\\файл%02d.txt", i);
            EXPECT_EQ(ReadFileW(root + name), std::to_string(i)) << i;
        }
    }
    const std::string folder = FreshFolder("-ansi");
    zip.Open(Fixture("ansi_name.zip"));
    wchar_t ansi[16] = {};
    MultiByteToWideChar(CP_ACP, 0, "caf\xe9.txt", -1, ansi, 16);
    EXPECT_EQ(zip.FileNames()->Get(0), ansi);
    zip.ExtractAll(folder);
    EXPECT_EQ(ReadFileW(Wide(folder) + L"\\" + ansi), "ansi");
}

// A cancel flag set by another thread stops an extraction within one block of a large entry; the entry's
// unfinished file goes, and no later entry is started, on either road.
TEST(Extract, ACancelFlagStopsTheExtractionWithinAnEntry) {
    std::atomic<bool> cancel{false};
    TOxZip zip(nullptr);
    zip.Open(Fixture("python_deflated.zip"));
    zip.SetOverwriteAction(oaOverwriteAll);
    zip.SetCancelFlag(&cancel);
    // bin/zeros.bin inflates in two blocks: the flag is set after the first one.
    int64_t reached = 0;
    zip.OnDecompressFile = [&](TObject*, int64_t Current, int64_t Total) {
        reached = Current;
        if (Total == 2000000) cancel = true;
    };
    const std::string folder = FreshFolder();
    bool aborted = false;
    try {
        zip.ExtractAll(folder);
    } catch (const EAbort&) {
        aborted = true;
    }
    EXPECT_TRUE(aborted);
    EXPECT_GT(reached, 0);
    EXPECT_LT(reached, 2000000);
    EXPECT_FALSE(Exists(folder + "\\bin\\zeros.bin"));
    EXPECT_FALSE(Exists(folder + "\\text\\lorem.txt"));

    // The shared road: nothing is started once the flag is set.
    zip.Open(Fixture("utf8_names.zip"));
    zip.OnDecompressFile = nullptr;
    const std::string parallel = FreshFolder("-parallel");
    EXPECT_EQ(MessageOf([&] { zip.ExtractAll(parallel); }), L"Operation aborted");
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((parallel + "\\*.txt").c_str(), &found);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);

    // Without the flag set, the same component extracts as ever.
    cancel = false;
    zip.ExtractAll(parallel);
    EXPECT_EQ(ReadFileW(Wide(parallel) + L"\\папка\\файл19.txt"), "19");
}
