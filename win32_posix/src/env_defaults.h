/*
 * env_defaults.h - the variables every Windows process finds in its
 * environment (SystemRoot, ProgramFiles, TEMP, ...), with Windows' usual
 * values, derived from a few facts about the POSIX host. Pure: environment.cpp
 * gathers the facts and adds the variables the process does not have.
 *
 *   windowsDirectoryFrom   the Windows directory a SystemRoot value names
 *   defaultVariables       the table of usual variables and their values
 */
#ifndef WIN32_POSIX_ENV_DEFAULTS_H
#define WIN32_POSIX_ENV_DEFAULTS_H

#include <functional>
#include <utility>
#include <vector>

#include "../include/win32_posix/text.h"

namespace w32p {

// What the default values are made from.
struct HostFacts {
    wstring userName;       // the POSIX login name
    wstring hostName;       // the POSIX host name, as gethostname gives it
    unsigned processors = 1;
    wstring tempFolder;     // the POSIX temporary folder as a Windows path
    bool process64 = true;  // a 64-bit process (Windows' 64-bit view of the folders)
    wstring architecture;   // PROCESSOR_ARCHITECTURE: "AMD64", "ARM64", "x86"
};

// Finds a variable the process already has (names compared as Windows does).
using EnvPresent = std::function<bool(wstring_view name, wstring& value)>;

// The Windows directory named by a SystemRoot value: a drive path ("D:\Win",
// "d:/win") or a rooted path ("\Win", "/win"), without trailing separators
// unless it is a drive's root ("C:\"). Empty when the value names no absolute
// folder.
wstring windowsDirectoryFrom(wstring_view systemRoot);

// The usual Windows variables with their values, built around the variables
// the process already has (its SystemRoot, SystemDrive, USERNAME, TEMP ...)
// so that the table is consistent with them. The caller adds only the names
// the process does not have; existing values are never replaced.
std::vector<std::pair<wstring, wstring>> defaultVariables(const HostFacts& facts,
                                                          const EnvPresent& present);

// The NetBIOS-style computer name Windows derives from a host name: the part
// before the first dot, upper case, at most 15 characters ("WINHOST" when
// nothing is left).
wstring computerNameFrom(wstring_view hostName);

}  // namespace w32p

#endif
