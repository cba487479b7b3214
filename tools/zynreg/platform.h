// platform.h - what zynreg does differently on Windows and on POSIX: text
// in and out as UTF-8, file names made full Windows paths, and where the
// registry lives.
#ifndef ZYNREG_PLATFORM_H
#define ZYNREG_PLATFORM_H

#include <string>

#include "value_text.h"

std::string toUtf8(const wstr& text);
wstr fromUtf8(const std::string& text);

// One line on standard output, and one message "zynreg: <message>" on
// standard error, each ended by a line feed.
void printLine(const wstr& line);
void printError(const wstr& message);

// A file name from the command line as the full Windows path the library
// takes. On POSIX a name written the Windows way (a drive letter or a
// backslash) stays as it is; any other is made absolute and put under the
// drive whose folder holds it (C: is "/" unless WIN32_POSIX_DRIVE_C says
// otherwise).
wstr fullWindowsPath(const wstr& given);

// --registry FILE: on POSIX the registry file to work on (it becomes
// WIN32_POSIX_REGISTRY before the first registry call). On Windows there is
// no such file: false, with the problem.
bool useRegistryFile(const wstr& file, wstr& problem);
// Whether changes reach a registry that outlives zynreg: always on Windows;
// on POSIX only with a registry file, without which the registry lives in
// the process alone. False, with the problem.
bool registryIsKept(wstr& problem);

#endif
