/*
 * share_marks.h - Windows' share modes between processes.
 *
 * POSIX has no share modes, so each handle with data access leaves marks on
 * its file that every process can see: shared byte-range locks of the
 * handle's own open file description (F_OFD_SETLK), on a few bytes far past
 * any real data. There is one byte for each access the handle has (reading,
 * writing, deleting) and one for each it does not share. An open is refused
 * when another descriptor holds a byte that conflicts with it: a byte for an
 * access it asks for that is not shared, or a byte for an access it will not
 * share. The marks go when the descriptor is closed, also when its process
 * ends. Advisory locks do not stop reads and writes, and no other process
 * that uses them knows these bytes.
 *
 * Where the file system keeps no such locks, or the descriptor cannot hold
 * them (one opened without read permission), only the handles of the process
 * itself are checked (files.cpp keeps those in a table).
 */
#ifndef WIN32_POSIX_SHARE_MARKS_H
#define WIN32_POSIX_SHARE_MARKS_H

#include "../include/windows.h"

namespace w32p {

// Places the marks of a handle with `accessBits` (AccessBits) and
// `shareMode` (FILE_SHARE_*) on `fd`, a descriptor open for reading, unless
// another descriptor's marks conflict with them: then places none and
// returns false. Openers of one file take turns for the moment of this check,
// so that of two that conflict one is let in. Access 0 places nothing and is
// never refused.
bool claimShareMarks(int fd, DWORD accessBits, DWORD shareMode);

// Places the marks without a check: for a file that no one else can have
// open yet (one not yet given its name).
void placeShareMarks(int fd, DWORD accessBits, DWORD shareMode);

// True when a handle of any process holds the file at `posixPath` without
// sharing deletion.
bool deletionRefused(const char* posixPath);

}  // namespace w32p

#endif
