// The download source against the test server, reached through the system proxy under the setup's real
// server names.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "NetTestSupport.h"
#include "app/core/System.Application.Extended.h"
#include "net/Setup.Servers.h"
#include "net/Setup.Source.h"
#include "runtime/Files.h"
#include "runtime/SysUtils.h"
#include "runtime/gui/Application.h"

using namespace NetTest;

namespace {

class SourceEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        Application->SetTitle(L"Zrx Net Source Test");
        std::wstring proxy = ProxyAddress();
        SetSystemProxy(true, &proxy);
    }
    void TearDown() override { SetSystemProxy(false, nullptr); }
};
::testing::Environment* const sourceEnvironment = ::testing::AddGlobalTestEnvironment(new SourceEnvironment);

std::string Narrow(const std::wstring& S) {
    return std::string(S.begin(), S.end());
}

// "host/path/" of a base address, as the server's folders lay it out.
std::string Folder(const std::wstring& Base) {
    return Narrow(Base.substr(Base.find(L"://") + 3));
}

const std::string Main = Folder(TSource::MainServerBase());
const std::string Mirror = Folder(TSource::MirrorBase());
const std::string MirrorBeta = Folder(TSource::MirrorBetaBase());
const std::string MainHost = HostOf(ZrxServers::MainServer);
const std::string MirrorHost = HostOf(ZrxServers::MirrorServer);

// Files beside the test program, which is the "program's folder" of local mode.
const wchar_t* const LocalNames[] = {L"system.xml", L"Langs.xml", L"EULA_en_GB"};

class Source : public ::testing::Test {
protected:
    void SetUp() override {
        ClearServer();
        ClearLog();
        RemoveLocalFiles();
    }
    void TearDown() override { RemoveLocalFiles(); }
    static void RemoveLocalFiles() {
        for (const wchar_t* name : LocalNames) DeleteFileW((TApplicationHelper::GetExeDir() + name).c_str());
    }
    static std::vector<std::string> HostsAsked() {
        std::vector<std::string> hosts;
        for (const auto& r : ReadLog()) hosts.push_back(r.Host);
        return hosts;
    }
    static bool Request(TSource& S, const std::wstring& Name) {
        return RunOnWorker([&] { return S.Request(Name); });
    }
};

using Hosts = std::vector<std::string>;

} // namespace

TEST_F(Source, TheMainServerThatAnswersServesTheWholeRun) {
    PutFile(Main + "system.xml", "<manifest/>");
    PutFile(Main + "Langs.xml", "<langs/>");
    PutFile(Mirror + "Langs.xml", "<mirror/>");
    TSource source;
    EXPECT_FALSE(source.bUseBetaStream);
    EXPECT_EQ(source.RealSource, stUnknown);
    EXPECT_EQ(source.baseTemp, TApplicationHelper::GetTempDir(true));
    EXPECT_EQ(source.selfPath, TApplicationHelper::GetExeDir());

    ASSERT_TRUE(Request(source, L"system.xml"));
    EXPECT_EQ(source.RealSource, stWebServer);
    EXPECT_EQ(source.baseURL, TSource::MainServerBase());
    EXPECT_EQ(source.topRequest, L"system.xml");
    EXPECT_EQ(source.topAddress, TSource::MainServerBase() + L"system.xml");
    EXPECT_EQ(ReadFile(source.Use(L"system.xml")), "<manifest/>");

    EXPECT_TRUE(Request(source, L"Langs.xml"));
    EXPECT_EQ(ReadFile(source.Use(L"Langs.xml")), "<langs/>");
    // A later failure stays a failure: no fallback to the mirror. An older copy does not survive it.
    WriteFile(source.Use(L"Lang_de_DE.xml"), "older");
    EXPECT_FALSE(Request(source, L"Lang_de_DE.xml"));
    EXPECT_FALSE(Exists(source.Use(L"Lang_de_DE.xml")));
    EXPECT_EQ(source.topRequest, L"Lang_de_DE.xml");
    EXPECT_EQ(source.topAddress, L"");
    EXPECT_EQ(HostsAsked(), Hosts({MainHost, MainHost, MainHost}));
}

TEST_F(Source, WhenTheMainServerIsDownTheMirrorServesTheWholeRun) {
    PutFile(Mirror + "system.xml", "<mirror-manifest/>");
    PutFile(Mirror + "Langs.xml", "<langs/>");
    TSource source;
    ASSERT_TRUE(Request(source, L"system.xml"));
    EXPECT_EQ(source.RealSource, stWebServer);
    EXPECT_EQ(source.baseURL, TSource::MirrorBase());
    EXPECT_EQ(ReadFile(source.Use(L"system.xml")), "<mirror-manifest/>");
    EXPECT_TRUE(Request(source, L"Langs.xml"));
    // A missing file on the mirror does not send the run to the local folder.
    WriteFile(TApplicationHelper::GetExeDir() + L"EULA_en_GB", "local terms");
    EXPECT_FALSE(Request(source, L"EULA_en_GB"));
    EXPECT_EQ(source.RealSource, stWebServer);
    EXPECT_EQ(HostsAsked(), Hosts({MainHost, MirrorHost, MirrorHost, MirrorHost}));
}

TEST_F(Source, WhenNoServerAnswersTheProgramFolderServesTheWholeRun) {
    PutFile(Main + "Langs.xml", "<web/>"); // the web is never asked again once local
    TSource source;
    EXPECT_FALSE(Request(source, L"system.xml"));
    EXPECT_EQ(source.RealSource, stLocal);
    EXPECT_EQ(source.baseURL, source.selfPath);
    EXPECT_FALSE(Exists(source.Use(L"system.xml")));
    EXPECT_EQ(HostsAsked(), Hosts({MainHost, MirrorHost}));

    WriteFile(source.selfPath + L"Langs.xml", "<local/>");
    EXPECT_TRUE(Request(source, L"Langs.xml"));
    EXPECT_EQ(ReadFile(source.Use(L"Langs.xml")), "<local/>");
    EXPECT_EQ(source.topAddress, source.selfPath + L"Langs.xml");
    // Copies replace what is there.
    WriteFile(source.selfPath + L"Langs.xml", "<local again/>");
    EXPECT_TRUE(Request(source, L"Langs.xml"));
    EXPECT_EQ(ReadFile(source.Use(L"Langs.xml")), "<local again/>");

    // A file that is not beside the program: an older copy in the working folder goes.
    WriteFile(source.Use(L"EULA_en_GB"), "older terms");
    EXPECT_FALSE(Request(source, L"EULA_en_GB"));
    EXPECT_FALSE(Exists(source.Use(L"EULA_en_GB")));
    EXPECT_EQ(HostsAsked().size(), 2u);

    // Beside the program as on the web, a file larger than a download without progress may be is missing.
    std::string large(size_t(CNetwork::SmallFileMaximum), ' ');
    WriteFile(source.selfPath + L"Lang_de_DE.xml", "<a/>" + large.substr(4));
    EXPECT_TRUE(Request(source, L"Lang_de_DE.xml"));
    WriteFile(source.selfPath + L"Lang_de_DE.xml", "<a/>" + large);
    EXPECT_FALSE(Request(source, L"Lang_de_DE.xml"));
    EXPECT_FALSE(Exists(source.Use(L"Lang_de_DE.xml")));
    DeleteFileW((source.selfPath + L"Lang_de_DE.xml").c_str());
}

TEST_F(Source, TheFirstRequestCanBeAnsweredFromTheProgramFolder) {
    WriteFile(TApplicationHelper::GetExeDir() + L"system.xml", "<beside/>");
    TSource source;
    EXPECT_TRUE(Request(source, L"system.xml"));
    EXPECT_EQ(source.RealSource, stLocal);
    EXPECT_EQ(ReadFile(source.Use(L"system.xml")), "<beside/>");
}

TEST_F(Source, ProgressRequestsUseTheChosenBaseAndLeaveTopRequest) {
    const std::string package = RandomBytes(150000, 5);
    PutFile(Main + "system.xml", "<manifest/>");
    PutFile(Main + "zrxsetup.zip", package);
    TSource source;
    // Before any plain request there is no base: the address is the bare name, and the transfer fails.
    int64_t announced = -1;
    bool ended = false;
    EXPECT_FALSE(RunOnWorker([&] {
        return source.Request(
            L"zrxsetup.zip", [&](int64_t n) { announced = n; }, [](int64_t) {}, [&] { ended = true; });
    }));
    EXPECT_FALSE(Exists(source.Use(L"zrxsetup.zip")));

    ASSERT_TRUE(Request(source, L"system.xml"));
    int64_t last = 0;
    EXPECT_TRUE(RunOnWorker([&] {
        return source.Request(
            L"zrxsetup.zip", [&](int64_t n) { announced = n; }, [&](int64_t n) { last = n; },
            [&] { ended = true; });
    }));
    EXPECT_EQ(announced, 150000);
    EXPECT_EQ(last, 150000);
    EXPECT_TRUE(ended);
    EXPECT_EQ(ReadFile(source.Use(L"zrxsetup.zip")), package);
    EXPECT_EQ(source.topRequest, L"system.xml");
}

TEST_F(Source, EmbeddedResourcesAreWrittenByIdAndByName) {
    TSource source;
    WriteFile(source.Use(L"zrxsetup.zip"), "an older, longer file that the resource replaces entirely");
    source.RequestResource2(L"zrxsetup.zip", 100);
    EXPECT_EQ(ReadFile(source.Use(L"zrxsetup.zip")), ReadFile(L"" ZRX_TEST_DATA L"/package.bin"));
    EXPECT_EQ(source.topRequest, L"zrxsetup.zip");

    source.RequestResource(L"EULA_en_GB");
    EXPECT_EQ(ReadFile(source.Use(L"EULA_en_GB")), ReadFile(L"" ZRX_TEST_DATA L"/terms.html"));
    EXPECT_EQ(source.topRequest, L"EULA_en_GB");
    EXPECT_EQ(source.topAddress, L""); // the built-in terms

    EXPECT_THROW(source.RequestResource2(L"other.bin", 101), EResNotFound);
    EXPECT_THROW(source.RequestResource(L"EULA_xx_XX"), EResNotFound);
}

TEST_F(Source, FreeingTheSourceRemovesTheWorkingFolder) {
    std::wstring folder;
    {
        TSource source;
        folder = source.baseTemp;
        WriteFile(source.Use(L"system.xml"), "x");
        CreateDirectoryW((folder + L"sub").c_str(), nullptr);
        WriteFile(folder + L"sub\\file", "y");
    }
    EXPECT_FALSE(DirectoryExists(folder));
}

TEST_F(Source, ACancelledSourceGivesUpTheDownloadUnderWayAndAsksForNothingMore) {
    PutFile(Main + "system.xml", "<manifest/>");
    PutFile(Main + "zrxsetup.zip", RandomBytes(200000, 4));
    Misbehave(Main + "zrxsetup.zip", "slow 50"); // ten seconds in all
    PutFile(Main + "Langs.xml", "<langs/>");
    TSource source;
    ASSERT_TRUE(Request(source, L"system.xml"));

    // Cancelled as the first bytes are counted, the download ends at once and leaves no file.
    bool cancelled = false, ended = false;
    EXPECT_FALSE(RunOnWorker([&] {
        return source.Request(
            L"zrxsetup.zip", [](int64_t) {},
            [&](int64_t) {
                if (!cancelled) source.Cancel();
                cancelled = true;
            },
            [&] { ended = true; });
    }));
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(Exists(source.Use(L"zrxsetup.zip")));

    // Every later request fails without a word to any server, also one that would choose a source.
    const size_t asked = ReadLog().size();
    EXPECT_FALSE(Request(source, L"Langs.xml"));
    EXPECT_FALSE(Exists(source.Use(L"Langs.xml")));
    TSource fresh;
    fresh.Cancel();
    EXPECT_FALSE(Request(fresh, L"system.xml"));
    EXPECT_EQ(ReadLog().size(), asked);
}

// Run by ctest with the stream switch on the command line; ZRX_EXPECT_STREAM says what it selects.
TEST_F(Source, TheStreamSwitchChoosesTheWebSources) {
    const char* expected = std::getenv("ZRX_EXPECT_STREAM");
    if (!expected) GTEST_SKIP() << "needs a -stream switch (run through ctest)";
    PutFile(Main + "system.xml", "<main/>");
    PutFile(Mirror + "system.xml", "<mirror/>");
    TSource source;
    if (std::string(expected) == "beta") {
        EXPECT_TRUE(source.bUseBetaStream);
        // The beta stream is on the mirror only; with the mirror down the program folder comes next.
        EXPECT_FALSE(Request(source, L"system.xml"));
        EXPECT_EQ(source.RealSource, stLocal);
        EXPECT_EQ(HostsAsked(), Hosts({MirrorHost}));
        EXPECT_EQ(ReadLog()[0].Line.find("/zrx/setup-beta/system.xml") != std::string::npos, true);

        PutFile(MirrorBeta + "system.xml", "<beta/>");
        TSource second;
        EXPECT_TRUE(Request(second, L"system.xml"));
        EXPECT_EQ(second.baseURL, TSource::MirrorBetaBase());
        EXPECT_EQ(ReadFile(second.Use(L"system.xml")), "<beta/>");
    } else {
        EXPECT_FALSE(source.bUseBetaStream);
        EXPECT_TRUE(Request(source, L"system.xml"));
        EXPECT_EQ(source.baseURL, TSource::MainServerBase());
    }
}

TEST_F(Source, AWorkingFolderThatTakesNoFilesIsToldBeforeAnyRequest) {
    TSource source;
    EXPECT_TRUE(source.CanWrite());

    // A file where the working folder belongs: nothing can be made in it, a resource raises and leaves no
    // file.
    const std::wstring folder = ExcludeTrailingPathDelimiter(source.baseTemp);
    ASSERT_TRUE(RemoveDirectoryW(folder.c_str()));
    WriteFile(folder, "not a folder");
    EXPECT_FALSE(source.CanWrite());
    EXPECT_THROW(source.RequestResource(L"EULA_en_GB"), EFCreateError);
    EXPECT_EQ(ReadFile(folder), "not a folder");
    ASSERT_TRUE(DeleteFileW(folder.c_str()));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_TRUE(source.CanWrite());
}
