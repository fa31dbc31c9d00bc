// Archive names made from paths and split into folder and name; an empty archive.
#include "tests/zip/ZipTestSupport.h"

using namespace ziptest;

TEST(ZipNames, PathsBecomeArchiveNames) {
    EXPECT_EQ(ToZipName("C:\\data\\a.txt"), "data/a.txt");
    EXPECT_EQ(ToZipName("\\\\server\\share\\x\\y.bin"), "x/y.bin");
    EXPECT_EQ(ToZipName("a\\b"), "a/b");
    EXPECT_EQ(ToZipName("plain/name.txt"), "plain/name.txt");
    EXPECT_EQ(ToDosName("C:/dir/sub/a.txt"), "dir\\sub\\a.txt");
}

// A folder entry ("dir/") is all folder: a name taken from it would unpack it into a nested folder.
TEST(ZipNames, NameAndFolderParts) {
    EXPECT_EQ(TOxZip::GetFilePath("dir/sub/a.txt"), "dir\\sub\\");
    EXPECT_EQ(TOxZip::GetFileName("dir/sub/a.txt"), "a.txt");
    EXPECT_EQ(TOxZip::GetFilePath("dir/"), "dir\\");
    EXPECT_EQ(TOxZip::GetFileName("dir/"), "");
    EXPECT_EQ(TOxZip::GetFilePath("a.txt"), "");
    EXPECT_EQ(TOxZip::GetFilePath("C:\\x\\y.txt"), "x\\");
}

TEST(ZipFormat, EmptyArchiveIsTheEndRecordAlone) {
    TOxZip zip(nullptr);
    TMemoryStream s;
    zip.CreateZip(&s);
    ASSERT_EQ(s.Size(), 22);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), 22),
              std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    zip.Open(&s);
    EXPECT_TRUE(zip.IsZipFile());
    EXPECT_EQ(zip.Entries()->Count(), 0);
    EXPECT_FALSE(zip.HasBadEntries());
}
