// The install worker against real packages in scratch folders: what lands where, what a second installation
// replaces, and how broken packages and hostile captions end.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/engine/Setup.InstallWorker.h"
#include "app/engine/Setup.Worker.h"
#include "runtime/Files.h"
#include "runtime/SysUtils.h"

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
        const uint32_t crc = crc32(0, (const Bytef*)e.Data.data(), (uInt)e.Data.size());
        const uint32_t offset = (uint32_t)out.size();
        Put32(out, 0x04034B50);
        Put16(out, 10), Put16(out, 0), Put16(out, 0), Put32(out, 0x21 << 16);
        Put32(out, crc), Put32(out, (uint32_t)e.Data.size()), Put32(out, (uint32_t)e.Data.size());
        Put16(out, (uint32_t)e.Name.size()), Put16(out, 0);
        out += e.Name + e.Data;
        Put32(central, 0x02014B50);
        Put16(central, 20), Put16(central, 10), Put16(central, 0), Put16(central, 0),
            Put32(central, 0x21 << 16);
        Put32(central, crc), Put32(central, (uint32_t)e.Data.size()), Put32(central, (uint32_t)e.Data.size());
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

// A shell link read back: its target and arguments.
struct TLinkInfo {
    bool Loaded = false;
    std::wstring Path, Arguments;
};
TLinkInfo ReadLink(const std::wstring& FileName) {
    TLinkInfo info;
    IShellLinkW* link = nullptr;
    if (FAILED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link)))
        return info;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
        if (SUCCEEDED(file->Load(FileName.c_str(), STGM_READ))) {
            wchar_t buffer[MAX_PATH * 2] = {};
            info.Loaded = true;
            link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
            info.Path = buffer;
            buffer[0] = 0;
            link->GetArguments(buffer, MAX_PATH * 2);
            info.Arguments = buffer;
        }
        file->Release();
    }
    link->Release();
    return info;
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
    // Runs the worker as the setup does, on its own thread with the window's wait.
    bool Install() {
        return RunWorker(L"Installing", [job = Job] { return InstallWorker(job); });
    }
    std::wstring Root;
    TInstallJob Job;
};

const std::string Header = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\r\n";

TEST_F(InstallWorkerTest, AFullInstallationPutsEveryPieceInPlace) {
    Package({{"Zorvex.exe", "the tool"},
             {"command line.txt", "switches"},
             {"data/skins/dark.txt", "dark"},
             {"Core.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                          "<core path=\"old\" mode=\"fast\" key=\"{OLD}\">\r\n"
                          "  <number>12</number>\r\n  <server>s1</server>\r\n</core>\r\n"}});
    Job.Options.CreateDesktopIcon = true;
    ASSERT_TRUE(Install());

    const std::wstring install = Job.U(vsInstallPath);
    EXPECT_EQ(ReadBytes(install + L"Zorvex.exe"), "the tool");
    EXPECT_EQ(ReadBytes(install + L"data\\skins\\dark.txt"), "dark");
    EXPECT_EQ(ReadBytes(Job.U(vsUninstallTool)), ReadBytes(Job.LInstallerExeName));

    // The package's own attributes and children stay; path, key and number are set in place, not doubled.
    const std::wstring key = RegistryKey(Job.KeyValueName);
    ASSERT_EQ(key.size(), 38u);
    EXPECT_EQ(ReadBytes(Job.U(vsAppCoreXML)),
              Header + "<core path=\"" + Utf8(install) + "\" mode=\"fast\" key=\"" + Utf8(key) + "\">\r\n" +
                  "  <number>4711</number>\r\n  <server>s1</server>\r\n</core>\r\n");
    EXPECT_EQ(ReadBytes(Job.U(vsAppConfigXML)), Header + "<zrx path=\"" + Utf8(install) + "\">\r\n" +
                                                    "  <global>\r\n    <lang>en_GB</lang>\r\n"
                                                    "    <workmode>1</workmode>\r\n    <eula>True</eula>\r\n"
                                                    "  </global>\r\n</zrx>\r\n");

    const std::wstring group = Job.U(vsProgramsGroup);
    const struct {
        std::wstring Link, Target, Arguments;
    } links[] = {{group + L"Run Zorvex.lnk", Job.U(vsRunExe), L""},
                 {group + L"Uninstall Zorvex.lnk", Job.U(vsUninstallTool), L"-uninstall"},
                 {group + L"Command line documentation.lnk", Job.U(vsCommandLineTxt), L""},
                 {Job.U(vsDesktopLink), Job.U(vsRunExe), L""}};
    for (const auto& l : links) {
        TLinkInfo info = ReadLink(l.Link);
        ASSERT_TRUE(info.Loaded) << l.Link;
        EXPECT_TRUE(SameText(info.Path, l.Target)) << info.Path;
        EXPECT_EQ(info.Arguments, l.Arguments);
    }
    EXPECT_TRUE(FileExists(group + L"Go to Zorvex web site.lnk"));

    EXPECT_EQ(
        LogLines(Job.FInstallLog),
        (std::vector<std::string>{"Initialize", "ForceDirectories", "Unzip", "Unzip - Done", "Copy uninstall",
                                  "Make Core XML", "Make Config XML", "Create Links", "Done"}));
}

TEST_F(InstallWorkerTest, APackageWithoutCoreXmlStillGetsOneAndTheKeyStillGoesToTheRegistry) {
    Package({{"Zorvex.exe", "the tool"}});
    ASSERT_TRUE(Install());
    // The unnamed root writes only its child, at the child level.
    EXPECT_EQ(ReadBytes(Job.U(vsAppCoreXML)), Header + "  <number>4711</number>\r\n");
    EXPECT_EQ(RegistryKey(Job.KeyValueName).size(), 38u);
    // Not chosen: no desktop link.
    EXPECT_FALSE(FileExists(Job.U(vsDesktopLink)));
}

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

// A broken package stops the worker at "Unzip": the wait ends with False, nothing lands outside the install
// folder, and a sound package installs over what was left.
TEST_F(InstallWorkerTest, BrokenPackagesFailAtUnzipAndLeaveRoomForTheNextRun) {
    std::string readme;
    for (int i = 0; i < 1000; ++i) readme += "line " + std::to_string(i) + "\r\n";
    const std::string good = MakeZip({{"Zorvex.exe", "the tool"}, {"readme.txt", readme}});
    std::string crcDamaged = good;
    crcDamaged[crcDamaged.find("line 500")] = 'X';
    const struct {
        const char* What;
        std::string Bytes;
    } cases[] = {
        {"no archive", "This is not a ZIP archive at all, just text.\r\n"},
        {"truncated", good.substr(0, good.size() / 2)},
        {"CRC damaged", crcDamaged},
        {"entry leaving the folder", MakeZip({{"Zorvex.exe", "the tool"},
                                              {"..\\..\\..\\escaped.txt", "evil"},
                                              {"../../../escaped2.txt", "evil"}})},
        {"empty file", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        WriteBytes(Job.PackageFile, c.Bytes);
        EXPECT_FALSE(Install());
        const std::vector<std::string> log = LogLines(Job.FInstallLog);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "Unzip");
        EXPECT_FALSE(FileExists(Job.U(vsUninstallTool)));
        EXPECT_FALSE(FileExists(Job.U(vsAppConfigXML)));
        EXPECT_FALSE(DirectoryExists(Job.U(vsProgramsGroup)));
        EXPECT_EQ(RegistryKey(Job.KeyValueName), L"<missing>");
        EXPECT_FALSE(FileExists(Root + L"local\\escaped.txt"));
        EXPECT_FALSE(FileExists(Root + L"local\\escaped2.txt"));
    }
    WriteBytes(Job.PackageFile, good);
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadBytes(Job.U(vsInstallPath) + L"readme.txt"), readme);
    EXPECT_EQ(LogLines(Job.FInstallLog).back(), "Done");
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
