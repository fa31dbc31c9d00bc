// Hostile and damaged archives: refused names, wrong checksums, short data, damaged headers, huge counts.
// None may crash, and none may leave a file outside the target folder or a corrupt file inside it.
#include "tests/zip/ZipTestSupport.h"

using namespace ziptest;

namespace {

std::wstring ExtractAllError(const std::string& Archive, const std::string& Folder) {
    TOxZip zip(nullptr);
    zip.Open(Fixture(Archive));
    EXPECT_TRUE(zip.IsZipFile()) << Archive;
    zip.SetOverwriteAction(oaOverwriteAll);
    return MessageOf([&] { zip.ExtractAll(Folder); });
}

} // namespace

class Traversal : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(Traversal, RefusedAndNothingWrittenOutside) {
    const auto [archive, name] = GetParam();
    const std::string parent = FreshFolder();
    const std::string target = parent + "\\target";
    CreateDirectoryA(target.c_str(), nullptr);
    EXPECT_EQ(ExtractAllError(archive, target),
              L"Cannot process this file: " + std::wstring(name, name + strlen(name)) + L" ");
    EXPECT_EQ(ReadFile(target + "\\good.txt"), "good data"); // entries before it stay extracted
    EXPECT_FALSE(Exists(parent + "\\evil.txt"));
    EXPECT_FALSE(Exists("out\\evil.txt"));
    EXPECT_FALSE(Exists("evil.txt"));
    EXPECT_FALSE(Exists("\\evil_abs.txt"));
    EXPECT_FALSE(Exists("\\evil.txt"));
    EXPECT_FALSE(Exists(target + "\\a\\evil.txt"));
}

INSTANTIATE_TEST_SUITE_P(Names, Traversal,
                         ::testing::Values(std::pair{"trav_dotdot.zip", "sub/../../evil.txt"},
                                           std::pair{"trav_backslash.zip", "..\\evil.txt"},
                                           std::pair{"trav_absolute.zip", "/evil_abs.txt"},
                                           std::pair{"trav_drive.zip", "C:../evil.txt"},
                                           std::pair{"trav_dots.zip", "a/.../evil.txt"},
                                           std::pair{"trav_unc.zip", "//server/share/../../evil.txt"},
                                           std::pair{"trav_device.zip", "sub/con.txt"}),
                         [](const auto& info) {
                             std::string n = info.param.first;
                             return n.substr(0, n.find('.'));
                         });

class BadData : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(BadData, RaisesAndLeavesNoFile) {
    const auto [archive, name] = GetParam();
    const std::string folder = FreshFolder();
    EXPECT_EQ(ExtractAllError(archive, folder),
              L"Cannot process this file: " + std::wstring(name, name + strlen(name)) + L" ");
    EXPECT_EQ(ReadFile(folder + "\\good.txt"), "good data");
    EXPECT_FALSE(Exists(folder + "\\" + name));

    TOxZip zip(nullptr);
    zip.Open(Fixture(archive));
    TOxZipEntriesEntry* bad = zip.Entries()->Items(zip.Entries()->IndexOf(name));
    EXPECT_FALSE(bad->Test());
    EXPECT_TRUE(zip.Entries()->Items(0)->Test());
    TMemoryStream out;
    out.WriteBuffer("keep", 4);
    EXPECT_THROW(bad->ExtractToStream(&out), Exception);
    EXPECT_EQ(out.Size(), 4); // what was there stays, nothing partial is appended
}

INSTANTIATE_TEST_SUITE_P(Archives, BadData,
                         ::testing::Values(std::pair{"crc_mismatch.zip", "bad.txt"},
                                           std::pair{"crc_flipped.zip", "flip.txt"},
                                           std::pair{"short_deflate.zip", "short.txt"},
                                           std::pair{"short_stored.zip", "short.bin"},
                                           std::pair{"damaged_local.zip", "second.txt"}),
                         [](const auto& info) {
                             std::string n = info.param.first;
                             return n.substr(0, n.find('.'));
                         });

TEST(Hostile, CorruptDeflateDataRaisesTheDecompressorsError) {
    const std::string folder = FreshFolder();
    TOxZip zip(nullptr);
    zip.Open(Fixture("bad_deflate.zip"));
    zip.SetOverwriteAction(oaOverwriteAll);
    EXPECT_THROW(zip.ExtractAll(folder), EZDecompressionError);
    EXPECT_EQ(ReadFile(folder + "\\good.txt"), "good data");
    EXPECT_FALSE(Exists(folder + "\\garbage.bin"));
    EXPECT_FALSE(zip.Entries()->Items(1)->Test());
}

TEST(Hostile, DamagedLocalHeaderIsReportedAtOpen) {
    TOxZip zip(nullptr);
    zip.Open(Fixture("damaged_local.zip"));
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.HasBadEntries());
    EXPECT_EQ(zip.Entries()->Items(1)->LocalFile().LocalFileHeaderSignature, 0u);
    EXPECT_EQ(zip.Entries()->Items(1)->GetCompressedData(), "");
}

TEST(Hostile, TruncatedArchive) {
    const std::string folder = FreshFolder();
    TOxZip zip(nullptr);
    zip.Open(Fixture("truncated.zip"));
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.HasBadEntries());
    zip.SetOverwriteAction(oaOverwriteAll);
    EXPECT_EQ(MessageOf([&] { zip.ExtractAll(folder); }), L"Cannot process this file: bin/zeros.bin ");
    EXPECT_EQ(ReadFile(folder + "\\bin\\random.bin"), ReadFile(Source("bin/random.bin")));
    EXPECT_FALSE(Exists(folder + "\\bin\\zeros.bin"));
}

TEST(Hostile, AFolderPathLongerThanWindowsAcceptsIsRefused) {
    const std::string folder = FreshFolder();
    std::wstring name;
    for (int i = 0; i < 30000; ++i) name += L"a/";
    EXPECT_EQ(ExtractAllError("deep_folders.zip", folder), L"Cannot process this file: " + name + L" ");
    EXPECT_EQ(ReadFile(folder + "\\good.txt"), "good data");
    EXPECT_FALSE(Exists(folder + "\\a"));
}

TEST(Hostile, EncryptedEntriesAreRefusedButPassTheTest) {
    const std::string folder = FreshFolder();
    EXPECT_EQ(ExtractAllError("encrypted.zip", folder), L"Cannot process this file: hello.txt ");
    EXPECT_FALSE(Exists(folder + "\\hello.txt"));
    TOxZip zip(nullptr);
    zip.Open(Fixture("encrypted.zip"));
    EXPECT_TRUE(zip.Entries()->Items(0)->IsEncrypted());
    EXPECT_TRUE(zip.Entries()->Items(0)->Test());
}

TEST(Hostile, SixtyFiveThousandFiveHundredThirtyFiveEntries) {
    TOxZip zip(nullptr);
    int events = 0;
    zip.OnZipOpen = [&](TObject*, int64_t, int64_t Total) {
        ++events;
        EXPECT_EQ(Total, 65535);
    };
    zip.Open(Fixture("many_entries.zip"));
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.Entries()->Count(), 65535);
    EXPECT_EQ(events, 2 * 65535);
    auto last = zip.ExtractToStream("m/65534.txt");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last->Memory()), (size_t)last->Size()), "65534");
    EXPECT_EQ(zip.Entries()->IndexOf("m/00000.txt"), 0);
}

namespace {

std::string ManyData(int I) {
    std::string one = "entry " + std::to_string(I) + "\n", all;
    for (int k = 0; k <= I % 50; ++k) all += one;
    return all;
}

std::string ManyPath(const std::string& Folder, int I) {
    char name[32];
    snprintf(name, sizeof name, "\\p%d\\e%03d.txt", I % 10, I);
    return Folder + name;
}

} // namespace

TEST(ManyEntries, ExtractAllSharesTheWorkAndStopsWhereSequentialWould) {
    const std::string folder = FreshFolder();
    EXPECT_EQ(ExtractAllError("many_small.zip", folder), L"");
    for (int i = 0; i < 200; ++i) ASSERT_EQ(ReadFile(ManyPath(folder, i)), ManyData(i)) << i;

    // Entries naming the same file are written in archive order: the later one wins, unmixed.
    const std::string dupes = FreshFolder("-dupes");
    EXPECT_EQ(ExtractAllError("many_dupes.zip", dupes), L"");
    EXPECT_EQ(ReadFile(ManyPath(dupes, 10)), "second e010");
    EXPECT_EQ(ReadFile(ManyPath(dupes, 20)), "second e020");

    // Entries written beside the failing one are taken back, with the folders made for them.
    const std::string bad = FreshFolder("-bad");
    EXPECT_EQ(ExtractAllError("many_small_bad.zip", bad), L"Cannot process this file: p0/big.bin ");
    for (int i = 0; i < 40; ++i) ASSERT_EQ(ReadFile(ManyPath(bad, i)), ManyData(i)) << i;
    EXPECT_FALSE(Exists(bad + "\\p0\\big.bin"));
    for (int i = 41; i < 200; ++i) ASSERT_FALSE(Exists(ManyPath(bad, i))) << i;
    EXPECT_FALSE(Exists(bad + "\\late"));

    const std::string refused = FreshFolder("-refused");
    EXPECT_EQ(ExtractAllError("many_small_refused.zip", refused), L"Cannot process this file: ../evil.txt ");
    for (int i = 0; i < 150; ++i) ASSERT_EQ(ReadFile(ManyPath(refused, i)), ManyData(i)) << i;
    EXPECT_FALSE(Exists(ManyPath(refused, 151)));
    EXPECT_FALSE(Exists(FreshFolder("-x").substr(0, 4) + "\\evil.txt"));
}

TEST(Hostile, SizesNearFourGigabytesInASmallFile) {
    const std::string folder = FreshFolder();
    EXPECT_EQ(ExtractAllError("huge_sizes.zip", folder), L"Cannot process this file: huge.bin ");
    EXPECT_FALSE(Exists(folder + "\\huge.bin"));
    TOxZip zip(nullptr);
    zip.Open(Fixture("huge_sizes.zip"));
    TOxZipEntriesEntry* huge = zip.Entries()->Items(1);
    EXPECT_FALSE(huge->Test());
    const AnsiString data =
        huge->GetCompressedData(); // as much as the file holds, not what the header claims
    EXPECT_EQ(data.substr(0, 4), "tiny");
    EXPECT_LT(data.size(), 1000u);
}

TEST(Hostile, WalkFindsTheEndsOfStreamedEntries) {
    TOxZip zip(nullptr);
    zip.Open(Fixture("stream_local_only.zip"));
    ASSERT_TRUE(zip.IsZipFile());
    EXPECT_TRUE(zip.HasBadEntries());
    ASSERT_EQ(zip.Entries()->Count(), (int)SourceFiles().size());
    const std::string folder = FreshFolder();
    zip.SetOverwriteAction(oaOverwriteAll);
    zip.ExtractAll(folder);
    for (const std::string& rel : SourceFiles()) {
        std::string path = rel;
        std::replace(path.begin(), path.end(), '/', '\\');
        EXPECT_TRUE(ReadFile(folder + "\\" + path) == ReadFile(Source(rel))) << rel;
    }
}

// An end record that tells only a part of the directory, or points where no directory is, would have a part
// of the archive extracted as the whole: the component finds no archive, and nothing can be extracted.
TEST(Hostile, AnEndRecordThatDoesNotDescribeTheWholeDirectoryIsNoArchive) {
    for (const char* name : {"zip64_count.zip", "zip64_more.zip", "count_low.zip", "cd_offset_local.zip",
                             "cd_part.zip", "second_disk.zip", "disk_count_differs.zip"}) {
        TOxZip zip(nullptr);
        zip.Open(Fixture(name));
        EXPECT_FALSE(zip.IsZipFile()) << name;
        EXPECT_EQ(zip.ZipStream(), nullptr) << name;
    }
    // ZIP64 records that describe the same directory as the end record leave an archive that is read whole.
    TOxZip zip(nullptr);
    zip.Open(Fixture("zip64_same.zip"));
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.Entries()->Count(), 3);
    EXPECT_FALSE(zip.HasBadEntries());
}
