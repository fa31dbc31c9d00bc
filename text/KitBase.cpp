#include "text/KitBase.h"

#include <windows.h>

namespace {

char ReadAnsiReplacementChar() {
    CPINFO info;
    if (!GetCPInfo(CP_ACP, &info)) throw EKitInternalError(L"Failed to get ANSI replacement character");
    return char(info.DefaultChar[0]);
}

} // namespace

char AnsiReplacementChar() {
    // A function-local static is initialised once, thread-safely; a failure is retried on the next call.
    static const char value = ReadAnsiReplacementChar();
    return value;
}
