// platform.h - what hbc-host does differently on Windows and on POSIX:
// where it lives, how a path given on the command line becomes the Windows
// path the module reads and the file-system path hbc-host reads, and the
// program name the module's log records carry.
#ifndef HBC_HOST_PLATFORM_H
#define HBC_HOST_PLATFORM_H

#include <filesystem>
#include <string>

#include "utf.h"

// The running program's full path, as the module sees it (GetModuleFileNameW).
wstr programPath();
// The folder of the running program in the file system.
std::filesystem::path programFolder();
// The module's file name: tpa_hbc.dll or tpa_hbc.so.
extern const char* const kModuleFileName;

// Whether a path from the command line is written the Windows way: on
// POSIX, with a drive letter, a backslash or a %variable%; on Windows, always.
bool writtenTheWindowsWay(const std::string& given);
// A path from the command line as a full Windows path. On POSIX a path that
// is written the Windows way (a drive letter, a backslash or a %variable%)
// stays as it is; any other is made absolute and put under the drive whose
// folder holds it.
wstr windowsPathOf(const std::string& given);
// A Windows path as hbc-host reaches the file in the file system.
std::filesystem::path fileSystemPath(const wstr& windowsPath);

// The program name the module gives its log records: the program's file
// name without its extension, or "" when the module derives none and so
// writes no record (a path of 128 characters or more, or a last dot in a
// folder name).
std::string logApplicationName(const wstr& programPath);

// POSIX: the module's text log must lie on a drive (a path "X:\..."). When
// `folder` lies under no drive folder, maps the first free letter from Z
// down to it (WIN32_POSIX_DRIVE_<letter>). Called before anything reads the
// drive settings. Windows: nothing to do.
void ensureDriveFor(const std::filesystem::path& folder);

// Expands the environment variables of a text as the module does.
wstr expandEnvironment(const wstr& text);
// Whether a path names something that exists, and whether a folder.
bool pathExists(const wstr& windowsPath, bool* isFolder = nullptr);

// The Windows version this process reports, "MAJOR.MINOR".
std::string windowsVersion();

#endif
