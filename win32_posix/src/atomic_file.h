/*
 * atomic_file.h - whole files read and replaced so that a reader sees the old
 * file or the new one, never a part, and a crash leaves one of them whole:
 * what the private-profile writer and the registry file share.
 *
 *   UniqueFd                a file descriptor closed when it goes out of scope
 *   readAll                 the whole content of an open file
 *   resolveLinks            the file a path names, symbolic links followed
 *   replaceFile             a new content put in place of a file in one step
 *   removeStaleTemporaries  what a writer killed half-way left behind
 *
 * Errors are errno values; the callers turn them into Win32 codes or messages.
 */
#ifndef WIN32_POSIX_ATOMIC_FILE_H
#define WIN32_POSIX_ATOMIC_FILE_H

#include <sys/stat.h>

#include <string>

namespace w32p {

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(other.m_fd);
            other.m_fd = -1;
        }
        return *this;
    }
    ~UniqueFd() { reset(); }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1);
    // Gives the descriptor up without closing it.
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Reads an open file from its current position to the end: 0 or errno.
int readAll(int fd, std::string& bytes);

// The file `path` names, with every symbolic link on the way followed, also
// a link whose target does not exist yet, so that a rewrite replaces the
// target and keeps the link. `path` itself when nothing needs following.
std::string resolveLinks(const std::string& path);

// Puts `bytes` in place of the file `path` in one step: written to a new
// temporary file beside it (with the mode and owner of `existing` when
// given), flushed to disk, renamed over `path`, and the folder flushed so that
// the new name survives a crash. With `createOnly` the new file is linked into
// place instead and EEXIST reports a file that appeared meanwhile. Returns 0
// or errno; on failure `path` is untouched and no temporary file is left.
int replaceFile(const std::string& path, const struct stat* existing, const std::string& bytes,
                bool createOnly = false);

// Removes the temporary files of `path` that a writer killed before it could
// rename them left behind. Only for a caller that holds a lock every writer
// of `path` takes, so that no temporary file found is still being written.
void removeStaleTemporaries(const std::string& path);

}  // namespace w32p

#endif
