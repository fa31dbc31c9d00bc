// What a package must offer before anything of it is unpacked: the tool's program, and room for all of it on
// the install folder's drive.
#pragma once
#include <cstdint>
#include <string>

class TOxZip;

// Bytes the unpacked package takes on the drive: the sizes its directory declares, each file rounded up to
// whole 4 KB clusters, plus a margin of 16 MB (the uninstaller, the configuration files, the links) and
// 1/32 of the total (file system overhead).
int64_t PackageSpaceNeeded(TOxZip& Zip);

// Bytes free for the current user on the drive of Folder, or of its nearest existing parent; -1 when the
// system cannot tell.
int64_t FreeSpaceAt(const std::wstring& Folder);

// Raises when the opened package holds no file that lands at RunExe under InstallPath (the program that the
// links and the start after installation run), or when it does not fit on InstallPath's drive.
void CheckPackage(TOxZip& Zip, const std::wstring& InstallPath, const std::wstring& RunExe);
