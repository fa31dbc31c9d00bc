// The step log of an installation: one ASCII line per step, so that its last line names the step where an
// installation stopped.
#pragma once
#include <string>

// "zrxsetup.log" in the temporary folder (not the working folder, which goes when the run ends).
std::wstring StepLogPath();
// Appends Line with CR LF; First replaces the old log. The log only tells where an installation stopped, so a
// log that cannot be written never stops one.
void WriteStepLog(const std::wstring& FileName, const char* Line, bool First = false);
