/*
 * registry_file.cpp - the registry file shared by processes: versions,
 * reading when changed, the writers' lock, writing in one step.
 */
#include "registry_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_status.h"
#include "../include/win32_posix/syscalls.h"

namespace w32p {
namespace regfile {

namespace {

FileStamp stampOf(const struct stat& st) {
    FileStamp stamp;
    stamp.known = true;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.seconds = st.st_mtim.tv_sec;
    stamp.nanoseconds = st.st_mtim.tv_nsec;
    return stamp;
}

FileStamp missingStamp() {
    FileStamp stamp;
    stamp.known = true;
    return stamp;
}

}  // namespace

bool FileStamp::operator==(const FileStamp& o) const {
    return known == o.known && exists == o.exists && device == o.device && inode == o.inode &&
           size == o.size && seconds == o.seconds && nanoseconds == o.nanoseconds;
}

FileRead readIfChanged(const std::string& path, const FileStamp& known) {
    FileRead result;
    struct stat st;
    if (w32p::sys::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            result.status = FileRead::Failed;
            result.problem = std::string(": cannot read the registry file: ") + std::strerror(errno);
            return result;
        }
        result.stamp = missingStamp();
        if (result.stamp != known) result.status = FileRead::Changed;
        return result;
    }
    if (known.known && stampOf(st) == known) return result;

    // The stamp comes from the file actually read, which may be newer still.
    UniqueFd fd(w32p::sys::open(path.c_str(), O_RDONLY | O_CLOEXEC, 0));
    int error = fd.valid() ? 0 : errno;
    if (!error && w32p::sys::fstat(fd.get(), &st) != 0) error = errno;
    if (!error && S_ISDIR(st.st_mode)) error = EISDIR;
    std::string bytes;
    if (!error) error = readAll(fd.get(), bytes);
    if (error == ENOENT) {  // removed meanwhile
        result.stamp = missingStamp();
        if (result.stamp != known) result.status = FileRead::Changed;
        return result;
    }
    if (error) {
        result.status = FileRead::Failed;
        result.problem = std::string(": cannot read the registry file: ") + std::strerror(error);
        return result;
    }
    ReadResult parsed = read(bytes);
    if (!parsed.ok) {
        result.status = FileRead::Failed;
        result.problem = ":" + std::to_string(parsed.line) + ": " + parsed.error;
        return result;
    }
    result.status = FileRead::Changed;
    result.stamp = stampOf(st);
    result.edits = std::move(parsed.edits);
    result.held = std::move(fd);
    return result;
}

int FolderLock::lock(const std::string& path) {
    // The link may point elsewhere once the lock is held: lock again there.
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string folder = parentFolder(resolveLinks(path));
        m_fd.reset(w32p::sys::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
        if (!m_fd.valid()) return errno;
        while (w32p::sys::flock(m_fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                int error = errno;
                m_fd.reset();
                return error;
            }
        }
        if (parentFolder(resolveLinks(path)) == folder) return 0;
    }
    return 0;
}

int writeWhole(const std::string& path, const std::string& bytes, FileStamp& stamp,
               UniqueFd& held) {
    std::string target = resolveLinks(path);
    removeStaleTemporaries(target);
    struct stat existing;
    bool exists = w32p::sys::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    int error = replaceFile(target, exists ? &existing : nullptr, bytes);
    if (error) return error;
    // No other writer can replace it while the caller holds the lock.
    UniqueFd fd(w32p::sys::open(target.c_str(), O_RDONLY | O_CLOEXEC, 0));
    struct stat st;
    if (fd.valid() && w32p::sys::fstat(fd.get(), &st) == 0) {
        stamp = stampOf(st);
        held = std::move(fd);
    } else {
        stamp = FileStamp();  // unknown: the next call reads the file again
        held.reset();
    }
    return 0;
}

}  // namespace regfile
}  // namespace w32p
