/*
 * file_status.h - what the file and folder-search areas share: how a POSIX
 * file's status reads as Windows attributes and times, which names Windows
 * refuses, and which error a missing path gets.
 */
#ifndef WIN32_POSIX_FILE_STATUS_H
#define WIN32_POSIX_FILE_STATUS_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "../include/win32_posix/text.h"
#include "../include/windows.h"

namespace w32p {

// Windows' attributes for a file mode: DIRECTORY for folders, ARCHIVE for
// files (as Windows sets it on every new or changed file), and READONLY when
// no write permission bit is set at all (as Wine reads Unix permissions).
DWORD attributesFromMode(mode_t mode);

// A time in seconds and nanoseconds since 1970 as a FILETIME (100 ns units
// since 1601). Times before 1601 give 0.
FILETIME fileTimeFromUnix(int64_t seconds, int64_t nanoseconds);

// True when the name holds a character Windows refuses in file names
// (* ? < > " | and control characters), which Windows reports as
// ERROR_INVALID_NAME.
bool hasInvalidNameCharacter(wstring_view name);

// True for the wildcards * and ?.
bool hasWildcard(wstring_view name);

// The error for a path that does not exist: ERROR_FILE_NOT_FOUND when its
// parent folder exists, ERROR_PATH_NOT_FOUND when a folder on the way is
// missing or is a file.
DWORD missingPathError(const std::string& posixPath);

// The parent folder of a POSIX path ("/" for "/x", "." for "x").
std::string parentFolder(const std::string& posixPath);

// The creation, last-access and last-write times of a file.
struct FileTimes {
    FILETIME creation;
    FILETIME lastAccess;
    FILETIME lastWrite;
};
// The times of the object at `path` (followed through symbolic links), with
// `st` its status: the birth time where the file system records one, else
// the earlier of the change and modification times.
FileTimes fileTimes(const std::string& path, const struct stat& st);

// The status and times of the object at `path` in one look (followed through
// symbolic links, or of the link itself when it leads nowhere): its mode, its
// size, and its times as fileTimes gives them. False when neither can be read.
bool statusWithTimes(const std::string& path, mode_t& mode, uint64_t& size, FileTimes& times);

// The kinds of data access a CreateFileW access mask asks for, as the
// sharing rules see them.
enum AccessBits : DWORD {
    kAccessRead = 1,
    kAccessWrite = 2,   // anywhere in the file (FILE_WRITE_DATA)
    kAccessAppend = 4,  // at the end only (FILE_APPEND_DATA)
    kAccessDelete = 8,
};
// The access a desired-access mask grants: GENERIC_READ / FILE_READ_DATA read,
// GENERIC_WRITE writes and appends, FILE_APPEND_DATA alone appends, DELETE
// deletes; GENERIC_ALL and MAXIMUM_ALLOWED all of them.
DWORD accessBitsFromMask(DWORD desiredAccess);

// Windows' sharing rule between an open handle and a new open of the same
// file: the new open is refused (ERROR_SHARING_VIOLATION) when it asks for an
// access that the open handle does not share, or when the open handle has an
// access that the new open does not share. An open asking for no data access
// (access 0, attributes only) is never refused and refuses nothing.
bool sharingAllows(DWORD openAccessBits, DWORD openShareMode, DWORD newAccessBits,
                   DWORD newShareMode);

}  // namespace w32p

#endif
