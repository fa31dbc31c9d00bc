// The install worker against real packages in scratch folders: read-only files and a kept desktop link on a
// second installation, packages that cannot be installed (each failure class here in seconds, beside the
// end-to-end installations that prove them on the real program), hostile captions.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/engine/Setup.InstallWorker.h"
#include "app/engine/Setup.PackageCheck.h"
#include "app/engine/Setup.Worker.h"
#include "runtime/Files.h"
#include "runtime/SysUtils.h"
#include "zip/Common.ZipIO.h"

namespace {

std::string ReadBytes(const std::wstring& FileName) {
    std::string bytes;
    HANDLE h =
        CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD n;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    CloseHandle(h);
    return bytes;
}

void WriteBytes(const std::wstring& FileName, const std::string& Bytes) {
    HANDLE h = CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    WriteFile(h, Bytes.data(), (DWORD)Bytes.size(), &n, nullptr);
    CloseHandle(h);
}

std::string Utf8(const std::wstring& S) {
    std::string out(S.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, S.data(), (int)S.size(), out.data(), (int)out.size(), nullptr,
                                   nullptr));
    return out;
}

// A ZIP archive of stored entries, written byte by byte so that a test can damage exactly what it means to.
struct TZipEntry {
    std::string Name, Data;
    uint32_t Attributes = FILE_ATTRIBUTE_ARCHIVE;
    // A size and CRC other than the data's, when given.
    int64_t Size = -1, Crc = -1;
};
void Put16(std::string& S, uint32_t V) {
    S += char(V & 0xFF);
    S += char((V >> 8) & 0xFF);
}
void Put32(std::string& S, uint32_t V) {
    Put16(S, V & 0xFFFF);
    Put16(S, V >> 16);
}
std::string MakeZip(const std::vector<TZipEntry>& Entries) {
    std::string out, central;
    for (const TZipEntry& e : Entries) {
        const uint32_t crc =
            e.Crc >= 0 ? (uint32_t)e.Crc : crc32(0, (const Bytef*)e.Data.data(), (uInt)e.Data.size());
        const uint32_t size = e.Size >= 0 ? (uint32_t)e.Size : (uint32_t)e.Data.size();
        const uint32_t offset = (uint32_t)out.size();
        Put32(out, 0x04034B50);
        Put16(out, 10), Put16(out, 0), Put16(out, 0), Put32(out, 0x21 << 16);
        Put32(out, crc), Put32(out, (uint32_t)e.Data.size()), Put32(out, size);
        Put16(out, (uint32_t)e.Name.size()), Put16(out, 0);
        out += e.Name + e.Data;
        Put32(central, 0x02014B50);
        Put16(central, 20), Put16(central, 10), Put16(central, 0), Put16(central, 0),
            Put32(central, 0x21 << 16);
        Put32(central, crc), Put32(central, (uint32_t)e.Data.size()), Put32(central, size);
        Put16(central, (uint32_t)e.Name.size()), Put16(central, 0), Put16(central, 0), Put16(central, 0);
        Put16(central, 0), Put32(central, e.Attributes), Put32(central, offset);
        central += e.Name;
    }
    const uint32_t start = (uint32_t)out.size();
    out += central;
    Put32(out, 0x06054B50);
    Put16(out, 0), Put16(out, 0), Put16(out, (uint32_t)Entries.size()), Put16(out, (uint32_t)Entries.size());
    Put32(out, (uint32_t)central.size()), Put32(out, start), Put16(out, 0);
    return out;
}

std::wstring RegistryKey(const std::wstring& ValueName) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\TlvCorp\\zrx", ValueName.c_str(), RRF_RT_REG_SZ, nullptr,
                     buffer, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

std::vector<std::string> LogLines(const std::wstring& FileName) {
    std::vector<std::string> lines;
    std::string bytes = ReadBytes(FileName);
    for (size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    return lines;
}

// Everything of a stream's installation under one scratch folder: "local\", "roaming\", "desktop\",
// "programs\", and the package, the running setup and the log beside them.
class InstallWorkerTest : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        Root = MakeScratchFolder(std::wstring(name.begin(), name.end()));
        const std::wstring install = Root + L"local\\Talvenor\\Apps\\Zorvex\\";
        const std::wstring config = Root + L"roaming\\Talvenor\\Zorvex\\";
        Job.Paths = {Root + L"desktop\\Zorvex.lnk",
                     Root + L"programs\\Zorvex\\",
                     install,
                     config,
                     install + L"Zorvex.exe",
                     install + L"uninstall.exe",
                     install + L"command line.txt",
                     install + L"Core.xml",
                     config + L"Application.xml"};
        ForceDirectories(Root + L"desktop\\");
        Job.PackageFile = Root + L"work\\zrxsetup.zip";
        ForceDirectories(Root + L"work\\");
        Job.LInstallerExeName = Root + L"ZorvexSetup.exe";
        WriteBytes(Job.LInstallerExeName, std::string("MZ setup \0\x01\x02 bytes", 17));
        Job.FInstallLog = Root + L"zrxsetup.log";
        Job.LangID = L"en_GB";
        Job.KeyValueName = L"key-worker-test-" + std::to_wstring(GetCurrentProcessId());
        Job.ProductSite = L"http://www.zorvex.example/";
        Job.Shortcuts = {
            L"Run Zorvex", L"Uninstall Zorvex", L"Go to Zorvex web site", L"Command line documentation", L"4",
            L"5"};
        Job.gReleaseNumber = 4711;
    }
    void TearDown() override {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TlvCorp\\zrx", 0, KEY_SET_VALUE, &key) == 0) {
            RegDeleteValueW(key, Job.KeyValueName.c_str());
            RegCloseKey(key);
        }
        CoUninitialize();
    }
    void Package(const std::vector<TZipEntry>& Entries) { WriteBytes(Job.PackageFile, MakeZip(Entries)); }
    // A package that cannot be installed: the worker ends with False at "Unzip", no later step has left
    // anything, and nothing lies outside the install folder.
    void ExpectRefused(const std::string& Bytes) {
        WriteBytes(Job.PackageFile, Bytes);
        EXPECT_FALSE(Install());
        const std::vector<std::string> log = LogLines(Job.FInstallLog);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "Unzip");
        EXPECT_FALSE(FileExists(Job.U(vsUninstallTool)));
        EXPECT_FALSE(FileExists(Job.U(vsAppConfigXML)));
        EXPECT_FALSE(DirectoryExists(Job.U(vsProgramsGroup)));
        EXPECT_EQ(RegistryKey(Job.KeyValueName), L"<missing>");
        EXPECT_FALSE(FileExists(Root + L"local\\escaped.txt"));
        EXPECT_FALSE(FileExists(Root + L"local\\Talvenor\\escaped.txt"));
    }
    // The next run with a sound package installs over what a refused one left; its folder entry is a folder
    // of the install folder, not one nested in itself.
    void ExpectASoundPackageInstallsOverIt() {
        Package({{"Zorvex.exe", "the tool"},
                 {"docs/", "", FILE_ATTRIBUTE_DIRECTORY},
                 {"docs/readme.txt", Readme}});
        ASSERT_TRUE(Install());
        EXPECT_EQ(ReadBytes(Job.U(vsInstallPath) + L"Zorvex.exe"), "the tool");
        EXPECT_EQ(ReadBytes(Job.U(vsInstallPath) + L"docs\\readme.txt"), Readme);
        EXPECT_FALSE(DirectoryExists(Job.U(vsInstallPath) + L"docs\\docs"));
        EXPECT_EQ(LogLines(Job.FInstallLog).back(), "Done");
    }
    // Entries enough for the unpacking to share them among threads, the tool and a long text first.
    static std::vector<TZipEntry> ManyEntries() {
        std::vector<TZipEntry> entries{{"Zorvex.exe", "the tool"}, {"readme.txt", Readme}};
        for (int i = 0; i < 40; ++i) entries.push_back({"data/part" + std::to_string(i) + ".txt", "part"});
        return entries;
    }
    static inline const std::string Readme = [] {
        std::string text;
        for (int i = 0; i < 1000; ++i) text += "line " + std::to_string(i) + "\r\n";
        return text;
    }();
    // Runs the worker as the setup does, on its own thread with the window's wait.
    bool Install() {
        return RunWorker(L"Installing", [job = Job] { return InstallWorker(job); });
    }
    std::wstring Root;
    TInstallJob Job;
};

TEST_F(InstallWorkerTest, ASecondInstallationReplacesFilesKeyAndSettings) {
    const std::string core = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<core mode=\"fast\"/>\r\n";
    // A read-only file of the package is replaced like any other.
    Package(
        {{"Zorvex.exe", "version one"}, {"Core.xml", core}, {"readme.txt", "one", FILE_ATTRIBUTE_READONLY}});
    ASSERT_TRUE(Install());
    EXPECT_TRUE(GetFileAttributesW((Job.U(vsInstallPath) + L"readme.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    const std::wstring firstKey = RegistryKey(Job.KeyValueName);
    // The tool changes its settings meanwhile; an old desktop link stays when none is chosen now.
    WriteBytes(Job.U(vsAppConfigXML), "<zrx><global><lang>ru_RU</lang><theme>dark</theme></global></zrx>");
    WriteBytes(Job.U(vsDesktopLink), "old link");

    Package(
        {{"Zorvex.exe", "version two"}, {"Core.xml", core}, {"readme.txt", "two", FILE_ATTRIBUTE_READONLY}});
    Job.LangID = L"de_DE";
    ASSERT_TRUE(Install());
    const std::wstring secondKey = RegistryKey(Job.KeyValueName);
    EXPECT_NE(secondKey, firstKey);
    EXPECT_EQ(ReadBytes(Job.U(vsInstallPath) + L"Zorvex.exe"), "version two");
    EXPECT_EQ(ReadBytes(Job.U(vsInstallPath) + L"readme.txt"), "two");
    const std::string coreXml = ReadBytes(Job.U(vsAppCoreXML));
    EXPECT_NE(coreXml.find("key=\"" + Utf8(secondKey) + "\""), std::string::npos) << coreXml;
    EXPECT_NE(coreXml.find("mode=\"fast\""), std::string::npos) << coreXml;
    const std::string config = ReadBytes(Job.U(vsAppConfigXML));
    EXPECT_NE(config.find("<lang>de_DE</lang>"), std::string::npos) << config;
    EXPECT_EQ(config.find("theme"), std::string::npos) << config;
    EXPECT_EQ(ReadBytes(Job.U(vsDesktopLink)), "old link");
}

TEST_F(InstallWorkerTest, APackageThatIsNoZipFailsAtUnzip) {
    const std::string good = MakeZip({{"Zorvex.exe", "the tool"}, {"readme.txt", Readme}});
    for (const std::string& bytes : {std::string("<html><body>A web page, not a package.</body></html>\r\n"),
                                     std::string(), good.substr(0, good.size() / 2)}) {
        SCOPED_TRACE(testing::Message() << bytes.size() << " bytes");
        ExpectRefused(bytes);
    }
    ExpectASoundPackageInstallsOverIt();
}

// Damaged data must end the installation as a failure, on the one-thread road and on the shared one alike.
TEST_F(InstallWorkerTest, AnExtractionErrorFailsTheInstallation) {
    for (std::string package :
         {MakeZip({{"Zorvex.exe", "the tool"}, {"readme.txt", Readme}}), MakeZip(ManyEntries())}) {
        SCOPED_TRACE(testing::Message() << package.size() << " bytes");
        package[package.find("line 500")] = 'X'; // stored: the text lies in the archive as it is
        ExpectRefused(package);
    }
    ExpectASoundPackageInstallsOverIt();
}

TEST_F(InstallWorkerTest, AnEntryThatFailsFailsTheInstallation) {
    ExpectRefused(MakeZip(
        {{"Zorvex.exe", "the tool"}, {"..\\..\\..\\escaped.txt", "evil"}, {"../../escaped.txt", "evil"}}));

    // The tool is running from an earlier installation: its file cannot be replaced.
    ForceDirectories(Job.U(vsInstallPath));
    WriteBytes(Job.U(vsRunExe), "the running tool");
    HANDLE running =
        CreateFileW(Job.U(vsRunExe).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    for (const std::string& package :
         {MakeZip({{"Zorvex.exe", "the tool"}, {"readme.txt", Readme}}), MakeZip(ManyEntries())}) {
        SCOPED_TRACE(testing::Message() << package.size() << " bytes");
        ExpectRefused(package);
    }
    CloseHandle(running);
    EXPECT_EQ(ReadBytes(Job.U(vsRunExe)), "the running tool");
    ExpectASoundPackageInstallsOverIt();
}

TEST_F(InstallWorkerTest, AMissingPackageFailsAtUnzip) {
    EXPECT_FALSE(Install());
    EXPECT_EQ(LogLines(Job.FInstallLog).back(), "Unzip");
}

// Link captions come from a language file that may have been downloaded.
TEST_F(InstallWorkerTest, CaptionsMakeLinksOnlyInsideTheGroup) {
    Package({{"Zorvex.exe", "the tool"}});
    Job.Shortcuts = {L"..\\..\\desktop\\Run", L"", L"Web: site", L"Docs"};
    ASSERT_TRUE(Install());
    EXPECT_FALSE(FileExists(Root + L"desktop\\Run.lnk"));
    EXPECT_FALSE(FileExists(Job.U(vsProgramsGroup) + L".lnk"));
    EXPECT_TRUE(FileExists(Job.U(vsProgramsGroup) + L"Docs.lnk"));

    // A language file that leaves out a caption fails the links step, like any read of a missing line.
    Job.Shortcuts.resize(3);
    EXPECT_FALSE(Install());
    EXPECT_EQ(LogLines(Job.FInstallLog).back(), "Create Links");
}

} // namespace

// Hostile packages: each ends the worker with a False result and the failing step last in the log, and a
// sound package then installs over what it left.
class HostilePackageTest : public InstallWorkerTest {
protected:
    void FailsAt(const char* Step) {
        EXPECT_FALSE(Install());
        EXPECT_EQ(LogLines(Job.FInstallLog).back(), Step);
        Package({{"Zorvex.exe", "sound"}, {"Core.xml", "<Core version=\"3\"/>"}});
        ASSERT_TRUE(Install());
        EXPECT_EQ(ReadBytes(Job.U(vsRunExe)), "sound");
        EXPECT_NE(ReadBytes(Job.U(vsAppCoreXML)).find("<Core version=\"3\""), std::string::npos);
    }
    bool InstallFolderEmpty() {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((Job.U(vsInstallPath) + L"*").c_str(), &found);
        int names = 0;
        if (h != INVALID_HANDLE_VALUE) {
            do names += wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..");
            while (FindNextFileW(h, &found));
            FindClose(h);
        }
        return names == 0;
    }
};

// The classic end record counts at most 0xFFFF entries; a ZIP64 archive's, or a damaged one's, may count
// fewer than its directory holds. Refused before any file is written.
TEST_F(HostilePackageTest, AnArchiveReadInPartIsRefusedBeforeAnythingIsWritten) {
    std::string zip = MakeZip({{"Zorvex.exe", "tool"}, {"a.txt", "a"}, {"b.txt", "b"}});
    const size_t end = zip.rfind("PK\x05\x06");
    zip[end + 8] = zip[end + 10] = 2;
    ExpectRefused(zip);
    EXPECT_TRUE(InstallFolderEmpty());
    std::string shifted = MakeZip({{"Zorvex.exe", "tool"}});
    shifted[shifted.rfind("PK\x05\x06") + 16] = 0; // the directory's offset points at the local header
    ExpectRefused(shifted);
    EXPECT_TRUE(InstallFolderEmpty());
    ExpectASoundPackageInstallsOverIt();
}

TEST_F(HostilePackageTest, FilesThatCannotBePutInPlace) {
    // A file where a later entry needs a folder.
    Package({{"Zorvex.exe", "tool"}, {"data", "a file"}, {"data/x.txt", "x"}});
    FailsAt("Unzip");
    // A read-only entry where the installation writes: replaced, now and on every later installation.
    Package({{"Zorvex.exe", "tool"},
             {"uninstall.exe", "read-only", FILE_ATTRIBUTE_READONLY},
             {"Core.xml", "<Core/>", FILE_ATTRIBUTE_READONLY}});
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadBytes(Job.U(vsUninstallTool)), ReadBytes(Job.LInstallerExeName));
    ASSERT_TRUE(Install());
    SetFileAttributesW(Job.U(vsAppConfigXML).c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(Install());
}

// A Core.xml that holds nothing (no bytes, a header alone, comments alone) is the package's way of bringing
// none: the installation writes the new document it writes then, and succeeds.
TEST_F(InstallWorkerTest, AnEmptyCoreXmlCountsAsAbsent) {
    const auto coreAfter = [this](const std::vector<TZipEntry>& Entries) {
        DeleteFileW(Job.U(vsAppCoreXML).c_str());
        Package(Entries);
        EXPECT_TRUE(Install());
        EXPECT_EQ(LogLines(Job.FInstallLog).back(), "Done");
        return ReadBytes(Job.U(vsAppCoreXML));
    };
    const std::string none = coreAfter({{"Zorvex.exe", "tool"}});
    EXPECT_EQ(none, "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\r\n"
                    "  <number>4711</number>\r\n");
    for (const std::string& empty :
         {std::string(), std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"),
          std::string("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"windows-1251\"?>"),
          std::string("<!-- settings come with the first start -->\r\n<!---->"),
          std::string("<?xml version=\"1.0\"?>\r\n<!-- none yet -->\r\n\r\n"), std::string("\xEF\xBB\xBF"),
          std::string(" \r\n\t\r\n"), std::string("\xFF\xFE\r\0\n\0", 6)}) {
        SCOPED_TRACE(empty);
        EXPECT_EQ(coreAfter({{"Zorvex.exe", "tool"}, {"Core.xml", empty}}), none);
    }
}

TEST_F(HostilePackageTest, ACoreXmlThatCannotBeReadStopsTheInstallation) {
    const std::string utf7 =
        "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\r\n<Core version=\"3\"><plugins/></Core>\r\n";
    Package({{"Zorvex.exe", "tool"}, {"Core.xml", utf7}});
    FailsAt("Make Core XML");
    Package({{"Zorvex.exe", "tool"}, {"Core.xml", std::string("\0\x01\xff\xfe garbage", 12)}});
    FailsAt("Make Core XML");
    // Beyond any real one: refused unread.
    std::string huge = "<Core>";
    while (huge.size() <= (4u << 20)) huge += "<plugin name=\"p\"/>";
    Package({{"Zorvex.exe", "tool"}, {"Core.xml", huge + "</Core>"}});
    FailsAt("Make Core XML");
}

// Failed first installations, and packages without the tool or too large for the drive.
class FailedInstallTest : public InstallWorkerTest {
protected:
    // The profile's folders are there before any installation.
    void SetUp() override {
        InstallWorkerTest::SetUp();
        ForceDirectories(Root + L"local\\");
        ForceDirectories(Root + L"roaming\\");
    }
    // Nothing of the stream is left: no folders (nor the parents made for them), no links, no key.
    void ExpectNothingLeft() {
        EXPECT_FALSE(DirectoryExists(Root + L"local\\Talvenor"));
        EXPECT_FALSE(DirectoryExists(Root + L"roaming\\Talvenor"));
        EXPECT_FALSE(DirectoryExists(Job.U(vsProgramsGroup)));
        EXPECT_EQ(RegistryKey(Job.KeyValueName), L"<missing>");
        EXPECT_TRUE(DirectoryExists(Root + L"local"));
        EXPECT_TRUE(DirectoryExists(Root + L"roaming"));
    }
    void ExpectFailsAt(const char* Step) {
        EXPECT_FALSE(Install());
        EXPECT_EQ(LogLines(Job.FInstallLog).back(), Step);
    }
    // Entries of 4 GB declared, enough of them to exceed the drive's free space, over a little data each.
    std::vector<TZipEntry> Oversized() {
        const int64_t free = FreeSpaceAt(Root);
        EXPECT_GT(free, 0);
        std::vector<TZipEntry> entries{{"Zorvex.exe", "the new tool"}};
        for (int64_t i = 0; i <= free / 0xFFFF0000; ++i)
            entries.push_back(
                {"big" + std::to_string(i) + ".bin", "data", FILE_ATTRIBUTE_ARCHIVE, 0xFFFF0000});
        return entries;
    }
};

TEST_F(FailedInstallTest, AFirstInstallationThatFailsLeavesNothing) {
    // At the unpacking, with files already written; at the tool's settings; at the links, after the key.
    Package({{"Zorvex.exe", "the tool"}, {"docs/readme.txt", Readme}, {"docs/bad.txt", "bad", 0, -1, 1}});
    ExpectFailsAt("Unzip");
    ExpectNothingLeft();
    Package({{"Zorvex.exe", "the tool"}, {"Core.xml", "<?xml version=\"1.0\" encoding=\"UTF-7\"?><c/>"}});
    ExpectFailsAt("Make Core XML");
    ExpectNothingLeft();
    Package({{"Zorvex.exe", "the tool"}});
    Job.Shortcuts.resize(2);
    ExpectFailsAt("Create Links");
    ExpectNothingLeft();

    // Over an installation, a failure leaves what was there and what the run wrote.
    Job.Shortcuts = {L"Run", L"Uninstall", L"Web", L"Docs"};
    ASSERT_TRUE(Install());
    const std::wstring key = RegistryKey(Job.KeyValueName);
    Package({{"Zorvex.exe", "the new tool"}, {"docs/bad.txt", "bad", 0, -1, 1}});
    ExpectFailsAt("Unzip");
    EXPECT_EQ(ReadBytes(Job.U(vsRunExe)), "the new tool");
    EXPECT_TRUE(FileExists(Job.U(vsAppConfigXML)));
    EXPECT_TRUE(FileExists(Job.U(vsProgramsGroup) + L"Run.lnk"));
    EXPECT_EQ(RegistryKey(Job.KeyValueName), key);
}

TEST_F(FailedInstallTest, APackageWithoutTheToolIsRefusedBeforeAnythingIsWritten) {
    for (const std::vector<TZipEntry>& entries : {std::vector<TZipEntry>{},
                                                  {{"readme.txt", Readme}},
                                                  {{"bin/Zorvex.exe", "elsewhere"}},
                                                  {{"Zorvex.exe/", "", FILE_ATTRIBUTE_DIRECTORY}}}) {
        SCOPED_TRACE(testing::Message() << entries.size() << " entries");
        Package(entries);
        ExpectFailsAt("Unzip");
        ExpectNothingLeft();
    }
    // Named in another case, it is the tool all the same.
    Package({{"zorvex.EXE", "the tool"}});
    ASSERT_TRUE(Install());
    // Over an installation, nothing of such a package is unpacked.
    Package({{"readme.txt", "new"}});
    ExpectFailsAt("Unzip");
    EXPECT_FALSE(FileExists(Job.U(vsInstallPath) + L"readme.txt"));
    EXPECT_EQ(ReadBytes(Job.U(vsRunExe)), "the tool");
}

TEST_F(FailedInstallTest, APackageLargerThanTheDriveIsRefusedBeforeAnythingIsWritten) {
    Package(Oversized());
    ExpectFailsAt("Unzip");
    ExpectNothingLeft();
    ExpectASoundPackageInstallsOverIt();
    Package(Oversized());
    ExpectFailsAt("Unzip");
    // Not even the entries before the large ones are written.
    EXPECT_EQ(ReadBytes(Job.U(vsRunExe)), "the tool");
    EXPECT_FALSE(FileExists(Job.U(vsInstallPath) + L"big0.bin"));

    // The need counts whole clusters per file and a margin; the free space of a folder still to be made
    // is its drive's.
    TOxZip zip(nullptr);
    zip.Open(AnsiString(Job.PackageFile.begin(), Job.PackageFile.end()));
    ASSERT_TRUE(zip.IsZipFile());
    const int64_t declared = int64_t(zip.Entries()->Count() - 1) * 0xFFFF0000 + 4096;
    EXPECT_EQ(PackageSpaceNeeded(zip), declared + declared / 32 + (16 << 20));
    const int64_t free = FreeSpaceAt(Root + L"not\\yet\\made\\");
    EXPECT_GT(free, 0);
    EXPECT_LT(std::abs(free - FreeSpaceAt(Root)), 64 << 20);
    EXPECT_EQ(FreeSpaceAt(L"no parent"), -1);
}
