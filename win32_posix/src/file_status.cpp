/*
 * file_status.cpp - POSIX file status read as Windows attributes and times,
 * Windows' invalid name characters, and the error of a missing path.
 */
#include "file_status.h"
#include "../include/win32_posix/syscalls.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace w32p {

DWORD attributesFromMode(mode_t mode) {
    DWORD attributes = S_ISDIR(mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

DWORD accessBitsFromMask(DWORD desired) {
    const DWORD all = GENERIC_ALL | MAXIMUM_ALLOWED;
    DWORD bits = 0;
    if (desired & (all | GENERIC_READ | FILE_READ_DATA)) bits |= kAccessRead;
    if (desired & (all | GENERIC_WRITE | FILE_WRITE_DATA)) bits |= kAccessWrite | kAccessAppend;
    if (desired & FILE_APPEND_DATA) bits |= kAccessAppend;
    if (desired & (all | DELETE)) bits |= kAccessDelete;
    return bits;
}

bool sharingAllows(DWORD openAccess, DWORD openShare, DWORD newAccess, DWORD newShare) {
    if (!openAccess || !newAccess) return true;
    auto refuses = [](DWORD access, DWORD share) {
        return ((access & kAccessRead) && !(share & FILE_SHARE_READ)) ||
               ((access & (kAccessWrite | kAccessAppend)) && !(share & FILE_SHARE_WRITE)) ||
               ((access & kAccessDelete) && !(share & FILE_SHARE_DELETE));
    };
    return !refuses(newAccess, openShare) && !refuses(openAccess, newShare);
}

FILETIME fileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    // 1601-01-01 to 1970-01-01: 369 years, 89 of them leap years.
    const int64_t kEpochDifference = 11644473600LL;
    FILETIME ft = {0, 0};
    if (seconds < -kEpochDifference) return ft;
    uint64_t ticks = static_cast<uint64_t>(seconds + kEpochDifference) * 10000000ULL +
                     static_cast<uint64_t>(nanoseconds / 100);
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

bool hasWildcard(wstring_view name) {
    return name.find_first_of(u"*?") != wstring_view::npos;
}

bool hasInvalidNameCharacter(wstring_view name) {
    for (WCHAR c : name) {
        if (c < 0x20 || c == u'*' || c == u'?' || c == u'<' || c == u'>' || c == u'"' ||
            c == u'|')
            return true;
    }
    return false;
}

std::string parentFolder(const std::string& posixPath) {
    size_t slash = posixPath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return posixPath.substr(0, slash);
}

DWORD missingPathError(const std::string& posixPath) {
    struct stat st;
    std::string parent = parentFolder(posixPath);
    if (w32p::sys::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

FileTimes fileTimes(const std::string& path, const struct stat& st) {
    FileTimes times;
    times.lastAccess = fileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    times.lastWrite = fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    const struct timespec& earlier =
        (st.st_ctim.tv_sec < st.st_mtim.tv_sec ||
         (st.st_ctim.tv_sec == st.st_mtim.tv_sec && st.st_ctim.tv_nsec < st.st_mtim.tv_nsec))
            ? st.st_ctim
            : st.st_mtim;
    times.creation = fileTimeFromUnix(earlier.tv_sec, earlier.tv_nsec);
#ifdef STATX_BTIME
    struct statx sx;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME))
        times.creation = fileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
#else
    (void)path;
#endif
    return times;
}

bool statusWithTimes(const std::string& path, mode_t& mode, uint64_t& size, FileTimes& times) {
#ifdef STATX_BTIME
    struct statx sx;
    const unsigned int wanted = STATX_BASIC_STATS | STATX_BTIME;
    if (::statx(AT_FDCWD, path.c_str(), 0, wanted, &sx) != 0 &&
        ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, wanted, &sx) != 0)
        return false;
    auto time = [](const struct statx_timestamp& t) { return fileTimeFromUnix(t.tv_sec, t.tv_nsec); };
    auto before = [](const struct statx_timestamp& a, const struct statx_timestamp& b) {
        return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
    };
    mode = sx.stx_mode;
    size = sx.stx_size;
    times.lastAccess = time(sx.stx_atime);
    times.lastWrite = time(sx.stx_mtime);
    times.creation = (sx.stx_mask & STATX_BTIME) ? time(sx.stx_btime)
                     : before(sx.stx_ctime, sx.stx_mtime) ? time(sx.stx_ctime)
                                                           : time(sx.stx_mtime);
    return true;
#else
    struct stat st;
    if (w32p::sys::stat(path.c_str(), &st) != 0 && w32p::sys::lstat(path.c_str(), &st) != 0)
        return false;
    mode = st.st_mode;
    size = static_cast<uint64_t>(st.st_size);
    times = fileTimes(path, st);
    return true;
#endif
}

}  // namespace w32p
