// The check that a downloaded successor is a Windows program before the setup starts it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "TestSupport.h"
#include "app/engine/Setup.SelfUpdate.h"
#include "runtime/gui/Application.h"

namespace {

std::string ReadBytes(const std::wstring& FileName) {
    std::ifstream in(FileName.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring WriteBytes(const std::wstring& Folder, const wchar_t* Name, const std::string& Bytes) {
    const std::wstring path = Folder + Name;
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << Bytes;
    return path;
}

std::wstring SystemFile(const wchar_t* Name) {
    wchar_t folder[MAX_PATH];
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + Name;
}

} // namespace

TEST(SelfUpdate, OnlyAnExecutableImageCountsAsAWindowsProgram) {
    const std::wstring folder = MakeScratchFolder(L"SelfUpdate");
    const std::string program = ReadBytes(Application->ExeName());
    ASSERT_GT(program.size(), 4096u);
    EXPECT_TRUE(IsWindowsProgram(Application->ExeName()));
    EXPECT_TRUE(IsWindowsProgram(SystemFile(L"notepad.exe"))); // a window program
    EXPECT_TRUE(IsWindowsProgram(WriteBytes(folder, L"headers.exe", program.substr(0, 4096))));

    EXPECT_FALSE(IsWindowsProgram(SystemFile(L"kernel32.dll"))); // a library
    EXPECT_FALSE(IsWindowsProgram(folder + L"missing.exe"));
    EXPECT_FALSE(
        IsWindowsProgram(WriteBytes(folder, L"page.exe", "<!DOCTYPE html><html><body>Moved</body></html>")));
    EXPECT_FALSE(IsWindowsProgram(WriteBytes(folder, L"empty.exe", "")));
    EXPECT_FALSE(IsWindowsProgram(WriteBytes(folder, L"dos.exe", "MZ" + std::string(200, '\0'))));

    // The DOS header's pointer decides where the signature must be: cut off, pointing past the headers read,
    // backwards into the DOS header, or at anything else, the file is no program.
    const LONG at = reinterpret_cast<const IMAGE_DOS_HEADER*>(program.data())->e_lfanew;
    EXPECT_FALSE(IsWindowsProgram(WriteBytes(folder, L"cut.exe", program.substr(0, at + 40))));
    for (LONG pointer : {LONG(4096), LONG(0x7FFFFFF0), LONG(-8), LONG(8)}) {
        std::string bent = program;
        std::memcpy(&bent[offsetof(IMAGE_DOS_HEADER, e_lfanew)], &pointer, sizeof pointer);
        EXPECT_FALSE(IsWindowsProgram(WriteBytes(folder, L"bent.exe", bent))) << pointer;
    }
    std::string text = program;
    text[at] = 'N';
    EXPECT_FALSE(IsWindowsProgram(WriteBytes(folder, L"signature.exe", text)));
    // A library's flag on an otherwise whole program.
    std::string library = program;
    WORD characteristics;
    const size_t flags = at + 4 + offsetof(IMAGE_FILE_HEADER, Characteristics);
    std::memcpy(&characteristics, &library[flags], sizeof characteristics);
    characteristics |= IMAGE_FILE_DLL;
    std::memcpy(&library[flags], &characteristics, sizeof characteristics);
    EXPECT_FALSE(IsWindowsProgram(WriteBytes(folder, L"library.exe", library)));
}
