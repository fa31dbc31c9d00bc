// Routines that extend the application object: the temporary and working folders, the program's folder,
// the shell's special folders, command-line switches, message boxes and a folder dialog that remembers.
#pragma once
#include <windows.h>

#include <string>

#include "runtime/Exceptions.h"

// A registry value that cannot be read as a string, or cannot be written.
ZRX_EXCEPTION(ERegistryException, Exception)
// The system reports no temporary folder with a full path; the setup cannot run without one.
ZRX_EXCEPTION(ETempFolderError, Exception)

struct TApplicationHelper {
    // The user's temporary folder as the system reports it, with its trailing backslash.
    static std::wstring GetSystemTempPath();
    // The temporary folder; with CreateSubDir the setup's working folder in it, named after the application
    // title and created (with its parents) on every call. Both end with a backslash and are full paths:
    // raises ETempFolderError when the system reports no such folder.
    static std::wstring GetTempDir(bool CreateSubDir);
    // Whether a file of one byte can be written into Folder (a name with a trailing backslash): a full disk
    // may still take an empty file.
    static bool CanWriteInto(const std::wstring& Folder);
    // The folder of the running executable, with a trailing backslash.
    static std::wstring GetExeDir();
    // A shell folder (CSIDL) with a trailing backslash; a failed look-up gives "\".
    static std::wstring GetSpecialFolderPath(int CSIDL);

    // Switches are arguments that begin with "-" or "/"; names compare without regard to case.
    // HasSwitch ignores what follows an "=" in the argument.
    static bool HasSwitch(const std::wstring& Name);
    // The value of the first switch Name, after its first ":" (empty without one); False and empty when none.
    static bool GetSwitchValue(const std::wstring& Name, std::wstring& Value);

    // A message box owned by Owner, or by the application when Owner is none. (windows.h makes the name
    // MessageBoxW in every unit that includes this header, consistently.)
    static void MessageBox(HWND Owner, const std::wstring& Caption, const std::wstring& Text, UINT Flags);
    // A Yes/No message box; True when the user answered Yes.
    static bool AskYesNo(HWND Owner, const std::wstring& Caption, const std::wstring& Text, UINT Flags);
    // The shell's folder dialog, opening on the folder last chosen for DialogId and remembering the new
    // choice in the registry. True with Folder (ending in a backslash) when a folder was chosen; False with
    // Folder empty when the user cancelled.
    static bool BrowseForFolder(const std::wstring& Title, std::wstring& Folder, const std::wstring& Root,
                                const std::wstring& DialogId, HWND OwnerWnd);
};
