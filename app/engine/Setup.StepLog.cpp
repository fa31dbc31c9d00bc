#include "app/engine/Setup.StepLog.h"

#include <windows.h>

#include "app/core/System.Application.Extended.h"

std::wstring StepLogPath() {
    return TApplicationHelper::GetTempDir(false) + L"zrxsetup.log";
}

void WriteStepLog(const std::wstring& FileName, const char* Line, bool First) {
    HANDLE f = CreateFileW(FileName.c_str(), First ? GENERIC_WRITE : FILE_APPEND_DATA, FILE_SHARE_READ,
                           nullptr, First ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    const std::string text = std::string(Line) + "\r\n";
    DWORD written = 0;
    WriteFile(f, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(f);
}
