// What the application tests share: running programs, driving dialogs as a user would, and scratch folders.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <thread>

// A fresh, empty folder under the test's temporary folder, ending with a backslash.
std::wstring MakeScratchFolder(const std::wstring& Name);
std::wstring ReadTextFile(const std::wstring& FileName);

struct TProcessResult {
    DWORD ExitCode = 0;
    std::string Output; // what it wrote to its standard output
    bool TimedOut = false;
};

// Starts CommandLine with the current environment plus Env (its entries replace those of the same name) and
// waits for it, collecting its standard output.
TProcessResult RunProcess(const std::wstring& CommandLine,
                          const std::map<std::wstring, std::wstring>& Env = {}, DWORD TimeoutMs = 60000);

// Whether Pid is a process that this one started. Test programs run side by side, so a window finder must
// never take another test program's windows for those of the program under test.
bool IsChildProcess(DWORD Pid);

// Runs the disabled test Name of this test program in a child process; True when it passed.
bool RunTestInChild(const std::wstring& Name);

// Waits on a helper thread for a dialog (class "#32770") of this process, or of a process it started when
// AnyProcess is set, to appear; remembers the texts of its caption and controls; then, after Prepare has run
// on the dialog, clicks the button ButtonId.
class TDialogDriver {
public:
    explicit TDialogDriver(int ButtonId, std::function<void(HWND)> Prepare = {}, bool AnyProcess = false,
                           DWORD TimeoutMs = 30000);
    ~TDialogDriver();
    // Waits for the helper thread; True when a dialog was found and the button clicked.
    bool Finish();
    const std::wstring& Texts() const { return FTexts; }

private:
    std::thread FThread;
    std::wstring FTexts;
    bool FDone = false;
    bool FJoined = false;
};

// Clicks a window's button as a user would: the click arrives as a posted message.
void PostClick(HWND Button);

// A top-level test window with one button (id 100) whose clicks call OnClick inside the class library's
// contract (exceptions go to the application object), and whose close calls Application->Terminate().
class TTestWindow {
public:
    explicit TTestWindow(std::function<void()> OnClick);
    ~TTestWindow();
    HWND Handle() const { return FHandle; }
    HWND Button() const { return FButton; }

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    HWND FHandle = nullptr;
    HWND FButton = nullptr;
    std::function<void()> FOnClick;
};
