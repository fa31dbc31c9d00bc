#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "TestSupport.h"
#include "app/core/System.Application.Extended.h"
#include "app/engine/Setup.LocalInstallation.h"
#include "runtime/Files.h"
#include "runtime/Streams.h"

namespace {
// The files are read and written through the program's own streams.
std::string ReadBytes(const std::wstring& FileName) {
    TMemoryStream data;
    data.LoadFromFile(FileName);
    return std::string((const char*)data.Memory(), (size_t)data.Size());
}

void WriteBytes(const std::wstring& FileName, const std::string& Bytes) {
    TFileStream file(FileName, fmCreate);
    file.WriteBuffer(Bytes.data(), (int32_t)Bytes.size());
}

// Bytes of every value, zeros among them, as a package has.
std::string SomeBytes(size_t Size, uint32_t Seed) {
    std::string bytes(Size, '\0');
    for (size_t i = 0; i < Size; ++i) {
        Seed = Seed * 1103515245u + 12345u;
        bytes[i] = (char)(Seed >> 16);
    }
    return bytes;
}

// The real setup, with the resources of its own.
std::wstring SetupExe() {
    return TApplicationHelper::GetExeDir() + L"..\\..\\app\\ZorvexSetup.exe";
}

// A resource of a module file, read as data; none when it is missing.
std::optional<std::string> ResourceOf(const std::wstring& FileName, const wchar_t* Type, const wchar_t* Name,
                                      WORD Language) {
    HMODULE module =
        LoadLibraryExW(FileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return std::nullopt;
    std::optional<std::string> result;
    if (HRSRC info = FindResourceExW(module, Type, Name, Language))
        if (HGLOBAL data = LoadResource(module, info))
            result.emplace((const char*)LockResource(data), SizeofResource(module, info));
    FreeLibrary(module);
    return result;
}

std::optional<std::string> Embedded(const std::wstring& FileName, int Id) {
    return ResourceOf(FileName, RT_RCDATA, MAKEINTRESOURCEW(Id), 0);
}

class LocalSetup : public testing::Test {
protected:
    void SetUp() override {
        // A blank in the folder's name, as "Program Files" or "New folder" have.
        Target = MakeScratchFolder(L"local target");
        Work = MakeScratchFolder(L"local work");
        Package = SomeBytes(300000, 7);
        Manifest =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<zrx><version>10</version><number>4711</number>"
            "</zrx>\r\n";
        WriteBytes(Work + L"zrxsetup.zip", Package);
        WriteBytes(Work + L"system.xml", Manifest);
        Job.WorkPath = Target;
        Job.CurrentExe = SetupExe();
        Job.CurrentZip = Work + L"zrxsetup.zip";
        Job.SystemXML = Work + L"system.xml";
        // Any program that ends at once serves as an unpacker that finds nothing to unpack.
        Job.UpxPath = TApplicationHelper::GetExeDir() + L"switch_probe.exe";
    }

    std::wstring Made() const { return Target + L"ZorvexSetup.exe"; }

    std::wstring Target, Work;
    std::string Package, Manifest;
    TLocalInstallationJob Job;
};
} // namespace

TEST_F(LocalSetup, AResourceUpdateThatFailsRaisesAndWritesNothing) {
    TFile::Copy(SetupExe(), Made(), true);
    const std::string before = ReadBytes(Made());
    EXPECT_ANY_THROW(EmbedSetupResources(Made(), Job.CurrentZip, Work + L"missing.xml"));
    EXPECT_EQ(ReadBytes(Made()), before);
    EXPECT_FALSE(Embedded(Made(), PackageResourceId).has_value());

    // A file that is no program cannot carry resources.
    WriteBytes(Made(), "not a program");
    EXPECT_THROW(EmbedSetupResources(Made(), Job.CurrentZip, Job.SystemXML), EOSError);
    EXPECT_EQ(ReadBytes(Made()), "not a program");
}

TEST_F(LocalSetup, AWorkerThatFailsLeavesNoHalfMadeSetup) {
    // The package vanished after the copy was made and unpacked.
    Job.CurrentZip = Work + L"gone.zip";
    EXPECT_ANY_THROW(MakeLocalInstallationWorker(Job));
    EXPECT_FALSE(FileExists(Made()));

    // The running setup cannot be copied.
    Job.CurrentZip = Work + L"zrxsetup.zip";
    Job.CurrentExe = Work + L"no such setup.exe";
    EXPECT_ANY_THROW(MakeLocalInstallationWorker(Job));
    EXPECT_FALSE(FileExists(Made()));

    // The window was closed meanwhile: the worker stops after the copy and removes it.
    Job.CurrentExe = SetupExe();
    Job.Cancelled = true;
    EXPECT_THROW(MakeLocalInstallationWorker(Job), EAbort);
    EXPECT_FALSE(FileExists(Made()));
}

TEST_F(LocalSetup, AnEarlierSetupInUseIsLeftAsItIs) {
    WriteBytes(Made(), "an earlier local setup, still running");
    HANDLE inUse =
        CreateFileW(Made().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    EXPECT_ANY_THROW(MakeLocalInstallationWorker(Job));
    CloseHandle(inUse);
    EXPECT_EQ(ReadBytes(Made()), "an earlier local setup, still running");
}
