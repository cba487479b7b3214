/*
 * registry_file.h - the registry file (WIN32_POSIX_REGISTRY) as several
 * processes share it: which version of it a process holds, reading it again
 * when another process changed it, and writing it under a lock.
 *
 *   FileStamp         the version of the file: identity, size, modification time
 *   readIfChanged     the file's edits, when it is not the version known
 *   FolderLock        the lock every writer of the file holds
 *   writeWhole        the new content put in place, through symbolic links
 *
 * Nothing here touches the registry's tree or takes its lock: the disk work
 * is done outside that lock, which every registry call (and so every log
 * record's settings read) waits on.
 */
#ifndef WIN32_POSIX_REGISTRY_FILE_H
#define WIN32_POSIX_REGISTRY_FILE_H

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "reg_file.h"

namespace w32p {
namespace regfile {

// One version of the file. A file replaced by another has another identity
// (the version a process holds is kept open, so its inode number cannot be
// given to the new file); one edited in place has another size or time.
struct FileStamp {
    bool known = false;   // false before the file was first looked at
    bool exists = false;  // false for a missing file, which is an empty registry
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t seconds = 0;
    int64_t nanoseconds = 0;

    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// What a look at the file found.
struct FileRead {
    enum Status { Unchanged, Changed, Failed };
    Status status = Unchanged;
    FileStamp stamp;            // Changed: the version read
    std::vector<Edit> edits;    // Changed: what the file says (nothing when missing or empty)
    UniqueFd held;              // Changed: the version read, kept open
    std::string problem;        // Failed: ": cannot read the registry file: ..." or ":5: ..."
};

// Reads and parses the file unless it is still the version `known`.
FileRead readIfChanged(const std::string& path, const FileStamp& known);

// An exclusive lock on the folder of the file a path names (links followed),
// which every process takes around its read-modify-write of the file, so
// that no change of one undoes a change of another. Threads of one process
// exclude each other too.
class FolderLock {
public:
    // 0, or errno when the folder cannot be locked (a missing folder).
    int lock(const std::string& path);
    bool held() const { return m_fd.valid(); }
    void unlock() { m_fd.reset(); }

private:
    UniqueFd m_fd;
};

// Writes the whole file in one step (atomic_file.h), with the mode and owner
// of the file it replaces, to the target of a symbolic link rather than over
// the link, and removes what writers killed half-way left beside it. On
// success `stamp` and `held` are the new version. For a caller that holds the
// FolderLock. 0 or errno.
int writeWhole(const std::string& path, const std::string& bytes, FileStamp& stamp, UniqueFd& held);

}  // namespace regfile
}  // namespace w32p

#endif
