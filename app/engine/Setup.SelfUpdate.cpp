#include "app/engine/Setup.SelfUpdate.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "app/core/System.Application.Extended.h"
#include "runtime/SysUtils.h"

std::wstring SelfUpdatedArgument() {
    return std::wstring(L"-") + SelfUpdatedSwitch + L":" + IntToStr(GetCurrentProcessId());
}

bool StartedBySelfUpdate() {
    std::wstring predecessor;
    return TApplicationHelper::GetSwitchValue(SelfUpdatedSwitch, predecessor);
}

void WaitForPredecessor() {
    std::wstring text;
    if (!TApplicationHelper::GetSwitchValue(SelfUpdatedSwitch, text)) return;
    const DWORD id = (DWORD)StrToInt64Def(text, 0);
    if (id == 0 || id == GetCurrentProcessId()) return;
    if (HANDLE predecessor = OpenProcess(SYNCHRONIZE, FALSE, id)) {
        WaitForSingleObject(predecessor, 10000);
        CloseHandle(predecessor);
    }
}

bool IsWindowsProgram(const std::wstring& FileName) {
    HANDLE file =
        CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // Linkers put the headers within the first page.
    unsigned char head[4096];
    DWORD size = 0;
    const bool read = ReadFile(file, head, sizeof head, &size, nullptr);
    CloseHandle(file);
    IMAGE_DOS_HEADER dos;
    if (!read || size < sizeof dos) return false;
    std::memcpy(&dos, head, sizeof dos);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < (LONG)sizeof dos) return false;
    // The signature, the file header, and the optional header up to its subsystem, which lies at the same
    // place in 32- and 64-bit images.
    const DWORD signature = dos.e_lfanew, header = signature + 4,
                optional = header + sizeof(IMAGE_FILE_HEADER);
    const DWORD subsystemAt = optional + offsetof(IMAGE_OPTIONAL_HEADER32, Subsystem);
    if (subsystemAt + sizeof(WORD) > size) return false;
    DWORD pe;
    IMAGE_FILE_HEADER fileHeader;
    WORD magic, subsystem;
    std::memcpy(&pe, head + signature, sizeof pe);
    std::memcpy(&fileHeader, head + header, sizeof fileHeader);
    std::memcpy(&magic, head + optional, sizeof magic);
    std::memcpy(&subsystem, head + subsystemAt, sizeof subsystem);
    return pe == IMAGE_NT_SIGNATURE && fileHeader.NumberOfSections > 0 &&
           fileHeader.SizeOfOptionalHeader >= offsetof(IMAGE_OPTIONAL_HEADER32, Subsystem) + sizeof(WORD) &&
           (fileHeader.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) &&
           !(fileHeader.Characteristics & IMAGE_FILE_DLL) &&
           (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC || magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) &&
           (subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI || subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI);
}
