// What keeps the self-update sound: the successor must be a Windows program, and a setup that a self-update
// started never updates again, so that a successor no newer than its manifest says cannot start a chain.
#pragma once
#include <string>

// The switch with which a setup starts its successor: "-updated:" followed by its own process id.
inline constexpr wchar_t SelfUpdatedSwitch[] = L"updated";

// The switch's argument for the running setup's successor.
std::wstring SelfUpdatedArgument();
// This setup was started by a self-update.
bool StartedBySelfUpdate();
// Waits (ten seconds at most) until the setup that started this one by a self-update has ended: both use
// the same working folder, which the predecessor removes as it ends.
void WaitForPredecessor();
// The file begins as a Windows program does: a DOS header that points at the PE signature of an executable
// image (not a library) for the graphical or the console subsystem.
bool IsWindowsProgram(const std::wstring& FileName);
