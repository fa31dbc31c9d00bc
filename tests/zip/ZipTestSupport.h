// Shared helpers of the ZIP tests: fixture paths, fresh folders, file contents, archives written for the
// native check.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <windows.h>

#include "zip/Common.ZipIO.h"

namespace ziptest {

// Archives made by make_fixtures.py before the tests run; src\ holds the files they were made from.
inline std::string Fixture(const std::string& Name) {
    return "fixtures\\" + Name;
}
inline std::string Source(const std::string& Rel) {
    std::string r = Rel;
    for (char& c : r)
        if (c == '/') c = '\\';
    return "fixtures\\src\\" + r;
}

inline const std::vector<std::string>& SourceFiles() {
    static const std::vector<std::string> files{"hello.txt",     "empty.txt",           "bin/random.bin",
                                                "bin/zeros.bin", "deep/a/b/c/note.txt", "text/lorem.txt"};
    return files;
}

inline std::wstring Wide(const std::string& S) {
    return std::wstring(S.begin(), S.end());
}

inline std::string ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The same for paths that the ANSI code page may not hold.
inline std::string ReadFileW(const std::wstring& Path) {
    std::string bytes;
    HANDLE h = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[4096];
    DWORD n;
    while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    CloseHandle(h);
    return bytes;
}

inline void WriteFile(const std::string& Path, const std::string& Data) {
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out << Data;
}

inline bool Exists(const std::string& Path) {
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void RemoveTree(const std::string& Path) {
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((Path + "\\*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = f.cFileName;
            if (n == "." || n == "..") continue;
            std::string p = Path + "\\" + n;
            SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(p);
            else
                DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &f));
        FindClose(h);
    }
    RemoveDirectoryA(Path.c_str());
}

// An empty folder named after the running test, under out\.
inline std::string FreshFolder(const std::string& Suffix = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string path = std::string(info->test_suite_name()) + "." + info->name() + Suffix;
    std::replace(path.begin(), path.end(), '/', '_');
    path = "out\\" + path;
    CreateDirectoryA("out", nullptr);
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// The message of the exception that F raises, or "" when it raises none.
template <class F> std::wstring MessageOf(F&& Action) {
    try {
        Action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return L"";
}

// Copies a fixture to a writable file of the test's own.
inline std::string CopyFixture(const std::string& Name, const std::string& Folder) {
    std::string target = Folder + "\\" + Name;
    CopyFileA(Fixture(Name).c_str(), target.c_str(), FALSE);
    return target;
}

// Archives the component wrote go to written\; NAME.expect lists "name<TAB>size<TAB>crc" per entry for the
// native check (unzip -t and Python's zipfile) that runs after these tests.
inline std::string WrittenPath(const std::string& Name) {
    CreateDirectoryA("written", nullptr);
    return "written\\" + Name;
}

inline void WriteExpectation(const std::string& ArchivePath, TOxZip& Zip) {
    std::ostringstream s;
    for (int i = 0; i < Zip.Entries()->Count(); ++i) {
        TOxZipEntriesEntry* e = Zip.Entries()->Items(i);
        char crc[16];
        snprintf(crc, sizeof crc, "%08x", (unsigned)e->CRC32());
        s << e->FileName() << '\t' << e->SizeUncompressed() << '\t' << crc << '\n';
    }
    WriteFile(ArchivePath + ".expect", s.str());
}

} // namespace ziptest
