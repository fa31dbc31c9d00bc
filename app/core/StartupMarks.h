// Where the start-up time goes, for bench/startup: named marks of the performance counter, kept and written
// only when the environment variable ZRX_STARTUP_MARKS names a file. The first mark, "loaded", is taken when
// the loader has mapped the program and its DLLs, before the C runtime starts.
#pragma once

// Records the counter under Name (a literal: it is kept, not copied).
void StartupMark(const wchar_t* Name);
// Writes the marks to the file, one "name<TAB>counter<TAB>frequency" line each, once.
void WriteStartupMarks();
