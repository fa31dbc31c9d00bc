// The setup's start-up: the application object, the release stream, the window language and the run mode,
// then the road of that mode, and the removal of the working folder at the end.
#pragma once
#include <cstdint>
#include <string>

// 0 = install, 1 = copy the uninstaller into the temporary folder and start the copy, 2 = uninstall now.
extern uint8_t SetupRunMode;
// The window language id: "en_GB" or "ru_RU".
extern std::wstring UILanguage;
// The beta release stream is selected.
extern bool IsBetaStream;

class CSetup {
public:
    CSetup() = delete;
    // Names the main thread, prepares the application object and sets the three globals above and the title.
    static void Initialize();
    // Runs the road of the run mode, then deletes the working folder.
    static void Main();
    static uint8_t ParseRunMode();
    static void DeleteTempFolder();
};
