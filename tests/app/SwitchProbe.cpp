// Prints what the switch routines answer for this program's own command line. The first argument lists the
// names to ask for, separated by commas; being no switch, it does not disturb the answers.
#include <cstdio>
#include <string>

#include "app/core/System.Application.Extended.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::wstring names = argv[1];
    for (size_t at = 0; at <= names.size();) {
        size_t comma = names.find(L',', at);
        if (comma == std::wstring::npos) comma = names.size();
        std::wstring name = names.substr(at, comma - at), value = L"unchanged";
        bool has = TApplicationHelper::HasSwitch(name);
        bool found = TApplicationHelper::GetSwitchValue(name, value);
        printf("%ls has=%d value=%d:%ls\n", name.c_str(), has, found, value.c_str());
        at = comma + 1;
    }
    return 0;
}
