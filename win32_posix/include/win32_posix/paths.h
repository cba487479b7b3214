/*
 * win32_posix/paths.h - how Windows paths reach the POSIX file system.
 *
 * Drive letters map to folders: WIN32_POSIX_DRIVE_<letter> names the folder
 * of that drive, and C: defaults to "/". Backslashes become slashes, "." and
 * ".." are resolved as Windows resolves them (never above the drive's root),
 * and where a component does not exist under its exact name it is matched
 * case-insensitively, as on Windows. A path that starts with "/" is used as it
 * stands; other relative paths are relative to the current folder.
 */
#ifndef WIN32_POSIX_PATHS_H
#define WIN32_POSIX_PATHS_H

#include <sys/stat.h>

#include <string>

#include "text.h"

namespace w32p {

struct PosixPath {
    bool ok = false;       // false: no such drive, or the name is not a usable path
    std::string path;      // the POSIX path, components resolved case-insensitively
    bool trailingSeparator = false;  // the Windows path ended in a separator
    // The lstat of `path`, made while translating when the path exists as
    // written, so that a caller needs no second look at the same name.
    bool statusKnown = false;
    struct stat status {};
};

// The Windows path as a POSIX path.
PosixPath toPosixPath(wstring_view windowsPath);

// The POSIX path of an absolute Windows path exactly as written (drive
// mapped, separators turned, dots resolved), without a look at the file
// system, so that no component is matched in another case; false for a
// relative path, one with a trailing separator, or one toPosixPath refuses.
bool literalPosixPath(wstring_view windowsPath, std::string& path);

// The folder a drive letter maps to ("" when the letter is not mapped).
std::string driveFolder(WCHAR letter);

// A POSIX path as a Windows path: under the drive whose folder holds it (the
// longest match), "X:\a\b"; otherwise the path with backslashes.
wstring toWindowsPath(const std::string& posixPath);

// Pure helpers, exposed for tests.
// Splits "C:\a\b" into the drive letter (0 when none) and the rest.
bool isDriveAbsolute(wstring_view windowsPath);
// Lexical normalisation of a path relative to a root: "a\.\b\..\c" -> "a/c".
std::string normaliseComponents(const std::string& slashPath);
// Drops the trailing dots and blanks of the last component, as Windows does
// ("a/b.txt. " -> "a/b.txt"); "." and ".." and a trailing separator stay.
std::string trimFinalComponent(const std::string& slashPath);

}  // namespace w32p

#endif
