// Loads one generated document as the setup loads a downloaded file, in a process of its own so that the
// peak memory belongs to that document alone: xml_cost_probe <shape> <bytes> <file> writes the document to
// <file> and prints "<file bytes> <peak MB above the start> <loaded: 1, counted as missing: 0>".
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "xml/ExSimpleXMLUnit.h"

namespace {
// The smallest text of each node kind, repeated: the most nodes per byte an attacker can send.
struct TShape {
    const char *Name, *Head, *Unit, *Tail;
} const Shapes[] = {
    {"elements", "<r>", "<a/>", "</r>"},
    {"attributes", "<r", " a=\"\"", "/>"},
    {"pairs", "<r>", "<p n=\"k1\" v=\"1\"/>", "</r>"},
    {"texts", "<r>", "<a/>x", "</r>"},
    {"comments", "<r>", "<!---->", "</r>"},
    // Elements of as many names: each name costs the child list's index an entry of its own.
    {"names", "<r>", "", "</r>"},
    // A language list: 255 languages, then one id over and over.
    {"langs", "<langs>", "<lang id=\"x\">1</lang>", "</langs>"},
};

void Write(const TShape& Shape, size_t Bytes, const char* FileName) {
    std::ofstream out(FileName, std::ios::binary);
    out << Shape.Head;
    std::string block;
    if (std::string(Shape.Name) == "langs")
        for (int i = 0; i < 255; ++i) out << "<lang id=\"l" << i << "\">" << 1033 + i << "</lang>";
    for (int i = 0; block.size() < std::min<size_t>(Bytes, 1u << 20); ++i)
        block += *Shape.Unit ? std::string(Shape.Unit) : "<n" + std::to_string(i) + "/>";
    for (size_t written = 0; written < Bytes; written += block.size()) {
        out << block;
        // Names stay distinct across blocks.
        if (!*Shape.Unit)
            std::replace(block.begin(), block.end(), 'n', char('n' + written / block.size() % 12 + 1));
    }
    out << Shape.Tail;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    for (const TShape& shape : Shapes) {
        if (std::string(argv[1]) != shape.Name) continue;
        Write(shape, std::stoull(argv[2]), argv[3]);
        std::wstring file(argv[3], argv[3] + strlen(argv[3]));
        WIN32_FILE_ATTRIBUTE_DATA data;
        GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
        PROCESS_MEMORY_COUNTERS before{}, after{};
        GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
        bool loaded;
        {
            TExSimpleXML xml;
            loaded = xml.TryLoadXMLFile(file);
        }
        GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
        std::printf("%lu %.1f %d\n", data.nFileSizeLow,
                    (after.PeakWorkingSetSize - before.WorkingSetSize) / 1048576.0, loaded ? 1 : 0);
        return 0;
    }
    return 2;
}
