// Reading archives written by other tools and damaged ones: directory, fallback walk, extraction byte for
// byte.
#include "tests/zip/ZipTestSupport.h"

using namespace ziptest;

namespace {

void ExpectSameAsSources(const std::string& Folder) {
    for (const std::string& rel : SourceFiles()) {
        std::string got = Folder + "\\" + Source(rel).substr(std::string("fixtures\\src\\").size());
        ASSERT_TRUE(Exists(got)) << got;
        EXPECT_TRUE(ReadFile(got) == ReadFile(Source(rel))) << rel;
    }
}

} // namespace

class OtherTools : public ::testing::TestWithParam<const char*> {};

TEST_P(OtherTools, ExtractByteForByte) {
    TOxZip zip(nullptr);
    zip.Open(Fixture(GetParam()));
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_FALSE(zip.HasBadEntries());
    for (int i = 0; i < zip.Entries()->Count(); ++i) EXPECT_TRUE(zip.Entries()->Items(i)->Test()) << i;
    const std::string folder = FreshFolder();
    zip.SetOverwriteAction(oaOverwriteAll);
    zip.ExtractAll(folder);
    ExpectSameAsSources(folder);
    // A second run replaces every file.
    zip.ExtractAll(folder + "\\");
    ExpectSameAsSources(folder);
    zip.Close();
}

INSTANTIATE_TEST_SUITE_P(Archives, OtherTools,
                         ::testing::Values("infozip_deflated.zip", "infozip_stored.zip", "infozip_stream.zip",
                                           "python_deflated.zip", "python_stored.zip", "python_stream.zip"),
                         [](const auto& info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.'));
                         });

TEST(ReadArchive, FoldersCommentsAndDescriptors) {
    TOxZip zip(nullptr);
    zip.Open(Fixture("infozip_deflated.zip"));
    EXPECT_EQ(zip.Comment()->Text(), L"Info-ZIP archive comment\r\n");
    const std::string folder = FreshFolder();
    zip.SetOverwriteAction(oaOverwriteAll);
    zip.ExtractAll(folder);
    DWORD attr = GetFileAttributesA((folder + "\\emptydir").c_str());
    EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY));

    zip.Open(Fixture("python_deflated.zip"));
    EXPECT_EQ(zip.Comment()->Text(), L"Python archive comment\r\n");
    TOxZipEntriesEntry* hello = zip.Entries()->Items(zip.Entries()->IndexOf("HELLO.TXT"));
    EXPECT_EQ(hello->Comment(), "comment of hello.txt");
    EXPECT_EQ(hello->CompressionMethod(), 8);
    EXPECT_EQ(zip.Entries()->IndexOf("Deep\\A\\b\\c\\NOTE.txt"),
              zip.Entries()->IndexOf("deep/a/b/c/note.txt"));
    EXPECT_GE(zip.Entries()->IndexOf("deep/a/b/c/note.txt"), 0);
    EXPECT_EQ(zip.Entries()->IndexOf("missing.txt"), -1);
    EXPECT_TRUE(zip.Entries()->Items(0)->IsFolder());
    EXPECT_EQ(zip.FileNames()->Get(zip.Entries()->IndexOf("deep/a/b/c/note.txt")),
              L"deep\\a\\b\\c\\note.txt");

    // Descriptor entries carry their sizes in the local record, as the directory does.
    zip.Open(Fixture("python_stream.zip"));
    TOxZipEntriesEntry* zeros = zip.Entries()->Items(zip.Entries()->IndexOf("bin/zeros.bin"));
    EXPECT_TRUE(zeros->BitFlag() & 8);
    EXPECT_EQ(zeros->LocalFile().UncompressedSize, 2000000u);
    EXPECT_EQ(zeros->LocalFile().CompressedSize, zeros->SizeCompressed());
    EXPECT_EQ(zeros->LocalEntrySize(), 30 + 13 + zeros->SizeCompressed() + 16);
}

TEST(ReadArchive, EndRecordSearchWindows) {
    TOxZip zip(nullptr);
    zip.Open(Fixture("only_end_record.zip"));
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.Entries()->Count(), 0);

    // A 300-byte comment in a small archive lies beyond the first window: the walk reads it.
    zip.Open(Fixture("comment300_small.zip"));
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.HasBadEntries());
    ASSERT_EQ(zip.Entries()->Count(), 1);
    EXPECT_EQ(zip.ExtractToStream("good.txt")->Size(), 9);

    // A 2000-byte comment in an archive of 64 KB or more is found by the third window.
    zip.Open(Fixture("comment2000_big.zip"));
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_FALSE(zip.HasBadEntries());
    EXPECT_EQ(zip.Comment()->Text(), std::wstring(2000, L'k') + L"\r\n");
    EXPECT_TRUE(zip.Entries()->Items(0)->Test());
}

TEST(ReadArchive, BrokenDirectoriesAreNoArchive) {
    TOxZip zip(nullptr);
    int opened = 0, closed = 0;
    zip.OnZipChange = [&](TObject* Sender, int32_t Type) {
        EXPECT_EQ(Sender, &zip);
        (Type == 1 ? opened : closed) += Type <= 1;
    };
    for (const char* name : {"count_mismatch.zip", "date_zero.zip", "eocd_outside.zip",
                             "eocd_outside_many.zip", "overlap_bomb.zip"}) {
        zip.Open(Fixture(name));
        EXPECT_FALSE(zip.IsZipFile()) << name;
        EXPECT_EQ(zip.ZipStream(), nullptr) << name;
    }
    EXPECT_EQ(opened, 5);
    EXPECT_EQ(closed, 10); // each open closes first, then again when no archive is found
}

TEST(ReadArchive, WalkOverLocalHeaders) {
    TOxZip zip(nullptr);
    zip.Open(Fixture("local_only.zip"));
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.HasBadEntries());
    ASSERT_EQ(zip.Entries()->Count(), 3);
    EXPECT_EQ(zip.Entries()->LocalHeaderNumFiles(), 3);
    EXPECT_TRUE(zip.Entries()->Items(0)->IsFolder());
    EXPECT_EQ(zip.Entries()->Items(2)->FileName(), "dir/x.bin");
    EXPECT_EQ(zip.Entries()->Items(2)->SizeUncompressed(), 5000u);
    EXPECT_EQ(zip.Entries()->Items(2)->Attributes(), 32u);
    EXPECT_EQ(zip.ExtractToStream("dir/x.bin")->Size(), 5000);
}

TEST(ReadArchive, OpenErrorsAndStreams) {
    TOxZip zip(nullptr);
    EXPECT_EQ(MessageOf([&] { zip.Open(std::string("no such.zip")); }), L"File \"no such.zip\" not found!");
    EXPECT_FALSE(zip.IsZipFile());

    TStringStream notZip(std::string("this is not an archive at all, just text"));
    zip.Open(&notZip);
    EXPECT_FALSE(zip.IsZipFile());
    EXPECT_EQ(notZip.Size(), 40); // still the caller's and alive

    const std::string folder = FreshFolder();
    std::string copy = CopyFixture("python_stored.zip", folder);
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    zip.Open(copy);
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.ReadOnly());
    zip.Close();
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
}
