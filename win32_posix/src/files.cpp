/*
 * files.cpp - files and folders: open, read, write, seek, create, remove,
 * delete and query, with Windows' dispositions, sharing and error codes.
 *
 *   open files       the file object behind a handle, and the sharing table
 *                    of the process (device and inode -> open accesses)
 *   CreateFileW      dispositions, access, sharing, FILE_FLAG_BACKUP_SEMANTICS
 *   ReadFile WriteFile SetFilePointer GetFileSize
 *   CreateDirectoryW RemoveDirectoryW DeleteFileW GetFileAttributesW
 *
 * Share modes follow Windows' rules between the handles of the process (the
 * sharing table) and between processes (marks on the file that every process
 * sees, share_marks.cpp), and a refused open or deletion gets
 * ERROR_SHARING_VIOLATION. A new file and its handle's share entry and marks
 * come into being as one step: the file is made without a name (or under a
 * temporary one), marked, and then linked into place while the table is
 * locked, so no thread or process can open it in between.
 */
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "../include/win32_posix/paths.h"
#include "file_status.h"
#include "handles.h"
#include "internal.h"
#include "share_marks.h"
#include "../include/win32_posix/syscalls.h"

namespace w32p {

namespace {

// An owned file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = other.release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset() {
        if (m_fd >= 0) w32p::sys::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// A file by identity, whatever name it was opened by.
struct FileKey {
    dev_t device;
    ino_t inode;
    bool operator<(const FileKey& o) const {
        return device != o.device ? device < o.device : inode < o.inode;
    }
};

struct ShareEntry {
    uint64_t id;
    DWORD access;  // AccessBits
    DWORD share;   // FILE_SHARE_*
};

// The accesses and share modes of every handle of the process that is open
// with data access. The mutex also makes "check, then open or delete" one
// step for the threads of the process.
struct SharingTable {
    std::mutex mutex;
    std::map<FileKey, std::vector<ShareEntry>> files;
    uint64_t nextId = 1;

    // With the mutex held.
    bool allows(const FileKey& key, DWORD access, DWORD share) const {
        auto it = files.find(key);
        if (it == files.end()) return true;
        for (const ShareEntry& e : it->second)
            if (!sharingAllows(e.access, e.share, access, share)) return false;
        return true;
    }
    uint64_t add(const FileKey& key, DWORD access, DWORD share) {
        uint64_t id = nextId++;
        files[key].push_back({id, access, share});
        return id;
    }
    void remove(const FileKey& key, uint64_t id) {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = files.find(key);
        if (it == files.end()) return;
        std::vector<ShareEntry>& entries = it->second;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].id == id) {
                entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        if (entries.empty()) files.erase(it);
    }
};

SharingTable& sharing() {
    static SharingTable* table = new SharingTable;  // outlives static destructors
    return *table;
}

// An open file or folder behind a handle.
class OpenFile : public HandleObject {
public:
    OpenFile(Fd fd, DWORD access, bool directory, bool pathOnly, FileKey key, uint64_t shareId)
        : m_fd(std::move(fd)), m_access(access), m_directory(directory), m_pathOnly(pathOnly),
          m_key(key), m_shareId(shareId) {}
    ~OpenFile() override {
        // The marks go with the descriptor, before the share entry, so that
        // an open the table lets in finds no marks of this handle.
        m_fd.reset();
        if (m_shareId) sharing().remove(m_key, m_shareId);
    }

    int fd() const { return m_fd.get(); }
    DWORD access() const { return m_access; }
    bool directory() const { return m_directory; }
    // Opened for attributes only, without a readable descriptor: the file
    // pointer is kept here.
    bool pathOnly() const { return m_pathOnly; }
    std::mutex& positionMutex() { return m_positionMutex; }
    int64_t& position() { return m_position; }

private:
    Fd m_fd;
    DWORD m_access;
    bool m_directory;
    bool m_pathOnly;
    FileKey m_key;
    uint64_t m_shareId;
    std::mutex m_positionMutex;
    int64_t m_position = 0;
};

HANDLE fail(DWORD code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

BOOL failBool(DWORD code) {
    SetLastError(code);
    return FALSE;
}

// errno of a read or write as Windows reports it.
DWORD ioError(int err) {
    if (err == EFAULT) return ERROR_NOACCESS;
    if (err == EISDIR) return ERROR_INVALID_FUNCTION;
    return errorFromErrno(err);
}

// A name beside `path` for a file that is being made, unique in the system
// for the moment it exists.
std::string temporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    std::string folder = parentFolder(path);
    char name[64];
    std::snprintf(name, sizeof name, ".~w32p-%ld-%u", static_cast<long>(::getpid()), ++counter);
    return folder == "/" ? "/" + std::string(name) : folder + "/" + name;
}

// Creates a new file at `path` (failing with EEXIST when the name exists),
// readable and writable, and runs `prepare` on it before its name appears:
// made without a name and then linked into place, or, where the file system
// cannot do that, made under a temporary name and linked to `path`; only
// where neither works is it created under its name at once. Returns 0 or an
// errno value.
template <class Prepare>
int createNewFile(const std::string& path, Prepare prepare, Fd& out) {
    auto linkInto = [&](Fd& fd, const char* from, int flags) {
        prepare(fd.get());
        if (w32p::sys::linkat(AT_FDCWD, from, AT_FDCWD, path.c_str(), flags) != 0) return errno;
        out = std::move(fd);
        return 0;
    };
#ifdef O_TMPFILE
    Fd unnamed(w32p::sys::open(parentFolder(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    if (unnamed.valid()) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", unnamed.get());
        int err = linkInto(unnamed, self, AT_SYMLINK_FOLLOW);
        if (err == 0 || err == EEXIST) return err;
        // No /proc, or a file system that cannot link it: the next way.
    } else if (errno == ENOENT || errno == ENOTDIR || errno == EACCES) {
        return errno;
    }
#endif
    const std::string temporary = temporaryName(path);
    Fd named(w32p::sys::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (named.valid()) {
        int err = linkInto(named, temporary.c_str(), 0);
        w32p::sys::unlink(temporary.c_str());
        if (err == 0 || err == EEXIST) return err;
        named.reset();  // no hard links here: the plain way
    }
    Fd fd(w32p::sys::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid()) return errno;
    prepare(fd.get());
    out = std::move(fd);
    return 0;
}

// open(2) flags for the access a handle has. A handle that writes without
// reading still gets a readable descriptor where the permissions allow
// (`readable`), since its share marks need one; its access bits keep it from
// reading.
int openFlags(DWORD access, bool truncate, bool readable) {
    bool read = (access & kAccessRead) || (readable && access);
    bool write = (access & (kAccessWrite | kAccessAppend)) || truncate;
    int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if ((access & kAccessAppend) && !(access & kAccessWrite)) flags |= O_APPEND;
    return flags | O_CLOEXEC;
}

bool isDisposition(DWORD d) { return d >= CREATE_NEW && d <= TRUNCATE_EXISTING; }

HANDLE openFile(const WCHAR* name, DWORD desiredAccess, DWORD shareMode, DWORD disposition,
                DWORD flags) {
    if (!name || !*name) return fail(ERROR_PATH_NOT_FOUND);
    if (!isDisposition(disposition)) return fail(ERROR_INVALID_PARAMETER);
    wstring_view windowsName = view(name);
    if (hasInvalidNameCharacter(windowsName)) return fail(ERROR_INVALID_NAME);
    const DWORD access = accessBitsFromMask(desiredAccess);
    SharingTable& table = sharing();

    // An existing file named exactly as written and opened for data access
    // without being emptied: the open itself is the look. Anything else (a
    // name in another case, a folder, a read-only file asked to be written,
    // a failed open) goes the long way below.
    PosixPath p;
    Fd early;
    struct stat earlyStatus;
    if (access && (disposition == OPEN_EXISTING || disposition == OPEN_ALWAYS) &&
        literalPosixPath(windowsName, p.path)) {
        early = Fd(w32p::sys::open(p.path.c_str(), openFlags(access, false, true), 0));
        const bool writes = access & (kAccessWrite | kAccessAppend);
        if (!early.valid() || w32p::sys::fstat(early.get(), &earlyStatus) != 0 ||
            !S_ISREG(earlyStatus.st_mode) ||
            (writes && (attributesFromMode(earlyStatus.st_mode) & FILE_ATTRIBUTE_READONLY)))
            early.reset();
    }
    if (early.valid()) {
        p.ok = true;
    } else {
        p = toPosixPath(windowsName);
        if (!p.ok) return fail(ERROR_PATH_NOT_FOUND);
    }

    // A few attempts, for the case that another process creates or removes
    // the file between the look and the open.
    for (int attempt = 0; attempt < 8; ++attempt) {
        // The first look is the early open's, or the translation's unless it
        // saw a symbolic link, which a stat follows; a later attempt looks again.
        const bool opened = early.valid();
        struct stat st = opened ? earlyStatus : p.status;
        bool exists = opened || (attempt == 0 && p.statusKnown && !S_ISLNK(st.st_mode));
        if (!exists) exists = w32p::sys::stat(p.path.c_str(), &st) == 0;
        if (!exists && errno != ENOENT && errno != ENOTDIR) return fail(errorFromErrno(errno));
        Fd fd;
        bool created = false;
        bool pathOnly = false;
        bool truncate = false;
        // Held from a file's creation to its share entry, and over the
        // sharing check of an existing file.
        std::unique_lock<std::mutex> lock(table.mutex, std::defer_lock);

        if (exists && S_ISDIR(st.st_mode)) {
            if (disposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
            if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || disposition == CREATE_ALWAYS ||
                disposition == TRUNCATE_EXISTING)
                return fail(ERROR_ACCESS_DENIED);
            fd = Fd(w32p::sys::open(p.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
            if (!fd.valid() && errno == EACCES) {
                fd = Fd(w32p::sys::open(p.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC, 0));
                pathOnly = true;
            }
            if (!fd.valid()) return fail(errorFromErrno(errno));
        } else if (p.trailingSeparator) {
            // A name with a trailing separator can only be a folder.
            if (exists) return fail(ERROR_INVALID_NAME);
            DWORD missing = missingPathError(p.path);
            bool opening = disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING;
            if (opening || missing != ERROR_FILE_NOT_FOUND) return fail(missing);
            return fail(ERROR_INVALID_NAME);
        } else if (exists) {
            if (disposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
            truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
            bool readOnly = attributesFromMode(st.st_mode) & FILE_ATTRIBUTE_READONLY;
            if (readOnly && ((access & (kAccessWrite | kAccessAppend)) || truncate))
                return fail(ERROR_ACCESS_DENIED);
            if (opened)
                fd = std::move(early);
            else
                fd = Fd(w32p::sys::open(p.path.c_str(), openFlags(access, truncate, true), 0));
            if (!fd.valid() && errno == EACCES)
                fd = Fd(w32p::sys::open(p.path.c_str(), openFlags(access, truncate, false), 0));
            if (!fd.valid() && errno == EACCES && !access && !truncate) {
                // Attributes-only access needs no read permission on Windows.
                fd = Fd(w32p::sys::open(p.path.c_str(), O_PATH | O_CLOEXEC, 0));
                pathOnly = true;
            }
            if (!fd.valid()) {
                if (errno == ENOENT) continue;  // removed meanwhile: look again
                return fail(errorFromErrno(errno));
            }
        } else {
            if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
                return fail(missingPathError(p.path));
            lock.lock();
            int err = createNewFile(
                p.path,
                [&](int newFd) {
                    if ((access & kAccessAppend) && !(access & kAccessWrite))
                        ::fcntl(newFd, F_SETFL, ::fcntl(newFd, F_GETFL) | O_APPEND);
                    if (flags & FILE_ATTRIBUTE_READONLY) {
                        struct stat now;
                        if (w32p::sys::fstat(newFd, &now) == 0)
                            ::fchmod(newFd, now.st_mode & ~0222);
                    }
                    placeShareMarks(newFd, access, shareMode);
                },
                fd);
            if (err == EEXIST) {
                if (disposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
                continue;  // created meanwhile: open it as an existing file
            }
            if (err == ENOENT || err == ENOTDIR) return fail(ERROR_PATH_NOT_FOUND);
            if (err) return fail(errorFromErrno(err));
            created = true;
        }

        struct stat status = st;
        if (!opened && w32p::sys::fstat(fd.get(), &status) != 0) return fail(errorFromErrno(errno));
        FileKey key{status.st_dev, status.st_ino};
        const bool directory = S_ISDIR(status.st_mode);
        if (!lock.owns_lock()) lock.lock();
        if (!created) {
            if (!table.allows(key, access, shareMode)) return fail(ERROR_SHARING_VIOLATION);
            if (!pathOnly && !claimShareMarks(fd.get(), access, shareMode))
                return fail(ERROR_SHARING_VIOLATION);
        }
        if (truncate && w32p::sys::ftruncate(fd.get(), 0) != 0) return fail(errorFromErrno(errno));
        uint64_t shareId = access ? table.add(key, access, shareMode) : 0;
        lock.unlock();
        HANDLE handle = insertHandle(std::make_shared<OpenFile>(std::move(fd), access, directory,
                                                                pathOnly, key, shareId));
        bool existed = !created;
        SetLastError(existed && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS)
                         ? ERROR_ALREADY_EXISTS
                         : ERROR_SUCCESS);
        return handle;
    }
    return fail(ERROR_SHARING_VIOLATION);
}

}  // namespace

}  // namespace w32p

using w32p::OpenFile;

/* Opens or creates a file (or, with FILE_FLAG_BACKUP_SEMANTICS, a folder).
   Returns a handle, or INVALID_HANDLE_VALUE with the error. On success the
   last error is ERROR_ALREADY_EXISTS when OPEN_ALWAYS or CREATE_ALWAYS found
   the file, else 0. */
extern "C" HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE) {
    return w32p::openFile(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                          dwFlagsAndAttributes);
}

/* Writes bytes at the file pointer (at the end of the file for a handle with
   FILE_APPEND_DATA but not FILE_WRITE_DATA, atomically). TRUE on success;
   *written is set to 0 before anything else. ERROR_INVALID_HANDLE,
   ERROR_ACCESS_DENIED without write access. */
extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    std::shared_ptr<OpenFile> file = w32p::lookupHandleAs<OpenFile>(hFile);
    if (!file) return w32p::failBool(ERROR_INVALID_HANDLE);
    if (lpOverlapped) return w32p::failBool(ERROR_INVALID_PARAMETER);
    if (!(file->access() & (w32p::kAccessWrite | w32p::kAccessAppend)))
        return w32p::failBool(ERROR_ACCESS_DENIED);
    if (file->directory()) return w32p::failBool(ERROR_INVALID_FUNCTION);
    const char* bytes = static_cast<const char*>(lpBuffer);
    DWORD done = 0;
    while (done < nNumberOfBytesToWrite) {
        // One call for the whole buffer, so that an appended record is never
        // split by another writer's.
        ssize_t n = w32p::sys::write(file->fd(), bytes + done, nNumberOfBytesToWrite - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
            return w32p::failBool(w32p::ioError(errno));
        }
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
    return TRUE;
}

/* Reads up to the given number of bytes from the file pointer. TRUE on
   success, also at the end of the file (then *read is 0); *read is set to 0
   before anything else. ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED without read
   access, ERROR_INVALID_FUNCTION on a folder. */
extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    std::shared_ptr<OpenFile> file = w32p::lookupHandleAs<OpenFile>(hFile);
    if (!file) return w32p::failBool(ERROR_INVALID_HANDLE);
    if (lpOverlapped) return w32p::failBool(ERROR_INVALID_PARAMETER);
    if (!(file->access() & w32p::kAccessRead)) return w32p::failBool(ERROR_ACCESS_DENIED);
    if (file->directory()) return w32p::failBool(ERROR_INVALID_FUNCTION);
    char* bytes = static_cast<char*>(lpBuffer);
    DWORD done = 0;
    while (done < nNumberOfBytesToRead) {
        ssize_t n = w32p::sys::read(file->fd(), bytes + done, nNumberOfBytesToRead - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
            return w32p::failBool(w32p::ioError(errno));
        }
        if (n == 0) break;  // end of file
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
    return TRUE;
}

/* Moves the file pointer; returns the low 32 bits of the new position (the
   high part through lpDistanceToMoveHigh, which also carries the high part
   of the distance). INVALID_SET_FILE_POINTER on failure: ERROR_NEGATIVE_SEEK
   before the start, ERROR_INVALID_PARAMETER for a bad method or, without a
   high part, a position past 4 GB. A success that returns 0xFFFFFFFF sets 0. */
extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove,
                                       PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    std::shared_ptr<OpenFile> file = w32p::lookupHandleAs<OpenFile>(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    if (dwMoveMethod > FILE_END) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t distance =
        lpDistanceToMoveHigh
            ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<DWORD>(*lpDistanceToMoveHigh))
                                    << 32) |
                                   static_cast<DWORD>(lDistanceToMove))
            : static_cast<int64_t>(lDistanceToMove);

    std::lock_guard<std::mutex> lock(file->positionMutex());
    int64_t base = 0;
    if (dwMoveMethod == FILE_CURRENT) {
        base = file->pathOnly() ? file->position()
                                : static_cast<int64_t>(::lseek(file->fd(), 0, SEEK_CUR));
    } else if (dwMoveMethod == FILE_END) {
        struct stat st;
        base = w32p::sys::fstat(file->fd(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }
    if (base < 0) {
        SetLastError(w32p::errorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target;
    if (__builtin_add_overflow(base, distance, &target) || target < 0) {
        SetLastError(target < 0 || distance < 0 ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && target > 0xFFFFFFFFLL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (file->pathOnly()) {
        file->position() = target;
    } else if (::lseek(file->fd(), static_cast<off_t>(target), SEEK_SET) < 0) {
        SetLastError(w32p::errorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(target >> 32);
    DWORD low = static_cast<DWORD>(target);
    if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
    return low;
}

/* The size of an open file: the low 32 bits returned, the high part through
   lpFileSizeHigh; 0 for a folder. INVALID_FILE_SIZE with ERROR_INVALID_HANDLE;
   a success that returns 0xFFFFFFFF sets 0. */
extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    std::shared_ptr<OpenFile> file = w32p::lookupHandleAs<OpenFile>(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    struct stat st;
    if (w32p::sys::fstat(file->fd(), &st) != 0) {
        SetLastError(w32p::errorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    uint64_t size = file->directory() ? 0 : static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    DWORD low = static_cast<DWORD>(size);
    if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
    return low;
}

/* Creates one folder (its parent must exist). TRUE on success; FALSE with
   ERROR_ALREADY_EXISTS when the name exists (folder or file),
   ERROR_PATH_NOT_FOUND when the parent is missing or is a file or the name is
   empty, ERROR_INVALID_NAME for wildcards. */
extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (!lpPathName || !*lpPathName) return w32p::failBool(ERROR_PATH_NOT_FOUND);
    if (w32p::hasInvalidNameCharacter(w32p::view(lpPathName)))
        return w32p::failBool(ERROR_INVALID_NAME);
    w32p::PosixPath p = w32p::toPosixPath(w32p::view(lpPathName));
    if (!p.ok) return w32p::failBool(ERROR_PATH_NOT_FOUND);
    // The translation's look found the name taken: mkdir would say the same.
    if (p.statusKnown) return w32p::failBool(ERROR_ALREADY_EXISTS);
    if (w32p::sys::mkdir(p.path.c_str(), 0777) == 0) return TRUE;
    int err = errno;
    if (err == EEXIST) return w32p::failBool(ERROR_ALREADY_EXISTS);
    if (err == ENOENT || err == ENOTDIR) return w32p::failBool(ERROR_PATH_NOT_FOUND);
    return w32p::failBool(w32p::errorFromErrno(err));
}

/* Removes an empty folder. TRUE on success; FALSE with ERROR_DIR_NOT_EMPTY,
   ERROR_DIRECTORY for a file, ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND for
   a missing folder or parent, ERROR_INVALID_NAME for an empty name or
   wildcards. */
extern "C" BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName) {
    if (!lpPathName || !*lpPathName) return w32p::failBool(ERROR_INVALID_NAME);
    if (w32p::hasInvalidNameCharacter(w32p::view(lpPathName)))
        return w32p::failBool(ERROR_INVALID_NAME);
    w32p::PosixPath p = w32p::toPosixPath(w32p::view(lpPathName));
    if (!p.ok) return w32p::failBool(ERROR_PATH_NOT_FOUND);
    struct stat st;
    if (w32p::sys::lstat(p.path.c_str(), &st) != 0)
        return w32p::failBool(w32p::missingPathError(p.path));
    if (!S_ISDIR(st.st_mode))
        return w32p::failBool(p.trailingSeparator ? ERROR_INVALID_NAME : ERROR_DIRECTORY);
    if (w32p::sys::rmdir(p.path.c_str()) == 0) return TRUE;
    int err = errno;
    if (err == ENOTEMPTY || err == EEXIST) return w32p::failBool(ERROR_DIR_NOT_EMPTY);
    return w32p::failBool(w32p::errorFromErrno(err));
}

/* Deletes a file. TRUE on success; FALSE with ERROR_FILE_NOT_FOUND /
   ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED for a folder or a read-only file,
   ERROR_SHARING_VIOLATION while a handle without FILE_SHARE_DELETE is open,
   ERROR_INVALID_NAME for wildcards. */
extern "C" BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
    if (!lpFileName || !*lpFileName) return w32p::failBool(ERROR_PATH_NOT_FOUND);
    if (w32p::hasInvalidNameCharacter(w32p::view(lpFileName)))
        return w32p::failBool(ERROR_INVALID_NAME);
    w32p::PosixPath p = w32p::toPosixPath(w32p::view(lpFileName));
    if (!p.ok) return w32p::failBool(ERROR_PATH_NOT_FOUND);
    struct stat st;
    if (w32p::sys::lstat(p.path.c_str(), &st) != 0)
        return w32p::failBool(w32p::missingPathError(p.path));
    if (S_ISDIR(st.st_mode)) return w32p::failBool(ERROR_ACCESS_DENIED);
    if (p.trailingSeparator) return w32p::failBool(ERROR_INVALID_NAME);
    if (!S_ISLNK(st.st_mode) && (w32p::attributesFromMode(st.st_mode) & FILE_ATTRIBUTE_READONLY))
        return w32p::failBool(ERROR_ACCESS_DENIED);

    w32p::SharingTable& table = w32p::sharing();
    std::lock_guard<std::mutex> lock(table.mutex);
    const DWORD everyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const w32p::FileKey key{st.st_dev, st.st_ino};
    if (!table.allows(key, w32p::kAccessDelete, everyShare))
        return w32p::failBool(ERROR_SHARING_VIOLATION);
    // A handle of another process that does not share deletion.
    if (S_ISREG(st.st_mode) && w32p::deletionRefused(p.path.c_str()))
        return w32p::failBool(ERROR_SHARING_VIOLATION);
    if (w32p::sys::unlink(p.path.c_str()) == 0) return TRUE;
    return w32p::failBool(w32p::errorFromErrno(errno));
}

/* The attributes of a file or folder: FILE_ATTRIBUTE_DIRECTORY for folders,
   ARCHIVE for files, READONLY when not writable. INVALID_FILE_ATTRIBUTES with
   ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND (also for "" and for a file
   named with a trailing separator), ERROR_INVALID_NAME for wildcards. */
extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    if (!lpFileName || !*lpFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (w32p::hasInvalidNameCharacter(w32p::view(lpFileName))) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_FILE_ATTRIBUTES;
    }
    w32p::PosixPath p = w32p::toPosixPath(w32p::view(lpFileName));
    if (!p.ok) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat st;
    if (w32p::sys::stat(p.path.c_str(), &st) != 0) {
        int err = errno;
        SetLastError(err == ENOENT || err == ENOTDIR ? w32p::missingPathError(p.path)
                                                     : w32p::errorFromErrno(err));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (p.trailingSeparator && !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return w32p::attributesFromMode(st.st_mode);
}
