/*
 * atomic_file.cpp - whole files read and replaced in one step.
 *
 *   temporary files   ".<name>.<pid>.<n>.tmp" beside the file, removed unless
 *                     renamed into place
 *   replaceFile       write, flush, rename (or link), flush the folder
 *   links             followed to the file they name
 */
#include "atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#include "file_status.h"
#include "../include/win32_posix/syscalls.h"

namespace w32p {

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) w32p::sys::close(m_fd);
    m_fd = fd;
}

int readAll(int fd, std::string& bytes) {
    bytes.clear();
    char chunk[65536];
    for (;;) {
        ssize_t n = w32p::sys::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        bytes.append(chunk, static_cast<size_t>(n));
    }
}

std::string resolveLinks(const std::string& path) {
    std::string current = path;
    // As many links as the system follows in one path.
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (w32p::sys::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char target[PATH_MAX];
        ssize_t n = ::readlink(current.c_str(), target, sizeof target - 1);
        if (n < 0) return current;
        std::string next(target, static_cast<size_t>(n));
        if (next.empty() || next[0] != '/') next = parentFolder(current) + "/" + next;
        current = next;
    }
    return current;
}

namespace {

// The part of a temporary file's name that says which file it stands for.
std::string temporaryPrefix(const std::string& path) {
    return "." + path.substr(path.find_last_of('/') + 1) + ".";
}

// A temporary file removed unless it was renamed into place.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!m_path.empty()) w32p::sys::unlink(m_path.c_str());
    }
    void adopt(std::string path) { m_path = std::move(path); }
    void release() { m_path.clear(); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

int createTemporary(const std::string& path, UniqueFd& fd, TempFile& temp) {
    static std::atomic<unsigned> counter{0};
    std::string stem = parentFolder(path) + "/" + temporaryPrefix(path) +
                       std::to_string(::getpid()) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem + std::to_string(counter++) + ".tmp";
        fd.reset(w32p::sys::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.valid()) {
            temp.adopt(name);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EACCES;
}

int writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = w32p::sys::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Flushes a folder's entries, so that a rename in it survives a crash. Some
// file systems cannot flush a folder; the file itself is flushed already.
void syncFolder(const std::string& folder) {
    UniqueFd fd(w32p::sys::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (fd.valid()) w32p::sys::fsync(fd.get());
}

}  // namespace

int replaceFile(const std::string& path, const struct stat* existing, const std::string& bytes,
                bool createOnly) {
    UniqueFd fd;
    TempFile temp;
    int error = createTemporary(path, fd, temp);
    if (error) return error;
    if (existing) {
        ::fchmod(fd.get(), existing->st_mode & 07777);
        if (::fchown(fd.get(), existing->st_uid, existing->st_gid) != 0) {
            // Only a privileged process may give the file away; keeping the
            // new owner is what any rewrite by this user would do.
        }
    }
    error = writeAll(fd.get(), bytes);
    if (!error && w32p::sys::fsync(fd.get()) != 0) error = errno;
    // Closing may report a write that failed late.
    if (!error && w32p::sys::close(fd.release()) != 0) error = errno;
    if (error) return error;

    bool linked = false;
    if (createOnly) {
        // A new file takes its name without replacing one that appeared
        // meanwhile; where hard links are not available, it is renamed.
        if (w32p::sys::link(temp.path().c_str(), path.c_str()) == 0) linked = true;
        else if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS && errno != EXDEV)
            return errno;
    }
    if (!linked) {
        if (w32p::sys::rename(temp.path().c_str(), path.c_str()) != 0) return errno;
        temp.release();
    }
    syncFolder(parentFolder(path));
    return 0;
}

void removeStaleTemporaries(const std::string& path) {
    std::string folder = parentFolder(path);
    std::string prefix = temporaryPrefix(path);
    DIR* dir = w32p::sys::opendir(folder.c_str());
    if (!dir) return;
    // What follows the prefix: "<pid>.<n>.tmp", both numbers in digits.
    auto isCounterPart = [](const std::string& rest) {
        size_t dot = rest.find('.');
        auto digits = [](const std::string& s) {
            return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
        };
        return dot != std::string::npos && rest.size() > 4 &&
               rest.compare(rest.size() - 4, 4, ".tmp") == 0 && digits(rest.substr(0, dot)) &&
               digits(rest.substr(dot + 1, rest.size() - 4 - dot - 1));
    };
    while (const struct dirent* entry = w32p::sys::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0 && isCounterPart(name.substr(prefix.size())))
            w32p::sys::unlink((folder + "/" + name).c_str());
    }
    w32p::sys::closedir(dir);
}

}  // namespace w32p
