/*
 * internal.h - what the stand-in's areas share and no caller sees: the
 * mapping of errno values to Win32 error codes, the configuration read
 * from the environment, and the state of the process's privileges.
 */
#ifndef WIN32_POSIX_INTERNAL_H
#define WIN32_POSIX_INTERNAL_H

#include <string>

#include "../include/windows.h"

namespace w32p {

// The Win32 error code that Windows reports for the same condition as errno.
DWORD errorFromErrno(int errnoValue);

// Sets the thread's last-error value from errno and returns it.
DWORD setLastErrorFromErrno();

// An environment variable of the process ("" when not set), as the stand-in
// reads its own configuration (WIN32_POSIX_*): under the environment's lock,
// so never while SetEnvironmentVariableW is changing the environment. Every
// read of the configuration goes through here. Not to be called with that
// lock held (environment.cpp).
std::string configValue(const char* name);

// Whether the process's token holds the named privilege and has it enabled
// (token.cpp); false for a name Windows does not know.
bool privilegeEnabled(const WCHAR* name);

// Reset cached configuration: the drive folders, the reported version.
void resetPathConfiguration();
// Changes whenever the drive folders are set aside to be read again, so that
// what was worked out from them can tell it is out of date (paths.cpp).
unsigned driveGeneration();
void resetVersionConfiguration();

}  // namespace w32p

#endif
