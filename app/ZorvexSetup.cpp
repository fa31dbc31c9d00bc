// The program: ZorvexSetup.exe installs, prepares a local installation of, or uninstalls Zorvex.
#include <windows.h>

#include "app/Setup.Application.h"
#include "app/core/StartupMarks.h"
#include "runtime/gui/Application.h"
#include "text/KitBase.h"

#include <cstdlib>
#include <exception>

// What ends the process when an exception finds no handler (one that escapes a worker thread): the C++
// runtime's default handler, defined here in place of the runtime's own. That one prints the exception's
// type, which a window program has nowhere to show, and brings a name demangler of some 46 KB into the
// file to do it.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    StartupMark(L"main");
    return RunProgram([] {
        // The text layer reads the ANSI replacement character first: without it the start ends here.
        AnsiReplacementChar();
        CSetup::Initialize();
        StartupMark(L"initialized");
        CSetup::Main();
    });
}
