// Names, CRC-32, zlib headers, empty archives and the component's defaults.
#include "tests/zip/ZipTestSupport.h"

using namespace ziptest;

TEST(ZipNames, PathsBecomeArchiveNames) {
    EXPECT_EQ(ToZipName("C:\\data\\a.txt"), "data/a.txt");
    EXPECT_EQ(ToZipName("\\\\server\\share\\x\\y.bin"), "x/y.bin");
    EXPECT_EQ(ToZipName("a\\b"), "a/b");
    EXPECT_EQ(ToZipName("plain/name.txt"), "plain/name.txt");
    EXPECT_EQ(ToDosName("C:/dir/sub/a.txt"), "dir\\sub\\a.txt");
}

TEST(ZipNames, NameAndFolderParts) {
    EXPECT_EQ(TOxZip::GetFilePath("dir/sub/a.txt"), "dir\\sub\\");
    EXPECT_EQ(TOxZip::GetFileName("dir/sub/a.txt"), "a.txt");
    EXPECT_EQ(TOxZip::GetFilePath("dir/"), "dir\\");
    EXPECT_EQ(TOxZip::GetFileName("dir/"), "");
    EXPECT_EQ(TOxZip::GetFilePath("a.txt"), "");
    EXPECT_EQ(TOxZip::GetFilePath("C:\\x\\y.txt"), "x\\");
}

TEST(ZipFormat, ZlibHeaderFollowsTheDeflateOption) {
    auto bytes = [](uint16_t flags) {
        uint16_t h = ZlibHeaderForFlags(flags);
        return std::string(reinterpret_cast<const char*>(&h), 2);
    };
    EXPECT_EQ(bytes(0), "\x78\x9C");
    EXPECT_EQ(bytes(2), "\x78\xDA");
    EXPECT_EQ(bytes(4), "\x78\x5E");
    EXPECT_EQ(bytes(6), std::string("\x78\x01", 2));
    EXPECT_EQ(CompressionTypeOf(0, 2), ctUnknown);
    EXPECT_EQ(CompressionTypeOf(8, 2), ctMaximum);
    EXPECT_EQ(CompressionTypeOf(8, 6), ctSuperFast);
}

TEST(ZipFormat, Crc32) {
    EXPECT_EQ(CalcCRC32("123456789"), 0xCBF43926u);
    EXPECT_EQ(CalcCRC32(""), 0u);
    TStringStream s(std::string("xx123456789"));
    s.SetPosition(2);
    EXPECT_EQ(CalcStreamCRC32(&s), 0xCBF43926u);
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

TEST(ZipComponent, Defaults) {
    TOxZip zip(nullptr);
    EXPECT_EQ(zip.SaveMethod(), FastSave);
    EXPECT_EQ(zip.CompressionType(), ctMaximum);
    EXPECT_EQ(zip.OverwriteAction(), oaSkip);
    EXPECT_TRUE(zip.ApplyAtributes());
    EXPECT_TRUE(zip.StoreRelativePath());
    EXPECT_TRUE(zip.StoreFolders());
    EXPECT_FALSE(zip.UseTempFiles());
    EXPECT_EQ(zip.ComponentVersion(), "2.0");
    zip.SetCompressionType(ctUnknown);
    EXPECT_EQ(zip.CompressionType(), ctNormal);
    zip.SetActive(true); // no file name: nothing happens
    EXPECT_FALSE(zip.Active());
}
