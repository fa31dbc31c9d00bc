// The program: ZorvexSetup.exe installs, prepares a local installation of, or uninstalls Zorvex.
#include <windows.h>

#include "app/Setup.Application.h"
#include "runtime/gui/Application.h"
#include "text/KitBase.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return RunProgram([] {
        // The text layer reads the ANSI replacement character first: without it the start ends here.
        AnsiReplacementChar();
        CSetup::Initialize();
        CSetup::Main();
    });
}
