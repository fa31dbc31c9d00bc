// What the driver's commands share: output, errors, waiting, and the window under test.
#pragma once
#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// A failed step: its message goes to standard error and the driver ends with exit code 1.
struct TDriverError {
    std::wstring Message;
};

// One output line of tab-separated fields; each field has its tabs, line breaks and backslashes escaped.
void WriteLine(const std::vector<std::wstring>& Fields);
std::wstring Escape(const std::wstring& Text);

// "2.5 s": a timeout as the messages give it.
std::wstring Seconds(DWORD Ms);
// Polls Condition every 50 ms until it holds or TimeoutMs has passed; True when it held.
bool WaitFor(DWORD TimeoutMs, const std::function<bool()>& Condition);

// The window text of any process's window, also of another process's edit box.
std::wstring WindowText(HWND Wnd);
std::wstring WindowClass(HWND Wnd);
// A button that holds a check state: a check box or a radio button.
bool HasCheckState(HWND Wnd);
DWORD WindowProcess(HWND Wnd);
// The text of a global atom that the program publishes as a window property (component name, class, font).
std::wstring AtomProperty(HWND Wnd, const wchar_t* Property);
// The X11 window behind a top-level window (Wine keeps it as a window property): screenshots take it alone.
uintptr_t X11Window(HWND Wnd);

// How a command names the program under test: a process id, a program file name, a caption or a handle.
struct TTarget {
    DWORD Pid = 0;
    std::wstring Exe;
    std::wstring Caption;
    HWND Wnd = nullptr;
    DWORD TimeoutMs = 20000;
};

// Processes whose program file name is Exe (compared without regard to case).
std::vector<DWORD> ProcessesNamed(const std::wstring& Exe);
bool ProcessAlive(DWORD Pid);
// One line per process: pid, parent pid, program file name.
void PrintProcesses();
// The target's main window as it is now, or nullptr.
HWND FindMainWindow(const TTarget& Target);
// The target's main window, waited for; fails naming what it waited for and which windows there were.
HWND WaitMainWindow(TTarget& Target);
// The processes that the target names (its window's process, or the processes of its file name).
std::vector<DWORD> TargetProcesses(const TTarget& Target);

// A control of the window as the driver reports it.
struct TControlInfo {
    HWND Wnd = nullptr;
    std::wstring Name;   // the component name the program publishes, or empty
    std::wstring Class;  // the component class the program publishes, else the window class
    std::wstring Parent; // the parent's name (or class); empty for children of the main window
    RECT Bounds{};       // in the parent's client coordinates
    bool Visible = false, Enabled = false;
    int Checked = -1;   // -1: not a check box or radio button
    std::wstring Value; // further state: "marquee" or "pos/max" of a progress bar, "readonly" of an edit box
    std::wstring Text;
};

// The controls of Top, in window order (depth first); hidden ones only with All.
std::vector<TControlInfo> ListControls(HWND Top, bool All);
std::vector<std::wstring> ControlFields(const TControlInfo& Info);
// A control by component name, or else by caption (with or without its accelerator marks); visible ones
// first.
const TControlInfo* FindControl(const std::vector<TControlInfo>& Controls, const std::wstring& Key);
// The window's caption and its visible controls, for error messages.
std::wstring DescribeWindow(HWND Top);
// Clicks as a user would: the click is posted, so the program's handlers run in its own message loop.
void PostClick(HWND Control);

// One line per visible label, check box, radio button and push button of Top with a text: name, class, the
// client width and height, the width and height its text needs in the control's own font (box and frame
// included), the face of that font as made ("" when the control publishes none), the room from the control's
// left edge to its parent's right edge, the text.
void PrintTextExtents(HWND Top);

// A message box of the target's processes: prints its caption and text, then presses Button ("yes", "no",
// "ok", "cancel") until the box is gone.
void AnswerMessageBox(TTarget& Target, const std::wstring& Button);
// Waits for a message box (or the folder dialog) and prints it without answering it.
void PrintDialog(TTarget& Target, bool Folder);
// The shell's folder dialog of the target's processes: chooses Folder in its tree as a user clicks through it
// and presses OK, or presses Cancel when Folder is empty. Prints the dialog's caption and texts.
void AnswerFolderDialog(TTarget& Target, const std::wstring& Folder);

// A shell link's target, arguments, working folder and description, one "name<TAB>value" line each.
void PrintLink(const std::wstring& Path);

// Types the key chords ("tab", "shift+tab", "alt+a", "return") as a person does: the window that takes the
// keyboard (Top, or the box it waits on) is brought to the foreground, and each key goes down and up as real
// keyboard input, in order.
void SendKeys(TTarget& Target, HWND Top, const std::vector<std::wstring>& Chords);
// The window that has the keyboard focus in Top's thread, or nullptr.
HWND FocusedWindow(HWND Top);
