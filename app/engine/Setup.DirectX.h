// Starting an outside program and waiting for it on the main thread: the DirectX web setup that the
// installation engine offers when the tool's DirectX library is missing.
#pragma once
#include <windows.h>

#include <shellapi.h>

#include <string>

// The window that owns what the setup starts and asks: the wizard window, once it has its window.
HWND OwnerWindow();
// The Windows system folder, without a trailing backslash.
std::wstring GetSystemDir();
// Starts FileName with Parameters through the shell, shown as Show, keeping its process handle in Info (empty
// when it did not start); True when it started. Info refers to the strings: keep them alive while it is used.
bool StartProcess(const std::wstring& FileName, const std::wstring& Parameters, int Show,
                  SHELLEXECUTEINFOW& Info);
// Starts FileName with the parameter "/Q" through the shell, keeping its process handle in Info (which
// refers to FileName: keep it alive while Info is used). True when it started.
bool ShellExecuteOpen(const std::wstring& FileName, SHELLEXECUTEINFOW& Info);
// Starts FileName as ShellExecuteOpen does and pumps the window's messages until its process ends; the end
// of the process wakes the pump by itself. True when it could be started.
bool RunAndWait(const std::wstring& FileName);
