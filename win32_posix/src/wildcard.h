/*
 * wildcard.h - Windows' file-name wildcards, as FindFirstFileW applies them.
 *
 * Windows hands a search pattern to the file system with the DOS rules made
 * explicit: every ? becomes "one character, or none before a dot or at the
 * end of the name"; a * that is followed by a dot becomes "any characters but
 * the name's last dot"; and a dot that is followed by ? or * or ends the
 * pattern becomes "a dot, or nothing at the end of the name". Comparison
 * ignores case. So *.* and * match every name, *. only names without an
 * extension, a? matches "a" and "ab", and *.ini matches A.INI.
 */
#ifndef WIN32_POSIX_WILDCARD_H
#define WIN32_POSIX_WILDCARD_H

#include "../include/win32_posix/text.h"

namespace w32p {

// True when `name` (one file name, no separators) matches `pattern`.
bool wildcardMatch(wstring_view pattern, wstring_view name);

}  // namespace w32p

#endif
