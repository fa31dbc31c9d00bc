#include "runtime/Exceptions.h"

#include <windows.h>

#include "runtime/SysUtils.h"

static std::string ToUtf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), (int)s.size(), out.data(), n, nullptr, nullptr);
    return out;
}

Exception::Exception(std::wstring Message) : FMessage(std::move(Message)), FWhat(ToUtf8(FMessage)) {}

void Exception::SetMessage(std::wstring Message) {
    FMessage = std::move(Message);
    FWhat = ToUtf8(FMessage);
}

void RaiseListIndexError(int64_t Index) {
    throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
}

std::wstring SysErrorMessage(uint32_t ErrorCode) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             nullptr, ErrorCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}

void RaiseLastOSError() {
    RaiseLastOSError(GetLastError());
}

void RaiseLastOSError(uint32_t ErrorCode) {
    if (ErrorCode == 0) throw EOSError(L"A call to an OS function failed", 0);
    throw EOSError(L"System Error.  Code: " + IntToStr(ErrorCode) + L".\r\n" + SysErrorMessage(ErrorCode),
                   ErrorCode);
}
