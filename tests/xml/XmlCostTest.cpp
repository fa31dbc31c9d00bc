// What a document from outside costs: the most nodes per byte a file can hold, loaded in a process of its
// own (xml_cost_probe), whose peak memory each case prints. Every well-formed document loads, whatever its
// density, at a cost of at most about 87 times its size; what bounds the memory is the size of the files that
// the setup accepts (4 MB), not the parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <windows.h>

#include "XmlTestSupport.h"
#include "xml/ExSimpleXMLUnit.h"

namespace {
struct TCost {
    double FileMB = 0, PeakMB = 0;
    bool Loaded = false;
};

// The most a document may cost: 87 times its size and a few megabytes for any document, besides the bytes of
// the file itself, which are read whole before the parse.
double Share(double FileMB) {
    return 88 * FileMB + 4;
}

// Runs the probe on one shape of document and reads its figures.
TCost Probe(const char* Shape, size_t Bytes) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.rfind(L'\\') + 1);
    const std::wstring out = OwnName(L"cost.txt"), file = OwnName(L"cost.xml");
    std::wstring command = L"\"" + folder + L"xml_cost_probe.exe\" " +
                           std::wstring(Shape, Shape + strlen(Shape)) + L" " + std::to_wstring(Bytes) + L" " +
                           file;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output =
        CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = output;
    PROCESS_INFORMATION process{};
    TCost cost;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(output);
    if (FILE* f = _wfopen(out.c_str(), L"r")) {
        unsigned long size = 0;
        int loaded = 0;
        if (std::fscanf(f, "%lu %lf %d", &size, &cost.PeakMB, &loaded) == 3) {
            cost.FileMB = size / 1048576.0;
            cost.Loaded = loaded != 0;
        }
        std::fclose(f);
    }
    DeleteFileW(out.c_str());
    DeleteFileW(file.c_str());
    std::printf("%-10s %6.2f MB: peak %7.1f MB (%4.1f x), %s\n", Shape, cost.FileMB, cost.PeakMB,
                cost.PeakMB / cost.FileMB, cost.Loaded ? "loaded" : "refused");
    return cost;
}
} // namespace

// Four megabytes of the smallest nodes of each kind, the most the setup accepts of a file, load within their
// share.
TEST(XmlCost, DocumentsOfTinyNodesLoadWithinTheirShare) {
    for (const char* shape : {"elements", "pairs", "attributes", "texts", "comments", "names"}) {
        SCOPED_TRACE(shape);
        const TCost cost = Probe(shape, (4 << 20) - 16);
        EXPECT_TRUE(cost.Loaded);
        EXPECT_GT(cost.FileMB, 3.9);
        EXPECT_LE(cost.PeakMB, Share(cost.FileMB));
    }
}

// Short elements with two short attributes and no white space: a settings file as a program writes it.
TEST(XmlCost, ADenseSettingsFileLoads) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><settings>";
    for (int i = 0; i < 8000; ++i) text += "<p n=\"k1\" v=\"1\"/>";
    const std::wstring file = OwnName(L"dense.xml");
    text += "</settings>";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(h);
    TExSimpleXML xml;
    ASSERT_TRUE(xml.LoadXMLFile(file));
    ASSERT_EQ(xml.Root()->ItemCount(), 8000);
    EXPECT_EQ(xml.Root()->Items()->Item(7999)->Properties()->Value(L"v"), L"1");
    DeleteFileW(file.c_str());
}

// A language list of 255 languages and then one id over and over: as many nodes per byte as real files have
// loads, and costs no more than its share (about 20 times its size, measured).
TEST(XmlCost, ALongListOfOrdinaryElementsLoadsWithinItsShare) {
    const TCost cost = Probe("langs", 8 << 20);
    EXPECT_TRUE(cost.Loaded);
    EXPECT_LE(cost.PeakMB, Share(cost.FileMB));
}
