// What keeps the self-update sound: the successor must be a Windows program, and a setup that a self-update
// started never updates again, so that a successor no newer than its manifest says cannot start a chain.
#pragma once
#include <string>

// The switch with which a setup starts its successor ("-updated").
inline constexpr wchar_t SelfUpdatedSwitch[] = L"updated";

// This setup was started by a self-update.
bool StartedBySelfUpdate();
// The file begins as a Windows program does: a DOS header that points at the PE signature of an executable
// image (not a library) for the graphical or the console subsystem.
bool IsWindowsProgram(const std::wstring& FileName);
