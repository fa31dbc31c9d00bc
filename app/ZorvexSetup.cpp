// The program: ZorvexSetup.exe installs, prepares a local installation of, or uninstalls Zorvex.
#include <windows.h>

#include "app/Setup.Application.h"
#include "runtime/gui/Application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return RunProgram([] {
        CSetup::Initialize();
        CSetup::Main();
    });
}
